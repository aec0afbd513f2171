#pragma once
// The dialog in which a new password is typed twice. It leaves its result in
// ProgramState::NewPassword for whoever opened it: the typed text when both
// boxes agree (empty text removes the password), or no value when the user
// cancelled. The dialog itself stores nothing.
#include "core/ProgramState.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ravo {

class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(ProgramState& state, QWidget* parent = nullptr);

    QLineEdit* txtPassword1 = nullptr;
    QLineEdit* txtPassword2 = nullptr;
    QLabel* lblWarning = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancle = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    void confirm();

    ProgramState& m_state;
};

// The main window's "密码设置(&K)..." command: asks for a new password and,
// unless the user cancels, makes it the signed-in account's password in
// UserList and in the store (only that account's "Password" key is
// written). The old password is not asked for. If user management has
// deleted the signed-in account, the change is refused with a message.
// On a ledger on a server it becomes the signed-in role's password on the
// server (which keeps only its hash; an empty one is refused), and nothing
// is written to the store.
void changePassword(ProgramState& state, QWidget* parent);

// After signing in to a server ledger: when the account's password was set
// for it (a temporary one), tells the user so and asks for a password of its
// own until one is set. False when the user gives up; the program then
// signs out, since the temporary password is not to stay in use.
bool requireOwnServerPassword(ProgramState& state, QWidget* parent);
// 密码设置 on a server: the signed-in account's own password, set on the
// server (an empty one refused); the running program reconnects with it.
void changeServerPassword(ProgramState& state, QWidget* parent);

} // namespace ravo
