#include "frmOverDate.h"

#include "PlanningTexts.h"
#include "core/Dates.h"
#include "core/DueList.h"

#include <QLabel>

namespace ravo {

QString dueListStatement(const Options& options, const QDate& today)
{
    const QString head = QStringLiteral("select * into ") + tables::DueList + QStringLiteral(" from ")
        + tables::SearchResult + QStringLiteral(" where 有效日期<= ");
    const QString tail = QStringLiteral(" order by 计量器具编号;");
    if (options.leadMode() == LeadMode::None)
        return head + QStringLiteral("now") + tail;
    return head + QLatin1Char('#') + formatJetMonthDate(today.addDays(duelist::leadDays(options))) + QLatin1Char('#')
        + tail;
}

frmOverDate::frmOverDate(ProgramState& state, QWidget* parent)
    : WorkingTableWindow(state, tables::DueList, QStringLiteral("cmdOK"), parent)
{
    setObjectName(QStringLiteral("frmOverDate"));
    setWindowTitle(planningtexts::DueCaption);
    Label1->setText(planningtexts::DueHeading);
    cmdOK = m_ok;
}

QString frmOverDate::statement() const
{
    return dueListStatement(m_state.options, today());
}

QString frmOverDate::printTitle() const
{
    return planningtexts::DuePrintTitle;
}

QString frmOverDate::exportTitle() const
{
    return planningtexts::DueCaption;
}

} // namespace ravo
