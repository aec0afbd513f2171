#pragma once
// The ledger's vocabulary and its operations on whole tables: the table and
// column names, the kinds of columns, the instrument classification, working
// tables (the copies the windows edit), the commit of a working copy and the
// moves of an instrument between ledgers.
#include "Database.h"

#include <QDate>
#include <QStringList>
#include <QVector>
#include <optional>

namespace ravo {

namespace tables {
inline const QString Stock = QStringLiteral("计量器具待发放库");
inline const QString InUse = QStringLiteral("计量器具在用库");
inline const QString Sealed = QStringLiteral("计量器具封存库");
inline const QString Scrapped = QStringLiteral("计量器具报废库");
inline const QString Confirmation = QStringLiteral("计量器具确认记录库");
inline const QString Repair = QStringLiteral("计量器具修理记录库");
inline const QString Environment = QStringLiteral("环境状况记录库");
inline const QString SearchResult = QStringLiteral("MSys检索临时表");
inline const QString DueList = QStringLiteral("MSys待检或到期设备表");
inline const QString Plan = QStringLiteral("MSys计划检定设备表");
inline const QString EnvironmentWorking = QStringLiteral("MSys环境状况临时表");
// The working copy of a table is "MSys" followed by its name.
inline QString working(const QString& table)
{
    return QStringLiteral("MSys") + table;
}
} // namespace tables

inline const QString NumberColumn = QStringLiteral("计量器具编号");

// The 29 columns every instrument ledger has, in their order.
const QStringList& commonColumns();
// The same, as the comma-separated list the move statements write out.
QString commonColumnList();

enum class ColumnKind { Text, Date, Time, Number };
// Columns are treated by name: the date columns, the time column, the number
// columns ("ID", "库存数量"); everything else is text.
ColumnKind columnKind(const QString& column);
// The kind a search writes a literal for: "时间" is written as a date.
bool isDateColumnForSearch(const QString& column);

// One category of the instrument classification with its kinds in order.
struct InstrumentClass {
    QString name;
    QStringList kinds;
};
// The ten categories, constant for the whole run.
const QVector<InstrumentClass>& instrumentClasses();

// Writes a text value as a literal of the old dialect: between double quotes,
// a double quote inside doubled.
QString quoted(const QString& value);

// Lets the statements of its lifetime write rows that break the tables'
// rules; used only while a working copy is filled from its table.
class RulesSuspended {
public:
    explicit RulesSuspended(Database& db);
    ~RulesSuspended();
    RulesSuspended(const RulesSuspended&) = delete;
    RulesSuspended& operator=(const RulesSuspended&) = delete;

private:
    Database& m_db;
};

// Makes a working table with the given statement, run through the scratch
// query; when that fails (typically a copy left behind by an earlier run) the
// table is dropped and the statement run once more.
DbError createWorkingTable(Database& db, const QString& workingTable, const QString& statement);
// The copy takes the rows as the table holds them, even values that break
// its rules (written by another program): the window that made it must open
// so that they can be found and mended. Everything written into the copy
// afterwards is checked again.

// Drops a working table; a missing table is passed over.
void dropWorkingTable(Database& db, const QString& workingTable);

// Replaces the rows of a ledger table by its working copy: the delete and the
// insert run in one transaction, so a failing insert leaves the table as it
// was. The delete goes through the scratch query; the insert too unless
// insertDirect is set.
DbError commitWorkingTable(Database& db, const QString& deleteStatement, const QString& insertStatement,
                           bool insertDirect = false);
// The usual pair for a ledger table and its working copy.
QString deleteAllStatement(const QString& table);
QString insertAllStatement(const QString& table, const QString& workingTable);

// A value that breaks the rule of its column (a date that is none, a number
// that is no integer), left in a table by another program.
struct RuleBreach {
    qint64 rowid = -1;
    QString number; // the row's 计量器具编号; empty in a table without one
    QString column;
    QString value;
};
// The values of a table that break the rules its columns are declared with,
// in the order of the rows (and of the columns within a row); at most
// `limit` of them, all when limit is 0; only among the rows that meet
// `rowCondition` when one is given.
QVector<RuleBreach> ruleBreaches(Database& db, const QString& table, int limit = 0, const QString& rowCondition = {});
// The parenthesised rules (CHECK …) of one column definition, joined with
// "and"; empty when it has none.
QString checkExpression(const QString& columnDefinition);

enum class Move { InUseToScrapped, InUseToSealed, SealedToInUse, SealedToScrapped, ScrappedToInUse };

struct MoveSpec {
    QString source;
    QString target;
    bool allColumns;    // copy every column of the row, or the 29 common ones
    QString dateColumn; // the target's own date column, or empty
    QString status;
};
MoveSpec moveSpec(Move move);

// True for the ledgers an instrument can be moved out of (in use, sealed,
// scrapped).
bool isMoveSource(const QString& table);

// Where the instrument to move is in the source ledger itself: by default
// the row with the same number as in the working table; a row added in the
// window and never saved is in no ledger yet (NotInLedger).
struct LedgerRow {
    std::optional<QString> number; // nullopt: the same number as in the working table
    static LedgerRow sameNumber() { return {}; }
    static LedgerRow numbered(const QString& n) { return {n}; }
    static LedgerRow notInLedger() { return {QString()}; }
};

// The statements of a move, in the old dialect, with the numbers escaped.
// `number` names the row in the source's working table (what the user may
// have typed), `ledgerRow` the same instrument in the source ledger.
QStringList moveStatements(Move move, const QString& number, const QDate& today,
                           const LedgerRow& ledgerRow = LedgerRow::sameNumber());

// Moves one instrument from the source ledger to the target ledger: copies
// its row, as edited, from the source's working table (the row numbered
// `number` there) into the target, stamps the target's date column and
// status, and removes it from the working table and from the source ledger,
// where it is `ledgerRow` (for a row the user renumbered, the number it had
// when the working copy was made). All in one transaction: when the copy
// fails, copies no row, or the source ledger does not hold the row, nothing
// changes and the error says why. So an instrument never ends up in two
// ledgers, whatever was typed into its number.
DbError moveInstrument(Database& db, Move move, const QString& number, const QDate& today,
                       const LedgerRow& ledgerRow = LedgerRow::sameNumber());

} // namespace ravo
