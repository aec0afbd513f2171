#include "ServerWorkingCopy.h"

#include "History.h"
#include "Ledger.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ravo::servercopy {

namespace {

const QString Removed = QStringLiteral("pg_temp.ravo_removed");

QString q(const QString& name)
{
    return quotedIdentifier(name);
}

// A text as a literal of the server's SQL.
QString literal(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

DbError run(Database& db, const QString& sql, qint64* affected = nullptr)
{
    const DbResult r = db.executeNative(sql);
    if (affected)
        *affected = r.rowsAffected;
    return r.error;
}

// Statements of the program's own that write the books (filling, committing,
// reading rows again) are not the window's edits: while this is on, the
// trigger leaves the books as those statements write them. Only for the
// transaction it is set in.
DbError keepingBooks(Database& db, bool on)
{
    return run(db,
               QStringLiteral("SET LOCAL ravo.keeping_books = ") + (on ? QStringLiteral("on") : QStringLiteral("off")));
}

// The session's own book of deleted rows and the trigger function that
// keeps every copy's books, made with the session's first copy.
DbError prepareSession(Database& db)
{
    QSqlQuery probe(db.connection());
    if (!probe.exec(QStringLiteral("SELECT to_regprocedure('pg_temp.ravo_keep_books()') IS NOT NULL")))
        return DbError::fromSqlError(probe.lastError());
    if (probe.next() && probe.value(0).toBool())
        return {};
    probe.finish();
    const QStringList statements = {
        QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ravo_removed (working text NOT NULL, lrow bigint NOT NULL, "
                       "ver bigint NOT NULL, label text, PRIMARY KEY (working, lrow))"),
        // A row deleted in the window is noted when the ledger still holds
        // the row it came from (a move takes it out of both, and then there
        // is nothing left to do at OK); any other write marks the row.
        QStringLiteral(
            "CREATE FUNCTION pg_temp.ravo_keep_books() RETURNS trigger LANGUAGE plpgsql AS $ravo$ "
            "DECLARE j jsonb; held boolean; "
            "BEGIN "
            "IF current_setting('ravo.keeping_books', true) = 'on' THEN "
            "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END IF; "
            "IF TG_OP = 'DELETE' THEN "
            "IF OLD.ravo_lrow IS NOT NULL THEN "
            "EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I WHERE rowid = $1)', TG_ARGV[0]) INTO held "
            "USING OLD.ravo_lrow; "
            "IF held THEN j := to_jsonb(OLD); "
            "INSERT INTO pg_temp.ravo_removed (working, lrow, ver, label) VALUES (TG_TABLE_NAME, OLD.ravo_lrow, "
            "OLD.ravo_version, coalesce(j->>'计量器具编号', nullif(concat_ws(' ', j->>'计量器具名称', "
            "j->>'规格型号', j->>'购买日期'), ''), concat_ws(' ', j->>'ID', j->>'日期', j->>'时间'))) "
            "ON CONFLICT DO NOTHING; END IF; END IF; RETURN OLD; END IF; "
            "NEW.ravo_dirty := true; RETURN NEW; "
            "END $ravo$"),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    return {};
}

// How a row of the table is named to the user, as an expression on the row
// `alias`: the instrument's number where the table has one, else its name,
// model and purchase date (the stock) or the reading's ID, date and time
// (the environment log).
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

struct ColumnLists {
    QString names;    // "a","b"
    QString fromW;    // w."a",w."b"
    QString fromL;    // l."a",l."b"
    QString setFromW; // "a" = w."a",…
    QString setFromL; // "a" = l."a",…
};

ColumnLists columnLists(const QStringList& columns)
{
    QStringList names, w, l, setW, setL;
    for (const QString& c : columns) {
        names << q(c);
        w << QStringLiteral("w.") + q(c);
        l << QStringLiteral("l.") + q(c);
        setW << q(c) + QStringLiteral(" = w.") + q(c);
        setL << q(c) + QStringLiteral(" = l.") + q(c);
    }
    const QChar comma = QLatin1Char(',');
    return {names.join(comma), w.join(comma), l.join(comma), setW.join(comma), setL.join(comma)};
}

qint64 scalar(Database& db, const QString& sql, const QVariantList& binds, qint64 otherwise)
{
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& v : binds)
        query.addBindValue(v);
    if (query.exec() && query.next() && !query.isNull(0))
        return query.value(0).toLongLong();
    return otherwise;
}

} // namespace

// The columns of the window's order, each maybe followed by its direction.
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

DbError create(Database& db, const QString& table, const QString& workingTable, const QString& order,
               const QString& openStatement, const QString& rows)
{
    const QStringList columns = db.columns(table);
    if (columns.isEmpty())
        return DbError::make(DbError::Kind::MissingTable, QStringLiteral("找不到数据表“%1”。").arg(table));
    const ColumnLists c = columnLists(columns);
    QStringList orderBy = orderItems(order);
    orderBy << QStringLiteral("rowid");
    const QString w = q(workingTable);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    if (const DbError e = prepareSession(db))
        return e;
    const QStringList statements = {
        // The copy keeps the table's types, collations and rules.
        QStringLiteral("CREATE TEMP TABLE %1 (LIKE %2 INCLUDING DEFAULTS INCLUDING CONSTRAINTS INCLUDING INDEXES)")
            .arg(w, q(table)),
        QStringLiteral("ALTER TABLE %1 ALTER COLUMN rowid ADD GENERATED BY DEFAULT AS IDENTITY, "
                       "DROP COLUMN ravo_changed_by, DROP COLUMN ravo_changed_at, ADD COLUMN ravo_lrow bigint, "
                       "ADD COLUMN ravo_dirty boolean NOT NULL DEFAULT false")
            .arg(w),
        // One reading of the ledger: the rows numbered in the window's order,
        // each with its ledger row and version.
        QStringLiteral("INSERT INTO %1 (rowid, %2, ravo_lrow, ravo_version) SELECT row_number() OVER (ORDER BY %3), "
                       "%2, rowid, ravo_version FROM %4%5")
            .arg(w, c.names, orderBy.join(QLatin1Char(',')), q(table), rows),
        // Rows added in the window are numbered after the copied ones.
        QStringLiteral("SELECT setval(pg_get_serial_sequence(%1, 'rowid'), (SELECT coalesce(max(rowid), 0) + 1 "
                       "FROM %2), false)")
            .arg(literal(w), w),
        QStringLiteral("CREATE TRIGGER ravo_books BEFORE INSERT OR UPDATE OR DELETE ON %1 FOR EACH ROW "
                       "EXECUTE FUNCTION pg_temp.ravo_keep_books(%2)")
            .arg(w, literal(table)),
        QStringLiteral("DELETE FROM %1 WHERE working = %2").arg(Removed, literal(workingTable)),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    if (const DbError e = db.keepScratchText(openStatement))
        return e;
    return tx.commit();
}

bool hasBooks(Database& db, const QString& workingTable)
{
    return scalar(db,
                  QStringLiteral("SELECT 1 FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid WHERE "
                                 "c.oid = to_regclass(quote_ident(?)) AND c.relpersistence = 't' "
                                 "AND a.attname = 'ravo_lrow' AND NOT a.attisdropped"),
                  {workingTable}, 0)
        == 1;
}

void dropBooks(Database& db, const QString& workingTable)
{
    // The columns go with the copy; only the deleted rows' notes are apart.
    if (scalar(db, QStringLiteral("SELECT 1 WHERE to_regclass('pg_temp.ravo_removed') IS NOT NULL"), {}, 0) == 1)
        (void)db.executeNative(QStringLiteral("DELETE FROM %1 WHERE working = ?").arg(Removed), {workingTable});
}

qint64 ledgerRowOf(Database& db, const QString& workingTable, qint64 workingRow)
{
    return scalar(db, QStringLiteral("SELECT ravo_lrow FROM %1 WHERE rowid = ?").arg(q(workingTable)), {workingRow},
                  -1);
}

QVector<qint64> removedRows(Database& db, const QString& workingTable)
{
    QVector<qint64> rows;
    if (scalar(db, QStringLiteral("SELECT 1 WHERE to_regclass('pg_temp.ravo_removed') IS NOT NULL"), {}, 0) != 1)
        return rows;
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT lrow FROM %1 WHERE working = ? ORDER BY lrow").arg(Removed));
    query.addBindValue(workingTable);
    if (query.exec())
        while (query.next())
            rows << query.value(0).toLongLong();
    return rows;
}

qint64 versionRead(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    return scalar(db, QStringLiteral("SELECT max(ravo_version) FROM %1 WHERE ravo_lrow = ?").arg(q(workingTable)),
                  {ledgerRow}, 0);
}

QList<qint64> workingRowsOf(Database& db, const QString& workingTable, qint64 ledgerRow)
{
    QList<qint64> rows;
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE ravo_lrow = ? ORDER BY rowid").arg(q(workingTable)));
    query.addBindValue(ledgerRow);
    if (query.exec())
        while (query.next())
            rows << query.value(0).toLongLong();
    return rows;
}

QString changedRowsCondition()
{
    return QStringLiteral("ravo_dirty");
}

DbError commit(Database& db, const QString& table, const QString& workingTable, const QString& keptText,
               CopyCommit* done, QVector<RowConflict>* conflicts)
{
    const QStringList columns = db.columns(workingTable);
    const ColumnLists c = columnLists(columns);
    const QString w = q(workingTable);
    const QString ledger = q(table);
    const QString mine = literal(workingTable);
    // The ledger rows this OK writes or deletes, with the versions read.
    const QString touched = QStringLiteral("SELECT ravo_lrow AS lrow, ravo_version AS ver, rowid AS wrow, NULL::text "
                                           "AS label FROM %1 WHERE ravo_dirty AND ravo_lrow IS NOT NULL UNION ALL "
                                           "SELECT lrow, ver, NULL::bigint, label FROM %2 WHERE working = %3")
                                .arg(w, Removed, mine);

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    // Locked in the order of their addresses, so that two OKs over the same
    // rows wait for each other instead of deadlocking.
    if (const DbError e = run(db,
                              QStringLiteral("SELECT 1 FROM %1 WHERE rowid IN (SELECT lrow FROM (%2) AS t) "
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
                     touched, ledger, w);
        if (!query.exec(sql))
            return DbError::fromSqlError(query.lastError(), sql);
        while (query.next()) {
            RowConflict r;
            r.ledgerRow = query.value(0).toLongLong();
            r.label = query.value(1).toString();
            r.gone = query.value(2).toBool();
            r.changedBy = query.value(3).toString();
            r.changedAt = query.value(4).toDateTime();
            found.append(r);
        }
    }
    if (!found.isEmpty()) {
        QStringList lines;
        for (const RowConflict& r : std::as_const(found))
            lines << r.text();
        if (conflicts)
            *conflicts = found;
        return DbError::make(
            DbError::Kind::Conflict,
            QStringLiteral("在您编辑期间，下列记录已被其他用户修改、移走或删除，本次没有保存任何内容：\n%1")
                .arg(lines.join(QLatin1Char('\n'))));
    }
    // The history notes what is about to change, before the rows are written.
    if (const DbError e = recordCopyChanges(
            db, table, columns,
            QStringLiteral(
                "FROM %1 AS w LEFT JOIN %2 AS l ON l.rowid = w.ravo_lrow WHERE w.ravo_dirty ORDER BY w.rowid")
                .arg(w, ledger),
            QStringLiteral("FROM %1 AS l WHERE l.rowid IN (SELECT lrow FROM %2 WHERE working = %3)")
                .arg(ledger, Removed, mine)))
        return e;
    CopyCommit counts;
    qint64 n = 0;
    if (const DbError e = keepingBooks(db, true))
        return e;
    if (const DbError e = run(db,
                              QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT lrow FROM %2 WHERE working = %3)")
                                  .arg(ledger, Removed, mine),
                              &counts.deleted))
        return e;
    // Changed rows in place, so that their versions advance; the numbers
    // are checked once all are written, so rows may exchange them.
    if (!columns.isEmpty())
        if (const DbError e = run(db,
                                  QStringLiteral("UPDATE %1 AS l SET %2 FROM %3 AS w WHERE w.ravo_dirty AND "
                                                 "w.ravo_lrow = l.rowid")
                                      .arg(ledger, c.setFromW, w),
                                  &n))
            return e;
    counts.written = n;
    // Each added row gets its ledger address from the table's own sequence,
    // which sessions side by side never share, and stands for that row from
    // now on.
    if (const DbError e =
            run(db,
                QStringLiteral("WITH added AS MATERIALIZED (SELECT s.rowid AS wrow, nextval(pg_get_serial_sequence(%1, "
                               "'rowid')) AS lrow FROM (SELECT rowid FROM %2 WHERE ravo_dirty AND ravo_lrow IS NULL "
                               "ORDER BY rowid) AS s), "
                               "written AS (INSERT INTO %3 (rowid, %4) SELECT a.lrow, %5 FROM added AS a JOIN %2 AS w "
                               "ON w.rowid = a.wrow ORDER BY a.wrow) "
                               "UPDATE %2 AS w SET ravo_lrow = a.lrow FROM added AS a WHERE w.rowid = a.wrow")
                    .arg(literal(ledger), w, ledger, c.names, c.fromW),
                &counts.added))
        return e;
    counts.written += counts.added;
    // The rows written take what the ledger made of them (a value the
    // server fills in, such as a reading's next ID) and the books the
    // versions just written.
    const QStringList books = {
        QStringLiteral("UPDATE %1 AS w SET %2%3ravo_version = l.ravo_version, ravo_dirty = false FROM %4 AS l "
                       "WHERE w.ravo_dirty AND l.rowid = w.ravo_lrow")
            .arg(w, c.setFromL, columns.isEmpty() ? QString() : QStringLiteral(", "), ledger),
        QStringLiteral("DELETE FROM %1 WHERE working = %2").arg(Removed, mine),
    };
    for (const QString& sql : books)
        if (const DbError e = run(db, sql))
            return e;
    if (const DbError e = keepingBooks(db, false))
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

DbError reload(Database& db, const QString& table, const QString& workingTable, const QVector<qint64>& ledgerRows)
{
    if (ledgerRows.isEmpty())
        return {};
    const ColumnLists c = columnLists(db.columns(workingTable));
    const QString w = q(workingTable);
    const QString ledger = q(table);
    const QString ids = idList(ledgerRows);
    const QString mine = literal(workingTable);
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    const QStringList statements = {
        QStringLiteral("SET LOCAL ravo.keeping_books = on"),
        // Rows deleted in the window that the ledger still holds come back
        // at the end of the copy, standing for their ledger rows again.
        QStringLiteral("INSERT INTO %1 (%2, ravo_lrow, ravo_version) SELECT %3, l.rowid, l.ravo_version FROM %4 AS l "
                       "WHERE l.rowid IN (SELECT lrow FROM %5 WHERE working = %6 AND lrow IN (%7)) ORDER BY l.rowid")
            .arg(w, c.names, c.fromL, ledger, Removed, mine, ids),
        QStringLiteral("DELETE FROM %1 WHERE working = %2 AND lrow IN (%3)").arg(Removed, mine, ids),
        // Rows the ledger no longer holds leave the copy.
        QStringLiteral("DELETE FROM %1 AS w WHERE w.ravo_lrow IN (%2) AND NOT EXISTS (SELECT 1 FROM %3 AS l "
                       "WHERE l.rowid = w.ravo_lrow)")
            .arg(w, ids, ledger),
        QStringLiteral("UPDATE %1 AS w SET %2, ravo_version = l.ravo_version, ravo_dirty = false FROM %3 AS l "
                       "WHERE l.rowid = w.ravo_lrow AND w.ravo_lrow IN (%4)")
            .arg(w, c.setFromL, ledger, ids),
        QStringLiteral("SET LOCAL ravo.keeping_books = off"),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    return tx.commit();
}

DbError keepOwn(Database& db, const QString& table, const QString& workingTable, const QVector<qint64>& ledgerRows)
{
    if (ledgerRows.isEmpty())
        return {};
    const QString w = q(workingTable);
    const QString ledger = q(table);
    const QString ids = idList(ledgerRows);
    const QString mine = literal(workingTable);
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    const QStringList statements = {
        QStringLiteral("SET LOCAL ravo.keeping_books = on"),
        QStringLiteral("UPDATE %1 AS w SET ravo_version = l.ravo_version FROM %2 AS l WHERE l.rowid = w.ravo_lrow "
                       "AND w.ravo_lrow IN (%3)")
            .arg(w, ledger, ids),
        QStringLiteral("UPDATE %1 AS r SET ver = l.ravo_version FROM %2 AS l WHERE l.rowid = r.lrow "
                       "AND r.working = %3 AND r.lrow IN (%4)")
            .arg(Removed, ledger, mine, ids),
        QStringLiteral("DELETE FROM %1 AS r WHERE r.working = %2 AND r.lrow IN (%3) AND NOT EXISTS "
                       "(SELECT 1 FROM %4 AS l WHERE l.rowid = r.lrow)")
            .arg(Removed, mine, ids, ledger),
        // A changed row whose ledger row is gone is written as a new one.
        QStringLiteral("UPDATE %1 AS w SET ravo_lrow = NULL, ravo_dirty = true WHERE w.ravo_lrow IN (%2) AND NOT "
                       "EXISTS (SELECT 1 FROM %3 AS l WHERE l.rowid = w.ravo_lrow)")
            .arg(w, ids, ledger),
        QStringLiteral("SET LOCAL ravo.keeping_books = off"),
    };
    for (const QString& sql : statements)
        if (const DbError e = run(db, sql))
            return e;
    return tx.commit();
}

} // namespace ravo::servercopy
