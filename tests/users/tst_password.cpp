// The password dialog, and the password change of the signed-in account.
#include "UsersTestKit.h"
#include "core/ServerAccounts.h"
#include "users/frmPassword.h"
#include "users/frmUser.h"

#include <QListWidget>
#include <QSqlQuery>
#include <memory>

using namespace ravo;
using namespace ravo::test;

class TestPassword : public QObject {
    Q_OBJECT
    std::unique_ptr<AccountsRun> run;

private slots:
    void init()
    {
        run = std::make_unique<AccountsRun>();
        QVERIFY(run->sandbox.isValid());
    }

    void confirming_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("equal") << "新密码1"
                               << "新密码1";
        QTest::newRow("both empty") << ""
                                    << "";
        QTest::newRow("other case") << "abc"
                                    << "ABC";
        QTest::newRow("trailing space") << "abc"
                                        << "abc ";
        QTest::newRow("second empty") << "abc"
                                      << "";
    }
    void confirming()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        run->state.NewPassword = "left by an earlier dialog";
        frmPassword dialog(run->state);
        dialog.show();
        QCOMPARE(dialog.focusWidget(), dialog.txtPassword1);
        dialog.txtPassword1->setText(first);
        dialog.txtPassword2->setText(second);
        dialog.cmdOk->click();
        if (first == second) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(run->state.NewPassword, std::optional<QString>(first));
            return;
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(run->state.NewPassword, std::nullopt);
        QCOMPARE(run->prompt.messages.size(), 1);
        const ScriptedPrompter::Message& m = run->prompt.messages.at(0);
        QCOMPARE(QStringList({m.text, m.title}), QStringList({"密码错误！请检查密码的一致性！", "密码错误！"}));
        QCOMPARE(m.icon, Prompter::Icon::Critical);
        QCOMPARE(dialog.focusWidget(), dialog.txtPassword2);
        QCOMPARE(dialog.txtPassword2->selectedText(), second);
    }

    void changePassword_data()
    {
        QTest::addColumn<QStringList>("steps"); // "first|second" typed and 确定, or cancel, esc, close
        QTest::addColumn<QString>("password");  // what lets 张三 in afterwards
        QTest::newRow("new password") << QStringList{"新 密码 Pass|新 密码 Pass"} << "新 密码 Pass";
        QTest::newRow("INI separators") << QStringList{"p=a;s,s\"w\\|p=a;s,s\"w\\"} << "p=a;s,s\"w\\";
        QTest::newRow("looks like a hash")
            << QStringList{"$argon2id$v=19$m=8,t=1,p=1$YQ$YQ|$argon2id$v=19$m=8,t=1,p=1$YQ$YQ"}
            << "$argon2id$v=19$m=8,t=1,p=1$YQ$YQ";
        QTest::newRow("password removed") << QStringList{"|"} << "";
        QTest::newRow("取消") << QStringList{"cancel"} << "z";
        QTest::newRow("Esc") << QStringList{"esc"} << "z";
        QTest::newRow("close box") << QStringList{"close"} << "z";
        QTest::newRow("boxes differ, then 取消") << QStringList{"a|b", "cancel"} << "z";
    }
    void changePassword()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, password);
        const bool changed = password != "z";
        writeAccounts(run->state.settings, {{"Admin", "root"}, {"张三", "z"}});
        QCOMPARE(signIn(run->state, "张三", "z"), 2);
        const QMap<QString, QVariant> before = settingsSnapshot(run->state.settings);
        const QString adminPassword = run->state.UserList.at(0).Password;
        run->state.NewPassword = "stale"; // an earlier dialog's answer is not this one's

        QWidget mainWindow;
        whenModal<frmPassword>(this, [steps](frmPassword* d) {
            for (const QString& step : steps) {
                if (step == "cancel")
                    d->cmdCancle->click();
                else if (step == "esc")
                    QTest::keyClick(d->txtPassword1, Qt::Key_Escape);
                else if (step == "close")
                    d->close();
                else {
                    d->txtPassword1->setText(step.section('|', 0, 0));
                    d->txtPassword2->setText(step.section('|', 1));
                    d->cmdOk->click();
                }
            }
        });
        ravo::changePassword(run->state, &mainWindow);

        if (!changed)
            QCOMPARE(run->state.NewPassword, std::nullopt);
        const QString stored = run->stored(2);
        QCOMPARE(isPasswordHash(stored), !password.isEmpty()); // never the clear text
        QCOMPARE(run->state.UserList.at(1).Password, stored);
        QCOMPARE(run->state.UserList.at(0).Password, adminPassword);
        // Nothing but 张三's password is written.
        QMap<QString, QVariant> after = settingsSnapshot(run->state.settings);
        QCOMPARE(after.value("2/Password") != before.value("2/Password"), changed);
        after["2/Password"] = before.value("2/Password");
        QCOMPARE(after, before);
        // The next run lets 张三 in with the password now in force only.
        ProgramState next(run->sandbox.appDir(), run->prompt);
        QCOMPARE(signIn(next, "张三", password), 2);
        QCOMPARE(signIn(next, "张三", changed ? "z" : "stale"), 0);
    }

    // User management moves accounts up when one before them is deleted; the
    // password change afterwards still acts on the signed-in account.
    void changePasswordAfterUserManagement_data()
    {
        QTest::addColumn<QString>("signedIn");  // its password is its name's first letter
        QTest::addColumn<QStringList>("edits"); // "del:ROW", "add:NAME" (password "w")
        QTest::addColumn<bool>("confirmed");    // 确定, else 取消
        QTest::addColumn<int>("account");       // CurrentUser afterwards, 0: deleted
        QTest::newRow("one before it deleted, one added") << "Li" << QStringList{"del:1", "add:Wang"} << true << 2;
        QTest::newRow("one added, one before it deleted") << "Li" << QStringList{"add:Wang", "del:1"} << true << 2;
        QTest::newRow("one after it deleted") << "Zhang" << QStringList{"del:2", "add:Wang"} << true << 2;
        QTest::newRow("edits cancelled") << "Li" << QStringList{"del:1", "add:Wang"} << false << 3;
        QTest::newRow("itself deleted") << "Li" << QStringList{"del:2", "add:Wang"} << true << 0;
    }
    void changePasswordAfterUserManagement()
    {
        QFETCH(QString, signedIn);
        QFETCH(QStringList, edits);
        QFETCH(bool, confirmed);
        QFETCH(int, account);
        writeAccounts(run->state.settings, {{"Admin", "A"}, {"Zhang", "Z"}, {"Li", "L"}});
        QVERIFY(signIn(run->state, signedIn, signedIn.left(1)) != 0);
        {
            frmUser users(run->state);
            for (const QString& edit : edits) {
                const QString arg = edit.section(':', 1);
                if (edit.startsWith("del:")) {
                    run->prompt.answers << Prompter::Answer::Ok;
                    users.lstUser->setCurrentRow(arg.toInt());
                    users.cmdDeleteUser->click();
                    continue;
                }
                run->prompt.inputs << arg;
                whenModal<frmPassword>(this, [](frmPassword* p) {
                    p->txtPassword1->setText("w");
                    p->txtPassword2->setText("w");
                    p->cmdOk->click();
                });
                users.cmdNewUser->click();
            }
            (confirmed ? users.cmdClose : users.cmdCanle)->click();
        }
        QCOMPARE(run->state.CurrentUser, qint16(account));
        run->prompt.messages.clear();
        const QMap<QString, QVariant> before = settingsSnapshot(run->state.settings);

        if (account != 0)
            whenModal<frmPassword>(this, [](frmPassword* d) {
                d->txtPassword1->setText("neu");
                d->txtPassword2->setText("neu");
                d->cmdOk->click();
            });
        QWidget mainWindow;
        ravo::changePassword(run->state, &mainWindow);

        if (account == 0) {
            QCOMPARE(run->prompt.messages.size(), 1);
            const ScriptedPrompter::Message& m = run->prompt.messages.at(0);
            QVERIFY2(m.text.contains(QStringLiteral("被删除")), qPrintable(m.text));
            QCOMPARE(m.icon, Prompter::Icon::Critical);
            QCOMPARE(settingsSnapshot(run->state.settings), before);
            return;
        }
        QVERIFY(run->prompt.messages.isEmpty());
        // Only the signed-in account's password changed, in its new section.
        ProgramState next(run->sandbox.appDir(), run->prompt);
        QCOMPARE(signIn(next, signedIn, "neu"), account);
        QCOMPARE(signIn(next, signedIn, signedIn.left(1)), 0);
        const QVector<UserAccount> accounts = next.UserList; // each sign-in reads the list afresh
        for (const UserAccount& a : accounts)
            if (a.Name != signedIn)
                QVERIFY2(signIn(next, a.Name, a.Name == "Wang" ? "w" : a.Name.left(1)) != 0, qPrintable(a.Name));
    }

    // Tests hash cheaply; the program itself pays libsodium's interactive cost.
    void programHashCost()
    {
        setPasswordHashCost(PasswordHashCost::Interactive);
        const QString hash = hashPassword("root").value_or(QString());
        setPasswordHashCost(PasswordHashCost::Minimum);
        QVERIFY2(hash.startsWith("$argon2id$v=19$m=65536,t=2,p=1$"), qPrintable(hash));
        QVERIFY(passwordMatches(hash, "root"));
        QVERIFY(hashPassword("root") != hashPassword("root")); // salted
    }

    // On a server ledger the command sets the signed-in role's password on
    // the server (and clears its mark to change it); the settings file is
    // not written.
    void changePasswordOnServer_data()
    {
        QTest::addColumn<QString>("typed");    // typed in both boxes; "cancel" cancels
        QTest::addColumn<QString>("password"); // what lets the account in afterwards
        QTest::addColumn<QString>("said");     // the message shown, in part
        QTest::newRow("new password") << "新 密码-2"
                                      << "新 密码-2"
                                      << "密码已修改";
        QTest::newRow("empty refused") << ""
                                       << "first-1"
                                       << "必须有密码";
        QTest::newRow("cancelled") << "cancel"
                                   << "first-1"
                                   << "";
    }
    void changePasswordOnServer()
    {
        QFETCH(QString, typed);
        QFETCH(QString, password);
        QFETCH(QString, said);
        Database owner;
        const QString why = openFreshServerLedger(owner);
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
        ServerAddress me = owner.serverAddress();
        me.user = me.database + QStringLiteral("_张三");
        QVERIFY(owner.executeNative("DROP ROLE IF EXISTS " + quotedIdentifier(me.user)).ok());
        QVERIFY(createServerAccount(owner, me.user, "first-1", 1, true).ok());
        QVERIFY(!run->state.LedgerDatabase.openServer(me, "first-1"));
        QVERIFY(mustChangePassword(run->state.LedgerDatabase));
        const QMap<QString, QVariant> before = settingsSnapshot(run->state.settings);

        whenModal<frmPassword>(this, [typed](frmPassword* d) {
            if (typed == "cancel") {
                d->cmdCancle->click();
                return;
            }
            d->txtPassword1->setText(typed);
            d->txtPassword2->setText(typed);
            d->cmdOk->click();
        });
        QWidget mainWindow;
        ravo::changePassword(run->state, &mainWindow);
        QCOMPARE(run->prompt.messages.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(run->prompt.messages.at(0).text.contains(said), qPrintable(run->prompt.messages.at(0).text));
        QCOMPARE(mustChangePassword(run->state.LedgerDatabase), password == "first-1");
        QCOMPARE(settingsSnapshot(run->state.settings), before);
        run->state.LedgerDatabase.close();
        Database again;
        QVERIFY(!again.openServer(me, password));
        if (password != "first-1")
            QVERIFY(again.openServer(me, "first-1"));
        again.close();
        QVERIFY(owner.executeNative("DROP ROLE " + quotedIdentifier(me.user)).ok());
    }

    // Signed in with a temporary password: a password of one's own is asked
    // for until one is set, or the user gives up.
    void ownPasswordAfterSignIn_data()
    {
        QTest::addColumn<bool>("temporary");
        QTest::addColumn<QStringList>("typed"); // one per dialog shown; "cancel" cancels
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("own password already") << false << QStringList{} << true;
        QTest::newRow("set at once") << true << QStringList{"mine-3"} << true;
        QTest::newRow("empty, then set") << true << QStringList{"", "mine-3"} << true;
        QTest::newRow("given up") << true << QStringList{"cancel"} << false;
    }
    void ownPasswordAfterSignIn()
    {
        QFETCH(bool, temporary);
        QFETCH(QStringList, typed);
        QFETCH(bool, signedIn);
        Database owner;
        const QString why = openFreshServerLedger(owner);
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
        ServerAddress me = owner.serverAddress();
        me.user = me.database + QStringLiteral("_李四");
        QVERIFY(owner.executeNative("DROP ROLE IF EXISTS " + quotedIdentifier(me.user)).ok());
        QVERIFY(createServerAccount(owner, me.user, "first-1", 2, temporary).ok());
        QVERIFY(!run->state.LedgerDatabase.openServer(me, "first-1"));
        std::function<void(frmPassword*)> answer;
        int shown = 0;
        answer = [&](frmPassword* d) {
            const QString t = typed.value(shown++);
            if (shown < typed.size())
                whenModal<frmPassword>(this, answer);
            if (t == "cancel") {
                d->cmdCancle->click();
                return;
            }
            d->txtPassword1->setText(t);
            d->txtPassword2->setText(t);
            d->cmdOk->click();
        };
        if (!typed.isEmpty())
            whenModal<frmPassword>(this, answer);
        QCOMPARE(requireOwnServerPassword(run->state, nullptr), signedIn);
        QCOMPARE(shown, typed.size());
        QCOMPARE(mustChangePassword(run->state.LedgerDatabase), !signedIn);
        run->state.LedgerDatabase.close();
        Database again;
        QVERIFY(!again.openServer(me, typed.contains("mine-3") ? "mine-3" : "first-1"));
        again.close();
        QVERIFY(owner.executeNative("DROP ROLE " + quotedIdentifier(me.user)).ok());
    }
};

QTEST_MAIN(TestPassword)
#include "tst_password.moc"
