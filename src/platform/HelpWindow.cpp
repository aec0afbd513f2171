#include "HelpWindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

// The manual lives in the platform library's resources; a static library's
// resources are registered by hand, outside any namespace.
static void registerHelpResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
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

HelpWindow::HelpWindow(QWidget* owner)
    : QWidget(owner, Qt::Window)
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
    if (!manualAvailable())
        return QStringLiteral("找不到帮助文件（%1）。").arg(manualUrl());
    m_browser->setSource(QUrl(manualUrl()));
    if (m_browser->document()->isEmpty())
        return QStringLiteral("帮助文件（%1）无法读取。").arg(manualUrl());
    if (!isVisible() && parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
    return {};
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

} // namespace ravo
