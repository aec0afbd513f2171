#pragma once
// The files kept with an instrument or with one of its records: certificate
// scans, manuals, photographs of the nameplate. They are stored inside the
// ledger (MSys附件), so that a backup, a compaction or a copy to a server
// carries them. Listing reads only their names and sizes, never the files.
#include "Database.h"

#include <QByteArray>
#include <QVector>
#include <optional>

namespace ravo {

// The largest file an attachment may be.
constexpr qint64 MaxAttachmentBytes = 20 * 1024 * 1024;

// What an attachment belongs to: the instrument itself, one of its
// confirmation or repair records (told apart by the record's key), or an
// item of the stock not yet issued (which has no number yet).
namespace attachmentkind {
inline const QString Instrument = QStringLiteral("器具");
inline const QString Confirmation = QStringLiteral("确认记录");
inline const QString Repair = QStringLiteral("修理记录");
inline const QString Stock = QStringLiteral("待发放");
} // namespace attachmentkind

struct AttachmentOwner {
    QString number; // 计量器具编号; empty for a stock item
    QString kind;   // attachmentkind::…
    QString recordKey =
        {}; // for a record: its date and report number; for a stock item: its row; empty for the instrument
};

// The owner of a stock item's attachments: the item's row in the stock
// ledger (计量器具待发放库), which keeps its rowid through every edit.
AttachmentOwner stockItemOwner(qint64 ledgerRow);

struct Attachment {
    qint64 id = -1;
    QString number;
    QString kind;
    QString recordKey;
    QString fileName;
    qint64 size = 0;
    QString added;   // yyyy-MM-dd HH:mm:ss
    QString addedBy; // the account
};

// The key of a confirmation record (检定日期 and 报告编号) or a repair record
// (修理日期 and 修理人员) as its attachments name it.
QString recordKey(const QString& date, const QString& second);

// The attachments of an owner, oldest first; of every kind of the
// instrument when owner.kind is empty.
QVector<Attachment> listAttachments(Database& db, const AttachmentOwner& owner);

// Keeps the file at `path` with its owner, in one transaction. Refused with
// a Chinese message for a file that cannot be read, is empty or is larger
// than MaxAttachmentBytes; nothing is written then.
DbError addAttachment(Database& db, const AttachmentOwner& owner, const QString& path, const QString& account,
                      Attachment* made = nullptr);

// The file of an attachment; nothing when it is gone.
std::optional<QByteArray> attachmentContents(Database& db, qint64 id);
// Writes the file of an attachment to `path` (whole or not at all).
DbError saveAttachmentAs(Database& db, qint64 id, const QString& path);
DbError removeAttachment(Database& db, qint64 id);

// The instrument's own attachments follow it to its new number. Those of its
// confirmation and repair records stay with the records, which keep the
// number they were kept under (the history card finds them through the
// number correction in the change history).
DbError renumberAttachments(Database& db, const QString& oldNumber, const QString& newNumber);
// The instruments a window renumbered in its working copy of a ledger:
// (number the ledger holds, number in the window) for each changed row that
// was copied from the ledger and carries another number now. Read before
// the copy is committed.
QVector<std::pair<QString, QString>> renumberedInstruments(Database& db, const QString& table,
                                                           const QString& workingTable);
// The attachments follow those numbers; numbers exchanged between two
// instruments are exchanged whole.
DbError followRenumbering(Database& db, const QVector<std::pair<QString, QString>>& renamed);

// Removes every attachment of an instrument (it is written off); *removed
// gets how many. A blank number names no instrument and removes nothing.
DbError removeAttachmentsOf(Database& db, const QString& number, int* removed = nullptr);
// How many attachments an instrument has, of every kind.
int attachmentCount(Database& db, const QString& number);

// The attachments of a stock item go with the instrument issued from it:
// copies of them are kept with that instrument (kind 器具), as added then
// and by whom; the item keeps its own for the instruments issued after.
// *copied gets how many. A ledger without attachments has nothing to copy
// or remove.
DbError copyStockAttachments(Database& db, qint64 stockRow, const QString& number, int* copied = nullptr);
// Removes the attachments of the stock items kept in these rows (the items
// were deleted).
DbError removeStockAttachments(Database& db, const QVector<qint64>& stockRows);

// "1.2 MB", "340 KB", "85 字节".
QString sizeText(qint64 bytes);

} // namespace ravo
