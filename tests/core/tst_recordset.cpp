// The recordset the editors and grids walk: movement at the ends, the
// position after deletes and adds, typed values and find; on the ledger file
// and on a ledger on a PostgreSQL server.
#include "TestSupport.h"
#include "core/Recordset.h"
#include "core/RecordsetModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

using namespace ravo;

class RecordsetTest : public QObject {
    Q_OBJECT
public:
    explicit RecordsetTest(Engine engine) : engine(engine) { }

private:
    const Engine engine;
    std::unique_ptr<test::Sandbox> box;
    std::unique_ptr<Database> db;

    void fill(int n)
    {
        Transaction tx(*db);
        for (int i = 1; i <= n; ++i)
            QVERIFY(db->executeNative(
                          QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称) VALUES (?, ?)"),
                          {QStringLiteral("N-%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("表%1").arg(i)})
                        .ok());
        QVERIFY(!tx.commit());
    }
    QString number(const Recordset& rs) { return rs.value(QStringLiteral("计量器具编号")).toString(); }

private slots:
    void initTestCase()
    {
        qInfo("%s", engine == Engine::Postgres ? "engine: PostgreSQL server" : "engine: SQLite ledger file");
    }
    void init()
    {
        db = std::make_unique<Database>();
        const QString failure = test::openFreshLedger(engine, *db, box);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    void cleanup()
    {
        db.reset();
        box.reset();
    }

    void emptyTable()
    {
        Recordset rs(*db);
        QVERIFY(!rs.setRecordSource(QStringLiteral("select * from 计量器具在用库;")));
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.isBOF() && rs.isEOF());
        QCOMPARE(rs.absolutePosition(), -1);
        rs.moveNext();
        rs.movePrevious();
        QCOMPARE(rs.absolutePosition(), -1);
        QVERIFY(rs.deleteCurrent().isError());
    }

    void walking()
    {
        fill(3);
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.absolutePosition(), 0);
        rs.moveLast();
        QCOMPARE(number(rs), QStringLiteral("N-003"));
        rs.moveNext();
        QVERIFY(rs.isEOF());
        QVERIFY(!rs.hasCurrent());
        rs.movePrevious();
        QCOMPARE(rs.absolutePosition(), 2);
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.isBOF());
        rs.setAbsolutePosition(1);
        QCOMPARE(number(rs), QStringLiteral("N-002"));
    }

    // The row that follows a deleted one, whether the recordset deleted it
    // (then moves next, and last past the end, as the editors do) or a move
    // between ledgers took it behind its back.
    void rowAfterRemoval_data()
    {
        QTest::addColumn<bool>("behindItsBack");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("after");
        for (bool behind : {false, true}) {
            const char* how = behind ? "taken: " : "deleted: ";
            QTest::addRow("%sfirst", how) << behind << 0 << QStringLiteral("N-002");
            QTest::addRow("%smiddle", how) << behind << 1 << QStringLiteral("N-003");
            QTest::addRow("%slast", how) << behind << 2 << QStringLiteral("N-002");
        }
    }
    void rowAfterRemoval()
    {
        QFETCH(bool, behindItsBack);
        QFETCH(int, at);
        QFETCH(QString, after);
        fill(3);
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        rs.setAbsolutePosition(at);
        if (behindItsBack) {
            const qint64 id = rs.currentRowid();
            // Still there: the list is read again and nothing is lost.
            rs.forgetRow(id);
            QCOMPARE(rs.recordCount(), 3);
            QVERIFY(db->executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid = ?"), {id}).ok());
            rs.forgetRow(id);
        } else {
            QVERIFY(!rs.deleteCurrent());
            rs.moveNext();
            if (rs.isEOF())
                rs.moveLast();
        }
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(number(rs), after);
    }

    // A table filled in one go is known by its first id and count, any
    // other by the list of its ids; walking, finding by id, adding and
    // deleting read the same either way.
    void rowIdsWithAndWithoutGaps_data()
    {
        QTest::addColumn<QList<qint64>>("gone");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("no gaps") << QList<qint64>{} << QStringList{"N-001", "N-002", "N-003", "N-004", "N-005"};
        QTest::newRow("first rows gone") << QList<qint64>{1, 2} << QStringList{"N-003", "N-004", "N-005"};
        QTest::newRow("last row gone") << QList<qint64>{5} << QStringList{"N-001", "N-002", "N-003", "N-004"};
        QTest::newRow("gaps inside") << QList<qint64>{2, 4} << QStringList{"N-001", "N-003", "N-005"};
    }
    void rowIdsWithAndWithoutGaps()
    {
        QFETCH(QList<qint64>, gone);
        QFETCH(QStringList, numbers);
        fill(5);
        for (qint64 id : gone)
            QVERIFY(db->executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid = ?"), {id}).ok());
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        QCOMPARE(rs.recordCount(), numbers.size());
        for (int i = 0; i < numbers.size(); ++i) {
            rs.setAbsolutePosition(i);
            QCOMPARE(number(rs), numbers.at(i));
            QCOMPARE(rs.positionOf(rs.currentRowid()), i);
        }
        for (qint64 id : gone + QList<qint64>{0, 6, 99}) {
            QCOMPARE(rs.positionOf(id), -1);
            QVERIFY(!rs.moveToRowid(id));
        }
        rs.addNew();
        rs.setValue(QStringLiteral("计量器具编号"), QStringLiteral("Z-9"));
        QVERIFY(!rs.update());
        QCOMPARE(rs.absolutePosition(), int(numbers.size()));
        rs.setAbsolutePosition(1);
        QVERIFY(!rs.deleteCurrent());
        rs.moveNext();
        QCOMPARE(number(rs), numbers.value(2, QStringLiteral("Z-9")));

        // What the recordset holds is what a fresh reading finds.
        Recordset fresh(*db);
        QVERIFY(!fresh.openTable(QStringLiteral("计量器具在用库")));
        QCOMPARE(rs.recordCount(), fresh.recordCount());
        for (int i = 0; i < fresh.recordCount(); ++i)
            QCOMPARE(rs.rowidAt(i), fresh.rowidAt(i));
    }

    // A table just made by "select … into" opens from its highest id alone,
    // with the same rows as a counted opening.
    void filledTableOpensLikeCounted_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("rows");
        QTest::newRow("every row") << QString() << 7;
        QTest::newRow("some rows") << QStringLiteral(" where 计量器具编号 > \"N-004\"") << 4;
        QTest::newRow("no row") << QStringLiteral(" where 计量器具编号 = \"无\"") << 0;
    }
    void filledTableOpensLikeCounted()
    {
        QFETCH(QString, where);
        QFETCH(int, rows);
        fill(8);
        // The source has a gap; the copy's ids run from 1 all the same.
        QVERIFY(db->executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid = 2")).ok());
        QVERIFY(db->execute(QStringLiteral("select * into MSys检索临时表 from 计量器具在用库") + where).ok());
        Recordset filled(*db), counted(*db);
        QVERIFY(!filled.openFilledTable(QStringLiteral("MSys检索临时表")));
        QVERIFY(!counted.openTable(QStringLiteral("MSys检索临时表")));
        QCOMPARE(filled.recordCount(), rows);
        QCOMPARE(counted.recordCount(), rows);
        for (int i = 0; i < rows; ++i)
            QCOMPARE(filled.rowAt(i), counted.rowAt(i));
        QCOMPARE(filled.absolutePosition(), rows ? 0 : -1);
    }

    // The order a grid sorts by is the one "ORDER BY field, rowid" gives,
    // whether worked out in memory (no value, whole numbers, text under the
    // binary or case-insensitive collation) or asked of the database (real
    // numbers).
    void sortedLikeTheDatabase_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        for (bool down : {false, true}) {
            const char* way = down ? "descending" : "ascending";
            QTest::addRow("numbers and binary text, %s", way) << QStringLiteral("v") << down;
            QTest::addRow("case-insensitive text, %s", way) << QStringLiteral("w") << down;
            QTest::addRow("real numbers, %s", way) << QStringLiteral("r") << down;
        }
    }
    void sortedLikeTheDatabase()
    {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        // Sorting in memory reads the file's values through the engine's
        // own interface; a server ledger always leaves the order to the
        // server, and has no untyped columns to mix numbers and text in.
        if (engine == Engine::Postgres)
            QSKIP("the ledger file's own path");
        QVERIFY(db->executeNative(QStringLiteral("CREATE TABLE 排序 (v, w TEXT COLLATE NOCASE, r REAL)")).ok());
        const QList<QVariantList> rows = {
            {3, "b", 1.5},  {"b", "B", QVariant()}, {QVariant(), "a", 2}, {"B", QVariant(), -1.25},
            {10, "A", 1.5}, {"a", "ab", 0},         {"b", "Ab", 7.5},     {"", "", QVariant()},
            {3, "b", 1e10}, {"ä", "Ä", -3},         {"a ", "a", 2},       {-7, "B", 0.5},
        };
        for (const QVariantList& row : rows)
            QVERIFY(db->executeNative(QStringLiteral("INSERT INTO 排序 VALUES (?, ?, ?)"), row).ok());
        QVERIFY(db->executeNative(QStringLiteral("DELETE FROM 排序 WHERE rowid = 6")).ok()); // ids with a gap
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("排序")));
        const std::optional<QVector<int>> sorted =
            rs.sortedPositions(field, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QVERIFY(sorted);
        QVector<int> expected;
        QSqlQuery q(db->connection());
        const QString way = descending ? QStringLiteral("DESC") : QStringLiteral("ASC");
        QVERIFY(q.exec(QStringLiteral("SELECT rowid FROM 排序 ORDER BY %1 %2, rowid %2").arg(field, way)));
        while (q.next())
            expected << rs.positionOf(q.value(0).toLongLong());
        QCOMPARE(*sorted, expected);
        QVERIFY(!rs.sortedPositions(QStringLiteral("无此列"), Qt::AscendingOrder));
    }

    void addAndEdit()
    {
        fill(2);
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        rs.addNew();
        QCOMPARE(rs.absolutePosition(), -1);
        rs.setValue(QStringLiteral("计量器具编号"), QStringLiteral("Z-1"));
        rs.setValue(QStringLiteral("检定日期"), QStringLiteral("2024/2/29"));
        rs.setValue(QStringLiteral("备注"), QString());
        QVERIFY(!rs.update());
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.absolutePosition(), 2);
        QCOMPARE(rs.value(QStringLiteral("检定日期")).toString(), QStringLiteral("2024-02-29"));
        QVERIFY(rs.value(QStringLiteral("备注")).isNull());
        QCOMPARE(rs.lastModified(), rs.currentRowid());

        rs.moveFirst();
        rs.setValue(QStringLiteral("计量器具名称"), QStringLiteral("新名称"));
        QVERIFY(!rs.update());
        Recordset again(*db);
        QVERIFY(!again.openTable(QStringLiteral("计量器具在用库")));
        QCOMPARE(again.value(QStringLiteral("计量器具名称")).toString(), QStringLiteral("新名称"));
    }

    void refusedValuesStayPending_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("not a date") << QStringLiteral("检定日期") << QStringLiteral("明天");
        QTest::newRow("30 February") << QStringLiteral("有效日期") << QStringLiteral("2026-2-30");
        QTest::newRow("duplicate number") << QStringLiteral("计量器具编号") << QStringLiteral("n-001");
    }
    void refusedValuesStayPending()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        fill(2);
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        rs.moveLast();
        rs.setValue(field, typed);
        const DbError e = rs.update();
        QVERIFY(e.isError());
        QVERIFY(!e.description.isEmpty());
        QCOMPARE(rs.value(field).toString(), typed); // what was typed is not lost
        QVERIFY(rs.isDirty());
    }

    void findFirst()
    {
        fill(50);
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        QVERIFY(rs.findFirst(QStringLiteral("计量器具编号"), QStringLiteral("n-040")));
        QCOMPARE(rs.absolutePosition(), 39);
        QVERIFY(!rs.findFirst(QStringLiteral("计量器具编号"), QStringLiteral("N-999")));
        QCOMPARE(rs.absolutePosition(), 39);
        QVERIFY(!rs.findFirst(QStringLiteral("计量器具编号"), QStringLiteral("\" or 1=1 or \"")));
    }

    void modelShowsEveryRow()
    {
        fill(700); // more than one block of rows
        Recordset rs(*db);
        QVERIFY(!rs.openTable(QStringLiteral("计量器具在用库")));
        RecordsetModel model(rs);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 700);
        QCOMPARE(model.columnCount(), 29);
        QCOMPARE(model.index(699, 0).data().toString(), QStringLiteral("N-700"));
        QCOMPARE(model.index(256, 3).data().toString(), QStringLiteral("表257"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("计量器具编号"));
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(db->executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid > 100")).ok());
        QVERIFY(!rs.refresh());
        QCOMPARE(model.rowCount(), 100);
        QVERIFY(reset.count() >= 1);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RecordsetTest file(Engine::Sqlite);
    RecordsetTest server(Engine::Postgres);
    return QTest::qExec(&file, argc, argv) + QTest::qExec(&server, argc, argv);
}
#include "tst_recordset.moc"
