#pragma once
// The program-wide values of one run, created at start-up and handed to each
// window. Their names are the ones the windows speak of.
#include "Accounts.h"
#include "Database.h"
#include "Ledger.h"
#include "Options.h"
#include "Prompter.h"
#include "SettingsStore.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

namespace ravo {

// The application's title, carried by message boxes that name none of their own.
inline const QString AppTitle = QStringLiteral("RAVO");

struct ProgramState {
    explicit ProgramState(const QString& applicationDirectory, Prompter& prompter)
        : appDir(applicationDirectory), prompt(prompter) {}

    QString databasePath() const { return appDir + QStringLiteral("/ravo.mdb"); }

    QString appDir;        // where ravo.mdb, ravo.bak, ravo.tmp and TIPOFDAY.TXT live
    Prompter& prompt;
    SettingsStore settings;
    Database LedgerDatabase;

    QString CurrentTable;
    QString QuerySQL;
    bool RequeryOnActivate = false;
    QString SelectedNumber;
    qint16 EditorMode = 0;   // 0 main window, 1 stock window, 2 in-use editor
    const QVector<InstrumentClass>* InstrumentClasses = &instrumentClasses();
    // The stock row handed to the in-use editor when an item is issued, and
    // the instrument handed to the record editors; column name → value.
    QHash<QString, QVariant> StockIssue;
    QHash<QString, QString> TargetInstrument;

    QVector<UserAccount> UserList;       // account i is UserList[i - 1]
    QVector<UserAccount> UserEditList;
    qint16 UserCount = 0;
    // 1-based; 0 before sign-in. User management keeps it on the signed-in
    // account when accounts before it are deleted.
    qint16 CurrentUser = 0;
    // The signed-in account was deleted in user management (CurrentUser is 0).
    bool CurrentUserDeleted = false;
    std::optional<QString> NewPassword;
    qint16 RestrictedLevel = 0;

    QVector<SavedQuery> SavedQueries;
    Options options;
    // The tip-of-the-day option under the name the windows use.
    qint16& ShowTipsAtStartup = options.ShowTipsAtStartup;
    bool ButtonHighlighted = false;
};

} // namespace ravo
