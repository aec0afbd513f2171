#pragma once
// The printout of a result: the rows of a table (the main window's
// MSys检索临时表, the due list, the plan) as a plain landscape list under a
// title the user types — a header line of at most seven column names, 45
// rows a page, and the row count at the end.
#include "core/DbError.h"
#include "platform/LinePrinter.h"

#include <QSqlDatabase>
#include <QString>

class QPrinter;
class QSqlQuery;
class QWidget;

namespace ravo {

struct ProgramState;

namespace resultprint {
inline const QString TitlePrompt = QStringLiteral("请输入打印的标题！如果为空则不打印标题！");
inline const QString TitleCaption = QStringLiteral("标题设置");
inline const QString DefaultTitle = QStringLiteral("检索结果");
inline const QString EmptyMessage = QStringLiteral("检索结果没有任何记录！");
inline const QString EmptyCaption = QStringLiteral("提示");
inline const QString CountLabel = QStringLiteral("记录总数： ");

constexpr int RowsPerPage = 45;
constexpr int MaxColumns = 7;
constexpr double TitleX = 5000; // twips
constexpr double TitlePoints = 14;
constexpr double BodyPoints = 10;
constexpr double FirstEdge = 150; // device pixels
} // namespace resultprint

// Asks for the title (initially defaultTitle) and prints the rows of table
// through the print preview. A title that is empty or only spaces, or a
// cancelled title box, prints nothing. A table without rows is reported with
// "检索结果没有任何记录！". With direct, the rows go straight to that printer
// (already set up) instead of through the preview. True when printed.
bool PrintQuery(ProgramState& state, const QString& table, const QString& defaultTitle, QWidget* parent,
                QPrinter* direct = nullptr);

// Lays the rows of table out as the result printout under title, on the
// line printer's pages. Empty when the table has no rows (nothing laid out);
// Failed with the engine's description when it cannot be read.
PrintResult layoutQuery(LinePrinter& printer, const QSqlDatabase& db, const QString& table, const QString& title,
                        const PrintProgress& progress = {});

// Reading the rows to print (shared with the ledger report).
namespace printsource {
// A table name as an SQLite identifier.
QString quoted(const QString& table);
// The number of rows of table; an error when it cannot be read.
DbError countRows(const QSqlDatabase& db, const QString& table, qint64* rows);
// The failure of a query, in the user's words with the engine's text.
DbError engineError(const QSqlQuery& query, const QString& statement);
} // namespace printsource

// The request that PrintQuery hands to the printing: title already chosen.
PrintRequest queryPrintRequest(const QSqlDatabase& db, const QString& table, const QString& title);

} // namespace ravo
