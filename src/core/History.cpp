#include "History.h"

#include "Ledger.h"
#include "LedgerSchema.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace ravo {

const QStringList& historyColumns()
{
    static const QStringList columns = {QStringLiteral("时间"), QStringLiteral("账户"), QStringLiteral("数据表"),
                                        NumberColumn,           QStringLiteral("事件"), QStringLiteral("字段"),
                                        QStringLiteral("原值"), QStringLiteral("新值")};
    return columns;
}

bool keepsHistory(Database& db)
{
    return db.tableExists(tables::History);
}

namespace {

// A value as the history keeps it: dates and times in the ledger's form,
// whatever type the engine hands back.
QString valueText(const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default:
        return v.toString();
    }
}

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVariant orNull(const QString& s)
{
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

// A row to write; its time and account are the commit's.
HistoryEntry entry(const QString& table, const QString& number, const QString& event, const QString& column = {},
                   const QString& before = {}, const QString& after = {})
{
    HistoryEntry e;
    e.table = table;
    e.number = number;
    e.event = event;
    e.column = column;
    e.before = before;
    e.after = after;
    return e;
}

DbError writeRows(Database& db, const QVector<HistoryEntry>& rows)
{
    QStringList names;
    for (const QString& c : historyColumns())
        names << quotedIdentifier(c);
    const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                             .arg(quotedIdentifier(tables::History), names.join(QStringLiteral(", ")));
    const QString when = now();
    // A few dozen rows a statement: a commit of many rows stays quick.
    constexpr int PerStatement = 50;
    for (qsizetype first = 0; first < rows.size(); first += PerStatement) {
        const qsizetype last = std::min(rows.size(), first + PerStatement);
        QStringList marks;
        QVariantList binds;
        for (qsizetype i = first; i < last; ++i) {
            const HistoryEntry& r = rows.at(i);
            marks << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
            binds << when << orNull(db.account()) << r.table << orNull(r.number) << r.event << orNull(r.column)
                  << orNull(r.before) << orNull(r.after);
        }
        if (const DbResult r = db.executeNative(head + marks.join(QStringLiteral(", ")), binds); !r.ok())
            return r.error;
    }
    return {};
}

QString deletionEvent(const QString& table)
{
    // Deleting an instrument from the scrapped ledger is writing it off.
    return table == tables::Scrapped ? historyevent::WrittenOff : historyevent::Deleted;
}

int numberIndex(const QStringList& columns)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(NumberColumn, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The changes between a row as it was and as it is, one per value.
void addChanges(QVector<HistoryEntry>& out, const QString& table, const QString& number, const QStringList& columns,
                const QStringList& before, const QStringList& after)
{
    for (int i = 0; i < columns.size(); ++i)
        if (before.at(i) != after.at(i))
            out.append(entry(table, number, historyevent::Changed, columns.at(i), before.at(i), after.at(i)));
}

// The watch's two books: the values of rows before their first change, and
// the rows written since (added or changed).
QString watchedBefore(const QString& workingTable)
{
    return QStringLiteral("temp.") + quotedIdentifier(workingTable + QStringLiteral("_原值"));
}

QString watchedWritten(const QString& workingTable)
{
    return QStringLiteral("temp.") + quotedIdentifier(workingTable + QStringLiteral("_写过"));
}

bool watched(Database& db, const QString& workingTable)
{
    if (db.engine() != Engine::Sqlite)
        return false;
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_temp_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(workingTable + QStringLiteral("_写过"));
    return q.exec() && q.next();
}

} // namespace

DbError recordHistoryEvent(Database& db, const QString& table, const QString& number, const QString& event,
                           const QString& column, const QString& before, const QString& after)
{
    if (!keepsHistory(db))
        return {};
    return writeRows(db, {entry(table, number.trimmed(), event, column, before, after)});
}

DbError recordCopyChanges(Database& db, const QString& table, const QStringList& columns, const QString& changedFrom,
                          const QString& deletedFrom)
{
    if (!keepsHistory(db))
        return {};
    QStringList before, after;
    for (const QString& c : columns) {
        before << QStringLiteral("l.") + quotedIdentifier(c);
        after << QStringLiteral("w.") + quotedIdentifier(c);
    }
    const int n = int(columns.size());
    const int numberAt = numberIndex(columns);
    QVector<HistoryEntry> out;
    // Deleted rows give their number; changed rows, the flag and both sides.
    auto read = [&](const QString& sql, bool deleted) {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            return DbError::fromSqlError(q.lastError(), sql);
        while (q.next()) {
            if (deleted) {
                out.append(entry(table, numberAt < 0 ? QString() : valueText(q.value(numberAt)), deletionEvent(table)));
                continue;
            }
            QStringList before, after;
            for (int i = 0; i < n; ++i) {
                before << valueText(q.value(1 + i));
                after << valueText(q.value(1 + n + i));
            }
            const QString number = numberAt < 0 ? QString() : after.at(numberAt);
            if (q.value(0).toBool())
                addChanges(out, table, number, columns, before, after);
            else
                out.append(entry(table, number, historyevent::Added));
        }
        return DbError();
    };
    if (!deletedFrom.isEmpty())
        if (const DbError e =
                read(QStringLiteral("SELECT %1 %2").arg(before.join(QLatin1Char(',')), deletedFrom), true))
            return e;
    if (!changedFrom.isEmpty())
        if (const DbError e = read(QStringLiteral("SELECT l.rowid IS NOT NULL, %1, %2 %3")
                                       .arg(before.join(QLatin1Char(',')), after.join(QLatin1Char(',')), changedFrom),
                                   false))
            return e;
    return writeRows(db, out);
}

DbError watchReplacedCopy(Database& db, const QString& workingTable)
{
    if (db.engine() != Engine::Sqlite || !keepsHistory(db))
        return {};
    const QStringList columns = db.columns(workingTable);
    QStringList old;
    for (const QString& c : columns)
        old << QStringLiteral("OLD.") + quotedIdentifier(c);
    const QString before = watchedBefore(workingTable);
    const QString written = watchedWritten(workingTable);
    // Inside a trigger the books are named without their schema.
    const QString beforeName = before.mid(5);
    const QString writtenName = written.mid(5);
    const QString w = quotedIdentifier(workingTable);
    auto trigger = [&](const QString& suffix) { return quotedIdentifier(workingTable + suffix); };
    // A row's values are kept the first time it is changed or deleted,
    // unless it was added in the window (then it was in no ledger).
    const QString keepOld = QStringLiteral("INSERT INTO %1 SELECT %2 WHERE NOT EXISTS (SELECT 1 FROM %3 WHERE wrow = "
                                           "OLD.rowid);")
                                .arg(beforeName, old.join(QLatin1Char(',')), writtenName);
    const QStringList statements = {
        QStringLiteral("DROP TABLE IF EXISTS ") + before,
        QStringLiteral("DROP TABLE IF EXISTS ") + written,
        QStringLiteral("CREATE TEMP TABLE %1 AS SELECT * FROM %2 WHERE 0").arg(beforeName, w),
        QStringLiteral("CREATE TEMP TABLE %1 (wrow INTEGER PRIMARY KEY)").arg(writtenName),
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER INSERT ON %2 BEGIN INSERT OR IGNORE INTO %3 VALUES (NEW.rowid); "
                       "END")
            .arg(trigger(QStringLiteral("_看添加")), w, writtenName),
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER UPDATE ON %2 BEGIN %3 INSERT OR IGNORE INTO %4 VALUES "
                       "(NEW.rowid); END")
            .arg(trigger(QStringLiteral("_看改动")), w, keepOld, writtenName),
        QStringLiteral("CREATE TEMP TRIGGER %1 AFTER DELETE ON %2 BEGIN %3 DELETE FROM %4 WHERE wrow = OLD.rowid; END")
            .arg(trigger(QStringLiteral("_看删除")), w, keepOld, writtenName),
    };
    for (const QString& sql : statements)
        if (const DbResult r = db.executeNative(sql); !r.ok())
            return r.error;
    return {};
}

DbError recordReplacedRows(Database& db, const QString& table, const QString& workingTable,
                           const std::optional<QString>& number)
{
    if (!keepsHistory(db))
        return {};
    const QStringList columns = db.columns(workingTable);
    QStringList quoted;
    for (const QString& c : columns)
        quoted << quotedIdentifier(c);
    const QString list = quoted.join(QStringLiteral(", "));
    const QString scope = number ? QStringLiteral(" WHERE %1 = ?").arg(quotedIdentifier(NumberColumn)) : QString();
    const int numberAt = numberIndex(columns);
    // The rows only the ledger holds (as they were) and only the copy holds
    // (as they are).
    auto rowsOf = [&](const QString& sql, QVector<QStringList>& out) {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            return DbError::fromSqlError(q.lastError(), sql);
        if (number)
            q.addBindValue(*number);
        if (!q.exec())
            return DbError::fromSqlError(q.lastError(), sql);
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < columns.size(); ++i)
                values << valueText(q.value(i));
            out.append(values);
        }
        return DbError();
    };
    QVector<QStringList> gone, come;
    if (watched(db, workingTable)) {
        // The watch knows the rows written and their values before: only
        // those are compared. It starts again from what is committed now.
        const QString before = watchedBefore(workingTable);
        const QString written = watchedWritten(workingTable);
        const QStringList reads = {QStringLiteral("SELECT %1 FROM %2").arg(list, before),
                                   QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (SELECT wrow FROM %3)")
                                       .arg(list, quotedIdentifier(workingTable), written)};
        for (int i = 0; i < 2; ++i) {
            QSqlQuery q(db.connection());
            q.setForwardOnly(true);
            if (!q.exec(reads.at(i)))
                return DbError::fromSqlError(q.lastError(), reads.at(i));
            while (q.next()) {
                QStringList values;
                for (int c = 0; c < columns.size(); ++c)
                    values << valueText(q.value(c));
                (i == 0 ? gone : come).append(values);
            }
        }
        for (const QString& book : {before, written})
            if (const DbResult r = db.executeNative(QStringLiteral("DELETE FROM ") + book); !r.ok())
                return r.error;
    } else {
        if (const DbError e = rowsOf(QStringLiteral("SELECT %1 FROM %2%3 EXCEPT SELECT %1 FROM %4")
                                         .arg(list, quotedIdentifier(table), scope, quotedIdentifier(workingTable)),
                                     gone))
            return e;
        if (const DbError e = rowsOf(QStringLiteral("SELECT %1 FROM %4 EXCEPT SELECT %1 FROM %2%3")
                                         .arg(list, quotedIdentifier(table), scope, quotedIdentifier(workingTable)),
                                     come))
            return e;
    }
    auto numberOf = [&](const QStringList& row) { return numberAt < 0 ? QString() : row.at(numberAt); };
    auto sameInstrument = [&](const QStringList& a, const QStringList& b) {
        return numberOf(a).trimmed().compare(numberOf(b).trimmed(), Qt::CaseInsensitive) == 0;
    };
    auto alike = [&](const QStringList& a, const QStringList& b) {
        int same = 0;
        for (int i = 0; i < a.size(); ++i)
            same += a.at(i) == b.at(i) ? 1 : 0;
        return same;
    };
    // A record edited in the window is one row gone and one come, of the
    // same instrument, alike in most values: paired, best match first.
    QVector<HistoryEntry> out;
    QVector<bool> taken(come.size(), false);
    for (const QStringList& old : std::as_const(gone)) {
        int best = -1;
        int bestAlike = (int(columns.size()) + 1) / 2 - 1;
        for (int j = 0; j < come.size(); ++j) {
            if (taken.at(j) || !sameInstrument(old, come.at(j)))
                continue;
            if (const int a = alike(old, come.at(j)); a > bestAlike) {
                best = j;
                bestAlike = a;
            }
        }
        if (best < 0) {
            out.append(entry(table, numberOf(old), deletionEvent(table)));
            continue;
        }
        taken[best] = true;
        addChanges(out, table, numberOf(come.at(best)), columns, old, come.at(best));
    }
    for (int j = 0; j < come.size(); ++j)
        if (!taken.at(j))
            out.append(entry(table, numberOf(come.at(j)), historyevent::Added));
    return writeRows(db, out);
}

DbError commitReplacedRows(Database& db, const QString& table, const QString& workingTable,
                           const std::optional<QString>& number, const QString& deleteStatement,
                           const QString& insertStatement, bool insertDirect)
{
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    if (const DbError e = recordReplacedRows(db, table, workingTable, number))
        return e;
    if (const DbError e = commitWorkingTable(db, deleteStatement, insertStatement, insertDirect))
        return e;
    return tx.commit();
}

DbError recordImportedRows(Database& db, const QString& table, qint64 afterRowid, const QString& source)
{
    if (!keepsHistory(db))
        return {};
    QStringList names;
    for (const QString& c : historyColumns())
        names << quotedIdentifier(c);
    const bool numbered = numberIndex(db.columns(table)) >= 0;
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) SELECT ?, ?, ?, %3, ?, NULL, NULL, ? FROM %4 "
                       "WHERE rowid > ? ORDER BY rowid")
            .arg(quotedIdentifier(tables::History), names.join(QStringLiteral(", ")),
                 numbered ? quotedIdentifier(NumberColumn) : QStringLiteral("NULL"), quotedIdentifier(table));
    const DbResult r =
        db.executeNative(sql, {now(), orNull(db.account()), table, historyevent::Imported, orNull(source), afterRowid});
    return r.ok() ? DbError() : r.error;
}

} // namespace ravo
