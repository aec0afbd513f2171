#pragma once
// The due list and the plan by department ("按部门打印(&D)..."): a landscape
// table grouped by 使用部门 — each group under a heading with its number of
// instruments, repeated with "（续）" when the group goes on over a page —
// and within a group by validity date. The columns are those of
// duelist::fields() and "距到期天数" (negative when overdue). Every page
// carries the organisation line of the ledger report, the list's title, the
// print date and "第 n 页 共 m 页".
#include "core/DueList.h"
#include "platform/LinePrinter.h"

#include <QDate>
#include <QString>
#include <QVector>

class QPrinter;
class QWidget;

namespace ravo {

struct ProgramState;

namespace departmentprint {
inline const QString ButtonCaption = QStringLiteral("按部门打印(&D)...");
inline const QString EmptyMessage = QStringLiteral("清单中没有任何设备，没有可以按部门打印的内容！");
inline const QString EmptyCaption = QStringLiteral("提示");

// "使用部门：计量室（共 5 台）", continued: "使用部门：计量室（共 5 台，续）"
QString groupHeading(const duelist::Group& group, bool continued);
// "合计 N 台"
QString totalText(qint64 instruments);
} // namespace departmentprint

struct DepartmentPrintHeading {
    QString title;        // the list's title
    QString organisation; // the ledger report's organisation line; may be empty
    QDate printDate;
};

// Lays the groups out on the line printer's pages. Empty when there is no
// instrument; Cancelled when progress says so.
PrintResult layoutDepartmentList(LinePrinter& printer, const QVector<duelist::Group>& groups,
                                 const DepartmentPrintHeading& heading, const PrintProgress& progress = {});

// The request the printing is handed.
PrintRequest departmentPrintRequest(const QVector<duelist::Group>& groups, const DepartmentPrintHeading& heading);

// Prints the instruments of a working table (the due list's or the plan's)
// by department under title, with the stored organisation name, the days
// left counted from today, through the print preview (or straight to direct,
// already set up). A list without instruments is reported instead. True when
// printed.
bool PrintByDepartment(ProgramState& state, const QString& table, const QString& title, const QDate& today,
                       QWidget* parent, QPrinter* direct = nullptr);

} // namespace ravo
