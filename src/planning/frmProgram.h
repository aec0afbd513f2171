#pragma once
// The calibration plan "计划检定设备清单": the instruments of the current
// search result (MSys检索临时表) whose validity date 有效日期 lies in the
// stored plan period, both ends included, in the working table
// MSys计划检定设备表, ordered by number. The setup dialog frmPlanSetup opens
// it after storing the period; "打印|预览(&P)" prints it under the stored
// title ("PDC"/"RC").
//
//     frmProgram plan(state, this);
//     plan.exec();
#include "WorkingTableWindow.h"

#include <QDate>

namespace ravo {

// The statement that makes the plan table for the period start … end.
QString planStatement(const QDate& start, const QDate& end);

class frmProgram : public WorkingTableWindow {
    Q_OBJECT
public:
    explicit frmProgram(ProgramState& state, QWidget* parent = nullptr);

    QString statement() const override;

    QPushButton* cmdOk = nullptr;

protected:
    QString printTitle() const override;
    QString exportTitle() const override;
};

} // namespace ravo
