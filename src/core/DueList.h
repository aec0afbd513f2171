#pragma once
// The due list by department: instruments with their validity date 有效日期,
// grouped by the department that uses them (使用部门), within a department
// by validity date and then by number. One reading serves the department
// printout of the due list and the plan ("按部门打印(&D)...") and the
// reminder file of the command line (--due), so that paper and file list the
// same instruments in the same order.
//
//     QVector<duelist::Group> groups;
//     if (const DbError e = duelist::read(db, tables::InUse, today.addDays(30), today, &groups))
//         return fail(e.text());
//
// Also here: how far an instrument is from its validity date, the lead time
// the options set, and the mark ("已过期", "即将到期") the lists show.
#include "core/DbError.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace ravo {

class Database;
struct Options;

namespace duelist {

inline const QString DepartmentField = QStringLiteral("使用部门");
inline const QString ValidField = QStringLiteral("有效日期");
inline const QString DaysHeading = QStringLiteral("距到期天数");
// The heading of the instruments whose department is not filled in.
inline const QString NoDepartment = QStringLiteral("未填写");
inline const QString OverdueMark = QStringLiteral("已过期");
inline const QString DueSoonMark = QStringLiteral("即将到期");
// The heading of the mark column of the due list and plan windows.
inline const QString MarkHeading = QStringLiteral("到期情况");

// The columns of an instrument's line, left to right: 计量器具编号,
// 计量器具名称, 规格型号, 出厂编号, 保管员, 存放地点, 有效日期. The line
// ends with the days left (DaysHeading).
const QStringList& fields();

struct Row {
    QStringList cells;           // the values of fields(), as stored ("" for none)
    std::optional<int> daysLeft; // 有效日期 − today; negative when overdue; none when not a date
};

struct Group {
    QString department; // as filled in, trimmed; empty for NoDepartment
    QVector<Row> rows;
    // The heading of the group: the department, or NoDepartment.
    QString heading() const { return department.isEmpty() ? NoDepartment : department; }
};

// Days from today to the stored validity date ("yyyy-MM-dd"); none when the
// text is not such a date.
std::optional<int> daysLeft(const QString& validUntil, const QDate& today);

// The lead time of the options in days: none (0), "AdvanceDay" days, or
// 7 × "AdvanceWeek" days.
int leadDays(const Options& options);

enum class DueState {
    NotDue,  // no validity date, or it lies beyond the lead time
    DueSoon, // today … today + lead, both included
    Overdue, // before today
};
DueState dueState(const std::optional<int>& daysLeft, int leadDays);
// "已过期", "即将到期", or empty.
QString dueMark(DueState state);

// Reads the instruments of `table` — a ledger table, or a working table made
// from the search result — that have a validity date and, with a cut-off,
// whose validity date is that day or earlier. Groups come in the pinyin
// order of their departments, the instruments without a department last. Columns the table does
// not have (a search result narrowed to some fields) read as empty; a table
// without 有效日期 cannot be read. The failure carries the engine's text.
DbError read(Database& db, const QString& table, const std::optional<QDate>& cutOff, const QDate& today,
             QVector<Group>* groups);

// The number of instruments in groups.
qint64 instrumentCount(const QVector<Group>& groups);

} // namespace duelist
} // namespace ravo
