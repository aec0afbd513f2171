#include "InstrumentStory.h"

#include "Attachments.h"
#include "Ledger.h"
#include "LedgerSchema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

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

namespace {

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
        // The records carry the number as the ledger holds it.
        story.confirmations = recordsOf(db, tables::Confirmation, storyConfirmationColumns(), story.number);
        story.repairs = recordsOf(db, tables::Repair, storyRepairColumns(), story.number);
        // A ledger of an older program has no attachments yet.
        if (db.tableExists(tables::Attachments))
            for (const Attachment& a : listAttachments(db, {story.number, {}}))
                story.attachments << QStringList{
                    a.fileName, a.recordKey.isEmpty() ? a.kind : a.kind + QStringLiteral("（%1）").arg(a.recordKey),
                    sizeText(a.size), a.added, a.addedBy};
        return story;
    }
    return std::nullopt;
}

} // namespace ravo
