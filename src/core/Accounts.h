#pragma once
// The user accounts in the settings store (application "RAVO"): section
// "User", key "Count" = N; sections "1" … "N" with "Name", "Password",
// "Level" and "History"; section "register", key "ok" = "True" once the list
// has been seeded. Account i of the list is section "i".
//
// Passwords are read and written only by the functions of this file.
#include "SettingsStore.h"

#include <QString>
#include <QVector>

namespace ravo {

inline const QString AdministratorName = QStringLiteral("系统管理员");

struct UserAccount {
    QString Name;
    QString Password;
    qint16 Level = 0;   // 0 系统管理员, 1 计量管理员, 2 计量器具保管员
    qint16 History = 0; // written as 0 for a new account, carried along
};

struct AccountLoad {
    // Account i (section "i") is accounts[i - 1].
    QVector<UserAccount> accounts;
    // The store was reset to the single seeded administrator.
    bool seeded = false;
};

// The account that first run writes: "系统管理员", no password, level 0.
UserAccount seededAdministrator();

// Loads the account list. When the "register"/"ok" flag is not True, the
// count is absent, not a number or below 1, or the Level or History of a
// listed account is absent or not a number, the store is reset to the seeded
// administrator (flag True, count 1, section "1") and read again. Sections
// of other accounts stay in the store but are no longer listed.
AccountLoad loadAccountList(SettingsStore& store);

// The sign-in list position to preselect from "Settings"/"OldUser": the
// stored position when it is a whole number within 0 … entryCount − 1,
// otherwise 0 (also when the value is absent or "NO").
int preselectIndex(const SettingsStore& store, int entryCount);

// Writes "User"/"Count" = N and sections "1" … "N". Sections numbered above
// N are left as they are.
void saveAccountList(SettingsStore& store, const QVector<UserAccount>& accounts);

// Writes the password of account index1Based (section "1" … "N").
void savePassword(SettingsStore& store, int index1Based, const QString& password);

} // namespace ravo
