// RAVO: the ledger of a metrology department's measuring instruments.
//
// Start-up, in this order: the single-copy lock, the backup and compaction the
// options ask for, the sign-in (cancelling it ends the program before the
// ledger is opened), the splash while the main window loads, the main window.
// Shut-down is the main window's closing.
#include "PlainSplash.h"

#include "core/InstanceLock.h"
#include "core/Maintenance.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "mainwindow/frmMain.h"
#include "platform/DesktopPrompter.h"
#include "users/frmLogin.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <memory>

namespace {

// The sign-in dialog (it loads the account list). False when the user gave
// up: nothing else may happen then.
bool signIn(ravo::ProgramState& state)
{
    ravo::frmLogin login(state);
    login.exec();
    return login.Ok;
}

// The tip of the day. It comes with the auxiliary windows; until then there
// is nothing to show.
void showTipOfTheDay(ravo::ProgramState& state, QWidget* owner)
{
    Q_UNUSED(state);
    Q_UNUSED(owner);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RAVO"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 10));

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

    // Maintenance runs before anything opens the ledger; each step fails
    // silently.
    const ravo::MaintenanceFlags flags = ravo::readMaintenanceFlags(state.settings);
    ravo::runStartupMaintenance(appDir, flags.backup, flags.compact);

    if (!signIn(state))
        return 0;

    auto splash = std::make_unique<ravo::PlainSplash>();
    splash->showNow();

    ravo::frmMain mainWindow(state);
    const bool loaded = mainWindow.load();
    splash.reset();
    if (!loaded)
        return 1;
    // The tip follows the main window's first activation, and so the due
    // list when that shows.
    QObject::connect(
        &mainWindow, &ravo::frmMain::activated, &mainWindow,
        [&] {
            if (state.ShowTipsAtStartup == 1)
                showTipOfTheDay(state, &mainWindow);
        },
        Qt::SingleShotConnection);
    mainWindow.show();
    mainWindow.raise();
    mainWindow.activateWindow();
    return app.exec();
}
