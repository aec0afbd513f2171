#include "ExportToFile.h"

#include "core/ProgramState.h"
#include "exchange/Export.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

namespace ravo {

namespace {

// The folder of the last export of this run, offered again by the next one.
QString& lastFolder()
{
    static QString folder;
    return folder;
}

QString suggestedPath(const QString& title)
{
    QString folder = lastFolder();
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(title + QLatin1Char(' ') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                                 + QStringLiteral(".xlsx"));
}

} // namespace

qint64 exportToFile(ProgramState& state, QWidget* owner, const QString& shownTable, const QString& title,
                    const QString& wholeTable)
{
    Prompter::FileChoice what{QStringLiteral("导出内容(&W)："),
                              {QStringLiteral("当前显示的记录"), QStringLiteral("整个表《%1》").arg(wholeTable)},
                              0};
    const std::optional<QString> path = wholeTable.isEmpty()
        ? state.prompt.saveFileName(QStringLiteral("导出到文件"), suggestedPath(title), exchange::exportFileTypes())
        : state.prompt.saveFileNameWithChoice(QStringLiteral("导出到文件"), suggestedPath(title),
                                              exchange::exportFileTypes(), &what);
    if (!path || path->trimmed().isEmpty())
        return -1;
    const QString& table = !wholeTable.isEmpty() && what.chosen == 1 ? wholeTable : shownTable;
    lastFolder() = QFileInfo(*path).absolutePath();

    // Shown only when the export takes longer than a moment.
    QProgressDialog progress(QStringLiteral("正在导出《%1》，请稍候…").arg(title), QStringLiteral("取消"), 0, 0, owner);
    progress.setWindowTitle(AppTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const exchange::ExportResult r =
        exchange::exportTable(state.LedgerDatabase, table, *path, title, [&](qint64 done, qint64 total) {
            progress.setMaximum(int(std::min<qint64>(total, INT_MAX)));
            progress.setValue(int(std::min<qint64>(done, INT_MAX)));
            return !progress.wasCanceled();
        });
    // reset() also stops the timer that would show the window later.
    progress.reset();
    progress.close();

    const QString file = QDir::toNativeSeparators(*path);
    if (r.cancelled) {
        state.prompt.plain(QStringLiteral("导出已取消，没有写入文件“%1”。").arg(file), AppTitle);
        return -1;
    }
    if (!r.error.isEmpty()) {
        state.prompt.error(QStringLiteral("导出没有完成，没有写入文件“%1”。\n\n%2").arg(file, r.error), AppTitle);
        return -1;
    }
    state.prompt.message(QStringLiteral("已导出 %1 条记录到“%2”。").arg(r.rows).arg(file), AppTitle,
                         Prompter::Icon::Information);
    return r.rows;
}

} // namespace ravo
