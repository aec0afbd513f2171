// The settings store over QSettings INI files: case-insensitive names, names
// QSettings would otherwise mangle, values that must come back unchanged, and
// the typed reads and writes.
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using ravo::SettingsStore;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void handWrittenSpellingIsKept();
    void handWrittenGeneralSection();
    void roundTripThroughDisk_data();
    void roundTripThroughDisk();
    void absentAndEmptyValues();
    void removeSectionRemovesEverySpelling();
    void applicationsAreSeparateFiles();

    void typedReads_data();
    void typedReads();
    void typedReadsOfAbsentKeysFail();
    void typedWrites_data();
    void typedWrites();

private:
    // The settings folder the store of the current test lives in.
    std::unique_ptr<QTemporaryDir> m_dir;

    QString iniPath(const QString& dir, const QString& app) const { return dir + "/RAVO/" + app + ".ini"; }
    void writeIni(const QString& app, const QByteArray& text);
    QString iniText(const QString& app) const;
    // Points QSettings at a fresh folder holding a copy of the current files,
    // so that a new store reads them from disk rather than from the cache of
    // this process.
    void moveToCopy();
};

void TestSettingsStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->path());
}

void TestSettingsStore::cleanup()
{
    m_dir.reset();
}

void TestSettingsStore::writeIni(const QString& app, const QByteArray& text)
{
    QVERIFY(QDir().mkpath(m_dir->path() + "/RAVO"));
    QFile f(iniPath(m_dir->path(), app));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QString TestSettingsStore::iniText(const QString& app) const
{
    QFile f(iniPath(m_dir->path(), app));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void TestSettingsStore::moveToCopy()
{
    auto copy = std::make_unique<QTemporaryDir>();
    QVERIFY(copy->isValid());
    QVERIFY(QDir().mkpath(copy->path() + "/RAVO"));
    for (const QString& app : {SettingsStore::MainApp, SettingsStore::QueryApp}) {
        const QString from = iniPath(m_dir->path(), app);
        if (QFile::exists(from))
            QVERIFY(QFile::copy(from, iniPath(copy->path(), app)));
    }
    m_dir = std::move(copy);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->path());
}

void TestSettingsStore::namesIgnoreCase_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("otherSection");
    QTest::addColumn<QString>("otherKey");

    QTest::newRow("Count/count") << "User"
                                 << "Count"
                                 << "User"
                                 << "count";
    QTest::newRow("QuerySqlSave/Querysqlsave") << "QuerySqlSave"
                                               << "Count"
                                               << "Querysqlsave"
                                               << "Count";
    QTest::newRow("both differ") << "SysOptions"
                                 << "DBBackup"
                                 << "SYSOPTIONS"
                                 << "dbbackup";
    QTest::newRow("General/general") << "General"
                                     << "Key"
                                     << "general"
                                     << "KEY";
}

void TestSettingsStore::namesIgnoreCase()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, otherSection);
    QFETCH(QString, otherKey);
    {
        SettingsStore store;
        store.save(SettingsStore::MainApp, section, key, "first");
        QVERIFY(store.contains(SettingsStore::MainApp, otherSection, otherKey));
        QCOMPARE(store.read(SettingsStore::MainApp, otherSection, otherKey), QString("first"));

        // Writing under the other spelling replaces the one value.
        store.save(SettingsStore::MainApp, otherSection, otherKey, "second");
        QCOMPARE(store.read(SettingsStore::MainApp, section, key), QString("second"));
    }
    moveToCopy();
    SettingsStore store;
    QCOMPARE(store.read(SettingsStore::MainApp, otherSection, otherKey), QString("second"));
    QCOMPARE(store.read(SettingsStore::MainApp, section, key), QString("second"));
    const QSettings raw(iniPath(m_dir->path(), SettingsStore::MainApp), QSettings::IniFormat);
    QCOMPARE(raw.allKeys().size(), 1);
}

void TestSettingsStore::handWrittenSpellingIsKept()
{
    writeIni(SettingsStore::MainApp, "[querysqlsave]\ncount=3\n[1]\nSQL=select a,b from t\n");
    {
        SettingsStore store;
        // QSettings splits an unquoted value at its commas.
        QCOMPARE(store.read(SettingsStore::MainApp, "1", "sql"), QString("select a,b from t"));
        QCOMPARE(store.read(SettingsStore::MainApp, "QuerySqlSave", "Count"), QString("3"));
        QCOMPARE(store.readInt16(SettingsStore::MainApp, "QuerySqlSave", "Count"), std::optional<qint16>(3));
        store.saveInt(SettingsStore::MainApp, "QuerySqlSave", "Count", 4);
        store.sync();
    }
    const QString text = iniText(SettingsStore::MainApp);
    QVERIFY2(text.contains("[querysqlsave]") && text.contains("count=4"), qPrintable(text));
    QVERIFY2(!text.contains("QuerySqlSave") && !text.contains("Count"), qPrintable(text));
}

void TestSettingsStore::handWrittenGeneralSection()
{
    // QSettings takes a "[General]" section of the file for top-level keys.
    writeIni(SettingsStore::MainApp, "[General]\nTitle=abc\n[Other]\nx=1\n");
    SettingsStore store;
    QCOMPARE(store.read(SettingsStore::MainApp, "general", "title"), QString("abc"));
    store.save(SettingsStore::MainApp, "General", "Title", "def");
    QCOMPARE(store.read(SettingsStore::MainApp, "General", "Title"), QString("def"));
    store.removeSection(SettingsStore::MainApp, "GENERAL");
    QVERIFY(!store.contains(SettingsStore::MainApp, "General", "Title"));
    QCOMPARE(store.read(SettingsStore::MainApp, "Other", "x"), QString("1"));
}

void TestSettingsStore::roundTripThroughDisk_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("Chinese key") << "Options"
                                 << "在启动时显示提示"
                                 << "1";
    QTest::newRow("Chinese section and value") << "常用"
                                               << "名称"
                                               << "计量器具在用库";
    QTest::newRow("section General") << "General"
                                     << "Count"
                                     << "7";
    QTest::newRow("slash in names") << "a/b"
                                    << "c/d"
                                    << "x";
    QTest::newRow("percent in names") << "%2F"
                                      << "50%"
                                      << "x";
    QTest::newRow("INI punctuation in key") << "Print"
                                            << "a=b;c#d [e]"
                                            << "x";
    QTest::newRow("spaces around value") << "1"
                                         << "Password"
                                         << "  a b  ";
    QTest::newRow("commas in value")
        << "1"
        << "SQL"
        << "select 计量器具编号,计量器具名称,规格型号,法制管理类别,使用部门 into MSys检索临时表 from 计量器具在用库 ORDER BY 计量器具编号";
    QTest::newRow("quotes and backslashes") << "1"
                                            << "SQL"
                                            << "where a = \"x\\y\" and b = 'z';";
    QTest::newRow("line breaks and tab") << "1"
                                         << "Name"
                                         << "a\nb\r\n\tc";
    QTest::newRow("leading @") << "1"
                               << "Password"
                               << "@Variant(abc)";
    QTest::newRow("empty value") << "1"
                                 << "Password"
                                 << "";
}

void TestSettingsStore::roundTripThroughDisk()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    {
        SettingsStore store;
        store.save(SettingsStore::MainApp, section, key, value);
        store.sync();
    }
    moveToCopy();
    SettingsStore store;
    QVERIFY(store.contains(SettingsStore::MainApp, section, key));
    QCOMPARE(store.read(SettingsStore::MainApp, section, key, "absent"), value);
}

void TestSettingsStore::absentAndEmptyValues()
{
    SettingsStore store;
    QVERIFY(!store.contains(SettingsStore::MainApp, "Settings", "OldUser"));
    QCOMPARE(store.read(SettingsStore::MainApp, "Settings", "OldUser", "NO"), QString("NO"));
    QCOMPARE(store.read(SettingsStore::MainApp, "Settings", "OldUser"), QString());
    QCOMPARE(store.readText(SettingsStore::MainApp, "Settings", "OldUser"), std::nullopt);

    // A stored empty value is present: the default does not apply.
    store.save(SettingsStore::MainApp, "Print", "GroupName", "");
    QVERIFY(store.contains(SettingsStore::MainApp, "Print", "GroupName"));
    QCOMPARE(store.read(SettingsStore::MainApp, "Print", "GroupName", "default"), QString(""));
    QCOMPARE(store.readText(SettingsStore::MainApp, "Print", "GroupName"), std::optional<QString>(""));

    // Empty names address nothing.
    store.save(SettingsStore::MainApp, "", "key", "v");
    store.save(SettingsStore::MainApp, "section", "", "v");
    store.sync();
    const QSettings raw(iniPath(m_dir->path(), SettingsStore::MainApp), QSettings::IniFormat);
    QCOMPARE(raw.allKeys(), QStringList{"Print/GroupName"});
}

void TestSettingsStore::removeSectionRemovesEverySpelling()
{
    writeIni(SettingsStore::MainApp, "[PDC]\nRC=a\n[pdc]\nrc=b\n[Report]\nRepCaption=c\n");
    SettingsStore store;
    QVERIFY(store.contains(SettingsStore::MainApp, "Pdc", "Rc"));
    store.removeSection(SettingsStore::MainApp, "Pdc");
    QVERIFY(!store.contains(SettingsStore::MainApp, "PDC", "RC"));
    QCOMPARE(store.read(SettingsStore::MainApp, "Report", "RepCaption"), QString("c"));
}

void TestSettingsStore::applicationsAreSeparateFiles()
{
    // QSettings would also consult an organisation-wide file; it is no part
    // of the store.
    QVERIFY(QDir().mkpath(m_dir->path()));
    QFile orgWide(m_dir->path() + "/RAVO.ini");
    QVERIFY(orgWide.open(QIODevice::WriteOnly));
    orgWide.write("[PDC]\nRC=org\n");
    orgWide.close();

    SettingsStore store;
    QVERIFY(!store.contains(SettingsStore::MainApp, "PDC", "RC"));
    store.save(SettingsStore::QueryApp, "1", "Name", "常用查询1");
    QVERIFY(!store.contains(SettingsStore::MainApp, "1", "Name"));
    store.sync();
    QCOMPARE(store.fileName(SettingsStore::QueryApp), iniPath(m_dir->path(), "RAVOsql"));
    QVERIFY(QFile::exists(iniPath(m_dir->path(), "RAVOsql")));
    QVERIFY(!QFile::exists(iniPath(m_dir->path(), "RAVO")));
}

void TestSettingsStore::typedReads_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected"); // invalid: the conversion fails

    QTest::newRow("bool True") << "bool"
                               << "True" << QVariant(true);
    QTest::newRow("bool any case, spaces") << "bool"
                                           << " fALSE " << QVariant(false);
    QTest::newRow("bool -1") << "bool"
                             << "-1" << QVariant(true);
    QTest::newRow("bool 0") << "bool"
                            << "0" << QVariant(false);
    QTest::newRow("bool 2.5") << "bool"
                              << "2.5" << QVariant(true);
    QTest::newRow("bool empty") << "bool"
                                << "" << QVariant();
    QTest::newRow("bool yes") << "bool"
                              << "yes" << QVariant();
    QTest::newRow("bool 1x") << "bool"
                             << "1x" << QVariant();
    QTest::newRow("bool nan") << "bool"
                              << "nan" << QVariant();
    QTest::newRow("int leading zeros") << "int"
                                       << " 007 " << QVariant(7);
    QTest::newRow("int lowest") << "int"
                                << "-32768" << QVariant(-32768);
    QTest::newRow("int highest") << "int"
                                 << "+32767" << QVariant(32767);
    QTest::newRow("int above range") << "int"
                                     << "32768" << QVariant();
    QTest::newRow("int huge") << "int"
                              << "99999999999999999999" << QVariant();
    QTest::newRow("int fraction") << "int"
                                  << "1.5" << QVariant();
    QTest::newRow("int 12a") << "int"
                             << "12a" << QVariant();
    QTest::newRow("int empty") << "int"
                               << "" << QVariant();
    QTest::newRow("single fraction") << "single"
                                     << "1234.5" << QVariant(1234.5f);
    QTest::newRow("single exponent") << "single"
                                     << "-1.5E3" << QVariant(-1500.0f);
    QTest::newRow("single too large") << "single"
                                      << "1e39" << QVariant();
    QTest::newRow("single inf") << "single"
                                << "inf" << QVariant();
    QTest::newRow("single comma") << "single"
                                  << "12,5" << QVariant();
    QTest::newRow("date short date") << "date"
                                     << "2003-03-28" << QVariant(QDate(2003, 3, 28));
    QTest::newRow("date unpadded") << "date"
                                   << "2003-3-8" << QVariant(QDate(2003, 3, 8));
    QTest::newRow("date slashes") << "date"
                                  << "2004/2/29" << QVariant(QDate(2004, 2, 29));
    QTest::newRow("date no such day") << "date"
                                      << "2003-02-29" << QVariant();
    QTest::newRow("date mixed separators") << "date"
                                           << "2003/3-28" << QVariant();
    QTest::newRow("date day first") << "date"
                                    << "28-03-2003" << QVariant();
    QTest::newRow("date empty") << "date"
                                << "" << QVariant();
}

void TestSettingsStore::typedReads()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    SettingsStore store;
    const QString& app = SettingsStore::MainApp;
    store.save(app, "s", "k", text);
    QVariant got;
    if (kind == "bool") {
        if (const auto v = store.readBool(app, "S", "K"))
            got = *v;
    } else if (kind == "int") {
        if (const auto v = store.readInt16(app, "S", "K"))
            got = int(*v);
    } else if (kind == "single") {
        if (const auto v = store.readSingle(app, "S", "K"))
            got = *v;
    } else if (const auto v = store.readDate(app, "S", "K")) {
        got = *v;
    }
    QCOMPARE(got, expected);
}

void TestSettingsStore::typedReadsOfAbsentKeysFail()
{
    SettingsStore store;
    const QString& app = SettingsStore::MainApp;
    QVERIFY(!store.readBool(app, "SysOptions", "Nav"));
    QVERIFY(!store.readInt16(app, "SysOptions", "Advance"));
    QVERIFY(!store.readSingle(app, "WindowsSettings", "MainTop"));
    QVERIFY(!store.readDate(app, "PDC", "ProgramDateEnd"));
    QVERIFY(!store.readText(app, "PDC", "RC"));
}

void TestSettingsStore::typedWrites_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("true") << QVariant(true) << "True";
    QTest::newRow("false") << QVariant(false) << "False";
    QTest::newRow("int") << QVariant(-3) << "-3";
    QTest::newRow("window size") << QVariant(6500.0f) << "6500";
    QTest::newRow("fraction") << QVariant(1234.5f) << "1234.5";
    QTest::newRow("eight digits") << QVariant(12345678.0f) << "12345678";
    QTest::newRow("tenth") << QVariant(0.1f) << "0.1";
    QTest::newRow("date") << QVariant(QDate(2003, 3, 8)) << "2003-03-08";
}

void TestSettingsStore::typedWrites()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    SettingsStore store;
    const QString& app = SettingsStore::MainApp;
    switch (value.typeId()) {
    case QMetaType::Bool:
        store.saveBool(app, "s", "k", value.toBool());
        break;
    case QMetaType::Int:
        store.saveInt(app, "s", "k", value.toInt());
        break;
    case QMetaType::Float:
        store.saveSingle(app, "s", "k", value.toFloat());
        QCOMPARE(store.readSingle(app, "s", "k"), std::optional<float>(value.toFloat()));
        break;
    default:
        store.saveDate(app, "s", "k", value.toDate());
    }
    QCOMPARE(store.read(app, "s", "k"), text);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
