// Reading the change history, on the ledger file and on a server ledger: an
// instrument's history followed through its number corrections without the
// rows of other instruments that held the same number, the log narrowed by
// each filter, read a page at a time, and a ledger without a history.
#include "TestSupport.h"
#include "core/History.h"
#include "core/HistoryLog.h"
#include "core/Ledger.h"
#include "core/LedgerSchema.h"

#include <QtTest>

using namespace ravo;

namespace {

// One history row, written compactly for the tables below:
// "ID|时间|账户|数据表|计量器具编号|事件|字段|原值|新值"; the time may be
// given as a day and hour ("2026-03-01 09").
using Rows = QStringList;

const QString InUse = QStringLiteral("计量器具在用库");

} // namespace

class HistoryLogTest : public QObject {
    Q_OBJECT
public:
    explicit HistoryLogTest(Engine engine) : engine(engine) { }

private:
    const Engine engine;
    std::unique_ptr<test::Sandbox> box;
    std::unique_ptr<Database> db;

    void insertRows(const Rows& rows)
    {
        for (const QString& text : rows) {
            QStringList v = text.split(QLatin1Char('|'));
            QVERIFY2(v.size() == 9, qPrintable(text));
            if (v[1].size() == 13)
                v[1] += QStringLiteral(":00:00");
            QVariantList binds{v[0].toLongLong()};
            for (int i = 1; i < 9; ++i)
                binds << (v[i].isEmpty() ? QVariant() : QVariant(v[i]));
            const DbResult r = db->executeNative(
                QStringLiteral(
                    "INSERT INTO \"MSys履历\" (\"ID\", 时间, 账户, 数据表, 计量器具编号, 事件, 字段, 原值, 新值) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                binds);
            QVERIFY2(r.ok(), qPrintable(r.error.text()));
        }
    }
    static QList<qint64> idsOf(const QVector<HistoryEntry>& entries)
    {
        QList<qint64> ids;
        for (const HistoryEntry& e : entries)
            ids << e.id;
        return ids;
    }

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
        QVERIFY(!upgradeLedgerSchema(*db));
        QVERIFY(keepsHistory(*db));
    }
    void cleanup()
    {
        db.reset();
        box.reset();
    }

    // Whose rows an instrument's history takes: its own under each number it
    // had, newest first; never those of another instrument that held one of
    // its numbers before or after it.
    void instrumentHistory_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QList<qint64>>("ids");

        const Rows renumbered{
            "1|2026-01-01 08|张三|" + InUse + "|A|添加|||",
            "2|2026-01-02 08|张三|" + InUse + "|A|修改|使用部门|一车间|二车间",
            "3|2026-01-03 08|李四|" + InUse + "|B|修改|计量器具编号|A|B",
            "4|2026-01-04 08|李四|" + InUse + "|A|添加|||", // another instrument takes A
            "5|2026-01-05 08|张三|" + InUse + "|B|修改|状态|合格|准用",
            "6|2026-01-06 08|张三|" + InUse + "|A|修改|状态|合格|禁用",
        };
        QTest::newRow("A→B, A used again later: B") << renumbered << "B" << QList<qint64>{5, 3, 2, 1};
        QTest::newRow("A→B, A used again later: the new A") << renumbered << "A" << QList<qint64>{6, 4};
        QTest::newRow("numbers compare without regard to case") << renumbered << "b" << QList<qint64>{5, 3, 2, 1};
        QTest::newRow("a number no row names") << renumbered << "Z" << QList<qint64>{};

        QTest::newRow("chain A→B→C, an earlier holder of B not mixed in")
            << Rows{"1|2026-01-01 08|张三|" + InUse + "|B|添加|||",
                    "2|2026-01-02 08|张三|" + InUse + "|X|修改|计量器具编号|B|X", // B given up
                    "3|2026-01-03 08|张三|" + InUse + "|A|添加|||",
                    "4|2026-01-04 08|张三|" + InUse + "|B|修改|计量器具编号|A|B",
                    "5|2026-01-05 08|张三|" + InUse + "|C|修改|计量器具编号|B|C",
                    "6|2026-01-06 08|张三|计量器具封存库|C|封存||计量器具在用库|计量器具封存库"}
            << "C" << QList<qint64>{6, 5, 4, 3};
        QTest::newRow("the other values of the correction's commit, written before it")
            << Rows{"1|2026-01-01 08|张三|" + InUse + "|A|添加|||",
                    "2|2026-01-02 08|张三|" + InUse + "|B|修改|备注||新铭牌",
                    "3|2026-01-02 08|张三|" + InUse + "|B|修改|计量器具编号|A|B",
                    "4|2026-01-02 08|张三|计量器具封存库|B|封存||" + InUse + "|计量器具封存库"}
            << "B" << QList<qint64>{4, 3, 2, 1};
        QTest::newRow("an edit, then a renumbering, in the same second")
            << Rows{"1|2026-01-02 08:00:00|张三|" + InUse + "|A|修改|使用部门|一车间|二车间",
                    "2|2026-01-02 08:00:00|张三|" + InUse + "|B|修改|计量器具编号|A|B",
                    "3|2026-01-02 08:00:00|张三|" + InUse + "|B|修改|规格型号|0-25|0-50"}
            << "B" << QList<qint64>{3, 2, 1};
        QTest::newRow("back to an earlier number: A→B→A")
            << Rows{"1|2026-01-01 08|张三|" + InUse + "|A|添加|||",
                    "2|2026-01-02 08|张三|" + InUse + "|B|修改|计量器具编号|A|B",
                    "3|2026-01-03 08|张三|" + InUse + "|B|修改|备注||新铭牌",
                    "4|2026-01-04 08|张三|" + InUse + "|A|修改|计量器具编号|B|A"}
            << "A" << QList<qint64>{4, 3, 2, 1};
        const Rows exchanged{
            "1|2026-01-01 08|张三|" + InUse + "|A|添加|||", "2|2026-01-01 09|张三|" + InUse + "|B|添加|||",
            "3|2026-02-01 10|张三|" + InUse + "|B|修改|计量器具编号|A|B", // one commit:
            "4|2026-02-01 10|张三|" + InUse + "|A|修改|计量器具编号|B|A", // the two exchange
        };
        QTest::newRow("numbers exchanged in one commit: now B") << exchanged << "B" << QList<qint64>{3, 1};
        QTest::newRow("numbers exchanged in one commit: now A") << exchanged << "A" << QList<qint64>{4, 2};
        const Rows deleted{
            "1|2026-01-01 08|张三|" + InUse + "|D|添加|||",
            "2|2026-01-02 08|张三|" + InUse + "|D|删除|||",
            "3|2026-01-03 08|张三|" + InUse + "|D|添加|||",
            "4|2026-01-04 08|张三|" + InUse + "|D|修改|名称|甲|乙",
        };
        QTest::newRow("a deleted earlier holder not mixed in") << deleted << "D" << QList<qint64>{4, 3};
        QTest::newRow("written off: its own rows up to the write-off")
            << Rows{"1|2026-01-01 08|张三|" + InUse + "|W|添加|||",
                    "2|2026-01-02 08|张三|计量器具报废库|W|报废||计量器具在用库|计量器具报废库",
                    "3|2026-01-03 08|张三|计量器具报废库|W|注销|||"}
            << "W" << QList<qint64>{3, 2, 1};
    }
    void instrumentHistory()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, number);
        insertRows(rows);
        const QVector<HistoryEntry> found = ravo::instrumentHistory(*db, number);
        QTEST(idsOf(found), "ids");
        if (!found.isEmpty()) {
            QVERIFY(found.first().time.startsWith(QStringLiteral("2026-")));
            QVERIFY(!found.first().event.isEmpty());
        }
    }

    // Each filter narrows the log to its rows, newest first; the count
    // agrees with the rows.
    void filters_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QList<qint64>>("ids");
        const QDate none;
        QTest::newRow("no filter: all, newest first") << none << none << ""
                                                      << ""
                                                      << "" << QList<qint64>{6, 5, 4, 3, 2, 1};
        QTest::newRow("from a day on, the day included") << QDate(2026, 3, 2) << none << ""
                                                         << ""
                                                         << "" << QList<qint64>{6, 5, 4, 3};
        QTest::newRow("up to a day, its last second included") << none << QDate(2026, 3, 2) << ""
                                                               << ""
                                                               << "" << QList<qint64>{4, 3, 2, 1};
        QTest::newRow("one day") << QDate(2026, 3, 2) << QDate(2026, 3, 2) << ""
                                 << ""
                                 << "" << QList<qint64>{4, 3};
        QTest::newRow("account, without regard to case") << none << none << "zhang"
                                                         << ""
                                                         << "" << QList<qint64>{5, 3, 1};
        QTest::newRow("table") << none << none << ""
                               << "计量器具封存库"
                               << "" << QList<qint64>{6, 4};
        QTest::newRow("instrument, exact and without regard to case") << none << none << ""
                                                                      << ""
                                                                      << "a-1" << QList<qint64>{4, 1};
        QTest::newRow("all at once") << QDate(2026, 3, 1) << QDate(2026, 3, 3) << "Zhang" << InUse << "A-10"
                                     << QList<qint64>{3};
        QTest::newRow("nothing matches") << QDate(2027, 1, 1) << none << ""
                                         << ""
                                         << "" << QList<qint64>{};
    }
    void filters()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, account);
        QFETCH(QString, table);
        QFETCH(QString, number);
        insertRows({
            "1|2026-03-01 23:59:59|Zhang|" + InUse + "|A-1|添加|||",
            "2|2026-03-01 12|li|" + InUse + "|A-10|添加|||",
            "3|2026-03-02 00:00:00|ZHANG|" + InUse + "|A-10|修改|状态|合格|准用",
            "4|2026-03-02 23:59:59|li|计量器具封存库|A-1|封存||计量器具在用库|计量器具封存库",
            "5|2026-03-03 00:00:00|zhang|计量器具修理记录库|A-10|添加|||",
            "6|2026-03-04 10|li|计量器具封存库|B-1|封存||计量器具在用库|计量器具封存库",
        });
        const HistoryFilter f{from, to, account, table, number};
        DbError e;
        const QVector<HistoryEntry> rows = readHistory(*db, f, 0, 0, &e);
        QVERIFY2(!e, qPrintable(e.text()));
        QTEST(idsOf(rows), "ids");
        QCOMPARE(countHistory(*db, f, &e), qint64(rows.size()));
        QVERIFY(!e);
    }

    // A long log read a page at a time below the last ID read gives every
    // row once, in order; the accounts list each account once.
    void pagesAndAccounts()
    {
        QStringList rows;
        for (int i = 1; i <= 600; ++i)
            rows << QStringLiteral("%1|2026-05-01 10|%2|%3|N-%4|修改|备注||%1")
                        .arg(i)
                        .arg(i % 3 == 0       ? QStringLiteral("王五")
                                 : i % 3 == 1 ? QStringLiteral("李四")
                                              : QString())
                        .arg(InUse)
                        .arg(i % 7);
        insertRows(rows);
        const HistoryFilter narrowed{{}, {}, {}, {}, QStringLiteral("N-3")};
        QList<qint64> read;
        qint64 below = 0;
        for (;;) {
            const QVector<HistoryEntry> page = readHistory(*db, narrowed, below, 25);
            QVERIFY(page.size() <= 25);
            if (page.isEmpty())
                break;
            read += idsOf(page);
            below = page.last().id;
        }
        QList<qint64> wanted;
        for (int i = 600; i >= 1; --i)
            if (i % 7 == 3)
                wanted << i;
        QCOMPARE(read, wanted);
        QCOMPARE(countHistory(*db, narrowed), qint64(wanted.size()));
        QCOMPARE(countHistory(*db, {}), qint64(600));
        QCOMPARE(historyAccounts(*db), (QStringList{QStringLiteral("李四"), QStringLiteral("王五")}));
    }

    // A ledger of an older program has no history: nothing, and no error.
    void noHistoryTable()
    {
        QVERIFY(db->executeNative(QStringLiteral("DROP TABLE \"MSys履历\"")).ok());
        QVERIFY(!keepsHistory(*db));
        DbError e;
        QVERIFY(readHistory(*db, {}, 0, 0, &e).isEmpty());
        QVERIFY(!e);
        QCOMPARE(countHistory(*db, {}, &e), qint64(0));
        QVERIFY(!e);
        QVERIFY(ravo::instrumentHistory(*db, QStringLiteral("A")).isEmpty());
        QVERIFY(historyAccounts(*db).isEmpty());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    HistoryLogTest file(Engine::Sqlite);
    HistoryLogTest server(Engine::Postgres);
    int failures = QTest::qExec(&file, argc, argv);
    failures += QTest::qExec(&server, argc, argv);
    return failures;
}
#include "tst_historylog.moc"
