#pragma once
// The repair record editor: the repairs of 计量器具修理记录库, of all
// instruments or of the one instrument handed over by the in-use editor.
// Adds a repair of that instrument dated today and prints the listed repairs
// as a table.
#include "InstrumentRecordEditor.h"

class QPrinter;

namespace ravo {

struct RecordTable;

class frmRepair : public InstrumentRecordEditor {
    Q_OBJECT
public:
    explicit frmRepair(ProgramState& state, QWidget* parent = nullptr);

    static constexpr int ContentMaxLength = 1500;
    // The column each of Text1(0..9) is bound to, in the table's order, and
    // its caption.
    static const QStringList& recordColumns();
    static const QStringList& textCaptions();

    // The listed repairs as the printout shows them. Writes what was typed
    // into the current record first; false when that is refused.
    bool listedRepairs(RecordTable* table);

public slots:
    void addRecord() override;
    void printRecords() override;
    // Prints the listed repairs; with direct, straight to that printer
    // (already set up), otherwise through the print preview.
    bool printList(QPrinter* direct = nullptr);

private:
    void createFields();
    void createLayout();
};

} // namespace ravo
