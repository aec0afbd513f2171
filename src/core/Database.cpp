#include "Database.h"

#include "FaultInjection.h"

#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <sqlite3.h>

namespace ravo {

namespace {

const QString kScratchTable = QStringLiteral("MSysScratchQuery");

DbError queryError(const QSqlQuery& q, const QString& statement)
{
    return DbError::fromSqlError(q.lastError(), statement);
}

} // namespace

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
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_path.clear();
    m_savepoints = 0;
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

DbResult Database::executeNative(const QString& sql, const QVariantList& binds)
{
    DbResult r;
    if (!isOpen()) {
        r.error = DbError::make(DbError::General, QStringLiteral("台帐数据库没有打开。"), {}, sql);
        return r;
    }
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        r.error = queryError(q, sql);
        return r;
    }
    for (const QVariant& v : binds)
        q.addBindValue(v);
    const bool ran = q.exec();
    RAVO_FAULT_STATEMENT(sql);
    if (!ran) {
        r.error = queryError(q, sql);
        return r;
    }
    r.rowsAffected = q.numRowsAffected();
    return r;
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
    // the first time a statement is kept in it.
    if (!tableExists(kScratchTable)) {
        for (const QString& sql : {QStringLiteral("CREATE TABLE %1 (SQL TEXT NOT NULL DEFAULT '')").arg(kScratchTable),
                                   QStringLiteral("INSERT INTO %1 (SQL) VALUES ('')").arg(kScratchTable)})
            if (const DbResult made = executeNative(sql); !made.ok())
                return made.error;
    }
    return executeNative(QStringLiteral("UPDATE %1 SET SQL = ?").arg(kScratchTable), {jet}).error;
}

QString Database::scratchText() const
{
    QSqlQuery q(connection());
    if (q.exec(QStringLiteral("SELECT SQL FROM %1 LIMIT 1").arg(kScratchTable)) && q.next())
        return q.value(0).toString();
    return {};
}

QStringList Database::tables(bool includeHidden) const
{
    QStringList names;
    QSqlQuery q(connection());
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return names;
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (name.startsWith(QLatin1String("sqlite_")))
            continue;
        if (!includeHidden
            && (name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive) || name.startsWith(QLatin1Char('~'))))
            continue;
        names << name;
    }
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
    q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
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
    q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(table);
    if (q.exec() && q.next())
        return q.value(0).toString();
    return {};
}

DbError Database::savepoint(const QString& name)
{
    return executeNative(QStringLiteral("SAVEPOINT ") + name).error;
}

DbError Database::release(const QString& name)
{
    return executeNative(QStringLiteral("RELEASE SAVEPOINT ") + name).error;
}

void Database::rollbackTo(const QString& name)
{
    // Undoing what failed: should the engine refuse even that, there is
    // nothing further to undo with, and the caller reports the first failure.
    (void)executeNative(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name);
    (void)executeNative(QStringLiteral("RELEASE SAVEPOINT ") + name);
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
