#pragma once
// The sign-in dialog that start-up shows before any other window.
//
// Creating it loads the account list (seeding the store on first run) into
// UserList, UserEditList and UserCount. Showing it preselects the account
// that signed in last ("Settings"/"OldUser"). "确定" looks for the first
// account whose name and password both equal what was typed, exactly; on a
// match it sets CurrentUser and Ok and closes. Start-up reads Ok after the
// modal dialog returns: False means the user gave up.
//
// On a ledger on a database server (ProgramState::server) the accounts are
// the server's: the name is prefilled with the connection's user, "确定"
// connects to the server as that account with the typed password, and the
// account list and the level come from the server's roles. A wrong password,
// an unknown account, an unreachable server or an account that is no user of
// this ledger is told in Chinese and the user may try again, or take the
// ledger file for this run instead ("本机台帐文件(&F)": UseFileInstead, the
// dialog closes without signing in; the kept choice is not changed).
#include "core/ProgramState.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ravo {

class InstrumentDial;

class frmLogin : public QDialog {
    Q_OBJECT
public:
    explicit frmLogin(ProgramState& state, QWidget* parent = nullptr);

    // True once an account has signed in.
    bool Ok = false;
    // On a server ledger: the user asked for the ledger file for this run.
    bool UseFileInstead = false;

    QComboBox* cboName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdFile = nullptr; // server only

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    void loadAccounts();
    void prepareServerSignIn();
    void checkServerSignIn();
    void preselectLastAccount();
    void checkSignIn();
    // The first account (1-based) whose name and password equal the typed
    // ones, or 0.
    int matchingAccount(const QString& name, const QString& password) const;
    void upgradeClearTextPassword(int account, const QString& password);

    ProgramState& m_state;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLabel* m_ledgerLabel = nullptr; // which server ledger (server only)
    InstrumentDial* m_picture = nullptr;
};

} // namespace ravo
