#pragma once
// Exporting a table of the ledger to an .xlsx or a .csv file: one of the seven
// ledger tables, the main window's result (MSys检索临时表), the due list or
// the plan, row by row in the order the table holds them (the order the grids
// show).
//
//   ExportResult r = exportTable(db, tables::InUse, "/home/li/在用.xlsx", tables::InUse,
//                                [&](qint64 done, qint64 total) { return !cancelled; });
//   if (!r.ok()) show(r.error);
//
// Each value becomes a cell by its column (columnKind()): the date columns give
// date cells and 时间 a time cell when the stored value is a real date or time
// in the stored form; ID and 库存数量 give numbers, and 购买价格 does when it
// holds a plain decimal number; everything else is text, so that "000123"
// keeps its zeros. A stored value that is not what its column wants (a date
// left by another program as "2003-02-30") is written as the text it is:
// nothing is lost.
//
// The rows are read with a forward-only statement and written as they come,
// so memory use does not grow with the table. The target file appears only
// when the export completes; a failure or a cancel leaves no file and an
// existing one as it was.
#include "Spreadsheet.h"

#include "core/Database.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace ravo::exchange {

// The seven tables of the ledger, in the order the program lists them.
const QStringList& ledgerTables();

// Called every ExportProgressStep rows with the rows written so far and the
// rows in all; returning false cancels the export.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;
inline constexpr int ExportProgressStep = 500;

struct ExportResult {
    qint64 rows = 0;        // rows written (all of them when ok())
    bool cancelled = false; // the progress callback asked to stop
    QString error;          // Chinese, naming the table or the file; empty when all went well
    bool ok() const { return !cancelled && error.isEmpty(); }
};

// Writes every row of `table` to `path` (.xlsx or .csv, by its extension).
// `sheetName` names the worksheet of an .xlsx file.
ExportResult exportTable(Database& db, const QString& table, const QString& path, const QString& sheetName,
                         const ExportProgress& progress = {});

// Writes the instruments of `table` whose validity date is cutOff or earlier
// (duelist::read: by department, then validity date) to `path`: 使用部门,
// the columns of duelist::fields() and 距到期天数 counted from today. An
// empty list still gives a file with its header row. `sheetName` names the
// worksheet of an .xlsx file.
ExportResult exportDueList(Database& db, const QString& table, const QDate& cutOff, const QDate& today,
                           const QString& path, const QString& sheetName);

// Writes the rows of a statement of the ledger's own dialect (`select`,
// with its bound values), in the order it gives them, to `path` (.xlsx or
// .csv), under the column headings `headers` (one a column of the select).
// Whole numbers and decimals give number cells, a text in the stored form
// yyyy-MM-dd HH:mm:ss a date-and-time cell, anything else its text. The rows
// are read forward only, as they come, on either engine. `total`, when
// known, is handed to the progress callback; otherwise the rows so far.
ExportResult exportQuery(Database& db, const QString& select, const QVariantList& binds, const QStringList& headers,
                         const QString& path, const QString& sheetName, const ExportProgress& progress = {},
                         qint64 total = -1);

// The file types the export offers, for the file question: .xlsx first.
QStringList exportFileTypes();

} // namespace ravo::exchange
