#pragma once
// Shared by the tests of the account windows: a run of the program on fresh
// folders, accounts written as the program stores them, a sign-in, and a
// modal dialog driven from inside its own event loop.
#include "ModalKit.h"
#include "ProgramRun.h"
#include "core/Accounts.h"
#include "core/PasswordHash.h"
#include "users/frmLogin.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace ravo::test {

// Passwords are hashed at the lowest cost, to keep the tests quick.
struct AccountsRun : Run {
    AccountsRun() { setPasswordHashCost(PasswordHashCost::Minimum); }
    QString stored(int account)
    {
        return state.settings.read(SettingsStore::MainApp, QString::number(account), "Password");
    }
};

// Level-0 accounts (name, password as typed); a password starting with '!'
// is stored without the '!' in clear text, as older versions kept it.
inline void writeAccounts(SettingsStore& store, const QList<QPair<QString, QString>>& accounts)
{
    store.save(SettingsStore::MainApp, "register", "ok", "True");
    QVector<UserAccount> list;
    for (const auto& [name, password] : accounts)
        list.append({name, password.startsWith('!') ? password.mid(1) : hashPassword(password).value(), 0, 0});
    saveAccountList(store, list);
}

// The account a new sign-in dialog lets in with this name and password, or 0.
inline int signIn(ProgramState& state, const QString& name, const QString& password)
{
    frmLogin dialog(state);
    dialog.show();
    dialog.cboName->setEditText(name);
    dialog.txtPassword->setText(password);
    dialog.cmdOK->click();
    return dialog.Ok ? state.CurrentUser : 0;
}

} // namespace ravo::test
