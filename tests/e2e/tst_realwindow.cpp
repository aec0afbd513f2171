// The real program under a bare X server, driven through the keyboard the way
// a user drives it: sign in, the in-use editor from its menu shortcut, a new
// instrument, OK, the editor again, scrap it by its mnemonic and answer the
// question, OK, and leave the program answering its question. Then the
// ledger file and the settings file are read back.
//
// Xvfb runs without a window manager, so nobody but the program hands the
// keyboard from one window to the next: every step waits until the window it
// talks to has the keyboard, and a window that never gets it fails the test.
// Where Xvfb, xdotool or xmodmap is missing the test is skipped (exit code 77).
//
// Then three copies of the program on one ledger on the test cluster's
// server, side by side on the one display, each signed in as an account of
// its own: all three run at once on the server, each window names the ledger,
// and a picture of the screen is left in /tmp/shots when that folder exists.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <array>
#include <optional>

namespace {

constexpr int WindowTimeoutMs = 10000;

const QString LoginTitle = QStringLiteral("RAVO 登录");
const QString TipTitle = QStringLiteral("日积月累");
const QString MainTitle = QStringLiteral("RAVO");
const QString EditorTitle = QStringLiteral("在用计量器具台帐编辑器");
const QString ScrapTitle = QStringLiteral("报废");

const QString Number = QStringLiteral("E2E-001");
const QString Name = QStringLiteral("游标卡尺");

struct Window {
    QString id;
    QString name;
};

QString missingTools()
{
    QStringList missing;
    for (const char* tool : {"Xvfb", "xdotool", "xmodmap"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            missing << QLatin1String(tool);
    }
    return missing.join(QStringLiteral(" and "));
}

} // namespace

class TestRealWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void scrapsAnInstrumentThroughTheKeyboard();
    void threeCopiesOnOneServerLedger();

private:
    QString xdotool(const QStringList& args, bool* ok = nullptr);
    std::optional<Window> focusedWindow();
    // Waits until a window of that name (other than `other`) has the
    // keyboard; an empty id when none does in time.
    QString waitForFocus(const QString& name, const QString& other = {});
    // Presses the keys (separated by blanks) and types the text into
    // whatever window has the keyboard; false when xdotool fails.
    bool key(const QString& keys);
    bool type(const QString& text);

    QProcess m_xvfb;
    QString m_display;
    QProcess m_program;
    // The program whose windows are waited for.
    QProcess* m_watched = &m_program;
    QTemporaryDir m_folder;
};

void TestRealWindow::initTestCase()
{
    QVERIFY(m_folder.isValid());
    // Xvfb picks a free display itself and names it once it takes clients.
    m_xvfb.setProgram(QStandardPaths::findExecutable(QStringLiteral("Xvfb")));
    m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-noreset")});
    m_xvfb.start();
    QVERIFY2(m_xvfb.waitForStarted(WindowTimeoutMs), "Xvfb does not start");
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < WindowTimeoutMs && m_xvfb.state() == QProcess::Running) {
        m_xvfb.waitForReadyRead(200);
        out += m_xvfb.readAllStandardOutput();
    }
    const QByteArray number = out.trimmed();
    QVERIFY2(
        !number.isEmpty(),
        qPrintable(
            QStringLiteral("Xvfb names no display: %1").arg(QString::fromLocal8Bit(m_xvfb.readAllStandardError()))));
    m_display = QLatin1Char(':') + QString::fromLatin1(number);

    // The Chinese characters typed get keys of their own before the program
    // starts. Otherwise xdotool binds each to a spare key just before
    // pressing it, and a program busy at that moment reads the key by the
    // old binding: the character is lost.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    QProcess map;
    map.setProcessEnvironment(env);
    map.start(QStringLiteral("xmodmap"), {QStringLiteral("-pke")});
    QVERIFY(map.waitForFinished(WindowTimeoutMs));
    QStringList freeKeys; // "keycode 200 =" with nothing bound
    for (const QByteArray& line : map.readAllStandardOutput().split('\n'))
        if (line.startsWith("keycode") && line.trimmed().endsWith('='))
            freeKeys << QString::fromLatin1(line.mid(7, line.indexOf('=') - 7).trimmed());
    QStringList bindings;
    for (const QChar c : Name)
        if (c.unicode() > 0x7f && !freeKeys.isEmpty())
            bindings << QStringLiteral("-e")
                     << QStringLiteral("keycode %1 = U%2")
                            .arg(freeKeys.takeLast())
                            .arg(c.unicode(), 4, 16, QLatin1Char('0'));
    map.start(QStringLiteral("xmodmap"), bindings);
    QVERIFY(map.waitForFinished(WindowTimeoutMs));
    QCOMPARE(map.exitCode(), 0);
}

void TestRealWindow::cleanup()
{
    if (QTest::currentTestFailed() && !m_display.isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty()) {
        const QString shot = QDir::current().absoluteFilePath(QStringLiteral("tst_realwindow-failure.png"));
        QProcess import;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        import.setProcessEnvironment(env);
        import.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shot});
        if (import.waitForFinished(WindowTimeoutMs))
            qInfo("The screen at the failure: %s", qPrintable(shot));
    }
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(WindowTimeoutMs);
    }
}

void TestRealWindow::cleanupTestCase()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(WindowTimeoutMs))
            m_xvfb.kill();
    }
}

QString TestRealWindow::xdotool(const QStringList& args, bool* ok)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    const bool finished = p.waitForFinished(WindowTimeoutMs);
    if (!finished)
        p.kill();
    if (ok)
        *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

std::optional<Window> TestRealWindow::focusedWindow()
{
    bool ok = false;
    const QString id = xdotool({QStringLiteral("getwindowfocus")}, &ok);
    if (!ok || id.isEmpty())
        return std::nullopt;
    const QString name = xdotool({QStringLiteral("getwindowname"), id}, &ok);
    if (!ok)
        return std::nullopt;
    return Window{id, name};
}

QString TestRealWindow::waitForFocus(const QString& name, const QString& other)
{
    QElapsedTimer clock;
    clock.start();
    QString last;
    while (clock.elapsed() < WindowTimeoutMs) {
        if (const std::optional<Window> w = focusedWindow()) {
            if (w->name == name && w->id != other)
                return w->id;
            last = w->name;
        }
        if (m_watched->state() == QProcess::NotRunning)
            break;
        QThread::msleep(20);
    }
    qWarning("Waiting for \"%s\" to have the keyboard; \"%s\" has it", qPrintable(name), qPrintable(last));
    return {};
}

bool TestRealWindow::key(const QString& keys)
{
    bool ok = false;
    xdotool(QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')), &ok);
    return ok;
}

bool TestRealWindow::type(const QString& text)
{
    // xdotool types a character the keyboard map lacks (every Chinese one)
    // by binding it to a spare key for a moment; a program slow to read the
    // key under a busy machine then sees the key bound to the next character
    // and a character is lost. So such characters go one at a time, with a
    // pause for the program to take each before the key is bound again.
    bool ok = true;
    for (const QChar c : text) {
        bool typed = false;
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QString(c)}, &typed);
        ok = ok && typed;
        if (c.unicode() > 0x7f)
            QThread::msleep(250);
    }
    return ok;
}

void TestRealWindow::scrapsAnInstrumentThroughTheKeyboard()
{
    // A fresh application folder with the installed empty ledger and tip
    // file, and a fresh settings folder.
    const QString appDir = m_folder.filePath(QStringLiteral("app"));
    const QString configDir = m_folder.filePath(QStringLiteral("config"));
    const QString runtimeDir = m_folder.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(appDir) && QDir().mkpath(configDir) && QDir().mkpath(runtimeDir));
    QFile::setPermissions(runtimeDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString ledger = appDir + QStringLiteral("/ravo.mdb");
    QVERIFY(QFile::copy(QStringLiteral(RAVO_INSTALLED_DIR "/ravo.mdb"), ledger));
    QVERIFY(QFile::copy(QStringLiteral(RAVO_INSTALLED_DIR "/TIPOFDAY.TXT"), appDir + QStringLiteral("/TIPOFDAY.TXT")));
    const QDate startDay = QDate::currentDate();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_IM_MODULE"));
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::ForwardedChannels);
    m_program.start(QStringLiteral(RAVO_PROGRAM), {QStringLiteral("--appdir"), appDir});
    QVERIFY2(m_program.waitForStarted(WindowTimeoutMs), "the program does not start");

    // Sign in as the first account, which has no password yet.
    QVERIFY(!waitForFocus(LoginTitle).isEmpty());
    QVERIFY(key(QStringLiteral("Return")));

    // The tip of the day comes over the main window on a fresh settings file.
    QVERIFY(!waitForFocus(TipTitle).isEmpty());
    QVERIFY(key(QStringLiteral("Return")));
    const QString mainWindow = waitForFocus(MainTitle);
    QVERIFY2(!mainWindow.isEmpty(), "the main window does not get the keyboard back from the tip");

    // 编辑 › 在用器具台帐 (Ctrl+S); 添加(&A), the number, three fields on the
    // name; 确定(&O) keeps it and closes the editor.
    QVERIFY(key(QStringLiteral("ctrl+s")));
    QVERIFY(!waitForFocus(EditorTitle).isEmpty());
    QVERIFY(key(QStringLiteral("alt+a")));
    QVERIFY(type(Number));
    QVERIFY(key(QStringLiteral("Tab Tab Tab")));
    QVERIFY(type(Name));
    QVERIFY(key(QStringLiteral("alt+o")));
    QVERIFY2(waitForFocus(MainTitle) == mainWindow, "the main window does not get the keyboard back from the editor");

    // The editor again, on the new instrument: 报废(&J), answer 确定, then
    // 确定(&O).
    QVERIFY(key(QStringLiteral("ctrl+s")));
    QVERIFY(!waitForFocus(EditorTitle).isEmpty());
    QVERIFY(key(QStringLiteral("alt+j")));
    QVERIFY(!waitForFocus(ScrapTitle).isEmpty());
    QVERIFY(key(QStringLiteral("Return")));
    QVERIFY2(!waitForFocus(EditorTitle).isEmpty(), "the editor does not get the keyboard back from the question");
    QVERIFY(key(QStringLiteral("alt+o")));
    QVERIFY(waitForFocus(MainTitle) == mainWindow);

    // 记录 › 退出 (Ctrl+Q) and its question, titled like the main window.
    QVERIFY(key(QStringLiteral("ctrl+q")));
    QVERIFY(!waitForFocus(MainTitle, mainWindow).isEmpty());
    QVERIFY(key(QStringLiteral("Return")));
    QVERIFY2(m_program.waitForFinished(WindowTimeoutMs), "the program does not end");
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    const QDate endDay = QDate::currentDate();

    // The instrument left the in-use ledger for the scrapped one, today.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(ledger);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM 计量器具在用库")) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QVERIFY(q.exec(QStringLiteral("SELECT 计量器具编号, 计量器具名称, 报废日期, 状态 FROM 计量器具报废库")));
        QVERIFY2(q.next(), "the scrapped ledger is empty");
        QCOMPARE(q.value(0).toString(), Number);
        QCOMPARE(q.value(1).toString(), Name);
        const QString day = q.value(2).toString();
        QVERIFY2(day == startDay.toString(Qt::ISODate) || day == endDay.toString(Qt::ISODate), qPrintable(day));
        QCOMPARE(q.value(3).toString(), QStringLiteral("报废"));
        QVERIFY(!q.next());
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // The first account signed in last.
    const QString settingsFile = configDir + QStringLiteral("/RAVO/RAVO.ini");
    QVERIFY2(QFile::exists(settingsFile), qPrintable(settingsFile));
    QSettings settings(settingsFile, QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Settings/OldUser")).toString(), QStringLiteral("0"));
}

void TestRealWindow::threeCopiesOnOneServerLedger()
{
    const QString pgDir = qEnvironmentVariable("RAVO_TEST_PGDIR");
    QFile hostFile(pgDir + QStringLiteral("/host"));
    if (pgDir.isEmpty() || !hostFile.open(QIODevice::ReadOnly))
        QSKIP("no test cluster (RAVO_TEST_PGDIR); run through ctest");
    const QString host = QString::fromUtf8(hostFile.readAll()).trimmed();
    const QString database = QStringLiteral("ravo_e2e_three");
    const QStringList people = {QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")};
    auto role = [&](int i) { return people.at(i) + QLatin1Char('_') + database; };

    // A fresh server ledger with three in-use instruments, the ledger's
    // three levels and an account at each.
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        admin.setHostName(host);
        admin.setDatabaseName(QStringLiteral("postgres"));
        admin.setUserName(QStringLiteral("ravo"));
        QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
        QSqlQuery q(admin);
        // Sessions left by an earlier run go first, then the database.
        q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1'")
                   .arg(database));
        QVERIFY2(q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(database)), qPrintable(q.lastError().text()));
        // The first administrator an earlier run's ledger was made with
        // (roles belong to the whole server).
        QVERIFY2(q.exec(QStringLiteral("DROP ROLE IF EXISTS \"系统管理员\"")), qPrintable(q.lastError().text()));
        QVERIFY2(q.exec(QStringLiteral("CREATE DATABASE %1").arg(database)), qPrintable(q.lastError().text()));
        q.finish();
        admin.setDatabaseName(database);
        admin.close();
        QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
        // The ledger made as a department makes it, by the database's owner.
        QProcess makedb;
        makedb.start(QStringLiteral(RAVO_MAKEDB),
                     {QStringLiteral("--server"), QStringLiteral("host=%1 dbname=%2 user=ravo").arg(host, database)});
        QVERIFY(makedb.waitForFinished(60000));
        QVERIFY2(makedb.exitCode() == 0, makedb.readAllStandardError().constData());
        QSqlQuery ledger(admin);
        QStringList setUp;
        for (int level = 0; level <= 2; ++level) {
            const QString group = QStringLiteral("ravo_%1_level%2").arg(database).arg(level);
            setUp << QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                                    "CREATE ROLE %1 NOLOGIN; END IF; END$$")
                         .arg(group)
                  << QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(group)
                  << QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(group)
                  << QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                                    "CREATE ROLE \"%1\" LOGIN; END IF; END$$")
                         .arg(role(level))
                  << QStringLiteral("ALTER ROLE \"%1\" LOGIN PASSWORD 'pw%2'").arg(role(level)).arg(level)
                  << QStringLiteral("GRANT %1 TO \"%2\"").arg(group, role(level));
        }
        for (int i = 1; i <= 3; ++i)
            setUp << QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 使用部门) "
                                    "VALUES ('S-%1', '游标卡尺', '一车间')")
                         .arg(i);
        for (const QString& sql : setUp)
            QVERIFY2(ledger.exec(sql), qPrintable(sql + QLatin1Char(' ') + ledger.lastError().text()));
        ledger.finish();
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));

    // Each copy on its own settings, a window of its own place.
    std::array<QProcess, 3> copies;
    QStringList titles;
    for (int i = 0; i < 3; ++i) {
        const QString configDir = m_folder.filePath(QStringLiteral("server-config%1").arg(i));
        const QString runtimeDir = m_folder.filePath(QStringLiteral("server-runtime%1").arg(i));
        QVERIFY(QDir().mkpath(configDir + QStringLiteral("/RAVO")) && QDir().mkpath(runtimeDir));
        QFile::setPermissions(runtimeDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        {
            QSettings ini(configDir + QStringLiteral("/RAVO/RAVO.ini"), QSettings::IniFormat);
            ini.setValue(QStringLiteral("WindowsSettings/MainLeft"), QString::number(i == 1 ? 9600 : 0));
            ini.setValue(QStringLiteral("WindowsSettings/MainTop"), QString::number(i == 2 ? 7680 : 0));
            ini.setValue(QStringLiteral("WindowsSettings/MainWidth"), QStringLiteral("9600"));
            ini.setValue(QStringLiteral("WindowsSettings/MainHeight"), QStringLiteral("7500"));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("QT_IM_MODULE"));
        QProcess& copy = copies.at(size_t(i));
        copy.setProcessEnvironment(env);
        copy.setProcessChannelMode(QProcess::ForwardedChannels);
        copy.start(
            QStringLiteral(RAVO_PROGRAM),
            {QStringLiteral("--server"), QStringLiteral("host=%1 dbname=%2 user=%3").arg(host, database, role(i))});
        QVERIFY2(copy.waitForStarted(WindowTimeoutMs), "the program does not start");
        m_watched = &copy;
        // The account is offered; its password signs it in.
        QVERIFY(!waitForFocus(QStringLiteral("RAVO 登录 — 数据库服务器")).isEmpty());
        QVERIFY(type(QStringLiteral("pw%1").arg(i)));
        QVERIFY(key(QStringLiteral("Return")));
        QVERIFY(!waitForFocus(TipTitle).isEmpty());
        QVERIFY(key(QStringLiteral("Return")));
        titles << QStringLiteral("RAVO — 服务器 %1@%2/%3").arg(role(i), host, database);
        QVERIFY2(!waitForFocus(titles.last()).isEmpty(), qPrintable(titles.last()));
    }
    m_watched = &m_program;

    // All three at work on the server at once, each as its own account.
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("check"));
        check.setHostName(host);
        check.setDatabaseName(database);
        check.setUserName(QStringLiteral("ravo"));
        QVERIFY(check.open());
        QSqlQuery q(check);
        QVERIFY(q.exec(QStringLiteral("SELECT string_agg(DISTINCT usename, ',' ORDER BY usename) FROM pg_stat_activity "
                                      "WHERE datname = '%1' AND usename <> 'ravo'")
                           .arg(database))
                && q.next());
        QStringList expected = {role(0), role(1), role(2)};
        QStringList seen = q.value(0).toString().split(QLatin1Char(','));
        expected.sort();
        seen.sort();
        QCOMPARE(seen, expected);
        q.finish();
        check.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    if (QFileInfo(QStringLiteral("/tmp/shots")).isDir()) {
        QProcess import;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        import.setProcessEnvironment(env);
        import.start(
            QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("/tmp/shots/e2e-three-copies.png")});
        import.waitForFinished(WindowTimeoutMs);
    }

    // Each leaves as usual: 记录 › 退出 and its question.
    for (int i = 0; i < 3; ++i) {
        QProcess& copy = copies.at(size_t(i));
        m_watched = &copy;
        // Without a window manager the keyboard is handed over by hand.
        (void)xdotool({QStringLiteral("search"), QStringLiteral("--name"), role(i), QStringLiteral("windowfocus"),
                       QStringLiteral("--sync")});
        const QString main = waitForFocus(titles.at(i));
        QVERIFY2(!main.isEmpty(), qPrintable(titles.at(i)));
        QVERIFY(key(QStringLiteral("ctrl+q")));
        QVERIFY(!waitForFocus(MainTitle).isEmpty());
        QVERIFY(key(QStringLiteral("Return")));
        QVERIFY2(copy.waitForFinished(WindowTimeoutMs), "a copy does not end");
        QCOMPARE(copy.exitCode(), 0);
    }
    m_watched = &m_program;
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (const QString missing = missingTools(); !missing.isEmpty()) {
        qInfo("SKIP: %s not found; the real window test needs them (scripts/deps installs them)", qPrintable(missing));
        return 77;
    }
    TestRealWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realwindow.moc"
