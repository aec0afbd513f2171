// The translation of the program's Jet statements into SQLite: first as
// text against a small made-up catalogue, then run on a real ledger made
// from the schema, with SQLite's double-quoted-string fallback switched off
// so that a literal that slips through untranslated fails loudly; the same
// statements then run on a ledger on a PostgreSQL server.
#include "core/JetTranslator.h"

#include "core/Database.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using namespace ravo;

namespace {

// A catalogue of a few short tables under the ledger's names.
class FakeCatalogue : public SchemaCatalogue {
public:
    explicit FakeCatalogue(Engine engine = Engine::Sqlite) : m_engine(engine)
    {
        const QString inUse = u"计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> ''), "
                              u"计量器具名称 TEXT COLLATE NOCASE, "
                              u"检定日期 TEXT CHECK (检定日期 IS NULL OR date(检定日期) = 检定日期), "
                              u"有效日期 TEXT, 使用部门 TEXT COLLATE NOCASE, 状态 TEXT"_qs;
        const QStringList inUseColumns = {u"计量器具编号"_qs, u"计量器具名称"_qs, u"检定日期"_qs,
                                          u"有效日期"_qs,     u"使用部门"_qs,     u"状态"_qs};
        add(u"计量器具在用库"_qs, inUseColumns, u"CREATE TABLE 计量器具在用库 (\n    "_qs + inUse + "\n)");
        add(u"MSys计量器具在用库"_qs, inUseColumns, u"CREATE TABLE MSys计量器具在用库 ("_qs + inUse + ")");
        // Sealed: the in-use columns in another order, and one of its own.
        add(u"计量器具封存库"_qs,
            {u"状态"_qs, u"计量器具名称"_qs, u"计量器具编号"_qs, u"封存日期"_qs, u"检定日期"_qs, u"有效日期"_qs,
             u"使用部门"_qs},
            u"CREATE TABLE 计量器具封存库 (状态 TEXT, 计量器具名称 TEXT, 计量器具编号 TEXT, 封存日期 TEXT, "
            u"检定日期 TEXT, 有效日期 TEXT, 使用部门 TEXT)"_qs);
        add(u"计量器具报废库"_qs, {u"计量器具编号"_qs, u"计量器具名称"_qs, u"报废日期"_qs},
            u"CREATE TABLE 计量器具报废库 (计量器具编号 TEXT, 计量器具名称 TEXT, 报废日期 TEXT)"_qs);
        add(u"计量器具待发放库"_qs, {u"计量器具名称"_qs, u"购买日期"_qs, u"库存数量"_qs},
            u"CREATE TABLE 计量器具待发放库 (计量器具名称 TEXT, 购买日期 TEXT, 库存数量 INTEGER)"_qs);
        // A table constraint and comments, which a working copy leaves out.
        add(u"计量器具确认记录库"_qs, {u"报告编号"_qs, u"计量器具编号"_qs, u"检定日期"_qs, u"检定单位"_qs},
            u"CREATE TABLE 计量器具确认记录库 (\n  报告编号 TEXT, -- number, commas\n  计量器具编号 TEXT /* (x) */,\n"
            u"  检定日期 TEXT,\n  检定单位 TEXT DEFAULT 'a,b',\n  UNIQUE (报告编号, 计量器具编号)\n)"_qs);
        // What CREATE TABLE … AS leaves in sqlite_master.
        add(u"MSys检索临时表"_qs, {u"计量器具编号"_qs, u"有效日期"_qs},
            u"CREATE TABLE MSys检索临时表(计量器具编号 TEXT,有效日期 TEXT)"_qs);
        add("Keyed", {"order", u"值"_qs}, u"CREATE TABLE Keyed (\"order\" TEXT, [值] TEXT)"_qs);
        add("Latin", {"ID", "Name"}, "CREATE TABLE Latin (ID INTEGER, Name TEXT)");
        add("Other", {"name", "extra", "id"}, "CREATE TABLE Other (name TEXT, extra TEXT, id INTEGER)");
        add("Disjoint", {"x"}, "CREATE TABLE Disjoint (x TEXT)");
    }

    Engine engine() const override { return m_engine; }
    QStringList columns(const QString& table) const override { return m_columns.value(table.toLower()); }
    QString createSql(const QString& table) const override { return m_sql.value(table.toLower()); }

private:
    void add(const QString& table, const QStringList& columns, const QString& sql)
    {
        m_columns.insert(table.toLower(), columns);
        m_sql.insert(table.toLower(), sql);
    }
    const Engine m_engine;
    QHash<QString, QStringList> m_columns;
    QHash<QString, QString> m_sql;
};

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 5, 9));

// The column definitions of the fake in-use ledger as a working copy gets them.
const QString InUseNumber = u"计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> '')"_qs;
const QString InUseName = u"计量器具名称 TEXT COLLATE NOCASE"_qs;
const QString InUseAll = InUseNumber + ", " + InUseName
    + u", 检定日期 TEXT CHECK (检定日期 IS NULL OR date(检定日期) = 检定日期), 有效日期 TEXT, "
      u"使用部门 TEXT COLLATE NOCASE, 状态 TEXT"_qs;
const QString InUseColumns = u"计量器具编号,计量器具名称,检定日期,有效日期,使用部门,状态"_qs;

// Jet's own escape of a double quote in a value.
QString jetText(const QString& value)
{
    QString v = value;
    v.replace('"', "\"\"");
    return '"' + v + '"';
}

} // namespace

class TestJetTranslator : public QObject {
    Q_OBJECT

private slots:
    void translates_data();
    void translates();
    void translatesForServer_data();
    void translatesForServer();
    void translatesLiterals_data();
    void translatesLiterals();
    void refuses_data();
    void refuses();
    void readsColumnDefinitions();
};

// The translations run on a ledger made from the schema, once on the ledger
// file and once on a ledger on the test run's PostgreSQL server.
class TestJetTranslatorOnLedger : public QObject {
    Q_OBJECT

public:
    explicit TestJetTranslatorOnLedger(Engine engine) : m_engine(engine) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void quotedValueMatchesExactlyThatRow_data();
    void quotedValueMatchesExactlyThatRow();
    void workingCopyKeepsConstraintsAndOrder();
    void commitMapsColumnsByName();
    void dueListAndPlanPickTheRightRows();
    void likeFollowsJetWildcards_data();
    void likeFollowsJetWildcards();
    void comparesWithoutRegardToCase_data();
    void comparesWithoutRegardToCase();
    void namesInTheEnginesOrder();
    void emptyConditionFailsInTheEngine();

private:
    QString run(const QString& jet); // empty on success, else the failure
    int count(const QString& sql);
    QStringList strings(const QString& sql);
    // The in-use numbers given, in the order the engine sorts them.
    QStringList sorted(const QStringList& numbers);

    const Engine m_engine;
    std::unique_ptr<test::Sandbox> m_sandbox;
    std::unique_ptr<Database> m_db;
};

void TestJetTranslator::translates_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QStringList>("expected");

    const QString cloneInUse = u"CREATE TABLE MSys计量器具在用库 ("_qs + InUseAll + ")";
    QTest::newRow("in-use working copy")
        << u"select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"_qs
        << QStringList{cloneInUse,
                       u"INSERT INTO MSys计量器具在用库 ("_qs + InUseColumns
                           + u") select * from 计量器具在用库 order by 计量器具编号"_qs};
    QTest::newRow("keywords in capitals")
        << u"SELECT * INTO MSys计量器具在用库 FROM 计量器具在用库 ORDER BY 计量器具编号"_qs
        << QStringList{cloneInUse,
                       u"INSERT INTO MSys计量器具在用库 ("_qs + InUseColumns
                           + u") SELECT * FROM 计量器具在用库 ORDER BY 计量器具编号"_qs};
    QTest::newRow("query wizard, qualified fields, date, descending key")
        << u"select 计量器具在用库.计量器具编号,计量器具在用库.计量器具名称 into MSys检索临时表 from 计量器具在用库 "
           u"where 检定日期 = #2003-1-1# ORDER BY 计量器具在用库.计量器具编号 ,计量器具在用库.计量器具名称 desc;"_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select "
                       u"计量器具在用库.计量器具编号,计量器具在用库.计量器具名称 from 计量器具在用库 where 检定日期 = "
                       u"'2003-01-01' ORDER BY 计量器具在用库.计量器具编号 ,计量器具在用库.计量器具名称 desc"_qs};
    QTest::newRow("query wizard, fields in another order")
        << u"select 计量器具在用库.计量器具名称,计量器具编号 into MSys检索临时表 from 计量器具在用库 where "
           u"使用部门 like \"*计量*\" ORDER BY 计量器具在用库.计量器具名称;"_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select 计量器具在用库.计量器具名称,"
                       u"计量器具编号 from 计量器具在用库 where 使用部门 like '%计量%' ORDER BY "
                       u"计量器具在用库.计量器具名称"_qs};
    QTest::newRow("query wizard, empty condition")
        << u"select 计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 where  ;"_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select 计量器具在用库.计量器具编号 from "
                       u"计量器具在用库 where"_qs};
    QTest::newRow("confirmation records, list ends in a space, table constraint dropped")
        << u"select 报告编号,计量器具编号,检定日期,检定单位 into MSys计量器具确认记录库 from 计量器具确认记录库 "
           u"where 计量器具编号=\"X\" order by 检定日期;"_qs
        << QStringList{u"CREATE TABLE MSys计量器具确认记录库 (报告编号 TEXT, 计量器具编号 TEXT, 检定日期 TEXT, "
                       u"检定单位 TEXT DEFAULT 'a,b')"_qs,
                       u"INSERT INTO MSys计量器具确认记录库 (报告编号,计量器具编号,检定日期,检定单位) select "
                       u"报告编号,计量器具编号,检定日期,检定单位 from 计量器具确认记录库 where 计量器具编号='X' "
                       u"order by 检定日期"_qs};
    QTest::newRow("records, no blank between literal and order")
        << u"select 计量器具编号 into MSys计量器具确认记录库 from 计量器具确认记录库 where 计量器具编号=\"X\"order by "
           u"检定日期;"_qs
        << QStringList{u"CREATE TABLE MSys计量器具确认记录库 (计量器具编号 TEXT)"_qs,
                       u"INSERT INTO MSys计量器具确认记录库 (计量器具编号) select 计量器具编号 from 计量器具确认记录库 "
                       u"where 计量器具编号='X'order by 检定日期"_qs};
    // Results that only show rows are plain copies without the ledger's rules.
    const QString fillResult = u"CREATE TABLE MSys待检或到期设备表 AS select * from MSys检索临时表 "_qs;
    QTest::newRow("due list, now")
        << u"select * into MSys待检或到期设备表 from MSys检索临时表 where 有效日期<= now order by 计量器具编号;"_qs
        << QStringList{fillResult + u"where 有效日期<= '2026-12-07 10:05:09' order by 计量器具编号"_qs};
    QTest::newRow("due list, cut-off with month name")
        << u"select * into MSys待检或到期设备表 from MSys检索临时表 where 有效日期<= #2026-Dec-07# order by 计量器具编号;"_qs
        << QStringList{fillResult + u"where 有效日期<= '2026-12-07' order by 计量器具编号"_qs};
    QTest::newRow("plan period")
        << u"select * into MSys计划检定设备表 from MSys检索临时表 where 有效日期>= #2026-01-01# and 有效日期 <= "
           u"#2026-12-31# order by 计量器具编号;"_qs
        << QStringList{u"CREATE TABLE MSys计划检定设备表 AS select * from MSys检索临时表 where "
                       u"有效日期>= '2026-01-01' and 有效日期 <= '2026-12-31' order by 计量器具编号"_qs};
    const QString quick = u"CREATE TABLE MSys检索临时表 AS select * from 计量器具在用库"_qs;
    QTest::newRow("quick search, text")
        << u"select * into MSys检索临时表 from 计量器具在用库 where 使用部门 = \"计量室\""_qs
        << QStringList{quick + u" where 使用部门 = '计量室'"_qs};
    QTest::newRow("quick search, empty value")
        << u"select * into MSys检索临时表 from 计量器具在用库 where 使用部门 = null"_qs
        << QStringList{quick + u" where 使用部门 = null"_qs};
    QTest::newRow("quick search, date")
        << u"select * into MSys检索临时表 from 计量器具在用库 where 检定日期 = #2003-3-28#"_qs
        << QStringList{quick + u" where 检定日期 = '2003-03-28'"_qs};
    QTest::newRow("quick search, number")
        << u"select * into MSys检索临时表 from 计量器具待发放库 where 库存数量 = 5"_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select * from 计量器具待发放库 "
                       u"where 库存数量 = 5"_qs};
    QTest::newRow("quick search, value that tries to widen the search")
        << u"select * into MSys检索临时表 from 计量器具在用库 where 使用部门 = "_qs + jetText("x\" or \"1\"=\"1")
        << QStringList{quick + u" where 使用部门 = 'x\" or \"1\"=\"1'"_qs};
    QTest::newRow("keyword as column name is quoted")
        << "select * into MSysKeyed from Keyed"
        << QStringList{u"CREATE TABLE MSysKeyed (\"order\" TEXT, [值] TEXT)"_qs,
                       u"INSERT INTO MSysKeyed (\"order\",值) select * from Keyed"_qs};
    QTest::newRow("unknown table: created from the select")
        << u"select * into MSys检索临时表 from 无此表 where a = \"1\""_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select * from 无此表 where a = '1'"_qs};
    QTest::newRow("unknown column: created from the select")
        << u"select 计量器具编号,规格型号 into MSys检索临时表 from 计量器具在用库 ORDER BY 计量器具编号"_qs
        << QStringList{u"CREATE TABLE MSys检索临时表 AS select 计量器具编号,规格型号 from 计量器具在用库 ORDER BY "
                       u"计量器具编号"_qs};
    QTest::newRow("expression: created from the select")
        << u"select 使用部门, count(*) into W from 计量器具在用库 group by 使用部门"_qs
        << QStringList{u"CREATE TABLE W AS select 使用部门, count(*) from 计量器具在用库 group by 使用部门"_qs};
    QTest::newRow("two tables: created from the select")
        << u"select a.计量器具编号 into W from 计量器具在用库 a, 计量器具封存库 b"_qs
        << QStringList{u"CREATE TABLE W AS select a.计量器具编号 from 计量器具在用库 a, 计量器具封存库 b"_qs};
    QTest::newRow("column named twice: created from the select")
        << u"select 状态,状态 into W from 计量器具在用库"_qs
        << QStringList{u"CREATE TABLE W AS select 状态,状态 from 计量器具在用库"_qs};

    QTest::newRow("commit, delete all") << u"delete 计量器具在用库.* from 计量器具在用库;"_qs
                                        << QStringList{u"DELETE FROM 计量器具在用库"_qs};
    QTest::newRow("move, delete one") << u"delete 计量器具在用库.* from 计量器具在用库 where 计量器具编号= \"X\""_qs
                                      << QStringList{u"DELETE FROM 计量器具在用库 where 计量器具编号= 'X'"_qs};
    QTest::newRow("records, delete one instrument, quote in number")
        << u"Delete 计量器具确认记录库.* From 计量器具确认记录库 where 计量器具编号=\"A\"\"1\""_qs
        << QStringList{u"DELETE FROM 计量器具确认记录库 where 计量器具编号='A\"1'"_qs};
    QTest::newRow("delete star") << "delete * from Latin" << QStringList{"DELETE FROM Latin"};
    QTest::newRow("plain delete") << "delete from Latin where ID = 3" << QStringList{"delete from Latin where ID = 3"};

    QTest::newRow("commit, insert all")
        << u"insert into 计量器具在用库 select MSys计量器具在用库.* from MSys计量器具在用库;"_qs
        << QStringList{u"INSERT INTO 计量器具在用库 ("_qs + InUseColumns + ") SELECT " + InUseColumns
                       + u" FROM MSys计量器具在用库"_qs};
    QTest::newRow("seal, by name into another column order")
        << u"insert into 计量器具封存库 select MSys计量器具在用库.* from MSys计量器具在用库 where 计量器具编号= "_qs
            + jetText("A\"1")
        << QStringList{u"INSERT INTO 计量器具封存库 (计量器具编号,计量器具名称,检定日期,有效日期,使用部门,状态) SELECT "
                       u"计量器具编号,计量器具名称,检定日期,有效日期,使用部门,状态 FROM MSys计量器具在用库 where "
                       u"计量器具编号= 'A\"1'"_qs};
    QTest::newRow("only the columns the target has")
        << u"insert into 计量器具报废库 select * from MSys计量器具在用库 where 计量器具编号= \"X\""_qs
        << QStringList{u"INSERT INTO 计量器具报废库 (计量器具编号,计量器具名称) SELECT 计量器具编号,计量器具名称 FROM "
                       u"MSys计量器具在用库 where 计量器具编号= 'X'"_qs};
    QTest::newRow("names compared without regard to case")
        << "INSERT INTO latin SELECT other.* FROM OTHER"
        << QStringList{"INSERT INTO latin (name,id) SELECT name,id FROM OTHER"};
    QTest::newRow("unknown source passes to the engine")
        << u"insert into 计量器具在用库 select 无此表.* from 无此表"_qs
        << QStringList{u"insert into 计量器具在用库 select 无此表.* from 无此表"_qs};
    QTest::newRow("reinstate with a column list")
        << u"insert into 计量器具在用库 (计量器具编号,计量器具名称) select 计量器具编号,计量器具名称 from "
           u"MSys计量器具封存库 where 计量器具编号= \"X\""_qs
        << QStringList{u"insert into 计量器具在用库 (计量器具编号,计量器具名称) select 计量器具编号,计量器具名称 from "
                       u"MSys计量器具封存库 where 计量器具编号= 'X'"_qs};
    QTest::newRow("stamp the date")
        << u"update 计量器具报废库 set 报废日期= \"2026-12-07\" where 计量器具编号= \"X\""_qs
        << QStringList{u"update 计量器具报废库 set 报废日期= '2026-12-07' where 计量器具编号= 'X'"_qs};
    QTest::newRow("drop") << u"drop table MSys计量器具在用库;"_qs << QStringList{u"drop table MSys计量器具在用库"_qs};
    QTest::newRow("value list") << u"select distinct 使用部门 from 计量器具在用库"_qs
                                << QStringList{u"select distinct 使用部门 from 计量器具在用库"_qs};
    QTest::newRow("bound record source") << u"select * from MSys检索临时表;  \n"_qs
                                         << QStringList{u"select * from MSys检索临时表"_qs};
    QTest::newRow("ideographic and no-break spaces between words")
        << u"select *\u3000from 计量器具在用库\u3000where 状态 =\u00a0\"在用\"\u3000"_qs
        << QStringList{u"select * from 计量器具在用库 where 状态 = '在用'"_qs};
}

void TestJetTranslator::translates()
{
    QFETCH(QString, jet);
    QFETCH(QStringList, expected);
    FakeCatalogue catalogue;
    const Translation t = translateJet(jet, catalogue, Now);
    QVERIFY2(t.ok(), qPrintable(t.error));
    QCOMPARE(t.statements, expected);
}

// The same statements for a ledger on a server (empty: refused).
void TestJetTranslator::translatesForServer_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QStringList>("expected");
    const QString cols = InUseColumns;
    const QString rowid = u" ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"_qs;
    const QString dropped = u" DROP COLUMN IF EXISTS rowid, DROP COLUMN IF EXISTS ravo_version, DROP COLUMN IF "
                            u"EXISTS ravo_changed_by, DROP COLUMN IF EXISTS ravo_changed_at"_qs;
    QTest::newRow("in-use working copy: temporary, like its table, numbered anew")
        << u"select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"_qs
        << QStringList{u"CREATE TEMP TABLE \"MSys计量器具在用库\" (LIKE 计量器具在用库 INCLUDING DEFAULTS INCLUDING "
                       u"CONSTRAINTS INCLUDING INDEXES)"_qs,
                       u"ALTER TABLE \"MSys计量器具在用库\""_qs + dropped,
                       u"ALTER TABLE \"MSys计量器具在用库\""_qs + rowid,
                       u"INSERT INTO \"MSys计量器具在用库\" ("_qs + cols + u") select "_qs + cols
                           + u" from 计量器具在用库 order by 计量器具编号"_qs};
    QTest::newRow("records: the columns not chosen dropped")
        << u"select 报告编号,计量器具编号 into MSys计量器具确认记录库 from 计量器具确认记录库 where 计量器具编号=\"X\""_qs
        << QStringList{
               u"CREATE TEMP TABLE \"MSys计量器具确认记录库\" (LIKE 计量器具确认记录库 INCLUDING DEFAULTS "
               u"INCLUDING CONSTRAINTS INCLUDING INDEXES)"_qs,
               u"ALTER TABLE \"MSys计量器具确认记录库\" DROP COLUMN 检定日期"_qs,
               u"ALTER TABLE \"MSys计量器具确认记录库\" DROP COLUMN 检定单位"_qs,
               u"ALTER TABLE \"MSys计量器具确认记录库\""_qs + dropped,
               u"ALTER TABLE \"MSys计量器具确认记录库\""_qs + rowid,
               u"INSERT INTO \"MSys计量器具确认记录库\" (报告编号,计量器具编号) select 报告编号,计量器具编号 from "
               u"计量器具确认记录库 where 计量器具编号='X'"_qs};
    const QString search =
        u"select "_qs + cols + u" from 计量器具在用库 where 使用部门 COLLATE \"C\" ILIKE '%计\\_量%'"_qs;
    QTest::newRow("quick search: like as SQLite's, star named")
        << u"select * into MSys检索临时表 from 计量器具在用库 where 使用部门 like \"*计_量*\""_qs
        << QStringList{u"CREATE TEMP TABLE \"MSys检索临时表\" AS "_qs + search + " WITH NO DATA",
                       u"ALTER TABLE \"MSys检索临时表\""_qs + rowid, u"INSERT INTO \"MSys检索临时表\" "_qs + search};
    const QString latin = R"(select "ID","Name" from "Latin" where "Name" COLLATE "C" NOT ILIKE 'a%')";
    QTest::newRow("capitals and brackets keep their spelling, not like")
        << "select [ID], Name into W from Latin where Name not like \"a*\""
        << QStringList{R"(CREATE TABLE "W" AS )" + latin + " WITH NO DATA", R"(ALTER TABLE "W")" + rowid,
                       R"(INSERT INTO "W" )" + latin};
    QTest::newRow("commit, insert all")
        << u"insert into 计量器具在用库 select MSys计量器具在用库.* from MSys计量器具在用库;"_qs
        << QStringList{u"INSERT INTO 计量器具在用库 ("_qs + cols + ") SELECT " + cols
                       + u" FROM \"MSys计量器具在用库\""_qs};
    QTest::newRow("functions and keywords as written")
        << R"(delete * from Latin where Name = "x" AND Upper(Name) = "X")"
        << QStringList{R"(DELETE FROM "Latin" where "Name" = 'x' AND Upper("Name") = 'X')"};
    QTest::newRow("a table named before its column list is no function")
        << u"insert into MSys检索临时表 (Name, 值) values (\"a\", Upper(\"b\"))"_qs
        << QStringList{u"insert into \"MSys检索临时表\" (\"Name\", 值) values ('a', Upper('b'))"_qs};
    QTest::newRow("no NUL in a server's text") << u"delete * from Latin where Name = \"a\u0000b\""_qs << QStringList{};
}

void TestJetTranslator::translatesForServer()
{
    QFETCH(QString, jet);
    QFETCH(QStringList, expected);
    FakeCatalogue catalogue(Engine::Postgres);
    const Translation t = translateJet(jet, catalogue, Now);
    QCOMPARE(t.ok(), !expected.isEmpty());
    QCOMPARE(t.statements, expected);
}

void TestJetTranslator::translatesLiterals_data()
{
    // Each text is the tail of "select * from Latin where ".
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("expected");
    QTest::newRow("doubled double quote") << "Name = \"A\"\"1\""
                                          << "Name = 'A\"1'";
    QTest::newRow("single quote in text") << "Name = \"O'Brien\""
                                          << "Name = 'O''Brien'";
    QTest::newRow("single-quoted text stays") << "Name = 'a''b'"
                                              << "Name = 'a''b'";
    QTest::newRow("empty text") << "Name = \"\""
                                << "Name = ''";
    QTest::newRow("hash inside text") << "Name = \"#1#\""
                                      << "Name = '#1#'";
    QTest::newRow("now inside text") << "Name = \"now\""
                                     << "Name = 'now'";
    QTest::newRow("slashes") << "d = #2003/3/28#"
                             << "d = '2003-03-28'";
    QTest::newRow("month name") << "d = #2003-Mar-28#"
                                << "d = '2003-03-28'";
    QTest::newRow("jet month/day/year") << "d = #3/28/2003#"
                                        << "d = '2003-03-28'";
    QTest::newRow("date and time") << "d = #2003-3-28 10:05:00#"
                                   << "d = '2003-03-28 10:05:00'";
    QTest::newRow("date at midnight") << "d = #2003-3-28 0:00#"
                                      << "d = '2003-03-28'";
    QTest::newRow("time") << "t = #10:05#"
                          << "t = '10:05:00'";
    QTest::newRow("blanks inside hashes") << "d = # 2003-3-28 #"
                                          << "d = '2003-03-28'";
    QTest::newRow("now in capitals") << "d <= NOW"
                                     << "d <= '2026-12-07 10:05:09'";
    QTest::newRow("now()") << "d <= now ( ) and ID = 1"
                           << "d <= '2026-12-07 10:05:09' and ID = 1";
    QTest::newRow("date() and time()") << "d = date() and t < time()"
                                       << "d = '2026-12-07' and t < '10:05:09'";
    QTest::newRow("date with an argument stays") << "d = date(x)"
                                                 << "d = date(x)";
    QTest::newRow("now inside a name") << "known = nowhere"
                                       << "known = nowhere";
    QTest::newRow("qualified now") << "Latin.now = 1"
                                   << "Latin.now = 1";
    QTest::newRow("bracketed now") << "[now] = 1"
                                   << "[now] = 1";
    QTest::newRow("null stays") << "Name = null"
                                << "Name = null";
    QTest::newRow("like, wildcards") << "Name like \"a?b*\""
                                     << "Name like 'a_b%'";
    QTest::newRow("like, bracketed star") << "Name like \"[*]x*\""
                                          << "Name like '*x%'";
    QTest::newRow("like, typed underscore") << "Name like \"A_1*\""
                                            << "Name like 'A\\_1%' ESCAPE '\\'";
    QTest::newRow("like, typed percent") << "Name LIKE '100%'"
                                         << "Name LIKE '100\\%' ESCAPE '\\'";
    QTest::newRow("like, backslash alone") << "Name like \"a\\b*\""
                                           << "Name like 'a\\b%'";
    QTest::newRow("like, backslash and underscore") << "Name like \"a\\_\""
                                                    << "Name like 'a\\\\\\_' ESCAPE '\\'";
    QTest::newRow("not like") << "Name not like \"*x\""
                              << "Name not like '%x'";
    QTest::newRow("star outside like") << "Name = \"a*\""
                                       << "Name = 'a*'";
}

void TestJetTranslator::translatesLiterals()
{
    QFETCH(QString, jet);
    QFETCH(QString, expected);
    FakeCatalogue catalogue;
    const Translation t = translateJet("select * from Latin where " + jet, catalogue, Now);
    QVERIFY2(t.ok(), qPrintable(t.error));
    QCOMPARE(t.statements, QStringList{"select * from Latin where " + expected});
}

void TestJetTranslator::refuses_data()
{
    QTest::addColumn<QString>("jet");
    QTest::newRow("empty") << "";
    QTest::newRow("semicolon only") << " ; ";
    QTest::newRow("blanks of other scripts only") << u"\u0085\u3000\n"_qs;
    QTest::newRow("open double quote") << "select * from Latin where Name = \"abc";
    QTest::newRow("doubled quote at the end") << "select * from Latin where Name = \"abc\"\"";
    QTest::newRow("open single quote") << "select * from Latin where Name = 'abc";
    QTest::newRow("open hash") << "select * from Latin where d = #2003-3-28";
    QTest::newRow("30 February") << "select * from Latin where d = #2003-2-30#";
    QTest::newRow("not a date") << "select * from Latin where d = #abc#";
    QTest::newRow("empty hashes") << "select * from Latin where d = ##";
    QTest::newRow("bad time") << "select * from Latin where t = #25:00#";
    QTest::newRow("open bracket") << "select * from [Latin";
    QTest::newRow("second statement") << "select * from Latin; drop table Latin";
    QTest::newRow("into without a name") << "select * into from Latin";
    QTest::newRow("no shared columns") << "insert into Latin select Disjoint.* from Disjoint";
}

void TestJetTranslator::refuses()
{
    QFETCH(QString, jet);
    FakeCatalogue catalogue;
    const Translation t = translateJet(jet, catalogue, Now);
    QVERIFY(!t.ok());
    QVERIFY(t.statements.isEmpty());
    // Messages are for the user: Chinese.
    QVERIFY2(t.error.contains(QRegularExpression(u"[\u4e00-\u9fff]"_qs)), qPrintable(t.error));
}

void TestJetTranslator::readsColumnDefinitions()
{
    const QString sql = u"CREATE TABLE \"T x\" ( -- c\n \"a b\" TEXT CHECK (a IN ('(', ',')), [c] INT /* , */ ,"
                        u" `d` TEXT, CONSTRAINT k PRIMARY KEY (c), FOREIGN KEY (c) REFERENCES u(id), "
                        u"CHECK (c > 0)) WITHOUT ROWID"_qs;
    const QList<ColumnDefinition> defs = columnDefinitions(sql);
    QCOMPARE(defs.size(), 3);
    QCOMPARE(defs[0].name, "a b");
    QCOMPARE(defs[0].definition, "\"a b\" TEXT CHECK (a IN ('(', ','))");
    QCOMPARE(defs[1].name, "c");
    QCOMPARE(defs[1].definition, "[c] INT");
    QCOMPARE(defs[2].name, "d");
    QVERIFY(columnDefinitions("CREATE TABLE t (a TEXT").isEmpty());
    QVERIFY(columnDefinitions("").isEmpty());
}

// ---------------------------------------------------------------------------
// On a real ledger.

namespace {

const QString InUseColumnList =
    u"计量器具编号,计量器具类别,计量器具种别,计量器具名称,规格型号,准确度,准确度等级,测量范围,分度值,管理类别,"
    u"法制管理类别,制造厂家,出厂编号,出厂日期,配套设备,状态,启用日期,检定日期,检定周期,有效日期,检定单位,使用部门,"
    u"存放地点,保管员,联系电话,购买日期,采购员,购买价格,备注"_qs;

} // namespace

void TestJetTranslatorOnLedger::initTestCase()
{
    qInfo("%s", m_engine == Engine::Postgres ? "engine: PostgreSQL server" : "engine: SQLite ledger file");
}

void TestJetTranslatorOnLedger::init()
{
    m_db = std::make_unique<Database>();
    if (m_engine == Engine::Postgres) {
        const QString failure = test::openFreshServerLedger(*m_db);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    } else {
        m_sandbox = std::make_unique<test::Sandbox>();
        QVERIFY(m_sandbox->isValid());
        const DbError e = m_db->open(m_sandbox->databasePath());
        QVERIFY2(!e, qPrintable(e.text()));
    }
    // A double-quoted value is a missing column, never a text.
    QSqlQuery probe(m_db->connection());
    QVERIFY(!probe.exec(u"SELECT * FROM 计量器具在用库 WHERE 计量器具编号 = \"X\""_qs));

    const QStringList rows = {
        u"'A-002','热工计量','2003-03-28','2026-12-31','甲'"_qs,
        u"'A\"1','计量室','2003-03-28','2026-12-07','乙'"_qs,
        u"'x\" or \"1\"=\"1','计量室','2004-01-01','2026-01-01','丙'"_qs,
        u"'O''Brien','化验室',NULL,'2027-01-01','丁'"_qs,
        u"'A','计量室','2003-03-27','2026-12-08','戊'"_qs,
        u"'1','车间',NULL,'2025-12-31','己'"_qs,
        u"'A_1','计量室',NULL,NULL,'庚'"_qs,
        u"'AB1','车间',NULL,NULL,'辛'"_qs,
    };
    for (const QString& r : rows) {
        const DbResult done = m_db->executeNative(
            u"INSERT INTO 计量器具在用库 (计量器具编号,使用部门,检定日期,有效日期,配套设备) VALUES ("_qs + r + ")");
        QVERIFY2(done.ok(), qPrintable(done.error.text()));
    }
}

void TestJetTranslatorOnLedger::cleanup()
{
    m_db.reset();
    m_sandbox.reset();
}

QString TestJetTranslatorOnLedger::run(const QString& jet)
{
    const Translation t = translateJet(jet, *m_db, Now);
    if (!t.ok())
        return t.error;
    Transaction tx(*m_db);
    for (const QString& sql : t.statements) {
        const DbResult r = m_db->executeNative(sql);
        if (!r.ok())
            return r.error.text() + " <- " + sql;
    }
    const DbError e = tx.commit();
    return e ? e.text() : QString();
}

int TestJetTranslatorOnLedger::count(const QString& sql)
{
    QSqlQuery q(m_db->connection());
    if (!q.exec(sql) || !q.next())
        return -1;
    return q.value(0).toInt();
}

QStringList TestJetTranslatorOnLedger::strings(const QString& sql)
{
    QStringList out;
    QSqlQuery q(m_db->connection());
    if (!q.exec(sql))
        return {"error: " + q.lastError().text()};
    while (q.next())
        out += q.value(0).toString();
    return out;
}

QStringList TestJetTranslatorOnLedger::sorted(const QStringList& numbers)
{
    QStringList literals;
    for (const QString& n : numbers)
        literals += sqliteTextLiteral(n);
    const QStringList out = strings(u"SELECT 计量器具编号 FROM 计量器具在用库 WHERE 计量器具编号 IN ("_qs
                                    + literals.join(',') + u") ORDER BY 计量器具编号"_qs);
    return out.size() == numbers.size() ? out : QStringList{"not all in the ledger"};
}

void TestJetTranslatorOnLedger::quotedValueMatchesExactlyThatRow_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("double quote") << u"A\"1"_qs;
    QTest::newRow("attempt to match every row") << u"x\" or \"1\"=\"1"_qs;
    QTest::newRow("single quote") << u"O'Brien"_qs;
}

void TestJetTranslatorOnLedger::quotedValueMatchesExactlyThatRow()
{
    QFETCH(QString, number);
    const QString n = jetText(number);

    // The quick search finds that row and no other.
    QCOMPARE(run(u"select * into MSys检索临时表 from 计量器具在用库 where 计量器具编号 = "_qs + n), QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys检索临时表\""_qs), QStringList{number});

    // Sealing moves that row and only that row, carrying its columns.
    const QStringList accessory =
        strings(u"SELECT 配套设备 FROM 计量器具在用库 WHERE 计量器具编号 = "_qs + sqliteTextLiteral(number));
    QCOMPARE(accessory.size(), 1);
    QCOMPARE(run(u"select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"_qs), QString());
    QCOMPARE(
        run(u"insert into 计量器具封存库 select MSys计量器具在用库.* from MSys计量器具在用库 where 计量器具编号= "_qs
            + n),
        QString());
    QCOMPARE(run(u"update 计量器具封存库 set 封存日期=\"2026-12-07\" where 计量器具编号= "_qs + n), QString());
    QCOMPARE(run(u"update 计量器具封存库 set 状态=\"封存\" where 计量器具编号= "_qs + n), QString());
    QCOMPARE(run(u"delete 计量器具在用库.* from 计量器具在用库 where 计量器具编号= "_qs + n), QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM 计量器具封存库 WHERE 封存日期 = '2026-12-07' AND 状态 = '封存'"_qs),
             QStringList{number});
    QCOMPARE(strings(u"SELECT 配套设备 FROM 计量器具封存库"_qs), accessory);
    QCOMPARE(count(u"SELECT count(*) FROM 计量器具在用库"_qs), 7);
    QCOMPARE(count(u"SELECT count(*) FROM 计量器具在用库 WHERE 计量器具编号 = "_qs + sqliteTextLiteral(number)), 0);

    // And back into use with the 29 columns named, the sealing date dropped.
    QCOMPARE(run(u"select * into MSys计量器具封存库 from 计量器具封存库 order by 计量器具编号;"_qs), QString());
    QCOMPARE(run(u"insert into 计量器具在用库 ("_qs + InUseColumnList + ") select " + InUseColumnList
                 + u" from MSys计量器具封存库 where 计量器具编号= "_qs + n),
             QString());
    QCOMPARE(count(u"SELECT count(*) FROM 计量器具在用库"_qs), 8);
}

void TestJetTranslatorOnLedger::workingCopyKeepsConstraintsAndOrder()
{
    QCOMPARE(run(u"select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"_qs), QString());
    QStringList all = strings(u"SELECT 计量器具编号 FROM 计量器具在用库 ORDER BY 计量器具编号"_qs);
    QCOMPARE(all.size(), 8);
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys计量器具在用库\" ORDER BY rowid"_qs), all);
    QCOMPARE(m_db->columns(u"MSys计量器具在用库"_qs), InUseColumnList.split(','));

    auto refused = [this](const QString& sql) { return !m_db->executeNative(sql).ok(); };
    // UNIQUE, compared without regard to case.
    QVERIFY(refused(u"INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('a_1')"_qs));
    // NOT NULL and the blank-number check.
    QVERIFY(refused(u"INSERT INTO \"MSys计量器具在用库\" (计量器具名称) VALUES ('x')"_qs));
    QVERIFY(refused(u"INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('  ')"_qs));
    // The date checks.
    QVERIFY(refused(u"INSERT INTO \"MSys计量器具在用库\" (计量器具编号,检定日期) VALUES ('N1','2003-2-30')"_qs));
    const DbResult fine = m_db->executeNative(
        u"INSERT INTO \"MSys计量器具在用库\" (计量器具编号,检定日期) VALUES ('N1','2003-02-28')"_qs);
    QVERIFY2(fine.ok(), qPrintable(fine.error.text()));

    // The wizard's statement: the rows in the order of its keys.
    QCOMPARE(run(u"select 计量器具在用库.使用部门,计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 "
                 u"where 使用部门 = \"计量室\" ORDER BY 计量器具在用库.使用部门 ,计量器具在用库.计量器具编号 desc;"_qs),
             QString());
    QStringList descending = sorted({u"x\" or \"1\"=\"1"_qs, "A_1", u"A\"1"_qs, "A"});
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys检索临时表\" ORDER BY rowid"_qs), descending);
    // The saved query seeded for new users.
    QCOMPARE(run(u"drop table MSys检索临时表;"_qs), QString());
    QCOMPARE(
        run(u"select 计量器具编号,计量器具名称,规格型号,法制管理类别,使用部门 into MSys检索临时表 from 计量器具在用库 "
            u"ORDER BY 计量器具编号"_qs),
        QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys检索临时表\" ORDER BY rowid"_qs), all);

    // A working table that is left over from an earlier run: the engine says so.
    QVERIFY(!run(u"select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"_qs).isEmpty());
}

void TestJetTranslatorOnLedger::commitMapsColumnsByName()
{
    // A working copy whose columns stand in another order than the ledger's,
    // with one the ledger does not have.
    QVERIFY(m_db->executeNative(
                    u"CREATE TABLE \"MSys计量器具在用库\" (备注 TEXT, 多余 TEXT, 使用部门 TEXT, 计量器具编号 TEXT)"_qs)
                .ok());
    QVERIFY(
        m_db->executeNative(u"INSERT INTO \"MSys计量器具在用库\" VALUES ('remark', 'extra', '计量室', 'N-1')"_qs).ok());
    QCOMPARE(run(u"delete 计量器具在用库.* from 计量器具在用库;"_qs), QString());
    QCOMPARE(count(u"SELECT count(*) FROM 计量器具在用库"_qs), 0);
    QCOMPARE(run(u"insert into 计量器具在用库 select MSys计量器具在用库.* from MSys计量器具在用库;"_qs), QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 || '|' || 使用部门 || '|' || 备注 FROM 计量器具在用库"_qs),
             QStringList{u"N-1|计量室|remark"_qs});
}

void TestJetTranslatorOnLedger::dueListAndPlanPickTheRightRows()
{
    QCOMPARE(run(u"select * into MSys检索临时表 from 计量器具在用库"_qs), QString());
    // Due by now (2026-12-07 10:05): valid until today or earlier.
    QCOMPARE(
        run(u"select * into MSys待检或到期设备表 from MSys检索临时表 where 有效日期<= now order by 计量器具编号;"_qs),
        QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys待检或到期设备表\" ORDER BY rowid"_qs),
             sorted({"1", u"A\"1"_qs, u"x\" or \"1\"=\"1"_qs}));
    // A cut-off one day later.
    QCOMPARE(run(u"drop table MSys待检或到期设备表;"_qs), QString());
    QCOMPARE(run(u"select * into MSys待检或到期设备表 from MSys检索临时表 where 有效日期<= #2026-Dec-08# order by "
                 u"计量器具编号;"_qs),
             QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys待检或到期设备表\" ORDER BY rowid"_qs),
             sorted({"1", "A", u"A\"1"_qs, u"x\" or \"1\"=\"1"_qs}));
    // The plan for 2026, both ends included.
    QCOMPARE(run(u"select * into MSys计划检定设备表 from MSys检索临时表 where 有效日期>= #2026-01-01# and 有效日期 <= "
                 u"#2026-12-31# order by 计量器具编号;"_qs),
             QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys计划检定设备表\" ORDER BY rowid"_qs),
             sorted({"A", u"A\"1"_qs, "A-002", u"x\" or \"1\"=\"1"_qs}));
    // Quick searches by date, by an empty value and by number.
    QCOMPARE(run(u"drop table MSys检索临时表;"_qs), QString());
    QCOMPARE(run(u"select * into MSys检索临时表 from 计量器具在用库 where 检定日期 = #2003-3-28#"_qs), QString());
    QCOMPARE(count(u"SELECT count(*) FROM \"MSys检索临时表\""_qs), 2);
    QCOMPARE(run(u"drop table MSys检索临时表;"_qs), QString());
    QCOMPARE(run(u"select * into MSys检索临时表 from 计量器具在用库 where 检定日期 = null"_qs), QString());
    QCOMPARE(count(u"SELECT count(*) FROM \"MSys检索临时表\""_qs), 0);
    QVERIFY(
        m_db->executeNative(u"INSERT INTO 计量器具待发放库 (计量器具名称,库存数量) VALUES ('卡尺', 5), ('表', 50)"_qs)
            .ok());
    QCOMPARE(run(u"drop table MSys检索临时表;"_qs), QString());
    QCOMPARE(run(u"select * into MSys检索临时表 from 计量器具待发放库 where 库存数量 = 5"_qs), QString());
    QCOMPARE(strings(u"SELECT 计量器具名称 FROM \"MSys检索临时表\""_qs), QStringList{u"卡尺"_qs});
}

void TestJetTranslatorOnLedger::likeFollowsJetWildcards_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("contains") << u"*计量*"_qs << QStringList{"A", u"A\"1"_qs, "A-002", "A_1", u"x\" or \"1\"=\"1"_qs};
    QTest::newRow("typed underscore is a plain character") << "A_*" << QStringList{"A_1"};
    QTest::newRow("question mark is one character") << "A?1" << QStringList{u"A\"1"_qs, "A_1", "AB1"};
    QTest::newRow("case does not matter") << "ab*" << QStringList{"AB1"};
    QTest::newRow("not like") << u"!计量*"_qs << QStringList{"1", "A-002", "AB1", u"O'Brien"_qs};
    QTest::newRow("typed percent sign is a plain character") << "*%*" << QStringList{};
}

void TestJetTranslatorOnLedger::likeFollowsJetWildcards()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    const QString column = pattern.contains(u"计量"_qs) ? u"使用部门"_qs : u"计量器具编号"_qs;
    const bool negated = pattern.startsWith('!');
    QCOMPARE(run(u"select 计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 where "_qs + column
                 + (negated ? " not like " : " like ") + jetText(negated ? pattern.mid(1) : pattern)
                 + u" ORDER BY 计量器具在用库.计量器具编号;"_qs),
             QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys检索临时表\" ORDER BY rowid"_qs),
             expected.isEmpty() ? expected : sorted(expected));
}

void TestJetTranslatorOnLedger::comparesWithoutRegardToCase_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("equal") << u"计量器具编号 = \"a_1\""_qs << QStringList{"A_1"};
    QTest::newRow("one of") << u"计量器具编号 in (\"ab1\", \"o'brien\")"_qs << QStringList{"AB1", u"O'Brien"_qs};
    QTest::newRow("not equal") << u"使用部门 = \"车间\" and 计量器具编号 <> \"ab1\""_qs << QStringList{"1"};
    QTest::newRow("between") << u"计量器具编号 between \"a\" and \"a\""_qs << QStringList{"A"};
}

void TestJetTranslatorOnLedger::comparesWithoutRegardToCase()
{
    QFETCH(QString, condition);
    QFETCH(QStringList, expected);
    QCOMPARE(
        run(u"select * into MSys检索临时表 from 计量器具在用库 where "_qs + condition + u" order by 计量器具编号"_qs),
        QString());
    QCOMPARE(strings(u"SELECT 计量器具编号 FROM \"MSys检索临时表\" ORDER BY rowid"_qs), sorted(expected));
}

// The file orders text by its characters' codes; the server orders Chinese
// names in pinyin, as people look them up.
void TestJetTranslatorOnLedger::namesInTheEnginesOrder()
{
    QCOMPARE(run(u"select distinct 使用部门 into MSys检索临时表 from 计量器具在用库 order by 使用部门"_qs), QString());
    QStringList departments = {u"车间"_qs, u"化验室"_qs, u"计量室"_qs, u"热工计量"_qs};
    if (m_engine == Engine::Sqlite)
        std::sort(departments.begin(), departments.end());
    QCOMPARE(strings(u"SELECT 使用部门 FROM \"MSys检索临时表\" ORDER BY rowid"_qs), departments);
}

void TestJetTranslatorOnLedger::emptyConditionFailsInTheEngine()
{
    const QString error =
        run(u"select 计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 where  ORDER BY "
            u"计量器具在用库.计量器具编号;"_qs);
    QVERIFY(!error.isEmpty());
    // Nothing of it is left behind.
    QVERIFY(!m_db->tableExists(u"MSys检索临时表"_qs));
    QVERIFY(!run(u"select * into MSys检索临时表 from 计量器具在用库 where  ;"_qs).isEmpty());
    QVERIFY(!m_db->tableExists(u"MSys检索临时表"_qs));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestJetTranslator text;
    TestJetTranslatorOnLedger file(Engine::Sqlite);
    TestJetTranslatorOnLedger server(Engine::Postgres);
    int failures = QTest::qExec(&text, argc, argv);
    failures += QTest::qExec(&file, argc, argv);
    failures += QTest::qExec(&server, argc, argv);
    return failures;
}
#include "tst_jettranslator.moc"
