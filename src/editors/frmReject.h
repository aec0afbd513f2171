#pragma once
// The scrapped ledger editor (计量器具报废库): corrects the rows of scrapped
// instruments and their reason for scrapping, puts a scrapped instrument back
// into use (启用, at once, all or nothing) or writes it off for good (注销,
// pending like a delete: OK carries it out, Cancel keeps the row). No add or
// copy.
#include "LedgerEditor.h"

namespace ravo {

class frmReject : public LedgerEditor {
    Q_OBJECT
public:
    explicit frmReject(ProgramState& state, QWidget* parent = nullptr);

    static constexpr int ReasonMaxLength = 255;
    // The column each of Text1(0..13) is bound to.
    static const QStringList& textColumns();

    QPushButton* cmdUser = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancle = nullptr;
    QPushButton* cmdCard = nullptr;
    QPushButton* cmdChanges = nullptr;
    QPushButton* cmdFiles = nullptr;

public slots:
    // Back into use, 状态 "准用"; 报废日期 and 报废原因 stay behind.
    void reinstate();
    // Takes the row out of the working copy after the question.
    void writeOff();

protected:
    void onActivate() override;
};

} // namespace ravo
