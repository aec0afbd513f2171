#pragma once
// The in-use ledger report: every instrument of 计量器具在用库, ordered by
// number, as a landscape table under the report title ("Report"/"RepCaption")
// and the organisation name ("Print"/"GroupName"), with the print date and
// "第 n 页 共 m 页" on every page. Rows are read once, front to back, so a
// ledger of tens of thousands of instruments prints without being loaded.
#include "platform/LinePrinter.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

class QPrinter;
class QWidget;

namespace ravo {

struct ProgramState;

namespace ledgerreport {
struct Column {
    QString heading;
    QString field; // column of 计量器具在用库
    int weight;    // share of the table's width, in hundredths
    Qt::Alignment alignment;
};
// The columns of the report, left to right.
const QVector<Column>& columns();

inline const QString EmptyMessage = QStringLiteral("计量器具在用库中没有任何记录，没有可以打印的台帐！");
inline const QString EmptyCaption = QStringLiteral("提示");

// "在用计量器具共 N 台"
QString totalText(qint64 instruments);
} // namespace ledgerreport

struct LedgerReportHeading {
    QString title;        // the stored report title
    QString organisation; // the stored organisation name; may be empty
    QDate printDate;
};

// Lays the report out on the line printer's pages. Empty when the in-use
// ledger has no instruments; Failed with the engine's description when it
// cannot be read; Cancelled when progress says so.
PrintResult layoutLedgerReport(LinePrinter& printer, const QSqlDatabase& db, const LedgerReportHeading& heading,
                               const PrintProgress& progress = {});

// The request the printing is handed.
PrintRequest ledgerReportRequest(const QSqlDatabase& db, const LedgerReportHeading& heading);

// Prints the report with the stored title and organisation name and today's
// date, through the print preview (or straight to direct, already set up).
// An empty in-use ledger is reported instead. True when printed.
bool PrintLedgerReport(ProgramState& state, QWidget* parent, QPrinter* direct = nullptr);

} // namespace ravo
