#pragma once
// The due-equipment window "到期设备": the instruments of the current search
// result (MSys检索临时表) whose validity date 有效日期 has passed or falls
// within the lead time the options set, in the working table
// MSys待检或到期设备表, ordered by number.
//
// The main window opens it from "到期设备(&O)..." and the toolbar when
// planningOpensFor(CurrentTable) holds, and once after start-up when the
// reminder option is on:
//
//     frmOverDate due(state, this);
//     due.exec();
//
// Lead modes ("SysOptions"/"Advance"): 1 lists what is due today or earlier;
// 2 adds "AdvanceDay" days, any other value 7 × "AdvanceWeek" days. The
// cut-off day itself is included. Rows without a validity date never appear.
#include "WorkingTableWindow.h"

#include <QDate>

namespace ravo {

// The statement that makes the due table. Mode 1 compares with the engine's
// clock ("now"); modes 2 and 3 with a cut-off counted from today, written
// with an English month name so that the engine reads it whatever the
// machine's language.
QString dueListStatement(const Options& options, const QDate& today);

class frmOverDate : public WorkingTableWindow {
    Q_OBJECT
public:
    explicit frmOverDate(ProgramState& state, QWidget* parent = nullptr);

    QString statement() const override;

    QPushButton* cmdOK = nullptr;

protected:
    QString printTitle() const override;
    QString exportTitle() const override;
};

} // namespace ravo
