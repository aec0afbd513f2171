#pragma once
// A calibration carried into the in-use ledger: a confirmation record moves
// its instrument's 检定日期 and 有效日期, and its 状态 when it passed, so
// that the instrument leaves the due list without the dates being typed a
// second time. Either for one record at once (the confirmation editor's
// "更新台帐" button, which acts on the real table like a move) or for every
// new or changed record of a passed calibration as part of the editor's save.
#include "Database.h"

#include <QStringList>
#include <QVector>
#include <functional>

namespace ravo {

// What one confirmation record says about its instrument, as the record
// table stores it (dates as "yyyy-MM-dd").
struct CalibrationResult {
    QString number;     // 计量器具编号
    QString calibrated; // 检定日期
    QString validUntil; // 有效日期
    QString conclusion; // 结论
    QString body;       // 检定单位
};

// The 状态 an in-use instrument takes from a record's 结论: "合格" or "准用"
// when the conclusion is one of them (blanks around it ignored); empty when
// the calibration did not pass, which leaves the instrument's 状态 alone.
QString statusForConclusion(const QString& conclusion);

// One column of the in-use ledger that a record changes.
struct FieldChange {
    QString column;
    QString before; // empty when the ledger holds no value
    QString after;
};

// What a record changes for its instrument.
struct LedgerUpdate {
    QString number; // the instrument's number as the in-use ledger holds it
    QVector<FieldChange> changes;
    // "检定日期：2025-03-01 → 2026-03-01", one line a change.
    QStringList lines() const;
};

// What applying the record to its instrument in 计量器具在用库 would change:
// 检定日期 and 有效日期 take the record's, 状态 takes statusForConclusion()
// when the record passed, 检定单位 the record's when it has one; only the
// columns whose value differs are listed. Refused, with a message that names
// the number, when the record has no number or lacks one of its dates, or
// when the instrument is not in use: sealed, scrapped, or in no ledger.
DbError planCalibrationUpdate(Database& db, const CalibrationResult& result, LedgerUpdate& update);

// Applies the record to its instrument in one transaction, with the same
// refusals as the plan; nothing changes when it is refused. `applied`, when
// given, gets what changed.
DbError applyCalibrationUpdate(Database& db, const CalibrationResult& result, LedgerUpdate* applied = nullptr);

// What the save of the confirmation records did to the in-use ledger.
struct CalibrationSaveReport {
    // The records that were candidates: new or changed, of a passed calibration.
    int candidates = 0;
    QVector<LedgerUpdate> updated; // one per instrument whose row changed
    QStringList passedOver;        // why a candidate changed nothing, one a line
};

// Commits the confirmation records' working copy as commitReplacedRows()
// does (the history noting the records that change) and, when updateLedger is set, carries every new or changed record of
// a passed calibration into the in-use ledger in the same transaction. A
// record is new or changed when the table holds no record equal to it in
// every column. Of several such records of one instrument the latest (by
// 检定日期) counts. A record is passed over (and said why in the report)
// when its instrument is not in use or its dates are missing, or when the
// ledger already holds a later 检定日期: correcting an old record does not
// set the instrument's dates back. Any failure leaves both tables as they
// were.
DbError commitConfirmationRecords(Database& db, const QString& deleteStatement, const QString& insertStatement,
                                  bool insertDirect, bool updateLedger, CalibrationSaveReport* report = nullptr);
// The same with the records committed by `commitRecords` (the commit of
// only what changed, on a server ledger) inside that transaction.
DbError commitConfirmationRecords(Database& db, const std::function<DbError()>& commitRecords, bool updateLedger,
                                  CalibrationSaveReport* report = nullptr);

} // namespace ravo
