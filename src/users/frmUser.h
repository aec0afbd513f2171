#pragma once
// User management: adds and deletes accounts and sets their levels.
//
// Opening reads the account list from the store into UserList and
// UserEditList; every change is made on UserEditList only. "确定" writes the
// whole list back (count and one section per account), "取消" and the close
// box write nothing, so the next opening reads the store again.
//
// The account named "系统管理员" can be neither deleted nor given another
// level; the protection goes by name. New accounts start at level 2
// ("计量器具保管员"), their password chosen in the password dialog and kept
// only as its hash.
//
// The signed-in account is followed through the edits: when "确定" writes
// the list, CurrentUser names its new place (accounts move up when one
// before them is deleted), so that the password change and the last
// account remembered at exit still mean that account. If it was deleted
// itself, CurrentUser becomes 0 and CurrentUserDeleted is set.
//
// On a ledger on a server the accounts are the server's roles: the window
// opens on them, edits the list the same way, and "确定" makes the server's
// accounts what it shows in one transaction (new accounts with the password
// typed for them, which only the server keeps, as its hash; levels; drops).
// A refusal of the server keeps the window open with every edit and changes
// nothing. The signed-in account cannot be deleted there; the server also
// keeps at least one level-0 account.
#include "core/ProgramState.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ravo {

class frmUser : public QDialog {
    Q_OBJECT
public:
    explicit frmUser(ProgramState& state, QWidget* parent = nullptr);

    QListWidget* lstUser = nullptr;
    QGroupBox* fraLevel = nullptr;
    QRadioButton* opt0 = nullptr;
    QRadioButton* opt1 = nullptr;
    QRadioButton* opt2 = nullptr;
    QPushButton* cmdNewUser = nullptr;
    QPushButton* cmdDeleteUser = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdCanle = nullptr;

    // The number of accounts in UserEditList.
    qint16 UserCountTemp = 0;

    // Adds (−1) or deletes (0) an entry of UserEditList; other values do
    // nothing. Adding appends NewUserName with the password in NewPassword
    // (already in its stored form) at level 2; deleting removes the account
    // shown at list position DeleteUserNumber.
    void UserAddDel(int what);
    // Fills lstUser with the names of UserEditList; empty names are not shown.
    void UserLoad();
    // Gives the selected account the level of the checked level button.
    void UserLevel();

private:
    void createLayout();
    void openList();
    void selectEntry(int row);
    void entrySelected();
    void newUser();
    void deleteUser();
    void confirm();
    // The UserEditList index (0-based) of the account shown at this list
    // position, or −1.
    int accountAt(int row) const;
    void findSignedIn(const QVector<UserAccount>& accounts);
    // Makes CurrentUser name the followed account (0 when it was deleted).
    void publishSignedIn();
    // Asks for the name of a new account until it is new or the user gives
    // up; the name as typed, or nothing.
    std::optional<QString> askNewName();
    bool onServer() const;
    QString applyOnServer();

    ProgramState& m_state;
    QButtonGroup* m_levels = nullptr;
    // The list positions of the accounts in UserEditList: list row r shows
    // account m_rows[r].
    QVector<int> m_rows;

    // The UserEditList index (0-based) of the signed-in account, −1 when
    // nobody has signed in or that account has been deleted here.
    int m_signedIn = -1;
    // Somebody had signed in when the dialog opened.
    bool m_tracksSignedIn = false;

    QString NewUserName;
    int DeleteUserNumber = -1;
    QString m_newPassword; // stored form of the new account's password (on a server: as typed)
    // On a server: the accounts as the server held them when the window opened.
    QVector<UserAccount> m_serverAccounts;
};

} // namespace ravo
