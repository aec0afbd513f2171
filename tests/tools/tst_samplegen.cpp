// The sample ledger: the same every time, within the ledger's rules, and
// with the spread of due dates the reminders need.
#include "SampleLedger.h"
#include "TestSupport.h"
#include "core/Database.h"
#include "core/Ledger.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace ravo;

class SampleGenTest : public QObject {
    Q_OBJECT
private:
    static int scalar(Database& db, const QString& sql)
    {
        QSqlQuery q(db.connection());
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toInt();
    }
    static QByteArray digest(Database& db, const QString& table)
    {
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
        QCryptographicHash h(QCryptographicHash::Sha1);
        while (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                h.addData(q.value(i).toString().toUtf8() + '|');
        return h.result();
    }

private slots:
    void sizesRulesAndSpread_data()
    {
        QTest::addColumn<int>("instruments");
        QTest::newRow("tiny") << 7;
        QTest::newRow("demo") << 500;
        QTest::newRow("large") << 4000;
    }
    void sizesRulesAndSpread()
    {
        QFETCH(int, instruments);
        test::Sandbox box;
        const QDate today(2026, 12, 7);
        sample::SampleSize size;
        size.inUse = instruments;
        sample::SampleCounts counts;
        QCOMPARE(sample::fillSampleLedger(box.databasePath(), size, today, 7, &counts), QString());
        Database db;
        QVERIFY(!db.open(box.databasePath()));
        QCOMPARE(scalar(db, "SELECT count(*) FROM 计量器具在用库"), instruments);
        QCOMPARE(scalar(db, "SELECT count(*) FROM 计量器具封存库"), instruments / 20);
        QCOMPARE(scalar(db, "SELECT count(*) FROM 计量器具报废库"), instruments / 20);
        QCOMPARE(scalar(db, "SELECT count(*) FROM 计量器具待发放库"), std::max(1, instruments / 50));
        QCOMPARE(scalar(db, "SELECT count(*) FROM 计量器具确认记录库"), 3 * instruments);
        QCOMPARE(counts.repairs, (instruments + 9) / 10);
        QVERIFY(counts.readings > 200);
        // An instrument lives in exactly one of in-use, sealed and scrapped.
        QCOMPARE(
            scalar(
                db,
                "SELECT count(DISTINCT 计量器具编号) FROM (SELECT 计量器具编号 FROM 计量器具在用库 "
                "UNION ALL SELECT 计量器具编号 FROM 计量器具封存库 UNION ALL SELECT 计量器具编号 FROM 计量器具报废库)"),
            instruments + 2 * (instruments / 20));
        // Every confirmation record names an instrument in use.
        QCOMPARE(
            scalar(
                db,
                "SELECT count(*) FROM 计量器具确认记录库 WHERE 计量器具编号 NOT IN (SELECT 计量器具编号 FROM 计量器具在用库)"),
            0);
        // Records carry their own instrument's name and department.
        QCOMPARE(scalar(db,
                        "SELECT count(*) FROM 计量器具确认记录库 c JOIN 计量器具在用库 u USING (计量器具编号) "
                        "WHERE c.计量器具名称 IS NOT u.计量器具名称 OR c.送检单位 IS NOT u.使用部门"),
                 0);
        QCOMPARE(scalar(db,
                        "SELECT count(*) FROM 计量器具修理记录库 r LEFT JOIN 计量器具在用库 u USING (计量器具编号) "
                        "WHERE r.计量器具名称 IS NOT u.计量器具名称"),
                 0);
        QVERIFY(scalar(db, "SELECT count(*) FROM 计量器具在用库 WHERE 检定日期 > 有效日期") == 0);
        if (instruments >= 500) {
            const int overdue = scalar(db, "SELECT count(*) FROM 计量器具在用库 WHERE 有效日期 < '2026-12-07'");
            const int soon =
                scalar(db, "SELECT count(*) FROM 计量器具在用库 WHERE 有效日期 BETWEEN '2026-12-07' AND '2027-01-06'");
            QVERIFY(overdue > 0 && overdue < instruments / 10);
            QVERIFY(soon > 0 && soon < instruments / 5);
            // Numbers read like L-S-000123: category letter, kind letter, serial.
            QCOMPARE(
                scalar(
                    db,
                    "SELECT count(*) FROM 计量器具在用库 WHERE 计量器具编号 NOT GLOB '[A-Z]-[A-Za-zΨδ]-[0-9][0-9][0-9][0-9][0-9][0-9]'"),
                0);
        }
    }

    void sameSeedSameLedger()
    {
        test::Sandbox a, b;
        sample::SampleSize size;
        size.inUse = 300;
        QCOMPARE(sample::fillSampleLedger(a.databasePath(), size, QDate(2026, 1, 1), 42), QString());
        QCOMPARE(sample::fillSampleLedger(b.databasePath(), size, QDate(2026, 1, 1), 42), QString());
        Database da, dbb;
        QVERIFY(!da.open(a.databasePath()));
        QVERIFY(!dbb.open(b.databasePath()));
        for (const QString& t : {tables::InUse, tables::Confirmation, tables::Environment})
            QCOMPARE(digest(da, t), digest(dbb, t));
    }
};

QTEST_GUILESS_MAIN(SampleGenTest)
#include "tst_samplegen.moc"
