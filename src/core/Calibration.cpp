#include "Calibration.h"

#include "History.h"
#include "Ledger.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace ravo {

namespace {

const QString Calibrated = QStringLiteral("检定日期");
const QString ValidUntil = QStringLiteral("有效日期");
const QString Status = QStringLiteral("状态");
const QString Body = QStringLiteral("检定单位");
const QString Conclusion = QStringLiteral("结论");

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// True when the ledger table holds the number (compared as the ledgers
// compare numbers, without regard to case).
bool holds(Database& db, const QString& table, const QString& number)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                  .arg(quotedIdentifier(table), quotedIdentifier(NumberColumn)));
    q.addBindValue(number);
    return q.exec() && q.next();
}

// The instrument's row in the in-use ledger and what the record changes in
// it. An engine failure is returned; a record that cannot be applied leaves
// its reason in `refusal`.
struct Lookup {
    LedgerUpdate update;
    QString ledgerCalibrated; // the ledger's 检定日期 before the update
    QString refusal;
};

DbError lookUp(Database& db, const CalibrationResult& r, Lookup& out)
{
    out = {};
    const QString number = r.number.trimmed();
    if (number.isEmpty()) {
        out.refusal = QStringLiteral("确认记录的计量器具编号为空，不能更新台帐！");
        return {};
    }
    if (r.calibrated.trimmed().isEmpty() || r.validUntil.trimmed().isEmpty()) {
        out.refusal = QStringLiteral("编号为“%1”的确认记录没有填写检定日期或有效日期，不能更新台帐！").arg(number);
        return {};
    }
    const QString sql =
        QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM %6 WHERE %1 = ?")
            .arg(quotedIdentifier(NumberColumn), quotedIdentifier(Calibrated), quotedIdentifier(ValidUntil),
                 quotedIdentifier(Status), quotedIdentifier(Body), quotedIdentifier(tables::InUse));
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return DbError::fromSqlError(q.lastError(), sql);
    q.addBindValue(number);
    if (!q.exec())
        return DbError::fromSqlError(q.lastError(), sql);
    if (!q.next()) {
        if (holds(db, tables::Sealed, number))
            out.refusal =
                QStringLiteral("编号为“%1”的计量器具已经封存，不在“%2”中，不能更新台帐！").arg(number, tables::InUse);
        else if (holds(db, tables::Scrapped, number))
            out.refusal =
                QStringLiteral("编号为“%1”的计量器具已经报废，不在“%2”中，不能更新台帐！").arg(number, tables::InUse);
        else
            out.refusal = QStringLiteral("“%1”中找不到编号为“%2”的计量器具，不能更新台帐！").arg(tables::InUse, number);
        return {};
    }
    LedgerUpdate& u = out.update;
    u.number = text(q.value(0));
    out.ledgerCalibrated = text(q.value(1));
    auto change = [&u](const QString& column, const QString& before, const QString& after) {
        if (before != after)
            u.changes.append({column, before, after});
    };
    change(Calibrated, out.ledgerCalibrated, r.calibrated.trimmed());
    change(ValidUntil, text(q.value(2)), r.validUntil.trimmed());
    if (const QString status = statusForConclusion(r.conclusion); !status.isEmpty())
        change(Status, text(q.value(3)), status);
    if (const QString body = r.body.trimmed(); !body.isEmpty())
        change(Body, text(q.value(4)), body);
    return {};
}

// Writes the changes into the instrument's row; it must be there.
DbError write(Database& db, const LedgerUpdate& u)
{
    if (u.changes.isEmpty())
        return {};
    QStringList sets;
    QVariantList binds;
    for (const FieldChange& c : u.changes) {
        sets << quotedIdentifier(c.column) + QStringLiteral(" = ?");
        binds << c.after;
    }
    binds << u.number;
    const DbResult r = db.executeNative(
        QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
            .arg(quotedIdentifier(tables::InUse), sets.join(QStringLiteral(", ")), quotedIdentifier(NumberColumn)),
        binds);
    if (!r.ok())
        return r.error;
    if (r.rowsAffected != 1)
        return DbError::make(
            DbError::General,
            QStringLiteral("“%1”中找不到编号为“%2”的计量器具，没有更新任何记录。").arg(tables::InUse, u.number));
    for (const FieldChange& c : u.changes)
        if (const DbError e = recordHistoryEvent(db, tables::InUse, u.number, historyevent::LedgerUpdated, c.column,
                                                 c.before, c.after))
            return e;
    return {};
}

// The records of the working copy that the table does not hold as they
// are: new, or changed in any column.
DbError changedRecords(Database& db, const QString& table, QVector<CalibrationResult>& out)
{
    const QString working = tables::working(table);
    QStringList columns;
    for (const QString& c : db.columns(working))
        columns << quotedIdentifier(c);
    const QString list = columns.join(QStringLiteral(", "));
    const QString sql =
        QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM (SELECT %6 FROM %7 EXCEPT SELECT %6 FROM %8) AS changed")
            .arg(quotedIdentifier(NumberColumn), quotedIdentifier(Calibrated), quotedIdentifier(ValidUntil),
                 quotedIdentifier(Conclusion), quotedIdentifier(Body), list, quotedIdentifier(working),
                 quotedIdentifier(table));
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return DbError::fromSqlError(q.lastError(), sql);
    while (q.next())
        out.append({text(q.value(0)), text(q.value(1)), text(q.value(2)), text(q.value(3)), text(q.value(4))});
    return {};
}

} // namespace

QString statusForConclusion(const QString& conclusion)
{
    const QString c = conclusion.trimmed();
    if (c == QStringLiteral("合格") || c == QStringLiteral("准用"))
        return c;
    return {};
}

QStringList LedgerUpdate::lines() const
{
    QStringList out;
    for (const FieldChange& c : changes)
        out << QStringLiteral("%1：%2 → %3")
                   .arg(c.column, c.before.isEmpty() ? QStringLiteral("（空）") : c.before, c.after);
    return out;
}

DbError planCalibrationUpdate(Database& db, const CalibrationResult& result, LedgerUpdate& update)
{
    Lookup found;
    if (const DbError e = lookUp(db, result, found))
        return e;
    update = found.update;
    if (!found.refusal.isEmpty())
        return DbError::make(DbError::General, found.refusal);
    return {};
}

DbError applyCalibrationUpdate(Database& db, const CalibrationResult& result, LedgerUpdate* applied)
{
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    LedgerUpdate u;
    if (const DbError e = planCalibrationUpdate(db, result, u))
        return e;
    if (const DbError e = write(db, u))
        return e;
    if (const DbError e = tx.commit())
        return e;
    if (applied)
        *applied = u;
    return {};
}

DbError commitConfirmationRecords(Database& db, const QString& deleteStatement, const QString& insertStatement,
                                  bool insertDirect, bool updateLedger, CalibrationSaveReport* report)
{
    return commitConfirmationRecords(
        db,
        [&] {
            return commitReplacedRows(db, tables::Confirmation, tables::working(tables::Confirmation), std::nullopt,
                                      deleteStatement, insertStatement, insertDirect);
        },
        updateLedger, report);
}

DbError commitConfirmationRecords(Database& db, const std::function<DbError()>& commitRecords, bool updateLedger,
                                  CalibrationSaveReport* report)
{
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    QVector<CalibrationResult> candidates;
    if (updateLedger) {
        QVector<CalibrationResult> changed;
        if (const DbError e = changedRecords(db, tables::Confirmation, changed))
            return e;
        for (const CalibrationResult& r : std::as_const(changed))
            if (!statusForConclusion(r.conclusion).isEmpty())
                candidates.append(r);
    }
    if (const DbError e = commitRecords())
        return e;

    CalibrationSaveReport done;
    done.candidates = int(candidates.size());
    // The latest record of each instrument, the instruments in the order of
    // their latest calibration; numbers compare as the ledgers compare them.
    std::stable_sort(candidates.begin(), candidates.end(), [](const CalibrationResult& a, const CalibrationResult& b) {
        return a.calibrated < b.calibrated;
    });
    QHash<QString, qsizetype> latest;
    for (qsizetype i = 0; i < candidates.size(); ++i)
        latest.insert(candidates.at(i).number.trimmed().toCaseFolded(), i);
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const CalibrationResult& r = candidates.at(i);
        if (latest.value(r.number.trimmed().toCaseFolded()) != i)
            continue;
        Lookup found;
        if (const DbError e = lookUp(db, r, found))
            return e;
        if (!found.refusal.isEmpty()) {
            done.passedOver << found.refusal;
            continue;
        }
        if (!found.ledgerCalibrated.isEmpty() && found.ledgerCalibrated > r.calibrated.trimmed()) {
            done.passedOver << QStringLiteral("编号为“%1”的计量器具：台帐中的检定日期 %2 晚于确认记录的检定日期 %3，"
                                              "没有更新。")
                                   .arg(found.update.number, found.ledgerCalibrated, r.calibrated.trimmed());
            continue;
        }
        if (found.update.changes.isEmpty())
            continue;
        if (const DbError e = write(db, found.update))
            return e;
        done.updated.append(found.update);
    }
    if (const DbError e = tx.commit())
        return e;
    if (report)
        *report = done;
    return {};
}

} // namespace ravo
