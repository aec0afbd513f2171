#pragma once
// Texts and rules shared by the due list, the calibration plan and the
// options dialog.
#include "core/Ledger.h"

#include <QString>

namespace ravo {

namespace planningtexts {
inline const QString OkCaption = QStringLiteral("确定(&O)");
inline const QString CancelCaption = QStringLiteral("取消(&C)");
inline const QString PrintCaption = QStringLiteral("打印|预览(&P)");
inline const QString ExportCaption = QStringLiteral("导出(&X)...");
inline const QString DueCaption = QStringLiteral("到期设备");
inline const QString DueHeading = QStringLiteral("在你的检索结果当中，以下设备已经到期或即将到期，请即时送检！");
// The due list has no stored title of its own; this one names its printout.
inline const QString DuePrintTitle = QStringLiteral("到期设备清单");
inline const QString PlanSetupCaption = QStringLiteral("检定计划设置");
inline const QString PlanListCaption = QStringLiteral("计划检定设备清单");
inline const QString PlanHeading =
    QStringLiteral("在检索结果中，以下设备在你设置的检定日期范围内，请单击\"打印\"按钮将报表输出到打印机！");
inline const QString OptionsCaption = QStringLiteral("系统选项");

// "共 N 条记录"
inline QString recordCountText(int rows)
{
    return QStringLiteral("共 ") + QString::number(rows) + QStringLiteral(" 条记录");
}
} // namespace planningtexts

// The due list and the calibration plan remind about the instruments of a
// ledger: they open only while the main window shows the in-use, sealed or
// scrapped ledger. The main window's commands check this and refuse
// otherwise with their own message.
inline bool planningOpensFor(const QString& currentTable)
{
    return currentTable == tables::InUse || currentTable == tables::Sealed || currentTable == tables::Scrapped;
}

} // namespace ravo
