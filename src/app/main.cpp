// RAVO: the ledger of a metrology department's measuring instruments.
// Start-up: the single-copy lock, the backup and compaction the options ask
// for, the account list, then the main window.
#include "core/Accounts.h"
#include "core/InstanceLock.h"
#include "core/Maintenance.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "mainwindow/frmMain.h"
#include "platform/DesktopPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFont>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RAVO"));
    QFont font(QStringLiteral("Noto Sans CJK SC"), 10);
    QApplication::setFont(font);

    // The ledger lives beside the program unless another folder is named
    // with --appdir (the demo ledger uses this).
    QString appDir = QApplication::applicationDirPath();
    const QStringList args = QApplication::arguments();
    if (const int i = int(args.indexOf(QStringLiteral("--appdir"))); i >= 0 && i + 1 < args.size())
        appDir = QDir(args.at(i + 1)).absolutePath();

    ravo::DesktopPrompter prompter;
    ravo::InstanceLock lock(appDir);
    if (!lock.isLocked()) {
        prompter.error(ravo::InstanceLock::busyMessage(), ravo::AppTitle);
        return 1;
    }
    ravo::ProgramState state(appDir, prompter);

    const ravo::MaintenanceFlags flags = ravo::readMaintenanceFlags(state.settings);
    ravo::runStartupMaintenance(appDir, flags.backup, flags.compact);

    const ravo::AccountLoad accounts = ravo::loadAccountList(state.settings);
    state.UserList = accounts.accounts;
    state.UserEditList = accounts.accounts;
    state.UserCount = qint16(accounts.accounts.size());
    state.CurrentUser = 1;

    ravo::frmMain mainWindow(state);
    if (!mainWindow.load())
        return 1;
    mainWindow.show();
    return app.exec();
}
