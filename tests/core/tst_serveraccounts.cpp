// The accounts of a ledger on a server and the rights the server enforces:
// each level tried through a plain connection of its own (not the program),
// and the account changes of user management with their refusals.
#include "TestSupport.h"
#include "core/Ledger.h"
#include "core/LedgerSchema.h"
#include "core/ServerAccounts.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace ravo;

namespace {

const QString kPassword = QStringLiteral("Pw-测试-1");

// A plain connection of the server's driver, signed in as `role`.
class PlainSession {
public:
    PlainSession(const QSqlDatabase& like, const QString& role, const QString& password)
        : m_name(QStringLiteral("plain-") + role)
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        c.setHostName(like.hostName());
        c.setDatabaseName(like.databaseName());
        c.open(role, password);
    }
    ~PlainSession() { QSqlDatabase::removeDatabase(m_name); }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

} // namespace

class tst_ServerAccounts : public QObject {
    Q_OBJECT

private:
    Database m_db; // the ledger's owner (the test cluster's superuser)
    QString m_prefix;

    QString account(const QString& what) const { return m_prefix + what; }
    void dropLeftovers()
    {
        QSqlQuery q(m_db.connection());
        q.prepare(QStringLiteral("SELECT rolname FROM pg_roles WHERE starts_with(rolname, ?)"));
        q.addBindValue(m_prefix);
        QVERIFY(q.exec());
        while (q.next())
            QVERIFY(
                m_db.executeNative(QStringLiteral("DROP ROLE %1").arg(quotedIdentifier(q.value(0).toString()))).ok());
    }
    std::optional<int> levelOf(const QString& name)
    {
        for (const UserAccount& a : serverAccounts(m_db))
            if (a.Name == name)
                return a.Level;
        return std::nullopt;
    }

private slots:
    void initTestCase()
    {
        const QString why = test::openFreshServerLedger(m_db);
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
        m_prefix = m_db.serverAddress().database + QStringLiteral("_");
        dropLeftovers();
        for (const QString& table :
             {tables::Stock, tables::InUse, tables::Sealed, tables::Scrapped, tables::Confirmation, tables::Repair}) {
            QVariantHash row{{QStringLiteral("计量器具名称"), QStringLiteral("压力表")}};
            if (table != tables::Stock)
                row.insert(NumberColumn, QStringLiteral("A-1"));
            QVERIFY(test::insertRow(m_db, table, row));
        }
        QVERIFY(test::insertRow(m_db, tables::Environment, {{QStringLiteral("环境温度"), QStringLiteral("20")}}));
        // The owner, a superuser, makes the first administrator; that one
        // makes the others, as user management does.
        QVERIFY2(createServerAccount(m_db, account("管理员"), kPassword, 0).ok(), "first administrator");
        Database admin;
        ServerAddress a = m_db.serverAddress();
        a.user = account("管理员");
        QVERIFY(!admin.openServer(a, kPassword));
        QCOMPARE(signedInLevel(admin), std::optional<int>(0));
        QVERIFY(createServerAccount(admin, account("计量"), kPassword, 1).ok());
        QVERIFY(createServerAccount(admin, account("保管"), kPassword, 2).ok());
        // A role of the server that is no account of this ledger.
        QVERIFY(m_db.executeNative(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'")
                                       .arg(quotedIdentifier(account("陌生")), kPassword))
                    .ok());
        QCOMPARE(levelOf(account("计量")), std::optional<int>(1));
        QCOMPARE(levelOf(account("保管")), std::optional<int>(2));
    }

    void cleanupTestCase() { dropLeftovers(); }

    // Every ledger table refuses a level-2 account any change through any
    // client; level 1 may change rows but not the tables or the accounts.
    void serverRefuses_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("allowed");
        const QStringList ledger = {tables::Stock,        tables::InUse,  tables::Sealed,     tables::Scrapped,
                                    tables::Confirmation, tables::Repair, tables::Environment};
        for (const QString& t : ledger) {
            const QString q = quotedIdentifier(t);
            const QString col = t == tables::Environment ? QStringLiteral("环境温度") : QStringLiteral("计量器具名称");
            const QString rows[][2] = {
                {QStringLiteral("select"), QStringLiteral("SELECT count(*) FROM %1").arg(q)},
                {QStringLiteral("insert"),
                 t == tables::InUse || t == tables::Sealed || t == tables::Scrapped
                     ? QStringLiteral("INSERT INTO %1 (%2, 计量器具编号) VALUES ('x', 'B-2')").arg(q, col)
                     : QStringLiteral("INSERT INTO %1 (%2) VALUES ('x')").arg(q, col)},
                {QStringLiteral("update"), QStringLiteral("UPDATE %1 SET %2 = 'y'").arg(q, col)},
                {QStringLiteral("delete"), QStringLiteral("DELETE FROM %1").arg(q)},
                {QStringLiteral("truncate"), QStringLiteral("TRUNCATE %1").arg(q)},
                {QStringLiteral("alter"), QStringLiteral("ALTER TABLE %1 ADD COLUMN extra text").arg(q)},
                {QStringLiteral("drop"), QStringLiteral("DROP TABLE %1").arg(q)},
            };
            for (const auto& r : rows) {
                const bool reads = r[0] == QLatin1String("select");
                const bool rowWork = reads || r[0] == QLatin1String("insert") || r[0] == QLatin1String("update")
                    || r[0] == QLatin1String("delete");
                QTest::addRow("level2 %s %s", qPrintable(r[0]), qPrintable(t)) << "保管" << r[1] << reads;
                QTest::addRow("level1 %s %s", qPrintable(r[0]), qPrintable(t)) << "计量" << r[1] << rowWork;
                QTest::addRow("stranger %s %s", qPrintable(r[0]), qPrintable(t)) << "陌生" << r[1] << false;
            }
        }
        // The change history: the levels that write the ledger add to it;
        // nobody changes or deletes it.
        const QString history = quotedIdentifier(tables::History);
        const QString historyWork[][2] = {
            {QStringLiteral("select"), QStringLiteral("SELECT count(*) FROM %1")},
            {QStringLiteral("insert"),
             QStringLiteral("INSERT INTO %1 (时间, 数据表, 事件) VALUES ('2026-01-01 00:00:00', 'x', 'x')")},
            {QStringLiteral("update"), QStringLiteral("UPDATE %1 SET 账户 = 'x'")},
            {QStringLiteral("delete"), QStringLiteral("DELETE FROM %1")},
            {QStringLiteral("truncate"), QStringLiteral("TRUNCATE %1")},
        };
        for (const auto& r : historyWork)
            for (const QString& who : {QStringLiteral("管理员"), QStringLiteral("计量"), QStringLiteral("保管")})
                QTest::addRow("%s %s history", qPrintable(who), qPrintable(r[0]))
                    << who << r[1].arg(history)
                    << (r[0] == QLatin1String("select") || (r[0] == QLatin1String("insert") && who != "保管"));
        QTest::newRow("level2 lasting table") << "保管"
                                              << "CREATE TABLE public.mine (a text)" << false;
        QTest::newRow("level1 lasting table") << "计量"
                                              << "CREATE TABLE public.mine (a text)" << false;
        QTest::newRow("level2 temporary table") << "保管"
                                                << "CREATE TEMP TABLE mine (a text)" << true;
        QTest::newRow("level1 create role") << "计量"
                                            << "CREATE ROLE {x} LOGIN" << false;
        QTest::newRow("level1 other's password") << "计量"
                                                 << "ALTER ROLE {保管} PASSWORD 'x1'" << false;
        QTest::newRow("level1 account function") << "计量"
                                                 << "SELECT ravo_accounts.set_password('[保管]', 'x1', false)" << false;
        QTest::newRow("level1 create through function")
            << "计量"
            << "SELECT ravo_accounts.create_account('[x]', 'x1', 0, false)" << false;
        QTest::newRow("level1 joins level 0") << "计量"
                                              << "GRANT {g0} TO {计量}" << false;
        QTest::newRow("level0 other's password directly") << "管理员"
                                                          << "ALTER ROLE {保管} PASSWORD 'x1'" << false;
        QTest::newRow("level0 joins owner") << "管理员"
                                            << "GRANT ravo TO {管理员}" << false;
        QTest::newRow("level0 changes the owner's password")
            << "管理员"
            << "SELECT ravo_accounts.set_password('ravo', 'x1', false)" << false;
        QTest::newRow("level2 own password") << "保管"
                                             << "ALTER ROLE {保管} PASSWORD '" + kPassword + "'" << true;
    }
    void serverRefuses()
    {
        QFETCH(QString, who);
        QFETCH(QString, sql);
        QFETCH(bool, allowed);
        // {name}: an account of this test as a quoted name, [name] as a
        // string, {g0}: the level-0 group.
        static const QRegularExpression name(QStringLiteral(R"([{\[]([^}\]]+)[}\]])"));
        for (auto m = name.match(sql); m.hasMatch(); m = name.match(sql)) {
            const QString n = m.captured(1);
            const QString role =
                n == QLatin1String("g0") ? levelRoleName(m_db.serverAddress().database, 0) : account(n);
            sql.replace(m.capturedStart(), m.capturedLength(),
                        m.captured(0).startsWith(QLatin1Char('{')) ? quotedIdentifier(role) : role);
        }
        PlainSession session(m_db.connection(), account(who), kPassword);
        QSqlDatabase c = session.db();
        QVERIFY2(c.isOpen(), qPrintable(c.lastError().text()));
        QVERIFY(c.transaction());
        QSqlQuery q(c);
        const bool ran = q.exec(sql);
        const QString error = q.lastError().text();
        c.rollback();
        if (allowed)
            QVERIFY2(ran, qPrintable(sql + QStringLiteral(": ") + error));
        else {
            QVERIFY2(!ran, qPrintable(sql));
            // Refused for want of the right; a stranger to the ledger may not
            // even see its tables.
            const QString code = q.lastError().nativeErrorCode();
            QVERIFY2(code == QLatin1String("42501")
                         || (who == QStringLiteral("陌生") && code == QLatin1String("42P01")),
                     qPrintable(code));
        }
    }

    // The server names who wrote a history row and when, whatever the
    // client sends; even the owner cannot change a row once written.
    void historyStampedAndKept()
    {
        PlainSession session(m_db.connection(), account("计量"), kPassword);
        QSqlDatabase c = session.db();
        QVERIFY2(c.isOpen(), qPrintable(c.lastError().text()));
        QSqlQuery q(c);
        QVERIFY2(q.exec(QStringLiteral("INSERT INTO \"MSys履历\" (时间, 账户, 数据表, 事件) VALUES "
                                       "('1999-01-01 00:00:00', '别人', 'x', '修改') RETURNING 账户, 时间")),
                 qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), account("计量"));
        QVERIFY2(!q.value(1).toString().startsWith(QLatin1String("1999")), qPrintable(q.value(1).toString()));
        for (const QString& sql :
             {QStringLiteral("UPDATE \"MSys履历\" SET 账户 = 'x'"), QStringLiteral("DELETE FROM \"MSys履历\""),
              QStringLiteral("TRUNCATE \"MSys履历\"")}) {
            const DbResult r = m_db.executeNative(sql);
            QVERIFY2(!r.ok() && r.error.text().contains(QStringLiteral("变更履历只能增加")), qPrintable(sql));
        }
    }

    // What user management asks of the server, as a level-0 account: each
    // refusal in words for the user, and nothing changed by it.
    void accountRefusals_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        QTest::newRow("existing name") << "create"
                                       << "计量"
                                       << "已经有名为";
        QTest::newRow("server's own role") << "create-plain"
                                           << "ravo"
                                           << "已经有名为";
        QTest::newRow("blank name") << "create-plain"
                                    << "   "
                                    << "空格";
        QTest::newRow("name too long") << "create" << QString(30, QChar(0x6D4B)) << "太长";
        QTest::newRow("empty password") << "create-nopw"
                                        << "新"
                                        << "密码不能为空";
        QTest::newRow("drop oneself") << "drop"
                                      << "管理员"
                                      << "正在使用";
        QTest::newRow("last administrator's level") << "level"
                                                    << "管理员"
                                                    << "唯一的系统管理员";
        QTest::newRow("drop the owner") << "drop-plain"
                                        << "ravo"
                                        << "不是本台帐的用户";
        QTest::newRow("level of a stranger") << "level-plain"
                                             << "postgres"
                                             << "不是本台帐的用户";
    }
    void accountRefusals()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(QString, said);
        const QString role = action.endsWith(QLatin1String("-plain")) ? name : account(name);
        Database admin;
        ServerAddress a = m_db.serverAddress();
        a.user = account("管理员");
        QVERIFY(!admin.openServer(a, kPassword));
        const QVector<UserAccount> before = serverAccounts(m_db);
        AccountChange change;
        if (action.startsWith(QLatin1String("create")))
            change =
                createServerAccount(admin, role, action == QLatin1String("create-nopw") ? QString() : kPassword, 2);
        else if (action.startsWith(QLatin1String("drop")))
            change = dropServerAccount(admin, role);
        else
            change = setServerAccountLevel(admin, role, 2);
        QVERIFY(!change.ok());
        QVERIFY2(change.refusal.contains(said), qPrintable(change.refusal));
        QVERIFY2(!change.refusal.contains(QStringLiteral("【RAVO】")), qPrintable(change.refusal));
        QCOMPARE(serverAccounts(m_db).size(), before.size());
        QCOMPARE(levelOf(account("管理员")), std::optional<int>(0));
    }

    // An account made, moved, given a password, marked to change it and
    // dropped: each step seen by the server and by the account itself.
    void accountLifetime()
    {
        Database admin;
        ServerAddress a = m_db.serverAddress();
        a.user = account("管理员");
        QVERIFY(!admin.openServer(a, kPassword));
        const QString name = account("新人");
        AccountChange c = createServerAccount(admin, name, QStringLiteral("first-1"), 2, true);
        QVERIFY2(c.ok(), qPrintable(c.refusal));
        QCOMPARE(levelOf(name), std::optional<int>(2));

        Database user;
        ServerAddress u = a;
        u.user = name;
        QVERIFY(!user.openServer(u, QStringLiteral("first-1")));
        QVERIFY(mustChangePassword(user));
        QVERIFY(!mustChangePassword(admin));
        c = setServerAccountPassword(user, name, QStringLiteral("second-2"));
        QVERIFY2(c.ok(), qPrintable(c.refusal));
        QVERIFY(!mustChangePassword(user));
        user.close();
        QVERIFY(user.openServer(u, QStringLiteral("first-1")));
        QVERIFY(!user.openServer(u, QStringLiteral("second-2")));
        QCOMPARE(signedInLevel(user), std::optional<int>(2));
        // A level-2 account may not change another's password.
        QVERIFY(!setServerAccountPassword(user, account("计量"), QStringLiteral("x-1")).ok());
        user.close();

        QVERIFY(setServerAccountLevel(admin, name, 0).ok());
        QCOMPARE(levelOf(name), std::optional<int>(0));
        // Two administrators now: the first may step down, then the new one
        // may not.
        QVERIFY(setServerAccountLevel(admin, account("管理员"), 1).ok());
        QVERIFY(!setServerAccountLevel(admin, name, 1).ok());
        QVERIFY(setServerAccountLevel(m_db, account("管理员"), 0).ok());

        // An administrator's new password for another account, to be changed.
        c = setServerAccountPassword(admin, name, QStringLiteral("third-3"), true);
        QVERIFY2(c.ok(), qPrintable(c.refusal));
        QVERIFY(!user.openServer(u, QStringLiteral("third-3")));
        QVERIFY(mustChangePassword(user));
        user.close();

        c = dropServerAccount(admin, name);
        QVERIFY2(c.ok(), qPrintable(c.refusal));
        QVERIFY(!levelOf(name));
        QSqlQuery q(m_db.connection());
        q.prepare(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(name);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toInt(), 0);

        // Dropped outside the program with its mark to change the password:
        // an account made again under the name does not inherit the mark.
        QVERIFY(createServerAccount(admin, name, QStringLiteral("fourth-4"), 2, true).ok());
        QVERIFY(m_db.executeNative(QStringLiteral("DROP ROLE %1").arg(quotedIdentifier(name))).ok());
        QVERIFY(createServerAccount(admin, name, QStringLiteral("fifth-5"), 2).ok());
        QVERIFY(!user.openServer(u, QStringLiteral("fifth-5")));
        QVERIFY(!mustChangePassword(user));
        user.close();
        QVERIFY(dropServerAccount(admin, name).ok());
    }

    // A new ledger gets its first administrator: with the password given,
    // or a temporary one to be changed; a name the server holds already
    // leaves the database empty.
    void firstAdministrator_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("nameTaken");
        QTest::newRow("password given") << "admin-1" << false;
        QTest::newRow("temporary password") << "" << false;
        QTest::newRow("name taken on the server") << "admin-1" << true;
    }
    void firstAdministrator()
    {
        QFETCH(QString, password);
        QFETCH(bool, nameTaken);
        const QString database = m_db.serverAddress().database + QStringLiteral("_new");
        // Roles are the whole server's: a name of this test's own.
        const QString administrator = account(AdministratorName);
        const auto cleanUp = [&] {
            for (const QString& sql : {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database),
                                       QStringLiteral("DROP ROLE IF EXISTS %1").arg(quotedIdentifier(administrator))})
                QVERIFY2(m_db.executeNative(sql).ok(), qPrintable(sql));
            for (int level = 0; level <= 2; ++level)
                QVERIFY(m_db.executeNative(QStringLiteral("DROP ROLE IF EXISTS %1")
                                               .arg(quotedIdentifier(levelRoleName(database, level))))
                            .ok());
        };
        cleanUp();
        QVERIFY(m_db.executeNative(QStringLiteral("CREATE DATABASE %1").arg(database)).ok());
        if (nameTaken)
            QVERIFY(m_db.executeNative(QStringLiteral("CREATE ROLE %1").arg(quotedIdentifier(administrator))).ok());
        {
            Database owner;
            ServerAddress a = m_db.serverAddress();
            a.database = database;
            QVERIFY(!owner.openServer(a, {}));
            QString temporary;
            const QString why = createServerLedgerWithAdministrator(owner, password, &temporary, administrator);
            QCOMPARE(why.isEmpty(), !nameTaken);
            QCOMPARE(temporary.isEmpty(), !password.isEmpty() || nameTaken);
            if (nameTaken) {
                QVERIFY2(why.contains(QStringLiteral("已经有名为")), qPrintable(why));
                QVERIFY(owner.tables(true).isEmpty());
            } else {
                QCOMPARE(serverAccounts(owner).size(), 1);
                QCOMPARE(serverAccounts(owner).at(0).Name, administrator);
                Database admin;
                a.user = administrator;
                QVERIFY(!admin.openServer(a, password.isEmpty() ? temporary : password));
                QCOMPARE(signedInLevel(admin), std::optional<int>(0));
                QCOMPARE(mustChangePassword(admin), password.isEmpty());
            }
        }
        cleanUp();
    }
};

QTEST_GUILESS_MAIN(tst_ServerAccounts)
#include "tst_serveraccounts.moc"
