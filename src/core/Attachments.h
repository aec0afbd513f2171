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

// What an attachment belongs to: the instrument itself, or one of its
// confirmation or repair records (told apart by the record's key).
namespace attachmentkind {
inline const QString Instrument = QStringLiteral("器具");
inline const QString Confirmation = QStringLiteral("确认记录");
inline const QString Repair = QStringLiteral("修理记录");
} // namespace attachmentkind

struct AttachmentOwner {
    QString number;         // 计量器具编号
    QString kind;           // attachmentkind::…
    QString recordKey = {}; // for a record: its date and report number; empty for the instrument
};

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

// The attachments of an instrument follow it to its new number.
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
// gets how many.
DbError removeAttachmentsOf(Database& db, const QString& number, int* removed = nullptr);
// How many attachments an instrument has, of every kind.
int attachmentCount(Database& db, const QString& number);

// "1.2 MB", "340 KB", "85 字节".
QString sizeText(qint64 bytes);

} // namespace ravo
