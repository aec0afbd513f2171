#include "MainCommands.h"

#include "ToolbarIcons.h"
#include "frmImport.h"
#include "frmMain.h"

#include "auxiliary/frmAbout.h"
#include "core/Ledger.h"
#include "core/ProgramState.h"
#include "core/StatusLabel.h"
#include "editors/HistoryCard.h"
#include "editors/frmCertificate.h"
#include "editors/frmClose.h"
#include "editors/frmCondition.h"
#include "editors/frmOperation.h"
#include "editors/frmReject.h"
#include "editors/frmRepair.h"
#include "editors/frmWaitProvide.h"
#include "exchange/Export.h"
#include "planning/ReportCaption.h"
#include "planning/frmOptions.h"
#include "planning/frmOverDate.h"
#include "planning/frmPlanSetup.h"
#include "platform/ExportToFile.h"
#include "platform/HelpWindow.h"
#include "platform/HistoryWindow.h"
#include "platform/KeptWindow.h"
#include "platform/LabelPrint.h"
#include "query/frmQuery.h"
#include "users/frmConnection.h"
#include "users/frmPassword.h"
#include "users/frmUser.h"

#include <QMenuBar>
#include <QToolBar>

namespace ravo {

namespace {

const QString LedgerOnlyMessage = QStringLiteral(
    "对不起！只有检索结果来自于《计量器具在用库》或《计量器具封存库》以及《计量器具报废库》才能使用此项功能！");
const QString NoHelpMessage = QStringLiteral("无法显示帮助目录，该工程没有相关联的帮助。");

struct Button {
    QString key;
    QString tooltip;
    bool blockedForLevel2;
};

// The toolbar, left to right.
const QVector<Button>& buttons()
{
    static const QVector<Button> list = {
        {QStringLiteral("查询向导"), QStringLiteral("查询向导"), false},
        {QStringLiteral("环境记录"), QStringLiteral("环境状况记录"), true},
        {QStringLiteral("待发放库"), QStringLiteral("待发放库"), true},
        {QStringLiteral("在用库"), QStringLiteral("在用计量器具台帐"), true},
        {QStringLiteral("封存库"), QStringLiteral("封存计量器具台帐"), true},
        {QStringLiteral("报废库"), QStringLiteral("报废计量器具台帐"), true},
        {QStringLiteral("确认记录"), QStringLiteral("确认记录"), true},
        {QStringLiteral("修理记录"), QStringLiteral("修理记录"), true},
        {QStringLiteral("到期设备"), QStringLiteral("到期设备"), false},
        {QStringLiteral("检定计划"), QStringLiteral("检定计划"), false},
        {QStringLiteral("打印台帐"), QStringLiteral("打印台帐"), false},
        {QStringLiteral("打印检索结果"), QStringLiteral("打印检索结果"), false},
        {QStringLiteral("系统选项"), QStringLiteral("系统选项"), false},
        {QStringLiteral("退出系统"), QStringLiteral("退出系统"), false},
    };
    return list;
}

} // namespace

const QStringList& MainCommands::toolbarKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const Button& b : buttons())
            k << b.key;
        return k;
    }();
    return keys;
}

MainCommands::MainCommands(frmMain& window, ProgramState& state) : QObject(&window), m_main(window), m_state(state)
{
    setObjectName(QStringLiteral("commands"));
    createMenus();
    createToolbar();
}

// ------------------------------------------------------------ menus, toolbar

QAction* MainCommands::addEntry(QMenu* menu, const char* objectName, const QString& caption, const QKeySequence& key,
                                void (MainCommands::*slot)())
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(objectName));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    if (slot)
        connect(a, &QAction::triggered, this, slot);
    return a;
}

QAction* MainCommands::addSeparator(QMenu* menu, const char* objectName)
{
    QAction* a = menu->addSeparator();
    a->setObjectName(QLatin1String(objectName));
    return a;
}

void MainCommands::createMenus()
{
    QMenuBar* bar = m_main.menuBar();
    auto topMenu = [&](const char* name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    const auto ctrl = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };

    mnuRecord = topMenu("mnuRecord", QStringLiteral("记录(&R)"));
    mnuRecordQuery = addEntry(mnuRecord, "mnuRecordQuery", QStringLiteral("查询(&F)..."), ctrl(Qt::Key_F),
                              &MainCommands::showFrmQuery);
    // The result again as the ledger stands now, colleagues' changes
    // included.
    mnuRecordRefresh =
        addEntry(mnuRecord, "mnuRecordRefresh", QStringLiteral("刷新(&E)"), QKeySequence(Qt::Key_F5), nullptr);
    connect(mnuRecordRefresh, &QAction::triggered, &m_main, [this] { (void)m_main.requery(); });
    mnuFileBar10 = addSeparator(mnuRecord, "mnuFileBar10");
    mnuEditPlan = addEntry(mnuRecord, "mnuEditPlan", QStringLiteral("检定计划(&P)..."), ctrl(Qt::Key_P),
                           &MainCommands::calibrationPlan);
    mnuEditOverDate = addEntry(mnuRecord, "mnuEditOverDate", QStringLiteral("到期设备(&O)..."), ctrl(Qt::Key_O),
                               &MainCommands::dueEquipment);
    mnuFileBar0 = addSeparator(mnuRecord, "mnuFileBar0");
    mnuRecordPrintList = addEntry(mnuRecord, "mnuRecordPrintList", QStringLiteral("打印在用台帐报表(&R)..."),
                                  ctrl(Qt::Key_R), &MainCommands::printLedgerReport);
    mnuRecordPrintQuery =
        addEntry(mnuRecord, "mnuRecordPrintQuery", QStringLiteral("打印检索结果(&S)"), ctrl(Qt::Key_B), nullptr);
    connect(mnuRecordPrintQuery, &QAction::triggered, &m_main, &frmMain::PrintQuery);
    mnuRecordExport = addEntry(mnuRecord, "mnuRecordExport", QStringLiteral("导出(&X)..."), QKeySequence(),
                               &MainCommands::exportResult);
    mnuRecordLabels = addEntry(mnuRecord, "mnuRecordLabels", QStringLiteral("打印标签(&L)..."), QKeySequence(),
                               &MainCommands::printLabels);
    mnuRecordCards = addEntry(mnuRecord, "mnuRecordCards", QStringLiteral("打印履历卡(&H)..."), QKeySequence(),
                              &MainCommands::printCards);
    mnuRecordHistory = addEntry(mnuRecord, "mnuRecordHistory", QStringLiteral("变更履历(&G)..."), QKeySequence(),
                                &MainCommands::showFrmHistory);
    mnuFileBar1 = addSeparator(mnuRecord, "mnuFileBar1");
    mnuRecordQuit =
        addEntry(mnuRecord, "mnuRecordQuit", QStringLiteral("退出(&Q)"), ctrl(Qt::Key_Q), &MainCommands::exitProgram);
    // Spreadsheet import, in a group of its own above the exit.
    mnuRecordBarImport = mnuRecord->insertSeparator(mnuFileBar1);
    mnuRecordBarImport->setObjectName(QStringLiteral("mnuRecordBarImport"));
    mnuRecordImport = new QAction(QStringLiteral("导入(&I)..."), mnuRecord);
    mnuRecordImport->setObjectName(QStringLiteral("mnuRecordImport"));
    mnuRecord->insertAction(mnuFileBar1, mnuRecordImport);
    connect(mnuRecordImport, &QAction::triggered, this, &MainCommands::showFrmImport);

    mnuEdit = topMenu("mnuEdit", QStringLiteral("编辑(&E)"));
    mnuEditCondition = addEntry(mnuEdit, "mnuEditCondition", QStringLiteral("环境记录(&C)..."), ctrl(Qt::Key_C),
                                &MainCommands::showFrmCondition);
    mnuEditWait = addEntry(mnuEdit, "mnuEditWait", QStringLiteral("待发放库(&W)..."), ctrl(Qt::Key_W),
                           &MainCommands::showFrmWaitProvide);
    mnuEditEquipment = addEntry(mnuEdit, "mnuEditEquipment", QStringLiteral("在用器具台帐(&S)..."), ctrl(Qt::Key_S),
                                &MainCommands::inUseLedger);
    mnuEditClose = addEntry(mnuEdit, "mnuEditClose", QStringLiteral("封存器具台帐(&L)"), ctrl(Qt::Key_D),
                            &MainCommands::sealedLedger);
    mnuEditReject = addEntry(mnuEdit, "mnuEditReject", QStringLiteral("报废器具台帐(&R)"), ctrl(Qt::Key_G),
                             &MainCommands::scrappedLedger);
    mnuEditReport = addEntry(mnuEdit, "mnuEditReport", QStringLiteral("确认记录(&T)..."), ctrl(Qt::Key_T),
                             &MainCommands::showFrmCertificate);
    mnuEditRepair = addEntry(mnuEdit, "mnuEditRepair", QStringLiteral("修理记录(&E)..."), ctrl(Qt::Key_E),
                             &MainCommands::showFrmRepair);

    mnuSystem = topMenu("mnuSystem", QStringLiteral("系统(&S)"));
    mnuViewOptions = addEntry(mnuSystem, "mnuViewOptions", QStringLiteral("选项(&I)..."), ctrl(Qt::Key_I),
                              &MainCommands::showFrmOptions);
    mnuSystemUserManage = addEntry(mnuSystem, "mnuSystemUserManage", QStringLiteral("用户管理(&M)..."), ctrl(Qt::Key_M),
                                   &MainCommands::showFrmUser);
    mnuSystemPassword = addEntry(mnuSystem, "mnuSystemPassword", QStringLiteral("密码设置(&K)..."), ctrl(Qt::Key_K),
                                 &MainCommands::changePassword);
    mnuSystemConnection = addEntry(mnuSystem, "mnuSystemConnection", QStringLiteral("数据库连接(&D)..."),
                                   QKeySequence(), &MainCommands::showFrmConnection);

    mnuHelp = topMenu("mnuHelp", QStringLiteral("帮助(&H)"));
    mnuHelpContents =
        addEntry(mnuHelp, "mnuHelpContents", QStringLiteral("帮助(&L)"), ctrl(Qt::Key_L), &MainCommands::helpContents);
    mnuHelpAbout = addEntry(mnuHelp, "mnuHelpAbout", QStringLiteral("关于RVO(&A)..."), ctrl(Qt::Key_A),
                            &MainCommands::showFrmAbout);
}

void MainCommands::createToolbar()
{
    QToolBar* bar = m_main.tbToolBar;
    for (const Button& b : buttons()) {
        QAction* a = bar->addAction(toolbarIcon(b.key), b.key);
        a->setObjectName(b.key);
        a->setData(b.key);
        a->setToolTip(b.tooltip);
        connect(a, &QAction::triggered, this, [this, key = b.key] { tbToolBar_ButtonClick(key); });
        m_buttons.insert(b.key, a);
        // Editors, then lists and printing, then the system.
        if (b.key == QStringLiteral("修理记录") || b.key == QStringLiteral("打印检索结果"))
            bar->addSeparator();
    }
}

void MainCommands::tbToolBar_ButtonClick(const QString& key)
{
    const bool restricted = m_state.RestrictedLevel == 2;
    if (key == QStringLiteral("查询向导")) {
        showFrmQuery();
    } else if (key == QStringLiteral("环境记录")) {
        if (!restricted)
            showFrmCondition();
    } else if (key == QStringLiteral("待发放库")) {
        if (!restricted)
            showFrmWaitProvide();
    } else if (key == QStringLiteral("在用库")) {
        takeSelectedNumber();
        if (!restricted)
            showFrmOperation();
    } else if (key == QStringLiteral("封存库")) {
        takeSelectedNumber();
        if (!restricted)
            showFrmClose();
    } else if (key == QStringLiteral("报废库")) {
        takeSelectedNumber();
        if (!restricted)
            showFrmReject();
    } else if (key == QStringLiteral("确认记录")) {
        if (!restricted)
            showFrmCertificate();
    } else if (key == QStringLiteral("修理记录")) {
        if (!restricted)
            showFrmRepair();
    } else if (key == QStringLiteral("到期设备")) {
        dueEquipment();
    } else if (key == QStringLiteral("检定计划")) {
        calibrationPlan();
    } else if (key == QStringLiteral("打印台帐")) {
        printLedgerReport();
    } else if (key == QStringLiteral("打印检索结果")) {
        m_main.PrintQuery();
    } else if (key == QStringLiteral("系统选项")) {
        showFrmOptions();
    } else if (key == QStringLiteral("退出系统")) {
        exitProgram();
    }
}

// ------------------------------------------------------------------- rights

void MainCommands::applyLevel(int level)
{
    const bool editors = level != 2;
    for (QAction* a : {mnuEditCondition, mnuEditWait, mnuEditEquipment, mnuEditClose, mnuEditReject, mnuEditReport,
                       mnuEditRepair, mnuRecordImport})
        a->setEnabled(editors);
    mnuSystemUserManage->setEnabled(level != 1 && level != 2);
    m_state.RestrictedLevel = level == 2 ? 2 : 0;
}

bool MainCommands::ledgerCheck()
{
    const QString& t = m_state.CurrentTable;
    if (t == tables::InUse || t == tables::Sealed || t == tables::Scrapped)
        return true;
    m_state.prompt.error(LedgerOnlyMessage, AppTitle);
    return false;
}

void MainCommands::takeSelectedNumber()
{
    if (const std::optional<QString> text = m_main.currentCellText())
        m_state.SelectedNumber = *text;
}

// ------------------------------------------------------------------ commands

// Reading only, so every account level may export.
void MainCommands::exportResult()
{
    // The whole table the grid's rows come from is offered beside them.
    const QString whole = exchange::ledgerTables().contains(m_state.CurrentTable) ? m_state.CurrentTable : QString();
    exportToFile(m_state, &m_main, tables::SearchResult, m_state.CurrentTable, whole);
}

// Reading only, so every account level may print labels.
void MainCommands::printLabels()
{
    const std::optional<QStringList> numbers = instrumentNumbersOf(m_state.LedgerDatabase, tables::SearchResult);
    if (!numbers) {
        m_state.prompt.plain(QStringLiteral("检索结果中没有“计量器具编号”一列，不能打印标签。"), AppTitle);
        return;
    }
    QStringList missing;
    const QVector<LabelData> labels = readLabelData(m_state.LedgerDatabase, *numbers, QDate::currentDate(), &missing);
    if (!missing.isEmpty() && !labels.isEmpty()) {
        const QString some = QStringList(missing.mid(0, 5)).join(QStringLiteral("、"));
        if (!m_state.prompt.confirm(
                QStringLiteral("有 %1 个编号不在在用、封存或报废台帐中（%2%3），不打印它们的标签。\n"
                               "打印其余 %4 台器具的标签吗？")
                    .arg(missing.size())
                    .arg(some, missing.size() > 5 ? QStringLiteral("……") : QString())
                    .arg(labels.size()),
                AppTitle))
            return;
    }
    printStatusLabels(&m_main, m_state.prompt, m_state.settings, labels);
}

// Reading only, so every account level may print history cards.
void MainCommands::printCards()
{
    const std::optional<QStringList> numbers = instrumentNumbersOf(m_state.LedgerDatabase, tables::SearchResult);
    if (!numbers || numbers->isEmpty()) {
        m_state.prompt.plain(QStringLiteral("检索结果中没有计量器具编号，不能打印履历卡。"), AppTitle);
        return;
    }
    printHistoryCards(&m_main, m_state.prompt, m_state.LedgerDatabase, *numbers);
}

void MainCommands::calibrationPlan()
{
    if (ledgerCheck())
        showFrmPlanSetup();
}

void MainCommands::dueEquipment()
{
    if (ledgerCheck())
        showFrmOverDate();
}

void MainCommands::printLedgerReport()
{
    if (ledgerCheck())
        showReportCaption();
}

void MainCommands::inUseLedger()
{
    takeSelectedNumber();
    showFrmOperation();
}

void MainCommands::sealedLedger()
{
    takeSelectedNumber();
    showFrmClose();
}

void MainCommands::scrappedLedger()
{
    takeSelectedNumber();
    showFrmReject();
}

void MainCommands::changePassword()
{
    if (request(QStringLiteral("frmPassword"))) {
        // On a server the password is the server account's own.
        if (m_state.server)
            changeServerPassword(m_state, &m_main);
        else
            ravo::changePassword(m_state, &m_main);
        returned();
    }
}

void MainCommands::helpContents()
{
    if (!HelpWindow::manualAvailable()) {
        m_state.prompt.message(NoHelpMessage, m_main.windowTitle(), Prompter::Icon::Information);
        return;
    }
    if (!m_help)
        m_help = new HelpWindow(&m_main);
    if (const QString problem = m_help->showContents(); !problem.isEmpty())
        m_state.prompt.plain(problem, AppTitle);
}

void MainCommands::exitProgram()
{
    m_main.close();
}

// ------------------------------------------------------------------- windows
//
// Each window is shown modally over the main window; its closing activates
// the main window again, which brings the grid up to date when the window
// asked for it.

bool MainCommands::request(const QString& window, bool needsLedger)
{
    // On a server the window starts from a working connection; when the
    // server cannot be reached the user is told and nothing opens.
    if (needsLedger && !m_main.ensureConnected())
        return false;
    emit windowRequested(window);
    return m_opensWindows;
}

// Back from a modal window the main window takes the keyboard again and its
// activation brings the grid up to date. A window manager usually does and
// reports the same, a bare X server neither; a second activation finds
// nothing left to do.
void MainCommands::returned()
{
    m_main.activateWindow();
    m_main.activate();
}

void MainCommands::showFrmQuery()
{
    if (request(QStringLiteral("frmQuery"))) {
        execKept(m_query, m_state, &m_main);
        returned();
    }
}

template <typename Window> void MainCommands::showModal(const QString& name)
{
    if (!request(name))
        return;
    {
        Window window(m_state, &m_main);
        window.exec();
    }
    returned();
}

void MainCommands::showFrmPlanSetup()
{
    showModal<frmPlanSetup>(QStringLiteral("frmPlanSetup"));
}
void MainCommands::showFrmOverDate()
{
    showModal<frmOverDate>(QStringLiteral("frmOverDate"));
}

void MainCommands::showFrmOptions()
{
    if (request(QStringLiteral("frmOptions"))) {
        execKept(m_options, m_state, &m_main);
        returned();
    }
}

void MainCommands::showReportCaption()
{
    showModal<ReportCaption>(QStringLiteral("ReportCaption"));
}
void MainCommands::showFrmCondition()
{
    showModal<frmCondition>(QStringLiteral("frmCondition"));
}
void MainCommands::showFrmWaitProvide()
{
    showModal<frmWaitProvide>(QStringLiteral("frmWaitProvide"));
}
void MainCommands::showFrmOperation()
{
    showModal<frmOperation>(QStringLiteral("frmOperation"));
}
void MainCommands::showFrmClose()
{
    showModal<frmClose>(QStringLiteral("frmClose"));
}
void MainCommands::showFrmReject()
{
    showModal<frmReject>(QStringLiteral("frmReject"));
}
void MainCommands::showFrmCertificate()
{
    showModal<frmCertificate>(QStringLiteral("frmCertificate"));
}
void MainCommands::showFrmRepair()
{
    showModal<frmRepair>(QStringLiteral("frmRepair"));
}
void MainCommands::showFrmUser()
{
    showModal<frmUser>(QStringLiteral("frmUser"));
}
void MainCommands::showFrmAbout()
{
    showModal<frmAbout>(QStringLiteral("frmAbout"));
}
// Needs no connection: a ledger on a server that is gone for good can be
// left for the file here.
void MainCommands::showFrmConnection()
{
    if (!request(QStringLiteral("frmConnection"), false))
        return;
    {
        frmConnection window(m_state, &m_main);
        window.exec();
    }
    returned();
}

// Reading only, so every account level may look.
void MainCommands::showFrmHistory()
{
    if (!request(QStringLiteral("frmHistory")))
        return;
    {
        HistoryWindow window(m_state.LedgerDatabase, m_state.prompt, &m_main);
        window.exec();
    }
    returned();
}

void MainCommands::showFrmImport()
{
    if (m_state.RestrictedLevel != 2)
        showModal<frmImport>(QStringLiteral("frmImport"));
}

} // namespace ravo
