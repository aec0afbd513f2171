#pragma once
// The in-use ledger editor: edits 计量器具在用库 through its working copy,
// adds and copies instruments, issues a stock item into use, scraps and seals
// the current instrument at once, and opens the instrument's confirmation and
// repair records.
#include "LedgerEditor.h"

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

public slots:
    void addRecord();
    void copyRecord();
    void scrap();
    void seal();
    void showConfirmationRecords();
    void showRepairRecords();

protected:
    void onActivate() override;

    // The record editors are shown from here, modally, for the instrument in
    // TargetInstrument (keyed by column name); EditorMode is InUseEditor while they
    // run. Return true when a window was shown: this window is then
    // activated again as it becomes active.
    virtual bool openConfirmationEditor();
    virtual bool openRepairEditor();

private:
    void createFields();
    void createButtons();
    void createLayout();
    QList<QWidget*> tabSequence() const;
    void fillKindList(const QString& category);
    void proposeValidUntil();
    void setNewRowDefaults();
    void issueFromStock();
    bool handOverInstrument(bool forRepair);
};

} // namespace ravo
