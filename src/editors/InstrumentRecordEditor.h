#pragma once
// What the confirmation and repair record editors share: they edit a record
// table whose rows belong to instruments, either all of it (opened from the
// main window) or only the rows of the instrument the in-use editor handed
// over in TargetInstrument (opened from there, EditorMode not Main).
//
// The mode and the instrument are fixed when the working copy is made: the
// copy then holds exactly that instrument's rows, and the save replaces
// exactly those rows, whatever the number holds (quotes included). Find is
// offered only over all instruments. The working copy has the window's
// columns, named, in their order.
#include "LedgerEditor.h"

namespace ravo {

class InstrumentRecordEditor : public LedgerEditor {
    Q_OBJECT
public:
    bool isOneInstrument() const { return m_oneInstrument; }
    // The number of the instrument whose records are edited (one-instrument mode).
    QString instrumentNumber() const { return m_number; }
    const QStringList& columns() const { return m_columns; }

    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancle = nullptr;
    // "附件(&M)...": the attachments of the record shown.
    QPushButton* cmdFiles = nullptr;

public slots:
    virtual void addRecord() = 0;
    virtual void printRecords() = 0;
    // The attachments of the record the window shows, as the ledger keeps
    // it: named by its instrument's number and the two columns of its key,
    // they follow the instrument's number. A record the ledger does not hold
    // yet (not saved, or changed since in its key) is refused with a word on
    // saving first.
    void showRecordAttachments();

protected:
    // The editor's order is the date column the records are ordered by; the
    // working copy takes the given columns, in their order.
    InstrumentRecordEditor(ProgramState& state, EditorSpec editorSpec, QStringList columns, QWidget* parent);

    // How the window's records keep attachments: their kind
    // (attachmentkind::…), the two columns of a record's key (recordKey) and
    // the record's name in the user's words ("确认记录").
    struct RecordFiles {
        QString kind;
        QString dateColumn;
        QString secondColumn;
        QString recordName;
    };
    // Makes cmdFiles, which opens showRecordAttachments(); the window lays it
    // out with its other buttons.
    QPushButton* addAttachmentsButton(RecordFiles files, const QString& toolTip);

    // A value of the instrument handed over, by column name; empty when none was.
    QString handedOver(const QString& column) const { return state().TargetInstrument.value(column); }

    void beforeOpen() override;
    QString openStatement() const override;
    // On a server ledger colleagues write the records side by side: the
    // copy keeps its books and OK writes only what changed. The file keeps
    // the replace of what was copied.
    bool tracksChanges() const override { return db().engine() == Engine::Postgres; }
    QString trackedNumber() const override { return m_oneInstrument ? m_number : QString(); }
    QString commitDeleteStatement() const override;
    void onActivate() override;

private:
    QString instrumentCondition() const;

    QStringList m_columns;
    RecordFiles m_files;
    bool m_oneInstrument = false;
    QString m_number;
};

} // namespace ravo
