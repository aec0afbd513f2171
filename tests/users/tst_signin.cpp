// The sign-in dialog: seeding, preselection, matching, closing, and the
// upgrade of clear-text passwords left by older versions.
#include "UsersTestKit.h"
#include "core/LedgerChoice.h"
#include "core/ServerAccounts.h"
#include "users/frmConnection.h"
#include "users/frmPassword.h"

#include <QRadioButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <memory>

using namespace ravo;
using namespace ravo::test;
using Entries = QList<QStringList>; // section, key, value

namespace {

// Accounts of the server ledger the sign-in tests use: their login roles
// carry the test database's name, so that test programs running side by
// side on the one cluster never meet. "outsider" is in none of the groups.
struct ServerAccount {
    QString name;
    QString password;
    int level; // -1: in no group
};

QString roleName(const QString& database, const QString& who)
{
    return who + QLatin1Char('_') + database;
}

// Makes the three group roles of `db`'s ledger and the accounts (again with
// their passwords when they exist from an earlier run). Empty on success.
QString makeServerAccounts(Database& db, const QVector<ServerAccount>& accounts)
{
    const QString database = db.serverAddress().database;
    auto ensureRole = [&](const QString& role, const QString& options) {
        return db
            .executeNative(QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = %1) "
                                          "THEN CREATE ROLE %2 %3; END IF; END$$")
                               .arg(QStringLiteral("'") + role + QLatin1Char('\''), quotedIdentifier(role), options))
            .error;
    };
    // The ledger's tables are seen by its users (the fresh ledger's schema
    // was made by the superuser).
    for (int level = 0; level <= 2; ++level) {
        if (const DbError e = ensureRole(levelRoleName(database, level), QStringLiteral("NOLOGIN")))
            return e.text();
        if (const DbResult r = db.executeNative(QStringLiteral("GRANT USAGE ON SCHEMA public TO %1")
                                                    .arg(quotedIdentifier(levelRoleName(database, level))));
            !r.ok())
            return r.error.text();
    }
    for (const ServerAccount& a : accounts) {
        const QString role = quotedIdentifier(roleName(database, a.name));
        if (const DbError e = ensureRole(roleName(database, a.name), QStringLiteral("LOGIN")))
            return e.text();
        QStringList statements = {QStringLiteral("ALTER ROLE %1 LOGIN PASSWORD '%2'").arg(role, a.password)};
        for (int level = 0; level <= 2; ++level)
            statements << (level == a.level ? QStringLiteral("GRANT %1 TO %2") : QStringLiteral("REVOKE %1 FROM %2"))
                              .arg(quotedIdentifier(levelRoleName(database, level)), role);
        for (const QString& sql : statements)
            if (const DbResult r = db.executeNative(sql); !r.ok())
                return r.error.text();
    }
    return {};
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT
    std::unique_ptr<AccountsRun> run;

private slots:
    void init()
    {
        run = std::make_unique<AccountsRun>();
        QVERIFY(run->sandbox.isValid());
    }

    void seeding_data()
    {
        QTest::addColumn<Entries>("entries");
        const Entries zhang = {
            {"register", "ok", "True"}, {"1", "Name", "张三"}, {"1", "Level", "2"}, {"1", "History", "0"}};
        QTest::newRow("empty store") << Entries{};
        QTest::newRow("count 0") << zhang + Entries{{"User", "Count", "0"}};
        QTest::newRow("count x") << zhang + Entries{{"User", "Count", "x"}};
    }
    void seeding()
    {
        QFETCH(Entries, entries);
        for (const QStringList& e : entries)
            run->state.settings.save(SettingsStore::MainApp, e[0], e[1], e[2]);
        frmLogin dialog(run->state);
        dialog.show();
        QCOMPARE(dialog.cboName->count(), 1);
        QCOMPARE(dialog.cboName->currentText(), QString("系统管理员"));
        QCOMPARE(run->state.UserCount, qint16(1));
        dialog.cmdOK->click(); // with the password box left empty
        QVERIFY(dialog.Ok);
        QCOMPARE(run->state.CurrentUser, qint16(1));
        QCOMPARE(run->state.UserList.at(0).Level, qint16(0));
        QCOMPARE(run->state.settings.read(SettingsStore::MainApp, "register", "ok"), QString("True"));
        QCOMPARE(run->state.settings.read(SettingsStore::MainApp, "User", "Count"), QString("1"));
    }

    void matching_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("account"); // 0: refused
        QTest::newRow("exact") << "Admin"
                               << "root" << 1;
        QTest::newRow("name in other case") << "admin"
                                            << "root" << 0;
        QTest::newRow("name with trailing space") << "Admin "
                                                  << "root" << 0;
        QTest::newRow("password in other case") << "Admin"
                                                << "ROOT" << 0;
        QTest::newRow("password with trailing space") << "Admin"
                                                      << "root " << 0;
        QTest::newRow("another account's password") << "Admin"
                                                    << "z1" << 0;
        QTest::newRow("the stored hash typed") << "Admin"
                                               << "<stored>" << 0;
        QTest::newRow("same name, first password") << "张三"
                                                   << "z1" << 2;
        QTest::newRow("same name, second password") << "张三"
                                                    << "z2" << 3;
        QTest::newRow("no password") << "李四"
                                     << "" << 4;
        QTest::newRow("no password, space typed") << "李四"
                                                  << " " << 0;
        QTest::newRow("empty name") << ""
                                    << "e" << 5;
        QTest::newRow("old clear text") << "老用户"
                                        << "Old Pass" << 6;
        QTest::newRow("old clear text, other case") << "老用户"
                                                    << "old pass" << 0;
    }
    void matching()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(int, account);
        writeAccounts(
            run->state.settings,
            {{"Admin", "root"}, {"张三", "z1"}, {"张三", "z2"}, {"李四", ""}, {"", "e"}, {"老用户", "!Old Pass"}});
        if (password == "<stored>")
            password = run->stored(1);
        frmLogin dialog(run->state);
        dialog.show();
        QCOMPARE(dialog.cboName->itemText(4), QString());
        dialog.cboName->setEditText(name);
        dialog.txtPassword->setText(password);
        dialog.cmdOK->click();
        QCOMPARE(dialog.Ok, account != 0);
        QCOMPARE(dialog.isVisible(), account == 0);
        QCOMPARE(run->state.CurrentUser, qint16(account));
        if (account != 0) {
            QVERIFY(run->prompt.messages.isEmpty());
            return;
        }
        QCOMPARE(run->prompt.messages.size(), 1);
        const ScriptedPrompter::Message& m = run->prompt.messages.at(0);
        QCOMPARE(QStringList({m.text, m.title}), QStringList({"密码错误，再试一次！", "登录"}));
        QCOMPARE(m.icon, Prompter::Icon::Critical);
        QCOMPARE(dialog.focusWidget(), dialog.txtPassword);
        QCOMPARE(dialog.txtPassword->selectedText(), password);
        QCOMPARE(run->stored(6), QString("Old Pass")); // nothing written on refusal
        // No limit on attempts.
        dialog.cboName->setEditText("李四");
        dialog.txtPassword->clear();
        dialog.cmdOK->click();
        QCOMPARE(run->state.CurrentUser, qint16(4));
    }

    // A name typed key by key signs in exactly as typed: the name box must
    // neither complete "Ad" to "Admin" nor swap "admin" for "Admin".
    void typedNameIsKept_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("enter"); // Enter in the name box, else 确定
        QTest::addColumn<int>("account");
        QTest::newRow("as listed") << "Admin"
                                   << "pw" << true << 1;
        QTest::newRow("lower case") << "admin"
                                    << "pw" << true << 0;
        QTest::newRow("upper case") << "ADMIN"
                                    << "pw" << true << 0;
        QTest::newRow("prefix of another, Enter") << "Ad"
                                                  << "ad" << true << 2;
        QTest::newRow("prefix of another, 确定") << "Ad"
                                                 << "ad" << false << 2;
        QTest::newRow("prefix with the longer one's password") << "Ad"
                                                               << "pw" << true << 0;
        QTest::newRow("prefix with the longer one's password, 确定") << "Ad"
                                                                     << "pw" << false << 0;
        QTest::newRow("prefix of no account") << "A"
                                              << "pw" << true << 0;
    }
    void typedNameIsKept()
    {
        QFETCH(QString, typed);
        QFETCH(QString, password);
        QFETCH(bool, enter);
        QFETCH(int, account);
        writeAccounts(run->state.settings, {{"Admin", "pw"}, {"Ad", "ad"}});
        frmLogin dialog(run->state);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.txtPassword->setText(password);
        dialog.cboName->setFocus();
        dialog.cboName->clearEditText();
        QTest::keyClicks(dialog.cboName->lineEdit(), typed);
        QCOMPARE(dialog.cboName->currentText(), typed);
        if (enter)
            QTest::keyClick(dialog.cboName->lineEdit(), Qt::Key_Return);
        else
            dialog.cmdOK->click();
        QCOMPARE(dialog.Ok, account != 0);
        QCOMPARE(run->state.CurrentUser, qint16(account));
    }

    void preselect_data()
    {
        QTest::addColumn<QString>("oldUser"); // null: absent
        QTest::addColumn<QString>("selected");
        QTest::newRow("absent") << QString() << "Admin";
        QTest::newRow("NO") << "NO"
                            << "Admin";
        QTest::newRow("abc") << "abc"
                             << "Admin";
        QTest::newRow("past the last entry") << "2"
                                             << "Admin";
        QTest::newRow("second entry") << "1"
                                      << "张三";
    }
    void preselect()
    {
        QFETCH(QString, oldUser);
        QFETCH(QString, selected);
        writeAccounts(run->state.settings, {{"Admin", "a"}, {"张三", "z"}});
        if (!oldUser.isNull())
            run->state.settings.save(SettingsStore::MainApp, "Settings", "OldUser", oldUser);
        frmLogin dialog(run->state);
        dialog.show();
        QCOMPARE(dialog.cboName->currentText(), selected);
        QCOMPARE(dialog.focusWidget(), dialog.txtPassword);
    }

    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("Enter") << "Enter" << true;
        QTest::newRow("确定") << "cmdOK" << true;
        QTest::newRow("Esc") << "Esc" << false;
        QTest::newRow("取消") << "cmdCancel" << false;
        QTest::newRow("close box") << "close" << false;
    }
    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, signedIn);
        frmLogin dialog(run->state); // first run: the administrator, no password
        whenModal<frmLogin>(this, [how](frmLogin* d) {
            if (how == "Enter" || how == "Esc")
                QTest::keyClick(d->txtPassword, how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
            else if (how == "close")
                d->close();
            else
                d->findChild<QPushButton*>(how)->click();
        });
        QCOMPARE(dialog.exec(), int(signedIn ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(dialog.Ok, signedIn);
        QCOMPARE(run->state.CurrentUser, qint16(signedIn));
    }

    void clearTextIsReplacedByItsHash()
    {
        writeAccounts(run->state.settings, {{"Admin", "a"}, {"老用户", "!明文 Pass"}});
        QCOMPARE(signIn(run->state, "老用户", "明文 Pass"), 2);
        const QString stored = run->stored(2);
        QVERIFY(isPasswordHash(stored));
        QCOMPARE(run->state.UserList.at(1).Password, stored);
        QCOMPARE(run->state.UserEditList.at(1).Password, stored);
        // The next run reads the hash back.
        ProgramState next(run->sandbox.appDir(), run->prompt);
        QCOMPARE(signIn(next, "老用户", "明文 pass"), 0);
        QCOMPARE(signIn(next, "老用户", "明文 Pass"), 2);
        QCOMPARE(signIn(next, "Admin", "a"), 1);
    }

    // On a server ledger the sign-in is the connection as the account: the
    // server checks the password, and the account list and the level are
    // the server's roles.
    void serverSignIn_data()
    {
        QTest::addColumn<QString>("name"); // "" for none; "<host>" the address's unreachable
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("level");       // -1: refused
        QTest::addColumn<QString>("refusal"); // a word of the message
        QTest::newRow("level 1 account") << "张三"
                                         << "z-1" << 1 << QString();
        QTest::newRow("level 2 account") << "李四"
                                         << "l 2" << 2 << QString();
        QTest::newRow("level 0 account") << "admin"
                                         << "a0" << 0 << QString();
        QTest::newRow("wrong password") << "张三"
                                        << "z-2" << -1 << "用户名或密码不对";
        QTest::newRow("password in other case") << "admin"
                                                << "A0" << -1 << "用户名或密码不对";
        QTest::newRow("unknown account") << "王五"
                                         << "x" << -1 << "用户名或密码不对";
        QTest::newRow("account of no level") << "outsider"
                                             << "o" << -1 << "该账户不是本台帐的用户";
        QTest::newRow("no name") << ""
                                 << "x" << -1 << "请输入用户名";
        QTest::newRow("server unreachable") << "<host>"
                                            << "z-1" << -1 << "连接中断";
    }
    void serverSignIn()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(int, level);
        QFETCH(QString, refusal);
        Database admin;
        const QString failure = openFreshServerLedger(admin);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString database = admin.serverAddress().database;
        const QString made = makeServerAccounts(
            admin, {{"admin", "a0", 0}, {"张三", "z-1", 1}, {"李四", "l 2", 2}, {"outsider", "o", -1}});
        QVERIFY2(made.isEmpty(), qPrintable(made));

        ServerAddress address = admin.serverAddress();
        address.user = roleName(database, QStringLiteral("admin"));
        if (name == QLatin1String("<host>")) {
            address.host = run->sandbox.appDir(); // a folder without the server's socket
            name = QStringLiteral("张三");
        }
        run->state.server = address;
        frmLogin dialog(run->state);
        dialog.show();
        QCOMPARE(dialog.cboName->currentText(), address.user); // prefilled with the connection's user
        QVERIFY(dialog.cmdFile->isVisible());
        dialog.cboName->setEditText(name.isEmpty() ? QString() : roleName(database, name));
        dialog.txtPassword->setText(password);
        dialog.cmdOK->click();
        QCOMPARE(dialog.Ok, level >= 0);
        if (level < 0) {
            QVERIFY(dialog.isVisible());
            QCOMPARE(run->prompt.messages.size(), 1);
            QVERIFY2(run->prompt.messages.at(0).text.contains(refusal), qPrintable(run->prompt.messages.at(0).text));
            QCOMPARE(run->prompt.messages.at(0).title, QStringLiteral("登录"));
            QVERIFY(!run->state.LedgerDatabase.isOpen());
            QCOMPARE(run->state.CurrentUser, qint16(0));
            // Settings accounts are not the server's: none were seeded.
            QVERIFY(!run->state.settings.contains(SettingsStore::MainApp, "User", "Count"));
            return;
        }
        QVERIFY(run->prompt.messages.isEmpty());
        QVERIFY(run->state.LedgerDatabase.isOpen());
        QCOMPARE(run->state.LedgerDatabase.serverAddress().user, roleName(database, name));
        QCOMPARE(run->state.server->user, roleName(database, name));
        const UserAccount& me = run->state.UserList.at(run->state.CurrentUser - 1);
        QCOMPARE(me.Name, roleName(database, name));
        QCOMPARE(int(me.Level), level);
        // Every account of the ledger is listed, by level; the outsider not.
        QStringList names;
        for (const UserAccount& a : run->state.UserList)
            names << a.Name;
        QCOMPARE(names,
                 (QStringList{roleName(database, "admin"), roleName(database, "张三"), roleName(database, "李四")}));
        QCOMPARE(run->state.UserCount, qint16(3));
        QCOMPARE(run->state.UserEditList.size(), 3);
    }

    // The sign-in on a server offers the ledger file for this run; giving up
    // is not asking for the file. The file's sign-in has no such button.
    void serverSignInOffersTheFile_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("useFile");
        QTest::newRow("本机台帐文件") << "file" << true;
        QTest::newRow("取消") << "cancel" << false;
        QTest::newRow("Esc") << "esc" << false;
    }
    void serverSignInOffersTheFile()
    {
        QFETCH(QString, button);
        QFETCH(bool, useFile);
        {
            frmLogin fileLogin(run->state);
            fileLogin.show();
            QVERIFY(!fileLogin.cmdFile->isVisible());
        }
        run->state.server = ServerAddress::parse(QStringLiteral("host=/nowhere dbname=ravo user=u"));
        frmLogin dialog(run->state);
        dialog.show();
        if (button == "file")
            dialog.cmdFile->click();
        else if (button == "cancel")
            dialog.cmdCancel->click();
        else
            QTest::keyClick(dialog.txtPassword, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.Ok);
        QCOMPARE(dialog.UseFileInstead, useFile);
        QVERIFY(run->prompt.messages.isEmpty());
        QVERIFY(!run->state.LedgerDatabase.isOpen());
        // The kept choice is the connection window's business.
        QVERIFY(!run->state.settings.contains(SettingsStore::MainApp, "Database", "Engine"));
    }

    // 系统 → 数据库连接: the choice kept for the next start, a server that
    // is incomplete refused with its reason, the file needing nothing.
    void connectionChoice_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QStringList>("fields"); // host, port, database, user
        QTest::addColumn<QString>("kept");       // "Engine|Server" after 确定; empty: refused
        QTest::addColumn<QString>("message");    // a word of the one message
        QTest::newRow("server") << true << QStringList{"db.lab", "5433", "ravo", "张三"}
                                << "Server|host=db.lab port=5433 dbname=ravo user=张三"
                                << "下次启动程序时生效";
        QTest::newRow("host with blanks kept quoted") << true << QStringList{" /run/pg sock ", "5432", "ravo", "u"}
                                                      << "Server|host='/run/pg sock' port=5432 dbname=ravo user=u"
                                                      << "下次启动程序时生效";
        QTest::newRow("file, server remembered") << false << QStringList{"db.lab", "5432", "ravo", "u"}
                                                 << "File|host=db.lab port=5432 dbname=ravo user=u" << QString();
        QTest::newRow("file, nothing else") << false << QStringList{"", "5432", "", ""} << "File|" << QString();
        QTest::newRow("server without host")
            << true << QStringList{"", "5432", "ravo", "u"} << QString() << "缺少服务器";
        QTest::newRow("server without database")
            << true << QStringList{"h", "5432", " ", "u"} << QString() << "缺少数据库名";
        QTest::newRow("server without user") << true << QStringList{"h", "5432", "d", ""} << QString() << "缺少用户名";
    }
    void connectionChoice()
    {
        QFETCH(bool, server);
        QFETCH(QStringList, fields);
        QFETCH(QString, kept);
        QFETCH(QString, message);
        frmConnection dialog(run->state);
        QVERIFY(dialog.optFile->isChecked()); // the file is the default
        QVERIFY(!dialog.txtHost->isEnabled());
        (server ? dialog.optServer : dialog.optFile)->setChecked(true);
        QCOMPARE(dialog.txtHost->isEnabled(), server);
        dialog.txtHost->setText(fields[0]);
        dialog.txtPort->setValue(fields[1].toInt());
        dialog.txtDatabase->setText(fields[2]);
        dialog.txtUser->setText(fields[3]);
        dialog.cmdOK->click();
        QCOMPARE(dialog.saved(), !kept.isEmpty());
        QCOMPARE(run->prompt.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(run->prompt.messages.at(0).text.contains(message), qPrintable(run->prompt.messages.at(0).text));
        const LedgerChoice c = readLedgerChoice(run->state.settings);
        if (kept.isEmpty()) {
            QVERIFY(!run->state.settings.contains(SettingsStore::MainApp, "Database", "Engine"));
            return;
        }
        QCOMPARE(QString(c.server ? "Server" : "File") + '|' + c.serverText, kept);
        // The dialog opens again on what was kept, and a start reads it.
        frmConnection again(run->state);
        QCOMPARE(again.optServer->isChecked(), server);
        QString problem;
        QCOMPARE(startupServer(run->state.settings, {}, false, &problem).has_value(), server);
        if (!c.serverText.isEmpty())
            QCOMPARE(again.txtDatabase->text(), fields[2].trimmed());
    }

    // "测试连接" asks for the password and tries the server on a connection
    // of its own.
    void connectionTest_data()
    {
        QTest::addColumn<QString>("database"); // "<ledger>" the test ledger
        QTest::addColumn<QString>("password"); // "-" cancels the question
        QTest::addColumn<QString>("said");     // a word of the message; empty: none
        QTest::newRow("a ledger") << "<ledger>"
                                  << "z-1"
                                  << "是一个台帐";
        QTest::newRow("wrong password") << "<ledger>"
                                        << "nope"
                                        << "用户名或密码不对";
        QTest::newRow("no such database") << "ravo_no_such_ledger"
                                          << "z-1"
                                          << "没有数据库";
        QTest::newRow("question cancelled") << "<ledger>"
                                            << "-" << QString();
    }
    void connectionTest()
    {
        QFETCH(QString, database);
        QFETCH(QString, password);
        QFETCH(QString, said);
        Database admin;
        const QString failure = openFreshServerLedger(admin);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString ledger = admin.serverAddress().database;
        QVERIFY(makeServerAccounts(admin, {{"张三", "z-1", 1}}).isEmpty());
        frmConnection dialog(run->state);
        dialog.optServer->setChecked(true);
        dialog.txtHost->setText(admin.serverAddress().host);
        dialog.txtDatabase->setText(database == "<ledger>" ? ledger : database);
        dialog.txtUser->setText(roleName(ledger, "张三"));
        if (password == "-")
            run->prompt.inputs << std::nullopt;
        else
            run->prompt.inputs << password;
        dialog.cmdTest->click();
        QCOMPARE(run->prompt.inputsShown.size(), 1);
        QCOMPARE(run->prompt.messages.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(run->prompt.messages.at(0).text.contains(said), qPrintable(run->prompt.messages.at(0).text));
        // Trying is not choosing: nothing is kept, the program's ledger untouched.
        QVERIFY(!run->state.settings.contains(SettingsStore::MainApp, "Database", "Engine"));
        QVERIFY(!run->state.LedgerDatabase.isOpen());
    }

    // 复制本机台帐到服务器 in the connection window copies the ledger file
    // and the settings' accounts into an empty server database, and refuses
    // one that holds a ledger already.
    void copyFromTheConnectionWindow_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QString>("said");
        QTest::newRow("an empty database") << true << "已把 7 个数据表共 1 行和 1 个用户复制到服务器上的数据库";
        QTest::newRow("a database with a ledger") << false << "不是空的";
    }
    void copyFromTheConnectionWindow()
    {
        QFETCH(bool, empty);
        QFETCH(QString, said);
        Database owner;
        const QString failure = openFreshServerLedger(owner);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString database = owner.serverAddress().database;
        const QString administrator = roleName(database, "管理员");
        QVERIFY(owner.executeNative("DROP ROLE IF EXISTS " + quotedIdentifier(administrator)).ok());
        if (empty)
            for (const QString& sql : {QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"),
                                       QStringLiteral("DROP SCHEMA IF EXISTS ravo_accounts CASCADE"),
                                       QStringLiteral("CREATE SCHEMA public")})
                QVERIFY2(owner.executeNative(sql).ok(), qPrintable(sql));
        run->state.settings.save(SettingsStore::MainApp, "register", "ok", "True");
        saveAccountList(run->state.settings, {{administrator, QString(), 0, 0}});
        {
            Database file;
            QVERIFY(!file.open(run->state.databasePath()));
            QVERIFY(insertRow(file, tables::InUse, {{"计量器具编号", "C-1"}}));
        }
        frmConnection dialog(run->state);
        dialog.optServer->setChecked(true);
        dialog.txtHost->setText(owner.serverAddress().host);
        dialog.txtDatabase->setText(database);
        dialog.txtUser->setText(owner.serverAddress().user);
        run->prompt.inputs << QStringLiteral("owner's password") << std::nullopt; // the account: a temporary one
        dialog.cmdCopy->click();
        QVERIFY(!run->prompt.messages.isEmpty());
        QVERIFY2(run->prompt.messages.last().text.contains(said), qPrintable(run->prompt.messages.last().text));
        if (empty) {
            QVERIFY(run->prompt.messages.last().text.contains(administrator + "："));
            QSqlQuery q(owner.connection());
            QVERIFY(q.exec("SELECT 计量器具编号 FROM 计量器具在用库") && q.next());
            QCOMPARE(q.value(0).toString(), QString("C-1"));
            QVERIFY(serverRoleExists(owner, administrator));
            QVERIFY(owner.executeNative("DROP ROLE " + quotedIdentifier(administrator)).ok());
        }
    }

    // 密码设置 on a server ledger sets the server account's password: the
    // next sign-in takes the new one only, nothing reaches the settings, and
    // an empty password (which would lock the account out) is refused.
    void serverPasswordChange_data()
    {
        QTest::addColumn<QString>("typed"); // "-": cancelled
        QTest::addColumn<bool>("changed");
        QTest::newRow("new password with a quote") << "新 p'w" << true;
        QTest::newRow("empty password refused") << "" << false;
        QTest::newRow("cancelled") << "-" << false;
    }
    void serverPasswordChange()
    {
        QFETCH(QString, typed);
        QFETCH(bool, changed);
        Database admin;
        const QString failure = openFreshServerLedger(admin);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString database = admin.serverAddress().database;
        QVERIFY(makeServerAccounts(admin, {{"张三", "z-1", 1}}).isEmpty());
        ServerAddress address = admin.serverAddress();
        address.user = roleName(database, "张三");
        run->state.server = address;
        QVERIFY(signIn(run->state, address.user, "z-1") > 0);

        QWidget mainWindow;
        whenModal<frmPassword>(this, [typed](frmPassword* d) {
            if (typed == "-") {
                d->cmdCancle->click();
                return;
            }
            d->txtPassword1->setText(typed);
            d->txtPassword2->setText(typed);
            d->cmdOk->click();
        });
        changeServerPassword(run->state, &mainWindow);
        QCOMPARE(run->prompt.messages.size(), typed == "-" ? 0 : 1);
        if (typed != "-")
            QVERIFY(run->prompt.messages.at(0).text.contains(changed ? "密码已修改" : "必须有密码"));
        QVERIFY(!run->state.settings.contains(SettingsStore::MainApp, "User", "Count"));
        // The running program reconnects with the password in force.
        QVERIFY(!run->state.LedgerDatabase.reconnect());
        Database other;
        ServerAddress a = address;
        QCOMPARE(other.openServer(a, "z-1").isError(), changed);
        if (changed)
            QVERIFY(!other.openServer(a, typed));
    }
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
