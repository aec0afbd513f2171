#pragma once
// An instrument's whole story as its history card (计量器具履历卡) tells it:
// its identity as its ledger holds it, its life events from the change
// history, and every confirmation and repair record kept for it.
#include "Database.h"

#include <QPair>
#include <QStringList>
#include <QVector>
#include <optional>

namespace ravo {

struct InstrumentStory {
    QString number;
    QString ledger; // the ledger that holds it: in use, sealed or scrapped
    // Every column of its ledger row with its value, in the table's order.
    QVector<QPair<QString, QString>> fields;
    // Confirmation records: 检定日期, 报告编号, 报告类型, 结论, 有效日期, 检定单位;
    // oldest first.
    QVector<QStringList> confirmations;
    // Repair records: 修理日期, 修理人员, 修理前状态, 修理后状态, 修理内容; oldest first.
    QVector<QStringList> repairs;
    // Its life events from the change history (entry, issue, moves,
    // number corrections, ledger updates from a confirmation, write-off):
    // 日期时间, 事件, 账户, 说明; oldest first.
    QVector<QStringList> events;
    // Its attachments (of the instrument and of its records): 文件名, 附于,
    // 大小, 添加时间, 添加人; oldest first.
    QVector<QStringList> attachments;

    QString field(const QString& column) const;
};

// The column headings of the two record lists.
const QStringList& storyConfirmationColumns();
const QStringList& storyRepairColumns();
const QStringList& storyAttachmentColumns();
const QStringList& storyEventColumns();

// Reads the story of the instrument numbered `number` (without regard to
// case) from the in-use, sealed and scrapped ledgers, the record tables (its
// records kept under an earlier number of its included, when no other
// instrument holds that number now) and the history; nothing when no ledger
// holds it.
std::optional<InstrumentStory> readInstrumentStory(Database& db, const QString& number);

} // namespace ravo
