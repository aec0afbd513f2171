// The sign-in dialog: seeding, preselection, matching, closing, and the
// upgrade of clear-text passwords left by older versions.
#include "UsersTestKit.h"

#include <memory>

using namespace ravo;
using namespace ravo::test;
using Entries = QList<QStringList>; // section, key, value

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
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
