#pragma once
// The sealed ledger editor (计量器具封存库): corrects the rows of sealed
// instruments, puts a sealed instrument back into use (启用) or scraps it
// (报废). Both moves change the ledgers at once, all or nothing; the rest of
// the working copy waits for OK. No add, copy or delete.
#include "LedgerEditor.h"

namespace ravo {

class frmClose : public LedgerEditor {
    Q_OBJECT
public:
    explicit frmClose(ProgramState& state, QWidget* parent = nullptr);

    // The column each of Text1(0..12) is bound to.
    static const QStringList& textColumns();

    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdReject = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancle = nullptr;
    QPushButton* cmdCard = nullptr;
    QPushButton* cmdChanges = nullptr;
    QPushButton* cmdFiles = nullptr;

public slots:
    // Back into use, 状态 "准用"; 封存日期 stays behind.
    void unseal();
    // Into the scrapped ledger with today's 报废日期 and 状态 "报废".
    void scrap();

protected:
    void onActivate() override;
};

} // namespace ravo
