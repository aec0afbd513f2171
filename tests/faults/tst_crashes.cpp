// The program cut off in the middle of its operations that change the
// ledger file: the commit of an editor's working copy (the confirmation
// records' with the in-use ledger's update), each of the five moves between
// ledgers, the start-up backup, the compaction and the import of a
// spreadsheet. A runner
// process built with the fault-injection hook performs the operation and is
// ended abruptly after each of its statements in turn (or at each step of
// the file operations). The next start then has to find the ledger whole,
// every table either as before the operation or as after it, every
// instrument in exactly one ledger, the backup sound, and the working
// tables left behind dropped and made again.
#include "FaultKit.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Maintenance.h"
#include "core/Shutdown.h"
#include "exchange/TableWriter.h"

#include <QTemporaryDir>

using namespace ravo;
using namespace ravo::test;

namespace {

const QString Today = QStringLiteral("2026-01-05");

// The working copies the editors make, with their own statements.
const QList<QPair<QString, QString>>& editorWorkingTables()
{
    static const QList<QPair<QString, QString>> list = {
        {tables::InUse, QStringLiteral("计量器具编号")},
        {tables::Sealed, QStringLiteral("计量器具编号")},
        {tables::Scrapped, QStringLiteral("计量器具编号")},
        {tables::Stock, QStringLiteral("购买日期,计量器具名称")},
    };
    return list;
}

QString workingStatement(const QString& table, const QString& order)
{
    return QStringLiteral("select * into %1 from %2 order by %3;").arg(tables::working(table), table, order);
}

struct Trace {
    QStringList statements; // in the order they ran
    int commitAt = 0;       // the statement whose end makes the operation durable
};

Trace readTrace(const QString& path)
{
    Trace t;
    const QStringList lines = readTextFile(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (!line.startsWith(QLatin1Char('@')))
            t.statements << line.section(QLatin1Char('\t'), 1);
    // The operation's outermost savepoint is its first; its release commits.
    QString outer;
    for (int i = 0; i < t.statements.size(); ++i) {
        const QString& s = t.statements.at(i);
        if (outer.isEmpty() && s.startsWith(QLatin1String("SAVEPOINT ")))
            outer = s.mid(10);
        if (!outer.isEmpty() && s == QStringLiteral("RELEASE SAVEPOINT ") + outer) {
            t.commitAt = i + 1;
            break;
        }
    }
    return t;
}

bool exec(Database& db, const QString& sql, const QVariantList& binds = {})
{
    const DbResult r = db.executeNative(sql, binds);
    if (!r.ok())
        qWarning("%s: %s", qPrintable(sql), qPrintable(r.error.text()));
    return r.ok();
}

bool addInstrument(Database& db, const QString& table, const QString& number, const QString& name,
                   const QString& remark = {})
{
    return exec(db,
                QStringLiteral("INSERT INTO %1 (计量器具编号, 计量器具名称, 配套设备, 状态, 检定日期, 备注) "
                               "VALUES (?, ?, '电源线', '合格', '2025-03-01', ?)")
                    .arg(table),
                {number, name, remark});
}

} // namespace

class tst_Crashes : public QObject {
    Q_OBJECT
private:
    int m_faults = 0;

    // What the program does when it starts again after the crash, up to the
    // editors' working copies, checking each step; leaves the ledger's state.
    void nextStart(const QString& appDir, const QString& context, LedgerState& s)
    {
        // The single-copy lock of the dead process is taken over.
        InstanceLock lock(appDir);
        QVERIFY2(lock.isLocked(), qPrintable(context));
        // The start-up backup: made of the whole ledger, never of a torn file.
        const MaintenanceResult m = runStartupMaintenance(appDir, true, false);
        QVERIFY2(m.backupDone, qPrintable(context));

        Database db;
        const DbError e = db.open(appDir + QStringLiteral("/ravo.mdb"));
        QVERIFY2(!e, qPrintable(context + QStringLiteral(": ") + e.text()));
        // Every editor's working copy: a left-over one is dropped and made
        // again from its ledger as it is now.
        for (const auto& [table, order] : editorWorkingTables()) {
            const QString working = tables::working(table);
            const DbError w = createWorkingTable(db, working, workingStatement(table, order));
            QVERIFY2(!w, qPrintable(context + QStringLiteral(": ") + w.text()));
            QSqlQuery q(db.connection());
            q.exec(QStringLiteral("SELECT count(*) FROM (SELECT * FROM %1 EXCEPT SELECT * FROM %2)"
                                  " UNION ALL SELECT count(*) FROM %1 UNION ALL SELECT count(*) FROM %2")
                       .arg(table, working));
            QList<int> c;
            while (q.next())
                c << q.value(0).toInt();
            QVERIFY2(
                c.size() == 3 && c[0] == 0 && c[1] == c[2],
                qPrintable(context + QStringLiteral(": working copy of ") + table + QStringLiteral(" not rebuilt")));
        }
        s = stateOf(db.connection());
        closeLedger(db);
        QVERIFY2(s.integrity == QStringLiteral("ok"), qPrintable(context + QStringLiteral(": ") + s.integrity));

        // The backup holds the ledger as the next start found it.
        const LedgerState backup = stateOfFile(appDir + QStringLiteral("/ravo.bak"));
        QVERIFY2(backup.integrity == QStringLiteral("ok") && backup == s,
                 qPrintable(context + QStringLiteral(": backup ") + backup.integrity + QStringLiteral("; differs in ")
                            + differences(backup, s)));
    }

    // Runs the operation cut off after each of its statements in turn.
    // With `only` given, just after the statements that begin with one of its texts.
    void cutAfterEveryStatement(const QString& templateDir, const QStringList& operation,
                                const std::function<void(const LedgerState&, const QString&)>& invariant = {},
                                const QStringList& only = {})
    {
        const QString ledger = templateDir + QStringLiteral("/ravo.mdb");
        const LedgerState before = stateOfFile(ledger);
        QCOMPARE(before.integrity, QStringLiteral("ok"));

        QTemporaryDir clean;
        QVERIFY(copyOver(ledger, clean.filePath(QStringLiteral("ravo.mdb"))));
        const QString tracePath = clean.filePath(QStringLiteral("trace.txt"));
        const RunnerOutcome done =
            runOperation(QStringList{clean.path()} + operation + QStringList{QStringLiteral("--trace"), tracePath});
        QVERIFY2(done.status == 0, qPrintable(done.errors));
        const LedgerState after = stateOfFile(clean.filePath(QStringLiteral("ravo.mdb")));
        QVERIFY2(!(after == before), "the operation changes nothing to cut off");
        const Trace trace = readTrace(tracePath);
        QVERIFY2(trace.commitAt > 0, qPrintable(trace.statements.join(QLatin1Char('\n'))));

        for (int k = 1; k <= trace.statements.size(); ++k) {
            if (!only.isEmpty() && std::none_of(only.cbegin(), only.cend(), [&](const QString& o) {
                    return trace.statements.at(k - 1).startsWith(o);
                }))
                continue;
            const QString context =
                QStringLiteral("cut after statement %1 (%2)").arg(k).arg(trace.statements.at(k - 1).left(120));
            QTemporaryDir dir;
            QVERIFY(copyOver(ledger, dir.filePath(QStringLiteral("ravo.mdb"))));
            const RunnerOutcome cut = runOperation(QStringList{dir.path()} + operation
                                                   + QStringList{QStringLiteral("--after"), QString::number(k)});
            QVERIFY2(cut.status == EndedByHook, qPrintable(context + QStringLiteral(": ") + cut.errors));
            ++m_faults;

            LedgerState found;
            nextStart(dir.path(), context, found);
            if (QTest::currentTestFailed())
                return;
            const LedgerState& expected = k >= trace.commitAt ? after : before;
            QVERIFY2(found == expected,
                     qPrintable(context + QStringLiteral(": expected the ledger ")
                                + (k >= trace.commitAt ? QStringLiteral("after") : QStringLiteral("before"))
                                + QStringLiteral(", differs in ") + differences(found, expected)));
            if (invariant)
                invariant(found, context);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // A ledger folder with instruments in each of the three ledgers, the
    // in-use ones numbered N-00001 … with a remark of the given length.
    static bool fillLedgers(Database& db, int inUse, int remarkLength)
    {
        Transaction tx(db);
        if (!exec(db,
                  QStringLiteral(
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                      "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 配套设备, 状态, 检定日期, 备注) "
                      "SELECT printf('N-%05d', i), '表' || i, '电源线', '合格', '2025-03-01', ? FROM n"),
                  {inUse, QString(remarkLength, QChar(0x91cf))})) // 量
            return false;
        for (int i = 1; i <= 3; ++i)
            if (!addInstrument(db, tables::Sealed, QStringLiteral("S-%1").arg(i), QStringLiteral("封存表%1").arg(i))
                || !addInstrument(db, tables::Scrapped, QStringLiteral("X-%1").arg(i),
                                  QStringLiteral("报废表%1").arg(i)))
                return false;
        for (int i = 1; i <= 4; ++i)
            if (!exec(
                    db,
                    QStringLiteral("INSERT INTO 计量器具待发放库 (计量器具名称, 购买日期, 库存数量) VALUES (?, ?, ?)"),
                    {QStringLiteral("库存%1").arg(i), QStringLiteral("2025-0%1-01").arg(i), i}))
                return false;
        return !tx.commit();
    }

private slots:
    void cleanupTestCase() { qInfo("faults injected and survived: %d", m_faults); }

    void commitCutAfterEveryStatement_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("remarkLength");
        QTest::addColumn<QStringList>("only");
        QTest::addColumn<bool>("onlyChanges"); // the OK that writes only what changed
        QTest::newRow("in-use ledger") << tables::InUse << 8 << 10 << QStringList() << false;
        QTest::newRow("in-use ledger, only what changed") << tables::InUse << 8 << 10 << QStringList() << true;
        QTest::newRow("stock, only what changed") << tables::Stock << 8 << 0 << QStringList() << true;
        // Deleting 2.5 MB of rows overflows the engine's page cache: pages of
        // the unfinished transaction reach ravo.mdb itself before the end,
        // and only the journal beside it knows the old rows.
        QTest::newRow("in-use ledger larger than the page cache")
            << tables::InUse << 2000 << 400 << QStringList{"DELETE", "INSERT", "RELEASE SAVEPOINT ravo_tx_1"} << false;
        QTest::newRow("stock") << tables::Stock << 8 << 0 << QStringList() << false;
    }
    void commitCutAfterEveryStatement()
    {
        QFETCH(QString, table);
        QFETCH(int, rows);
        QFETCH(int, remarkLength);
        QFETCH(QStringList, only);
        QFETCH(bool, onlyChanges);
        Sandbox box;
        QVERIFY(box.isValid());
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            QVERIFY(fillLedgers(db, rows, remarkLength));
            const QString order =
                table == tables::Stock ? QStringLiteral("购买日期,计量器具名称") : QStringLiteral("计量器具编号");
            QVERIFY(!createWorkingTable(db, tables::working(table), workingStatement(table, order)));
            // The user's edits in the editor: one row changed, one deleted, one added.
            const QString w = tables::working(table);
            const QString name = QStringLiteral("计量器具名称");
            QVERIFY(exec(db, QStringLiteral("UPDATE %1 SET %2 = '改过的' WHERE rowid = 1").arg(w, name)));
            QVERIFY(exec(db, QStringLiteral("DELETE FROM %1 WHERE rowid = 2").arg(w)));
            QVERIFY(exec(
                db,
                table == tables::Stock
                    ? QStringLiteral("INSERT INTO %1 (计量器具名称, 库存数量) VALUES ('新的', 1)").arg(w)
                    : QStringLiteral("INSERT INTO %1 (计量器具编号, 计量器具名称) VALUES ('NEW-1', '新的')").arg(w)));
        }
        // The OK of only what changed makes its copy and the same edits itself:
        // its books live as long as its connection.
        cutAfterEveryStatement(box.appDir(),
                               {(onlyChanges ? QStringLiteral("ok:") : QStringLiteral("commit:")) + table}, {}, only);
    }

    // The confirmation editor's OK with the ledger update on: the records
    // and the in-use ledger change together or not at all.
    void confirmationSaveCutAfterEveryStatement()
    {
        Sandbox box;
        QVERIFY(box.isValid());
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            QVERIFY(fillLedgers(db, 4, 10));
            const QString add =
                QStringLiteral("INSERT INTO %1 (计量器具编号, 检定日期, 有效日期, 结论) VALUES (?, ?, ?, '合格')");
            QVERIFY(exec(db, add.arg(tables::Confirmation), {"N-00001", "2025-03-01", "2026-02-28"}));
            const QString working = tables::working(tables::Confirmation);
            QVERIFY(
                !createWorkingTable(db, working, workingStatement(tables::Confirmation, QStringLiteral("检定日期"))));
            // Two new calibrations recorded, not yet saved.
            QVERIFY(exec(db, add.arg(working), {"N-00002", Today, "2027-01-04"}));
            QVERIFY(exec(db, add.arg(working), {"N-00003", Today, "2027-01-04"}));
        }
        cutAfterEveryStatement(box.appDir(), {QStringLiteral("confirmations")});
    }

    void moveCutAfterEveryStatement_data()
    {
        QTest::addColumn<int>("move");
        QTest::addColumn<QString>("number");
        QTest::newRow("in use to scrapped") << int(Move::InUseToScrapped) << "N-00002";
        QTest::newRow("in use to sealed") << int(Move::InUseToSealed) << "N-00002";
        QTest::newRow("sealed to in use") << int(Move::SealedToInUse) << "S-2";
        QTest::newRow("sealed to scrapped") << int(Move::SealedToScrapped) << "S-2";
        QTest::newRow("scrapped to in use") << int(Move::ScrappedToInUse) << "X-2";
    }
    void moveCutAfterEveryStatement()
    {
        QFETCH(int, move);
        QFETCH(QString, number);
        const MoveSpec route = moveSpec(Move(move));
        Sandbox box;
        QVERIFY(box.isValid());
        QStringList everyNumber;
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            QVERIFY(fillLedgers(db, 4, 10));
            // The source's editor is open with an edit of the row not yet
            // saved: the move takes the row from the working copy.
            QVERIFY(
                !createWorkingTable(db, tables::working(route.source), workingStatement(route.source, NumberColumn)));
            QVERIFY(exec(db,
                         QStringLiteral("UPDATE %1 SET 计量器具名称 = '编辑中' WHERE 计量器具编号 = ?")
                             .arg(tables::working(route.source)),
                         {number}));
            everyNumber = instrumentNumbers(stateOf(db.connection()));
        }
        cutAfterEveryStatement(
            box.appDir(),
            {QStringLiteral("move:%1").arg(move), QStringLiteral("--number"), number, QStringLiteral("--date"), Today},
            [&](const LedgerState& found, const QString& context) {
                // Each instrument in exactly one ledger.
                QVERIFY2(instrumentNumbers(found) == everyNumber, qPrintable(context));
            });
    }

    void backupAndCompactionCut_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("cut");
        QTest::addColumn<bool>("ledgerUntouched"); // byte for byte
        QTest::newRow("backup, in the middle of the copy") << "backup" << QStringList{"--end-on-progress", "1"} << true;
        QTest::newRow("backup, copied but not yet in place")
            << "backup" << QStringList{"--at", "backup.copied"} << true;
        QTest::newRow("compaction, while writing ravo.tmp")
            << "compact" << QStringList{"--end-on-progress", "2"} << true;
        QTest::newRow("compaction, written but not checked")
            << "compact" << QStringList{"--at", "compact.written"} << true;
        QTest::newRow("compaction, in place") << "compact" << QStringList{"--at", "compact.replaced"} << false;
    }
    void backupAndCompactionCut()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, cut);
        QFETCH(bool, ledgerUntouched);
        Sandbox box;
        QVERIFY(box.isValid());
        const LedgerFiles files(box.appDir());
        // An older backup, which must survive unless replaced by a whole new one.
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            QVERIFY(addInstrument(db, tables::InUse, QStringLiteral("OLD-1"), QStringLiteral("旧备份中的表")));
        }
        QVERIFY(copyOver(files.database, files.backup));
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            // Large enough for several progress reports, with rows deleted
            // so that compaction has something to give back.
            QVERIFY(fillLedgers(db, 3000, 400));
            QVERIFY(exec(db, QStringLiteral("DELETE FROM 计量器具在用库 WHERE rowid % 3 = 0")));
        }
        const QByteArray ledgerBefore = fileBytes(files.database);
        const QByteArray backupBefore = fileBytes(files.backup);
        const LedgerState before = stateOfFile(files.database);

        const RunnerOutcome r = runOperation(QStringList{box.appDir(), operation} + cut);
        QVERIFY2(r.status == EndedByHook, qPrintable(r.errors));
        ++m_faults;

        // Right after the crash: the ledger whole, the backup old or new.
        if (ledgerUntouched)
            QVERIFY(fileBytes(files.database) == ledgerBefore);
        QCOMPARE(stateOfFile(files.database).integrity, QStringLiteral("ok"));
        QVERIFY(stateOfFile(files.database) == before);
        if (fileBytes(files.backup) != backupBefore) {
            const LedgerState backup = stateOfFile(files.backup);
            QCOMPARE(backup.integrity, QStringLiteral("ok"));
            QVERIFY(backup == before);
        }

        // The next start-up with both options on clears what was left.
        const MaintenanceResult next = runStartupMaintenance(box.appDir(), true, true);
        QVERIFY(next.backupDone);
        QVERIFY(!QFile::exists(files.scratch));
        QVERIFY(!QFile::exists(files.backup + QStringLiteral(".part")));
        QVERIFY(stateOfFile(files.database) == before);
        QVERIFY(stateOfFile(files.backup) == before);
        // A scratch file of the crash made that compaction fail; the one after compacts.
        if (!next.compactDone)
            QVERIFY(runStartupMaintenance(box.appDir(), false, true).compactDone);
        QVERIFY(QFileInfo(files.database).size() < ledgerBefore.size());
        QVERIFY(stateOfFile(files.database) == before);
    }

    void importCut_data()
    {
        QTest::addColumn<QStringList>("cut");
        QTest::addColumn<bool>("imported"); // the ledger as after the import, or as before
        QTest::newRow("after the first row written") << QStringList{"--after", "2"} << false;
        // 3000 rows of 1.2 kB overflow the engine's page cache: pages of the
        // unfinished import reach ravo.mdb before the end.
        QTest::newRow("in the middle, past the page cache") << QStringList{"--end-on-progress", "8"} << false;
        QTest::newRow("after the last row, before the commit")
            << QStringList{"--after-text", "INSERT", "--occurrence", "3000"} << false;
        QTest::newRow("right after the commit") << QStringList{"--after-text", "RELEASE SAVEPOINT"} << true;
    }
    void importCut()
    {
        QFETCH(QStringList, cut);
        QFETCH(bool, imported);
        Sandbox box;
        QVERIFY(box.isValid());
        {
            Database db;
            QVERIFY(!db.open(box.databasePath()));
            QVERIFY(fillLedgers(db, 5, 10));
        }
        // The department's list: a title row, the header, 3000 instruments.
        const QString file = box.appDir() + QStringLiteral("/台帐.xlsx");
        {
            QString error;
            exchange::XlsxTableWriter writer(QStringLiteral("台帐"));
            QVERIFY2(writer.begin(file, {QStringLiteral("某某公司计量器具台帐"), QString(), QString()}, &error),
                     qPrintable(error));
            QVERIFY(writer.addRow({exchange::Cell::ofText(QStringLiteral("管理编号")),
                                   exchange::Cell::ofText(QStringLiteral("器具名称")),
                                   exchange::Cell::ofText(QStringLiteral("备注"))},
                                  &error));
            for (int i = 1; i <= 3000; ++i)
                QVERIFY(writer.addRow({exchange::Cell::ofText(QStringLiteral("I-%1").arg(i, 5, 10, QLatin1Char('0'))),
                                       exchange::Cell::ofText(QStringLiteral("导入表%1").arg(i)),
                                       exchange::Cell::ofText(QString(400, QChar(0x91cf)))},
                                      &error));
            QVERIFY2(writer.finish(&error), qPrintable(error));
        }
        const QStringList operation = {QStringLiteral("import:") + tables::InUse, QStringLiteral("--file"), file};
        const LedgerState before = stateOfFile(box.databasePath());

        QTemporaryDir clean;
        QVERIFY(copyOver(box.databasePath(), clean.filePath(QStringLiteral("ravo.mdb"))));
        const RunnerOutcome done = runOperation(QStringList{clean.path()} + operation);
        QVERIFY2(done.status == 0, qPrintable(done.errors));
        const LedgerState after = stateOfFile(clean.filePath(QStringLiteral("ravo.mdb")));
        QVERIFY(!(after == before));

        const RunnerOutcome r = runOperation(QStringList{box.appDir()} + operation + cut);
        QVERIFY2(r.status == EndedByHook, qPrintable(r.errors));
        ++m_faults;
        LedgerState found;
        nextStart(box.appDir(), cut.join(QLatin1Char(' ')), found);
        if (QTest::currentTestFailed())
            return;
        const LedgerState& expected = imported ? after : before;
        QVERIFY2(found == expected, qPrintable(QStringLiteral("differs in ") + differences(found, expected)));
    }

    // The hook is in the runner only: the program never carries it.
    void programHasNoHook()
    {
        const QByteArray marker = "RAVO fault injection";
        QVERIFY(fileBytes(RunnerProgram).contains(marker));
        const QByteArray program = fileBytes(QStringLiteral(RAVO_PROGRAM));
        QVERIFY(!program.isEmpty());
        QVERIFY(!program.contains(marker));
    }
};

QTEST_GUILESS_MAIN(tst_Crashes)
#include "tst_crashes.moc"
