// User management: the list and its level buttons, adding, deleting, and
// what "确定" and "取消" leave in the store.
#include "UsersTestKit.h"
#include "core/ServerAccounts.h"
#include "users/frmPassword.h"
#include "users/frmUser.h"

#include <QListWidget>
#include <QRadioButton>
#include <QSqlQuery>
#include <memory>

using namespace ravo;
using namespace ravo::test;

namespace {

const QString Admin = QStringLiteral("系统管理员");

// Accounts "name" or "name:level", level 0 when not given, no passwords.
void storeAccounts(SettingsStore& store, const QStringList& accounts)
{
    store.save(SettingsStore::MainApp, "register", "ok", "True");
    QVector<UserAccount> list;
    for (const QString& a : accounts) {
        const qsizetype colon = a.lastIndexOf(':');
        list.append({colon < 0 ? a : a.left(colon), {}, qint16(colon < 0 ? 0 : a.mid(colon + 1).toInt()), 0});
    }
    saveAccountList(store, list);
}

QStringList listed(const frmUser& dialog)
{
    QStringList names;
    for (int i = 0; i < dialog.lstUser->count(); ++i)
        names << dialog.lstUser->item(i)->text();
    return names;
}

// The level button that is checked, −1 for none.
int checkedLevel(const frmUser& d)
{
    return d.opt0->isChecked() ? 0 : d.opt1->isChecked() ? 1 : d.opt2->isChecked() ? 2 : -1;
}

} // namespace

class TestUserManage : public QObject {
    Q_OBJECT
    std::unique_ptr<AccountsRun> run;

    QString stored(int section, const char* key)
    {
        return run->state.settings.read(SettingsStore::MainApp, QString::number(section), key);
    }
    QString storedCount() { return run->state.settings.read(SettingsStore::MainApp, "User", "Count"); }
    // The names of sections 1 … Count.
    QStringList storedNames()
    {
        QStringList names;
        for (int i = 1; i <= storedCount().toInt(); ++i)
            names << stored(i, "Name");
        return names;
    }

private slots:
    void init()
    {
        run = std::make_unique<AccountsRun>();
        QVERIFY(run->sandbox.isValid());
    }

    void freshStore()
    {
        frmUser dialog(run->state);
        QCOMPARE(listed(dialog), QStringList{Admin});
        QCOMPARE(dialog.lstUser->currentRow(), 0);
        QCOMPARE(checkedLevel(dialog), 0);
        for (QRadioButton* b : {dialog.opt0, dialog.opt1, dialog.opt2})
            QVERIFY(!b->isEnabled());
        dialog.cmdDeleteUser->click();
        QCOMPARE(run->prompt.messages.size(), 1);
        const ScriptedPrompter::Message& m = run->prompt.messages.at(0);
        QCOMPARE(QStringList({m.text, m.title}), QStringList({"系统管理员是不能删除的！", "不能删除！"}));
        QCOMPARE(m.icon, Prompter::Icon::Critical);
        QCOMPARE(listed(dialog), QStringList{Admin});
        dialog.cmdClose->click();
        QCOMPARE(storedNames(), QStringList{Admin});
    }

    void adding_data()
    {
        QTest::addColumn<QStringList>("accounts");   // in the store before
        QTest::addColumn<QStringList>("typed");      // answers to the name box
        QTest::addColumn<QStringList>("answers");    // to "此用户名已经存在！…" and the like
        QTest::addColumn<QString>("password");       // typed twice; "cancel" cancels the dialog
        QTest::addColumn<QStringList>("afterwards"); // the names stored after 确定
        QTest::addColumn<QStringList>("messages");

        const QStringList none;
        const QString exists = QStringLiteral("此用户名已经存在！请另取一个新的用户名！");
        QTest::newRow("张三 to a fresh store")
            << none << QStringList{"张三"} << none << "张三的密码" << QStringList{Admin, "张三"} << none;
        QTest::newRow("a leading space passes and is trimmed")
            << QStringList{Admin, "张三"} << QStringList{" 张三 "} << none << "pw" << QStringList{Admin, "张三", "张三"}
            << none;
        QTest::newRow("existing name, tried again")
            << QStringList{Admin, "张三"} << QStringList{"张三", "李四"} << QStringList{"ok"} << "pw"
            << QStringList{Admin, "张三", "李四"} << QStringList{exists};
        QTest::newRow("existing name, given up")
            << QStringList{Admin, "张三"} << QStringList{"张三"} << QStringList{"cancel"} << ""
            << QStringList{Admin, "张三"} << QStringList{exists};
        QTest::newRow("the administrator's name")
            << none << QStringList{Admin} << QStringList{"cancel"} << "" << QStringList{Admin} << QStringList{exists};
        QTest::newRow("spaces only") << none << QStringList{"   "} << QStringList{"cancel"} << "" << QStringList{Admin}
                                     << QStringList{"用户名不能只由空格组成！请另取一个新的用户名！"};
        QTest::newRow("name box cancelled") << none << none << none << "" << QStringList{Admin} << none;
        QTest::newRow("name box empty") << none << QStringList{""} << none << "" << QStringList{Admin} << none;
        QTest::newRow("password dialog cancelled")
            << none << QStringList{"王五"} << none << "cancel" << QStringList{Admin} << none;
        QTest::newRow("no password") << none << QStringList{"赵六"} << none << "" << QStringList{Admin, "赵六"} << none;
    }
    void adding()
    {
        QFETCH(QStringList, accounts);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, answers);
        QFETCH(QString, password);
        QFETCH(QStringList, afterwards);
        QFETCH(QStringList, messages);
        if (!accounts.isEmpty())
            storeAccounts(run->state.settings, accounts);
        for (const QString& t : typed)
            run->prompt.inputs << t;
        for (const QString& a : answers)
            run->prompt.answers << (a == "ok" ? Prompter::Answer::Ok : Prompter::Answer::Cancel);

        frmUser dialog(run->state);
        const int before = dialog.lstUser->count();
        const bool adds = afterwards.size() > qMax<qsizetype>(accounts.size(), 1);
        const bool asksPassword = adds || password == "cancel";
        if (asksPassword)
            whenModal<frmPassword>(this, [password](frmPassword* p) {
                if (password == "cancel") {
                    p->cmdCancle->click();
                    return;
                }
                p->txtPassword1->setText(password);
                p->txtPassword2->setText(password);
                p->cmdOk->click();
            });
        dialog.cmdNewUser->click();

        QCOMPARE(run->prompt.inputsShown.size(), qMax<qsizetype>(typed.size(), 1));
        const ScriptedPrompter::Input& box = run->prompt.inputsShown.at(0);
        QCOMPARE(box.title, QStringLiteral("用户名"));
        QCOMPARE(box.prompt, QStringLiteral("请输入一个新用户名：\n\n    用户名长度请不要超过10个汉字！"));
        QStringList shown;
        for (const ScriptedPrompter::Message& m : run->prompt.messages) {
            shown << m.text;
            QCOMPARE(m.title, QStringLiteral("用户名错误！"));
            QCOMPARE(m.icon, Prompter::Icon::Critical);
            QCOMPARE(m.buttons, Prompter::Buttons::OkCancel);
        }
        QCOMPARE(shown, messages);

        if (adds) {
            // The new account is listed last, selected, at level 2.
            QCOMPARE(dialog.lstUser->count(), before + 1);
            QCOMPARE(dialog.lstUser->currentRow(), before);
            QCOMPARE(checkedLevel(dialog), 2);
            QVERIFY(dialog.opt0->isEnabled());
        } else {
            QCOMPARE(dialog.lstUser->count(), before);
        }
        const QMap<QString, QVariant> untouched = settingsSnapshot(run->state.settings);
        dialog.cmdClose->click();
        QCOMPARE(storedNames(), afterwards);
        if (!adds) {
            QCOMPARE(settingsSnapshot(run->state.settings), untouched);
            return;
        }
        const int n = int(afterwards.size());
        QCOMPARE(storedCount(), QString::number(n));
        QCOMPARE(stored(n, "Level"), QStringLiteral("2"));
        QCOMPARE(stored(n, "History"), QStringLiteral("0"));
        // Never the typed text: a hash that the typed text matches.
        const QString kept = stored(n, "Password");
        if (password.isEmpty()) {
            QCOMPARE(kept, QString());
        } else {
            QVERIFY(isPasswordHash(kept));
            QVERIFY(passwordMatches(kept, password));
            QVERIFY(!passwordMatches(kept, password + " "));
        }
    }

    void deleting_data()
    {
        QTest::addColumn<QStringList>("accounts");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QStringList>("listedAfter");
        QTest::addColumn<QStringList>("storedAfter");
        QTest::newRow("account 2 of 3") << QStringList{Admin, "张三", "李四"} << 1 << true << QStringList{Admin, "李四"}
                                        << QStringList{Admin, "李四"};
        QTest::newRow("the last account") << QStringList{Admin, "张三", "李四"} << 2 << true
                                          << QStringList{Admin, "张三"} << QStringList{Admin, "张三"};
        QTest::newRow("answered Cancel") << QStringList{Admin, "张三", "李四"} << 1 << false
                                         << QStringList{Admin, "张三", "李四"} << QStringList{Admin, "张三", "李四"};
        // An account without a name is not listed; the one after it is still
        // the one deleted, and the unnamed one is kept.
        QTest::newRow("after an unnamed account") << QStringList{Admin, "", "李四", "王五"} << 1 << true
                                                  << QStringList{Admin, "王五"} << QStringList{Admin, "", "王五"};
    }
    void deleting()
    {
        QFETCH(QStringList, accounts);
        QFETCH(int, row);
        QFETCH(bool, confirmed);
        QFETCH(QStringList, listedAfter);
        QFETCH(QStringList, storedAfter);
        storeAccounts(run->state.settings, accounts);
        run->prompt.answers << (confirmed ? Prompter::Answer::Ok : Prompter::Answer::Cancel);

        frmUser dialog(run->state);
        dialog.lstUser->setCurrentRow(row);
        const QString name = dialog.lstUser->currentItem()->text();
        dialog.cmdDeleteUser->click();
        QCOMPARE(run->prompt.messages.size(), 1);
        const ScriptedPrompter::Message& m = run->prompt.messages.at(0);
        QCOMPARE(m.text, QStringLiteral("你确认要删除用户: ") + name + QStringLiteral(" 吗？"));
        QCOMPARE(m.title, QStringLiteral("确认删除！"));
        QCOMPARE(m.icon, Prompter::Icon::Question);
        QCOMPARE(m.buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(listed(dialog), listedAfter);
        QCOMPARE(dialog.lstUser->currentRow(), 0);

        dialog.cmdClose->click();
        QCOMPARE(storedNames(), storedAfter);
        // Sections above the new count stay in the store, no longer read.
        if (storedAfter.size() < accounts.size())
            QCOMPARE(stored(int(accounts.size()), "Name"), accounts.last());
    }

    void levels_data()
    {
        QTest::addColumn<QString>("account"); // account 2, "name:level"
        QTest::addColumn<int>("clicked");     // the level button clicked, −1 none
        QTest::addColumn<int>("shown");       // the level button checked after
        QTest::addColumn<QString>("stored");  // its "Level" after 确定
        QTest::newRow("level 2 shown") << "张三:2" << -1 << 2 << "2";
        QTest::newRow("raised to 0") << "张三:2" << 0 << 0 << "0";
        QTest::newRow("an unknown level shows as 2, kept") << "张三:7" << -1 << 2 << "7";
        QTest::newRow("an unknown level changed") << "张三:7" << 1 << 1 << "1";
    }
    void levels()
    {
        QFETCH(QString, account);
        QFETCH(int, clicked);
        QFETCH(int, shown);
        QFETCH(QString, stored);
        storeAccounts(run->state.settings, {Admin, account});
        frmUser dialog(run->state);
        QCOMPARE(checkedLevel(dialog), 0);
        dialog.lstUser->setCurrentRow(1);
        QVERIFY(dialog.opt1->isEnabled());
        QVERIFY(dialog.cmdDeleteUser->isEnabled());
        if (clicked >= 0)
            (clicked == 0 ? dialog.opt0 : clicked == 1 ? dialog.opt1 : dialog.opt2)->click();
        QCOMPARE(checkedLevel(dialog), shown);
        // Back to the administrator: its level is not touched.
        dialog.lstUser->setCurrentRow(0);
        QVERIFY(!dialog.opt2->isEnabled());
        dialog.cmdClose->click();
        QCOMPARE(this->stored(2, "Level"), stored);
        QCOMPARE(this->stored(1, "Level"), QStringLiteral("0"));
    }

    void cancellingWritesNothing_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("取消(&C)") << false;
        QTest::newRow("close box") << true;
    }
    void cancellingWritesNothing()
    {
        QFETCH(bool, closeBox);
        storeAccounts(run->state.settings, {Admin, "张三:1", "李四:2"});
        const QMap<QString, QVariant> before = settingsSnapshot(run->state.settings);
        {
            frmUser dialog(run->state);
            dialog.show();
            run->prompt.inputs << "王五";
            whenModal<frmPassword>(this, [](frmPassword* p) { p->cmdOk->click(); });
            dialog.cmdNewUser->click();
            dialog.lstUser->setCurrentRow(1);
            dialog.opt0->click();
            dialog.lstUser->setCurrentRow(2);
            dialog.cmdDeleteUser->click();
            QCOMPARE(listed(dialog), (QStringList{Admin, "张三", "王五"}));
            if (closeBox)
                dialog.close();
            else
                dialog.cmdCanle->click();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        QCOMPARE(settingsSnapshot(run->state.settings), before);
        // The next opening reads the store again.
        frmUser again(run->state);
        QCOMPARE(listed(again), (QStringList{Admin, "张三", "李四"}));
    }

    // On a server ledger the window works on the server's roles: "确定"
    // makes them what it shows, a refusal keeps the window open and changes
    // nothing, "取消" changes nothing. Steps: "add NAME PASSWORD", "level NAME
    // N", "delete NAME", then "ok" or "cancel". Names are of this test's own
    // (the server's roles are shared by every test program), "我" is the
    // signed-in level-0 account; "=NAME" is a name as it stands.
    void onServer_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("after"); // the server's accounts, "name:level"
        QTest::addColumn<QString>("said");      // a message shown, in part
        QTest::addColumn<bool>("stays");        // the window is still open
        const QStringList start{"我:0", "计量:1", "保管:2"};
        QTest::newRow("add") << QStringList{"add 张三 pw-1", "ok"} << QStringList{"我:0", "计量:1", "保管:2", "张三:2"}
                             << "" << false;
        QTest::newRow("add, raise and delete at once")
            << QStringList{"add 张三 pw-1", "level 张三 0", "level 计量 2", "delete 保管", "ok"}
            << QStringList{"我:0", "张三:0", "计量:2"} << "" << false;
        QTest::newRow("no password") << QStringList{"add 张三 ", "ok"} << start << "必须有密码" << false;
        QTest::newRow("oneself") << QStringList{"delete 我", "ok"} << start << "不能删除正在使用的用户" << false;
        QTest::newRow("a name the server holds")
            << QStringList{"add =ravo", "ok"} << start << "此用户名已经存在！请另取一个新的用户名！" << false;
        QTest::newRow("the name taken meanwhile")
            << QStringList{"add 张三 pw-1", "level 计量 0", "elsewhere 张三", "ok"} << start << "已经有名为" << true;
        QTest::newRow("cancelled") << QStringList{"add 张三 pw-1", "delete 保管", "cancel"} << start << "" << false;
    }
    void onServer()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, after);
        QFETCH(QString, said);
        QFETCH(bool, stays);
        Database owner;
        const QString why = openFreshServerLedger(owner);
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
        const QString prefix = owner.serverAddress().database + QStringLiteral("_");
        const auto role = [&](const QString& n) { return n.startsWith('=') ? n.mid(1) : prefix + n; };
        const auto dropRoles = [&] {
            QSqlQuery q(owner.connection());
            q.prepare(QStringLiteral("SELECT rolname FROM pg_roles WHERE starts_with(rolname, ?)"));
            q.addBindValue(prefix);
            QVERIFY(q.exec());
            while (q.next())
                QVERIFY(owner.executeNative("DROP ROLE " + quotedIdentifier(q.value(0).toString())).ok());
        };
        dropRoles();
        for (const QString& a : QStringList{"我:0", "计量:1", "保管:2"})
            QVERIFY(createServerAccount(owner, role(a.section(':', 0, 0)), "pw-0", a.section(':', 1).toInt()).ok());
        ServerAddress me = owner.serverAddress();
        me.user = role("我");
        QVERIFY(!run->state.LedgerDatabase.openServer(me, "pw-0"));
        {
            frmUser dialog(run->state);
            dialog.show();
            QCOMPARE(listed(dialog), (QStringList{role("我"), role("计量"), role("保管")}));
            const auto select = [&](const QString& n) {
                dialog.lstUser->setCurrentRow(int(listed(dialog).indexOf(role(n))));
            };
            for (const QString& step : steps) {
                const QStringList w = step.split(' ');
                if (w[0] == "add" && w.size() == 2) { // a name refused: given up
                    run->prompt.inputs << role(w[1]);
                    run->prompt.answers << Prompter::Answer::Cancel;
                    dialog.cmdNewUser->click();
                } else if (w[0] == "add") {
                    run->prompt.inputs << role(w[1]);
                    const QString pw = w.value(2);
                    whenModal<frmPassword>(this, [pw](frmPassword* p) {
                        p->txtPassword1->setText(pw);
                        p->txtPassword2->setText(pw);
                        p->cmdOk->click();
                    });
                    dialog.cmdNewUser->click();
                } else if (w[0] == "elsewhere") {
                    QVERIFY(owner.executeNative("CREATE ROLE " + quotedIdentifier(role(w[1]))).ok());
                } else if (w[0] == "level") {
                    select(w[1]);
                    (w[2] == "0" ? dialog.opt0 : w[2] == "1" ? dialog.opt1 : dialog.opt2)->click();
                } else if (w[0] == "delete") {
                    run->prompt.answers << Prompter::Answer::Ok;
                    select(w[1]);
                    dialog.cmdDeleteUser->click();
                } else {
                    (w[0] == "ok" ? dialog.cmdClose : dialog.cmdCanle)->click();
                }
            }
            QCOMPARE(dialog.isVisible(), stays);
            QStringList shown;
            for (const ScriptedPrompter::Message& m : run->prompt.messages)
                if (!m.text.startsWith(QStringLiteral("你确认要删除用户")))
                    shown << m.text;
            if (said.isEmpty())
                QCOMPARE(shown, QStringList());
            else
                QVERIFY2(shown.size() == 1 && shown.at(0).contains(said), qPrintable(shown.join('\n')));
            // The typed passwords are not kept once the window is done.
            dialog.reject();
            for (const UserAccount& a : run->state.UserEditList)
                QVERIFY(a.Password.isEmpty());
        }
        QStringList held;
        for (const UserAccount& a : serverAccounts(owner))
            held << a.Name.mid(prefix.size()) + ':' + QString::number(a.Level);
        QCOMPARE(held, after);
        // Nothing of the window reached the settings file.
        QCOMPARE(run->state.settings.read(SettingsStore::MainApp, "User", "Count"), QString());
        // A new account signs in with the password typed for it.
        if (after.contains("张三:2")) {
            Database added;
            ServerAddress a = me;
            a.user = role("张三");
            QVERIFY(!added.openServer(a, "pw-1"));
        }
        run->state.LedgerDatabase.close();
        dropRoles();
    }
};

QTEST_MAIN(TestUserManage)
#include "tst_usermanage.moc"
