// RAVO: the ledger of a metrology department's measuring instruments.
//
// Start-up, in this order: the folder of the ledger, the single-copy lock, the
// backup and compaction the options ask for, the sign-in (cancelling it ends
// the program before the ledger is opened), the splash while the main window
// loads, the main window, and after its first activation the tip of the day.
// On a ledger on a database server (--server, or the settings' choice) there
// is no lock and no file maintenance: many copies work on it at once, and
// the sign-in is the connection to the server as the account signing in.
// Shut-down is the main window's closing. Jobs asked for on the command line
// (CommandLine.h) run instead, without a window.
#include "CommandLine.h"
#include "auxiliary/Artwork.h"
#include "auxiliary/frmSplash.h"
#include "auxiliary/frmTip.h"
#include "core/DataFolder.h"
#include "core/InstanceLock.h"
#include "core/LedgerChoice.h"
#include "core/Maintenance.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "mainwindow/frmMain.h"
#include "platform/DesktopPrompter.h"
#include "platform/FocusReturn.h"
#include "platform/HelpWindow.h"
#include "users/frmLogin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTranslator>
#include <memory>

namespace {

enum class SignIn { Done, GaveUp, UseFile };

// The sign-in dialog (it loads the account list). GaveUp when the user gave
// up: nothing else may happen then.
SignIn signIn(ravo::ProgramState& state)
{
    ravo::frmLogin login(state);
    login.exec();
    if (login.Ok)
        return SignIn::Done;
    return login.UseFileInstead ? SignIn::UseFile : SignIn::GaveUp;
}

// Qt's own dialogs (print preview, file dialogs) speak Chinese too.
void installQtTranslations(QApplication& app, QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

// The backup and compaction the options ask for. On a large ledger they take
// a while, so a small window shows that the program is at work.
void maintainLedger(ravo::ProgramState& state)
{
    const ravo::MaintenanceFlags flags = ravo::readMaintenanceFlags(state.settings);
    if (!flags.backup && !flags.compact)
        return;
    std::unique_ptr<QProgressDialog> window;
    if (QFileInfo(state.databasePath()).size() >= ravo::LargeLedgerBytes) {
        window = std::make_unique<QProgressDialog>();
        window->setWindowTitle(ravo::AppTitle);
        window->setCancelButton(nullptr);
        window->setMinimumDuration(0);
        window->setRange(0, 100);
        window->setLabelText(QStringLiteral("正在维护台帐数据库，请稍候…"));
        window->show();
        QCoreApplication::processEvents();
    }
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    ravo::runStartupMaintenance(state.appDir, flags.backup, flags.compact, [&](const QString& step, int percent) {
        if (!window || sinceRepaint.elapsed() < 50)
            return;
        sinceRepaint.restart();
        window->setLabelText(step);
        // An unknown amount of work shows a busy bar.
        window->setRange(0, percent < 0 ? 0 : 100);
        if (percent >= 0)
            window->setValue(percent);
        QCoreApplication::processEvents();
    });
}

// The ledger of this run: the server named by --server, else the settings'
// choice. A wrong --server ends the start (the user typed it and can
// correct it); a wrong remembered choice is told, and the file is opened so
// that the choice can be mended in the program.
bool chooseLedger(ravo::ProgramState& state, const ravo::cli::CommandLine& line)
{
    QString problem;
    state.server = ravo::startupServer(state.settings, line.server, line.serverGiven, &problem);
    if (problem.isEmpty())
        return true;
    if (line.serverGiven) {
        state.prompt.error(problem
                               + QStringLiteral("\n\n正确的写法如：--server \"host=192.168.1.10 port=5432 "
                                                "dbname=ravo user=zhangsan\""),
                           ravo::AppTitle);
        return false;
    }
    state.prompt.error(problem + QStringLiteral("\n\n这一次打开本机台帐文件。请在“系统 → 数据库连接”中改正连接参数。"),
                       ravo::AppTitle);
    return true;
}

void showTipOfTheDay(ravo::ProgramState& state, QWidget* owner)
{
    ravo::frmTip tip(state, owner);
    tip.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    if (ravo::cli::asksForJob(argc, argv))
        return ravo::cli::runJob(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RAVO"));
    QApplication::setDesktopFileName(QStringLiteral("ravo"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 10));
    QApplication::setWindowIcon(ravo::applicationIcon());
    ravo::HelpKeyFilter f1;
    app.installEventFilter(&f1);
    ravo::FocusReturn focusReturn;
    app.installEventFilter(&focusReturn);
    QTranslator qtTranslator;
    installQtTranslations(app, qtTranslator);

    ravo::DesktopPrompter prompter;

    // The ledger lives beside the program, or in the user's data folder when
    // the program's folder is not the user's to write; another folder may be
    // named with --appdir (the demo ledger uses this).
    QString appDir;
    const QStringList args = QApplication::arguments();
    if (const int i = int(args.indexOf(QStringLiteral("--appdir"))); i >= 0 && i + 1 < args.size()) {
        appDir = QDir(args.at(i + 1)).absolutePath();
    } else {
        const ravo::DataFolder data = ravo::chooseDataFolder(
            QApplication::applicationDirPath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        if (!data.problem.isEmpty()) {
            prompter.error(data.problem, ravo::AppTitle);
            return 1;
        }
        appDir = data.folder;
    }

    ravo::ProgramState state(appDir, prompter);
    if (!chooseLedger(state, ravo::cli::parseCommandLine(args)))
        return 1;

    // The file is one copy's at a time, and kept up before it is opened.
    std::unique_ptr<ravo::InstanceLock> lock;
    auto prepareFile = [&] {
        lock = std::make_unique<ravo::InstanceLock>(appDir);
        if (!lock->isLocked()) {
            prompter.error(lock->problem(), ravo::AppTitle);
            return false;
        }
        // Maintenance runs before anything opens the ledger; each step fails
        // silently.
        maintainLedger(state);
        return true;
    };
    if (!state.server && !prepareFile())
        return 1;

    // A server that cannot be reached need not keep the user from the file:
    // the sign-in offers it for this run.
    for (;;) {
        const SignIn result = signIn(state);
        if (result == SignIn::Done)
            break;
        if (result == SignIn::GaveUp)
            return 0;
        state.server.reset();
        if (!prepareFile())
            return 1;
    }

    auto splash = std::make_unique<ravo::frmSplash>();
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
