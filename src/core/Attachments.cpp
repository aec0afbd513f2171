#include "Attachments.h"

#include "Ledger.h"
#include "LedgerSchema.h"
#include "WorkingCopy.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlQuery>
#include <QVariant>

namespace ravo {

namespace {

QString table()
{
    return quotedIdentifier(tables::Attachments);
}

const QString Columns = QStringLiteral("\"ID\", 计量器具编号, 记录类别, 记录键, 文件名, 大小, 添加时间, 添加人");

Attachment attachmentOf(const QSqlQuery& q)
{
    Attachment a;
    a.id = q.value(0).toLongLong();
    a.number = q.value(1).toString();
    a.kind = q.value(2).toString();
    a.recordKey = q.value(3).toString();
    a.fileName = q.value(4).toString();
    a.size = q.value(5).toLongLong();
    a.added = q.value(6).toString();
    a.addedBy = q.value(7).toString();
    return a;
}

DbError refused(const QString& text)
{
    return DbError::make(DbError::Kind::InvalidValue, text);
}

} // namespace

QString recordKey(const QString& date, const QString& second)
{
    return date.trimmed() + QLatin1Char('|') + second.trimmed();
}

AttachmentOwner stockItemOwner(qint64 ledgerRow)
{
    return {QStringLiteral(""), attachmentkind::Stock, QString::number(ledgerRow)};
}

QVector<Attachment> listAttachments(Database& db, const AttachmentOwner& owner)
{
    QVector<Attachment> list;
    // A blank number is no instrument's: only a stock item, named by its
    // kind and row, has attachments without one.
    if (owner.number.trimmed().isEmpty() && (owner.kind != attachmentkind::Stock || owner.recordKey.isEmpty()))
        return list;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE 计量器具编号 = ?").arg(Columns, table());
    QVariantList binds{owner.number.isNull() ? QStringLiteral("") : owner.number};
    // The instrument's own attachments have no record key (an empty key is
    // kept as none).
    if (!owner.kind.isEmpty()) {
        sql += QStringLiteral(" AND 记录类别 = ?");
        binds << owner.kind;
        if (owner.recordKey.isEmpty()) {
            sql += QStringLiteral(" AND (记录键 IS NULL OR 记录键 = '')");
        } else {
            sql += QStringLiteral(" AND 记录键 = ?");
            binds << owner.recordKey;
        }
    }
    q.prepare(sql + QStringLiteral(" ORDER BY \"ID\""));
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return list;
    while (q.next())
        list << attachmentOf(q);
    return list;
}

DbError addAttachment(Database& db, const AttachmentOwner& owner, const QString& path, const QString& account,
                      Attachment* made)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const bool stock = owner.kind == attachmentkind::Stock;
    if (stock && owner.recordKey.isEmpty())
        return refused(QStringLiteral("这项待发放器具还没有保存到台帐中，先“确定”保存后再添加附件。"));
    if (!stock && owner.number.trimmed().isEmpty())
        return refused(QStringLiteral("这台器具还没有计量器具编号，先填写编号并“确定”保存后再添加附件。"));
    if (!info.isFile())
        return refused(QStringLiteral("找不到文件“%1”。").arg(path));
    if (info.size() > MaxAttachmentBytes)
        return refused(QStringLiteral("文件“%1”有 %2，超过了每个附件 %3 的限制，没有添加。\n"
                                      "请把扫描件的分辨率调低或分成几个文件后再添加。")
                           .arg(name, sizeText(info.size()), sizeText(MaxAttachmentBytes)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("文件“%1”不能读取：%2").arg(name, file.errorString()));
    const QByteArray contents = file.readAll();
    if (contents.size() != info.size())
        return refused(QStringLiteral("文件“%1”没有能完整读出，没有添加。").arg(name));
    if (contents.isEmpty())
        return refused(QStringLiteral("文件“%1”是空的，没有添加。").arg(name));

    Attachment a;
    a.number = stock ? QStringLiteral("") : owner.number;
    a.kind = owner.kind;
    a.recordKey = owner.recordKey;
    a.fileName = name;
    a.size = contents.size();
    a.added = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    a.addedBy = account;
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    const DbResult r = db.executeNative(
        QStringLiteral("INSERT INTO %1 (计量器具编号, 记录类别, 记录键, 文件名, 大小, 添加时间, 添加人, 内容) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(table()),
        {a.number, a.kind, a.recordKey, a.fileName, a.size, a.added, a.addedBy, contents});
    if (!r.ok())
        return r.error;
    if (const DbError e = tx.commit())
        return e;
    if (made) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("SELECT max(\"ID\") FROM %1 WHERE 计量器具编号 = ? AND 记录类别 = ?").arg(table()));
        q.addBindValue(a.number);
        q.addBindValue(a.kind);
        if (q.exec() && q.next())
            a.id = q.value(0).toLongLong();
        *made = a;
    }
    return {};
}

std::optional<QByteArray> attachmentContents(Database& db, qint64 id)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT 内容 FROM %1 WHERE \"ID\" = ?").arg(table()));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toByteArray();
}

DbError saveAttachmentAs(Database& db, qint64 id, const QString& path)
{
    const std::optional<QByteArray> contents = attachmentContents(db, id);
    if (!contents)
        return refused(QStringLiteral("这个附件已经不在台帐中了（也许刚被别人删除）。"));
    // Written beside the target and put in its place when whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*contents) != contents->size() || !file.commit())
        return DbError::make(DbError::Kind::DiskFull,
                             QStringLiteral("附件没有能保存到“%1”：%2").arg(path, file.errorString()));
    return {};
}

DbError removeAttachment(Database& db, qint64 id)
{
    return db.executeNative(QStringLiteral("DELETE FROM %1 WHERE \"ID\" = ?").arg(table()), {id}).error;
}

DbError renumberAttachments(Database& db, const QString& oldNumber, const QString& newNumber)
{
    if (oldNumber.isEmpty())
        return {};
    return db
        .executeNative(
            QStringLiteral("UPDATE %1 SET 计量器具编号 = ? WHERE 计量器具编号 = ? AND 记录类别 = ?").arg(table()),
            {newNumber, oldNumber, attachmentkind::Instrument})
        .error;
}

QVector<std::pair<QString, QString>> renumberedInstruments(Database& db, const QString& table,
                                                           const QString& workingTable)
{
    QVector<std::pair<QString, QString>> renamed;
    QSqlQuery changed(db.connection());
    changed.setForwardOnly(true);
    if (!changed.exec(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE %3")
                          .arg(quotedIdentifier(NumberColumn), quotedIdentifier(workingTable),
                               changedRowsCondition(db, workingTable))))
        return renamed;
    QVector<std::pair<qint64, QString>> rows;
    while (changed.next())
        rows.append({changed.value(0).toLongLong(), changed.value(1).toString()});
    changed.finish();
    QSqlQuery ledger(db.connection());
    ledger.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                       .arg(quotedIdentifier(NumberColumn), quotedIdentifier(table)));
    for (const auto& [workingRow, number] : rows) {
        const qint64 ledgerRow = ledgerRowOf(db, workingTable, workingRow);
        if (ledgerRow < 0)
            continue;
        ledger.addBindValue(ledgerRow);
        if (ledger.exec() && ledger.next() && ledger.value(0).toString() != number)
            renamed.append({ledger.value(0).toString(), number});
        ledger.finish();
    }
    return renamed;
}

DbError followRenumbering(Database& db, const QVector<std::pair<QString, QString>>& renamed)
{
    if (renamed.isEmpty())
        return {};
    // Through a number no instrument has, so that A → B and B → A exchange.
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    const QString passing = QStringLiteral("\x01改号中\x01%1");
    for (int i = 0; i < renamed.size(); ++i)
        if (const DbError e = renumberAttachments(db, renamed[i].first, passing.arg(i)))
            return e;
    for (int i = 0; i < renamed.size(); ++i)
        if (const DbError e = renumberAttachments(db, passing.arg(i), renamed[i].second))
            return e;
    return tx.commit();
}

DbError removeAttachmentsOf(Database& db, const QString& number, int* removed)
{
    if (number.trimmed().isEmpty())
        return {};
    const int before = attachmentCount(db, number);
    if (const DbError e =
            db.executeNative(QStringLiteral("DELETE FROM %1 WHERE 计量器具编号 = ?").arg(table()), {number}).error)
        return e;
    if (removed)
        *removed = before;
    return {};
}

int attachmentCount(Database& db, const QString& number)
{
    if (number.trimmed().isEmpty())
        return 0;
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE 计量器具编号 = ?").arg(table()));
    q.addBindValue(number);
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

DbError copyStockAttachments(Database& db, qint64 stockRow, const QString& number, int* copied)
{
    if (copied)
        *copied = 0;
    // A ledger without the attachment table (not yet upgraded) has none.
    if (stockRow < 0 || number.trimmed().isEmpty() || !db.tableExists(tables::Attachments))
        return {};
    const DbResult r = db.executeNative(
        QStringLiteral("INSERT INTO %1 (计量器具编号, 记录类别, 记录键, 文件名, 大小, 添加时间, 添加人, 内容) "
                       "SELECT ?, ?, ?, 文件名, 大小, 添加时间, 添加人, 内容 FROM %1 "
                       "WHERE 记录类别 = ? AND 记录键 = ? ORDER BY \"ID\"")
            .arg(table()),
        {number, attachmentkind::Instrument, QStringLiteral(""), attachmentkind::Stock, QString::number(stockRow)});
    if (r.ok() && copied)
        *copied = int(r.rowsAffected);
    return r.error;
}

DbError removeStockAttachments(Database& db, const QVector<qint64>& stockRows)
{
    if (stockRows.isEmpty() || !db.tableExists(tables::Attachments))
        return {};
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    for (const qint64 row : stockRows)
        if (const DbError e =
                db.executeNative(QStringLiteral("DELETE FROM %1 WHERE 记录类别 = ? AND 记录键 = ?").arg(table()),
                                 {attachmentkind::Stock, QString::number(row)})
                    .error)
            return e;
    return tx.commit();
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg((bytes + 512) / 1024);
    return QStringLiteral("%1 字节").arg(bytes);
}

} // namespace ravo
