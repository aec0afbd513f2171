#include "AttachmentsWindow.h"

#include "core/ProgramState.h"
#include "core/Prompter.h"

#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString Title = QStringLiteral("附件");

// Files opened in the system's viewer are written here and left for the
// viewer; the folder goes when the program ends.
QTemporaryDir& openedFiles()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/ravo-附件-XXXXXX"));
    return dir;
}

} // namespace

AttachmentsWindow::AttachmentsWindow(Database& db, Prompter& prompt, const AttachmentOwner& owner,
                                     const QString& account, const QString& caption, QWidget* parent)
    : QDialog(parent), m_db(db), m_prompt(prompt), m_owner(owner), m_account(account)
{
    setWindowTitle(QStringLiteral("附件 - %1").arg(caption));
    auto* heading = new QLabel(QStringLiteral("%1的附件（每个文件不超过 %2；可以把文件拖到下面的列表中）：")
                                   .arg(caption, sizeText(MaxAttachmentBytes)),
                               this);
    lstFiles = new QTreeWidget(this);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    lstFiles->setHeaderLabels(
        {QStringLiteral("文件名"), QStringLiteral("大小"), QStringLiteral("添加时间"), QStringLiteral("添加人")});
    lstFiles->setRootIsDecorated(false);
    lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c <= 3; ++c)
        lstFiles->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    lstFiles->setAcceptDrops(true);
    lstFiles->viewport()->setAcceptDrops(true);
    lstFiles->viewport()->installEventFilter(this);

    cmdAdd = new QPushButton(QStringLiteral("添加(&A)..."), this);
    cmdOpen = new QPushButton(QStringLiteral("打开(&O)"), this);
    cmdSaveAs = new QPushButton(QStringLiteral("另存为(&S)..."), this);
    cmdRemove = new QPushButton(QStringLiteral("删除(&D)"), this);
    cmdClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
    connect(cmdAdd, &QPushButton::clicked, this, &AttachmentsWindow::chooseFiles);
    connect(cmdOpen, &QPushButton::clicked, this, &AttachmentsWindow::openCurrent);
    connect(cmdSaveAs, &QPushButton::clicked, this, &AttachmentsWindow::saveCurrent);
    connect(cmdRemove, &QPushButton::clicked, this, &AttachmentsWindow::removeCurrent);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstFiles, &QTreeWidget::itemDoubleClicked, this, &AttachmentsWindow::openCurrent);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdAdd, cmdOpen, cmdSaveAs, cmdRemove})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* body = new QHBoxLayout;
    body->addWidget(lstFiles, 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(body);
    resize(640, 320);
    reload();
}

void AttachmentsWindow::reload()
{
    m_list = listAttachments(m_db, m_owner);
    lstFiles->clear();
    for (const Attachment& a : std::as_const(m_list))
        lstFiles->addTopLevelItem(new QTreeWidgetItem({a.fileName, sizeText(a.size), a.added, a.addedBy}));
    if (!m_list.isEmpty())
        lstFiles->setCurrentItem(lstFiles->topLevelItem(int(m_list.size()) - 1));
    for (QPushButton* b : {cmdOpen, cmdSaveAs, cmdRemove})
        b->setEnabled(!m_list.isEmpty());
}

const Attachment* AttachmentsWindow::current() const
{
    const int row = lstFiles->indexOfTopLevelItem(lstFiles->currentItem());
    return row >= 0 && row < m_list.size() ? &m_list.at(row) : nullptr;
}

void AttachmentsWindow::addFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        if (const DbError e = addAttachment(m_db, m_owner, path, m_account))
            m_prompt.error(e.text(), Title);
    reload();
}

void AttachmentsWindow::chooseFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("选择要添加的附件"), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("证书扫描件和照片 (*.pdf *.jpg *.jpeg *.png);;所有文件 (*)"));
    addFiles(paths);
}

void AttachmentsWindow::openCurrent()
{
    const Attachment* a = current();
    if (!a)
        return;
    if (!openedFiles().isValid()) {
        m_prompt.error(QStringLiteral("不能建立临时文件夹，附件没有打开。"), Title);
        return;
    }
    // Each attachment in a folder of its own, under its own name.
    const QString folder = openedFiles().filePath(QString::number(a->id));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(a->fileName);
    if (const DbError e = saveAttachmentAs(m_db, a->id, path)) {
        m_prompt.error(e.text(), Title);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        m_prompt.error(QStringLiteral("没有能打开“%1”：系统中没有打开这种文件的程序。可以用“另存为”保存后再打开。")
                           .arg(a->fileName),
                       Title);
}

void AttachmentsWindow::saveCurrent()
{
    const Attachment* a = current();
    if (!a)
        return;
    const QString start =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(a->fileName);
    const std::optional<QString> path = m_prompt.saveFileName(QStringLiteral("附件另存为"), start, {});
    if (!path)
        return;
    if (const DbError e = saveAttachmentAs(m_db, a->id, *path))
        m_prompt.error(e.text(), Title);
}

void AttachmentsWindow::removeCurrent()
{
    const Attachment* a = current();
    if (!a)
        return;
    if (!m_prompt.confirm(QStringLiteral("你确认要删除附件“%1”吗？删除后不能恢复。").arg(a->fileName), Title))
        return;
    if (const DbError e = removeAttachment(m_db, a->id))
        m_prompt.error(e.text(), Title);
    reload();
}

bool AttachmentsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstFiles->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList paths;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile())
                    paths << url.toLocalFile();
            drop->acceptProposedAction();
            addFiles(paths);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ravo
