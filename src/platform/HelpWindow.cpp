#include "HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

// The manual lives in the platform library's resources; a static library's
// resources are registered by hand, outside any namespace.
static void registerHelpResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        Q_INIT_RESOURCE(HelpWindow); // the pictures of the windows
        return true;
    }();
    Q_UNUSED(done);
}

namespace ravo {

QString HelpWindow::manualUrl()
{
    return QStringLiteral("qrc:/help/ravo-help.html");
}

bool HelpWindow::manualAvailable()
{
    registerHelpResources();
    return QFile::exists(QStringLiteral(":/help/ravo-help.html"));
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    registerHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("RAVO 帮助"));
    resize(760, 620);

    auto* bar = new QToolBar(this);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setSearchPaths({QStringLiteral(":/help")});

    QAction* home = bar->addAction(QStringLiteral("目录"), m_browser, &QTextBrowser::home);
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    QAction* back = bar->addAction(QStringLiteral("后退"), m_browser, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    QAction* forward = bar->addAction(QStringLiteral("前进"), m_browser, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral(" 查找："), bar));
    m_find = new QLineEdit(bar);
    m_find->setObjectName(QStringLiteral("helpFind"));
    m_find->setPlaceholderText(QStringLiteral("输入要查找的文字，按回车"));
    m_find->setMaximumWidth(240);
    bar->addWidget(m_find);
    connect(m_find, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    QAction* close = bar->addAction(QStringLiteral("关闭"), this, &QWidget::close);
    close->setShortcut(QKeySequence(Qt::Key_Escape));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser);
}

QString HelpWindow::showContents()
{
    return showSection(QString());
}

QString HelpWindow::showSection(const QString& section)
{
    if (!manualAvailable())
        return QStringLiteral("找不到帮助文件（%1）。").arg(manualUrl());
    QUrl url(manualUrl());
    if (!section.isEmpty())
        url.setFragment(section);
    m_browser->setSource(url);
    if (m_browser->document()->isEmpty())
        return QStringLiteral("帮助文件（%1）无法读取。").arg(manualUrl());
    bringToFront();
    return {};
}

void HelpWindow::bringToFront()
{
    if (!isVisible() && parentWidget()) {
        // Over the middle of its owner, but whole on the owner's screen.
        const QRect owner = parentWidget()->window()->frameGeometry();
        QPoint at = owner.center() - QPoint(width() / 2, height() / 2);
        if (const QScreen* screen = parentWidget()->window()->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() - width())));
            at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() - height())));
        }
        move(at);
    }
    show();
    raise();
    activateWindow();
}

QString HelpWindow::pageText() const
{
    return m_browser->toPlainText();
}

void HelpWindow::findNext()
{
    const QString word = m_find->text();
    if (word.isEmpty())
        return;
    if (!m_browser->find(word)) {
        // From the top once more.
        m_browser->moveCursor(QTextCursor::Start);
        m_browser->find(word);
    }
}

// ------------------------------------------------------------- F1 and sections

const QHash<QString, QString>& helpSections()
{
    static const QHash<QString, QString> sections = {
        {QStringLiteral("frmMain"), QStringLiteral("main")},
        {QStringLiteral("frmLogin"), QStringLiteral("login")},
        {QStringLiteral("frmPassword"), QStringLiteral("password")},
        {QStringLiteral("frmUser"), QStringLiteral("usermanage")},
        {QStringLiteral("frmOperation"), QStringLiteral("inuse")},
        {QStringLiteral("frmWaitProvide"), QStringLiteral("stock")},
        {QStringLiteral("frmClose"), QStringLiteral("sealed")},
        {QStringLiteral("frmReject"), QStringLiteral("scrapped")},
        {QStringLiteral("frmCertificate"), QStringLiteral("certificate")},
        {QStringLiteral("frmRepair"), QStringLiteral("repair")},
        {QStringLiteral("frmCondition"), QStringLiteral("condition")},
        {QStringLiteral("frmQuery"), QStringLiteral("query")},
        {QStringLiteral("frmOverDate"), QStringLiteral("due")},
        {QStringLiteral("frmPlanSetup"), QStringLiteral("plan")},
        {QStringLiteral("frmProgram"), QStringLiteral("planlist")},
        {QStringLiteral("frmOptions"), QStringLiteral("options")},
        {QStringLiteral("ReportCaption"), QStringLiteral("report")},
        {QStringLiteral("frmAbout"), QStringLiteral("about")},
        {QStringLiteral("frmHistory"), QStringLiteral("history")},
        {QStringLiteral("frmSysInfo"), QStringLiteral("about")},
        {QStringLiteral("frmTip"), QStringLiteral("tip")},
    };
    return sections;
}

QString helpSectionFor(const QString& windowName)
{
    return helpSections().value(windowName);
}

QString helpSectionOf(const QWidget* window)
{
    if (const QString section = helpSectionFor(window->objectName()); !section.isEmpty())
        return section;
    // A window without a name of its own (the editors are named by their
    // class alone) is known by its class, or by the class it is made from.
    for (const QMetaObject* m = window->metaObject(); m; m = m->superClass()) {
        const QString name = QString::fromLatin1(m->className()).section(QLatin1String("::"), -1);
        if (const QString section = helpSectionFor(name); !section.isEmpty())
            return section;
    }
    return {};
}

namespace {

// True when `window` is `ancestor` or one of its own windows, at any depth.
bool belongsTo(const QWidget* window, const QWidget* ancestor)
{
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

} // namespace

QString showHelp(QWidget* from, const QString& section)
{
    registerHelpResources();
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* owner = from ? from->window() : (modal ? modal : QApplication::activeWindow());

    // A help window the user can reach: any while no dialog is modal,
    // otherwise one that belongs to the modal dialog.
    HelpWindow* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* candidate = qobject_cast<HelpWindow*>(w);
        if (candidate && (!modal || belongsTo(candidate, modal))) {
            help = candidate;
            break;
        }
    }
    if (!help)
        help = new HelpWindow(modal ? modal : owner);
    return help->showSection(section);
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);

    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* window = widget ? widget->window() : QApplication::activeWindow();
    if (!window || qobject_cast<HelpWindow*>(window))
        return true; // F1 in the manual itself: it is open already

    // The window's own section, or that of the window it belongs to.
    QString section;
    for (QWidget* w = window; w && section.isEmpty(); w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        section = helpSectionOf(w);
    showHelp(window, section);
    return true;
}

} // namespace ravo
