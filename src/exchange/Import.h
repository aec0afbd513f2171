#pragma once
// Importing an instrument ledger kept in a spreadsheet into one of the
// ledger's tables.
//
//   const auto head = readSpreadsheetHead(path, index, HeaderSearchRows, &error);
//   auto plan = planImport(*head, tables::InUse, db.columns(tables::InUse), &error);
//   // … the user may change plan->targets …
//   Importer importer(db, path, index, *plan);   // the file is read row by row
//   const ImportOutcome checked = importer.check();        // nothing written
//   const ImportOutcome done = importer.run({skipBad, reportPath, progress});
//
// Real ledgers start with title rows and name their columns in their own
// words. planImport() takes the first row that names several columns of the
// table as the header and maps each column by its name or by the words
// instrument ledgers commonly use for it ("管理编号" → 计量器具编号,
// "有效期至" → 有效日期); columns without a match are left out.
//
// Every value is brought to the form the ledger stores: text trimmed, dates in
// any usual writing (and Excel's date cells and day numbers) as yyyy-MM-dd,
// times as HH:mm:ss, whole numbers as integers, a category written without
// its letter as the listed category. A row is refused, with a Chinese reason,
// when a value cannot be brought to that form, and for the instrument ledgers
// when its number is blank, repeats an earlier row of the file or is already
// in the in-use, sealed or scrapped ledger.
//
// run() writes in one transaction: all rows or none unless skipBad is set,
// and never part of them when it fails or is cancelled.
#include "exchange/Spreadsheet.h"

#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

namespace ravo {
class Database;
}

namespace ravo::exchange {

// How many rows at the top of a sheet may precede the header (titles, the
// company's name, the date of the list): planImport() looks no further.
constexpr int HeaderSearchRows = 50;

// The tables a spreadsheet can be imported into: the four instrument ledgers
// and the three record tables.
const QStringList& importTables();
// The table a name given by the user stands for: its full name or the short
// one ("在用库", "确认记录库"); empty when it is none of importTables().
QString importTableNamed(const QString& name);
// True for the in-use, sealed and scrapped ledgers, whose instruments carry
// a number unique across all three.
bool isNumberedLedger(const QString& table);

// A header cell made comparable: blanks dropped, full-width brackets and
// colons written half-width, Latin letters in lower case.
QString headerKey(const QString& header);
// The column of `tableColumns` a header of the file stands for, by its name
// or a usual other name; empty when none.
QString targetColumnFor(const QString& header, const QStringList& tableColumns);

struct ImportPlan {
    QString table;
    QStringList tableColumns; // the table's columns, in their order
    int headerRow = -1;       // index of the header row in the sheet
    QStringList headers;      // the header row's cells as text
    QStringList targets;      // per column of the file: its table column, or empty (left out)

    // The table columns that receive values, each with its column of the file.
    QVector<QPair<int, QString>> mappedColumns() const;
};

// Looks for the header row among the first rows of the sheet and maps its
// columns. nullopt, with *error set, when no row names enough of the table's
// columns.
std::optional<ImportPlan> planImport(const Sheet& sheet, const QString& table, const QStringList& tableColumns,
                                     QString* error);
// Why a plan cannot be imported as it stands (nothing mapped, the number
// column missing, a table column chosen twice); empty when it can.
QString planProblem(const ImportPlan& plan);

// One value brought to the form its column stores: a null QVariant for an
// empty cell, text, or an integer for the number columns. nullopt, with
// *reason set, when the cell cannot be a value of that column.
std::optional<QVariant> normaliseCell(const Cell& cell, const QString& column, QString* reason);

// A row of the file that is not imported, with its row number as the
// spreadsheet shows it (from 1) and the reason in Chinese.
struct Refusal {
    int fileRow = 0;
    QString number;
    QString reason;
    QVector<Cell> cells; // the row as the file has it, kept only for a report
};

struct ImportOutcome {
    enum class Result {
        Done,      // written (run) or found acceptable (check)
        Refused,   // rows were refused and nothing was written
        Cancelled, // the user stopped it; nothing was written
        Failed,    // the ledger or the report could not be written; nothing was written
    };
    Result result = Result::Done;
    int accepted = 0;          // rows that are (or were) imported
    QVector<Refusal> refusals; // in file order
    QString error;             // for Failed: what went wrong, in Chinese
};

struct ImportOptions {
    // Import the good rows and leave the refused ones out, instead of
    // importing nothing when any row is refused.
    bool skipBad = false;
    // With skipBad: the .xlsx file that receives the refused rows with their
    // reasons; written before the import is committed. Empty: none.
    QString reportPath;
    // Called now and then with the rows done and the rows in all (as far
    // as the file declares them; never fewer than done, 0 when the file does
    // not say); false cancels.
    std::function<bool(int done, int total)> progress;
};

class Importer {
public:
    // The rows of a sheet in memory; `sheet` must outlive the importer.
    Importer(Database& db, const Sheet& sheet, const ImportPlan& plan);
    // The rows of a sheet of a file, read anew by each pass and held only a
    // row at a time, so that a file of any length fits in memory.
    Importer(Database& db, const QString& path, int sheetIndex, const ImportPlan& plan);

    // The first `limit` acceptable rows as they will be stored, in the order
    // of plan.mappedColumns(), each with its file row.
    struct PreviewRow {
        int fileRow = 0;
        QVariantList values;
    };
    QVector<PreviewRow> preview(int limit) const;

    // Checks every row without writing; Done or Refused, or Cancelled, or
    // Failed when the file turns out damaged further on.
    ImportOutcome check(const std::function<bool(int, int)>& progress = {}) const;
    // Checks and writes, in one transaction.
    ImportOutcome run(const ImportOptions& options);

private:
    class Walk;
    std::unique_ptr<SheetRows> rows(QString* error) const;

    Database& m_db;
    const Sheet* m_sheet = nullptr;
    QString m_path;
    int m_sheetIndex = 0;
    ImportPlan m_plan;
};

// Writes the refused rows to an .xlsx file: file row, reason, then the row's
// cells (Refusal::cells) under the file's own headers.
bool writeRefusalReport(const QString& path, const ImportPlan& plan, const QVector<Refusal>& refusals, QString* error);

} // namespace ravo::exchange
