// The two seeding passes over the settings store: the options pass of the
// main window and the loading of the account list at sign-in, plus the
// start-up flags, the window placement and the last-account preselection.
#include "core/Accounts.h"
#include "core/Options.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace ravo;

namespace {

const QDate kToday(2024, 2, 10);
const QString& kApp = SettingsStore::MainApp;
const QStringList kKeptKeys = {"Nav", "DBCompact", "DBBackup", "Awoke", "AdvanceDay", "AdvanceWeek"};

struct Option {
    QString section;
    QString key;
    QString seeded;     // after seeding an empty store on kToday
    QString customised; // in a store a user has worked with
};

QList<Option> allOptions()
{
    QList<Option> o = {
        {"SysOptions", "Nav", "False", "True"},
        {"SysOptions", "DBCompact", "False", "True"},
        {"SysOptions", "DBBackup", "False", "True"},
        {"SysOptions", "Awoke", "False", "True"},
        {"SysOptions", "Advance", "1", "3"},
        {"SysOptions", "AdvanceDay", "0", "5"},
        {"SysOptions", "AdvanceWeek", "0", "2"},
        {"Options", "在启动时显示提示", "1", "0"},
        {"PDC", "ProgramDateClass", "1", "2"},
        {"PDC", "ProgramDateStar", "2024-02-10", "2023-01-01"},
        {"PDC", "ProgramDateEnd", "2024-03-11", "2023-06-30"},
        {"PDC", "RC", "计划检定设备清单", "本月检定"},
        {"Report", "RepCaption", "在用计量器具台帐", "台帐"},
        {"Print", "GroupName", "", "某某计量所"},
    };
    for (int n = 1; n <= 5; ++n) {
        o.append({"Print", QString("PrintClass%1X").arg(n), "0", QString::number(10 * n)});
        o.append({"Print", QString("PrintClass%1Y").arg(n), "0", QString::number(10 * n + 1)});
    }
    return o;
}

const QList<SavedQuery> kUserQueries = {
    {"张三的查询", "select * into MSys检索临时表 from 计量器具在用库 where 使用部门 = \"一车间\""},
    {"按名称", "select * into MSys检索临时表 from 计量器具在用库 ORDER BY 计量器具名称"},
};

void writeQueries(SettingsStore& store, const QList<SavedQuery>& queries)
{
    for (int i = 0; i < queries.size(); ++i) {
        store.save(SettingsStore::QueryApp, QString::number(i + 1), "Name", queries[i].name);
        store.save(SettingsStore::QueryApp, QString::number(i + 1), "SQL", queries[i].sql);
    }
}

// A store a user has worked with: every option away from its default and two
// saved queries.
void writeCustomised(SettingsStore& store)
{
    for (const Option& o : allOptions())
        store.save(kApp, o.section, o.key, o.customised);
    store.save(kApp, "QuerySqlSave", "Count", "2");
    writeQueries(store, kUserQueries);
    // An option added later, which older stores do not hold.
    store.save(kApp, "Certificate", "UpdateLedger", "True");
}

bool sameQueries(const QVector<SavedQuery>& a, const QList<SavedQuery>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].sql != b[i].sql)
            return false;
    }
    return true;
}

} // namespace

class TestSeeding : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyStoreGetsEveryDefault();
    void differentlyCasedStoreIsRead();
    void failedReadWritesDefaultSet_data();
    void failedReadWritesDefaultSet();
    void failureInsideSavedQueries();
    void noSavedQueries_data();
    void noSavedQueries();
    void maintenanceFlags_data();
    void maintenanceFlags();
    void windowPlacement_data();
    void windowPlacement();
    void windowPlacementIsWrittenAsText();

    void loadAccounts_data();
    void loadAccounts();
    void savedAccountsReadBack();
    void preselect_data();
    void preselect();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    void writeIni(const QByteArray& text);
};

void TestSeeding::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->path());
}

void TestSeeding::cleanup()
{
    m_dir.reset();
}

void TestSeeding::writeIni(const QByteArray& text)
{
    QVERIFY(QDir().mkpath(m_dir->path() + "/RAVO"));
    QFile f(m_dir->path() + "/RAVO/RAVO.ini");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void TestSeeding::emptyStoreGetsEveryDefault()
{
    SettingsStore store;
    const OptionsPassResult r = seedOptions(store, kToday);
    QVERIFY(r.reseeded);
    QVERIFY(r.queriesReseeded);

    for (const Option& o : allOptions())
        QCOMPARE(store.read(kApp, o.section, o.key, "absent"), o.seeded);
    QCOMPARE(store.read(kApp, "QuerySqlSave", "Count"), QString("1"));
    QCOMPARE(store.read(SettingsStore::QueryApp, "1", "Name"), QString("常用查询1"));
    QCOMPARE(store.read(SettingsStore::QueryApp, "1", "SQL"),
             QString("select 计量器具编号,计量器具名称,规格型号,法制管理类别,使用部门 into MSys检索临时表 "
                     "from 计量器具在用库 ORDER BY 计量器具编号"));
    QVERIFY(sameQueries(r.savedQueries, {seededQuery()}));

    QCOMPARE(r.options.ProgramDateEnd, kToday.addDays(30));

    // Placement and the last account are never seeded.
    QVERIFY(!store.contains(kApp, "WindowsSettings", "MainLeft"));
    QVERIFY(!store.contains(kApp, "Settings", "OldUser"));

    // The next start finds everything in place (an empty GroupName included).
    const OptionsPassResult again = seedOptions(store, kToday.addDays(5));
    QVERIFY(!again.reseeded);
    QCOMPARE(again.options.ProgramDateStar, kToday);
}

void TestSeeding::differentlyCasedStoreIsRead()
{
    SettingsStore store;
    for (const Option& o : allOptions())
        store.save(kApp, o.section.toLower(), o.key.toUpper(), o.customised);
    store.save(kApp, "querysqlsave", "count", "2");
    writeQueries(store, kUserQueries);

    const OptionsPassResult r = seedOptions(store, kToday);
    // Options added since are absent from such a store: they take their
    // defaults without the default set being written.
    QVERIFY(!r.reseeded);
    QVERIFY(!r.options.CertificateUpdatesLedger && !r.options.ValidUntilByPeriod);
    QCOMPARE(r.options.ShowTipsAtStartup, qint16(0));
    QCOMPARE(r.options.ProgramDateEnd, QDate(2023, 6, 30));
    QCOMPARE(r.options.GroupName, QString("某某计量所"));
    QCOMPARE(r.options.PrintClassY[4], qint16(51));
    QVERIFY(sameQueries(r.savedQueries, kUserQueries));
}

void TestSeeding::failedReadWritesDefaultSet_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");    // null: the key is absent
    QTest::addColumn<QStringList>("kept"); // Nav … AdvanceWeek after reseeding
    QTest::addColumn<bool>("queriesReseeded");

    const QStringList all = {"True", "True", "True", "True", "5", "2"};
    const QStringList none = {"False", "False", "False", "False", "0", "0"};

    QTest::newRow("RC absent") << "PDC"
                               << "RC" << QString() << all << false;
    QTest::newRow("query count absent") << "QuerySqlSave"
                                        << "Count" << QString() << none << true;
    QTest::newRow("query count not a number") << "QuerySqlSave"
                                              << "Count"
                                              << "x" << none << true;
    QTest::newRow("Nav not a boolean") << "SysOptions"
                                       << "Nav"
                                       << "ja" << none << false;
    QTest::newRow("tips absent") << "Options"
                                 << "在启动时显示提示" << QString()
                                 << QStringList{"True", "False", "False", "False", "0", "0"} << false;
    QTest::newRow("Advance not a number") << "SysOptions"
                                          << "Advance"
                                          << "abc" << QStringList{"True", "True", "True", "True", "0", "0"} << false;
    QTest::newRow("AdvanceWeek out of range")
        << "SysOptions"
        << "AdvanceWeek"
        << "40000" << QStringList{"True", "True", "True", "True", "5", "0"} << false;
    QTest::newRow("plan end no date") << "PDC"
                                      << "ProgramDateEnd"
                                      << "2024-02-30" << all << false;
    QTest::newRow("GroupName absent") << "Print"
                                      << "GroupName" << QString() << all << false;
    QTest::newRow("last print position") << "Print"
                                         << "PrintClass5Y"
                                         << "y" << all << false;
}

void TestSeeding::failedReadWritesDefaultSet()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QStringList, kept);
    QFETCH(bool, queriesReseeded);

    SettingsStore store;
    writeCustomised(store);
    if (value.isNull())
        store.removeKey(kApp, section, key);
    else
        store.save(kApp, section, key, value);

    const OptionsPassResult r = seedOptions(store, kToday);
    QVERIFY(r.reseeded);
    QCOMPARE(r.queriesReseeded, queriesReseeded);

    for (const Option& o : allOptions()) {
        const qsizetype k = kKeptKeys.indexOf(o.key);
        QCOMPARE(store.read(kApp, o.section, o.key), k >= 0 ? kept.at(k) : o.seeded);
    }
    // The options handed back are those now in the store.
    const Options& o = r.options;
    QCOMPARE(o.Nav, kept.at(0) == "True");
    QCOMPARE(o.AdvanceWeek, qint16(kept.at(5).toInt()));
    QCOMPARE(o.Advance, qint16(1));
    QCOMPARE(o.ProgramDateStar, kToday);
    QCOMPARE(o.RC, DefaultPlanTitle);
    QCOMPARE(o.PrintClassY[4], qint16(0));
    // The default set leaves an option added later as the user set it.
    QVERIFY(o.CertificateUpdatesLedger);
    QCOMPARE(store.read(kApp, "Certificate", "UpdateLedger"), QString("True"));
    QVERIFY(!store.contains(kApp, "Certificate", "ValidByPeriod"));

    if (queriesReseeded) {
        QCOMPARE(store.read(kApp, "QuerySqlSave", "Count"), QString("1"));
        QVERIFY(sameQueries(r.savedQueries, {seededQuery()}));
        // The user's second query is no longer listed, but it is not erased.
        QCOMPARE(store.read(SettingsStore::QueryApp, "2", "Name"), kUserQueries[1].name);
    } else {
        QCOMPARE(store.read(kApp, "QuerySqlSave", "Count"), QString("2"));
        QVERIFY(sameQueries(r.savedQueries, kUserQueries));
    }
}

void TestSeeding::failureInsideSavedQueries()
{
    SettingsStore store;
    writeCustomised(store);
    store.save(kApp, "QuerySqlSave", "Count", "3");
    writeQueries(store, {kUserQueries[0], kUserQueries[1], {"第三", "select 3"}});
    store.removeKey(SettingsStore::QueryApp, "2", "SQL");

    const OptionsPassResult r = seedOptions(store, kToday);
    QVERIFY(r.reseeded);
    QVERIFY(!r.queriesReseeded);
    // The pass stopped before the options: the six kept values fall back too.
    QCOMPARE(store.read(kApp, "SysOptions", "Nav"), QString("False"));
    QCOMPARE(store.read(kApp, "SysOptions", "AdvanceDay"), QString("0"));
    QCOMPARE(store.read(kApp, "PDC", "RC"), DefaultPlanTitle);
    // The saved queries are the user's and stay as they are.
    QCOMPARE(store.read(kApp, "QuerySqlSave", "Count"), QString("3"));
    QVERIFY(!store.contains(SettingsStore::QueryApp, "2", "SQL"));
    QVERIFY(sameQueries(r.savedQueries, {kUserQueries[0], {kUserQueries[1].name, ""}, {"第三", "select 3"}}));
}

void TestSeeding::noSavedQueries_data()
{
    QTest::addColumn<QString>("count");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-3";
}

void TestSeeding::noSavedQueries()
{
    QFETCH(QString, count);
    SettingsStore store;
    writeCustomised(store);
    store.save(kApp, "QuerySqlSave", "Count", count);

    const OptionsPassResult r = seedOptions(store, kToday);
    QVERIFY(!r.reseeded);
    QVERIFY(r.savedQueries.isEmpty());
}

void TestSeeding::maintenanceFlags_data()
{
    QTest::addColumn<QString>("backup"); // null: absent
    QTest::addColumn<QString>("compact");
    QTest::addColumn<bool>("expectBackup");
    QTest::addColumn<bool>("expectCompact");

    QTest::newRow("absent") << QString() << QString() << false << false;
    QTest::newRow("True/False") << "True"
                                << "False" << true << false;
    QTest::newRow("not a boolean / number") << "x"
                                            << "-1" << false << true;
}

void TestSeeding::maintenanceFlags()
{
    QFETCH(QString, backup);
    QFETCH(QString, compact);
    QFETCH(bool, expectBackup);
    QFETCH(bool, expectCompact);
    SettingsStore store;
    if (!backup.isNull())
        store.save(kApp, "SysOptions", "DBBackup", backup);
    if (!compact.isNull())
        store.save(kApp, "SysOptions", "DBCompact", compact);
    const MaintenanceFlags f = readMaintenanceFlags(store);
    QCOMPARE(f.backup, expectBackup);
    QCOMPARE(f.compact, expectCompact);
}

void TestSeeding::windowPlacement_data()
{
    QTest::addColumn<QStringList>("stored"); // MainLeft … MainHeight; null: absent
    QTest::addColumn<QList<float>>("expected");

    QTest::newRow("absent") << QStringList{QString(), QString(), QString(), QString()}
                            << QList<float>{1000, 1000, 6500, 6500};
    QTest::newRow("stored") << QStringList{"-120", "240.5", "12000", "9000"} << QList<float>{-120, 240.5f, 12000, 9000};
    QTest::newRow("not numbers") << QStringList{"abc", "", "1e39", "7000"} << QList<float>{1000, 1000, 6500, 7000};
}

void TestSeeding::windowPlacement()
{
    QFETCH(QStringList, stored);
    QFETCH(QList<float>, expected);
    SettingsStore store;
    const QStringList keys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};
    for (int i = 0; i < keys.size(); ++i) {
        if (!stored[i].isNull())
            store.save(kApp, "WindowsSettings", keys[i], stored[i]);
    }
    const WindowPlacement p = readWindowPlacement(store);
    QCOMPARE(QList<float>({p.left, p.top, p.width, p.height}), expected);
}

void TestSeeding::windowPlacementIsWrittenAsText()
{
    SettingsStore store;
    saveWindowPlacement(store, {-60, 1500.5f, 12000, 9000}, 1);
    QStringList texts;
    for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        texts << store.read(kApp, "WindowsSettings", key);
    QCOMPARE(texts, QStringList({"-60", "1500.5", "12000", "9000"}));
    QCOMPARE(store.read(kApp, "Settings", "OldUser"), QString("1"));
}

void TestSeeding::loadAccounts_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("seeded");
    QTest::addColumn<QStringList>("names");

    const QByteArray two = "[register]\nok=True\n[User]\nCount=2\n"
                           "[1]\nName=系统管理员\nPassword=root\nLevel=0\nHistory=0\n"
                           "[2]\nName=张三\nPassword=z\nLevel=2\nHistory=4\n";
    const auto reseeds = [](const char* row, const QByteArray& ini) {
        QTest::newRow(row) << ini << true << QStringList{"系统管理员"};
    };

    QTest::newRow("two accounts") << two << false << QStringList{"系统管理员", "张三"};
    QTest::newRow("names in other case") << QByteArray(
        "[REGISTER]\nOK=true\n[user]\ncount=1\n[1]\nname=李四\nlevel=1\nHISTORY=0\n")
                                         << false << QStringList{"李四"};
    QTest::newRow("name and password absent")
        << QByteArray("[register]\nok=True\n[User]\nCount=1\n[1]\nLevel=1\nHistory=0\n") << false << QStringList{""};
    reseeds("empty store", QByteArray());
    reseeds("count 0", QByteArray(two).replace("Count=2", "Count=0"));
    reseeds("count x", QByteArray(two).replace("Count=2", "Count=x"));
    reseeds("count negative", QByteArray(two).replace("Count=2", "Count=-2"));
    reseeds("count beyond sections", QByteArray(two).replace("Count=2", "Count=3"));
    reseeds("flag absent", QByteArray(two).replace("[register]\nok=True\n", ""));
    reseeds("flag False", QByteArray(two).replace("ok=True", "ok=False"));
    reseeds("flag not a boolean", QByteArray(two).replace("ok=True", "ok=yes"));
    reseeds("level abc", QByteArray(two).replace("Level=2", "Level=abc"));
    reseeds("history absent", QByteArray(two).replace("History=4\n", ""));
}

void TestSeeding::loadAccounts()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, seeded);
    QFETCH(QStringList, names);
    if (!ini.isEmpty())
        writeIni(ini);

    SettingsStore store;
    const AccountLoad load = loadAccountList(store);
    QCOMPARE(load.seeded, seeded);
    QStringList gotNames;
    for (const UserAccount& a : load.accounts)
        gotNames << a.Name;
    QCOMPARE(gotNames, names);
    if (!seeded)
        return;

    QCOMPARE(load.accounts[0].Password, QString());
    QCOMPARE(load.accounts[0].Level, qint16(0));
    QStringList stored;
    for (const char* key : {"Name", "Password", "Level", "History"})
        stored << store.read(kApp, "1", key, "absent");
    QCOMPARE(stored, QStringList({"系统管理员", "", "0", "0"}));
    QCOMPARE(store.read(kApp, "register", "ok"), QString("True"));
    QCOMPARE(store.read(kApp, "User", "Count"), QString("1"));
    // Other accounts' sections stay in the store.
    QCOMPARE(store.contains(kApp, "2", "Name"), ini.contains("[2]"));
}

void TestSeeding::savedAccountsReadBack()
{
    SettingsStore store;
    loadAccountList(store);
    const QVector<UserAccount> accounts = {
        {"系统管理员", "", 0, 0},
        {"张三", "  空格 ", 2, 0},
        {"Li Si", "p=a;s,s\"w", 1, 9},
    };
    saveAccountList(store, accounts);
    savePassword(store, 1, "新密码");
    auto text = [](const UserAccount& a) {
        return QStringList{a.Name, a.Password, QString::number(a.Level), QString::number(a.History)};
    };
    AccountLoad load = loadAccountList(store);
    QVERIFY(!load.seeded);
    QCOMPARE(load.accounts.size(), 3);
    QCOMPARE(text(load.accounts[0]), QStringList({"系统管理员", "新密码", "0", "0"}));
    QCOMPARE(text(load.accounts[1]), text(accounts[1]));
    QCOMPARE(text(load.accounts[2]), text(accounts[2]));

    // Shrinking the list leaves the later sections unlisted, not erased.
    saveAccountList(store, accounts.mid(0, 1));
    QCOMPARE(store.read(kApp, "User", "Count"), QString("1"));
    QVERIFY(store.contains(kApp, "3", "Name"));
    QCOMPARE(loadAccountList(store).accounts.size(), 1);
}

void TestSeeding::preselect_data()
{
    QTest::addColumn<QString>("oldUser"); // null: absent
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("expected");

    QTest::newRow("absent") << QString() << 2 << 0;
    QTest::newRow("NO") << "NO" << 2 << 0;
    QTest::newRow("abc") << "abc" << 2 << 0;
    QTest::newRow("past the last entry") << "2" << 2 << 0;
    QTest::newRow("far too large") << "99999999999" << 2 << 0;
    QTest::newRow("negative") << "-1" << 2 << 0;
    QTest::newRow("fraction") << "1.5" << 2 << 0;
    QTest::newRow("second of two") << "1" << 2 << 1;
    QTest::newRow("second of one") << "1" << 1 << 0;
    QTest::newRow("last of three") << "2" << 3 << 2;
}

void TestSeeding::preselect()
{
    QFETCH(QString, oldUser);
    QFETCH(int, entries);
    QFETCH(int, expected);
    SettingsStore store;
    if (!oldUser.isNull())
        store.save(kApp, "Settings", "OldUser", oldUser);
    QCOMPARE(preselectIndex(store, entries), expected);
}

QTEST_GUILESS_MAIN(TestSeeding)
#include "tst_seeding.moc"
