#pragma once
// The change history (MSys履历): who changed what in the ledger, and when.
//
// One row per changed value and one per event of an instrument:
//   时间      yyyy-MM-dd HH:mm:ss, when the change was committed
//   账户      the account signed in (on a server the server stamps its own
//             session account, whatever the program sends)
//   数据表    the table written (for a move: the ledger it went into)
//   计量器具编号  the instrument's number as the row holds it after the change
//             (before it, for a deleted row); empty for the rows of the stock
//             and of the environment log, which have no number
//   事件      what happened, one of historyevent::…
//   字段, 原值, 新值  for 修改 and 更新台帐: the column and its value before and
//             after; for a move or an issue: 原值 and 新值 name the ledgers it
//             left and entered; for 导入: 新值 names the file; otherwise empty
//
// Rows are written where the change is committed, in the same transaction,
// so the history and the ledger are always both before or both after a
// change. The ledger refuses to change or delete them (a trigger on the
// file, triggers and rights on a server); the program offers no way to.
// A number correction is itself a row (字段 计量器具编号, 原值 the old
// number, 新值 the new one): the rows written under the old number stay as
// they are, and whoever reads an instrument's history follows these rows
// back to its earlier numbers.
#include "Database.h"

#include <QStringList>
#include <QVector>
#include <optional>

namespace ravo {

namespace historyevent {
inline const QString Added = QStringLiteral("添加");
inline const QString Changed = QStringLiteral("修改");
inline const QString Deleted = QStringLiteral("删除");
inline const QString Issued = QStringLiteral("发放");
inline const QString Sealed = QStringLiteral("封存");
inline const QString Unsealed = QStringLiteral("启封");
inline const QString Scrapped = QStringLiteral("报废");
inline const QString Reinstated = QStringLiteral("恢复使用");
inline const QString WrittenOff = QStringLiteral("注销");
inline const QString LedgerUpdated = QStringLiteral("更新台帐");
inline const QString Imported = QStringLiteral("导入");
} // namespace historyevent

// One row of the history.
struct HistoryEntry {
    qint64 id = 0;
    QString time; // yyyy-MM-dd HH:mm:ss
    QString account;
    QString table;
    QString number;
    QString event;
    QString column;
    QString before;
    QString after;

    // A number correction: 计量器具编号 changed from `before` to `after`.
    bool isRenumbering() const;
};

// The columns of the history table, in their order (without its ID).
const QStringList& historyColumns();

// Whether the open ledger keeps a history (it has MSys履历). A server ledger
// of an older structure has none until its owner brings it up to date.
bool keepsHistory(Database& db);

// One event of an instrument (a move, an issue, a write-off) or one value
// changed outside a working copy (更新台帐), by the account signed in on db.
// Nothing is written when the ledger keeps no history.
DbError recordHistoryEvent(Database& db, const QString& table, const QString& number, const QString& event,
                           const QString& column = {}, const QString& before = {}, const QString& after = {});

// The rows a working copy's commit is about to write, noted before it writes
// them (inside its transaction). `changedFrom` is the FROM clause (with its
// WHERE and ORDER BY) of the rows added or changed in the window, the
// working row as `w` and the ledger row it was copied from, if the ledger
// still holds it, as `l` (a LEFT JOIN); `deletedFrom` that of the ledger
// rows the window deleted, as `l`. Either may be empty. A changed row gives one 修改 row per value that differs
// (NULL and an empty text count as the same); an added row gives 添加; a
// deleted row gives 删除, or 注销 when it leaves the scrapped ledger.
DbError recordCopyChanges(Database& db, const QString& table, const QStringList& columns, const QString& changedFrom,
                          const QString& deletedFrom);

// Keeps watch over a working copy that its commit will replace whole (a
// record editor's on the file): the rows written since, and the values each
// row had when it was first changed or deleted, in temporary tables beside
// it. recordReplacedRows() then reads only those instead of comparing the
// whole table with its copy. Only on the file; nothing when the ledger
// keeps no history.
DbError watchReplacedCopy(Database& db, const QString& workingTable);

// The rows a commit that replaces the rows of `table` (all of them, or those
// of the instrument `number`) by its working copy is about to write, noted
// before it writes them (from the watch kept over the copy, when there is
// one): rows that are in one and not the other are paired
// (same instrument, most values alike) into changes, and the rest are added
// or deleted rows.
DbError recordReplacedRows(Database& db, const QString& table, const QString& workingTable,
                           const std::optional<QString>& number = std::nullopt);

// Replaces the rows of `table` (all of them, or those of the instrument
// `number`) by its working copy with the two statements, as
// commitWorkingTable() does, the history noting what changes; all in one
// transaction.
DbError commitReplacedRows(Database& db, const QString& table, const QString& workingTable,
                           const std::optional<QString>& number, const QString& deleteStatement,
                           const QString& insertStatement, bool insertDirect = false);

// Every row of `table` past rowid `afterRowid` came in by an import from
// `source` (the file's name): one 导入 row each, 新值 naming the file.
DbError recordImportedRows(Database& db, const QString& table, qint64 afterRowid, const QString& source);

} // namespace ravo
