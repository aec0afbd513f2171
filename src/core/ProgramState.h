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

// Which ledger window is in front, which decides what an editor opened next
// starts from (ProgramState::EditorMode).
enum class ActiveWindow : qint16 {
    Main = 0,        // the main window: the record editors show every instrument
    Stock = 1,       // the stock window: the in-use editor starts a new row from StockIssue
    InUseEditor = 2, // the in-use editor: the record editors show TargetInstrument only
};

struct ProgramState {
    explicit ProgramState(const QString& applicationDirectory, Prompter& prompter)
        : appDir(applicationDirectory), prompt(prompter)
    {
    }

    QString databasePath() const { return appDir + QStringLiteral("/ravo.mdb"); }

    QString appDir; // where ravo.mdb, ravo.bak, ravo.tmp and TIPOFDAY.TXT live
    // The ledger on a PostgreSQL server this run works on (the sign-in
    // connects to it as the account signing in); nothing for the file.
    std::optional<ServerAddress> server;
    Prompter& prompt;
    SettingsStore settings;
    Database LedgerDatabase;
    const QVector<InstrumentClass>* InstrumentClasses = &instrumentClasses();

    // The signed-in session: the accounts, who is signed in and with which
    // rights.
    struct Session {
        QVector<UserAccount> UserList; // account i is UserList[i - 1]
        QVector<UserAccount> UserEditList;
        qint16 UserCount = 0;
        // 1-based; 0 before sign-in. User management keeps it on the signed-in
        // account when accounts before it are deleted.
        qint16 CurrentUser = 0;
        // The signed-in account was deleted in user management (CurrentUser is 0).
        bool CurrentUserDeleted = false;
        std::optional<QString> NewPassword;
        qint16 RestrictedLevel = 0;
    } session;

    // Where the user is in the ledger, and what one window hands to the next.
    struct Navigation {
        QString CurrentTable;
        QString QuerySQL;
        bool RequeryOnActivate = false;
        QString SelectedNumber;
        ActiveWindow EditorMode = ActiveWindow::Main;
        // The stock row handed to the in-use editor when an item is issued, and
        // the instrument handed to the record editors; column name → value.
        QHash<QString, QVariant> StockIssue;
        QHash<QString, QString> TargetInstrument;
        // The stock ledger's row of the item issued (its attachments go with
        // the new instrument); -1 for an item not yet saved.
        qint64 StockIssueRow = -1;
        bool ButtonHighlighted = false;
    } navigation;

    // The options of the settings store and the saved queries, as the
    // options pass read them.
    Options options;
    QVector<SavedQuery> SavedQueries;

    // The names the windows use, each referring into its group above.
    QVector<UserAccount>& UserList = session.UserList;
    QVector<UserAccount>& UserEditList = session.UserEditList;
    qint16& UserCount = session.UserCount;
    qint16& CurrentUser = session.CurrentUser;
    bool& CurrentUserDeleted = session.CurrentUserDeleted;
    std::optional<QString>& NewPassword = session.NewPassword;
    qint16& RestrictedLevel = session.RestrictedLevel;

    QString& CurrentTable = navigation.CurrentTable;
    QString& QuerySQL = navigation.QuerySQL;
    bool& RequeryOnActivate = navigation.RequeryOnActivate;
    QString& SelectedNumber = navigation.SelectedNumber;
    ActiveWindow& EditorMode = navigation.EditorMode;
    QHash<QString, QVariant>& StockIssue = navigation.StockIssue;
    QHash<QString, QString>& TargetInstrument = navigation.TargetInstrument;
    bool& ButtonHighlighted = navigation.ButtonHighlighted;

    qint16& ShowTipsAtStartup = options.ShowTipsAtStartup;
};

} // namespace ravo
