#include "frmPlanSetup.h"

#include "PlanningTexts.h"
#include "core/Dates.h"
#include "frmProgram.h"
#include "platform/DatePicker.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace ravo {

namespace k = optionkeys;

namespace {

// The names of the two pickers in a refusal.
const QString StartLabel = QStringLiteral("开始日期");
const QString EndLabel = QStringLiteral("结束日期");

} // namespace

PlanPeriod planPeriod(PlanPeriodKind kind, const QDate& today, const QDate& chosenStart, const QDate& chosenEnd)
{
    switch (kind) {
    case PlanPeriodKind::Week:
        return {kind, today, today.addDays(7)};
    case PlanPeriodKind::Month:
        return {kind, today, today.addDays(30)};
    case PlanPeriodKind::Year:
        return {kind, today, today.addDays(365)};
    default:
        return {PlanPeriodKind::ChosenRange, chosenStart, chosenEnd};
    }
}

frmPlanSetup::frmPlanSetup(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmPlanSetup"));
    setWindowTitle(planningtexts::PlanSetupCaption);
    createLayout();
    activate();
}

void frmPlanSetup::createLayout()
{
    auto* frame = new QGroupBox(QStringLiteral("设置计划检定的时间范围："), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto option = [frame](const char* name, const QString& caption) {
        auto* b = new QRadioButton(caption, frame);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    optWeek = option("optWeek", QStringLiteral("1周内"));
    optMonth = option("optMonth", QStringLiteral("1月内"));
    optYear = option("optYear", QStringLiteral("1年内"));
    optSet = option("optSet", QStringLiteral("设定日期范围："));
    // Choosing the date range brings back the stored range, and so does
    // clicking it again while it is chosen: dates edited since are dropped.
    // Leaving it disables the pickers.
    connect(optSet, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            showStoredDates();
        enablePickers(on);
    });
    connect(optSet, &QRadioButton::clicked, this, [this] {
        if (optSet->isChecked())
            showStoredDates();
    });

    auto picker = [this, frame](const char* name) {
        auto* d = new DatePicker(frame);
        d->setObjectName(QLatin1String(name));
        connect(d, &DatePicker::refused, this, [this, d] { refuseTypedDate(d); });
        return d;
    };
    DTPStr = picker("DTPStr");
    DTPEnd = picker("DTPEnd");
    auto* to = new QLabel(QStringLiteral("至："), frame);
    to->setObjectName(QStringLiteral("Label2"));

    auto* fixed = new QHBoxLayout;
    fixed->addWidget(optWeek);
    fixed->addWidget(optMonth);
    fixed->addWidget(optYear);
    fixed->addStretch(1);
    auto* range = new QHBoxLayout;
    range->addWidget(optSet);
    range->addWidget(DTPStr);
    range->addWidget(to);
    range->addWidget(DTPEnd);
    range->addStretch(1);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addLayout(fixed);
    frameLayout->addLayout(range);

    auto* titleLabel = new QLabel(QStringLiteral("报表标题："), this);
    titleLabel->setObjectName(QStringLiteral("Label1"));
    txtReportCapt = new QLineEdit(this);
    txtReportCapt->setObjectName(QStringLiteral("txtReportCapt"));
    titleLabel->setBuddy(txtReportCapt);
    auto* title = new QHBoxLayout;
    title->addWidget(titleLabel);
    title->addWidget(txtReportCapt, 1);

    cmdOK = new QPushButton(planningtexts::OkCaption, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancle = new QPushButton(planningtexts::CancelCaption, this);
    cmdCancle->setObjectName(QStringLiteral("cmdCancle"));
    connect(cmdOK, &QPushButton::clicked, this, &frmPlanSetup::cmdOK_Click);
    connect(cmdCancle, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancle);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(title);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(440, 0)));
}

void frmPlanSetup::activate()
{
    const Options& o = m_state.options;
    QRadioButton* selected = nullptr;
    switch (o.planPeriodKind()) {
    case PlanPeriodKind::Week:
        selected = optWeek;
        break;
    case PlanPeriodKind::Month:
        selected = optMonth;
        break;
    case PlanPeriodKind::Year:
        selected = optYear;
        break;
    case PlanPeriodKind::ChosenRange:
        selected = optSet;
        break;
    default:
        break;
    }
    // An unknown kind selects none of the options.
    for (QRadioButton* b : {optWeek, optMonth, optYear, optSet}) {
        b->setAutoExclusive(false);
        b->setChecked(b == selected);
        b->setAutoExclusive(true);
    }
    showStoredDates();
    enablePickers(o.planPeriodKind() == PlanPeriodKind::ChosenRange);
    txtReportCapt->setText(o.RC);
}

void frmPlanSetup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        cmdOK->setFocus();
}

void frmPlanSetup::showStoredDates()
{
    DTPStr->discardTyped();
    DTPEnd->discardTyped();
    const QDate start = m_state.options.ProgramDateStar;
    const QDate end = m_state.options.ProgramDateEnd;
    DTPStr->setDate(start.isValid() ? start : today());
    DTPEnd->setDate(end.isValid() ? end : today().addDays(30));
}

void frmPlanSetup::enablePickers(bool enabled)
{
    DTPStr->setEnabled(enabled);
    DTPEnd->setEnabled(enabled);
}

void frmPlanSetup::refuseTypedDate(DatePicker* picker)
{
    m_state.prompt.error(dateErrorMessage(picker == DTPStr ? StartLabel : EndLabel, picker->typedText()),
                         windowTitle());
    picker->setFocus();
}

void frmPlanSetup::cmdOK_Click()
{
    if (optSet->isChecked()) {
        for (DatePicker* picker : {DTPStr, DTPEnd}) {
            if (!picker->commitTyped()) {
                refuseTypedDate(picker);
                return;
            }
        }
    }
    PlanPeriodKind kind = PlanPeriodKind::ChosenRange;
    if (optWeek->isChecked())
        kind = PlanPeriodKind::Week;
    else if (optMonth->isChecked())
        kind = PlanPeriodKind::Month;
    else if (optYear->isChecked())
        kind = PlanPeriodKind::Year;
    const PlanPeriod p = planPeriod(kind, today(), DTPStr->date(), DTPEnd->date());
    const QString title = txtReportCapt->text();

    Options& o = m_state.options;
    o.setPlanPeriodKind(p.kind);
    o.ProgramDateStar = p.start;
    o.ProgramDateEnd = p.end;
    o.RC = title;
    saveOptions(m_state.settings, o, {k::PDC});
    m_state.settings.sync();
    accept();
}

int frmPlanSetup::exec()
{
    const int result = QDialog::exec();
    if (result == Accepted && OpenListOnOK) {
        frmProgram plan(m_state, parentWidget());
        plan.exec();
    }
    return result;
}

} // namespace ravo
