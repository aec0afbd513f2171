#include "frmMain.h"

#include "core/Ledger.h"
#include "core/Shutdown.h"
#include "core/Units.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace ravo {

frmMain::frmMain(ProgramState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_result(state.LedgerDatabase), m_model(m_result)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AppTitle);
    createLayout();
}

void frmMain::createLayout()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    cboDbase = new QComboBox(central);
    cboDbase->setObjectName(QStringLiteral("cboDbase"));
    DBGridListBook = new QTableView(central);
    DBGridListBook->setObjectName(QStringLiteral("DBGridListBook"));
    DBGridListBook->setModel(&m_model);
    DBGridListBook->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridListBook->verticalHeader()->setDefaultSectionSize(22);
    layout->addWidget(cboDbase);
    layout->addWidget(DBGridListBook, 1);
    setCentralWidget(central);
    m_counter = new QLabel(this);
    statusBar()->addWidget(m_counter, 1);
    connect(cboDbase, &QComboBox::textActivated, this, &frmMain::selectTable);
}

bool frmMain::load()
{
    const WindowPlacement p = readWindowPlacement(m_state.settings);
    setGeometry(twipsToPixels(p.left), twipsToPixels(p.top), twipsToPixels(p.width), twipsToPixels(p.height));
    if (DbError e = m_state.LedgerDatabase.open(m_state.databasePath())) {
        m_state.prompt.error(e.text(), AppTitle);
        return false;
    }
    cboDbase->addItems(m_state.LedgerDatabase.tables());
    const int inUse = cboDbase->findText(tables::InUse);
    if (inUse >= 0) {
        cboDbase->setCurrentIndex(inUse);
        selectTable(tables::InUse);
    }
    const OptionsPassResult pass = seedOptions(m_state.settings, QDate::currentDate());
    m_state.options = pass.options;
    m_state.SavedQueries = pass.savedQueries;
    m_state.ShowTipsAtStartup = pass.options.ShowTipsAtStartup;
    return true;
}

void frmMain::selectTable(const QString& table)
{
    m_state.CurrentTable = table;
    m_result.close();
    dropWorkingTable(m_state.LedgerDatabase, tables::SearchResult);
    m_state.LedgerDatabase.execute(QStringLiteral("select * into MSys检索临时表 from ") + table);
    m_result.openTable(tables::SearchResult);
    updateCounter();
}

void frmMain::updateCounter()
{
    m_counter->setText(QStringLiteral("共从数据库中检索到 %1 条记录").arg(m_result.recordCount()));
}

void frmMain::savePlacement()
{
    if (isMinimized())
        return;
    const QRect g = geometry();
    WindowPlacement p;
    p.left = float(pixelsToTwips(g.x()));
    p.top = float(pixelsToTwips(g.y()));
    p.width = float(pixelsToTwips(g.width()));
    p.height = float(pixelsToTwips(g.height()));
    saveWindowPlacement(m_state.settings, p, m_state.CurrentUser - 1);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_state.prompt.confirm(QStringLiteral("你确认要退出本系统吗？"), QString())) {
        event->ignore();
        return;
    }
    savePlacement();
    m_result.close();
    closeLedger(m_state.LedgerDatabase);
    m_state.settings.sync();
    event->accept();
}

} // namespace ravo
