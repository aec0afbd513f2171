#include "PrintProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace ravo {

namespace {

QString stageText(PrintStage stage, int done, int total)
{
    switch (stage) {
    case PrintStage::Layout:
        return QStringLiteral("正在排版：第 %1 页，约 %2 页……").arg(done).arg(total);
    case PrintStage::Preview:
        return QStringLiteral("正在生成预览：第 %1 页，共 %2 页……").arg(done).arg(total);
    case PrintStage::Output:
        return QStringLiteral("正在输出：第 %1 页，共 %2 页……").arg(done).arg(total);
    case PrintStage::OutputToPrinter:
        return QStringLiteral("正在送往打印机：第 %1 页，共 %2 页……").arg(done).arg(total);
    }
    return {};
}

} // namespace

PrintProgressWindow::PrintProgressWindow(QWidget* parent) : m_parent(parent)
{
}

PrintProgressWindow::~PrintProgressWindow() = default;

PrintProgress PrintProgressWindow::callback()
{
    return [this](PrintStage stage, int done, int total) { return update(stage, done, total); };
}

QProgressDialog* PrintProgressWindow::dialog() const
{
    return m_dialog.get();
}

void PrintProgressWindow::finish()
{
    if (m_dialog)
        m_dialog->hide();
    m_dialog.reset();
    m_cancelRemoved = false;
}

bool PrintProgressWindow::update(PrintStage stage, int done, int total)
{
    if (m_cancelled)
        return false;
    if (!m_dialog && total <= FewPages)
        return true;
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>(m_parent);
        m_dialog->setObjectName(QStringLiteral("printProgress"));
        m_dialog->setWindowTitle(QStringLiteral("打印"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setCancelButtonText(QStringLiteral("取消"));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(360);
    }
    // Once the pages go to a printer they go whole: no cancel from then on.
    if (stage == PrintStage::OutputToPrinter && !m_cancelRemoved) {
        m_dialog->setCancelButton(nullptr);
        m_cancelRemoved = true;
    }
    m_dialog->setMaximum(std::max(total, 1));
    m_dialog->setValue(std::clamp(done, 0, std::max(total, 1)));
    m_dialog->setLabelText(stageText(stage, done, total));
    if (!m_dialog->isVisible())
        m_dialog->show();
    QCoreApplication::processEvents();
    if (m_dialog->wasCanceled() && stage != PrintStage::OutputToPrinter) {
        m_cancelled = true;
        finish();
        return false;
    }
    return true;
}

} // namespace ravo
