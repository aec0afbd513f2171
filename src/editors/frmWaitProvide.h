#pragma once
// The stock of instruments bought but not yet issued (计量器具待发放库): one row
// per stock item with its quantity. New stock is entered here, stock rows are
// corrected or deleted, and an item is issued into use: its quantity drops by
// one and the in-use editor opens on a new row made from it, where the new
// instrument gets its number.
//
// Issuing and the two windows' OK and Cancel: the lowered quantity is a
// pending edit of this window's working copy, and the new in-use row lives in
// the in-use editor's working copy. Each reaches its ledger only with its own
// window's OK and is thrown away only by its own window's Cancel:
//   - Cancel in the in-use editor drops the new instrument; the quantity here
//     stays lowered until this window's OK writes it or its Cancel drops it.
//   - Cancel here leaves the stock ledger's quantity as it was; an instrument
//     already saved by the in-use editor stays in use.
// Nothing is issued at all when the quantity or a date of the stock row cannot
// be read: the user is told which and the quantity is left as it was.
//
// A stock item keeps attachments (the invoice, the manual, the maker's
// certificate) by its row in the stock ledger, once saved: an instrument
// issued from it gets copies of them when the in-use editor's OK writes it,
// and an item deleted here takes them along when this window's OK writes
// the deletion.
//
// Combo1 and Combo2 are two single boxes here (category and kind), not a
// control array like the other editors' Combo1.
#include "LedgerEditor.h"

namespace ravo {

class frmWaitProvide : public LedgerEditor {
    Q_OBJECT
public:
    explicit frmWaitProvide(ProgramState& state, QWidget* parent = nullptr);
    ~frmWaitProvide() override;

    // The column each of Text1(0..12) is bound to.
    static const QStringList& textColumns();

    QComboBox* Combo1 = nullptr; // 计量器具类别
    QComboBox* Combo2 = nullptr; // 计量器具种别

    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdUser = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdFiles = nullptr;

public slots:
    // "新品入库": a new stock row with today's dates and a quantity of one.
    void addStock();
    // "启用": issues the current item into use.
    void issue();
    // "附件": the attachments of the current item, once it is saved.
    void showStockAttachments();

protected:
    void onActivate() override;
    bool checkCurrentRow() override;
    bool checkWorkingCopy() override;
    DbError commitWorkingCopy() override;
    // The items deleted here take their attachments along.
    DbError commitAlso() override;

private:
    void createFields();
    void createButtons();
    void createLayout();
    // Combo1, Combo2, Text1(0) … Text1(12).
    QList<QWidget*> tabSequence() const;
    void fillKindList(int picked);
    bool rowIsBlank() const;
    void refuseBlankRow();
    // What issuing hands to the in-use editor, read from the fields; nothing
    // (after telling the user) when a date or the quantity cannot be read.
    std::optional<QHash<QString, QVariant>> readIssue();
    // The stock ledger's row of the current item; -1 for one not saved yet.
    qint64 currentLedgerRow() const;

    // The ledger rows of the items deleted here, read as OK begins.
    QVector<qint64> m_deletedItems;
};

} // namespace ravo
