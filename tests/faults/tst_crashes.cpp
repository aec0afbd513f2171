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
//
// Then colleagues on one server ledger: runner processes editing and moving
// instruments side by side and at random, the session's connection broken in
// the middle of an OK or a move, and the client ended after each statement
// of its OK. Nothing may be lost: every change either lands or is refused as
// a clash, and every instrument stays in exactly one ledger.
#include "FaultKit.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/LedgerSchema.h"
#include "core/Maintenance.h"
#include "core/Shutdown.h"
#include "exchange/TableWriter.h"

#include <QElapsedTimer>
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

// A colleague's program: a runner process that says what it is doing on its
// output, line by line, and can be told to go on.
class Colleague {
public:
    explicit Colleague(const QStringList& args) { m_process.start(RunnerProgram, args); }
    ~Colleague()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // The first line of output that starts with the word; empty when the
    // runner ends or says nothing of the kind within 30 s.
    QString waitFor(const QString& word)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_output << line;
                if (line.startsWith(word))
                    return line;
            }
            if (m_process.state() == QProcess::NotRunning)
                return {};
            m_process.waitForReadyRead(100);
        }
        return {};
    }
    void go() { m_process.write("go\n"); }
    int finish()
    {
        if (!m_process.waitForFinished(120000))
            return -1;
        for (const QByteArray& line : m_process.readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty())
                m_output << QString::fromUtf8(line.trimmed());
        m_errors = QString::fromUtf8(m_process.readAllStandardError());
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    const QStringList& output() const { return m_output; }
    const QString& errors() const { return m_errors; }

private:
    QProcess m_process;
    QStringList m_output;
    QString m_errors;
};

// A server ledger's state as the program sees it (no row addresses or
// versions): per table a digest of its rows, and the instrument numbers.
LedgerState serverStateOf(Database& db)
{
    LedgerState s;
    s.integrity = QStringLiteral("ok");
    QSqlQuery q(db.connection());
    readTables(q, s, [&db](const QString& table) {
        QStringList columns = db.columns(table);
        for (QString& c : columns)
            c = quotedIdentifier(c);
        return QStringLiteral("SELECT %1 FROM \"%2\"").arg(columns.join(QLatin1Char(',')), table);
    });
    return s;
}

// The sum of a counter column (as the runner keeps them) over the three
// ledgers an instrument lives in.
qint64 counterSum(Database& db, const QString& column)
{
    qint64 sum = 0;
    for (const QString& table : {tables::InUse, tables::Sealed, tables::Scrapped}) {
        QSqlQuery q(db.connection());
        if (q.exec(QStringLiteral("SELECT coalesce(sum(nullif(%1, '')::integer), 0) FROM \"%2\"")
                       .arg(quotedIdentifier(column), table))
            && q.next())
            sum += q.value(0).toLongLong();
    }
    return sum;
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
        // Each cut below then finds the history before or after with the ledger.
        const QString history = QStringLiteral("MSys履历");
        QVERIFY2(!before.digests.contains(history) || after.counts.value(history) > before.counts.value(history),
                 "the operation wrote no history");
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

    // A ledger folder with instruments in each of the three ledgers (and the
    // tables beside them), the in-use ones numbered N-00001 … with a remark of the given length.
    static bool fillLedgers(Database& db, int inUse, int remarkLength)
    {
        // With the change history, which changes with the ledger or not at all.
        if (upgradeLedgerSchema(db))
            return false;
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

    // ---- colleagues on one server ledger ----------------------------------

    // A fresh server ledger with `inUse` instruments in use (N-00001 …) and
    // `others` sealed (S-1 …) and scrapped (X-1 …); the connection text the
    // runners use.
    QString freshServerLedger(Database& db, int inUse, int others)
    {
        const QString failure = openFreshServerLedger(db);
        if (!failure.isEmpty())
            return failure;
        const QStringList fill = {
            QStringLiteral(
                "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 状态, 检定日期) SELECT "
                "'N-' || lpad(i::text, 5, '0'), '表' || i, '合格', '2025-03-01' FROM generate_series(1, %1) i")
                .arg(inUse),
            QStringLiteral(
                "INSERT INTO 计量器具封存库 (计量器具编号, 计量器具名称, 状态) SELECT 'S-' || i, '封存表' || i, "
                "'封存' FROM generate_series(1, %1) i")
                .arg(others),
            QStringLiteral(
                "INSERT INTO 计量器具报废库 (计量器具编号, 计量器具名称, 状态) SELECT 'X-' || i, '报废表' || i, "
                "'报废' FROM generate_series(1, %1) i")
                .arg(others),
        };
        for (const QString& sql : fill)
            if (const DbResult r = db.executeNative(sql); !r.ok())
                return r.error.text();
        return {};
    }
    QStringList serverArgs(const Database& db, const QString& operation, const QStringList& more = {})
    {
        return QStringList{QStringLiteral("-"), operation, QStringLiteral("--server"), db.serverAddress().toString()}
        + more;
    }

    // Two colleagues, each with an editor open, OK (edit: adds one to the
    // instrument's 联系电话) or move the same or different instruments; the
    // first goes, then the second, or both at once. A colleague refused
    // because the other was first ends with 5; nothing is lost either way.
    void serverColleaguesSideBySide_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("together");
        QTest::addColumn<QList<int>>("statuses"); // together: in either order
        const QString edit = QStringLiteral("edit:") + tables::InUse;
        const QString n1 = QStringLiteral("N-00001");
        const QStringList editN1 = {edit, QStringLiteral("--number"), n1};
        QTest::newRow("different instruments: both land")
            << editN1 << QStringList{edit, QStringLiteral("--number"), QStringLiteral("N-00002")} << false
            << QList<int>{0, 0};
        QTest::newRow("the same instrument: the second is told") << editN1 << editN1 << false << QList<int>{0, 5};
        QTest::newRow("the same instrument at once: one is told") << editN1 << editN1 << true << QList<int>{0, 5};
        QTest::newRow("sealed and scrapped at once: one moves it")
            << QStringList{"move:1", "--number", n1} << QStringList{"move:0", "--number", n1} << true
            << QList<int>{0, 5};
        QTest::newRow("changed, then moved with the old values: refused")
            << editN1 << QStringList{"move:1", "--number", n1} << false << QList<int>{0, 5};
        QTest::newRow("moved, then changed: refused")
            << QStringList{"move:0", "--number", n1} << editN1 << false << QList<int>{0, 5};
        QTest::newRow("moved and another changed: both land")
            << QStringList{"move:0", "--number", n1} << QStringList{edit, QStringLiteral("--number"), "N-00003"} << true
            << QList<int>{0, 0};
    }
    void serverColleaguesSideBySide()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(bool, together);
        QFETCH(QList<int>, statuses);
        Database db;
        const QString failure = freshServerLedger(db, 5, 2);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QStringList everyNumber = instrumentNumbers(serverStateOf(db));
        const QStringList wait = {QStringLiteral("--wait"), QStringLiteral("--date"), Today};
        Colleague a(serverArgs(db, first.first(), first.mid(1) + wait));
        Colleague b(serverArgs(db, second.first(), second.mid(1) + wait));
        QVERIFY2(!a.waitFor("ready").isEmpty(), qPrintable(a.output().join('\n')));
        QVERIFY2(!b.waitFor("ready").isEmpty(), qPrintable(b.output().join('\n')));
        int statusA = 0, statusB = 0;
        if (together) {
            a.go();
            b.go();
            statusA = a.finish();
            statusB = b.finish();
        } else {
            a.go();
            statusA = a.finish();
            b.go();
            statusB = b.finish();
        }
        QList<int> found = {statusA, statusB};
        if (together)
            std::sort(found.begin(), found.end());
        QVERIFY2(found == statuses, qPrintable(a.errors() + b.errors()));
        // A refusal names the instrument and says why.
        for (const Colleague* c : {&a, &b})
            if (!c->errors().isEmpty())
                QVERIFY2(c->errors().contains(QStringLiteral("N-0000")), qPrintable(c->errors()));
        // Each OK that landed counted once: none overwrote another.
        const qint64 landed = qint64(first.first().startsWith("edit:") && statusA == 0)
            + qint64(second.first().startsWith("edit:") && statusB == 0);
        QCOMPARE(counterSum(db, QStringLiteral("联系电话")), landed);
        QCOMPARE(instrumentNumbers(serverStateOf(db)), everyNumber);
    }

    // Ten colleagues at work at once, 200 OKs and moves each at random on a
    // small ledger, so that they often meet. Every OK and move that was not
    // refused is found in the ledger's counters (no lost update), and every
    // instrument is in exactly one ledger.
    void serverColleaguesAtWork()
    {
        constexpr int Clients = 10;
        constexpr int Operations = 200;
        Database db;
        const QString failure = freshServerLedger(db, 20, 10);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QStringList everyNumber = instrumentNumbers(serverStateOf(db));
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<Colleague>> colleagues;
        for (int i = 0; i < Clients; ++i)
            colleagues.push_back(
                std::make_unique<Colleague>(serverArgs(db, QStringLiteral("churn"),
                                                       {QStringLiteral("--seed"), QString::number(1000 + i),
                                                        QStringLiteral("--count"), QString::number(Operations)})));
        int oks = 0, moves = 0, conflicts = 0;
        for (auto& c : colleagues) {
            const int status = c->finish();
            QVERIFY2(status == 0, qPrintable(c->errors()));
            const QString said = c->output().filter(QStringLiteral("oks=")).value(0);
            const QRegularExpression counts(QStringLiteral("oks=(\\d+) moves=(\\d+) conflicts=(\\d+) failures=0"));
            const QRegularExpressionMatch m = counts.match(said);
            QVERIFY2(m.hasMatch(), qPrintable(said));
            oks += m.captured(1).toInt();
            moves += m.captured(2).toInt();
            conflicts += m.captured(3).toInt();
        }
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(oks + moves + conflicts, Clients * Operations);
        QCOMPARE(counterSum(db, QStringLiteral("联系电话")), qint64(oks));
        QCOMPARE(counterSum(db, QStringLiteral("存放地点")), qint64(moves));
        QCOMPARE(instrumentNumbers(serverStateOf(db)), everyNumber);
        QVERIFY(moves > 0 && oks > 0 && conflicts > 0);
        qInfo("%d colleagues x %d operations in %.1f s: %d OKs and %d moves landed, %d refused as clashes, 0 lost",
              Clients, Operations, elapsed / 1000.0, oks, moves, conflicts);
    }

    // The session's connection to the server breaks in the middle of an OK
    // or a move (its server process ended): the runner is told the
    // connection is lost, and the ledger is exactly as before.
    void serverConnectionLostMidway_data()
    {
        QTest::addColumn<QStringList>("operation");
        QTest::addColumn<QString>("breakAfter");
        QTest::newRow("OK, rows locked") << QStringList{"edit:" + tables::InUse, "--number", "N-00001"} << "FOR UPDATE";
        QTest::newRow("OK, rows deleted") << QStringList{"ok:" + tables::InUse} << "DELETE FROM";
        QTest::newRow("OK, rows written") << QStringList{"ok:" + tables::InUse} << "UPDATE \"" + tables::InUse;
        QTest::newRow("move, copied into the target") << QStringList{"move:1", "--number", "N-00002"} << "INSERT";
        QTest::newRow("move, taken out of the source") << QStringList{"move:1", "--number", "N-00002"} << "DELETE";
    }
    void serverConnectionLostMidway()
    {
        QFETCH(QStringList, operation);
        QFETCH(QString, breakAfter);
        Database db;
        const QString failure = freshServerLedger(db, 5, 2);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const LedgerState before = serverStateOf(db);
        Colleague c(serverArgs(db, operation.first(),
                               operation.mid(1) + QStringList{"--pause", "--after-text", breakAfter, "--date", Today}));
        const QString backend = c.waitFor("backend").section(' ', 1);
        QVERIFY2(!backend.isEmpty(), qPrintable(c.output().join('\n')));
        QVERIFY2(!c.waitFor("paused").isEmpty(), qPrintable(c.output().join('\n')));
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend.toLongLong())));
        c.go();
        QCOMPARE(c.finish(), 1);
        QVERIFY2(c.errors().contains(QStringLiteral("与数据库服务器的连接中断了")), qPrintable(c.errors()));
        ++m_faults;
        const LedgerState found = serverStateOf(db);
        QVERIFY2(found == before, qPrintable(differences(found, before)));
    }

    // A client ended abruptly after each statement of its OK or move in
    // turn: the server rolls back what was not committed, so the ledger is
    // exactly as before, or, once the commit ran, exactly as after.
    void serverClientEndedAfterEveryStatement_data()
    {
        QTest::addColumn<QStringList>("operation");
        QTest::newRow("OK") << QStringList{QStringLiteral("ok:") + tables::InUse};
        QTest::newRow("move to scrapped") << QStringList{"move:0", "--number", "N-00002", "--date", Today};
        QTest::newRow("move from sealed") << QStringList{"move:2", "--number", "S-1", "--date", Today};
    }
    void serverClientEndedAfterEveryStatement()
    {
        QFETCH(QStringList, operation);
        QTemporaryDir dir;
        const QString tracePath = dir.filePath(QStringLiteral("trace.txt"));
        LedgerState before, after;
        QStringList statements;
        {
            Database db;
            const QString failure = freshServerLedger(db, 5, 2);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            before = serverStateOf(db);
            Colleague c(serverArgs(db, operation.first(), operation.mid(1) + QStringList{"--trace", tracePath}));
            QVERIFY2(c.finish() == 0, qPrintable(c.errors()));
            after = serverStateOf(db);
            for (const QString& line : readTextFile(tracePath).split('\n', Qt::SkipEmptyParts))
                statements << line.section('\t', 1);
        }
        QVERIFY(!(after == before));
        const qsizetype commitAt = statements.indexOf(QStringLiteral("COMMIT")) + 1;
        QVERIFY2(commitAt > 0, qPrintable(statements.join('\n')));
        for (int k = 1; k <= statements.size(); ++k) {
            const QString context =
                QStringLiteral("ended after statement %1 (%2)").arg(k).arg(statements.at(k - 1).left(100));
            Database db;
            const QString failure = freshServerLedger(db, 5, 2);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            Colleague c(
                serverArgs(db, operation.first(), operation.mid(1) + QStringList{"--after", QString::number(k)}));
            QVERIFY2(c.finish() == EndedByHook, qPrintable(context + c.errors()));
            ++m_faults;
            const LedgerState found = serverStateOf(db);
            const LedgerState& expected = k >= commitAt ? after : before;
            QVERIFY2(found == expected,
                     qPrintable(context + QStringLiteral(": differs in ") + differences(found, expected)));
            if (operation.first().startsWith(QLatin1String("move:"))) // each instrument in one ledger
                QCOMPARE(instrumentNumbers(found), instrumentNumbers(before));
        }
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
