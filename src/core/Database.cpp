#include "Database.h"

#include "FaultInjection.h"
#include "LedgerSchema.h"
#include "ServerAccounts.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <memory>
#include <sqlite3.h>

// The bundled resources of a static library are registered by hand.
static void registerServerSchema()
{
    Q_INIT_RESOURCE(ServerSchema);
}

namespace ravo {

namespace {

const QString kScratchTable = QStringLiteral("MSysScratchQuery");

DbError queryError(const QSqlQuery& q, const QString& statement)
{
    return DbError::fromSqlError(q.lastError(), statement);
}

// The server's catalogue: the table a name means on this connection (the
// session's temporary tables first, then the ledger's schema), as an oid;
// NULL when there is none.
const QString kServerTable = QStringLiteral("to_regclass(quote_ident(?))");

// The ledger's tables for the server, bundled with the program.
QString serverSchema()
{
    registerServerSchema();
    QFile f(QStringLiteral(":/ravo/schema-postgresql.sql"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString& text, QString* why)
{
    auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    ServerAddress a;
    QStringList options;
    const QString t = text.trimmed();
    qsizetype i = 0;
    while (i < t.size()) {
        while (i < t.size() && t[i].isSpace())
            ++i;
        if (i >= t.size())
            break;
        const qsizetype eq = t.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            return refuse(QStringLiteral("连接参数“%1”缺少“=”。").arg(t.mid(i).section(QLatin1Char(' '), 0, 0)));
        const QString key = t.mid(i, eq - i).trimmed().toLower();
        QString value;
        i = eq + 1;
        while (i < t.size() && t[i].isSpace())
            ++i;
        if (i < t.size() && t[i] == QLatin1Char('\'')) {
            ++i;
            bool closed = false;
            while (i < t.size()) {
                if (t[i] == QLatin1Char('\\') && i + 1 < t.size()) {
                    value += t[i + 1];
                    i += 2;
                } else if (t[i] == QLatin1Char('\'')) {
                    ++i;
                    closed = true;
                    break;
                } else {
                    value += t[i++];
                }
            }
            if (!closed)
                return refuse(QStringLiteral("连接参数“%1”的值缺少结尾的单引号。").arg(key));
        } else {
            while (i < t.size() && !t[i].isSpace())
                value += t[i++];
        }
        if (key == QLatin1String("host"))
            a.host = value;
        else if (key == QLatin1String("port")) {
            bool ok = false;
            a.port = value.toInt(&ok);
            if (!ok || a.port <= 0 || a.port > 65535)
                return refuse(QStringLiteral("端口“%1”不是有效的端口号（1～65535）。").arg(value));
        } else if (key == QLatin1String("dbname"))
            a.database = value;
        else if (key == QLatin1String("user"))
            a.user = value;
        else if (key == QLatin1String("password"))
            return refuse(QStringLiteral("连接参数中不能写密码：密码在登录时输入，不会保存。"));
        else if (key.isEmpty())
            return refuse(QStringLiteral("连接参数“=%1”缺少名称。").arg(value));
        else
            options += key + QLatin1Char('=') + value;
    }
    if (a.host.isEmpty())
        return refuse(QStringLiteral("连接参数中缺少服务器（host=…）。"));
    if (a.database.isEmpty())
        return refuse(QStringLiteral("连接参数中缺少数据库名（dbname=…）。"));
    if (a.user.isEmpty())
        return refuse(QStringLiteral("连接参数中缺少用户名（user=…）。"));
    a.options = options.join(QLatin1Char(';'));
    return a;
}

QString ServerAddress::toString() const
{
    auto value = [](const QString& v) {
        if (!v.isEmpty() && !v.contains(QLatin1Char(' ')) && !v.contains(QLatin1Char('\''))
            && !v.contains(QLatin1Char('\\')))
            return v;
        QString q = v;
        q.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        return QLatin1Char('\'') + q + QLatin1Char('\'');
    };
    QString out = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
                      .arg(value(host))
                      .arg(port)
                      .arg(value(database), value(user));
    for (const QString& o : options.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out += QLatin1Char(' ') + o.section(QLatin1Char('='), 0, 0) + QLatin1Char('=')
            + value(o.section(QLatin1Char('='), 1));
    return out;
}

QString quotedIdentifier(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

Database::Database() : m_connectionName(QStringLiteral("ravo-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

Database::~Database()
{
    close();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

sqlite3* Database::handle() const
{
    const QVariant v = connection().driver() ? connection().driver()->handle() : QVariant();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.constData());
    return nullptr;
}

DbError Database::open(const QString& path)
{
    close();
    m_reconnectAddress.reset();
    m_reconnectPassword.clear();
    if (!QFileInfo::exists(path))
        return DbError::make(DbError::General, QStringLiteral("找不到台帐数据库文件：%1").arg(path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
        if (!db.open()) {
            const QString text = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            return DbError::make(DbError::General, QStringLiteral("不能打开台帐数据库：%1").arg(path), text);
        }
    }
    m_path = path;
    m_description = path;
    m_engine = Engine::Sqlite;
    if (sqlite3* h = handle()) {
        // A double-quoted text that slipped past the translator must fail
        // loudly instead of silently becoming a column name.
        sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        // Failures name the constraint that failed (unique, not null, check),
        // which is what DbError's kind is taken from.
        sqlite3_extended_result_codes(h, 1);
    }
    QSqlQuery probe(connection());
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const DbError e =
            DbError::make(DbError::General, QStringLiteral("数据库文件已损坏或不是台帐数据库：%1").arg(path),
                          probe.lastError().text());
        probe = QSqlQuery();
        close();
        return e;
    }
    probe.finish();
    // Opening writes nothing: a file that turns out not to be the ledger, or
    // to be damaged, stays exactly as it was.
    DbError refused;
    if (!isWholeDatabaseFile(handle(), path))
        refused = DbError::make(DbError::General,
                                QStringLiteral("数据库文件已损坏（文件不完整，比其中记载的长度短）：%1").arg(path));
    else if (sqlite3_db_readonly(handle(), "main") == 1)
        refused = DbError::make(DbError::General,
                                QStringLiteral("台帐数据库文件是只读的，程序不能在其中保存任何内容：%1\n"
                                               "请检查这个文件和它所在文件夹的写入权限。")
                                    .arg(path));
    if (refused) {
        close();
        return refused;
    }
    return {};
}

DbError Database::openServer(const ServerAddress& address, const QString& password)
{
    close();
    const QString where = QStringLiteral("%1@%2/%3").arg(address.user, address.host, address.database);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return DbError::make(
            DbError::Kind::LostConnection,
            QStringLiteral("本机没有安装 PostgreSQL 数据库驱动（libqt6sql6-psql），不能连接数据库服务器。"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        db.setHostName(address.host);
        db.setPort(address.port);
        db.setDatabaseName(address.database);
        db.setUserName(address.user);
        db.setConnectOptions(address.options);
        if (!db.open(address.user, password)) {
            DbError e = DbError::fromSqlError(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            e.description += QStringLiteral("\n（数据库服务器：%1）").arg(where);
            return e;
        }
    }
    m_engine = Engine::Postgres;
    m_description = where;
    m_address = address;
    m_reconnectAddress = address;
    m_reconnectPassword = password;
    // Notices (an implicit index, a dropped table that was not there) are
    // not the user's concern.
    if (const DbResult r = executeNative(QStringLiteral("SET client_min_messages = warning")); !r.ok()) {
        close();
        return r.error;
    }
    return {};
}

DbError Database::reconnect()
{
    if (!m_reconnectAddress)
        return DbError::make(DbError::General, QStringLiteral("没有可以重新连接的数据库服务器。"));
    // openServer() closes this connection first, and on failure keeps
    // nothing: the address and password are taken out beforehand so that a
    // failed attempt can be tried again.
    const ServerAddress address = *m_reconnectAddress;
    const QString password = m_reconnectPassword;
    const DbError e = openServer(address, password);
    if (e) {
        m_reconnectAddress = address;
        m_reconnectPassword = password;
    }
    return e;
}

DbError Database::checkConnection()
{
    if (m_engine != Engine::Postgres)
        return {};
    if (m_lost)
        return m_lostError;
    return executeNative(QStringLiteral("SELECT 1")).error;
}

void Database::noteFailure(const DbError& error)
{
    if (m_engine != Engine::Postgres || m_lost || error.kind != DbError::Kind::LostConnection)
        return;
    m_lost = true;
    m_lostError = error;
    m_lostError.statement.clear();
    if (m_lostHandler)
        m_lostHandler();
}

QString Database::description() const
{
    return m_description;
}

DbError Database::createServerLedger()
{
    if (m_engine != Engine::Postgres)
        return DbError::make(DbError::General, QStringLiteral("只能在数据库服务器上建立台帐数据表。"));
    const QString schema = serverSchema();
    if (schema.isEmpty())
        return DbError::make(DbError::General, QStringLiteral("程序中缺少数据库服务器的台帐结构。"));
    Transaction tx(*this);
    if (tx.error())
        return tx.error();
    if (const DbResult r = executeNative(schema); !r.ok())
        return r.error;
    // A new server ledger is made at this program's schema version, by its
    // owner: the accounts that sign in later may not make tables.
    if (const DbError e = upgradeLedgerSchema(*this))
        return e;
    // The server enforces the levels: group roles and their rights.
    if (const DbError e = setUpLedgerRights(*this))
        return e;
    return tx.commit();
}

bool isWholeDatabaseFile(sqlite3* handle, const QString& path)
{
    if (!handle)
        return false;
    auto pragma = [handle](const char* sql) {
        qint64 value = -1;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(handle, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            value = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return value;
    };
    const qint64 pages = pragma("PRAGMA page_count");
    const qint64 pageSize = pragma("PRAGMA page_size");
    return pages >= 0 && pageSize > 0 && QFileInfo(path).size() >= pages * pageSize;
}

void Database::close()
{
    m_failed.clear();
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_path.clear();
    m_description.clear();
    m_address = ServerAddress();
    m_engine = Engine::Sqlite;
    m_savepoints = 0;
    m_depth = 0;
    m_lost = false;
    m_lostError = DbError();
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

DbResult Database::executeNative(const QString& sql, const QVariantList& binds)
{
    DbResult r;
    // A lost server connection may count as closed by the driver too; it
    // is told as lost all the same.
    if (m_lost) {
        r.error = m_lostError;
        r.error.statement = sql;
        return r;
    }
    if (!isOpen()) {
        // The driver closes a server connection it found broken while
        // freeing a statement; the ledger was open, so it is lost.
        if (m_engine == Engine::Postgres && canReconnect()) {
            r.error = DbError::fromPostgres(QStringLiteral("08006"), QStringLiteral("connection closed"), sql);
            noteFailure(r.error);
            return r;
        }
        r.error = DbError::make(DbError::General, QStringLiteral("台帐数据库没有打开。"), {}, sql);
        return r;
    }
    auto query = std::make_unique<QSqlQuery>(connection());
    QSqlQuery& q = *query;
    q.setForwardOnly(true);
    // The server prepares only queries and changes of rows; a statement
    // without values to bind (BEGIN, CREATE, SET, …) goes to it as it is.
    const bool direct = m_engine == Engine::Postgres && binds.isEmpty();
    if (!direct && !q.prepare(sql)) {
        r.error = queryError(q, sql);
        noteFailure(r.error);
        holdFailed(std::move(query), direct);
        return r;
    }
    for (const QVariant& v : binds)
        q.addBindValue(v);
    const bool ran = direct ? q.exec(sql) : q.exec();
    RAVO_FAULT_STATEMENT(sql);
    if (!ran) {
        r.error = queryError(q, sql);
        noteFailure(r.error);
        holdFailed(std::move(query), direct);
        return r;
    }
    r.rowsAffected = q.numRowsAffected();
    return r;
}

void Database::holdFailed(std::unique_ptr<QSqlQuery> query, bool direct)
{
    // A refused statement inside a server transaction leaves the transaction
    // refusing everything until it is rolled back, the freeing of the
    // statement's prepared form included: that form is kept until then.
    if (m_engine == Engine::Postgres && m_depth > 0 && !direct)
        m_failed.push_back(std::move(query));
}

DbResult Database::runTranslated(const Translation& t, const QString& jet)
{
    DbResult r;
    if (!t.ok()) {
        r.error = DbError::make(DbError::General, t.error, {}, jet);
        return r;
    }
    Transaction tx(*this);
    if (tx.error()) {
        r.error = tx.error();
        return r;
    }
    for (const QString& sql : t.statements) {
        const DbResult one = executeNative(sql);
        if (!one.ok()) {
            r.error = one.error;
            r.error.statement = jet;
            return r; // the transaction rolls back
        }
        r.rowsAffected += one.rowsAffected;
    }
    r.error = tx.commit();
    return r;
}

DbResult Database::execute(const QString& jet)
{
    return runTranslated(translateJet(jet, *this), jet);
}

DbResult Database::runScratch(const QString& jet)
{
    Transaction tx(*this);
    if (tx.error())
        return DbResult{tx.error(), 0};
    DbResult r = runTranslated(translateJet(jet, *this), jet);
    if (!r.ok())
        return r;
    if (const DbError kept = keepScratchText(jet))
        return DbResult{kept, 0};
    r.error = tx.commit();
    return r;
}

DbError Database::keepScratchText(const QString& jet)
{
    // The scratch query lives in the file; an older file without it gets one
    // the first time a statement is kept in it. On a server each session
    // has its own.
    const QString scratch = quotedIdentifier(kScratchTable);
    if (!tableExists(kScratchTable)) {
        const QString create = m_engine == Engine::Postgres
            ? QStringLiteral("CREATE TEMP TABLE %1 (SQL text NOT NULL DEFAULT '')")
            : QStringLiteral("CREATE TABLE %1 (SQL TEXT NOT NULL DEFAULT '')");
        for (const QString& sql :
             {create.arg(scratch), QStringLiteral("INSERT INTO %1 (SQL) VALUES ('')").arg(scratch)})
            if (const DbResult made = executeNative(sql); !made.ok())
                return made.error;
    }
    return executeNative(QStringLiteral("UPDATE %1 SET SQL = ?").arg(scratch), {jet}).error;
}

QString Database::scratchText() const
{
    QSqlQuery q(connection());
    if (q.exec(QStringLiteral("SELECT SQL FROM %1 LIMIT 1").arg(quotedIdentifier(kScratchTable))) && q.next())
        return q.value(0).toString();
    return {};
}

QStringList Database::tables(bool includeHidden) const
{
    QStringList names;
    QSqlQuery q(connection());
    // On the server: the ledger's schema and this session's own working
    // tables, in pinyin order (the ICU Chinese collation).
    const QString list = m_engine == Engine::Postgres
        ? QStringLiteral("SELECT c.relname FROM pg_class c WHERE c.relkind IN ('r', 'p') AND (c.relnamespace = "
                         "current_schema()::regnamespace OR c.relnamespace = pg_my_temp_schema()) "
                         "ORDER BY c.relname COLLATE \"zh-x-icu\"")
        : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!q.exec(list))
        return names;
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (name.startsWith(QLatin1String("sqlite_")))
            continue;
        // The session's own books on a server (an editor's deleted rows).
        if (m_engine == Engine::Postgres && name.startsWith(QLatin1String("ravo_")))
            continue;
        if (!includeHidden
            && (name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive) || name.startsWith(QLatin1Char('~'))))
            continue;
        names << name;
    }
    if (m_engine == Engine::Postgres)
        return names;
    QCollator pinyin(QLocale(QLocale::Chinese, QLocale::China));
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return pinyin.compare(a, b) < 0; });
    return names;
}

bool Database::tableExists(const QString& table) const
{
    return !createSql(table).isEmpty();
}

QStringList Database::columns(const QString& table) const
{
    QStringList cols;
    if (!isOpen())
        return cols;
    QSqlQuery q(connection());
    q.prepare(m_engine == Engine::Postgres
                  ? QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = %1 AND attnum > 0 "
                                   "AND NOT attisdropped AND attname <> 'rowid' AND attname NOT LIKE 'ravo\\_%' "
                                   "ORDER BY attnum")
                        .arg(kServerTable)
                  : QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            cols << q.value(0).toString();
    return cols;
}

QString Database::createSql(const QString& table) const
{
    if (!isOpen())
        return {};
    QSqlQuery q(connection());
    if (m_engine == Engine::Postgres) {
        // The server keeps no text of its own: one is written from its
        // catalogue, the columns with their types and collations, then the
        // table's rules.
        q.prepare(QStringLiteral(
                      "SELECT 'CREATE TABLE ' || quote_ident(c.relname) || ' (' || concat_ws(', ', "
                      "(SELECT string_agg(quote_ident(a.attname) || ' ' || format_type(a.atttypid, a.atttypmod) || "
                      "CASE WHEN a.attcollation <> 0 AND a.attcollation <> t.typcollation THEN ' COLLATE ' || "
                      "(SELECT quote_ident(collname) FROM pg_collation WHERE oid = a.attcollation) ELSE '' END || "
                      "CASE WHEN a.attnotnull THEN ' NOT NULL' ELSE '' END, ', ' ORDER BY a.attnum) "
                      "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
                      "WHERE a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped AND a.attname <> 'rowid' "
                      "AND a.attname NOT LIKE 'ravo\\_%'), "
                      "(SELECT string_agg('CONSTRAINT ' || quote_ident(conname) || ' ' || pg_get_constraintdef(oid), "
                      "', ' ORDER BY conname) FROM pg_constraint WHERE conrelid = c.oid)) || ')' "
                      "FROM pg_class c WHERE c.oid = %1")
                      .arg(kServerTable));
        q.addBindValue(table);
        if (q.exec() && q.next())
            return q.value(0).toString();
        return {};
    }
    q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(table);
    if (q.exec() && q.next())
        return q.value(0).toString();
    return {};
}

// SQLite begins a transaction with the first savepoint; the server takes
// savepoints only inside one, so there the outermost is BEGIN … COMMIT.
DbError Database::savepoint(const QString& name)
{
    const bool outermost = m_engine == Engine::Postgres && m_depth == 0;
    DbError e = executeNative(outermost ? QStringLiteral("BEGIN") : QStringLiteral("SAVEPOINT ") + name).error;
    if (!e)
        ++m_depth;
    return e;
}

DbError Database::release(const QString& name)
{
    const bool outermost = m_engine == Engine::Postgres && m_depth == 1;
    DbError e = executeNative(outermost ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE SAVEPOINT ") + name).error;
    if (!e)
        m_depth = std::max(0, m_depth - 1);
    if (m_depth == 0)
        m_failed.clear();
    return e;
}

void Database::rollbackTo(const QString& name)
{
    // Undoing what failed: should the engine refuse even that, there is
    // nothing further to undo with, and the caller reports the first failure.
    m_depth = std::max(0, m_depth - 1);
    if (m_engine == Engine::Postgres && m_depth == 0) {
        (void)executeNative(QStringLiteral("ROLLBACK"));
        m_failed.clear();
        return;
    }
    (void)executeNative(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name);
    (void)executeNative(QStringLiteral("RELEASE SAVEPOINT ") + name);
    m_failed.clear();
}

DbError Database::createFromSchema(const QString& path, const QString& schemaSql)
{
    if (QFileInfo::exists(path))
        return DbError::make(DbError::General, QStringLiteral("文件已经存在：%1").arg(path));
    sqlite3* h = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &h) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_close(h);
        return DbError::make(DbError::General, QStringLiteral("不能创建数据库文件：%1").arg(path), text);
    }
    char* msg = nullptr;
    const int rc = sqlite3_exec(h, schemaSql.toUtf8().constData(), nullptr, nullptr, &msg);
    const QString text = msg ? QString::fromUtf8(msg) : QString();
    sqlite3_free(msg);
    sqlite3_close(h);
    if (rc != SQLITE_OK)
        return DbError::make(DbError::General, QStringLiteral("建立数据库结构失败。"), text);
    return {};
}

Transaction::Transaction(Database& db) : m_db(db), m_name(QStringLiteral("ravo_tx_%1").arg(db.nextSavepointId()))
{
    m_error = m_db.savepoint(m_name);
    m_active = !m_error.isError();
}

Transaction::~Transaction()
{
    rollback();
}

DbError Transaction::commit()
{
    if (!m_active)
        return m_error.isError() ? m_error : DbError::make(DbError::General, QStringLiteral("事务已经结束。"));
    DbError e = m_db.release(m_name);
    if (e.isError()) {
        rollback();
        return e;
    }
    m_active = false;
    return {};
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_db.rollbackTo(m_name);
    m_active = false;
}

} // namespace ravo
