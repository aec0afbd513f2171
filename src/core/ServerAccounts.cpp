#include "ServerAccounts.h"

#include "LedgerSchema.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace ravo {

namespace {

// The account functions of a ledger, in a schema of their own so that the
// table catalogue never lists what they keep. They run with the rights of
// the ledger's owner (SECURITY DEFINER) and so check the caller themselves:
// session_user is the account signed in, whatever role the function runs as.
// Their refusals carry the mark 【RAVO】 before a message for the user.
const char* const kAccountFunctions = R"sql(
CREATE SCHEMA IF NOT EXISTS ravo_accounts;
REVOKE ALL ON SCHEMA ravo_accounts FROM PUBLIC;

-- The accounts that must choose a new password at their next sign-in.
CREATE TABLE IF NOT EXISTS ravo_accounts.password_change (account name PRIMARY KEY);

CREATE OR REPLACE FUNCTION ravo_accounts.group_name(lvl integer) RETURNS name
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT ('ravo_' || current_database() || '_level' || lvl)::name
$$;

-- The level of a role in this ledger (its most privileged group), or NULL.
CREATE OR REPLACE FUNCTION ravo_accounts.level_of(who name) RETURNS integer
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT min(CASE g.rolname WHEN ravo_accounts.group_name(0) THEN 0
                              WHEN ravo_accounts.group_name(1) THEN 1 ELSE 2 END)
    FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid JOIN pg_roles m ON m.oid = a.member
    WHERE m.rolname = who
      AND g.rolname IN (ravo_accounts.group_name(0), ravo_accounts.group_name(1), ravo_accounts.group_name(2))
$$;

-- Groups a role belongs to besides this ledger's three (another ledger's).
CREATE OR REPLACE FUNCTION ravo_accounts.other_groups(who name) RETURNS bigint
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT count(*) FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid JOIN pg_roles m ON m.oid = a.member
    WHERE m.rolname = who
      AND g.rolname NOT IN (ravo_accounts.group_name(0), ravo_accounts.group_name(1), ravo_accounts.group_name(2))
$$;

CREATE OR REPLACE FUNCTION ravo_accounts.administrator_count() RETURNS bigint
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT count(*) FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid JOIN pg_roles m ON m.oid = a.member
    WHERE g.rolname = ravo_accounts.group_name(0) AND m.rolcanlogin
$$;

-- Level 0 of this ledger, a superuser or the owner of the ledger database.
CREATE OR REPLACE FUNCTION ravo_accounts.require_manager() RETURNS void
LANGUAGE plpgsql STABLE SET search_path = pg_catalog AS $$
BEGIN
    IF coalesce(ravo_accounts.level_of(session_user) = 0, false)
       OR (SELECT rolsuper FROM pg_roles WHERE rolname = session_user)
       OR session_user = (SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = current_database()) THEN
        RETURN;
    END IF;
    RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', MESSAGE = '【RAVO】只有系统管理员才能管理用户账户。';
END $$;

-- A role the account functions may change: an account of this ledger with
-- no rights over the server itself.
CREATE OR REPLACE FUNCTION ravo_accounts.require_account(who name) RETURNS void
LANGUAGE plpgsql STABLE SET search_path = pg_catalog AS $$
DECLARE
    r record;
BEGIN
    SELECT rolsuper OR rolcreaterole OR rolcreatedb OR rolreplication OR rolbypassrls AS mighty INTO r
    FROM pg_roles WHERE rolname = who;
    IF NOT FOUND OR ravo_accounts.level_of(who) IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege',
            MESSAGE = format('【RAVO】“%s”不是本台帐的用户。', who);
    END IF;
    IF r.mighty THEN
        RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege',
            MESSAGE = format('【RAVO】“%s”是数据库服务器的管理账户，不能在本程序中修改。', who);
    END IF;
END $$;

CREATE OR REPLACE FUNCTION ravo_accounts.require_password(pw text) RETURNS void
LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog AS $$
BEGIN
    IF pw IS NULL OR pw = '' THEN
        RAISE EXCEPTION '【RAVO】数据库服务器上的用户必须有密码，密码不能为空。';
    END IF;
END $$;

CREATE OR REPLACE FUNCTION ravo_accounts.create_account(who text, pw text, lvl integer, must_change boolean)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET password_encryption = 'scram-sha-256' AS $$
BEGIN
    PERFORM ravo_accounts.require_manager();
    IF lvl IS NULL OR lvl NOT BETWEEN 0 AND 2 THEN
        RAISE EXCEPTION '【RAVO】用户级别只能是 0、1 或 2。';
    END IF;
    IF who IS NULL OR btrim(who) = '' THEN
        RAISE EXCEPTION '【RAVO】用户名不能只由空格组成！请另取一个新的用户名！';
    END IF;
    IF octet_length(who) > 63 THEN
        RAISE EXCEPTION '【RAVO】用户名“%”太长：数据库服务器上的用户名最长 63 个字节（21 个汉字）。', who;
    END IF;
    PERFORM ravo_accounts.require_password(pw);
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = who) THEN
        RAISE EXCEPTION '【RAVO】数据库服务器上已经有名为“%”的用户或角色！请另取一个新的用户名！', who;
    END IF;
    EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', who, pw);
    EXECUTE format('GRANT %I TO %I', ravo_accounts.group_name(lvl), who);
    -- A mark left by a role of this name dropped outside the program goes.
    DELETE FROM ravo_accounts.password_change WHERE account = who;
    IF must_change THEN
        INSERT INTO ravo_accounts.password_change VALUES (who);
    END IF;
END $$;

CREATE OR REPLACE FUNCTION ravo_accounts.set_level(who text, lvl integer)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET client_min_messages = error AS $$
BEGIN
    PERFORM ravo_accounts.require_manager();
    PERFORM ravo_accounts.require_account(who);
    IF lvl IS NULL OR lvl NOT BETWEEN 0 AND 2 THEN
        RAISE EXCEPTION '【RAVO】用户级别只能是 0、1 或 2。';
    END IF;
    -- One change of accounts at a time, so that two administrators never
    -- both take away the last level 0.
    LOCK TABLE ravo_accounts.password_change IN EXCLUSIVE MODE;
    IF lvl <> 0 AND ravo_accounts.level_of(who) = 0 AND ravo_accounts.administrator_count() <= 1 THEN
        RAISE EXCEPTION '【RAVO】“%”是本台帐唯一的系统管理员，不能改为其他级别。', who;
    END IF;
    FOR g IN 0..2 LOOP
        IF g <> lvl THEN
            EXECUTE format('REVOKE %I FROM %I', ravo_accounts.group_name(g), who);
        END IF;
    END LOOP;
    EXECUTE format('GRANT %I TO %I', ravo_accounts.group_name(lvl), who);
END $$;

CREATE OR REPLACE FUNCTION ravo_accounts.set_password(who text, pw text, must_change boolean)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET password_encryption = 'scram-sha-256' AS $$
BEGIN
    PERFORM ravo_accounts.require_password(pw);
    PERFORM ravo_accounts.require_account(who);
    IF who = session_user THEN
        EXECUTE format('ALTER ROLE %I PASSWORD %L', who, pw);
        DELETE FROM ravo_accounts.password_change WHERE account = who;
        RETURN;
    END IF;
    PERFORM ravo_accounts.require_manager();
    IF ravo_accounts.other_groups(who) > 0 THEN
        RAISE EXCEPTION '【RAVO】“%”也是其他台帐或其他用途的用户，它的密码只能由本人修改。', who;
    END IF;
    EXECUTE format('ALTER ROLE %I PASSWORD %L', who, pw);
    IF must_change THEN
        INSERT INTO ravo_accounts.password_change VALUES (who) ON CONFLICT DO NOTHING;
    ELSE
        DELETE FROM ravo_accounts.password_change WHERE account = who;
    END IF;
END $$;

CREATE OR REPLACE FUNCTION ravo_accounts.drop_account(who text)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET client_min_messages = error AS $$
BEGIN
    PERFORM ravo_accounts.require_manager();
    PERFORM ravo_accounts.require_account(who);
    IF who = session_user THEN
        RAISE EXCEPTION '【RAVO】不能删除正在使用的用户“%”。', who;
    END IF;
    LOCK TABLE ravo_accounts.password_change IN EXCLUSIVE MODE;
    IF ravo_accounts.level_of(who) = 0 AND ravo_accounts.administrator_count() <= 1 THEN
        RAISE EXCEPTION '【RAVO】“%”是本台帐唯一的系统管理员，不能删除。', who;
    END IF;
    DELETE FROM ravo_accounts.password_change WHERE account = who;
    IF ravo_accounts.other_groups(who) > 0 THEN
        FOR g IN 0..2 LOOP
            EXECUTE format('REVOKE %I FROM %I', ravo_accounts.group_name(g), who);
        END LOOP;
        RETURN;
    END IF;
    BEGIN
        EXECUTE format('DROP ROLE %I', who);
    EXCEPTION WHEN dependent_objects_still_exist THEN
        RAISE EXCEPTION '【RAVO】用户“%”正在别处登录使用，请在它退出程序后再删除。', who;
    END;
END $$;

REVOKE ALL ON ALL FUNCTIONS IN SCHEMA ravo_accounts FROM PUBLIC;
)sql";

const QString kRefusalMark = QStringLiteral("【RAVO】");

// The user's words for a refusal of an account change.
QString refusalText(const DbError& e)
{
    const QString text = e.detail.isEmpty() ? e.description : e.detail;
    const qsizetype mark = text.indexOf(kRefusalMark);
    if (mark >= 0) {
        QString message = text.mid(mark + kRefusalMark.size()).section(QLatin1Char('\n'), 0, 0);
        // The driver adds the code after the message: "… (P0001)".
        static const QRegularExpression code(QStringLiteral(R"(\s*\([0-9A-Z]{5}\)\s*$)"));
        return message.remove(code).trimmed();
    }
    if (e.kind == DbError::Kind::PermissionDenied)
        return QStringLiteral("只有系统管理员才能管理用户账户，数据库服务器拒绝了这一修改。");
    return e.text();
}

AccountChange callAccountFunction(Database& db, const QString& call, const QVariantList& binds)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return {QStringLiteral("没有打开数据库服务器上的台帐。")};
    const DbResult r = db.executeNative(QStringLiteral("SELECT ravo_accounts.") + call, binds);
    if (r.ok())
        return {};
    return {refusalText(r.error)};
}

} // namespace

QString levelRoleName(const QString& database, int level)
{
    return QStringLiteral("ravo_%1_level%2").arg(database).arg(level);
}

std::optional<int> signedInLevel(Database& db)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return std::nullopt;
    const QString database = db.serverAddress().database;
    for (int level = 0; level <= 2; ++level) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("SELECT pg_has_role(session_user, oid, 'MEMBER') FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(levelRoleName(database, level));
        if (q.exec() && q.next() && q.value(0).toBool())
            return level;
    }
    return std::nullopt;
}

QVector<UserAccount> serverAccounts(Database& db)
{
    QVector<UserAccount> accounts;
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return accounts;
    const QString database = db.serverAddress().database;
    QSqlQuery q(db.connection());
    // A role in several groups counts once, at its highest-privileged level.
    q.prepare(QStringLiteral("SELECT m.rolname, min(CASE g.rolname WHEN ? THEN 0 WHEN ? THEN 1 ELSE 2 END) AS level "
                             "FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid "
                             "JOIN pg_roles m ON m.oid = a.member WHERE g.rolname IN (?, ?, ?) "
                             "GROUP BY m.rolname ORDER BY level, m.rolname COLLATE \"zh-x-icu\""));
    for (const QString& bind : {levelRoleName(database, 0), levelRoleName(database, 1), levelRoleName(database, 0),
                                levelRoleName(database, 1), levelRoleName(database, 2)})
        q.addBindValue(bind);
    if (!q.exec())
        return accounts;
    while (q.next()) {
        UserAccount a;
        a.Name = q.value(0).toString();
        a.Level = static_cast<qint16>(q.value(1).toInt());
        accounts << a;
    }
    return accounts;
}

DbError setUpLedgerRights(Database& db)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return DbError::make(DbError::General, QStringLiteral("只能在数据库服务器上设置台帐的权限。"));
    const QString database =
        db.serverAddress().database.isEmpty() ? db.connection().databaseName() : db.serverAddress().database;
    QStringList groups;
    for (int level = 0; level <= 2; ++level)
        groups << quotedIdentifier(levelRoleName(database, level));
    const QString all = groups.join(QStringLiteral(", "));
    const QString writers = groups.at(0) + QStringLiteral(", ") + groups.at(1);
    const QString readers = groups.at(2);
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    for (int level = 0; level <= 2; ++level) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(levelRoleName(database, level));
        if (!q.exec())
            return DbError::fromSqlError(q.lastError());
        if (!q.next())
            if (const DbResult r = db.executeNative(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(groups.at(level)));
                !r.ok())
                return r.error;
    }
    const QString ledger = quotedIdentifier(database);
    const QStringList statements = {
        QStringLiteral("GRANT CONNECT, TEMPORARY ON DATABASE %1 TO %2").arg(ledger, all),
        QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC"),
        QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(all),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1").arg(writers),
        QStringLiteral("GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(writers),
        QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(readers),
        // Tables the owner adds later get the same rights.
        QStringLiteral("ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO %1")
            .arg(writers),
        QStringLiteral("ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE, SELECT, UPDATE ON SEQUENCES TO %1")
            .arg(writers),
        QStringLiteral("ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO %1").arg(readers),
        QString::fromUtf8(kAccountFunctions),
        QStringLiteral("GRANT USAGE ON SCHEMA ravo_accounts TO %1").arg(all),
        QStringLiteral("GRANT SELECT ON ravo_accounts.password_change TO %1").arg(all),
        QStringLiteral("GRANT EXECUTE ON FUNCTION ravo_accounts.create_account(text, text, integer, boolean), "
                       "ravo_accounts.set_level(text, integer), ravo_accounts.drop_account(text) TO %1")
            .arg(groups.at(0)),
        QStringLiteral("GRANT EXECUTE ON FUNCTION ravo_accounts.set_password(text, text, boolean) TO %1").arg(all),
    };
    for (const QString& sql : statements)
        if (const DbResult r = db.executeNative(sql); !r.ok())
            return r.error;
    // The history, which the grants above opened to changes like every table.
    if (db.tableExists(tables::History))
        if (const DbResult r = db.executeNative(historyRightsStatement()); !r.ok())
            return r.error;
    return tx.commit();
}

AccountChange createServerAccount(Database& db, const QString& name, const QString& password, int level,
                                  bool mustChange)
{
    return callAccountFunction(db, QStringLiteral("create_account(?, ?, ?, ?)"), {name, password, level, mustChange});
}

AccountChange setServerAccountLevel(Database& db, const QString& name, int level)
{
    return callAccountFunction(db, QStringLiteral("set_level(?, ?)"), {name, level});
}

AccountChange setServerAccountPassword(Database& db, const QString& name, const QString& password, bool mustChange)
{
    return callAccountFunction(db, QStringLiteral("set_password(?, ?, ?)"), {name, password, mustChange});
}

AccountChange dropServerAccount(Database& db, const QString& name)
{
    return callAccountFunction(db, QStringLiteral("drop_account(?)"), {name});
}

bool serverRoleExists(Database& db, const QString& name)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return false;
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
    q.addBindValue(name);
    return q.exec() && q.next();
}

bool mustChangePassword(Database& db)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return false;
    QSqlQuery q(db.connection());
    return q.exec(QStringLiteral("SELECT 1 FROM ravo_accounts.password_change WHERE account = session_user"))
        && q.next();
}

QString createServerLedgerWithAdministrator(Database& db, const QString& password, QString* temporary,
                                            const QString& administrator)
{
    Transaction tx(db);
    if (tx.error())
        return tx.error().text();
    if (const DbError e = db.createServerLedger())
        return e.text();
    const bool given = !password.isEmpty();
    const QString first = given ? password : temporaryPassword();
    if (const AccountChange c = createServerAccount(db, administrator, first, 0, !given); !c.ok())
        return c.refusal;
    if (const DbError e = tx.commit())
        return e.text();
    if (!given && temporary)
        *temporary = first;
    return {};
}

QString temporaryPassword()
{
    static const QString letters = QStringLiteral("abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    QString password;
    for (int i = 0; i < 10; ++i)
        password += letters.at(int(QRandomGenerator::system()->bounded(quint32(letters.size()))));
    return password;
}

} // namespace ravo
