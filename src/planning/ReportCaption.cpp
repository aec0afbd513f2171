#include "ReportCaption.h"

#include "LedgerReport.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace ravo {

ReportCaption::ReportCaption(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("ReportCaption"));
    setWindowTitle(QStringLiteral("报表标题"));
    createLayout();
}

void ReportCaption::createLayout()
{
    Label1 = new QLabel(QStringLiteral("报表标题："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtReportCaption = new QLineEdit(this);
    txtReportCaption->setObjectName(QStringLiteral("txtReportCaption"));
    txtReportCaption->setMinimumWidth(260);
    txtReportCaption->installEventFilter(this);
    Label1->setBuddy(txtReportCaption);

    OKButton = new QPushButton(QStringLiteral("确定(&O)"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("取消(&C)"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OKButton, &QPushButton::clicked, this, &ReportCaption::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &ReportCaption::CancelButton_Click);

    auto* line = new QHBoxLayout;
    line->addWidget(Label1);
    line->addWidget(txtReportCaption, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setSizeGripEnabled(false);
}

void ReportCaption::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    txtReportCaption->setText(m_state.options.RepCaption);
    txtReportCaption->setFocus(Qt::OtherFocusReason);
    txtReportCaption->selectAll();
}

bool ReportCaption::eventFilter(QObject* watched, QEvent* event)
{
    // The whole title is selected whenever the box gets the focus, so that
    // typing replaces it. A click would undo an immediate selection.
    if (watched == txtReportCaption && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtReportCaption, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

void ReportCaption::OKButton_Click()
{
    const QString title = txtReportCaption->text();
    m_state.options.RepCaption = title;
    saveOptions(m_state.settings, m_state.options, {optionkeys::Report});
    accept();
}

void ReportCaption::CancelButton_Click()
{
    reject();
}

int ReportCaption::exec()
{
    const int result = QDialog::exec();
    if (result == Accepted && PrintOnOK)
        PrintLedgerReport(m_state, parentWidget(), m_direct);
    return result;
}

} // namespace ravo
