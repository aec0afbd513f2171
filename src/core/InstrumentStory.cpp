#include "InstrumentStory.h"

#include "Attachments.h"
#include "History.h"
#include "HistoryLog.h"
#include "Ledger.h"
#include "LedgerSchema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

namespace ravo {

QString InstrumentStory::field(const QString& column) const
{
    for (const auto& f : fields)
        if (f.first == column)
            return f.second;
    return {};
}

const QStringList& storyConfirmationColumns()
{
    static const QStringList columns{QStringLiteral("检定日期"), QStringLiteral("报告编号"),
                                     QStringLiteral("报告类型"), QStringLiteral("结论"),
                                     QStringLiteral("有效日期"), QStringLiteral("检定单位")};
    return columns;
}

const QStringList& storyRepairColumns()
{
    static const QStringList columns{QStringLiteral("修理日期"), QStringLiteral("修理人员"),
                                     QStringLiteral("修理前状态"), QStringLiteral("修理后状态"),
                                     QStringLiteral("修理内容")};
    return columns;
}

const QStringList& storyAttachmentColumns()
{
    static const QStringList columns{QStringLiteral("文件名"), QStringLiteral("附于"), QStringLiteral("大小"),
                                     QStringLiteral("添加时间"), QStringLiteral("添加人")};
    return columns;
}

const QStringList& storyEventColumns()
{
    static const QStringList columns{QStringLiteral("日期时间"), QStringLiteral("事件"), QStringLiteral("账户"),
                                     QStringLiteral("说明")};
    return columns;
}

namespace {

// What a history row says of the instrument's life, in a few words: the
// ledgers of a move or an issue, the value a ledger update changed, the
// numbers of a correction, the file of an import; otherwise the table
// written.
QString eventNote(const HistoryEntry& e)
{
    const QString arrow = QStringLiteral(" → ");
    if (e.isRenumbering())
        return QStringLiteral("编号 ") + e.before + arrow + e.after;
    if (e.event == historyevent::Imported && !e.after.isEmpty())
        return QStringLiteral("从文件“%1”导入%2").arg(e.after, e.table);
    if (e.event == historyevent::LedgerUpdated)
        return e.column + QStringLiteral("：") + e.before + arrow + e.after;
    if (!e.before.isEmpty() || !e.after.isEmpty())
        return e.before + arrow + e.after;
    return e.table;
}

// The rows of a record table for one instrument, the given columns, oldest
// first (undated records first, then in the order they were kept).
QVector<QStringList> recordsOf(Database& db, const QString& table, const QStringList& columns, const QString& number)
{
    QVector<QStringList> rows;
    QStringList quotedColumns;
    for (const QString& c : columns)
        quotedColumns << quotedIdentifier(c);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY CASE WHEN %4 IS NULL THEN 0 ELSE 1 END, %4, rowid")
            .arg(quotedColumns.join(QStringLiteral(", ")), quotedIdentifier(table), quotedIdentifier(NumberColumn),
                 quotedColumns.first()));
    q.addBindValue(number);
    if (!q.exec())
        return rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row << q.value(i).toString();
        rows << row;
    }
    return rows;
}

// Whether one of the three ledgers an instrument lives in holds the number.
bool heldByALedger(Database& db, const QString& number)
{
    for (const QString& table : {tables::InUse, tables::Sealed, tables::Scrapped}) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                      .arg(quotedIdentifier(table), quotedIdentifier(NumberColumn)));
        q.addBindValue(number);
        if (q.exec() && q.next())
            return true;
    }
    return false;
}

} // namespace

std::optional<InstrumentStory> readInstrumentStory(Database& db, const QString& number)
{
    for (const QString& table : {tables::InUse, tables::Sealed, tables::Scrapped}) {
        const QStringList columns = db.columns(table);
        QStringList quotedColumns;
        for (const QString& c : columns)
            quotedColumns << quotedIdentifier(c);
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                      .arg(quotedColumns.join(QStringLiteral(", ")), quotedIdentifier(table),
                           quotedIdentifier(NumberColumn)));
        q.addBindValue(number);
        if (!q.exec() || !q.next())
            continue;
        InstrumentStory story;
        story.ledger = table;
        for (int i = 0; i < columns.size(); ++i)
            story.fields.append({columns.at(i), q.value(i).toString()});
        story.number = story.field(NumberColumn);
        q.finish();
        // Every event but the values changed in an editor, which a card
        // would drown in; a number correction is an event of its own.
        const QVector<HistoryEntry> history = instrumentHistory(db, story.number);
        // The records carry the number as the ledger held it when they were
        // kept: those kept under an earlier number of this instrument (the
        // history tells its corrections) are its own too, unless another
        // instrument holds that number now.
        QStringList numbers{story.number};
        for (const HistoryEntry& e : history)
            if (e.isRenumbering() && !numbers.contains(e.before.trimmed(), Qt::CaseInsensitive)
                && !heldByALedger(db, e.before.trimmed()))
                numbers << e.before.trimmed();
        for (const QString& n : std::as_const(numbers)) {
            story.confirmations += recordsOf(db, tables::Confirmation, storyConfirmationColumns(), n);
            story.repairs += recordsOf(db, tables::Repair, storyRepairColumns(), n);
        }
        if (numbers.size() > 1)
            for (QVector<QStringList>* records : {&story.confirmations, &story.repairs})
                std::stable_sort(records->begin(), records->end(),
                                 [](const QStringList& a, const QStringList& b) { return a.first() < b.first(); });
        for (auto e = history.crbegin(); e != history.crend(); ++e)
            if (e->event != historyevent::Changed || e->isRenumbering())
                story.events << QStringList{e->time, e->event, e->account, eventNote(*e)};
        // A ledger of an older program has no attachments yet.
        if (db.tableExists(tables::Attachments))
            for (const QString& n : std::as_const(numbers))
                for (const Attachment& a : listAttachments(db, {n, {}}))
                    story.attachments << QStringList{
                        a.fileName, a.recordKey.isEmpty() ? a.kind : a.kind + QStringLiteral("（%1）").arg(a.recordKey),
                        sizeText(a.size), a.added, a.addedBy};
        return story;
    }
    return std::nullopt;
}

} // namespace ravo
