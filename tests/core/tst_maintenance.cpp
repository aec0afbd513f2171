// Start-up maintenance of the ledger file: backup and compaction.
#include "TestSupport.h"
#include "core/Database.h"
#include "core/Maintenance.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>

using namespace ravo;

class MaintenanceTest : public QObject {
    Q_OBJECT
private:
    static int rows(const QString& path)
    {
        Database db;
        if (db.open(path))
            return -1;
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT count(*) FROM 计量器具在用库"));
        return q.next() ? q.value(0).toInt() : -1;
    }
    // Fills the ledger and deletes most of it again, so compaction has
    // something to give back.
    static void fillAndThin(const QString& path)
    {
        Database db;
        QVERIFY(!db.open(path));
        Transaction tx(db);
        for (int i = 0; i < 2000; ++i)
            QVERIFY(db.executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 备注) VALUES (?, ?)"),
                                     {QStringLiteral("M-%1").arg(i), QString(400, QLatin1Char('x'))})
                        .ok());
        QVERIFY(!tx.commit());
        QVERIFY(db.executeNative(QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid > 10")).ok());
    }

private slots:
    void steps_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<bool>("compact");
        QTest::addColumn<bool>("staleScratch");
        QTest::newRow("nothing asked") << false << false << false;
        QTest::newRow("backup only") << true << false << false;
        QTest::newRow("compact only") << false << true << false;
        QTest::newRow("both") << true << true << false;
        QTest::newRow("stale scratch file") << false << true << true;
    }
    void steps()
    {
        QFETCH(bool, backup);
        QFETCH(bool, compact);
        QFETCH(bool, staleScratch);
        test::Sandbox box;
        QVERIFY(box.isValid());
        const LedgerFiles files(box.appDir());
        fillAndThin(files.database);
        if (staleScratch) {
            QFile f(files.scratch);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("left over");
        }
        const qint64 before = QFileInfo(files.database).size();
        const QByteArray original = test::readTextFile(files.database).toLatin1();

        const MaintenanceResult r = runStartupMaintenance(box.appDir(), backup, compact);
        QCOMPARE(r.backupDone, backup);
        QCOMPARE(r.compactDone, compact && !staleScratch);
        QCOMPARE(QFile::exists(files.backup), backup);
        QVERIFY(!QFile::exists(files.scratch));
        QCOMPARE(rows(files.database), 10);
        if (backup) {
            QCOMPARE(QFileInfo(files.backup).size(), before); // the uncompacted database
            QCOMPARE(rows(files.backup), 10);
        }
        if (compact && !staleScratch)
            QVERIFY(QFileInfo(files.database).size() < before);
        else
            QCOMPARE(QFileInfo(files.database).size(), before);

        // After a stale scratch file was cleared, the next start-up compacts.
        if (staleScratch) {
            QVERIFY(runStartupMaintenance(box.appDir(), false, true).compactDone);
            QVERIFY(QFileInfo(files.database).size() < before);
        }
    }

    void progressIsReported()
    {
        test::Sandbox box;
        const LedgerFiles files(box.appDir());
        fillAndThin(files.database);
        QStringList steps;
        int lastBackupPercent = -2;
        const MaintenanceResult r =
            runStartupMaintenance(box.appDir(), true, true, [&](const QString& step, int percent) {
                if (!steps.contains(step))
                    steps << step;
                if (steps.size() == 1)
                    lastBackupPercent = percent;
            });
        QVERIFY(r.backupDone && r.compactDone);
        QCOMPARE(steps, (QStringList{QStringLiteral("正在备份数据库…"), QStringLiteral("正在压缩数据库…")}));
        QCOMPARE(lastBackupPercent, 100);
    }

    void missingDatabase()
    {
        test::Sandbox box;
        const LedgerFiles files(box.appDir());
        QVERIFY(QFile::remove(files.database));
        QFile f(files.scratch);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const MaintenanceResult r = runStartupMaintenance(box.appDir(), true, true);
        QVERIFY(!r.backupDone);
        QVERIFY(!r.compactDone);
        QVERIFY(!QFile::exists(files.database));
        // The scratch file is never deleted while the database is missing.
        QVERIFY(QFile::exists(files.scratch));
    }

    void damagedDatabaseIsNotReplaced()
    {
        test::Sandbox box;
        const LedgerFiles files(box.appDir());
        QFile f(files.database);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(4096, 'z'));
        f.close();
        QVERIFY(!compactDatabase(files));
        QCOMPARE(QFileInfo(files.database).size(), qint64(4096));
        QVERIFY(!QFile::exists(files.scratch));
    }
};

QTEST_GUILESS_MAIN(MaintenanceTest)
#include "tst_maintenance.moc"
