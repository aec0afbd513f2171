#pragma once
// The printouts of the record editors: the confirmation sheet of one
// calibration record (portrait, one page, shifted by the print offsets of its
// report type) and the list of repair records (a landscape table).
#include "platform/LinePrinter.h"

#include <QDate>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ravo {

namespace recordprints {
inline const QString NoRecordMessage = QStringLiteral("没有可以打印的确认记录！请先添加或选择一条记录。");
inline const QString NoRepairsMessage = QStringLiteral("没有可以打印的修理记录！");
inline const QString PrintCaption = QStringLiteral("打印");
inline const QString RepairTitle = QStringLiteral("计量器具修理记录");
// The heading of a sheet whose report type is blank.
inline const QString SheetFallbackHeading = QStringLiteral("计量器具确认记录");

// "共 N 条记录"
QString countText(int rows);
} // namespace recordprints

// Which of the five kinds of print offsets ("PrintClass1X" …) places a sheet
// of this report type, as the options dialog names them: 1 检定证书(小),
// 2 检定证书(大) and 正副本, 3 检定结果通知书(小), 4 检定结果通知书(大) and
// 正副本, 5 测试报告(大) and 测试结果通知书(正副本). 0 for any other text.
int printClassOf(const QString& reportType);

struct SheetField {
    QString label;
    QString value;
};

// One confirmation record as its sheet shows it.
struct ConfirmationSheet {
    QString organisation;    // "Print"/"GroupName"; may be blank
    QString heading;         // the report type
    SheetField reportNumber; // printed above the table, on the right
    // The table: one or two fields to a row.
    QVector<QVector<SheetField>> rows;
    SheetField data;  // the measured data, several lines
    QPointF offsetMm; // right and down from the usual place
};

// Lays the sheet out on the printer's page (portrait). The data box takes
// the rest of the page; a long text is set smaller to fit, and what still
// does not fit goes on to the next page.
PrintResult layoutConfirmationSheet(LinePrinter& printer, const ConfirmationSheet& sheet);
PrintRequest confirmationSheetRequest(const ConfirmationSheet& sheet);

struct TableColumn {
    QString heading;
    int weight; // share of the width, in hundredths
};

// Records as a table under a heading; cells wrap, so nothing is cut short.
struct RecordTable {
    QString organisation;
    QString title;
    QString subtitle; // a line under the title; may be blank
    QDate printDate;
    QVector<TableColumn> columns;
    QVector<QStringList> rows;
};

// Lays the table out on landscape pages with the heading on each page, the
// column headings repeated, and "第 n 页 共 m 页" at the foot. A row taller
// than a page goes on over the next. Empty when there are no rows.
PrintResult layoutRecordTable(LinePrinter& printer, const RecordTable& table, const PrintProgress& progress = {});
PrintRequest recordTableRequest(const RecordTable& table);

// Splits text into lines no wider than width at the printer's current font
// and scale: at its line breaks, and where a line would get too wide at the
// last place the Unicode line-breaking rules allow (inside a word only when
// the word alone is wider than a line).
QStringList wrapText(const LinePrinter& printer, const QString& text, double width);

} // namespace ravo
