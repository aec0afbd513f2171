#pragma once
// The history card (计量器具履历卡): one instrument's whole story on A4
// portrait pages — its identity as the ledger holds it, its life events
// from the change history, its confirmation and repair records and its
// attachments — with its number and "第 n 页 共 m 页" at the foot of each
// page. Several cards print one after another, each from a new page and
// numbered on its own.
#include "core/InstrumentStory.h"
#include "platform/LinePrinter.h"

#include <QDate>
#include <QVector>

namespace ravo {

class Prompter;

inline const QString HistoryCardTitle = QStringLiteral("计量器具履历卡");

// Lays the cards out; Empty when there is none.
PrintResult layoutHistoryCards(LinePrinter& printer, const QVector<InstrumentStory>& cards, const QDate& printDate,
                               const PrintProgress& progress = {});
PrintRequest historyCardRequest(const QVector<InstrumentStory>& cards, const QDate& printDate);

// Reads the stories of the numbered instruments and prints their cards
// through the print preview; numbers no ledger holds are named first.
void printHistoryCards(QWidget* parent, Prompter& prompt, Database& db, const QStringList& numbers);

} // namespace ravo
