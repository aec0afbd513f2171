#pragma once
// A working copy that keeps its own books: for each of its rows the ledger
// row it was copied from, and which rows the window added, changed or
// deleted since. OK then writes only those rows into the ledger, so a commit
// of a few edits costs a few rows whatever the size of the ledger, and rows
// the window never touched are never written (what someone else saved
// meanwhile stays).
//
// The books are temporary tables of this connection beside the working
// table, kept by temporary triggers on it: every statement that writes the
// working table (the recordset, the editors' own statements, a move) is
// noted, whoever runs it. They vanish with the connection, so a copy left
// behind by an abnormal end has none and is made again by the next load.
#include "Database.h"

#include <QDateTime>
#include <QVector>

namespace ravo {

// The names of a working table's books.
struct CopyBooks {
    explicit CopyBooks(const QString& workingTable);
    QString origin;  // working rowid → the ledger rowid the row was copied from
    QString changed; // working rowids added or changed since the copy was made or last committed
    QString removed; // ledger rowids of the rows deleted in the window
    QStringList triggers;
};

// Makes the working copy of `table`: its rows in `order` (a comma-separated
// list of columns), with the table's rules as createWorkingTable() keeps
// them, and its books. `openStatement` is the statement whose effect this
// is; it is kept as the scratch query's text. A copy or books left behind
// are dropped first. All or nothing. `keptRules`, when given, tells whether
// every row copied keeps the table's rules (else values written against them
// by another program were copied as they are).
// `number`, when given, copies only the rows of that instrument (a record
// editor opened for one instrument).
DbError createTrackedWorkingTable(Database& db, const QString& table, const QString& workingTable, const QString& order,
                                  const QString& openStatement, bool* keptRules = nullptr, const QString& number = {});

// True when the working table has its books (it was made by
// createTrackedWorkingTable on this connection).
bool hasCopyBooks(Database& db, const QString& workingTable);
// Drops the books; missing ones are passed over.
void dropCopyBooks(Database& db, const QString& workingTable);

// The ledger rowid the working row was copied from; -1 for a row added in
// the window (and not yet committed) or one that is not there.
qint64 ledgerRowOf(Database& db, const QString& workingTable, qint64 workingRow);
// The ledger rows deleted in the window since the copy was made or last
// committed, in rowid order; the next commit takes them out. Read before
// that commit, which clears the books.
QVector<qint64> removedLedgerRows(Database& db, const QString& workingTable);
// The version of the ledger row that the working copy read (a server
// ledger's books only); 0 when unknown.
qint64 versionRead(Database& db, const QString& workingTable, qint64 ledgerRow);
// The working rows copied from that ledger row.
QList<qint64> workingRowsOfLedgerRow(Database& db, const QString& workingTable, qint64 ledgerRow);
// The condition (on rowid) that picks the working rows added or changed
// since the copy was made or last committed.
QString changedRowsCondition(Database& db, const QString& workingTable);

// A row the window changed or deleted that someone else changed, moved or
// deleted in the ledger since the window read it (only a server ledger is
// shared like this).
struct RowConflict {
    qint64 ledgerRow = -1;
    QString label;     // the instrument's number, or a short description of a row without one
    bool gone = false; // the ledger no longer holds the row
    QString changedBy; // who wrote it last, and when (for a row still there)
    QDateTime changedAt;
    // "编号 A-1：张三 于 2026-12-08 10:00:00 修改" or "…：已被删除或移走".
    QString text() const;
};

// What a commit wrote.
struct CopyCommit {
    qint64 deleted = 0; // ledger rows taken out
    qint64 written = 0; // rows written: changed ones in their place, then the added ones
    qint64 added = 0;   // of those, rows added in the window
};

// Writes what the window changed into the ledger table, in one transaction:
// takes out the ledger rows deleted in the window, writes each changed row
// over the ledger row it was copied from (out and in again at the same
// rowid, so numbers exchanged between rows do not collide) and appends the
// added rows, which from then on stand for their new ledger rows. Afterwards
// the ledger holds the working copy's rows, row for row, when nobody else
// wrote it meanwhile; rows the window never touched are left alone. On
// failure (a number the ledger already holds, a broken rule) nothing is
// written and the books stay as they were. `keptText`, when given, becomes
// the scratch query's text.
//
// On a server ledger the books also hold the version of each ledger row as
// it was read. The commit locks the rows it is to write or delete and, when
// any of them was changed, moved or deleted by someone else since, writes
// nothing and returns a Conflict naming them (listed in *conflicts). Changed
// rows are updated in place, so their versions advance; the versions the
// books hold are brought up to date with what was written.
DbError commitTrackedWorkingTable(Database& db, const QString& table, const QString& workingTable,
                                  const QString& keptText = {}, CopyCommit* done = nullptr,
                                  QVector<RowConflict>* conflicts = nullptr);

// After a conflict, the window's rows copied from these ledger rows take
// what the ledger holds now, with its versions: the window's own edits to
// exactly those rows are given up. A row the ledger no longer holds leaves
// the working copy; a row deleted in the window comes back at the end.
DbError reloadLedgerRows(Database& db, const QString& table, const QString& workingTable,
                         const QVector<qint64>& ledgerRows);
// After a conflict, the window keeps its own edits to these rows: the books
// take the versions the ledger holds now, so the next OK writes over them.
// A changed row the ledger no longer holds is written as a new row; its
// deletion in the window needs nothing more.
DbError keepOwnEdits(Database& db, const QString& table, const QString& workingTable,
                     const QVector<qint64>& ledgerRows);

} // namespace ravo
