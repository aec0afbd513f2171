#pragma once
// The working copy's books on a server ledger, behind the functions of
// WorkingCopy.h (which call these when the ledger is on a server).
//
// The books live in the copy itself, in columns the program never shows:
// ravo_lrow (the ledger row a working row was copied from; empty for a row
// added in the window), ravo_version (the version of that ledger row as it
// was read) and ravo_dirty (written since the copy was made or last
// committed); rows deleted in the window are noted in the session's
// temporary table ravo_removed. One trigger on the copy keeps them,
// whoever writes the copy. Few tables and triggers are made per copy: on a
// server each one made is a write to its catalogue.
#include "WorkingCopy.h"

namespace ravo::servercopy {

// The items of a window's order (columns, each maybe followed by asc or
// desc), their names quoted: shared by the copies on both engines.
QStringList orderItems(const QString& order);

// `rows`: empty, or " WHERE …" choosing the rows to copy.
DbError create(Database& db, const QString& table, const QString& workingTable, const QString& order,
               const QString& openStatement, const QString& rows);
bool hasBooks(Database& db, const QString& workingTable);
void dropBooks(Database& db, const QString& workingTable);
qint64 ledgerRowOf(Database& db, const QString& workingTable, qint64 workingRow);
QVector<qint64> removedRows(Database& db, const QString& workingTable);
qint64 versionRead(Database& db, const QString& workingTable, qint64 ledgerRow);
QList<qint64> workingRowsOf(Database& db, const QString& workingTable, qint64 ledgerRow);
QString changedRowsCondition();
DbError commit(Database& db, const QString& table, const QString& workingTable, const QString& keptText,
               CopyCommit* done, QVector<RowConflict>* conflicts);
DbError reload(Database& db, const QString& table, const QString& workingTable, const QVector<qint64>& ledgerRows);
DbError keepOwn(Database& db, const QString& table, const QString& workingTable, const QVector<qint64>& ledgerRows);

} // namespace ravo::servercopy
