// Moving a ledger file to a server: every table row for row with its row
// numbers, the accounts as the server's roles, an occupied database refused,
// and a copy that fails or is stopped leaving the server database empty.
#include "TestSupport.h"
#include "core/Attachments.h"
#include "core/Database.h"
#include "core/History.h"
#include "core/Ledger.h"
#include "core/LedgerSchema.h"
#include "core/ServerAccounts.h"
#include "core/SettingsStore.h"
#include "exchange/Export.h"
#include "exchange/ServerCopy.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace ravo;
using namespace ravo::exchange;

class tst_ServerCopy : public QObject {
    Q_OBJECT

private:
    Database m_owner; // the test database's owner (the cluster's superuser)
    QString m_prefix; // of every role this test makes

    QString account(const QString& name) const { return m_prefix + name; }

    // The test database emptied: no ledger tables, no account functions.
    void emptyServerDatabase()
    {
        for (const QString& sql :
             {QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"),
              QStringLiteral("DROP SCHEMA IF EXISTS ravo_accounts CASCADE"), QStringLiteral("CREATE SCHEMA public")})
            QVERIFY2(m_owner.executeNative(sql).ok(), qPrintable(sql));
        QVERIFY(serverDatabaseContents(m_owner).isEmpty());
    }
    QStringList testRoles()
    {
        QStringList roles;
        QSqlQuery q(m_owner.connection());
        q.prepare(QStringLiteral("SELECT rolname FROM pg_roles WHERE starts_with(rolname, ?) ORDER BY 1"));
        q.addBindValue(m_prefix);
        if (q.exec())
            while (q.next())
                roles << q.value(0).toString();
        return roles;
    }
    void dropTestRoles()
    {
        for (const QString& role : testRoles())
            QVERIFY(m_owner.executeNative(QStringLiteral("DROP ROLE %1").arg(quotedIdentifier(role))).ok());
    }
    // A ledger file with rows in every table: Chinese text, empty text, no
    // value, numbers, and row numbers with gaps.
    void fillLedger(Database& file)
    {
        QVERIFY(test::insertRow(file, tables::InUse,
                                {{NumberColumn, QStringLiteral("JL-001")},
                                 {QStringLiteral("计量器具名称"), QStringLiteral("压力表")},
                                 {QStringLiteral("使用部门"), QStringLiteral("")},
                                 {QStringLiteral("有效日期"), QStringLiteral("2027-03-01")}}));
        QVERIFY(test::insertRow(file, tables::InUse,
                                {{NumberColumn, QStringLiteral("jl-002")},
                                 {QStringLiteral("计量器具名称"), QStringLiteral("温度计 \"甲\"'乙'")}}));
        QVERIFY(test::insertRow(file, tables::InUse, {{NumberColumn, QStringLiteral("JL-003")}}));
        QVERIFY(file.executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE 计量器具编号 = 'jl-002'")).ok());
        QVERIFY(test::insertRow(
            file, tables::Stock,
            {{QStringLiteral("计量器具名称"), QStringLiteral("卡尺")}, {QStringLiteral("库存数量"), 12}}));
        QVERIFY(test::insertRow(file, tables::Sealed, {{NumberColumn, QStringLiteral("FC-1")}}));
        QVERIFY(test::insertRow(file, tables::Scrapped, {{NumberColumn, QStringLiteral("BF-1")}}));
        QVERIFY(test::insertRow(
            file, tables::Confirmation,
            {{NumberColumn, QStringLiteral("JL-001")}, {QStringLiteral("结论"), QStringLiteral("合格")}}));
        QVERIFY(test::insertRow(file, tables::Repair, {{NumberColumn, QStringLiteral("JL-003")}}));
        QVERIFY(test::insertRow(file, tables::Environment,
                                {{QStringLiteral("ID"), 7}, {QStringLiteral("日期"), QStringLiteral("2026-12-08")}}));
    }
    QVector<UserAccount> testAccounts() const
    {
        UserAccount admin{account("管理员"), {}, 0, 0};
        UserAccount keeper{account("保管员"), {}, 2, 0};
        UserAccount odd{account("奇怪级别"), {}, 7, 0};
        return {admin, keeper, odd};
    }
    // Each table's rows on both sides, as text in row-number order.
    static QStringList rowsOf(Database& db, const QString& table)
    {
        QStringList rows;
        QStringList cols;
        for (const QString& c : db.columns(table))
            cols << quotedIdentifier(c);
        // The history has no rowid of its own on a server: its ID orders it.
        const QString key = table == tables::History ? QStringLiteral("\"ID\"") : QStringLiteral("rowid");
        QSqlQuery q(db.connection());
        if (!q.exec(
                QStringLiteral("SELECT %3, %1 FROM %2 ORDER BY %3").arg(cols.join(','), quotedIdentifier(table), key)))
            return {QStringLiteral("unreadable")};
        while (q.next()) {
            QStringList values;
            for (int i = 0; i <= cols.size(); ++i)
                values << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            rows << values.join('|');
        }
        return rows;
    }

private slots:
    void initTestCase()
    {
        const QString why = test::openFreshServerLedger(m_owner);
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
        m_prefix = m_owner.serverAddress().database + QStringLiteral("_");
    }
    void init()
    {
        dropTestRoles();
        emptyServerDatabase();
    }
    void cleanupTestCase() { dropTestRoles(); }

    void copiesEveryTableAndAccount()
    {
        test::Sandbox box;
        Database file;
        QVERIFY(!file.open(box.databasePath()));
        fillLedger(file);
        // A certificate scan kept in the file goes along byte for byte.
        QVERIFY(!upgradeLedgerSchema(file));
        QByteArray scan;
        for (int i = 0; i < 1024; ++i)
            scan.append(char(i % 256));
        QTemporaryDir dir;
        QFile scanFile(dir.filePath(QStringLiteral("证书.pdf")));
        QVERIFY(scanFile.open(QIODevice::WriteOnly) && scanFile.write(scan) == scan.size());
        scanFile.close();
        Attachment kept;
        QVERIFY(!addAttachment(file, {QStringLiteral("JL-001"), attachmentkind::Instrument}, scanFile.fileName(),
                               QStringLiteral("张三"), &kept));
        // The history goes along as it is, its accounts and times included.
        file.setAccount(QStringLiteral("张三"));
        QVERIFY(!recordHistoryEvent(file, tables::Sealed, QStringLiteral("JL-002"), historyevent::Sealed, {},
                                    tables::InUse, tables::Sealed));
        QStringList steps;
        const auto passwordOf = [this](const UserAccount& a) -> std::optional<QString> {
            if (a.Name == account("管理员"))
                return QStringLiteral("admin-pw-1");
            return std::nullopt;
        };
        const ServerCopyResult r = copyLedgerToServer(box.databasePath(), testAccounts(), m_owner, passwordOf,
                                                      [&](const QString& step, qint64, qint64) {
                                                          steps << step;
                                                          return true;
                                                      });
        QVERIFY2(r.ok(), qPrintable(r.problem));
        QCOMPARE(r.tables.size(), 9);
        QVERIFY(r.leftOut.isEmpty() || !r.leftOut.contains(tables::Attachments));
        QCOMPARE(attachmentContents(m_owner, kept.id), std::optional<QByteArray>(scan));
        QCOMPARE(listAttachments(m_owner, {QStringLiteral("JL-001"), attachmentkind::Instrument}).size(), 1);
        for (const QString& table : ledgerTables() + QStringList{tables::History}) {
            const QStringList fileRows = rowsOf(file, table);
            QVERIFY(!fileRows.isEmpty());
            QCOMPARE(rowsOf(m_owner, table), fileRows);
        }
        // A row added on the server is numbered after the copied ones.
        QVERIFY(test::insertRow(m_owner, tables::InUse, {{NumberColumn, QStringLiteral("JL-004")}}));
        QSqlQuery q(m_owner.connection());
        QVERIFY(q.exec(QStringLiteral("SELECT rowid FROM 计量器具在用库 WHERE 计量器具编号 = 'JL-004'")) && q.next());
        QCOMPARE(q.value(0).toLongLong(), 4);

        QCOMPARE(r.accounts, QStringList({account("管理员"), account("保管员"), account("奇怪级别")}));
        QCOMPARE(r.temporaryPasswords.size(), 2);
        const QVector<UserAccount> made = serverAccounts(m_owner);
        QCOMPARE(made.size(), 3);
        for (const UserAccount& a : made)
            QCOMPARE(a.Level, a.Name == account("管理员") ? 0 : 2);
        // The given password signs in; a temporary one signs in and must be
        // changed.
        Database user;
        ServerAddress address = m_owner.serverAddress();
        address.user = account("管理员");
        QVERIFY(!user.openServer(address, QStringLiteral("admin-pw-1")));
        QVERIFY(!mustChangePassword(user));
        address.user = r.temporaryPasswords.at(0).account;
        QVERIFY(!user.openServer(address, r.temporaryPasswords.at(0).password));
        QVERIFY(mustChangePassword(user));
        QVERIFY(steps.contains(QStringLiteral("正在核对《计量器具在用库》")));
    }

    // The copy is refused or fails, and the server database stays empty
    // with none of the accounts made.
    void leavesServerEmpty_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("said");
        QTest::newRow("database not empty") << "occupied"
                                            << "不是空的";
        QTest::newRow("account name taken on the server") << "taken"
                                                          << "已经有名为";
        QTest::newRow("stopped while copying a table") << "stop:正在复制《计量器具封存库》"
                                                       << "复制已取消";
        QTest::newRow("stopped while making accounts") << "stop:正在建立用户"
                                                       << "复制已取消";
        QTest::newRow("stopped while checking") << "stop:正在核对"
                                                << "复制已取消";
    }
    void leavesServerEmpty()
    {
        QFETCH(QString, how);
        QFETCH(QString, said);
        test::Sandbox box;
        Database file;
        QVERIFY(!file.open(box.databasePath()));
        fillLedger(file);
        QVector<UserAccount> accounts = testAccounts();
        if (how == QLatin1String("occupied"))
            QVERIFY(m_owner.executeNative(QStringLiteral("CREATE TABLE notes (a text)")).ok());
        if (how == QLatin1String("taken"))
            accounts.append(UserAccount{QStringLiteral("ravo"), {}, 1, 0});
        const QString stopAt = how.startsWith(QLatin1String("stop:")) ? how.mid(5) : QString();
        const ServerCopyResult r =
            copyLedgerToServer(box.databasePath(), accounts, m_owner, {}, [&](const QString& step, qint64, qint64) {
                return stopAt.isEmpty() || !step.startsWith(stopAt);
            });
        QVERIFY(!r.ok());
        QVERIFY2(r.problem.contains(said), qPrintable(r.problem));
        QVERIFY(r.tables.isEmpty() && r.accounts.isEmpty() && r.temporaryPasswords.isEmpty());
        QCOMPARE(serverDatabaseContents(m_owner),
                 how == QLatin1String("occupied") ? QStringList{QStringLiteral("notes")} : QStringList{});
        QCOMPARE(testRoles(), QStringList());
    }

    // The command line: usage errors, a refusal, and the copy with the
    // accounts of the settings file and their temporary passwords.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("no connection") << QStringList{"--copy-to-server"} << 2 << "缺少值";
        QTest::newRow("password in the text")
            << QStringList{"--copy-to-server", "host=h dbname=d user=u password=x"} << 2 << "密码";
        QTest::newRow("stray argument") << QStringList{"--copy-to-server", "@", "--into", "x"} << 2 << "不认识";
        QTest::newRow("copied") << QStringList{"--copy-to-server", "@"} << 0 << "临时密码";
        QTest::newRow("copied twice") << QStringList{"--copy-to-server", "@", "again"} << 1 << "不是空的";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        test::Sandbox box;
        const bool twice = arguments.last() == QLatin1String("again");
        if (twice)
            arguments.removeLast();
        const ServerAddress a = m_owner.serverAddress();
        arguments.replaceInStrings(QStringLiteral("@"),
                                   QStringLiteral("host=%1 dbname=%2 user=ravo").arg(a.host, a.database));
        arguments.prepend(QStringLiteral("ravo"));
        {
            SettingsStore settings;
            (void)loadAccountList(settings);
            saveAccountList(settings, testAccounts());
        }
        QString out, err;
        QTextStream o(&out), e(&err);
        // No terminal: every account gets a temporary password.
        const auto noTerminal = [](const QString&) -> std::optional<QString> { return std::nullopt; };
        int code = runCopyToServerCommand(arguments, box.appDir(), o, e, noTerminal);
        if (twice) {
            QCOMPARE(code, 0);
            out.clear();
            code = runCopyToServerCommand(arguments, box.appDir(), o, e, noTerminal);
        }
        QCOMPARE(code, exitCode);
        QVERIFY2((exitCode == 0 ? out : err).contains(said), qPrintable(out + err));
        if (exitCode == 0)
            for (const UserAccount& account : testAccounts())
                QVERIFY2(out.contains(account.Name + QLatin1Char('\t')), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(tst_ServerCopy)
#include "tst_servercopy.moc"
