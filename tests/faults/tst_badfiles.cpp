// Start-up on bad files: a ledger that is missing, empty, cut short,
// read-only, damaged or not a ledger at all; a ledger held by another copy of
// the program; a settings store full of garbage, missing sections or values
// of the wrong kind; a tip file that is missing or not text. Start-up runs as
// the program runs it (the single-copy lock, the backup and compaction the
// options ask for, the sign-in, the main window's loading, the tip of the
// day) with a scripted prompter. Each case ends in a clear Chinese message
// or the documented recovery, never in a crash, and the user's ledger and
// its backup are never overwritten by it.
#include "FaultKit.h"
#include "ScriptedPrompter.h"
#include "auxiliary/frmTip.h"
#include "core/Accounts.h"
#include "core/DataFolder.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Maintenance.h"
#include "core/PasswordHash.h"
#include "mainwindow/MainCommands.h"
#include "mainwindow/frmMain.h"
#include "users/frmLogin.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

using namespace ravo;
using namespace ravo::test;

namespace {

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff)
            return true;
    return false;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// While alive, the test runs as an ordinary user, for whom a file without
// write permission is read-only (the superuser writes to any file).
class OrdinaryUser {
public:
    OrdinaryUser() : m_was(geteuid())
    {
        // The saved user id stays the superuser's, to come back to.
        if (m_was == 0)
            m_ok = setresuid(65534, 65534, 0) == 0;
    }
    ~OrdinaryUser()
    {
        if (m_was == 0 && m_ok) [[maybe_unused]]
            const int rc = setresuid(0, 0, 0);
    }
    bool ok() const { return m_was != 0 || m_ok; }

private:
    uid_t m_was;
    bool m_ok = true;
};

// The program's start-up on one folder, step by step as main() runs it.
struct StartUp {
    ScriptedPrompter prompt;
    std::unique_ptr<ProgramState> state;
    std::unique_ptr<frmMain> window;
    bool locked = false;
    MaintenanceResult maintenance;
    bool signedIn = false;
    bool loaded = false;
    QString tip;

    void run(const QString& appDir)
    {
        InstanceLock lock(appDir);
        locked = lock.isLocked();
        if (!locked) {
            prompt.error(lock.problem(), AppTitle);
            return;
        }
        state = std::make_unique<ProgramState>(appDir, prompt);
        const MaintenanceFlags flags = readMaintenanceFlags(state->settings);
        maintenance = runStartupMaintenance(appDir, flags.backup, flags.compact);

        {
            frmLogin login(*state);
            login.show();
            login.cboName->setEditText(AdministratorName);
            login.txtPassword->clear();
            login.cmdOK->click();
            signedIn = login.Ok;
        }
        if (!signedIn)
            return;
        window = std::make_unique<frmMain>(*state);
        window->commands->setOpensWindows(false);
        loaded = window->load();
        if (!loaded)
            return;
        window->show();
        QCoreApplication::processEvents();
        if (state->ShowTipsAtStartup == 1) {
            frmTip tipWindow(*state);
            tip = tipWindow.lblTipText->text();
        }
    }
};

// A filled ledger, and the store asking for both maintenance steps.
void prepareLedger(const Sandbox& box)
{
    Database db;
    QVERIFY(!db.open(box.databasePath()));
    QVERIFY(
        db.executeNative(
              QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                             "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 备注) "
                             "SELECT printf('N-%04d', i), '游标卡尺', replace(hex(zeroblob(300)), '00', '量') FROM n"))
            .ok());
    SettingsStore store;
    store.saveBool(SettingsStore::MainApp, QStringLiteral("SysOptions"), QStringLiteral("DBBackup"), true);
    store.saveBool(SettingsStore::MainApp, QStringLiteral("SysOptions"), QStringLiteral("DBCompact"), true);
    store.sync();
}

// Lets an ordinary user into a folder, or read and write a file.
bool openToEveryone(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), QFileInfo(path).isDir() ? 0777 : 0666) == 0;
}

QString settingsFile(const QString& app)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, SettingsStore::MainApp, app).fileName();
}

} // namespace

class tst_BadFiles : public QObject {
    Q_OBJECT
private:
    int m_tried = 0;

private slots:
    void initTestCase() { setPasswordHashCost(PasswordHashCost::Minimum); }
    void cleanupTestCase() { qInfo("bad files tried: %d", m_tried); }

    void damagedLedger_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message"); // what the refusal says; empty: the ledger opens
        const QString damaged = QStringLiteral("已损坏");
        QTest::newRow("missing") << "missing"
                                 << "找不到台帐数据库文件";
        QTest::newRow("empty") << "empty"
                               << "找不到数据表《计量器具在用库》";
        QTest::newRow("cut to its first page") << "first page" << damaged;
        QTest::newRow("cut in the middle") << "half" << damaged;
        QTest::newRow("cut by a byte") << "short by one" << damaged;
        QTest::newRow("text") << "text" << damaged;
        QTest::newRow("random bytes") << "random" << damaged;
        QTest::newRow("header overwritten") << "header" << damaged;
        QTest::newRow("pages overwritten") << "pages" << damaged;
        QTest::newRow("a database of another program") << "foreign"
                                                       << "找不到数据表《计量器具在用库》";
        QTest::newRow("a folder") << "folder"
                                  << "不能打开台帐数据库";
        QTest::newRow("read-only") << "read-only"
                                   << "只读";
    }
    void damagedLedger()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        Sandbox box;
        QVERIFY(box.isValid());
        prepareLedger(box);
        const LedgerFiles files(box.appDir());
        const QByteArray good = fileBytes(files.database);
        // A backup of an earlier day, which the damaged ledger must not replace.
        QVERIFY(copyOver(files.database, files.backup));
        const QByteArray backup = fileBytes(files.backup);

        QByteArray bytes = good;
        if (damage == QLatin1String("missing")) {
            QVERIFY(QFile::remove(files.database));
        } else if (damage == QLatin1String("folder")) {
            QVERIFY(QFile::remove(files.database));
            QVERIFY(QDir(box.appDir()).mkdir(QStringLiteral("ravo.mdb")));
        } else if (damage == QLatin1String("foreign")) {
            QVERIFY(QFile::remove(files.database));
            QVERIFY(
                Database::createFromSchema(files.database, QStringLiteral("CREATE TABLE 联系人 (姓名 TEXT);")).number
                == 0);
        } else if (damage != QLatin1String("read-only")) {
            if (damage == QLatin1String("empty"))
                bytes.clear();
            else if (damage == QLatin1String("first page"))
                bytes.truncate(4096);
            else if (damage == QLatin1String("half"))
                bytes.truncate(bytes.size() / 2);
            else if (damage == QLatin1String("short by one"))
                bytes.chop(1);
            else if (damage == QLatin1String("text"))
                bytes = QStringLiteral("这不是数据库，是一封信。\n").repeated(200).toUtf8();
            else if (damage == QLatin1String("random"))
                bytes = randomBytes(good.size(), 11);
            else if (damage == QLatin1String("header"))
                bytes.replace(0, 100, randomBytes(100, 12));
            else if (damage == QLatin1String("pages"))
                bytes.replace(8192, bytes.size() - 16384, randomBytes(int(bytes.size()) - 16384, 13));
            QVERIFY(writeFile(files.database, bytes));
        }
        const QByteArray before = fileBytes(files.database);
        const bool readOnly = damage == QLatin1String("read-only");
        if (readOnly) {
            for (const QString& dir :
                 {box.appDir(), box.settingsDir(), QFileInfo(settingsFile(SettingsStore::MainApp)).path()})
                QVERIFY(openToEveryone(dir));
            QVERIFY(::chmod(QFile::encodeName(files.database).constData(), 0444) == 0);
        }

        StartUp start;
        {
            std::unique_ptr<OrdinaryUser> user;
            if (readOnly)
                user = std::make_unique<OrdinaryUser>();
            QVERIFY(!user || user->ok());
            start.run(box.appDir());
            start.window.reset();
            start.state.reset();
        }
        ++m_tried;

        QVERIFY(start.locked);
        QVERIFY(start.signedIn);
        QCOMPARE(start.loaded, message.isEmpty());
        QCOMPARE(start.prompt.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            const ScriptedPrompter::Message& m = start.prompt.messages.first();
            QVERIFY2(m.text.contains(message), qPrintable(m.text));
            QVERIFY2(hasChinese(m.text), qPrintable(m.text));
            QVERIFY2(m.text.contains(QStringLiteral("ravo.mdb")), qPrintable(m.text));
            QCOMPARE(m.icon, Prompter::Icon::Critical);
        }
        // Nothing was written over the user's files.
        QVERIFY(fileBytes(files.database) == before);
        // The backup of an earlier day is replaced only by a sound copy of a
        // sound ledger.
        if (fileBytes(files.backup) != backup) {
            QVERIFY(readOnly);
            QCOMPARE(stateOfFile(files.backup).integrity, QStringLiteral("ok"));
            QVERIFY(stateOfFile(files.backup) == stateOfFile(files.database));
        }
        QVERIFY(!QFile::exists(files.scratch));
        QVERIFY(!QFile::exists(files.backup + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(files.database + QStringLiteral("-journal")) || QFileInfo(files.database).isDir());
    }

    // A ledger another copy of the program has open: the second copy stops
    // before it touches anything; once the first has gone, by exit or by
    // crash, the ledger opens again.
    void ledgerHeldByAnotherCopy_data()
    {
        QTest::addColumn<bool>("holderCrashes");
        QTest::newRow("the other copy exits") << false;
        QTest::newRow("the other copy is killed") << true;
    }
    void ledgerHeldByAnotherCopy()
    {
        QFETCH(bool, holderCrashes);
        Sandbox box;
        QVERIFY(box.isValid());
        prepareLedger(box);
        const QByteArray before = fileBytes(box.databasePath());
        QProcess holder;
        holder.start(RunnerProgram, {box.appDir(), QStringLiteral("hold")});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        StartUp second;
        second.run(box.appDir());
        ++m_tried;
        QVERIFY(!second.locked);
        QCOMPARE(second.prompt.messages.size(), 1);
        QCOMPARE(second.prompt.messages[0].text, InstanceLock::busyMessage());
        QVERIFY(hasChinese(second.prompt.messages[0].text));
        QVERIFY(fileBytes(box.databasePath()) == before);
        QVERIFY(!QFile::exists(box.appDir() + QStringLiteral("/ravo.bak")));

        if (holderCrashes)
            holder.kill();
        else
            holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        StartUp third;
        third.run(box.appDir());
        QVERIFY(third.locked);
        QVERIFY(third.loaded);
        QVERIFY(third.prompt.messages.isEmpty());
    }

    // A lock file that no running copy holds (a power cut right after it was
    // made, a crash, a copy on another computer) never keeps the program
    // out, yet while this start runs a second one is still refused: from
    // another process and from a second opening in this one.
    void leftoverLockFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << randomBytes(64, 7);
        QTest::newRow("another host, process gone") << QByteArray("4194000\nravo\nother-host\n");
        // This very test: a live process of the named program on this host
        // that holds no lock.
        QTest::newRow("this host, live process holding nothing") << QByteArray("<self>");
    }
    void leftoverLockFile()
    {
        QFETCH(QByteArray, content);
        Sandbox box;
        QVERIFY(box.isValid());
        const QString lockPath = box.appDir() + QStringLiteral("/ravo.lock");
        if (content == "<self>")
            content = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n'
                + QSysInfo::machineHostName().toUtf8() + '\n';
        {
            QFile leftover(lockPath);
            QVERIFY(leftover.open(QIODevice::WriteOnly));
            QCOMPARE(leftover.write(content), qint64(content.size()));
        }
        ++m_tried;
        {
            InstanceLock first(box.appDir());
            QVERIFY2(first.isLocked(), qPrintable(first.problem()));
            InstanceLock second(box.appDir());
            QVERIFY(!second.isLocked());
            QCOMPARE(second.problem(), InstanceLock::busyMessage());
            QProcess other;
            other.start(RunnerProgram, {box.appDir(), QStringLiteral("hold")});
            QVERIFY(other.waitForFinished(10000));
            QCOMPARE(other.exitCode(), 3);
        }
        StartUp start;
        start.run(box.appDir());
        QVERIFY(start.locked);
        QVERIFY(start.loaded);
        QVERIFY(start.prompt.messages.isEmpty());
        // A copy that ends normally takes its lock file away.
        QVERIFY(!QFile::exists(lockPath));
    }

    // A folder the user may not write to (a ledger on a read-only share,
    // named with --appdir): the lock file cannot be made there, and the user
    // is told so, not that the program is running already.
    void ledgerFolderNotWritable()
    {
        Sandbox box;
        QVERIFY(box.isValid());
        QVERIFY(openToEveryone(box.settingsDir()));
        QVERIFY(openToEveryone(box.databasePath()));
        QVERIFY(::chmod(QFile::encodeName(box.appDir()).constData(), 0555) == 0);
        const QByteArray before = fileBytes(box.databasePath());
        StartUp start;
        {
            OrdinaryUser user;
            QVERIFY(user.ok());
            start.run(box.appDir());
        }
        ++m_tried;
        QVERIFY(!start.locked);
        QCOMPARE(start.prompt.messages.size(), 1);
        QVERIFY2(start.prompt.messages[0].text != InstanceLock::busyMessage(),
                 qPrintable(start.prompt.messages[0].text));
        QVERIFY(start.prompt.messages[0].text.contains(box.appDir()));
        QVERIFY(fileBytes(box.databasePath()) == before);
        QVERIFY(::chmod(QFile::encodeName(box.appDir()).constData(), 0755) == 0);
    }

    void badSettings_data()
    {
        QTest::addColumn<QByteArray>("ravoIni");
        QTest::addColumn<QByteArray>("queriesIni");
        QTest::addColumn<QStringList>("accounts"); // what the sign-in offers
        const QStringList admin{AdministratorName};
        const QByteArray twoAccounts =
            "[register]\nok=True\n[User]\nCount=2\n[1]\nName=系统管理员\nPassword=\nLevel=0\n"
            "History=0\n[2]\nName=张三\nPassword=\nLevel=2\nHistory=0\n";
        QTest::newRow("random bytes") << randomBytes(3000, 21) << randomBytes(3000, 22) << admin;
        QTest::newRow("bytes with NULs and no line ends") << QByteArray(2000, '\0') << QByteArray(100, '\xff') << admin;
        QTest::newRow("text without sections")
            << QByteArray("这个文件被人改坏了\n=\n==\n[\n]\n") << QByteArray("[") << admin;
        QTest::newRow("sections never closed")
            << QByteArray("[register\nok=True\n[User\nCount=1\n[1\nName=x\n") << QByteArray("[1\nName=y") << admin;
        QTest::newRow("accounts missing their sections")
            << QByteArray("[register]\nok=True\n[User]\nCount=3\n[1]\nName=系统管理员\nLevel=0\nHistory=0\n")
            << QByteArray() << admin;
        QTest::newRow("values of the wrong kind") << twoAccounts
                + "[SysOptions]\nNav=vielleicht\nDBBackup=2\nDBCompact=\"\nAwoke=1e999\nAdvance=99999999\n"
                  "AdvanceDay=-32769\nAdvanceWeek=1.5\n[Options]\n%E5%9C%A8=1\n在启动时显示提示=yes\n"
                  "[PDC]\nProgramDateClass=x\nProgramDateStar=0000-00-00\nProgramDateEnd=31/12/2003\n"
                  "[WindowsSettings]\nMainLeft=3.4e38\nMainTop=-3.4e38\nMainWidth=-5\nMainHeight=nan\n"
                  "[Settings]\nOldUser=99999999999999999999\n[QuerySqlSave]\nCount=2\n"
                                                  << QByteArray("[1]\nName=坏查询\nSQL=select * into from where ;;\n")
                                                  << QStringList{AdministratorName, "张三"};
        QTest::newRow("window placed far off the screen") << twoAccounts
                + "[WindowsSettings]\nMainLeft=90000000\nMainTop=-90000000\nMainWidth=9E+09\nMainHeight=1e-30\n"
                                                          << QByteArray() << QStringList{AdministratorName, "张三"};
        QTest::newRow("saved queries without bodies") << twoAccounts + "[QuerySqlSave]\nCount=32767\n"
                                                      << QByteArray() << QStringList{AdministratorName, "张三"};
    }
    void badSettings()
    {
        QFETCH(QByteArray, ravoIni);
        QFETCH(QByteArray, queriesIni);
        QFETCH(QStringList, accounts);
        Sandbox box;
        QVERIFY(box.isValid());
        QVERIFY(QDir().mkpath(QFileInfo(settingsFile(SettingsStore::MainApp)).path()));
        QVERIFY(writeFile(settingsFile(SettingsStore::MainApp), ravoIni));
        QVERIFY(writeFile(settingsFile(SettingsStore::QueryApp), queriesIni));

        StartUp start;
        start.run(box.appDir());
        ++m_tried;
        QVERIFY(start.signedIn);
        QStringList offered;
        for (const UserAccount& a : start.state->UserList)
            offered << a.Name;
        QCOMPARE(offered, accounts);
        QVERIFY(start.loaded);
        QCOMPARE(start.prompt.messages.size(), 0);
        // The window is on the screen, whatever the stored placement said.
        const QRect screen = start.window->screen()->virtualGeometry();
        QVERIFY2(screen.intersects(start.window->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3×%4")
                                .arg(start.window->x())
                                .arg(start.window->y())
                                .arg(start.window->width())
                                .arg(start.window->height())));
        QVERIFY(start.window->width() <= screen.width() * 4);
        // Options that could not be read are the defaults, and are stored
        // again in a form the next start reads.
        start.state->settings.sync();
        SettingsStore again;
        const OptionsPassResult pass = seedOptions(again, QDate::currentDate());
        const Options& inForce = start.state->options;
        QCOMPARE(pass.options.Nav, inForce.Nav);
        QCOMPARE(pass.options.Advance, inForce.Advance);
        QCOMPARE(pass.options.ProgramDateStar, inForce.ProgramDateStar);
        QCOMPARE(pass.options.RepCaption, inForce.RepCaption);
    }

    // A settings store the program cannot write: the options stay in force
    // for the run, sign-in and loading go on.
    void settingsThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("read-only file") << "read-only";
        QTest::newRow("a folder where the file belongs") << "folder";
    }
    void settingsThatCannotBeWritten()
    {
        QFETCH(QString, problem);
        Sandbox box;
        QVERIFY(box.isValid());
        const QString file = settingsFile(SettingsStore::MainApp);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        if (problem == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(file));
        } else {
            QVERIFY(
                writeFile(file, "[register]\nok=True\n[User]\nCount=1\n[1]\nName=系统管理员\nLevel=0\nHistory=0\n"));
            QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther));
        }
        for (const QString& path : {box.appDir(), box.settingsDir(), QFileInfo(file).path(), box.databasePath()})
            QVERIFY(openToEveryone(path));
        const QByteArray before = fileBytes(file);
        StartUp start;
        {
            OrdinaryUser user;
            QVERIFY(user.ok());
            start.run(box.appDir());
            start.window.reset();
            start.state.reset();
        }
        ++m_tried;
        QVERIFY(start.signedIn);
        QVERIFY(start.loaded);
        QCOMPARE(start.prompt.messages.size(), 0);
        if (problem == QLatin1String("read-only"))
            QVERIFY(fileBytes(file) == before);
    }

    void badTipFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("explains"); // the window says how to make a tip file
        QTest::newRow("missing") << "missing" << true;
        QTest::newRow("a folder") << "folder" << true;
        QTest::newRow("empty") << "empty" << false;
        QTest::newRow("random bytes") << "random" << false;
        QTest::newRow("one line of 100,000 characters") << "long" << false;
    }
    void badTipFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, explains);
        Sandbox box;
        QVERIFY(box.isValid());
        const QString path = box.appDir() + QLatin1Char('/') + TipFileName;
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (kind == QLatin1String("empty"))
            QVERIFY(writeFile(path, {}));
        else if (kind == QLatin1String("random"))
            QVERIFY(writeFile(path, randomBytes(5000, 31)));
        else if (kind == QLatin1String("long"))
            QVERIFY(writeFile(path, QStringLiteral("提").repeated(100000).toUtf8()));
        StartUp start;
        start.run(box.appDir());
        ++m_tried;
        QVERIFY(start.loaded);
        QCOMPARE(start.tip == frmTip::missingFileText(), explains);
        if (kind == QLatin1String("long"))
            QCOMPARE(start.tip.size(), 100000);
    }

    // A ledger the user cannot write to in the program's own folder: the
    // program runs on the user's data folder and leaves the file alone.
    void readOnlyLedgerBesideTheProgram()
    {
        Sandbox box;
        QTemporaryDir home;
        prepareLedger(box);
        QVERIFY(::chmod(QFile::encodeName(box.databasePath()).constData(), 0444) == 0);
        QVERIFY(openToEveryone(home.path()));
        QVERIFY(::chmod(QFile::encodeName(box.appDir()).constData(), 0755) == 0);
        const QByteArray before = fileBytes(box.databasePath());
        DataFolder chosen;
        {
            OrdinaryUser user;
            QVERIFY(user.ok());
            chosen = chooseDataFolder(box.appDir(), home.filePath(QStringLiteral("data")));
        }
        ++m_tried;
        QVERIFY(chosen.problem.isEmpty());
        QCOMPARE(chosen.folder, home.filePath(QStringLiteral("data")));
        QVERIFY(fileBytes(box.databasePath()) == before);
    }
};

QTEST_MAIN(tst_BadFiles)
#include "tst_badfiles.moc"
