#include "WorkingCopy.h"

#include "Ledger.h"

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

// The trigger function that keeps a server copy's books.
QString bookkeeper(const QString& workingTable)
{
    return workingTable + QStringLiteral("_记账");
}

// The rows of the window's order, each maybe followed by its direction.
QStringList orderItems(const QString& order)
{
    QStringList orderBy;
    for (const QString& item : order.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = item.simplified().split(QLatin1Char(' '));
        const QString way = words.size() == 2 ? words.at(1).toLower() : QString();
        orderBy << (way == QLatin1String("asc") || way == QLatin1String("desc")
                        ? q(words.at(0)) + QLatin1Char(' ') + way
                        : q(item.trimmed()));
    }
    return orderBy;
}

// How a row of the table is named to the user, as an expression on the row
// `alias`: the instrument's number where the table has one, else its name
// and model (the stock) or the reading's ID, date and time (the
// environment log).
QString labelExpression(const QStringList& columns, const QString& alias)
{
    auto col = [&](const QString& c) { return alias + QLatin1Char('.') + q(c); };
    if (columns.contains(NumberColumn))
        return col(NumberColumn);
    QStringList parts;
    for (const QString& c : {QStringLiteral("计量器具名称"), QStringLiteral("规格型号"), QStringLiteral("购买日期")})
        if (columns.contains(c))
            parts << col(c);
    if (parts.isEmpty())
        for (const QString& c : columns.mid(0, 3))
            parts << col(c) + QStringLiteral("::text");
    return QStringLiteral("concat_ws(' ', %1)").arg(parts.join(QLatin1Char(',')));
}

QString idList(const QVector<qint64>& ids)
{
    QStringList out;
    for (const qint64 id : ids)
        out << QString::number(id);
    return out.isEmpty() ? QStringLiteral("NULL") : out.join(QLatin1Char(','));
}

DbError run(Database& db, const QString& sql, qint64* affected = nullptr)
{
    const DbResult r = db.executeNative(sql);
    if (affected)
        *affected = r.rowsAffected;
    return r.error;
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
    QSqlQuery query(db.connection());
    query.prepare(onServer(db) ? QStringLiteral("SELECT 1 FROM pg_class WHERE relnamespace = pg_my_temp_schema() "
                                                "AND relname = ?")
                               : QStringLiteral("SELECT 1 FROM sqlite_temp_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(CopyBooks(workingTable).origin);
    return query.exec() && query.next();
}

void dropCopyBooks(Database& db, const QString& workingTable)
{
    const CopyBooks books(workingTable);
    // Dropping what this connection made itself cannot fail but for a lost
    // connection, and then the books are gone with it.
    if (onServer(db)) // its trigger goes with it
        (void)db.executeNative(QStringLiteral("DROP FUNCTION IF EXISTS %1() CASCADE")
                                   .arg(temp(db, bookkeeper(workingTable))));
    else
        for (const QString& t : books.triggers)
            (void)db.executeNative(QStringLiteral("DROP TRIGGER IF EXISTS ") + temp(db, t));
    for (const QString& t : {books.origin, books.changed, books.removed})
        (void)db.executeNative(QStringLiteral("DROP TABLE IF EXISTS ") + temp(db, t));
}

namespace {

// The working copy on a server: the copy, its books (each working row's
// ledger row and the version read) and the session's own trigger function
// that keeps them, filled from one reading of the ledger so that the rows
// and their versions agree.
DbError createServerCopy(Database& db, const QString& table, const QString& workingTable, const QString& order,
                         const QString& openStatement)
{
    const CopyBooks books(workingTable);
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    if (const DbResult made =
            db.execute(QStringLiteral("select * into %1 from %2 where 1=0;").arg(workingTable, table));
        !made.ok())
        return made.error;
    const QStringList columns = db.columns(workingTable);
    if (columns.isEmpty())
        return DbError::make(DbError::General, QStringLiteral("找不到数据表“%1”。").arg(workingTable));
    QStringList quotedColumns;
    for (const QString& c : columns)
        quotedColumns << q(c);
    const QString list = quotedColumns.join(QLatin1Char(','));
    QStringList orderBy = orderItems(order);
    orderBy << QStringLiteral("rowid");
    const QString origin = temp(db, books.origin);
    const QString changed = temp(db, books.changed);
    const QString removed = temp(db, books.removed);
    const QString function = temp(db, bookkeeper(workingTable));
    const QStringList statements = {
        QStringLiteral("CREATE TEMP TABLE %1 (wrow bigint PRIMARY KEY, lrow bigint NOT NULL, ver bigint NOT NULL)")
            .arg(q(books.origin)),
        QStringLiteral("CREATE INDEX ON %1 (lrow)").arg(origin),
        QStringLiteral("CREATE TEMP TABLE %1 (wrow bigint PRIMARY KEY)").arg(q(books.changed)),
        QStringLiteral("CREATE TEMP TABLE %1 (lrow bigint PRIMARY KEY, ver bigint NOT NULL, label text)")
            .arg(q(books.removed)),
        // One statement reads the ledger once: the rows in the window's
        // order, numbered, go into the copy and their addresses and
        // versions into the books.
        QStringLiteral("WITH src AS (SELECT l.*, row_number() OVER (ORDER BY %1) AS ravo_n FROM %2 AS l), "
                       "noted AS (INSERT INTO %3 (wrow, lrow, ver) SELECT ravo_n, rowid, ravo_version FROM src) "
                       "INSERT INTO %4 (rowid, %5) SELECT ravo_n, %5 FROM src ORDER BY ravo_n")
            .arg(orderBy.join(QLatin1Char(',')), q(table), origin, q(workingTable), list),
        // Rows added in the window are numbered after the copied ones.
        QStringLiteral("SELECT setval(pg_get_serial_sequence(%1, 'rowid'), "
                       "(SELECT coalesce(max(rowid), 0) + 1 FROM %2), false)")
            .arg(QStringLiteral("'") + QString(q(workingTable)).replace(QLatin1Char('\''), QStringLiteral("''"))
                     + QStringLiteral("'"),
                 q(workingTable)),
        // Every write into the copy is noted. A deleted row that the ledger
        // no longer holds (a move took it out of both) needs nothing at OK.
        QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $ravo$ BEGIN "
                       "IF TG_OP = 'DELETE' THEN "
                       "INSERT INTO %2 (lrow, ver, label) SELECT o.lrow, o.ver, %6 FROM %3 AS o "
                       "WHERE o.wrow = OLD.rowid AND EXISTS (SELECT 1 FROM %5 WHERE rowid = o.lrow) "
                       "ON CONFLICT DO NOTHING; "
                       "DELETE FROM %4 WHERE wrow = OLD.rowid; DELETE FROM %3 WHERE wrow = OLD.rowid; RETURN OLD; "
                       "END IF; "
                       "INSERT INTO %4 (wrow) VALUES (NEW.rowid) ON CONFLICT DO NOTHING; RETURN NEW; END $ravo$")
            .arg(function, removed, origin, changed, q(table), labelExpression(columns, QStringLiteral("OLD"))),
        QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 FOR EACH ROW EXECUTE FUNCTION %3()")
            .arg(q(bookkeeper(workingTable)), q(workingTable), function),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    if (const DbError e = db.keepScratchText(openStatement))
        return e;
    return tx.commit();
}

} // namespace

DbError createTrackedWorkingTable(Database& db, const QString& table, const QString& workingTable, const QString& order,
                                  const QString& openStatement, bool* keptRules)
{
    if (onServer(db)) {
        dropWorkingTable(db, workingTable);
        dropCopyBooks(db, workingTable);
        if (const DbError e = createServerCopy(db, table, workingTable, order, openStatement))
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
    const QStringList orderBy = orderItems(order);
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
        QStringLiteral("INSERT INTO %1 (lrow) SELECT rowid FROM %2%3")
            .arg(temp(db, books.origin), q(table),
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
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT lrow FROM %1 WHERE wrow = ?").arg(temp(db, CopyBooks(workingTable).origin)));
    query.addBindValue(workingRow);
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    return -1;
}

qint64 versionRead(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    if (!onServer(db))
        return 0;
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT max(ver) FROM %1 WHERE lrow = ?").arg(temp(db, CopyBooks(workingTable).origin)));
    query.addBindValue(ledgerRow);
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

QList<qint64> workingRowsOfLedgerRow(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    QList<qint64> rows;
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT wrow FROM %1 WHERE lrow = ? ORDER BY wrow").arg(temp(db, CopyBooks(workingTable).origin)));
    query.addBindValue(ledgerRow);
    if (query.exec())
        while (query.next())
            rows << query.value(0).toLongLong();
    return rows;
}

QString changedRowsCondition(const QString& workingTable)
{
    // Unqualified: both engines look among the connection's own tables first.
    return QStringLiteral("rowid IN (SELECT wrow FROM %1)").arg(q(CopyBooks(workingTable).changed));
}

QString RowConflict::text() const
{
    if (gone)
        return QStringLiteral("%1：已被删除或移走").arg(label);
    return QStringLiteral("%1：%2 于 %3 修改")
        .arg(label, changedBy, changedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

namespace {

// The commit on a server: the rows to write are locked and their versions
// compared with those read; any difference and nothing is written.
DbError commitServerCopy(Database& db, const QString& table, const QString& workingTable, const QString& keptText,
                         CopyCommit* done, QVector<RowConflict>* conflicts)
{
    const CopyBooks books(workingTable);
    const QStringList columns = db.columns(workingTable);
    QStringList quotedColumns;
    QStringList assignments;
    QStringList fromCopy;
    for (const QString& c : columns) {
        quotedColumns << q(c);
        assignments << q(c) + QStringLiteral(" = w.") + q(c);
        fromCopy << QStringLiteral("w.") + q(c);
    }
    const QString origin = temp(db, books.origin);
    const QString changed = temp(db, books.changed);
    const QString removed = temp(db, books.removed);
    const QString ledger = q(table);
    // The ledger rows this OK writes or deletes, with the versions read.
    const QString touched = QStringLiteral("SELECT o.lrow, o.ver, o.wrow, NULL::text AS label FROM %1 AS o "
                                           "JOIN %2 AS c ON c.wrow = o.wrow UNION ALL "
                                           "SELECT lrow, ver, NULL::bigint, label FROM %3")
                                .arg(origin, changed, removed);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    // Locked in the order of their addresses, so that two OKs over the same
    // rows wait for each other instead of deadlocking.
    if (const DbError e = run(db, QStringLiteral("SELECT 1 FROM %1 WHERE rowid IN (SELECT lrow FROM (%2) AS t) "
                                                 "ORDER BY rowid FOR UPDATE")
                                      .arg(ledger, touched)))
        return e;
    QVector<RowConflict> found;
    {
        QSqlQuery query(db.connection());
        query.setForwardOnly(true);
        const QString sql =
            QStringLiteral("SELECT t.lrow, coalesce(%1, %2, t.label), l.rowid IS NULL, l.ravo_changed_by, "
                           "l.ravo_changed_at FROM (%3) AS t LEFT JOIN %4 AS l ON l.rowid = t.lrow "
                           "LEFT JOIN %5 AS w ON w.rowid = t.wrow "
                           "WHERE l.rowid IS NULL OR l.ravo_version <> t.ver ORDER BY t.lrow")
                .arg(labelExpression(columns, QStringLiteral("l")), labelExpression(columns, QStringLiteral("w")),
                     touched, ledger, q(workingTable));
        if (!query.exec(sql))
            return DbError::fromSqlError(query.lastError(), sql);
        while (query.next()) {
            RowConflict c;
            c.ledgerRow = query.value(0).toLongLong();
            c.label = query.value(1).toString();
            c.gone = query.value(2).toBool();
            c.changedBy = query.value(3).toString();
            c.changedAt = query.value(4).toDateTime();
            found.append(c);
        }
    }
    if (!found.isEmpty()) {
        QStringList lines;
        for (const RowConflict& c : std::as_const(found))
            lines << c.text();
        if (conflicts)
            *conflicts = found;
        return DbError::make(DbError::Kind::Conflict,
                             QStringLiteral("在您编辑期间，下列记录已被其他用户修改、移走或删除，本次没有保存任何内容：\n%1")
                                 .arg(lines.join(QLatin1Char('\n'))));
    }
    CopyCommit counts;
    qint64 n = 0;
    if (const DbError e =
            run(db, QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT lrow FROM %2)").arg(ledger, removed),
                &counts.deleted))
        return e;
    // Changed rows in place, so that their versions advance.
    if (!assignments.isEmpty())
        if (const DbError e = run(db,
                                  QStringLiteral("UPDATE %1 AS l SET %2 FROM %3 AS o JOIN %4 AS c ON c.wrow = o.wrow "
                                                 "JOIN %5 AS w ON w.rowid = o.wrow WHERE l.rowid = o.lrow")
                                      .arg(ledger, assignments.join(QLatin1Char(',')), origin, changed,
                                           q(workingTable)),
                                  &n))
            return e;
    counts.written = n;
    // Each added row gets its ledger address from the table's own sequence,
    // which sessions side by side never share; it stands for that row from
    // now on.
    if (const DbError e = run(db, QStringLiteral("INSERT INTO %1 (wrow, lrow, ver) SELECT a.wrow, "
                                                 "nextval(pg_get_serial_sequence('%2', 'rowid')), 0 FROM "
                                                 "(SELECT c.wrow FROM %3 AS c WHERE NOT EXISTS (SELECT 1 FROM %1 "
                                                 "AS o WHERE o.wrow = c.wrow) ORDER BY c.wrow) AS a")
                                      .arg(origin, QString(ledger).replace(QLatin1Char('\''), QStringLiteral("''")),
                                           changed),
                              &counts.added))
        return e;
    if (const DbError e = run(db, QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT o.lrow, %3 FROM %4 AS o "
                                                 "JOIN %5 AS w ON w.rowid = o.wrow WHERE o.ver = 0 ORDER BY o.wrow")
                                      .arg(ledger, quotedColumns.join(QLatin1Char(',')),
                                           fromCopy.join(QLatin1Char(',')), origin, q(workingTable)),
                              &n))
        return e;
    counts.written += n;
    // The books take the versions just written.
    if (const DbError e = run(db, QStringLiteral("UPDATE %1 AS o SET ver = l.ravo_version FROM %2 AS l, %3 AS c "
                                                 "WHERE l.rowid = o.lrow AND c.wrow = o.wrow")
                                      .arg(origin, ledger, changed)))
        return e;
    for (const QString& book : {changed, removed})
        if (const DbError e = run(db, QStringLiteral("DELETE FROM ") + book))
            return e;
    if (!keptText.isEmpty())
        if (const DbError kept = db.keepScratchText(keptText))
            return kept;
    if (const DbError e = tx.commit())
        return e;
    if (done)
        *done = counts;
    return {};
}

} // namespace

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
        return commitServerCopy(db, table, workingTable, keptText, done, conflicts);
    const QString origin = temp(db, books.origin);
    const QString changed = temp(db, books.changed);
    const QString removed = temp(db, books.removed);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
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
    if (!onServer(db) || ledgerRows.isEmpty())
        return {};
    const CopyBooks books(workingTable);
    const QStringList columns = db.columns(workingTable);
    QStringList quotedColumns;
    QStringList assignments;
    for (const QString& c : columns) {
        quotedColumns << q(c);
        assignments << q(c) + QStringLiteral(" = l.") + q(c);
    }
    const QString list = quotedColumns.join(QLatin1Char(','));
    const QString origin = temp(db, books.origin);
    const QString changed = temp(db, books.changed);
    const QString removed = temp(db, books.removed);
    const QString ledger = q(table);
    const QString ids = idList(ledgerRows);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    // Rows deleted in the window that the ledger still holds come back at
    // the end of the copy, standing for their ledger rows again.
    QVector<QPair<qint64, qint64>> back; // ledger row, its version
    {
        QSqlQuery query(db.connection());
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT l.rowid, l.ravo_version FROM %1 AS r JOIN %2 AS l ON l.rowid = r.lrow "
                                       "WHERE r.lrow IN (%3) ORDER BY l.rowid")
                            .arg(removed, ledger, ids)))
            return DbError::fromSqlError(query.lastError());
        while (query.next())
            back.append({query.value(0).toLongLong(), query.value(1).toLongLong()});
    }
    const QStringList statements = {
        QStringLiteral("DELETE FROM %1 WHERE lrow IN (%2)").arg(removed, ids),
        // Rows the ledger no longer holds leave the copy (noting nothing for OK).
        QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT o.wrow FROM %2 AS o WHERE o.lrow IN (%3) AND NOT "
                       "EXISTS (SELECT 1 FROM %4 AS l WHERE l.rowid = o.lrow))")
            .arg(q(workingTable), origin, ids, ledger),
        QStringLiteral("UPDATE %1 AS w SET %2 FROM %3 AS o JOIN %4 AS l ON l.rowid = o.lrow "
                       "WHERE w.rowid = o.wrow AND o.lrow IN (%5)")
            .arg(q(workingTable), assignments.join(QLatin1Char(',')), origin, ledger, ids),
        QStringLiteral("UPDATE %1 AS o SET ver = l.ravo_version FROM %2 AS l WHERE l.rowid = o.lrow AND o.lrow IN (%3)")
            .arg(origin, ledger, ids),
        QStringLiteral("DELETE FROM %1 WHERE wrow IN (SELECT wrow FROM %2 WHERE lrow IN (%3))").arg(changed, origin, ids),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    for (const auto& [ledgerRow, version] : std::as_const(back)) {
        QSqlQuery query(db.connection());
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 WHERE rowid = %4 RETURNING rowid")
                                .arg(q(workingTable), list, ledger)
                                .arg(ledgerRow);
        if (!query.exec(sql) || !query.next())
            return DbError::fromSqlError(query.lastError(), sql);
        const qint64 workingRow = query.value(0).toLongLong();
        query.finish();
        for (const QString& book :
             {QStringLiteral("INSERT INTO %1 (wrow, lrow, ver) VALUES (%2, %3, %4)")
                  .arg(origin)
                  .arg(workingRow)
                  .arg(ledgerRow)
                  .arg(version),
              QStringLiteral("DELETE FROM %1 WHERE wrow = %2").arg(changed).arg(workingRow)})
            if (const DbError e = run(db, book))
                return e;
    }
    return tx.commit();
}

DbError keepOwnEdits(Database& db, const QString& table, const QString& workingTable,
                     const QVector<qint64>& ledgerRows)
{
    if (!onServer(db) || ledgerRows.isEmpty())
        return {};
    const CopyBooks books(workingTable);
    const QString origin = temp(db, books.origin);
    const QString removed = temp(db, books.removed);
    const QString ledger = q(table);
    const QString ids = idList(ledgerRows);
    const QString gone = QStringLiteral("NOT EXISTS (SELECT 1 FROM %1 AS l WHERE l.rowid = lrow)").arg(ledger);
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    const QStringList statements = {
        QStringLiteral("UPDATE %1 AS o SET ver = l.ravo_version FROM %2 AS l WHERE l.rowid = o.lrow AND o.lrow IN (%3)")
            .arg(origin, ledger, ids),
        QStringLiteral("UPDATE %1 AS r SET ver = l.ravo_version FROM %2 AS l WHERE l.rowid = r.lrow AND r.lrow IN (%3)")
            .arg(removed, ledger, ids),
        QStringLiteral("DELETE FROM %1 WHERE lrow IN (%2) AND %3").arg(removed, ids, gone),
        // A changed row whose ledger row is gone is written as a new one.
        QStringLiteral("DELETE FROM %1 WHERE lrow IN (%2) AND %3").arg(origin, ids, gone),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    return tx.commit();
}

} // namespace ravo
