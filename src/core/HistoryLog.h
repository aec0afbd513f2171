#pragma once
// Reading the change history (MSys履历): the whole log narrowed by a filter
// (date range, account, table, instrument), one instrument's history across
// its earlier numbers, and the accounts met in the log. Reading only: the
// program offers no way to change or delete a history row.
//
// Every function answers with nothing (and no error) when the ledger keeps
// no history (keepsHistory()).
#include "Database.h"
#include "History.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <QVector>

namespace ravo {

struct HistoryFilter {
    QDate from, to;                 // either null: open on that side; both days included
    QString account, table, number; // empty: any; otherwise the exact value, without regard to case
};

// A statement with its bound values, in the ledger's own dialect.
struct HistorySelect {
    QString sql;
    QVariantList binds;
};

// The columns as shown and exported: 时间, 账户, 数据表, 计量器具编号, 事件,
// 字段, 原值, 新值 (the history table's columns, without its ID).
const QStringList& historyHeadings();

// SELECT "ID" and the columns of historyHeadings() of the rows the filter
// lets through, newest first ("ID" descending). With `beforeId` > 0 only
// rows older than it, with `limit` > 0 at most that many: a page of a long
// log, the next page starting below the last ID read.
HistorySelect historySelect(const HistoryFilter& filter, qint64 beforeId = 0, int limit = 0);
// The same rows with the columns of historyHeadings() only, for an export.
HistorySelect historyExportSelect(const HistoryFilter& filter);
// SELECT count(*) of the rows the filter lets through.
HistorySelect historyCountSelect(const HistoryFilter& filter);

// The rows of historySelect(); an error when the ledger refused to read.
QVector<HistoryEntry> readHistory(Database& db, const HistoryFilter& filter, qint64 beforeId = 0, int limit = 0,
                                  DbError* error = nullptr);
// How many rows the filter lets through; -1 on an error.
qint64 countHistory(Database& db, const HistoryFilter& filter, DbError* error = nullptr);

// The history of the instrument numbered `number` now, newest first,
// followed back through its number corrections: the rows of an earlier
// number count only until the correction that took the instrument away
// from it, and only from the last time another instrument gave it up (a
// correction away from it, a deletion, a write-off), so that another
// instrument that held the same number earlier or later never mixes in.
QVector<HistoryEntry> instrumentHistory(Database& db, const QString& number);

// The accounts met in the history, in order, for the filter's list.
QStringList historyAccounts(Database& db);

} // namespace ravo
