#pragma once
// The in-use ledger editor: edits 计量器具在用库 through its working copy,
// adds and copies instruments, issues a stock item into use, scraps and seals
// the current instrument at once, and opens the instrument's confirmation and
// repair records.
#include "LedgerEditor.h"
#include "core/Calibration.h"

class QGroupBox;

namespace ravo {

class frmOperation : public LedgerEditor {
    Q_OBJECT
public:
    explicit frmOperation(ProgramState& state, QWidget* parent = nullptr);
    ~frmOperation() override;

    static constexpr int RemarkMaxLength = 1500;
    // The column each of Text1(0..22) and Combo1(0..4) is bound to.
    static const QStringList& textColumns();
    static const QStringList& comboColumns();

    QPushButton* cmdFind = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancle = nullptr;
    QPushButton* cmdOK = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* cmdValidate = nullptr;
    QPushButton* cmdJunk = nullptr;
    QPushButton* cmdObturate = nullptr;
    QPushButton* cmdRepair = nullptr;
    QPushButton* cmdLabel = nullptr;
    QPushButton* cmdCard = nullptr;
    QPushButton* cmdChanges = nullptr;
    QPushButton* cmdFiles = nullptr;

public slots:
    void addRecord();
    void copyRecord();
    void scrap();
    void seal();
    void showConfirmationRecords();
    void showRepairRecords();
    void printLabel();

protected:
    void onActivate() override;

    // The record editors are shown from here, modally, for the instrument in
    // TargetInstrument (keyed by column name); EditorMode is InUseEditor while they
    // run. Return true when a window was shown: this window is then
    // activated again as it becomes active.
    virtual bool openConfirmationEditor();
    virtual bool openRepairEditor();
    // The confirmation editor opened from here changed the in-use ledger:
    // the working copy takes the same values, so that OK writes them back
    // as they are, and the fields of the current row show them.
    void takeOverLedgerUpdates(const QVector<LedgerUpdate>& updates);
    // The row issued from stock, once saved, is noted as 发放 in the history
    // and takes copies of the stock item's attachments.
    DbError commitAlso() override;
    void afterSave() override;

private:
    void createFields();
    void createButtons();
    void createLayout();
    QList<QWidget*> tabSequence() const;
    void fillKindList(const QString& category);
    // 有效日期 from 检定日期: a year, or with byPeriod 检定周期 months.
    void proposeValidUntil(bool byPeriod);
    // With the options' period rule: a row added here that still shows the
    // proposed 有效日期 gets it counted again when its 检定日期 or 检定周期
    // is changed.
    void calibrationChanged();
    void setNewRowDefaults();
    void issueFromStock();
    bool handOverInstrument(bool forRepair);
    // The number of the row issued from stock as the working copy holds it;
    // empty when nothing was issued, or the issued row was deleted again.
    DbError issuedNumber(QString* number);
    void noteRowAdded(qint64 rowid);

    // What Add last proposed by the period rule; empty when it did not.
    QString m_proposedValidUntil;
    // The row issued from stock: the stock item's ledger row (-1 for one
    // never saved), the addition of the recordset that started the row, and
    // its working row once written (-1 before, and again once another new
    // row took that rowid, which the working copy hands out only after the
    // row is gone).
    struct IssuedRow {
        bool active = false;
        qint64 stockRow = -1;
        quint64 addition = 0;
        qint64 workingRow = -1;
    } m_issued;
};

} // namespace ravo
