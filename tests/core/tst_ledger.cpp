// The ledger database as the windows rely on it: the catalogue, working
// tables, the all-or-nothing commit, the commit of only what changed, the
// moves between ledgers and a calibration carried into the in-use ledger,
// each on the ledger file and on a ledger on a PostgreSQL server; then what
// only the file has.
#include "TestSupport.h"
#include "core/Attachments.h"
#include "core/Calibration.h"
#include "core/Database.h"
#include "core/History.h"
#include "core/Ledger.h"
#include "core/LedgerChoice.h"
#include "core/LedgerSchema.h"
#include "core/WorkingCopy.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

using namespace ravo;

// The ledger of one test, on the engine asked for, and what the tests read
// of it.
class LedgerFixture : public QObject {
protected:
    explicit LedgerFixture(Engine engine) : engine(engine) { }

    const Engine engine;
    std::unique_ptr<test::Sandbox> box;
    std::unique_ptr<Database> db;

    void openLedger()
    {
        db = std::make_unique<Database>();
        if (engine == Engine::Postgres) {
            const QString failure = test::openFreshServerLedger(*db);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        box = std::make_unique<test::Sandbox>();
        QVERIFY(box->isValid());
        const DbError e = db->open(box->databasePath());
        QVERIFY2(!e, qPrintable(e.text()));
    }
    void closeLedger()
    {
        db.reset();
        box.reset();
    }
    // Statements that make every `event` (UPDATE, DELETE) on the table fail.
    QStringList refusingTrigger(const QString& event, const QString& table) const
    {
        if (engine == Engine::Postgres)
            return {QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                   "$$BEGIN RAISE EXCEPTION 'no'; END$$"),
                    QStringLiteral("CREATE TRIGGER t BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION refuse()")
                        .arg(event, table)};
        return {
            QStringLiteral("CREATE TRIGGER t BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'no'); END").arg(event, table)};
    }

    void addInUse(const QString& number, const QString& name = QStringLiteral("游标卡尺"),
                  const QString& accessories = QString())
    {
        const DbResult r = db->executeNative(
            QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 配套设备, 状态, 检定日期) "
                           "VALUES (?, ?, ?, '合格', '2026-01-05')"),
            {number, name, accessories});
        QVERIFY2(r.ok(), qPrintable(r.error.text()));
    }
    int count(const QString& table, const QString& where = QString())
    {
        QSqlQuery q(db->connection());
        q.exec(QStringLiteral("SELECT count(*) FROM \"%1\" %2").arg(table, where));
        q.next();
        return q.value(0).toInt();
    }
    QVariant cell(const QString& table, const QString& column, const QString& number)
    {
        QSqlQuery q(db->connection());
        q.prepare(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE 计量器具编号 = ?").arg(column, table));
        q.addBindValue(number);
        q.exec();
        return q.next() ? q.value(0) : QVariant();
    }
    void makeWorking(const QString& table)
    {
        const DbError e = createWorkingTable(
            *db, tables::working(table),
            QStringLiteral("select * into %1 from %2 order by 计量器具编号;").arg(tables::working(table), table));
        QVERIFY2(!e, qPrintable(e.text()));
    }

    // "number|检定日期|有效日期|状态|检定单位" of every in-use instrument.
    QStringList inUseDates()
    {
        QStringList out;
        QSqlQuery q(db->connection());
        q.exec(QStringLiteral("SELECT 计量器具编号, 检定日期, 有效日期, 状态, 检定单位 FROM 计量器具在用库 "
                              "ORDER BY 计量器具编号"));
        while (q.next())
            out << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString(), q.value(4).toString()}
                       .join(QLatin1Char('|'));
        return out;
    }
    // In use: A-1 and B-2 (限用, calibrated 2025-03-01 by 市计量所); S-1
    // sealed, X-1 scrapped.
    void addCalibrationLedger()
    {
        for (const QString& n : {QStringLiteral("A-1"), QStringLiteral("B-2")})
            QVERIFY(db->executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 检定日期, 有效日期, "
                                                     "状态, 检定单位) VALUES (?, '2025-03-01', '2026-02-28', "
                                                     "'限用', '市计量所')"),
                                      {n})
                        .ok());
        QVERIFY(
            db->executeNative(QStringLiteral("INSERT INTO 计量器具封存库 (计量器具编号, 状态) VALUES ('S-1', '封存')"))
                .ok());
        QVERIFY(
            db->executeNative(QStringLiteral("INSERT INTO 计量器具报废库 (计量器具编号, 状态) VALUES ('X-1', '报废')"))
                .ok());
    }
};

class LedgerTest : public LedgerFixture {
    Q_OBJECT
public:
    explicit LedgerTest(Engine engine) : LedgerFixture(engine) { }

private slots:
    void initTestCase()
    {
        qInfo("%s", engine == Engine::Postgres ? "engine: PostgreSQL server" : "engine: SQLite ledger file");
    }

    // One record applied at once: dates always, 状态 only for a passed
    // calibration, 检定单位 when the record names one; refused for an
    // instrument not in use, and all or nothing.
    void calibrationUpdate_data()
    {
        QTest::addColumn<QStringList>("record"); // number, 检定日期, 有效日期, 结论, 检定单位
        QTest::addColumn<QString>("refusal");    // a word of the message; empty: applied
        QTest::addColumn<QString>("a1After");    // A-1 afterwards
        const QString untouched = "A-1|2025-03-01|2026-02-28|限用|市计量所";
        QTest::newRow("passed, number in other case")
            << QStringList{" a-1 ", "2026-03-01", "2027-02-28", " 合格 ", "省计量院"} << QString()
            << "A-1|2026-03-01|2027-02-28|合格|省计量院";
        QTest::newRow("passed with restriction") << QStringList{"A-1", "2026-03-01", "2027-02-28", "准用", ""}
                                                 << QString() << "A-1|2026-03-01|2027-02-28|准用|市计量所";
        QTest::newRow("failed: status untouched") << QStringList{"A-1", "2026-03-01", "2027-02-28", "不合格", ""}
                                                  << QString() << "A-1|2026-03-01|2027-02-28|限用|市计量所";
        QTest::newRow("sealed") << QStringList{"s-1", "2026-03-01", "2027-02-28", "合格", ""} << "封存" << untouched;
        QTest::newRow("scrapped") << QStringList{"X-1", "2026-03-01", "2027-02-28", "合格", ""} << "报废" << untouched;
        QTest::newRow("unknown number") << QStringList{"Z-9", "2026-03-01", "2027-02-28", "合格", ""} << "找不到"
                                        << untouched;
        QTest::newRow("no valid-until date")
            << QStringList{"A-1", "2026-03-01", "", "合格", ""} << "有效日期" << untouched;
        QTest::newRow("date the ledger refuses")
            << QStringList{"A-1", "2026-03-01", "2027-02-30", "合格", "省计量院"} << "有效日期" << untouched;
    }
    void calibrationUpdate()
    {
        QFETCH(QStringList, record);
        QFETCH(QString, refusal);
        QFETCH(QString, a1After);
        addCalibrationLedger();
        const CalibrationResult r{record[0], record[1], record[2], record[3], record[4]};
        LedgerUpdate planned;
        const DbError p = planCalibrationUpdate(*db, r, planned);
        LedgerUpdate applied;
        const DbError e = applyCalibrationUpdate(*db, r, &applied);
        QCOMPARE(e.isError(), !refusal.isEmpty());
        if (e)
            QVERIFY2(e.text().contains(refusal), qPrintable(e.text()));
        else
            QCOMPARE(applied.lines(), planned.lines());
        if (p) // the plan refuses what cannot be applied, with the same words
            QCOMPARE(p.text(), e.text());
        QCOMPARE(inUseDates(), (QStringList{a1After, "B-2|2025-03-01|2026-02-28|限用|市计量所"}));
    }

    // The save of the confirmation records, with or without the ledger
    // update, and both in one transaction.
    void confirmationSave_data()
    {
        QTest::addColumn<QStringList>("edits"); // on the working copy
        QTest::addColumn<bool>("updateLedger");
        QTest::addColumn<int>("recordsAfter"); // -1: the save fails
        QTest::addColumn<QStringList>("inUseAfter");
        QTest::addColumn<int>("updated");
        QTest::addColumn<QString>("passedOver"); // a word of the report
        const QString add =
            QStringLiteral("INSERT INTO \"MSys计量器具确认记录库\" (计量器具编号, 检定日期, 有效日期, 结论) "
                           "VALUES ('%1', '%2', '%3', '%4')");
        const QStringList before = {"A-1|2025-03-01|2026-02-28|限用|市计量所",
                                    "B-2|2025-03-01|2026-02-28|限用|市计量所"};
        const QStringList a1Moved = {"A-1|2026-03-01|2027-02-28|合格|市计量所", before[1]};
        QTest::newRow("new passed record") << QStringList{add.arg("A-1", "2026-03-01", "2027-02-28", "合格")} << true
                                           << 3 << a1Moved << 1 << QString();
        QTest::newRow("option off") << QStringList{add.arg("A-1", "2026-03-01", "2027-02-28", "合格")} << false << 3
                                    << before << 0 << QString();
        QTest::newRow("failed record") << QStringList{add.arg("A-1", "2026-03-01", "2027-02-28", "不合格")} << true << 3
                                       << before << 0 << QString();
        QTest::newRow("nothing new") << QStringList{} << true << 2 << before << 0 << QString();
        QTest::newRow("changed record")
            << QStringList{"UPDATE \"MSys计量器具确认记录库\" SET 检定日期 = '2026-03-01', 有效日期 = '2027-02-28' "
                           "WHERE 计量器具编号 = 'B-2'"}
            << true << 2 << QStringList{before[0], "B-2|2026-03-01|2027-02-28|合格|市计量所"} << 1 << QString();
        QTest::newRow("latest of two records counts")
            << QStringList{add.arg("A-1", "2026-09-01", "2027-08-31", "合格"),
                           add.arg("a-1", "2026-03-01", "2027-02-28", "合格")}
            << true << 4 << QStringList{"A-1|2026-09-01|2027-08-31|合格|市计量所", before[1]} << 1 << QString();
        QTest::newRow("older record does not set dates back")
            << QStringList{add.arg("A-1", "2024-03-01", "2025-02-28", "合格")} << true << 3 << before << 0 << "晚于";
        QTest::newRow("sealed instrument")
            << QStringList{add.arg("S-1", "2026-03-01", "2027-02-28", "合格")} << true << 3 << before << 0 << "封存";
        // A record the ledger refuses, let into the working copy by hand.
        const QStringList badDate = engine == Engine::Postgres
            ? QStringList{"ALTER TABLE \"MSys计量器具确认记录库\" DROP CONSTRAINT \"检定日期\"",
                          add.arg("B-2", "2026-02-30", "2027-02-28", "合格")}
            : QStringList{"PRAGMA ignore_check_constraints = 1", add.arg("B-2", "2026-02-30", "2027-02-28", "合格"),
                          "PRAGMA ignore_check_constraints = 0"};
        QTest::newRow("save fails: ledger untouched") << QStringList{add.arg("A-1", "2026-03-01", "2027-02-28", "合格")}
                + badDate << true << -1 << before << 0 << QString();
        QTest::newRow("ledger update fails: records untouched")
            << QStringList{add.arg("A-1", "2026-03-01", "2027-02-28", "合格")}
                + refusingTrigger("UPDATE", tables::InUse)
            << true << -1 << before << 0 << QString();
    }
    void confirmationSave()
    {
        QFETCH(QStringList, edits);
        QFETCH(bool, updateLedger);
        QFETCH(int, recordsAfter);
        QFETCH(QString, passedOver);
        addCalibrationLedger();
        for (const QString& n : {QStringLiteral("A-1"), QStringLiteral("B-2")})
            QVERIFY(
                db->executeNative(QStringLiteral("INSERT INTO 计量器具确认记录库 (计量器具编号, 检定日期, 有效日期, "
                                                 "结论) VALUES (?, '2025-03-01', '2026-02-28', '合格')"),
                                  {n})
                    .ok());
        const QString working = tables::working(tables::Confirmation);
        QVERIFY(
            !createWorkingTable(*db, working,
                                QStringLiteral("select 报告编号,报告类型,计量器具名称,计量器具编号,送检单位,制造厂家,"
                                               "规格型号,出厂编号,结论,批准人,核验员,检定员,检定日期,有效日期,温度,"
                                               "湿度,检测数据,检定单位 into %1 from %2 order by 检定日期;")
                                    .arg(working, tables::Confirmation)));
        for (const QString& edit : edits)
            QVERIFY2(db->executeNative(edit).ok(), qPrintable(edit));
        CalibrationSaveReport report;
        const DbError e =
            commitConfirmationRecords(*db, deleteAllStatement(tables::Confirmation),
                                      insertAllStatement(tables::Confirmation, working), true, updateLedger, &report);
        QCOMPARE(e.isError(), recordsAfter < 0);
        QCOMPARE(count(tables::Confirmation), recordsAfter < 0 ? 2 : recordsAfter);
        QTEST(inUseDates(), "inUseAfter");
        QTEST(int(report.updated.size()), "updated");
        QCOMPARE(report.passedOver.join(QLatin1Char('\n')).contains(passedOver), true);
        QCOMPARE(report.passedOver.isEmpty(), passedOver.isEmpty());
    }

    void init()
    {
        // A refused statement's prepared form is let go only once its
        // transaction is rolled back: a server refuses every statement,
        // even that one, in between.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("Unable to free statement")));
        openLedger();
    }
    void cleanup() { closeLedger(); }

    void catalogueKeepsPinyinOrderAndHidesWorkingTables()
    {
        QVERIFY(db->executeNative(QStringLiteral("CREATE TABLE \"MSys检索临时表\" (a TEXT)")).ok());
        QVERIFY(db->executeNative(QStringLiteral("CREATE TABLE \"~TMPCLP1\" (a TEXT)")).ok());
        // An editor's copy with its books: the books are no table of the ledger.
        const QString w = tables::working(tables::Stock);
        QVERIFY(!createTrackedWorkingTable(*db, tables::Stock, w, QStringLiteral("购买日期"), QStringLiteral("打开")));
        QCOMPARE(db->tables(true).filter(QRegularExpression(QStringLiteral("^ravo_|_来源$|_改动$|_删除$"))),
                 QStringList());
        QCOMPARE(db->columns(w), db->columns(tables::Stock));
        const QStringList expected = {tables::Environment,  tables::Scrapped, tables::Stock, tables::Sealed,
                                      tables::Confirmation, tables::Repair,   tables::InUse};
        QCOMPARE(db->tables(), expected);
        QCOMPARE(db->tables().indexOf(tables::InUse), 6);
        QVERIFY(db->tables(true).contains(QStringLiteral("MSys检索临时表")));
        QCOMPARE(db->columns(tables::InUse), commonColumns());
        QCOMPARE(db->columns(tables::Sealed), commonColumns() + QStringList{QStringLiteral("封存日期")});
    }

    void leftOverWorkingTableIsRebuilt()
    {
        addInUse(QStringLiteral("A-1"));
        makeWorking(tables::InUse);
        addInUse(QStringLiteral("A-2")); // the real table moved on since
        makeWorking(tables::InUse);      // left over: dropped and made again
        QCOMPARE(count(tables::working(tables::InUse)), 2);
        QCOMPARE(db->scratchText(),
                 QStringLiteral("select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"));
    }

    void workingTableKeepsOrderAndRules()
    {
        addInUse(QStringLiteral("C-3"));
        addInUse(QStringLiteral("A-1"));
        addInUse(QStringLiteral("B-2"));
        makeWorking(tables::InUse);
        QSqlQuery q(db->connection());
        q.exec(QStringLiteral("SELECT 计量器具编号 FROM \"MSys计量器具在用库\" ORDER BY rowid"));
        QStringList order;
        while (q.next())
            order << q.value(0).toString();
        QCOMPARE(order, (QStringList{"A-1", "B-2", "C-3"}));
        // The copy refuses what the ledger refuses.
        QVERIFY(!db->executeNative(QStringLiteral("UPDATE \"MSys计量器具在用库\" SET 检定日期 = '2026-02-30'")).ok());
    }

    void commit_data()
    {
        QTest::addColumn<QString>("badEdit");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("plain edit") << QStringLiteral("UPDATE \"MSys计量器具在用库\" SET 使用部门 = '计量室'") << true;
        QTest::newRow("empty copy") << QStringLiteral("DELETE FROM \"MSys计量器具在用库\"") << true;
        QTest::newRow("duplicate number")
            << QStringLiteral("INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('a-1')") << false;
        QTest::newRow("invalid date") << QStringLiteral("UPDATE \"MSys计量器具在用库\" SET 有效日期 = '2026-13-01'")
                                      << false;
        QTest::newRow("blank number") << QStringLiteral(
            "UPDATE \"MSys计量器具在用库\" SET 计量器具编号 = '  ' WHERE 计量器具编号 = 'B-2'")
                                      << false;
    }
    void commit()
    {
        QFETCH(QString, badEdit);
        QFETCH(bool, succeeds);
        addInUse(QStringLiteral("A-1"));
        addInUse(QStringLiteral("B-2"));
        makeWorking(tables::InUse);
        // The working copy has no rules beyond the ledger's own except where
        // the test breaks them on purpose: drop them so the bad row gets in.
        if (!succeeds) {
            QVERIFY(db->executeNative(QStringLiteral("DROP TABLE \"MSys计量器具在用库\"")).ok());
            QVERIFY(
                db->executeNative(QStringLiteral("CREATE TABLE \"MSys计量器具在用库\" AS SELECT * FROM 计量器具在用库"))
                    .ok());
        }
        QVERIFY(db->executeNative(badEdit).ok());
        const int workingRows = count(tables::working(tables::InUse));
        const DbError e = commitWorkingTable(*db, deleteAllStatement(tables::InUse),
                                             insertAllStatement(tables::InUse, tables::working(tables::InUse)));
        QCOMPARE(!e.isError(), succeeds);
        if (succeeds) {
            QCOMPARE(count(tables::InUse), workingRows);
        } else {
            QVERIFY(!e.description.isEmpty());
            QCOMPARE(count(tables::InUse), 2); // the ledger keeps every row it had
            QVERIFY(cell(tables::InUse, QStringLiteral("有效日期"), QStringLiteral("A-1")).isNull());
        }
    }

    void moves_data()
    {
        QTest::addColumn<int>("move");
        QTest::addColumn<QString>("dateColumn");
        QTest::addColumn<QString>("status");
        QTest::newRow("scrap") << int(Move::InUseToScrapped) << QStringLiteral("报废日期") << QStringLiteral("报废");
        QTest::newRow("seal") << int(Move::InUseToSealed) << QStringLiteral("封存日期") << QStringLiteral("封存");
        QTest::newRow("unseal") << int(Move::SealedToInUse) << QString() << QStringLiteral("准用");
        QTest::newRow("scrap sealed") << int(Move::SealedToScrapped) << QStringLiteral("报废日期")
                                      << QStringLiteral("报废");
        QTest::newRow("reinstate") << int(Move::ScrappedToInUse) << QString() << QStringLiteral("准用");
    }
    void moves()
    {
        QFETCH(int, move);
        QFETCH(QString, dateColumn);
        QFETCH(QString, status);
        const MoveSpec route = moveSpec(Move(move));
        const QDate today(2026, 12, 7);
        // A number with a quote, and a look-alike row that must stay.
        const QString number = QStringLiteral("A\"1");
        const QStringList sourceExtra = db->columns(route.source).mid(commonColumns().size());
        for (const QString& n : {number, QStringLiteral("A")}) {
            QString cols = QStringLiteral("计量器具编号, 计量器具名称, 配套设备, 状态");
            QString vals = QStringLiteral("?, '千分尺', '测微头两只', '合格'");
            for (const QString& extra : sourceExtra) {
                cols += QStringLiteral(", ") + extra;
                vals += extra.endsWith(QStringLiteral("日期")) ? QStringLiteral(", '2025-05-05'")
                                                               : QStringLiteral(", '损坏'");
            }
            QVERIFY(
                db->executeNative(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(route.source, cols, vals), {n})
                    .ok());
        }
        makeWorking(route.source);
        const DbError e = moveInstrument(*db, Move(move), QStringLiteral(" ") + number + QStringLiteral(" "), today);
        QVERIFY2(!e, qPrintable(e.text()));

        QCOMPARE(count(route.source), 1);
        QCOMPARE(cell(route.source, NumberColumn, QStringLiteral("A")).toString(), QStringLiteral("A"));
        QCOMPARE(count(tables::working(route.source)), 1);
        QCOMPARE(count(route.target), 1);
        QCOMPARE(cell(route.target, QStringLiteral("配套设备"), number).toString(), QStringLiteral("测微头两只"));
        QCOMPARE(cell(route.target, QStringLiteral("状态"), number).toString(), status);
        if (!dateColumn.isEmpty())
            QCOMPARE(cell(route.target, dateColumn, number).toString(), QStringLiteral("2026-12-07"));
        // Columns the target has beyond the 29 and that the move does not
        // stamp arrive empty (the sealing date is dropped on the way to scrap).
        for (const QString& c : db->columns(route.target).mid(commonColumns().size()))
            if (c != dateColumn)
                QVERIFY(cell(route.target, c, number).isNull());
    }

    // Each failure carries its kind from the engine's code, and the
    // description that kind is told with.
    void errorKinds_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("description");
        using K = DbError::Kind;
        QTest::newRow("duplicate number")
            << "INSERT INTO 计量器具在用库 (计量器具编号) VALUES ('a-1')" << int(K::DuplicateNumber)
            << "计量器具编号重复：同一编号的计量器具已经存在，不能重复保存！";
        QTest::newRow("null number") << "INSERT INTO 计量器具在用库 (计量器具名称) VALUES ('x')" << int(K::BlankNumber)
                                     << "计量器具编号不能为空！";
        QTest::newRow("blank number") << "INSERT INTO 计量器具在用库 (计量器具编号) VALUES ('  ')"
                                      << int(K::BlankNumber) << "计量器具编号不能为空！";
        QTest::newRow("no such date") << "UPDATE 计量器具在用库 SET 有效日期 = '2027-02-30'" << int(K::InvalidValue)
                                      << "“有效日期”不是有效的日期，请按 2003-3-28 的格式输入。";
        // The server's integer column refuses the text before any rule can
        // name the column.
        QTest::newRow("stock count") << "INSERT INTO 计量器具待发放库 (计量器具名称, 库存数量) VALUES ('s', 'x')"
                                     << int(K::InvalidValue)
                                     << (engine == Engine::Postgres ? "数据类型不符，不能保存。"
                                                                    : "“库存数量”必须是整数。");
        QTest::newRow("missing table") << "SELECT * FROM 没有这个表" << int(K::MissingTable)
                                       << "找不到数据表“没有这个表”。";
        QTest::newRow("missing column") << "SELECT 没有这列 FROM 计量器具在用库" << int(K::MissingColumn)
                                        << "找不到字段“没有这列”。";
        QTest::newRow("syntax") << "SELEC 1" << int(K::Syntax) << "SQL 语句语法错误。";
        QTest::newRow("table exists") << "CREATE TABLE 计量器具在用库 (x TEXT)" << int(K::TableExistsKind)
                                      << "数据表“计量器具在用库”已经存在。";
        QTest::newRow("trigger")
            << (refusingTrigger("DELETE", tables::InUse) + QStringList{"DELETE FROM 计量器具在用库"}).join('\n')
            << int(K::Other) << "数据库操作失败。";
        if (engine != Engine::Postgres)
            return;
        // What only a server reports; a line "other: …" runs in a colleague's
        // session, which keeps its transaction open until the row ends.
        QTest::newRow("row locked by a colleague") << "other: BEGIN\nother: UPDATE 计量器具在用库 SET 状态 = '封存'\n"
                                                      "SELECT * FROM 计量器具在用库 FOR UPDATE NOWAIT"
                                                   << int(K::Busy) << "数据库正被其他程序使用，请稍后再试。";
        QTest::newRow("lock wait runs out")
            << "other: BEGIN\nother: LOCK TABLE 计量器具在用库\nSET lock_timeout = '20ms'\n"
               "UPDATE 计量器具在用库 SET 状态 = '限用'"
            << int(K::Busy) << "数据库正被其他程序使用，请稍后再试。";
        QTest::newRow("row changed by a colleague since this transaction began")
            << "BEGIN ISOLATION LEVEL REPEATABLE READ\nSELECT count(*) FROM 计量器具在用库\n"
               "other: UPDATE 计量器具在用库 SET 状态 = '封存'\nUPDATE 计量器具在用库 SET 状态 = '限用'"
            << int(K::Busy) << "数据库正被其他程序使用，请稍后再试。";
        // A colleague's psql waits for this session's row while holding the
        // number this session then inserts: the server breaks the deadlock
        // on this side, whose wait runs out first.
        QTest::newRow("deadlock")
            << "SET deadlock_timeout = '50ms'\nBEGIN\nUPDATE 计量器具在用库 SET 状态 = '限用'\n"
               "colleague: SET deadlock_timeout = '60s'; BEGIN; INSERT INTO 计量器具在用库 (计量器具编号) "
               "VALUES ('Z-1'); UPDATE 计量器具在用库 SET 状态 = '封存'; COMMIT;\n"
               "INSERT INTO 计量器具在用库 (计量器具编号) VALUES ('Z-1')"
            << int(K::Busy) << "数据库正被其他程序使用，请稍后再试。";
        QTest::newRow("session ended by the server")
            << "other: SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = "
               "current_database() AND pid <> pg_backend_pid()\nSELECT count(*) FROM 计量器具在用库"
            << int(K::LostConnection)
            << "与数据库服务器的连接中断了：服务器没有运行或网络不通。已经保存的内容不会丢失，请检查后再试。";
        QTest::newRow("account without the right")
            << "DO $$BEGIN CREATE ROLE ravo_test_reader; EXCEPTION WHEN duplicate_object THEN NULL; END$$\n"
               "GRANT USAGE ON SCHEMA public TO ravo_test_reader\nGRANT SELECT ON 计量器具在用库 TO ravo_test_reader\n"
               "SET ROLE ravo_test_reader\nSELECT count(*) FROM 计量器具在用库\n"
               "UPDATE 计量器具在用库 SET 状态 = '限用'"
            << int(K::PermissionDenied) << "没有权限：数据库服务器不允许这个用户做这项操作。";
        QTest::newRow("text the column type refuses")
            << "SELECT CAST('2026-02-30' AS date)" << int(K::InvalidValue) << "数据类型不符，不能保存。";
    }
    void errorKinds()
    {
        QFETCH(QString, sql);
        addInUse(QStringLiteral("A-1"));
        const QStringList statements = sql.split(QLatin1Char('\n')); // set-up first
        Database other;
        QProcess colleague;
        for (int i = 0; i + 1 < statements.size(); ++i) {
            const QString& statement = statements[i];
            if (statement.startsWith(QLatin1String("colleague: "))) {
                // Started and left waiting for this session's locks.
                colleague.start(QStringLiteral("psql"),
                                {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                 QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), db->connection().hostName(),
                                 QStringLiteral("-U"), QStringLiteral("ravo"), QStringLiteral("-d"),
                                 db->connection().databaseName(), QStringLiteral("-c"),
                                 statement.section(QLatin1String(": "), 1)});
                QVERIFY2(colleague.waitForStarted(), qPrintable(colleague.errorString()));
                Database watch;
                QVERIFY(test::openSecondSession(*db, watch).isEmpty());
                const auto waiting = [&watch] {
                    QSqlQuery q(watch.connection());
                    return q.exec(QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE datname = current_database() "
                                                 "AND wait_event_type = 'Lock'"))
                        && q.next();
                };
                QTRY_VERIFY_WITH_TIMEOUT(waiting(), 20000);
                continue;
            }
            if (statement.startsWith(QLatin1String("other: "))) {
                if (!other.isOpen()) {
                    const QString failure = test::openSecondSession(*db, other);
                    QVERIFY2(failure.isEmpty(), qPrintable(failure));
                }
                const DbResult r = other.executeNative(statement.section(QLatin1String(": "), 1));
                QVERIFY2(r.ok(), qPrintable(r.error.text()));
                continue;
            }
            const DbResult r = db->executeNative(statement);
            QVERIFY2(r.ok(), qPrintable(r.error.text()));
        }
        const DbError e = db->executeNative(statements.last()).error;
        QVERIFY(e.isError());
        QTEST(int(e.kind), "kind");
        QTEST(e.description, "description");
        QCOMPARE(e.number == DbError::TableExists, e.kind == DbError::Kind::TableExistsKind);
        if (colleague.state() != QProcess::NotRunning) {
            // This session gives way; the colleague's work then goes through.
            QVERIFY(db->executeNative(QStringLiteral("ROLLBACK")).ok());
            QVERIFY(colleague.waitForFinished(20000));
            QCOMPARE(colleague.exitCode(), 0);
            QCOMPARE(count(tables::InUse, QStringLiteral("WHERE 计量器具编号 = 'Z-1'")), 1);
        }
    }

    // A ledger that cannot be opened is refused with its reason, and
    // nothing is made in its place.
    void openingFails_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        using K = DbError::Kind;
        if (engine == Engine::Sqlite) {
            QTest::newRow("missing file") << "nothing.mdb" << int(K::Other) << "找不到台帐数据库文件";
            return;
        }
        QTest::newRow("no server there") << "host" << int(K::LostConnection) << "与数据库服务器的连接中断了";
        QTest::newRow("no such database")
            << "dbname" << int(K::LostConnection) << "数据库服务器上没有数据库“ravo_no_such_ledger”";
        QTest::newRow("wrong password") << "password" << int(K::PermissionDenied) << "用户名或密码不对";
    }
    void openingFails()
    {
        QFETCH(QString, change);
        Database other;
        DbError e;
        if (engine == Engine::Sqlite) {
            const QString path = box->appDir() + QLatin1Char('/') + change;
            e = other.open(path);
            QVERIFY(!QFile::exists(path));
        } else {
            ServerAddress a =
                *ServerAddress::parse(QStringLiteral("host=%1 dbname=%2 user=ravo")
                                          .arg(db->connection().hostName(), db->connection().databaseName()));
            QTemporaryDir nowhere;
            QString password;
            if (change == QLatin1String("host")) {
                a.host = nowhere.path();
            } else if (change == QLatin1String("dbname")) {
                a.database = QStringLiteral("ravo_no_such_ledger");
            } else {
                QVERIFY(db->executeNative(QStringLiteral("DO $$BEGIN CREATE ROLE ravo_test_login LOGIN PASSWORD "
                                                         "'right'; EXCEPTION WHEN duplicate_object THEN NULL; END$$"))
                            .ok());
                a.user = QStringLiteral("ravo_test_login");
                password = QStringLiteral("wrong");
            }
            e = other.openServer(a, password);
            if (!password.isEmpty()) { // the account itself is sound
                Database rightly;
                const DbError fine = rightly.openServer(a, QStringLiteral("right"));
                QVERIFY2(!fine, qPrintable(fine.text()));
            }
        }
        QVERIFY(e.isError());
        QTEST(int(e.kind), "kind");
        QFETCH(QString, says);
        QVERIFY2(e.description.contains(says), qPrintable(e.text()));
        QVERIFY(!other.isOpen());
    }

    // The copy with its books walks the rows in the window's order, and each
    // working row knows the ledger row it came from.
    void trackedCopyOrderAndOrigin_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("by number") << "计量器具编号" << QStringList{"A-1", "B-2", "C-3"};
        QTest::newRow("descending") << "计量器具编号 desc" << QStringList{"C-3", "B-2", "A-1"};
        QTest::newRow("by name, then number") << "计量器具名称, 计量器具编号" << QStringList{"A-1", "C-3", "B-2"};
    }
    void trackedCopyOrderAndOrigin()
    {
        QFETCH(QString, order);
        addInUse(QStringLiteral("B-2"), QStringLiteral("卡尺"));
        addInUse(QStringLiteral("C-3"), QStringLiteral("卡尺"));
        addInUse(QStringLiteral("A-1"), QStringLiteral("卡尺"));
        QVERIFY(db->executeNative(
                      QStringLiteral("UPDATE 计量器具在用库 SET 计量器具名称 = '游标卡尺' WHERE 计量器具编号 = 'B-2'"))
                    .ok());
        const QString w = tables::working(tables::InUse);
        const DbError e = createTrackedWorkingTable(*db, tables::InUse, w, order, QStringLiteral("打开"));
        QVERIFY2(!e, qPrintable(e.text()));
        QStringList walked;
        QSqlQuery q(db->connection());
        q.exec(QStringLiteral("SELECT w.rowid, w.计量器具编号 FROM %1 AS w ORDER BY w.rowid").arg(quotedIdentifier(w)));
        while (q.next()) {
            walked << q.value(1).toString();
            QSqlQuery l(db->connection());
            l.exec(QStringLiteral("SELECT 计量器具编号 FROM 计量器具在用库 WHERE rowid = %1")
                       .arg(ledgerRowOf(*db, w, q.value(0).toLongLong())));
            QVERIFY(l.next());
            QCOMPARE(l.value(0).toString(), walked.last());
        }
        QTEST(walked, "numbers");
    }

    // Every column of every row of a table (as the program sees them, no
    // addresses or versions), one text a row, in number order.
    QStringList rowsOf(const QString& table)
    {
        QStringList out;
        QSqlQuery q(db->connection());
        QStringList columns = db->columns(table);
        for (QString& c : columns)
            c = quotedIdentifier(c);
        q.exec(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY 计量器具编号").arg(columns.join(','), table));
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < q.record().count(); ++c)
                row << q.value(c).toString();
            out << row.join(QLatin1Char('|'));
        }
        return out;
    }

    // OK writes only what the editor changed. Another connection changes
    // C-3 meanwhile: unless the editor touched C-3 too, that survives; every
    // other row of the ledger ends equal to the editor's. On a server an
    // editor that wrote C-3 too is told of the clash and writes nothing
    // until it keeps its own edits. Edits are
    // statements on the copy, or "move:N" (scrap N at once).
    void commitOfChanges_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QList<int>>("counts"); // deleted, written, added; empty: the commit fails
        const QString upd = QStringLiteral("UPDATE \"MSys计量器具在用库\" SET %1 WHERE 计量器具编号 = '%2'");
        const QString add =
            QStringLiteral("INSERT INTO \"MSys计量器具在用库\" (计量器具编号, 计量器具名称) VALUES ('%1', '新')");
        const QString del = QStringLiteral("DELETE FROM \"MSys计量器具在用库\" WHERE 计量器具编号 = '%1'");
        QTest::newRow("nothing changed") << QStringList{} << QList<int>{0, 0, 0};
        QTest::newRow("one change") << QStringList{upd.arg("使用部门 = '计量室'", "A-1")} << QList<int>{0, 1, 0};
        QTest::newRow("changed twice, written once")
            << QStringList{upd.arg("使用部门 = '一'", "A-1"), upd.arg("使用部门 = '二'", "A-1")} << QList<int>{0, 1, 0};
        QTest::newRow("added") << QStringList{add.arg("E-5")} << QList<int>{0, 1, 1};
        QTest::newRow("deleted") << QStringList{del.arg("B-2")} << QList<int>{1, 0, 0};
        QTest::newRow("added then deleted") << QStringList{add.arg("E-5"), del.arg("E-5")} << QList<int>{0, 0, 0};
        QTest::newRow("numbers exchanged")
            << QStringList{upd.arg("计量器具编号 = 'T'", "A-1"), upd.arg("计量器具编号 = 'A-1'", "B-2"),
                           upd.arg("计量器具编号 = 'B-2'", "T")}
            << QList<int>{0, 2, 0};
        QTest::newRow("deleted number given to a new row")
            << QStringList{del.arg("B-2"), add.arg("b-2")} << QList<int>{1, 1, 1};
        QTest::newRow("renumbered to a deleted row's number")
            << QStringList{del.arg("B-2"), upd.arg("计量器具编号 = 'B-2'", "A-1")} << QList<int>{1, 1, 0};
        QTest::newRow("the row changed meanwhile, changed here too")
            << QStringList{upd.arg("保管员 = '我'", "C-3")} << QList<int>{0, 1, 0};
        QTest::newRow("moved, then a row added") << QStringList{"move:D-4", add.arg("F-6")} << QList<int>{0, 1, 1};
        QTest::newRow("renumbered, then moved")
            << QStringList{upd.arg("计量器具编号 = 'D-9'", "D-4"), "move:D-9", upd.arg("备注 = 'x'", "A-1")}
            << QList<int>{0, 1, 0};
        QTest::newRow("number added meanwhile: nothing written")
            << QStringList{upd.arg("备注 = 'x'", "A-1"), add.arg("g-7")} << QList<int>{};
    }
    void commitOfChanges()
    {
        QFETCH(QStringList, edits);
        QFETCH(QList<int>, counts);
        const bool touched =
            std::any_of(edits.cbegin(), edits.cend(), [](const QString& s) { return s.contains("C-3"); });
        for (const char* n : {"A-1", "B-2", "C-3", "D-4"})
            addInUse(n);
        const QString w = tables::working(tables::InUse);
        bool keptRules = false;
        const DbError made =
            createTrackedWorkingTable(*db, tables::InUse, w, NumberColumn, QStringLiteral("打开"), &keptRules);
        QVERIFY2(!made, qPrintable(made.text()));
        QVERIFY(keptRules);
        QCOMPARE(db->scratchText(), QStringLiteral("打开"));
        {
            Database other;
            if (engine == Engine::Postgres)
                QCOMPARE(test::openSecondSession(*db, other), QString());
            else
                QVERIFY(!other.open(box->databasePath()));
            QVERIFY(
                other
                    .executeNative(QStringLiteral("UPDATE 计量器具在用库 SET 备注 = '别人' WHERE 计量器具编号 = 'C-3'"))
                    .ok());
            if (counts.isEmpty())
                QVERIFY(other.executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号) VALUES ('G-7')"))
                            .ok());
        }
        for (const QString& e : edits) {
            if (e.startsWith(QLatin1String("move:"))) {
                const QString n = e.mid(5);
                QSqlQuery q(db->connection());
                q.exec(QStringLiteral("SELECT rowid FROM %1 WHERE 计量器具编号 = '%2'").arg(quotedIdentifier(w), n));
                QVERIFY(q.next());
                const qint64 from = ledgerRowOf(*db, w, q.value(0).toLongLong());
                q.finish();
                q.exec(QStringLiteral("SELECT 计量器具编号 FROM 计量器具在用库 WHERE rowid = %1").arg(from));
                QVERIFY(q.next());
                const QString inLedger = q.value(0).toString();
                q.finish();
                QVERIFY(
                    !moveInstrument(*db, Move::InUseToScrapped, n, QDate(2026, 1, 2), LedgerRow::numbered(inLedger)));
            } else {
                const DbResult r = db->executeNative(e);
                QVERIFY2(r.ok(), qPrintable(e + r.error.text()));
            }
        }
        const QStringList before = rowsOf(tables::InUse);
        CopyCommit done;
        QVector<RowConflict> conflicts;
        DbError e = commitTrackedWorkingTable(*db, tables::InUse, w, QStringLiteral("提交"), &done, &conflicts);
        if (engine == Engine::Postgres && touched) {
            QCOMPARE(e.kind, DbError::Kind::Conflict);
            QCOMPARE(rowsOf(tables::InUse), before);
            QCOMPARE(conflicts.size(), 1);
            QCOMPARE(conflicts.first().label, QStringLiteral("C-3"));
            QVERIFY(!conflicts.first().gone);
            QVERIFY2(e.description.contains(QStringLiteral("C-3：ravo 于 ")), qPrintable(e.description));
            QVERIFY(!keepOwnEdits(*db, tables::InUse, w, {conflicts.first().ledgerRow}));
            e = commitTrackedWorkingTable(*db, tables::InUse, w, QStringLiteral("提交"), &done, &conflicts);
        }
        if (counts.isEmpty()) {
            QVERIFY(e.isError());
            QCOMPARE(rowsOf(tables::InUse), before);
            QVERIFY(db->scratchText() != QStringLiteral("提交"));
            // The books are kept: with the clash mended, the same OK goes through.
            QVERIFY(
                db->executeNative(QStringLiteral("DELETE FROM %1 WHERE 计量器具编号 = 'g-7'").arg(quotedIdentifier(w)))
                    .ok());
            QVERIFY(!commitTrackedWorkingTable(*db, tables::InUse, w, {}, &done));
            QCOMPARE(cell(tables::InUse, "备注", "A-1").toString(), QStringLiteral("x"));
            return;
        }
        QVERIFY2(!e, qPrintable(e.text()));
        QCOMPARE((QList<int>{int(done.deleted), int(done.written), int(done.added)}), counts);
        QCOMPARE(db->scratchText(), QStringLiteral("提交"));
        QStringList expected = rowsOf(w);
        if (!touched)
            expected.replaceInStrings(QRegularExpression(QStringLiteral("^(C-3\\|.*)\\|$")),
                                      QStringLiteral("\\1|别人"));
        QCOMPARE(rowsOf(tables::InUse), expected);
        // Rows added stand for their new ledger rows from now on: a second
        // OK writes over them instead of adding them again.
        QVERIFY(db->executeNative(QStringLiteral("UPDATE %1 SET 保管员 = '二次'").arg(quotedIdentifier(w))).ok());
        e = commitTrackedWorkingTable(*db, tables::InUse, w, {}, &done, &conflicts);
        if (engine == Engine::Postgres && !touched) {
            // The colleague's change to C-3 came after this window read it.
            QCOMPARE(e.kind, DbError::Kind::Conflict);
            QCOMPARE(conflicts.size(), 1);
            QVERIFY(!reloadLedgerRows(*db, tables::InUse, w, {conflicts.first().ledgerRow}));
            QCOMPARE(cell(w, "备注", "C-3").toString(), QStringLiteral("别人"));
            QVERIFY(db->executeNative(QStringLiteral("UPDATE %1 SET 保管员 = '二次'").arg(quotedIdentifier(w))).ok());
            e = commitTrackedWorkingTable(*db, tables::InUse, w, {}, &done, &conflicts);
        }
        QVERIFY2(!e, qPrintable(e.text()));
        QCOMPARE(int(done.written), count(w));
        QCOMPARE(count(tables::InUse), count(w));
        QCOMPARE(count(tables::InUse, QStringLiteral("WHERE 保管员 = '二次'")), count(w));
    }

    // Each kind of change leaves its rows in the change history, in the
    // same commit, named after the account signed in: values changed
    // (original → new), rows added and deleted, a write-off, a move with
    // the edits it carries, records replaced by the record editor's copy,
    // the ledger updated from a confirmation. Steps: "sql:…" on the in-use
    // editor's copy, "ok" commits it; "move:N" scraps N; "writeoff:N"
    // deletes N in the scrapped editor and commits; "record:…" on the
    // confirmation editor's copy of A-1 ("watch" first: the file's editor
    // watches it), "records" commits it;
    // "calibrate" carries a calibration of A-1 into the ledger.
    void historyOfEachChange_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("history"); // 数据表|编号|事件|字段|原值|新值, oldest first
        const QString w = QStringLiteral("sql:UPDATE \"MSys计量器具在用库\" SET %1 WHERE 计量器具编号 = '%2'");
        const QString in = tables::InUse;
        QTest::newRow("one value changed")
            << QStringList{w.arg("使用部门 = '计量室'", "A-1"), "ok"} << QStringList{in + "|A-1|修改|使用部门||计量室"};
        QTest::newRow("two values of two rows")
            << QStringList{w.arg("保管员 = '李四', 备注 = 'x'", "A-1"), w.arg("计量器具名称 = '千分尺'", "B-2"), "ok"}
            << QStringList{in + "|A-1|修改|保管员||李四", in + "|A-1|修改|备注||x",
                           in + "|B-2|修改|计量器具名称|游标卡尺|千分尺"};
        QTest::newRow("written again unchanged")
            << QStringList{w.arg("计量器具名称 = '游标卡尺'", "A-1"), "ok"} << QStringList{};
        QTest::newRow("only the case changed") << QStringList{w.arg("计量器具编号 = 'a-1'", "A-1"), "ok"}
                                               << QStringList{in + "|a-1|修改|计量器具编号|A-1|a-1"};
        QTest::newRow("number corrected") << QStringList{w.arg("计量器具编号 = 'A-9'", "A-1"), "ok"}
                                          << QStringList{in + "|A-9|修改|计量器具编号|A-1|A-9"};
        QTest::newRow("added and deleted")
            << QStringList{"sql:INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('E-5')",
                           "sql:DELETE FROM \"MSys计量器具在用库\" WHERE 计量器具编号 = 'B-2'", "ok"}
            << QStringList{in + "|B-2|删除|||", in + "|E-5|添加|||"};
        QTest::newRow("scrapped with an edit not yet saved")
            << QStringList{w.arg("备注 = '摔坏'", "A-1"), "move:A-1"}
            << QStringList{in + "|A-1|修改|备注||摔坏", tables::Scrapped + "|A-1|报废||" + in + "|" + tables::Scrapped};
        QTest::newRow("written off") << QStringList{"writeoff:X-1"} << QStringList{tables::Scrapped + "|X-1|注销|||"};
        QTest::newRow("records replaced: one added, one changed")
            << QStringList{"record:INSERT INTO \"MSys计量器具确认记录库\" (计量器具编号, 检定日期, 结论) VALUES "
                           "('A-1', '2026-11-30', '合格')",
                           "record:UPDATE \"MSys计量器具确认记录库\" SET 结论 = '准用' WHERE 检定日期 = '2026-01-05'",
                           "records"}
            << QStringList{tables::Confirmation + "|A-1|修改|结论|合格|准用", tables::Confirmation + "|A-1|添加|||"};
        QTest::newRow("records replaced under watch: changed twice, one added then deleted")
            << QStringList{"watch",
                           "record:UPDATE \"MSys计量器具确认记录库\" SET 结论 = '不合格'",
                           "record:UPDATE \"MSys计量器具确认记录库\" SET 结论 = '准用', 检定单位 = '市所'",
                           "record:INSERT INTO \"MSys计量器具确认记录库\" (计量器具编号, 检定日期) VALUES ('A-1', '2026-12-01')",
                           "record:DELETE FROM \"MSys计量器具确认记录库\" WHERE 检定日期 = '2026-12-01'",
                           "records"}
            << QStringList{tables::Confirmation + "|A-1|修改|结论|合格|准用",
                           tables::Confirmation + "|A-1|修改|检定单位||市所"};
        QTest::newRow("records replaced under watch: changed, then deleted")
            << QStringList{"watch", "record:UPDATE \"MSys计量器具确认记录库\" SET 结论 = '不合格'",
                           "record:DELETE FROM \"MSys计量器具确认记录库\"", "records"}
            << QStringList{tables::Confirmation + "|A-1|删除|||"};
        QTest::newRow("records replaced: one deleted")
            << QStringList{"record:DELETE FROM \"MSys计量器具确认记录库\"", "records"}
            << QStringList{tables::Confirmation + "|A-1|删除|||"};
        QTest::newRow("ledger updated from a calibration")
            << QStringList{"calibrate"}
            << QStringList{in + "|A-1|更新台帐|检定日期|2026-01-05|2026-11-30",
                           in + "|A-1|更新台帐|有效日期||2027-11-29", in + "|A-1|更新台帐|检定单位||市计量所"};
    }
    void historyOfEachChange()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, history);
        QVERIFY(!upgradeLedgerSchema(*db));
        db->setAccount(QStringLiteral("张三"));
        addInUse(QStringLiteral("A-1"));
        addInUse(QStringLiteral("B-2"));
        QVERIFY(db->executeNative(QStringLiteral("INSERT INTO 计量器具报废库 (计量器具编号) VALUES ('X-1')")).ok());
        QVERIFY(db->executeNative(QStringLiteral("INSERT INTO 计量器具确认记录库 (计量器具编号, 检定日期, 结论) "
                                                 "VALUES ('A-1', '2026-01-05', '合格')"))
                    .ok());
        QVERIFY(!createTrackedWorkingTable(*db, tables::InUse, tables::working(tables::InUse), NumberColumn, "打开"));
        const QString records = tables::working(tables::Confirmation);
        QVERIFY(!createWorkingTable(*db, records,
                                    QStringLiteral("select * into %1 from %2 where 计量器具编号 = \"A-1\";")
                                        .arg(records, tables::Confirmation)));
        for (const QString& step : steps) {
            DbError e;
            if (step.startsWith(QLatin1String("sql:")) || step.startsWith(QLatin1String("record:")))
                e = db->executeNative(step.section(QLatin1Char(':'), 1)).error;
            else if (step == QLatin1String("ok"))
                e = commitTrackedWorkingTable(*db, tables::InUse, tables::working(tables::InUse));
            else if (step.startsWith(QLatin1String("move:")))
                e = moveInstrument(*db, Move::InUseToScrapped, step.mid(5), QDate(2026, 12, 8));
            else if (step.startsWith(QLatin1String("writeoff:"))) {
                const QString scrapped = tables::working(tables::Scrapped);
                e = createTrackedWorkingTable(*db, tables::Scrapped, scrapped, NumberColumn, "打开");
                if (!e)
                    e = db->executeNative(
                              QStringLiteral("DELETE FROM %1 WHERE 计量器具编号 = ?").arg(quotedIdentifier(scrapped)),
                              {step.mid(9)})
                            .error;
                if (!e)
                    e = commitTrackedWorkingTable(*db, tables::Scrapped, scrapped);
            } else if (step == QLatin1String("records"))
                e = commitReplacedRows(
                    *db, tables::Confirmation, records, QStringLiteral("A-1"),
                    QStringLiteral("delete %1.* from %1 where 计量器具编号=\"A-1\";").arg(tables::Confirmation),
                    insertAllStatement(tables::Confirmation, records));
            else if (step == QLatin1String("watch"))
                e = watchReplacedCopy(*db, records);
            else if (step == QLatin1String("calibrate"))
                e = applyCalibrationUpdate(*db, {"A-1", "2026-11-30", "2027-11-29", "合格", "市计量所"});
            QVERIFY2(!e, qPrintable(step + QStringLiteral(": ") + e.text() + e.detail + e.statement));
        }
        QStringList found;
        QSqlQuery q(db->connection());
        QVERIFY(
            q.exec(QStringLiteral("SELECT 数据表, 计量器具编号, 事件, 字段, 原值, 新值, 账户, 时间 FROM \"MSys履历\" "
                                  "ORDER BY \"ID\"")));
        while (q.next()) {
            QStringList cells;
            for (int c = 0; c < 6; ++c)
                cells << q.value(c).toString();
            found << cells.join(QLatin1Char('|'));
            QCOMPARE(q.value(6).toString(), QStringLiteral("张三"));
            QVERIFY(QDateTime::fromString(q.value(7).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
        }
        QCOMPARE(found, history);
    }

    void moveIntoLedgerHoldingTheNumberChangesNothing()
    {
        addInUse(QStringLiteral("X-9"));
        QVERIFY(
            db->executeNative(QStringLiteral("INSERT INTO 计量器具报废库 (计量器具编号, 状态) VALUES ('x-9', '报废')"))
                .ok());
        makeWorking(tables::InUse);
        const DbError e = moveInstrument(*db, Move::InUseToScrapped, QStringLiteral("X-9"), QDate(2026, 12, 7));
        QVERIFY(e.isError());
        QVERIFY(e.description.contains(QStringLiteral("X-9")));
        QCOMPARE(count(tables::InUse), 1);
        QCOMPARE(count(tables::working(tables::InUse)), 1);
        QVERIFY(cell(tables::Scrapped, QStringLiteral("报废日期"), QStringLiteral("x-9")).isNull());
    }

    // Opening a ledger of the seven tables adds the extension tables in one
    // numbered step that leaves every row as it was and the table list the
    // user sees alone; a second opening changes nothing; a ledger of a newer
    // version is refused, nothing written.
    void schemaUpgrade_data()
    {
        QTest::addColumn<int>("before"); // -1: seven tables only; else the version recorded first
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("seven tables only") << -1 << 0 << "";
        QTest::newRow("with attachments and history, history not yet kept") << 1 << 1 << "";
        QTest::newRow("already up to date") << LedgerSchemaVersion << LedgerSchemaVersion << "";
        QTest::newRow("from a newer program") << LedgerSchemaVersion + 1 << LedgerSchemaVersion + 1 << "较新版本";
    }
    void schemaUpgrade()
    {
        QFETCH(int, before);
        QFETCH(int, from);
        QFETCH(QString, refusal);
        openLedger();
        addCalibrationLedger();
        // A ledger made by an earlier program: the seven tables alone (a
        // new server ledger is made at the current version).
        for (const QString& t : {tables::SchemaVersion, tables::Attachments, tables::History})
            QVERIFY(db->executeNative(QStringLiteral("DROP TABLE IF EXISTS \"%1\"").arg(t)).ok());
        if (before >= 0) {
            QVERIFY(!upgradeLedgerSchema(*db));
            // A ledger of the first step: the tables, but the history not
            // yet guarded against changes.
            if (before == 1) {
                const QStringList back = engine == Engine::Postgres
                    ? QStringList{"DROP TRIGGER ravo_history_kept ON \"MSys履历\"",
                                  "DROP TRIGGER ravo_history_kept_whole ON \"MSys履历\"",
                                  "DROP TRIGGER ravo_history_stamp ON \"MSys履历\""}
                    : QStringList{"DROP TRIGGER \"MSys履历_不改\"", "DROP TRIGGER \"MSys履历_不删\""};
                for (const QString& sql : back + QStringList{"DELETE FROM \"MSys架构\" WHERE 版本 > 1"})
                    QVERIFY2(db->executeNative(sql).ok(), qPrintable(sql));
            }
            if (before > LedgerSchemaVersion)
                QVERIFY(
                    db->executeNative(
                          QStringLiteral("INSERT INTO \"MSys架构\" (版本, 升级时间) VALUES (?, '2030-01-01 00:00:00')"),
                          {before})
                        .ok());
        }
        const QStringList shown = db->tables();
        auto snapshot = [this, &shown] {
            QStringList rows;
            for (const QString& t : shown) {
                QSqlQuery q(db->connection());
                q.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(t));
                while (q.next()) {
                    QStringList values;
                    for (int c = 0; c < q.record().count(); ++c)
                        values << q.value(c).toString();
                    rows << t + ':' + values.join('|');
                }
            }
            rows.sort();
            return rows;
        };
        const QStringList rowsBefore = snapshot();
        QCOMPARE(rowsBefore.size(), 4);
        const int versionRows = before >= 0 ? count(tables::SchemaVersion) : 0;
        int found = -1;
        const DbError e = upgradeLedgerSchema(*db, &found);
        QCOMPARE(found, from);
        if (!refusal.isEmpty()) {
            QVERIFY(e);
            QVERIFY2(e.text().contains(refusal), qPrintable(e.text()));
            QCOMPARE(count(tables::SchemaVersion), versionRows);
        } else {
            QVERIFY2(!e, qPrintable(e.text()));
            QCOMPARE(ledgerSchemaVersion(*db), LedgerSchemaVersion);
            QCOMPARE(count(tables::SchemaVersion), std::max(versionRows, LedgerSchemaVersion));
            QCOMPARE(count(tables::Attachments), 0);
            QCOMPARE(count(tables::History), 0);
            // From now on the history only grows.
            QVERIFY(db->executeNative(QStringLiteral("INSERT INTO \"MSys履历\" (时间, 数据表, 事件) VALUES "
                                                     "('2026-12-09 00:00:00', 'x', 'x')"))
                        .ok());
            for (const QString& sql :
                 {QStringLiteral("UPDATE \"MSys履历\" SET 事件 = 'y'"), QStringLiteral("DELETE FROM \"MSys履历\"")}) {
                const DbResult r = db->executeNative(sql);
                QVERIFY2(!r.ok() && r.error.text().contains(QStringLiteral("变更履历只能增加")), qPrintable(sql));
            }
        }
        QCOMPARE(db->tables(), shown);
        QCOMPARE(snapshot(), rowsBefore);
    }

    // Attachments: a file kept with its instrument comes back byte for byte,
    // follows a new number and goes with a write-off; a file too large,
    // empty or missing is refused with its reason and nothing is kept.
    void attachments_data()
    {
        QTest::addColumn<qint64>("size"); // -1: no such file
        QTest::addColumn<QString>("refusal");
        QTest::newRow("a certificate scan") << qint64(70000) << "";
        QTest::newRow("just at the limit") << qint64(MaxAttachmentBytes) << "";
        QTest::newRow("one byte over") << qint64(MaxAttachmentBytes + 1) << "超过了每个附件 20.0 MB 的限制";
        QTest::newRow("empty file") << qint64(0) << "是空的";
        QTest::newRow("no such file") << qint64(-1) << "找不到文件";
    }
    void attachments()
    {
        QFETCH(qint64, size);
        QFETCH(QString, refusal);
        openLedger();
        QVERIFY(!upgradeLedgerSchema(*db));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("检定证书 A-1.pdf"));
        QByteArray contents;
        if (size >= 0) {
            contents.resize(size);
            for (qint64 i = 0; i < size; i += 4096)
                contents[i] = char(i / 4096 % 251);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contents) == size);
        }
        const AttachmentOwner owner{"A-1", attachmentkind::Instrument};
        Attachment made;
        const DbError e = addAttachment(*db, owner, path, QStringLiteral("张三"), &made);
        if (!refusal.isEmpty()) {
            QVERIFY2(e.text().contains(refusal), qPrintable(e.text()));
            QCOMPARE(count(tables::Attachments), 0);
            return;
        }
        QVERIFY2(!e, qPrintable(e.text()));
        const QVector<Attachment> listed = listAttachments(*db, owner);
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed[0].fileName, QStringLiteral("检定证书 A-1.pdf"));
        QCOMPARE(listed[0].size, size);
        QCOMPARE(listed[0].addedBy, QStringLiteral("张三"));
        QCOMPARE(listed[0].id, made.id);
        QVERIFY(listAttachments(*db, {"A-1", attachmentkind::Confirmation, recordKey("2026-01-05", "R-1")}).isEmpty());
        const QString copy = dir.filePath(QStringLiteral("copy.pdf"));
        QVERIFY(!saveAttachmentAs(*db, made.id, copy));
        QFile back(copy);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QVERIFY(back.readAll() == contents);
        QVERIFY(!renumberAttachments(*db, "A-1", "A-1a"));
        QCOMPARE(attachmentCount(*db, "A-1"), 0);
        QCOMPARE(attachmentCount(*db, "A-1a"), 1);
        int removed = 0;
        QVERIFY(!removeAttachmentsOf(*db, "A-1a", &removed));
        QCOMPARE(removed, 1);
        QCOMPARE(count(tables::Attachments), 0);
        QVERIFY(saveAttachmentAs(*db, made.id, copy).text().contains(QStringLiteral("已经不在台帐中")));
    }

    // A number corrected in the window takes the instrument's own
    // attachments along at OK, also when two instruments exchange their
    // numbers; those of its records stay with the records.
    void attachmentsFollowANewNumber_data()
    {
        QTest::addColumn<QStringList>("edits");  // on the working copy
        QTest::addColumn<QStringList>("owners"); // attachment file → number after the commit
        const QString w =
            QStringLiteral("UPDATE \"MSys计量器具在用库\" SET 计量器具编号 = '%1' WHERE 计量器具编号 = '%2'");
        // c.pdf belongs to a confirmation record of A-1, which keeps the
        // number it was kept under: its scan stays with it.
        QTest::newRow("renumbered") << QStringList{w.arg("A-9", "A-1")}
                                    << QStringList{"a.pdf=A-9", "b.pdf=B-2", "c.pdf=A-1"};
        QTest::newRow("exchanged") << QStringList{w.arg("X", "A-1"), w.arg("A-1", "B-2"), w.arg("B-2", "X")}
                                   << QStringList{"a.pdf=B-2", "b.pdf=A-1", "c.pdf=A-1"};
        QTest::newRow("another column changed") << QStringList{"UPDATE \"MSys计量器具在用库\" SET 状态 = '禁用'"}
                                                << QStringList{"a.pdf=A-1", "b.pdf=B-2", "c.pdf=A-1"};
    }
    void attachmentsFollowANewNumber()
    {
        QFETCH(QStringList, edits);
        QFETCH(QStringList, owners);
        openLedger();
        QVERIFY(!upgradeLedgerSchema(*db));
        addInUse("A-1");
        addInUse("B-2");
        QTemporaryDir dir;
        for (const auto& [file, number] : {std::pair{"a.pdf", "A-1"}, std::pair{"b.pdf", "B-2"}}) {
            QFile f(dir.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("%PDF-1.4") > 0);
            f.close();
            QVERIFY(!addAttachment(*db, {number, attachmentkind::Instrument}, f.fileName(), "张三"));
        }
        QFile record(dir.filePath("c.pdf"));
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write("%PDF-1.4") > 0);
        record.close();
        QVERIFY(!addAttachment(*db, {"A-1", attachmentkind::Confirmation, recordKey("2026-01-05", "R-1")},
                               record.fileName(), "张三"));
        const QString working = tables::working(tables::InUse);
        QVERIFY(!createTrackedWorkingTable(*db, tables::InUse, working, NumberColumn, QStringLiteral("打开")));
        for (const QString& sql : edits)
            QVERIFY2(db->executeNative(sql).ok(), qPrintable(sql));
        const auto renamed = renumberedInstruments(*db, tables::InUse, working);
        {
            Transaction tx(*db);
            QVERIFY(!commitTrackedWorkingTable(*db, tables::InUse, working));
            QVERIFY(!followRenumbering(*db, renamed));
            QVERIFY(!tx.commit());
        }
        QStringList seen;
        QSqlQuery q(db->connection());
        QVERIFY(q.exec("SELECT 文件名, 计量器具编号 FROM \"MSys附件\" ORDER BY 文件名"));
        while (q.next())
            seen << q.value(0).toString() + '=' + q.value(1).toString();
        QCOMPARE(seen, owners);
    }

    // A stock item keeps its attachments by its ledger row: an instrument
    // issued from it gets copies, and the item's go with its deletion in the
    // same commit, also when the file hands its rowid to an item added then.
    void stockItemAttachments_data()
    {
        QTest::addColumn<QStringList>("edits");      // on the working copy of the stock
        QTest::addColumn<QStringList>("itemsAfter"); // the stock ledger's items in rowid order: "名称=文件…"
        const QString w = QStringLiteral("DELETE FROM \"MSys计量器具待发放库\" WHERE 计量器具名称 = '%1'");
        QTest::newRow("item deleted") << QStringList{w.arg("电压表")} << QStringList{"电流表=a.pdf", "万用表=c.pdf"};
        QTest::newRow("item changed")
            << QStringList{"UPDATE \"MSys计量器具待发放库\" SET 库存数量 = 0 WHERE 计量器具名称 = '电压表'"}
            << QStringList{"电流表=a.pdf", "电压表=b.pdf", "万用表=c.pdf"};
        QTest::newRow("last item deleted, another added")
            << QStringList{w.arg("万用表"), "INSERT INTO \"MSys计量器具待发放库\" (计量器具名称) VALUES ('新表')"}
            << QStringList{"电流表=a.pdf", "电压表=b.pdf", "新表="};
    }
    void stockItemAttachments()
    {
        QFETCH(QStringList, edits);
        QFETCH(QStringList, itemsAfter);
        openLedger();
        QVERIFY(!upgradeLedgerSchema(*db));
        QTemporaryDir dir;
        QHash<QString, qint64> rowOf;
        for (const auto& [name, file] :
             {std::pair{"电流表", "a.pdf"}, std::pair{"电压表", "b.pdf"}, std::pair{"万用表", "c.pdf"}}) {
            QVERIFY(
                db->executeNative(QStringLiteral("INSERT INTO 计量器具待发放库 (计量器具名称, 库存数量) VALUES (?, 2)"),
                                  {QString::fromUtf8(name)})
                    .ok());
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT max(rowid) FROM 计量器具待发放库")) && q.next());
            rowOf.insert(QString::fromUtf8(name), q.value(0).toLongLong());
            QFile f(dir.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("%PDF-1.4") > 0);
            f.close();
            QVERIFY(!addAttachment(*db, stockItemOwner(rowOf.value(QString::fromUtf8(name))), f.fileName(), "张三"));
        }
        // A stock item's files are no instrument's.
        QCOMPARE(attachmentCount(*db, QString()), 0);
        QVERIFY(listAttachments(*db, {QString(), {}}).isEmpty());
        int copied = 0;
        QVERIFY(!copyStockAttachments(*db, rowOf.value("电压表"), "E-1", &copied));
        QCOMPARE(copied, 1);

        const QString working = tables::working(tables::Stock);
        QVERIFY(!createTrackedWorkingTable(*db, tables::Stock, working, QStringLiteral("计量器具名称"),
                                           QStringLiteral("打开")));
        for (const QString& sql : edits)
            QVERIFY2(db->executeNative(sql).ok(), qPrintable(sql));
        const QVector<qint64> removed = removedLedgerRows(*db, working);
        QCOMPARE(removed.size(), int(edits.first().startsWith("DELETE")));
        {
            Transaction tx(*db);
            QVERIFY(!commitTrackedWorkingTable(*db, tables::Stock, working));
            QVERIFY(!removeStockAttachments(*db, removed));
            QVERIFY(!tx.commit());
        }
        QVERIFY(removedLedgerRows(*db, working).isEmpty());
        QStringList seen;
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("SELECT rowid, 计量器具名称 FROM 计量器具待发放库 ORDER BY rowid")));
        while (q.next()) {
            QStringList names;
            for (const Attachment& a : listAttachments(*db, stockItemOwner(q.value(0).toLongLong())))
                names << a.fileName;
            seen << q.value(1).toString() + '=' + names.join(',');
        }
        QCOMPARE(seen, itemsAfter);
        // The issued instrument keeps its copy whatever became of the item.
        const QVector<Attachment> issued = listAttachments(*db, {"E-1", attachmentkind::Instrument});
        QCOMPARE(issued.size(), 1);
        QCOMPARE(issued[0].fileName, QStringLiteral("b.pdf"));
        QCOMPARE(issued[0].addedBy, QStringLiteral("张三"));
        dropCopyBooks(*db, working);
    }

    // The row taken out of the source ledger is the one the working row was
    // copied from, whatever its number became in the window; a row added in
    // the window takes none; a ledger row that is not there refuses the move.
    void moveTakesTheLedgerRowItCameFrom_data()
    {
        QTest::addColumn<QStringList>("workingEdits"); // statements on the working copy
        QTest::addColumn<QString>("number");           // the number in the working copy
        QTest::addColumn<QString>("ledgerNumber");     // "-" for a row in no ledger
        QTest::addColumn<QStringList>("inUseAfter");
        QTest::addColumn<QStringList>("scrappedAfter"); // empty: refused
        const QString w =
            QStringLiteral("UPDATE \"MSys计量器具在用库\" SET 计量器具编号 = '%1' WHERE 计量器具编号 = '%2'");
        QTest::newRow("renumbered") << QStringList{w.arg("K-1a", "K-1")}
                                    << "K-1"
                                       "a"
                                    << "K-1" << QStringList{"K-2"} << QStringList{"K-1a"};
        QTest::newRow("unknown number") << QStringList{} << "K-3"
                                        << "K-3" << QStringList{"K-1", "K-2"} << QStringList{};
        QTest::newRow("ledger row gone") << QStringList{w.arg("K-1a", "K-1")} << "K-1a"
                                         << "K-9" << QStringList{"K-1", "K-2"} << QStringList{};
        QTest::newRow("renumbered to a deleted row's number")
            << QStringList{"DELETE FROM \"MSys计量器具在用库\" WHERE 计量器具编号 = 'K-2'", w.arg("K-2", "K-1")}
            << "K-2"
            << "K-1" << QStringList{"K-2"} << QStringList{"K-2"};
        QTest::newRow("new row") << QStringList{"INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('K-5')"}
                                 << "K-5"
                                 << "-" << QStringList{"K-1", "K-2"} << QStringList{"K-5"};
        QTest::newRow("new row with a renumbered row's old number")
            << QStringList{w.arg("K-1a", "K-1"), "INSERT INTO \"MSys计量器具在用库\" (计量器具编号) VALUES ('K-1')"}
            << "K-1"
            << "-" << QStringList{"K-1", "K-2"} << QStringList{"K-1"};
    }
    void moveTakesTheLedgerRowItCameFrom()
    {
        QFETCH(QStringList, workingEdits);
        QFETCH(QString, number);
        QFETCH(QString, ledgerNumber);
        QFETCH(QStringList, scrappedAfter);
        addInUse(QStringLiteral("K-1"));
        addInUse(QStringLiteral("K-2"));
        makeWorking(tables::InUse);
        for (const QString& edit : workingEdits)
            QVERIFY(db->executeNative(edit).ok());
        const int workingBefore = count(tables::working(tables::InUse));
        const LedgerRow row =
            ledgerNumber == QLatin1String("-") ? LedgerRow::notInLedger() : LedgerRow::numbered(ledgerNumber);
        const DbError e = moveInstrument(*db, Move::InUseToScrapped, number, QDate(2026, 12, 7), row);
        QCOMPARE(e.isError(), scrappedAfter.isEmpty());
        auto numbers = [&](const QString& table) {
            QStringList out;
            QSqlQuery q(db->connection());
            q.exec(QStringLiteral("SELECT 计量器具编号 FROM \"%1\" ORDER BY 计量器具编号").arg(table));
            while (q.next())
                out << q.value(0).toString();
            return out;
        };
        QTEST(numbers(tables::InUse), "inUseAfter");
        QCOMPARE(numbers(tables::Scrapped), scrappedAfter);
        QCOMPARE(count(tables::working(tables::InUse)), workingBefore - (e.isError() ? 0 : 1));
    }

    // A server session that goes away (here ended by a colleague's
    // session, as a restarted server or a cut network would) is noticed by
    // the statement that meets it, told once to the handler, and every
    // later statement fails at once with the same kind; connecting again
    // finds the committed rows and none of the old session's working
    // tables. The file is never lost.
    void lostConnectionAndReconnect()
    {
        addInUse(QStringLiteral("A-1"));
        makeWorking(tables::InUse);
        int told = 0;
        db->setConnectionLostHandler([&] { ++told; });
        QVERIFY(!db->checkConnection());
        if (engine == Engine::Sqlite) {
            QVERIFY(!db->canReconnect());
            QVERIFY(db->reconnect());
            QCOMPARE(told, 0);
            return;
        }
        QVERIFY(db->canReconnect());
        Database colleague;
        QVERIFY2(test::openSecondSession(*db, colleague).isEmpty(), "second session");
        QSqlQuery pid(db->connection());
        QVERIFY(pid.exec(QStringLiteral("SELECT pg_backend_pid()")) && pid.next());
        QVERIFY(colleague.executeNative(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid.value(0)}).ok());
        pid.finish();
        QElapsedTimer waited;
        waited.start();
        const DbResult first = db->execute(QStringLiteral("select count(*) from 计量器具在用库"));
        QCOMPARE(first.error.kind, DbError::Kind::LostConnection);
        QVERIFY(db->connectionLost());
        const DbError again = db->checkConnection();
        QCOMPARE(again.kind, DbError::Kind::LostConnection);
        QCOMPARE(db->executeNative(QStringLiteral("SELECT 1")).error.kind, DbError::Kind::LostConnection);
        QCOMPARE(told, 1);
        QVERIFY(waited.elapsed() < 5000);

        const DbError e = db->reconnect();
        QVERIFY2(!e, qPrintable(e.text()));
        QVERIFY(!db->connectionLost());
        QVERIFY(!db->checkConnection());
        QCOMPARE(count(tables::InUse), 1);
        QVERIFY(!db->tableExists(tables::working(tables::InUse)));
        // A second loss is told again.
        QSqlQuery pid2(db->connection());
        QVERIFY(pid2.exec(QStringLiteral("SELECT pg_backend_pid()")) && pid2.next());
        QVERIFY(colleague.executeNative(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid2.value(0)}).ok());
        pid2.finish();
        QCOMPARE(db->checkConnection().kind, DbError::Kind::LostConnection);
        QCOMPARE(told, 2);
    }

    void injectionInNumberTouchesNoOtherRow()
    {
        addInUse(QStringLiteral("N-1"));
        addInUse(QStringLiteral("N-2"));
        makeWorking(tables::InUse);
        const DbError e =
            moveInstrument(*db, Move::InUseToSealed, QStringLiteral("x\" or \"1\"=\"1"), QDate(2026, 12, 7));
        QVERIFY(e.isError());
        QCOMPARE(count(tables::InUse), 2);
        QCOMPARE(count(tables::Sealed), 0);
    }
};

// What only the ledger file has: a file to open, and rows another program
// wrote against the rules (a server never lets them in).
QString good()
{
    return QStringLiteral("host=db.lab port=5432 dbname=ravo user=张三");
}

class LedgerFileTest : public LedgerFixture {
    Q_OBJECT
public:
    LedgerFileTest() : LedgerFixture(Engine::Sqlite) { }

private slots:
    void init() { openLedger(); }
    void cleanup() { closeLedger(); }

    // The connection text of a server ledger: read, refused with its
    // reason, and written back the same.
    void serverAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written"); // empty: refused
        QTest::addColumn<QString>("reason");  // a word of the refusal
        QTest::newRow("all parts") << "host=db.lab port=5433 dbname=ravo user=张三"
                                   << "host=db.lab port=5433 dbname=ravo user=张三" << QString();
        QTest::newRow("default port, any order, extra blanks") << "  user=u   dbname=d host=/run/pg "
                                                               << "host=/run/pg port=5432 dbname=d user=u" << QString();
        QTest::newRow("quoted value with blank and quote")
            << R"(host='/tmp/a b' dbname='it\'s' user=u)"
            << R"(host='/tmp/a b' port=5432 dbname='it\'s' user=u)" << QString();
        QTest::newRow("further option kept") << "host=h dbname=d user=u sslmode=require"
                                             << "host=h port=5432 dbname=d user=u sslmode=require" << QString();
        QTest::newRow("no host") << "dbname=d user=u" << QString() << "host";
        QTest::newRow("no user") << "host=h dbname=d" << QString() << "user";
        QTest::newRow("password never in the text") << "host=h dbname=d user=u password=x" << QString() << "密码";
        QTest::newRow("port out of range") << "host=h port=70000 dbname=d user=u" << QString() << "端口";
        QTest::newRow("unclosed quote") << "host=h dbname='d user=u" << QString() << "单引号";
        QTest::newRow("word without value") << "host=h dbname=d user=u sslmode" << QString() << "=";
    }
    void serverAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QFETCH(QString, reason);
        QString why;
        const auto address = ServerAddress::parse(text, &why);
        QCOMPARE(address.has_value(), !written.isEmpty());
        if (!address) {
            QVERIFY2(why.contains(reason), qPrintable(why));
            return;
        }
        QCOMPARE(address->toString(), written);
        QCOMPARE(ServerAddress::parse(written)->toString(), written);
    }

    // Which ledger a start works on: --server first, else the settings'
    // choice; the file when nothing (or anything but "Server") is chosen.
    void ledgerChoice_data()
    {
        QTest::addColumn<QString>("engine");   // settings "Database"/"Engine"; "-" for none
        QTest::addColumn<QString>("server");   // settings "Database"/"Server"
        QTest::addColumn<QString>("line");     // --server text; "-" when not given
        QTest::addColumn<QString>("expected"); // the server's address, "file", or a word of the refusal
        const QString good = QStringLiteral("host=db.lab port=5432 dbname=ravo user=张三");
        QTest::newRow("nothing chosen: the file") << "-" << QString() << "-"
                                                  << "file";
        QTest::newRow("file chosen, server remembered") << "File" << good << "-"
                                                        << "file";
        QTest::newRow("server chosen") << "Server" << good << "-" << good;
        QTest::newRow("chosen in any case") << "server" << good << "-" << good;
        QTest::newRow("mistyped engine: the file") << "Sever" << good << "-"
                                                   << "file";
        QTest::newRow("server chosen, text broken") << "Server"
                                                    << "host=db.lab user=u"
                                                    << "-"
                                                    << "设置中保存";
        QTest::newRow("command line over the file") << "File" << QString() << "host=h port=6000 dbname=d user=u"
                                                    << "host=h port=6000 dbname=d user=u";
        QTest::newRow("command line over another server") << "Server" << good << "host=h dbname=d user=u"
                                                          << "host=h port=5432 dbname=d user=u";
        QTest::newRow("command line broken") << "Server" << good << "host=h dbname=d"
                                             << "--server";
        QTest::newRow("command line without its text") << "-" << QString() << ""
                                                       << "--server";
    }
    void ledgerChoice()
    {
        QFETCH(QString, engine);
        QFETCH(QString, server);
        QFETCH(QString, line);
        QFETCH(QString, expected);
        SettingsStore store;
        store.removeSection(SettingsStore::MainApp, QStringLiteral("Database"));
        if (engine != QLatin1String("-"))
            store.save(SettingsStore::MainApp, QStringLiteral("Database"), QStringLiteral("Engine"), engine);
        store.save(SettingsStore::MainApp, QStringLiteral("Database"), QStringLiteral("Server"), server);
        QString problem;
        const std::optional<ServerAddress> a =
            startupServer(store, line == QLatin1String("-") ? QString() : line, line != QLatin1String("-"), &problem);
        if (expected == QLatin1String("file")) {
            QVERIFY(!a);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        } else if (expected.contains(QLatin1Char('='))) {
            QVERIFY2(a, qPrintable(problem));
            QCOMPARE(a->toString(), expected);
        } else {
            QVERIFY(!a);
            QVERIFY2(problem.contains(expected), qPrintable(problem));
        }
        // What is saved reads back the same, the file choice keeping the
        // server for next time.
        saveLedgerChoice(store, {false, good()});
        QCOMPARE(readLedgerChoice(store).server, false);
        QCOMPARE(readLedgerChoice(store).serverText, good());
        saveLedgerChoice(store, {true, good()});
        QCOMPARE(readLedgerChoice(store).server, true);
    }

    // Rows another program wrote against the rules still make a working
    // copy, and each broken value is found with its row and column.
    void ruleBreaches_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::newRow("no 30 February") << tables::InUse << "有效日期"
                                        << "2027-02-30";
        QTest::newRow("date typed by hand") << tables::Sealed << "封存日期"
                                            << "2003/3/28";
        QTest::newRow("stock count not a number") << tables::Stock << "库存数量"
                                                  << "十";
        QTest::newRow("time out of range") << tables::Environment << "时间"
                                           << "25:00:00";
    }
    void ruleBreaches()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, value);
        const bool numbered = db->columns(table).contains(NumberColumn);
        QVERIFY(db->executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 1")).ok());
        for (int i = 1; i <= 3; ++i) {
            const QString cols = numbered ? QStringLiteral("计量器具编号, \"%1\"") : QStringLiteral("\"%1\"");
            const QString vals = numbered ? QStringLiteral("?, ?") : QStringLiteral("?");
            QVariantList binds;
            if (numbered)
                binds << QStringLiteral("B-%1").arg(i);
            binds << (i == 2 ? QVariant() : QVariant(value)); // the second row is sound
            QVERIFY(
                db->executeNative(
                      QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(table, cols.arg(column), vals), binds)
                    .ok());
        }
        QVERIFY(db->executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 0")).ok());
        const QString working = tables::working(table);
        const DbError e =
            createWorkingTable(*db, working, QStringLiteral("select * into %1 from %2;").arg(working, table));
        QVERIFY2(!e, qPrintable(e.text()));
        QCOMPARE(count(working), 3);
        const QVector<RuleBreach> found = ravo::ruleBreaches(*db, working);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].column, column);
        QCOMPARE(found[0].value, value);
        QCOMPARE(found[0].number, numbered ? QStringLiteral("B-1") : QString());
        QCOMPARE(found[1].number, numbered ? QStringLiteral("B-3") : QString());
        QCOMPARE(ravo::ruleBreaches(*db, working, 1).size(), 1);
        // The rules hold again for everything written afterwards.
        QVERIFY(!db->executeNative(QStringLiteral("UPDATE \"%1\" SET \"%2\" = ?").arg(working, column), {value}).ok());
    }

    void classification()
    {
        const auto& classes = instrumentClasses();
        QCOMPARE(classes.size(), 10);
        QList<int> counts;
        for (const auto& c : classes)
            counts << int(c.kinds.size());
        QCOMPARE(counts, (QList<int>{6, 5, 12, 7, 10, 17, 6, 3, 4, 2}));
        QCOMPARE(classes.at(5).name, QStringLiteral("无线电R"));
        QCOMPARE(classes.at(5).kinds.mid(0, 2), (QStringList{"电压仪器U", "功率、能量仪器P"}));
        QVERIFY(classes.at(5).kinds.contains(QStringLiteral("相位（差）仪器Ψ")));
    }
};

// What only a server ledger does: tell the other sessions that a ledger
// table changed.
class LedgerServerTest : public LedgerFixture {
    Q_OBJECT
public:
    LedgerServerTest() : LedgerFixture(Engine::Postgres) { }

private slots:
    void init() { openLedger(); }
    void cleanup() { closeLedger(); }

    // Each statement that changes a ledger table sends one notice naming
    // the table to every listening session, once the change is committed;
    // a working copy's changes send none.
    void colleaguesAreToldOfChanges_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("an update of two rows: once")
            << QStringList{"UPDATE 计量器具在用库 SET 备注 = 'x'"} << QStringList{"计量器具在用库"};
        QTest::newRow("two tables") << QStringList{"DELETE FROM 计量器具封存库",
                                                   "INSERT INTO 计量器具待发放库 (计量器具名称) VALUES ('表')"}
                                    << QStringList{"计量器具封存库", "计量器具待发放库"};
        QTest::newRow("a working copy: none")
            << QStringList{"CREATE TEMP TABLE \"MSys计量器具在用库\" AS SELECT * FROM 计量器具在用库",
                           "UPDATE \"MSys计量器具在用库\" SET 备注 = 'x'"}
            << QStringList{};
        QTest::newRow("rolled back: none")
            << QStringList{"BEGIN", "UPDATE 计量器具在用库 SET 备注 = 'x'", "ROLLBACK"} << QStringList{};
    }
    void colleaguesAreToldOfChanges()
    {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, told);
        addInUse(QStringLiteral("A-1"));
        addInUse(QStringLiteral("B-2"));
        Database colleague;
        QCOMPARE(test::openSecondSession(*db, colleague), QString());
        QSqlDriver* driver = colleague.connection().driver();
        QVERIFY(driver->subscribeToNotification(QStringLiteral("ravo_changed")));
        QStringList heard;
        connect(driver, &QSqlDriver::notification, this,
                [&](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                    QCOMPARE(name, QStringLiteral("ravo_changed"));
                    QCOMPARE(source, QSqlDriver::OtherSource);
                    heard << payload.toString();
                });
        for (const QString& sql : statements)
            QVERIFY2(db->executeNative(sql).ok(), qPrintable(sql));
        // A query of the colleague's lets the driver read what arrived.
        QElapsedTimer clock;
        clock.start();
        while (heard.size() < told.size() && clock.elapsed() < 5000) {
            QSqlQuery(colleague.connection()).exec(QStringLiteral("SELECT 1"));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        QTest::qWait(200);
        QCoreApplication::processEvents();
        QCOMPARE(heard, told);
    }

    // The rows' versions: 1 when written, one more at each change, with who
    // and when, whatever a client writes into them; never shown.
    void rowsKeepTheirVersions()
    {
        addInUse(QStringLiteral("A-1"));
        QVERIFY(db->executeNative(QStringLiteral("UPDATE 计量器具在用库 SET 备注 = 'x', ravo_version = 100, "
                                                 "ravo_changed_by = 'someone'"))
                    .ok());
        QVERIFY(db->executeNative(QStringLiteral("UPDATE 计量器具在用库 SET 备注 = 'y'")).ok());
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("SELECT ravo_version, ravo_changed_by, ravo_changed_at > now() - interval '1 "
                                      "minute' FROM 计量器具在用库")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
        QCOMPARE(q.value(1).toString(), QStringLiteral("ravo"));
        QVERIFY(q.value(2).toBool());
        for (const QString& c : db->columns(tables::InUse))
            QVERIFY(!c.startsWith(QLatin1String("ravo_")));
        QVERIFY(!db->createSql(tables::InUse).contains(QLatin1String("ravo_version")));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LedgerTest file(Engine::Sqlite);
    LedgerTest server(Engine::Postgres);
    LedgerFileTest fileOnly;
    LedgerServerTest serverOnly;
    int failures = QTest::qExec(&file, argc, argv);
    failures += QTest::qExec(&server, argc, argv);
    failures += QTest::qExec(&fileOnly, argc, argv);
    failures += QTest::qExec(&serverOnly, argc, argv);
    return failures;
}
#include "tst_ledger.moc"
