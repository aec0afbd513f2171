#include "frmMain.h"

#include "DistinctValuesModel.h"
#include "MainCommands.h"
#include "SplitterHandle.h"
#include "StatusPanels.h"

#include "core/Ledger.h"
#include "core/LedgerSchema.h"
#include "core/Shutdown.h"
#include "planning/ResultPrint.h"
#include "platform/Units.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QSqlDriver>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

namespace ravo {

namespace {

const QString AllFields = QStringLiteral("全部");
// The server announces on this channel, with the table's name, every
// statement that changed one of the ledger tables.
const QString ChangeChannel = QStringLiteral("ravo_changed");
const QString ResultSelect = QStringLiteral("select * into MSys检索临时表 from ");

// Geometry in twips on top of the widgets' pixels.
int leftTw(const QWidget* w)
{
    return int(pixelsToTwips(w->x()));
}
int topTw(const QWidget* w)
{
    return int(pixelsToTwips(w->y()));
}
int widthTw(const QWidget* w)
{
    return int(pixelsToTwips(w->width()));
}
void setLeftTw(QWidget* w, int twips)
{
    w->move(twipsToPixels(twips), w->y());
}
void setWidthTw(QWidget* w, int twips)
{
    w->resize(std::max(0, twipsToPixels(twips)), w->height());
}
void setTopTw(QWidget* w, int twips)
{
    w->move(w->x(), twipsToPixels(twips));
}
void setHeightTw(QWidget* w, int twips)
{
    w->resize(w->width(), std::max(0, twipsToPixels(twips)));
}

constexpr int MinWindowWidth = 3000;   // twips
constexpr int MinNavigatorWidth = 800; // also the least distance from the right edge
constexpr int DragMargin = 500;        // the drag bar keeps this far from either edge
constexpr int SplitterWidth = 60;
constexpr int NavTouchZone = 50; // the pointer brings the hidden navigator back here

// The stored placement, unless a settings file edited by hand or damaged
// puts the window where the user cannot reach it: a title bar off every
// screen gives the default position, a size of no use (empty, or many
// times the screens) the default size.
WindowPlacement reachablePlacement(WindowPlacement p)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return p;
    const QRect desktop = screen->availableVirtualGeometry();
    const WindowPlacement d;
    if (p.width <= 0 || p.height <= 0 || twipsToPixels(p.width) > 4 * desktop.width()
        || twipsToPixels(p.height) > 4 * desktop.height()) {
        p.width = d.width;
        p.height = d.height;
    }
    const QRect titleBar(twipsToPixels(p.left), twipsToPixels(p.top), twipsToPixels(p.width), 30);
    if (desktop.intersected(titleBar).width() < 100) {
        p.left = d.left;
        p.top = d.top;
    }
    return p;
}

} // namespace

frmMain::frmMain(ProgramState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_result(state.LedgerDatabase), m_model(m_result)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AppTitle);
    setMinimumWidth(twipsToPixels(MinWindowWidth));
    createControls();
    commands = new MainCommands(*this, m_state);
    updateCounter();
    updateClock();
}

frmMain::~frmMain()
{
    m_clock->stop();
    // The models read the ledger; let go of them before the connection goes.
    DBGridListBook->setModel(nullptr);
    dblSort->setModel(nullptr);
}

// ---------------------------------------------------------------- composition

void frmMain::createControls()
{
    tbToolBar = new QToolBar(QStringLiteral("工具栏"), this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setMovable(false);
    tbToolBar->setFloatable(false);
    tbToolBar->setIconSize(QSize(24, 24));
    tbToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, tbToolBar);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    picTitles = new QWidget(m_client);
    picTitles->setObjectName(QStringLiteral("picTitles"));
    picTitles->setAutoFillBackground(true);
    picTitles->setBackgroundRole(QPalette::Mid);
    const QStringList captions = {QStringLiteral("快速导航器"), QStringLiteral("从数据库中检索到以下内容：")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* label = new QLabel(captions.at(i), picTitles);
        label->setObjectName(QStringLiteral("lblTitle(%1)").arg(i));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setIndent(4);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        label->setForegroundRole(QPalette::Light);
        lblTitle.append(label);
    }
    lblTitle[1]->setMouseTracking(true);
    lblTitle[1]->installEventFilter(this);

    createNavigator(m_client);
    createGrid(m_client);

    imgSplitter = new SplitterHandle(m_client);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    setWidthTw(imgSplitter, SplitterWidth);
    connect(imgSplitter, &SplitterHandle::pressed, this, &frmMain::imgSplitter_MouseDown);
    connect(imgSplitter, &SplitterHandle::moved, this, &frmMain::imgSplitter_MouseMove);
    connect(imgSplitter, &SplitterHandle::released, this, &frmMain::imgSplitter_MouseUp);

    picSplitter = new QFrame(m_client);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette grey = picSplitter->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    picSplitter->setPalette(grey);
    picSplitter->hide();

    createStatusBar();
    layoutNavigatorVertically();
}

void frmMain::createNavigator(QWidget* client)
{
    cboDbase = new QComboBox(client);
    cboDbase->setObjectName(QStringLiteral("cboDbase"));
    cboField = new QComboBox(client);
    cboField->setObjectName(QStringLiteral("cboField"));
    cboField->setMaxVisibleItems(20);
    m_values = new DistinctValuesModel(m_state.LedgerDatabase, this);
    dblSort = new QListView(client);
    dblSort->setObjectName(QStringLiteral("dblSort"));
    dblSort->setModel(m_values);
    dblSort->setUniformItemSizes(true);
    dblSort->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dblSort->setSelectionMode(QAbstractItemView::SingleSelection);
    dblSort->installEventFilter(this);

    connect(cboDbase, &QComboBox::activated, this, [this] { cboDbase_Click(); });
    connect(cboField, &QComboBox::activated, this, [this] { cboField_Click(); });
    connect(dblSort, &QListView::clicked, this, [this](const QModelIndex& index) { dblSort_Click(index.row()); });
}

void frmMain::createGrid(QWidget* client)
{
    DBGridListBook = new QTableView(client);
    DBGridListBook->setObjectName(QStringLiteral("DBGridListBook"));
    DBGridListBook->setModel(&m_model);
    // The grid shows a copy of the rows; typing into it would change nothing
    // that matters, so it is read-only.
    DBGridListBook->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridListBook->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGridListBook->setAlternatingRowColors(true);
    DBGridListBook->setWordWrap(false);
    DBGridListBook->verticalHeader()->setDefaultSectionSize(22);
    DBGridListBook->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGridListBook->horizontalHeader()->setDefaultSectionSize(110);
    DBGridListBook->horizontalHeader()->setHighlightSections(false);
    for (QWidget* w : {DBGridListBook->viewport(), DBGridListBook->horizontalHeader()->viewport(),
                       DBGridListBook->verticalHeader()->viewport()}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    connect(DBGridListBook->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { updateCounter(); });
}

void frmMain::createStatusBar()
{
    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
    setStatusBar(sbStatusBar);
    auto* panels = new StatusPanels(sbStatusBar->objectName(), sbStatusBar);
    for (int i = 1; i <= 4; ++i)
        m_panels.append(panels->panel(i));
    sbStatusBar->addWidget(panels, 1);
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &frmMain::updateClock);
    m_clock->start();
}

QString frmMain::panelText(int panel) const
{
    return panel >= 1 && panel <= m_panels.size() ? m_panels.at(panel - 1)->text() : QString();
}

void frmMain::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    m_panels[2]->setText(now.date().toString(QStringLiteral("yyyy-MM-dd")));
    m_panels[3]->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
}

void frmMain::updateCounter()
{
    m_panels[0]->setText(QStringLiteral("共从数据库中检索到 %1 条记录").arg(m_result.recordCount()));
}

// -------------------------------------------------------------------- loading

bool frmMain::load()
{
    NoShow = true;

    const WindowPlacement p = reachablePlacement(readWindowPlacement(m_state.settings));
    move(twipsToPixels(p.left), twipsToPixels(p.top));
    resize(twipsToPixels(p.width), twipsToPixels(p.height));

    // On a server the sign-in has connected already, as the account that
    // signed in.
    if (m_state.server) {
        if (!m_state.LedgerDatabase.isOpen()) {
            m_state.prompt.error(QStringLiteral("没有连接到数据库服务器上的台帐。"), AppTitle);
            return false;
        }
        attachServer();
    } else if (DbError e = m_state.LedgerDatabase.open(m_state.databasePath())) {
        m_state.prompt.error(e.text(), AppTitle);
        return false;
    }
    // The attachment and history tables come with this program; an older
    // ledger gets them now, a newer one is not touched. A database that is
    // no ledger (no in-use ledger in it) is left as it is and refused below.
    if (DbError e = m_state.LedgerDatabase.tableExists(tables::InUse) ? upgradeLedgerSchema(m_state.LedgerDatabase)
                                                                      : DbError()) {
        // On a server only the ledger's owner adds tables: the ledger is
        // used as it is until the owner brings it up to date.
        if (e.kind == DbError::Kind::PermissionDenied) {
            // What the ledger lacks until then depends on how old it is.
            const QString lacks = ledgerSchemaVersion(m_state.LedgerDatabase) == 0
                ? QStringLiteral("还没有附件和履历数据表；附件和变更履历暂时不能使用。")
                : QStringLiteral("变更履历还没有防止修改和删除的保护。");
            m_state.prompt.plain(
                QStringLiteral("服务器上的这个台帐是由较早版本的 RAVO 建立的，%1\n请数据库的所有者运行 "
                               "ravo_makedb --server \"host=… dbname=%2 user=所有者\" 升级台帐。")
                    .arg(lacks, m_state.LedgerDatabase.serverAddress().database),
                AppTitle);
        } else {
            m_state.prompt.error(e.text(), AppTitle);
            m_state.LedgerDatabase.close();
            return false;
        }
    }

    // Working tables ("MSys…") and temporary objects ("~…") are not for the
    // user to browse.
    cboDbase->clear();
    for (const QString& name : m_state.LedgerDatabase.tables(true))
        if (!name.startsWith(QLatin1String("MSys")) && !name.startsWith(QLatin1Char('~')))
            cboDbase->addItem(name);
    if (!selectStartTable())
        return false;

    m_state.InstrumentClasses = &instrumentClasses();
    showGreeting();
    runOptionsPass();
    applyLevelRights();
    SizeControls(m_splitterPos);
    return true;
}

// The in-use ledger is the seventh table of the installed ledger; a ledger
// with tables of its own still opens on the in-use ledger.
bool frmMain::selectStartTable()
{
    int index = cboDbase->findText(tables::InUse);
    if (index < 0 && cboDbase->count() > 6)
        index = 6;
    if (index < 0) {
        m_state.prompt.error(QStringLiteral("台帐数据库不完整：找不到数据表《%1》，程序无法继续运行。\n%2：%3")
                                 .arg(tables::InUse,
                                      m_state.server ? QStringLiteral("数据库服务器") : QStringLiteral("数据库文件"),
                                      m_state.server ? m_state.LedgerDatabase.description() : m_state.databasePath()),
                             AppTitle);
        return false;
    }
    cboDbase->setCurrentIndex(index);
    cboDbase_Click();
    return true;
}

void frmMain::showGreeting()
{
    const int i = m_state.CurrentUser - 1;
    if (i < 0 || i >= m_state.UserList.size())
        return;
    m_panels[1]->setText(QStringLiteral("你好：") + m_state.UserList.at(i).Name
                         + QStringLiteral(" 欢迎你使用本软件！祝你工作愉快！"));
}

void frmMain::runOptionsPass()
{
    const OptionsPassResult pass = seedOptions(m_state.settings, QDate::currentDate());
    m_state.options = pass.options;
    m_state.SavedQueries = pass.savedQueries;
}

void frmMain::applyLevelRights()
{
    const int i = m_state.CurrentUser - 1;
    const int level = i >= 0 && i < m_state.UserList.size() ? m_state.UserList.at(i).Level : 0;
    commands->applyLevel(level);
}

// ------------------------------------------------------------ server ledger

void frmMain::attachServer()
{
    Database& db = m_state.LedgerDatabase;
    setWindowTitle(AppTitle + QStringLiteral(" — 服务器 ") + db.description());
    // The windows open when the connection goes lose their working copies
    // with it; they are named when it is made again.
    db.setConnectionLostHandler([this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const Qt::WindowType type = w->windowType();
            if (w == this || !w->isVisible() || (type != Qt::Dialog && type != Qt::Window)
                || qobject_cast<QMessageBox*>(w) || qobject_cast<QProgressDialog*>(w))
                continue;
            const QString title = w->windowTitle().trimmed();
            if (!title.isEmpty() && !m_lostWindows.contains(title))
                m_lostWindows << title;
        }
    });
    listenForColleagues();
}

void frmMain::listenForColleagues()
{
    QSqlDriver* driver = m_state.LedgerDatabase.connection().driver();
    if (!driver || !driver->hasFeature(QSqlDriver::EventNotifications))
        return;
    // Without the subscription the grid still shows colleagues' work at the
    // next requery; only the notice is missing.
    if (!driver->subscribeToNotification(ChangeChannel))
        return;
    connect(driver, &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                // This session's own changes are in the grid after the
                // requery that follows every editor.
                if (name == ChangeChannel && source == QSqlDriver::OtherSource)
                    colleagueChanged(payload.toString());
            });
}

void frmMain::colleagueChanged(const QString& table)
{
    const bool shown = table.compare(m_state.CurrentTable, Qt::CaseInsensitive) == 0
        || (!m_state.QuerySQL.isEmpty() && m_state.QuerySQL.contains(table, Qt::CaseInsensitive));
    if (!shown || table.isEmpty())
        return;
    m_colleagueNotice = QStringLiteral("其他用户修改了《%1》，刷新（F5）即可看到").arg(table);
    m_panels[1]->setText(m_colleagueNotice);
    // A narrow window cuts the panel short; the whole notice stays at hand.
    m_panels[1]->setToolTip(m_colleagueNotice);
}

void frmMain::clearColleagueNotice()
{
    if (m_colleagueNotice.isEmpty())
        return;
    m_colleagueNotice.clear();
    m_panels[1]->clear();
    m_panels[1]->setToolTip(QString());
    showGreeting();
}

bool frmMain::ensureConnected()
{
    Database& db = m_state.LedgerDatabase;
    if (!m_state.server || m_reconnecting || !db.canReconnect())
        return true;
    // A connection that could not be made again last time is closed.
    if (db.isOpen() && !db.connectionLost() && !db.checkConnection())
        return true;
    m_reconnecting = true;
    // The grid's table went with the old session.
    detachGrid();
    if (const DbError e = db.reconnect()) {
        m_reconnecting = false;
        updateCounter();
        // The server's own words say whether it is away or refuses.
        m_state.prompt.error((e.kind == DbError::Kind::LostConnection
                                  ? e.description
                                  : QStringLiteral("不能重新连接数据库服务器：%1").arg(e.description))
                                 + QStringLiteral("\n\n下一次操作（刷新、打开窗口）时程序会再次连接。"),
                             AppTitle);
        return false;
    }
    listenForColleagues();
    const QString statement = m_shownStatement.isEmpty() ? ResultSelect + cboDbase->currentText() : m_shownStatement;
    if (rebuildResult(statement, true))
        (void)showWholeTable();
    itemSort();
    m_reconnecting = false;
    const QStringList lost = std::exchange(m_lostWindows, {});
    if (lost.isEmpty()) {
        m_panels[1]->setText(QStringLiteral("与数据库服务器的连接中断过，已于 %1 重新连接")
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
        return true;
    }
    m_state.prompt.message(QStringLiteral("与数据库服务器的连接中断过，程序已经重新连接。已经保存的内容没有丢失。\n\n"
                                          "连接中断时打开着的以下窗口中，还没有按“确定”保存的修改随中断的连接丢失了，"
                                          "请重新打开它们再做一次：\n%1")
                               .arg(QStringLiteral("《") + lost.join(QStringLiteral("》\n《")) + QStringLiteral("》")),
                           AppTitle, Prompter::Icon::Information);
    return true;
}

// ----------------------------------------------------------------- activation

bool frmMain::event(QEvent* event)
{
    const bool done = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate && m_state.LedgerDatabase.isOpen())
        activate();
    return done;
}

void frmMain::activate()
{
    m_state.EditorMode = ActiveWindow::Main;
    if (m_state.RequeryOnActivate)
        requery();
    if (!m_state.options.Nav)
        applyDockedNavigator();
    if (m_state.options.Awoke && NoShow) {
        // Cleared first: the list is modal and its closing activates this
        // window again.
        NoShow = false;
        commands->showDueListAtStartup();
    }
    emit activated();
}

// ---------------------------------------------------- tables, fields, values

void frmMain::cboDbase_Click()
{
    // A table picked while the server was away still becomes the current
    // one; its rows come with the next action that reaches the server.
    (void)ensureConnected();
    cboField->clear();
    cboField->addItem(AllFields);
    cboField->addItems(m_state.LedgerDatabase.columns(cboDbase->currentText()));
    cboField->setCurrentIndex(0);
    cboField_Click();
    m_state.CurrentTable = cboDbase->currentText();
}

void frmMain::cboField_Click()
{
    // A table that cannot be shown leaves the grid empty and the count at 0.
    if (cboField->currentText() == AllFields)
        (void)showWholeTable();
    itemSort();
    updateCounter();
}

void frmMain::itemSort()
{
    const QString field = cboField->currentText();
    if (field == AllFields || field.isEmpty())
        m_values->clear();
    else
        m_values->setSource(cboDbase->currentText(), field);
}

void frmMain::dblSort_Click(int row)
{
    if (row < 0 || row >= m_values->rowCount())
        return;
    t_sqlselectfield = m_values->valueAt(row);
    SQLQueryStar();
}

bool frmMain::SQLQueryStar()
{
    if (!ensureConnected())
        return false;
    const QString table = cboDbase->currentText();
    const QString field = cboField->currentText();
    const QString& value = t_sqlselectfield;
    const QString head = ResultSelect + table + QStringLiteral(" where ") + field;
    if (isDateColumnForSearch(field))
        t_sqlappend = head + (value.isEmpty() ? QStringLiteral(" = null") : QStringLiteral(" = #") + value + u'#');
    else if (columnKind(field) == ColumnKind::Number)
        t_sqlappend = head + QStringLiteral(" = ") + value;
    else
        t_sqlappend = head + (value.isEmpty() ? QStringLiteral(" = null") : QStringLiteral(" = ") + quoted(value));

    const DbError e = rebuildResult(t_sqlappend, true);
    if (!e) {
        updateCounter();
        return true;
    }
    if (e.kind == DbError::Kind::LostConnection) {
        m_state.prompt.error(e.description, AppTitle);
        return false;
    }
    // A statement that cannot run must not leave the grid without rows to
    // show: the whole table comes back and the user learns why.
    (void)showWholeTable();
    QString text;
    if (value.isEmpty())
        text = QStringLiteral("“%1”没有填写的记录不能用快速检索查找。").arg(field);
    else
        text = QStringLiteral("无法检索“%1”为“%2”的记录：%3").arg(field, value, e.description);
    text += QStringLiteral("\n\n现在显示的是《%1》中的全部记录。").arg(table);
    m_state.prompt.error(text, AppTitle);
    return false;
}

bool frmMain::requery()
{
    m_state.RequeryOnActivate = false;
    if (!ensureConnected())
        return false;
    const QString statement = m_state.QuerySQL.isEmpty() ? ResultSelect + cboDbase->currentText() : m_state.QuerySQL;
    const DbError e = rebuildResult(statement, true);
    // The data may have changed under the value list too.
    itemSort();
    updateCounter();
    if (!e)
        return true;
    if (e.kind == DbError::Kind::LostConnection) {
        // Not the query's fault: the next action connects again.
        m_state.prompt.error(e.description, AppTitle);
        return false;
    }
    (void)showWholeTable(); // the statement's failure is what the user is told
    m_state.prompt.plain(QStringLiteral("查询语句错误，请检查你设置的查询条件！"), AppTitle);
    return false;
}

// ------------------------------------------------------------- result table

void frmMain::detachGrid()
{
    m_result.close();
}

void frmMain::attachGrid()
{
    // A result table that cannot be opened shows as an empty grid counting 0.
    (void)m_result.openTable(tables::SearchResult);
    updateCounter();
}

DbError frmMain::rebuildResult(const QString& statement, bool throughScratch)
{
    detachGrid();
    dropWorkingTable(m_state.LedgerDatabase, tables::SearchResult);
    const DbResult r =
        throughScratch ? m_state.LedgerDatabase.runScratch(statement) : m_state.LedgerDatabase.execute(statement);
    if (!r.ok()) {
        updateCounter();
        return r.error;
    }
    // The table was just made by the statement, so its rows need no count.
    if (DbError e = m_result.openFilledTable(tables::SearchResult)) {
        updateCounter();
        return e;
    }
    updateCounter();
    m_shownStatement = statement;
    clearColleagueNotice();
    emit resultRebuilt();
    return {};
}

DbError frmMain::showWholeTable()
{
    return rebuildResult(ResultSelect + cboDbase->currentText(), false);
}

std::optional<QString> frmMain::currentCellText() const
{
    const QModelIndex index = DBGridListBook->currentIndex();
    if (!index.isValid())
        return std::nullopt;
    return m_model.data(index).toString();
}

void frmMain::PrintQuery()
{
    // The rows the user is looking at, under a title asked for first.
    ravo::PrintQuery(m_state, tables::SearchResult, resultprint::DefaultTitle, this);
}

// ---------------------------------------------------------------- geometry

int frmMain::clientWidthTwips() const
{
    return widthTw(m_client);
}

void frmMain::layoutNavigatorVertically()
{
    int titleHeight = 0;
    for (QLabel* l : lblTitle)
        titleHeight = std::max(titleHeight, l->sizeHint().height());
    titleHeight += 6;
    picTitles->setGeometry(0, 0, m_client->width(), titleHeight);
    for (QLabel* l : lblTitle)
        l->setGeometry(l->x(), 0, l->width(), titleHeight);
    const int top = titleHeight + 2;
    const int comboHeight = std::max(cboDbase->sizeHint().height(), cboField->sizeHint().height());
    cboDbase->setGeometry(cboDbase->x(), top, cboDbase->width(), comboHeight);
    cboField->setGeometry(cboField->x(), top + comboHeight + 2, cboField->width(), comboHeight);
    dblSort->move(dblSort->x(), top + 2 * (comboHeight + 2));
    DBGridListBook->move(DBGridListBook->x(), top);
}

int frmMain::SizeControls(int x)
{
    const int W = clientWidthTwips();
    const int H = int(pixelsToTwips(m_client->height()));
    if (x < MinNavigatorWidth)
        x = MinNavigatorWidth;
    if (x > W - MinNavigatorWidth)
        x = W - MinNavigatorWidth;

    setWidthTw(cboField, x);
    setWidthTw(cboDbase, x);
    setWidthTw(dblSort, x);
    setLeftTw(imgSplitter, x);

    setLeftTw(DBGridListBook, x + 40);
    setWidthTw(DBGridListBook, W - (widthTw(dblSort) + 140));

    setWidthTw(lblTitle[0], widthTw(dblSort));
    setLeftTw(lblTitle[1], leftTw(DBGridListBook) + 20);
    setWidthTw(lblTitle[1], widthTw(DBGridListBook) - 40);

    // The client area ends at the status bar.
    setHeightTw(dblSort, H - topTw(dblSort));
    setHeightTw(DBGridListBook, H - topTw(DBGridListBook));

    setTopTw(imgSplitter, topTw(DBGridListBook));
    setHeightTw(imgSplitter, int(pixelsToTwips(DBGridListBook->height())));
    imgSplitter->raise();
    return x;
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!isMinimized() && pixelsToTwips(width()) < MinWindowWidth)
        resize(twipsToPixels(MinWindowWidth), height());
}

void frmMain::applyDockedNavigator()
{
    for (QWidget* w : {static_cast<QWidget*>(lblTitle[0]), static_cast<QWidget*>(cboDbase),
                       static_cast<QWidget*>(cboField), static_cast<QWidget*>(dblSort)})
        setLeftTw(w, 0);
    const int W = clientWidthTwips();
    setLeftTw(lblTitle[1], widthTw(lblTitle[0]) + 60);
    setWidthTw(lblTitle[1], W - (widthTw(lblTitle[0]) + 60));
    setLeftTw(DBGridListBook, widthTw(dblSort) + 60);
    setWidthTw(DBGridListBook, W - (widthTw(dblSort) + 60));
    // The splitter fills the gap between the navigator and the grid, where
    // the pointer looks for it.
    setLeftTw(imgSplitter, widthTw(cboField));
    imgSplitter->raise();
    NavHidden = false;
    m_navFloating = false;
}

void frmMain::setNavigatorHidden(bool hidden)
{
    const int W = clientWidthTwips();
    for (QWidget* w : {static_cast<QWidget*>(lblTitle[0]), static_cast<QWidget*>(cboField),
                       static_cast<QWidget*>(cboDbase), static_cast<QWidget*>(dblSort)})
        setLeftTw(w, hidden ? -widthTw(w) : 0);
    if (hidden) {
        setLeftTw(lblTitle[1], 0);
        setWidthTw(lblTitle[1], W);
        setLeftTw(DBGridListBook, 0);
        setWidthTw(DBGridListBook, W);
    } else {
        setLeftTw(lblTitle[1], widthTw(lblTitle[0]) + 60);
        setWidthTw(lblTitle[1], W - (widthTw(lblTitle[0]) + 60));
        setLeftTw(DBGridListBook, widthTw(dblSort) + 60);
        setWidthTw(DBGridListBook, W - (widthTw(dblSort) + 60));
    }
    // While the navigator floats the splitter is out of reach.
    setLeftTw(imgSplitter, -60);
    NavHidden = hidden;
    m_navFloating = true;
}

void frmMain::MoveNav(int x)
{
    if (!m_state.options.Nav)
        return;
    if (NavHidden) {
        if (x < NavTouchZone)
            setNavigatorHidden(false);
    } else {
        setNavigatorHidden(true);
    }
}

void frmMain::imgSplitter_MouseDown()
{
    picSplitter->setGeometry(imgSplitter->x(), imgSplitter->y(), twipsToPixels(widthTw(imgSplitter) / 2),
                             std::max(0, twipsToPixels(int(pixelsToTwips(imgSplitter->height())) - 20)));
    picSplitter->show();
    picSplitter->raise();
    SplitterMoving = true;
}

void frmMain::imgSplitter_MouseMove(int x)
{
    if (!SplitterMoving)
        return;
    const int W = clientWidthTwips();
    const int p = leftTw(imgSplitter) + x;
    setLeftTw(picSplitter, p < DragMargin ? DragMargin : p > W - DragMargin ? W - DragMargin : p);
}

void frmMain::imgSplitter_MouseUp()
{
    if (!SplitterMoving)
        return;
    m_splitterPos = SizeControls(leftTw(picSplitter));
    picSplitter->hide();
    SplitterMoving = false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        // The window's resize: lay out at the splitter position in use (a
        // floating navigator keeps floating).
        layoutNavigatorVertically();
        SizeControls(m_splitterPos);
        if (m_navFloating)
            setNavigatorHidden(NavHidden);
        return false;
    }
    if (event->type() == QEvent::MouseMove) {
        auto* w = qobject_cast<QWidget*>(watched);
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (w == lblTitle[1])
            MoveNav(int(pixelsToTwips(pos.x())));
        else if (w && DBGridListBook->isAncestorOf(w))
            MoveNav(int(pixelsToTwips(w->mapTo(DBGridListBook, pos).x())));
        return false;
    }
    if (watched == dblSort && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            dblSort_Click(dblSort->currentIndex().row());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- shut-down

void frmMain::savePlacement()
{
    if (isMinimized())
        return;
    WindowPlacement p;
    p.left = float(pixelsToTwips(pos().x()));
    p.top = float(pixelsToTwips(pos().y()));
    p.width = float(pixelsToTwips(width()));
    p.height = float(pixelsToTwips(height()));
    // The last account is a position in the settings' own account list; a
    // server account has none there, and leaves it as it was.
    const int lastUser = m_state.server
        ? m_state.settings.readInt16(SettingsStore::MainApp, optionkeys::Settings, optionkeys::OldUser).value_or(0)
        : m_state.CurrentUser - 1;
    saveWindowPlacement(m_state.settings, p, lastUser);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_state.prompt.confirm(QStringLiteral("你确认要退出本系统吗？"), QString())) {
        event->ignore();
        return;
    }
    savePlacement();
    // Every other window of the program goes with the main window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    m_clock->stop();
    detachGrid();
    m_values->clear();
    closeLedger(m_state.LedgerDatabase);
    m_state.settings.sync();
    event->accept();
}

} // namespace ravo
