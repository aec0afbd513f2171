#include "WorkingCopy.h"

#include "History.h"
#include "Ledger.h"
#include "ServerWorkingCopy.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ravo {

namespace {

QString q(const QString& name)
{
    return quotedIdentifier(name);
}

// A book of this connection's own: SQLite's temp schema, or the server
// session's temporary one.
QString temp(const Database& db, const QString& name)
{
    return (db.engine() == Engine::Postgres ? QStringLiteral("pg_temp.") : QStringLiteral("temp."))
        + quotedIdentifier(name);
}

bool onServer(const Database& db)
{
    return db.engine() == Engine::Postgres;
}

} // namespace

CopyBooks::CopyBooks(const QString& workingTable)
    : origin(workingTable + QStringLiteral("_来源")), changed(workingTable + QStringLiteral("_改动")),
      removed(workingTable + QStringLiteral("_删除")), triggers{workingTable + QStringLiteral("_添加记"),
                                                                workingTable + QStringLiteral("_改动记"),
                                                                workingTable + QStringLiteral("_删除记")}
{
}

bool hasCopyBooks(Database& db, const QString& workingTable)
{
    if (onServer(db))
        return servercopy::hasBooks(db, workingTable);
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT 1 FROM sqlite_temp_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(CopyBooks(workingTable).origin);
    return query.exec() && query.next();
}

void dropCopyBooks(Database& db, const QString& workingTable)
{
    const CopyBooks books(workingTable);
    // Dropping what this connection made itself cannot fail but for a lost
    // connection, and then the books are gone with it.
    if (onServer(db)) {
        servercopy::dropBooks(db, workingTable);
        return;
    }
    for (const QString& t : books.triggers)
        (void)db.executeNative(QStringLiteral("DROP TRIGGER IF EXISTS ") + temp(db, t));
    for (const QString& t : {books.origin, books.changed, books.removed})
        (void)db.executeNative(QStringLiteral("DROP TABLE IF EXISTS ") + temp(db, t));
}

DbError createTrackedWorkingTable(Database& db, const QString& table, const QString& workingTable, const QString& order,
                                  const QString& openStatement, bool* keptRules, const QString& number)
{
    QString rows;
    if (!number.isNull())
        rows = QStringLiteral(" WHERE %1 = '%2'")
                   .arg(q(NumberColumn), QString(number).replace(QLatin1Char('\''), QStringLiteral("''")));
    if (onServer(db)) {
        dropWorkingTable(db, workingTable);
        dropCopyBooks(db, workingTable);
        if (const DbError e = servercopy::create(db, table, workingTable, order, openStatement, rows))
            return e;
        if (keptRules) // a server never holds rows against the rules
            *keptRules = true;
        return {};
    }
    dropWorkingTable(db, workingTable);
    dropCopyBooks(db, workingTable);
    const CopyBooks books(workingTable);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    // The empty copy, with the table's columns and rules as the open
    // statement would make them.
    if (const DbResult made =
            db.execute(QStringLiteral("select * into %1 from %2 where 1=0;").arg(workingTable, table));
        !made.ok())
        return made.error;
    const QStringList columns = db.columns(workingTable);
    if (columns.isEmpty())
        return DbError::make(DbError::General, QStringLiteral("找不到数据表“%1”。").arg(workingTable));
    const QStringList orderBy = servercopy::orderItems(order);
    QStringList quotedColumns;
    QStringList fromLedger;
    for (const QString& c : columns) {
        quotedColumns << q(c);
        fromLedger << QStringLiteral("l.") + q(c);
    }

    // The order of the ledger's rows numbers the copy: working row k is
    // the ledger row that comes k-th, and the copy is filled by those numbers
    // so that the recordset walks it in the window's order.
    const QStringList statements = {
        QStringLiteral("CREATE TEMP TABLE %1 (wrow INTEGER PRIMARY KEY, lrow INTEGER NOT NULL)").arg(q(books.origin)),
        QStringLiteral("CREATE TEMP TABLE %1 (wrow INTEGER PRIMARY KEY)").arg(q(books.changed)),
        QStringLiteral("CREATE TEMP TABLE %1 (lrow INTEGER PRIMARY KEY)").arg(q(books.removed)),
        QStringLiteral("INSERT INTO %1 (lrow) SELECT rowid FROM %2%3%4")
            .arg(temp(db, books.origin), q(table), rows,
                 orderBy.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + orderBy.join(QLatin1Char(','))),
    };
    for (const QString& sql : statements)
        if (const DbResult r = db.executeNative(sql); !r.ok())
            return r.error;
    const QString fill = QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT o.wrow, %3 FROM %4 AS o CROSS JOIN %5 AS l "
                                        "ON l.rowid = o.lrow ORDER BY o.wrow")
                             .arg(q(workingTable), quotedColumns.join(QLatin1Char(',')),
                                  fromLedger.join(QLatin1Char(',')), temp(db, books.origin), q(table));
    // The rules are kept while the copy is filled, as a rule: then every
    // row of the copy keeps them, and since each later write into the copy
    // is checked, only the rows written since can break them. A table with
    // values written against its rules (by another program) is copied
    // again as it holds them, so that the window opens and they can be
    // mended.
    bool kept = false;
    {
        Transaction withRules(db);
        if (withRules.error())
            return withRules.error();
        kept = db.executeNative(fill).ok() && !withRules.commit();
    }
    if (!kept) {
        RulesSuspended asStored(db);
        if (const DbResult r = db.executeNative(fill); !r.ok())
            return r.error;
    }
    // From here on every write into the copy is noted. A deleted row that
    // the ledger no longer holds (a move took it out of both) needs nothing
    // at OK.
    const QStringList triggers = {
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER INSERT ON %2 BEGIN "
                       "INSERT OR IGNORE INTO %3 (wrow) VALUES (NEW.rowid); END")
            .arg(q(books.triggers.at(0)), q(workingTable), q(books.changed)),
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER UPDATE ON %2 BEGIN "
                       "INSERT OR IGNORE INTO %3 (wrow) VALUES (NEW.rowid); END")
            .arg(q(books.triggers.at(1)), q(workingTable), q(books.changed)),
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER DELETE ON %2 BEGIN "
                       "INSERT OR IGNORE INTO %3 (lrow) SELECT lrow FROM %4 "
                       "WHERE wrow = OLD.rowid AND EXISTS (SELECT 1 FROM %5 WHERE rowid = %4.lrow); "
                       "DELETE FROM %6 WHERE wrow = OLD.rowid; "
                       "DELETE FROM %4 WHERE wrow = OLD.rowid; END")
            .arg(q(books.triggers.at(2)), q(workingTable), q(books.removed), q(books.origin), q(table),
                 q(books.changed)),
    };
    for (const QString& sql : triggers)
        if (const DbResult r = db.executeNative(sql); !r.ok())
            return r.error;
    if (const DbError e = db.keepScratchText(openStatement))
        return e;
    if (const DbError e = tx.commit())
        return e;
    if (keptRules)
        *keptRules = kept;
    return {};
}

qint64 ledgerRowOf(Database& db, const QString& workingTable, qint64 workingRow)
{
    if (onServer(db))
        return servercopy::ledgerRowOf(db, workingTable, workingRow);
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT lrow FROM %1 WHERE wrow = ?").arg(temp(db, CopyBooks(workingTable).origin)));
    query.addBindValue(workingRow);
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    return -1;
}

QVector<qint64> removedLedgerRows(Database& db, const QString& workingTable)
{
    if (onServer(db))
        return servercopy::removedRows(db, workingTable);
    QVector<qint64> rows;
    if (!hasCopyBooks(db, workingTable))
        return rows;
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT lrow FROM %1 ORDER BY lrow").arg(temp(db, CopyBooks(workingTable).removed))))
        while (query.next())
            rows << query.value(0).toLongLong();
    return rows;
}

qint64 versionRead(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    return onServer(db) ? servercopy::versionRead(db, workingTable, ledgerRow) : 0;
}

QList<qint64> workingRowsOfLedgerRow(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    if (onServer(db))
        return servercopy::workingRowsOf(db, workingTable, ledgerRow);
    QList<qint64> rows;
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT wrow FROM %1 WHERE lrow = ? ORDER BY wrow")
                      .arg(temp(db, CopyBooks(workingTable).origin)));
    query.addBindValue(ledgerRow);
    if (query.exec())
        while (query.next())
            rows << query.value(0).toLongLong();
    return rows;
}

QString changedRowsCondition(Database& db, const QString& workingTable)
{
    if (onServer(db))
        return servercopy::changedRowsCondition();
    return QStringLiteral("rowid IN (SELECT wrow FROM %1)").arg(temp(db, CopyBooks(workingTable).changed));
}

QString RowConflict::text() const
{
    if (gone)
        return QStringLiteral("%1：已被删除或移走").arg(label);
    return QStringLiteral("%1：%2 于 %3 修改")
        .arg(label, changedBy, changedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

DbError commitTrackedWorkingTable(Database& db, const QString& table, const QString& workingTable,
                                  const QString& keptText, CopyCommit* done, QVector<RowConflict>* conflicts)
{
    if (conflicts)
        conflicts->clear();
    const CopyBooks books(workingTable);
    if (!hasCopyBooks(db, workingTable))
        return DbError::make(DbError::General,
                             QStringLiteral("“%1”的工作副本已不完整，不能保存。请取消后重新打开。").arg(table));
    const QStringList columns = db.columns(workingTable);
    QStringList quotedColumns;
    QStringList fromCopy;
    for (const QString& c : columns) {
        quotedColumns << q(c);
        fromCopy << QStringLiteral("w.") + q(c);
    }
    if (onServer(db))
        return servercopy::commit(db, table, workingTable, keptText, done, conflicts);
    const QString origin = temp(db, books.origin);
    const QString changed = temp(db, books.changed);
    const QString removed = temp(db, books.removed);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    // The history notes what is about to change, before the rows are written.
    if (const DbError e = recordCopyChanges(
            db, table, columns,
            QStringLiteral("FROM %1 AS c JOIN %2 AS w ON w.rowid = c.wrow LEFT JOIN %3 AS o ON o.wrow = c.wrow "
                           "LEFT JOIN %4 AS l ON l.rowid = o.lrow ORDER BY c.wrow")
                .arg(changed, q(workingTable), origin, q(table)),
            QStringLiteral("FROM %1 AS l WHERE l.rowid IN (SELECT lrow FROM %2)").arg(q(table), removed)))
        return e;
    CopyCommit counts;
    // The rows deleted in the window.
    DbResult r =
        db.executeNative(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT lrow FROM %2)").arg(q(table), removed));
    if (!r.ok())
        return r.error;
    counts.deleted = r.rowsAffected;
    // Each added row gets the ledger rowid it will have, after the last one.
    r = db.executeNative(QStringLiteral("INSERT INTO %1 (wrow, lrow) SELECT c.wrow, m.top + row_number() OVER "
                                        "(ORDER BY c.wrow) FROM %2 AS c, (SELECT coalesce(max(rowid), 0) AS top "
                                        "FROM %3) AS m WHERE c.wrow NOT IN (SELECT wrow FROM %1)")
                             .arg(origin, changed, q(table)));
    if (!r.ok())
        return r.error;
    counts.added = r.rowsAffected;
    // Changed rows leave the ledger and come back at their place with the
    // window's values; added rows come in at theirs.
    r = db.executeNative(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT o.lrow FROM %2 AS c "
                                        "JOIN %3 AS o ON o.wrow = c.wrow)")
                             .arg(q(table), changed, origin));
    if (!r.ok())
        return r.error;
    r = db.executeNative(QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT o.lrow, %3 FROM %4 AS c "
                                        "JOIN %5 AS o ON o.wrow = c.wrow JOIN %6 AS w ON w.rowid = c.wrow "
                                        "ORDER BY c.wrow")
                             .arg(q(table), quotedColumns.join(QLatin1Char(',')), fromCopy.join(QLatin1Char(',')),
                                  changed, origin, q(workingTable)));
    if (!r.ok())
        return r.error;
    counts.written = r.rowsAffected;
    for (const QString& book : {changed, removed})
        if (const DbResult cleared = db.executeNative(QStringLiteral("DELETE FROM ") + book); !cleared.ok())
            return cleared.error;
    if (!keptText.isEmpty())
        if (const DbError kept = db.keepScratchText(keptText))
            return kept;
    if (const DbError e = tx.commit())
        return e;
    if (done)
        *done = counts;
    return {};
}

DbError reloadLedgerRows(Database& db, const QString& table, const QString& workingTable,
                         const QVector<qint64>& ledgerRows)
{
    return onServer(db) ? servercopy::reload(db, table, workingTable, ledgerRows) : DbError();
}

DbError keepOwnEdits(Database& db, const QString& table, const QString& workingTable, const QVector<qint64>& ledgerRows)
{
    return onServer(db) ? servercopy::keepOwn(db, table, workingTable, ledgerRows) : DbError();
}

} // namespace ravo
