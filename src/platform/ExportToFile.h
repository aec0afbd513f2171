#pragma once
// Exporting a table from a window: the file question (.xlsx or .csv), a
// progress window with a cancel button while a long export runs, and the
// closing message, "已导出 N 条记录到“file”。", or why nothing was written.
//
//   exportToFile(m_state, this, tables::DueList, QStringLiteral("到期设备"));
#include <QString>

class QWidget;

namespace ravo {

struct ProgramState;

// Writes every row of `table` to a file the user chooses. `title` names the
// worksheet and starts the suggested file name. With `wholeTable` (the
// ledger table a result was taken from), the file question also offers that
// whole table instead of `table`, which stays the first choice. Returns the
// rows written; -1 when nothing was written (cancelled or failed; the user
// has been told).
qint64 exportToFile(ProgramState& state, QWidget* owner, const QString& table, const QString& title,
                    const QString& wholeTable = {});

} // namespace ravo
