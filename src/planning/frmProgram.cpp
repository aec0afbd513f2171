#include "frmProgram.h"

#include "PlanningTexts.h"
#include "core/Dates.h"

#include <QLabel>

namespace ravo {

QString planStatement(const QDate& start, const QDate& end)
{
    return QStringLiteral("select * into ") + tables::Plan + QStringLiteral(" from ") + tables::SearchResult
        + QStringLiteral(" where 有效日期>= #") + formatShortDate(start) + QStringLiteral("# and 有效日期 <= #")
        + formatShortDate(end) + QStringLiteral("# order by 计量器具编号;");
}

frmProgram::frmProgram(ProgramState& state, QWidget* parent)
    : WorkingTableWindow(state, tables::Plan, QStringLiteral("cmdOk"), parent)
{
    setObjectName(QStringLiteral("frmProgram"));
    setWindowTitle(planningtexts::PlanListCaption);
    Label1->setText(planningtexts::PlanHeading);
    cmdOk = m_ok;
}

QString frmProgram::statement() const
{
    return planStatement(m_state.options.ProgramDateStar, m_state.options.ProgramDateEnd);
}

QString frmProgram::printTitle() const
{
    return m_state.options.RC;
}

QString frmProgram::exportTitle() const
{
    return planningtexts::PlanListCaption;
}

} // namespace ravo
