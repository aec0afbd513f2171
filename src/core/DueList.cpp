#include "DueList.h"

#include "Database.h"
#include "Dates.h"
#include "Options.h"

#include <QCollator>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace ravo::duelist {

const QStringList& fields()
{
    static const QStringList list{
        QStringLiteral("计量器具编号"),
        QStringLiteral("计量器具名称"),
        QStringLiteral("规格型号"),
        QStringLiteral("出厂编号"),
        QStringLiteral("保管员"),
        QStringLiteral("存放地点"),
        ValidField,
    };
    return list;
}

std::optional<int> daysLeft(const QString& validUntil, const QDate& today)
{
    const QDate date = QDate::fromString(validUntil, QLatin1String(ShortDateFormat));
    if (!date.isValid() || !today.isValid())
        return std::nullopt;
    return int(today.daysTo(date));
}

int leadDays(const Options& options)
{
    switch (options.leadMode()) {
    case LeadMode::None:
        return 0;
    case LeadMode::Days:
        return options.AdvanceDay;
    case LeadMode::Weeks:
        break;
    }
    return 7 * options.AdvanceWeek;
}

DueState dueState(const std::optional<int>& days, int lead)
{
    if (!days)
        return DueState::NotDue;
    if (*days < 0)
        return DueState::Overdue;
    return *days <= lead ? DueState::DueSoon : DueState::NotDue;
}

QString dueMark(DueState state)
{
    switch (state) {
    case DueState::Overdue:
        return OverdueMark;
    case DueState::DueSoon:
        return DueSoonMark;
    case DueState::NotDue:
        break;
    }
    return {};
}

DbError read(Database& db, const QString& table, const std::optional<QDate>& cutOff, const QDate& today,
             QVector<Group>* groups)
{
    groups->clear();
    if (!db.isOpen())
        return DbError::make(DbError::General, QStringLiteral("台帐数据库没有打开。"));
    if (!db.tableExists(table))
        return DbError::make(DbError::General, QStringLiteral("找不到数据表“%1”。").arg(table));
    const QStringList present = db.columns(table);
    const auto has = [&present](const QString& field) { return present.contains(field, Qt::CaseInsensitive); };
    if (!has(ValidField))
        return DbError::make(DbError::General, QStringLiteral("数据表“%1”中没有“有效日期”一列。").arg(table));

    // A column the table lacks is read as empty, so that a narrowed search
    // result still prints what it has.
    const auto column = [&](const QString& field) {
        return has(field) ? QStringLiteral("coalesce(%1, '')").arg(quotedIdentifier(field)) : QStringLiteral("''");
    };
    QStringList selected{QStringLiteral("trim(%1)").arg(column(DepartmentField))};
    for (const QString& f : fields())
        selected << column(f);
    const QString valid = quotedIdentifier(ValidField);
    QString statement = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NOT NULL AND %3 <> ''")
                            .arg(selected.join(QStringLiteral(", ")), quotedIdentifier(table), valid);
    if (cutOff)
        statement += QStringLiteral(" AND %1 <= ?").arg(valid);
    // Each department's rows together whatever the column's collation (the
    // groups are put in pinyin order below); within a department by date,
    // then by number, then as entered.
    const QString department = QStringLiteral("trim(%1)").arg(column(DepartmentField));
    const QString number = has(fields().first()) ? quotedIdentifier(fields().first()) : QStringLiteral("''");
    statement += QStringLiteral(" ORDER BY %1 = '', %1 COLLATE BINARY, %2, %3, rowid").arg(department, valid, number);

    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        return DbError::fromSqlError(q.lastError(), statement);
    if (cutOff)
        q.addBindValue(formatShortDate(*cutOff));
    if (!q.exec())
        return DbError::fromSqlError(q.lastError(), statement);
    const int validColumn = 1 + int(fields().indexOf(ValidField));
    while (q.next()) {
        const QString dept = q.value(0).toString();
        if (groups->isEmpty() || groups->last().department != dept)
            groups->append(Group{dept, {}});
        Row row;
        for (int i = 1; i <= fields().size(); ++i)
            row.cells << q.value(i).toString();
        row.daysLeft = daysLeft(q.value(validColumn).toString(), today);
        groups->last().rows.append(std::move(row));
    }
    if (q.lastError().isValid()) {
        groups->clear();
        return DbError::fromSqlError(q.lastError(), statement);
    }
    // Departments in the order a Chinese reader looks them up: by pinyin,
    // as the table list is; the instruments without one stay at the end.
    QCollator pinyin(QLocale(QLocale::Chinese, QLocale::China));
    std::stable_sort(groups->begin(), groups->end(), [&](const Group& a, const Group& b) {
        if (a.department.isEmpty() != b.department.isEmpty())
            return b.department.isEmpty();
        return pinyin.compare(a.department, b.department) < 0;
    });
    return {};
}

qint64 instrumentCount(const QVector<Group>& groups)
{
    qint64 n = 0;
    for (const Group& g : groups)
        n += g.rows.size();
    return n;
}

} // namespace ravo::duelist
