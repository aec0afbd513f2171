#include "HistoryLog.h"

#include "History.h"
#include "Ledger.h"
#include "LedgerSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <optional>

namespace ravo {

namespace {

// The columns read for an entry, "ID" first.
QString selectedColumns()
{
    static const QString columns = [] {
        QStringList list{QStringLiteral("\"ID\"")};
        for (const QString& c : historyColumns())
            list << quotedIdentifier(c);
        return list.join(QStringLiteral(", "));
    }();
    return columns;
}

QString historyTable()
{
    return quotedIdentifier(tables::History);
}

// The WHERE clause of a filter (empty when it lets everything through).
// The times are stored as yyyy-MM-dd HH:mm:ss, so a day's rows are those
// from its date up to the next day's.
QString whereOf(const HistoryFilter& f, QVariantList* binds)
{
    QStringList terms;
    if (f.from.isValid()) {
        terms << QStringLiteral("时间 >= ?");
        *binds << f.from.toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (f.to.isValid()) {
        terms << QStringLiteral("时间 < ?");
        *binds << f.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    // The text columns compare without regard to case, as the ledger's
    // numbers do (their collation on either engine).
    const std::pair<QString, QString> exact[] = {
        {QStringLiteral("账户"), f.account.trimmed()},
        {QStringLiteral("数据表"), f.table.trimmed()},
        {NumberColumn, f.number.trimmed()},
    };
    for (const auto& [column, value] : exact) {
        if (value.isEmpty())
            continue;
        terms << quotedIdentifier(column) + QStringLiteral(" = ?");
        *binds << value;
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

HistoryEntry entryOf(const QSqlQuery& q)
{
    HistoryEntry e;
    e.id = q.value(0).toLongLong();
    e.time = q.value(1).toString();
    e.account = q.value(2).toString();
    e.table = q.value(3).toString();
    e.number = q.value(4).toString();
    e.event = q.value(5).toString();
    e.column = q.value(6).toString();
    e.before = q.value(7).toString();
    e.after = q.value(8).toString();
    return e;
}

bool run(QSqlQuery& q, const HistorySelect& s, DbError* error)
{
    q.setForwardOnly(true);
    if (q.prepare(s.sql)) {
        for (const QVariant& b : s.binds)
            q.addBindValue(b);
        if (q.exec())
            return true;
    }
    if (error)
        *error = DbError::fromSqlError(q.lastError(), s.sql);
    return false;
}

QVector<HistoryEntry> entries(Database& db, const HistorySelect& s, DbError* error = nullptr)
{
    QVector<HistoryEntry> list;
    QSqlQuery q(db.connection());
    if (!run(q, s, error))
        return list;
    while (q.next())
        list << entryOf(q);
    return list;
}

bool isDeletion(const HistoryEntry& e)
{
    return e.event == historyevent::Deleted || e.event == historyevent::WrittenOff;
}

// The latest correction below `upper` (0: none) that took another
// instrument away from `number`: the number was free after it.
std::optional<HistoryEntry> lastGivenUp(Database& db, const QString& number, qint64 upper)
{
    HistorySelect s;
    s.sql = QStringLiteral("SELECT %1 FROM %2 WHERE 字段 = ? AND 事件 = ? AND 原值 = ? AND %3 <> ?%4 "
                           "ORDER BY \"ID\" DESC LIMIT 1")
                .arg(selectedColumns(), historyTable(), quotedIdentifier(NumberColumn),
                     upper > 0 ? QStringLiteral(" AND \"ID\" < ?") : QString());
    s.binds << NumberColumn << historyevent::Changed << number << number;
    if (upper > 0)
        s.binds << upper;
    const QVector<HistoryEntry> found = entries(db, s);
    return found.isEmpty() ? std::nullopt : std::optional<HistoryEntry>(found.first());
}

} // namespace

bool HistoryEntry::isRenumbering() const
{
    return event == historyevent::Changed && column == NumberColumn;
}

const QStringList& historyHeadings()
{
    return historyColumns();
}

HistorySelect historySelect(const HistoryFilter& filter, qint64 beforeId, int limit)
{
    HistorySelect s;
    QString where = whereOf(filter, &s.binds);
    if (beforeId > 0) {
        where += (where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + QStringLiteral("\"ID\" < ?");
        s.binds << beforeId;
    }
    s.sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY \"ID\" DESC").arg(selectedColumns(), historyTable(), where);
    if (limit > 0)
        s.sql += QStringLiteral(" LIMIT %1").arg(limit);
    return s;
}

HistorySelect historyExportSelect(const HistoryFilter& filter)
{
    HistorySelect s;
    QStringList columns;
    for (const QString& c : historyColumns())
        columns << quotedIdentifier(c);
    s.sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY \"ID\" DESC")
                .arg(columns.join(QStringLiteral(", ")), historyTable(), whereOf(filter, &s.binds));
    return s;
}

HistorySelect historyCountSelect(const HistoryFilter& filter)
{
    HistorySelect s;
    const QString where = whereOf(filter, &s.binds);
    s.sql = QStringLiteral("SELECT count(*) FROM %1%2").arg(historyTable(), where);
    return s;
}

QVector<HistoryEntry> readHistory(Database& db, const HistoryFilter& filter, qint64 beforeId, int limit, DbError* error)
{
    if (!keepsHistory(db))
        return {};
    return entries(db, historySelect(filter, beforeId, limit), error);
}

qint64 countHistory(Database& db, const HistoryFilter& filter, DbError* error)
{
    if (!keepsHistory(db))
        return 0;
    QSqlQuery q(db.connection());
    if (!run(q, historyCountSelect(filter), error))
        return -1;
    return q.next() ? q.value(0).toLongLong() : 0;
}

QVector<HistoryEntry> instrumentHistory(Database& db, const QString& number)
{
    QVector<HistoryEntry> out;
    if (!keepsHistory(db) || number.trimmed().isEmpty())
        return out;
    QString current = number.trimmed();
    qint64 upper = 0; // rows below this ID; 0 for all
    QString leftAt;   // when the instrument left the number walked, by the correction followed
    // Each correction followed lies below the one before, so the walk ends;
    // the bound only guards against a damaged history.
    for (int step = 0; step < 10000; ++step) {
        HistorySelect s;
        s.sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?%4 ORDER BY \"ID\" DESC")
                    .arg(selectedColumns(), historyTable(), quotedIdentifier(NumberColumn),
                         upper > 0 ? QStringLiteral(" AND \"ID\" < ?") : QString());
        s.binds << current;
        if (upper > 0)
            s.binds << upper;
        const QVector<HistoryEntry> rows = entries(db, s);
        const std::optional<HistoryEntry> givenUp = lastGivenUp(db, current, upper);

        // Numbers exchanged in one commit: another instrument's correction
        // into the number this one left, written in the same commit before
        // the correction followed, and that instrument's rows after it in
        // the commit are not this one's.
        qint64 partner = 0;
        if (!leftAt.isEmpty())
            for (const HistoryEntry& r : rows)
                if (r.time == leftAt && r.isRenumbering()) {
                    partner = r.id;
                    break;
                }
        int into = -1; // the correction that gave the instrument this number
        for (int i = 0; i < rows.size() && into < 0; ++i) {
            const HistoryEntry& r = rows[i];
            if (partner > 0 && r.id >= partner && r.time == leftAt)
                continue;
            QString stopTime;
            bool stop = false;
            if (givenUp && r.id < givenUp->id) {
                // Another instrument gave the number up before this row.
                stop = true;
                stopTime = givenUp->time;
            } else if (isDeletion(r) && !(step == 0 && out.isEmpty())) {
                // Another instrument with this number was deleted. The
                // instrument asked for may itself be a deleted one, when
                // its deletion is the number's last row.
                stop = true;
                stopTime = r.time;
            }
            if (!stop) {
                out << r;
                if (r.isRenumbering())
                    into = i;
                continue;
            }
            // Numbers exchanged, or one handed on, in one commit: the
            // correction into this number made in the same commit as the
            // stop still belongs to this instrument, with its other rows of
            // that commit.
            int j = i;
            while (j < rows.size() && rows[j].time == stopTime && !rows[j].isRenumbering())
                ++j;
            if (j < rows.size() && rows[j].time == stopTime) {
                for (int k = i; k <= j; ++k)
                    if (!isDeletion(rows[k]))
                        out << rows[k];
                into = j;
            }
            break;
        }
        if (into < 0)
            break;
        // The other values the same commit changed are written under the new
        // number too, before or after the correction (not those of an
        // earlier holder of the number, up to where it gave it up).
        const HistoryEntry& correction = rows[into];
        for (int k = into + 1; k < rows.size() && rows[k].time == correction.time; ++k) {
            if (isDeletion(rows[k]) || rows[k].isRenumbering() || (givenUp && rows[k].id < givenUp->id))
                break;
            out << rows[k];
        }
        if (correction.before.trimmed().isEmpty())
            break;
        current = correction.before.trimmed();
        upper = correction.id;
        leftAt = correction.time;
    }
    return out;
}

QStringList historyAccounts(Database& db)
{
    QStringList list;
    if (!keepsHistory(db))
        return list;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT DISTINCT 账户 FROM %1 WHERE 账户 IS NOT NULL AND 账户 <> '' ORDER BY 账户")
                    .arg(historyTable())))
        return list;
    while (q.next())
        list << q.value(0).toString();
    return list;
}

} // namespace ravo
