#pragma once
// The confirmation record editor: the calibration, test and verification
// records of 计量器具确认记录库, of all instruments or of the one instrument
// handed over by the in-use editor. Adds a record with the instrument's
// details and a year's validity, copies a record without its ambient
// conditions, and prints the current record as a confirmation sheet.
#include "InstrumentRecordEditor.h"

class QGroupBox;
class QPrinter;

namespace ravo {

struct ConfirmationSheet;

class frmCertificate : public InstrumentRecordEditor {
    Q_OBJECT
public:
    explicit frmCertificate(ProgramState& state, QWidget* parent = nullptr);

    static constexpr int DataMaxLength = 3000;
    // The columns of the working copy, in the table's order.
    static const QStringList& recordColumns();
    // The report types offered, in order; new records get the first.
    static const QStringList& reportTypes();
    // The column each of Text1(0..16) is bound to, and its caption.
    static const QStringList& textColumns();
    static const QStringList& textCaptions();

    // The current record as its sheet prints it, placed by the offsets of
    // its report type.
    ConfirmationSheet currentSheet() const;

    QGroupBox* Frame1 = nullptr;
    QPushButton* cmdCopy = nullptr;

public slots:
    void addRecord() override;
    void copyRecord();
    void printRecords() override;
    // Prints the sheet of the current record; with direct, straight to that
    // printer (already set up), otherwise through the print preview.
    bool printSheet(QPrinter* direct = nullptr);

private:
    void createFields();
    void createLayout();
};

} // namespace ravo
