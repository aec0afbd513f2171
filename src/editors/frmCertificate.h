#pragma once
// The confirmation record editor: the calibration, test and verification
// records of 计量器具确认记录库, of all instruments or of the one instrument
// handed over by the in-use editor. Adds a record with the instrument's
// details and a year's validity (or its calibration period's, as the options
// ask), copies a record without its ambient conditions, prints the current
// record as a confirmation sheet, and carries a record's dates and status
// into the in-use ledger: at once with "更新台帐(&U)", or with the save for
// every new or changed record of a passed calibration when the options ask.
#include "InstrumentRecordEditor.h"
#include "core/Calibration.h"

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
    QPushButton* cmdUpdate = nullptr;

    // What this window changed in the in-use ledger since it opened, by the
    // button and by the save; the in-use editor it was opened from takes the
    // same values into its working copy.
    const QVector<LedgerUpdate>& ledgerUpdates() const { return m_ledgerUpdates; }

public slots:
    void addRecord() override;
    void copyRecord();
    void printRecords() override;
    // Prints the sheet of the current record; with direct, straight to that
    // printer (already set up), otherwise through the print preview.
    bool printSheet(QPrinter* direct = nullptr);
    // Applies the current record to its instrument in the in-use ledger,
    // after showing what changes and asking.
    void updateLedger();

protected:
    DbError commitWorkingCopy() override;
    void afterSave() override;

private:
    void createFields();
    void createLayout();
    // The valid-until date Add proposes for a calibration on `calibrated`.
    QDate proposedValidUntil(const QDate& calibrated) const;
    // The 检定周期 of the instrument: as the in-use editor handed it over,
    // otherwise as the in-use ledger holds it; empty when unknown.
    QString calibrationPeriod(const QString& number) const;
    CalibrationResult currentResult() const;

    QVector<LedgerUpdate> m_ledgerUpdates;
    CalibrationSaveReport m_saveReport;
};

} // namespace ravo
