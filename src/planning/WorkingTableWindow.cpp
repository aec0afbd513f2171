#include "WorkingTableWindow.h"

#include "DepartmentPrint.h"
#include "PlanningTexts.h"
#include "ResultPrint.h"
#include "core/DueList.h"
#include "platform/ExportToFile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace ravo {

WorkingTableWindow::WorkingTableWindow(ProgramState& state, const QString& workingTable, const QString& okName,
                                       QWidget* parent)
    : QDialog(parent), Data1(state.LedgerDatabase), m_state(state), m_model(Data1), m_dueModel(Data1, m_model),
      m_table(workingTable)
{
    createLayout(okName);
}

WorkingTableWindow::~WorkingTableWindow()
{
    // A window destroyed without being closed (its owner went first) still
    // leaves no table behind.
    unload();
}

void WorkingTableWindow::createLayout(const QString& okName)
{
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(&m_dueModel);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setAlternatingRowColors(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->horizontalHeader()->setDefaultSectionSize(110);
    DBGrid1->horizontalHeader()->setHighlightSections(false);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));

    cmdPrint = new QPushButton(planningtexts::PrintCaption, this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdPrint->setAutoDefault(false);
    connect(cmdPrint, &QPushButton::clicked, this, &WorkingTableWindow::cmdPrint_Click);

    cmdPrintByDepartment = new QPushButton(departmentprint::ButtonCaption, this);
    cmdPrintByDepartment->setObjectName(QStringLiteral("cmdPrintByDepartment"));
    cmdPrintByDepartment->setAutoDefault(false);
    connect(cmdPrintByDepartment, &QPushButton::clicked, this, &WorkingTableWindow::cmdPrintByDepartment_Click);

    cmdExport = new QPushButton(planningtexts::ExportCaption, this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setAutoDefault(false);
    connect(cmdExport, &QPushButton::clicked, this, &WorkingTableWindow::cmdExport_Click);

    m_ok = new QPushButton(planningtexts::OkCaption, this);
    m_ok->setObjectName(okName);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label2, 1);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdPrintByDepartment);
    buttons->addWidget(cmdExport);
    buttons->addWidget(m_ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);
    resize(860, 440);
}

DbError WorkingTableWindow::build()
{
    if (DbResult r = m_state.LedgerDatabase.runScratch(statement()); !r.ok())
        return r.error;
    // The list was just made by the statement, so its rows need no count.
    return Data1.openFilledTable(m_table);
}

bool WorkingTableWindow::load()
{
    m_touched = true;
    DbError e = build();
    if (e.number == DbError::TableExists) {
        // A copy left behind by an earlier run: let it go and make it afresh,
        // once. Letting go of a source cannot fail; a drop that fails makes
        // the second build fail, and that failure is shown.
        (void)Data1.setRecordSource(QString());
        (void)m_state.LedgerDatabase.execute(QStringLiteral("drop table ") + m_table + QLatin1Char(';'));
        e = build();
    }
    if (e) {
        m_state.prompt.plain(e.text(), AppTitle);
        return false;
    }
    m_loaded = true;
    // The grid opens sorted by validity date, the soonest first. The header
    // is told first, so that switching sorting on sorts once, by that column.
    m_dueModel.setDueRule(today(), duelist::leadDays(m_state.options));
    DBGrid1->horizontalHeader()->setSortIndicator(m_dueModel.validColumn(), Qt::AscendingOrder);
    DBGrid1->setSortingEnabled(true);
    return true;
}

int WorkingTableWindow::exec()
{
    if (!m_loaded && !load()) {
        unload();
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

void WorkingTableWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        activate();
}

void WorkingTableWindow::activate()
{
    // A refresh that fails keeps the rows the grid had; the count says so.
    (void)Data1.refresh();
    m_dueModel.setDueRule(today(), duelist::leadDays(m_state.options));
    Label2->setText(planningtexts::recordCountText(Data1.recordCount()));
}

void WorkingTableWindow::done(int result)
{
    unload();
    QDialog::done(result);
}

void WorkingTableWindow::unload()
{
    if (!m_touched)
        return;
    m_touched = m_loaded = false;
    (void)Data1.setRecordSource(QString()); // letting go cannot fail
    if (m_state.LedgerDatabase.isOpen())
        dropWorkingTable(m_state.LedgerDatabase, m_table);
}

void WorkingTableWindow::cmdPrint_Click()
{
    // The title box offers the list's own title; the printout is the one
    // of the main window's results.
    PrintQuery(m_state, m_table, printTitle(), this);
}

void WorkingTableWindow::cmdPrintByDepartment_Click()
{
    PrintByDepartment(m_state, m_table, printTitle(), today(), this);
}

void WorkingTableWindow::cmdExport_Click()
{
    exportToFile(m_state, this, m_table, exportTitle());
}

} // namespace ravo
