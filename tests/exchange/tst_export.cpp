// Export of the ledger to .xlsx and .csv: every kind of source read back row
// for row in its order, the cell kinds each column gets, a statement's rows,
// a cancelled export, and the command line's job with its exit statuses.
#include "TestSupport.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Ledger.h"
#include "exchange/Export.h"
#include "exchange/Spreadsheet.h"

#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

using namespace ravo;
using namespace ravo::exchange;
using namespace ravo::test;

namespace {

// A filled ledger: in-use rows stored out of number order, one of them with
// a calibration date another program left invalid; environment readings.
struct Ledger {
    Sandbox sandbox;
    Database db;

    Ledger()
    {
        QVERIFY(!db.open(sandbox.databasePath()));
        const QStringList statements = {
            "PRAGMA ignore_check_constraints = 1",
            "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 检定日期, 有效日期, 购买价格, 备注) VALUES "
            "('T-2', '温度计', '2003-02-30', '2004-02-28', '约300元', 'a,\"b\"'), "
            "('000123', '千分尺', '2023-05-10', '2024-05-09', '1200.5', NULL), "
            "('A-1', '游标卡尺', '1899-12-31', '2026-01-05', '0120', '  前后空格 ')",
            "PRAGMA ignore_check_constraints = 0",
            "INSERT INTO 环境状况记录库 (ID, 日期, 时间, 环境温度) VALUES (7, '2024-03-01', '08:30:00', '20.5'), "
            "(NULL, '2024-03-02', '14:05:09', '21')",
        };
        for (const QString& s : statements)
            QVERIFY2(db.executeNative(s).ok(), qPrintable(s));
    }

    // The rows as stored, in the table's order, each value as text.
    QVector<QStringList> storedRows(const QString& table)
    {
        QVector<QStringList> rows;
        QSqlQuery q(db.connection());
        if (!q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table)))
            return rows;
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < q.record().count(); ++c)
                row << q.value(c).toString();
            rows << row;
        }
        return rows;
    }
};

QVector<QStringList> readBack(const QString& path, QStringList* headers)
{
    QString error;
    const auto sheet = readSpreadsheet(path, 0, &error);
    if (!sheet) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    QVector<QStringList> rows;
    for (int r = 0; r < sheet->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < sheet->columnCount(); ++c)
            row << sheet->cell(r, c).toString();
        rows << row;
    }
    if (!rows.isEmpty())
        *headers = rows.takeFirst();
    return rows;
}

// The cell of `column` in the row whose first cell is `key`.
Cell cellOf(const Sheet& sheet, const QString& key, const QString& column)
{
    int c = 0;
    while (c < sheet.columnCount() && sheet.cell(0, c).text != column)
        ++c;
    for (int r = 1; r < sheet.rowCount(); ++r)
        if (sheet.cell(r, 0).toString() == key)
            return sheet.cell(r, c);
    return Cell::ofError(QStringLiteral("no such row"));
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT
private slots:
    // Each source comes back whole, in the order its grid shows it.
    void sourcesComeBackRowForRow_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("make"); // the statement making a working table, or none
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("order"); // first column of each row
        const QString result = "select * into MSys检索临时表 from 计量器具在用库 order by 计量器具名称;";
        const QString due = "select * into MSys待检或到期设备表 from 计量器具在用库 where 有效日期 <= #2024-12-31# "
                            "order by 计量器具编号;";
        for (const char* suffix : {"xlsx", "csv"}) {
            QTest::addRow("in-use ledger %s", suffix)
                << tables::InUse << "" << suffix << QStringList{"T-2", "000123", "A-1"};
            QTest::addRow("environment %s", suffix) << tables::Environment << "" << suffix << QStringList{"7", "8"};
            QTest::addRow("search result %s", suffix)
                << tables::SearchResult << result << suffix << QStringList{"000123", "T-2", "A-1"};
            QTest::addRow("due list %s", suffix) << tables::DueList << due << suffix << QStringList{"000123", "T-2"};
        }
    }
    void sourcesComeBackRowForRow()
    {
        QFETCH(QString, table);
        QFETCH(QString, make);
        QFETCH(QString, suffix);
        QFETCH(QStringList, order);
        Ledger ledger;
        if (!make.isEmpty())
            QVERIFY(ledger.db.runScratch(make).ok());
        QTemporaryDir out;
        const QString path = out.filePath("导出." + suffix);
        const ExportResult r = exportTable(ledger.db, table, path, table);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.rows, qint64(order.size()));

        QStringList headers;
        const QVector<QStringList> rows = readBack(path, &headers);
        QCOMPARE(headers, ledger.db.columns(table));
        QVector<QStringList> stored = ledger.storedRows(table);
        QStringList first;
        for (const QStringList& row : rows)
            first << row.first();
        QCOMPARE(first, order);
        // Every value as stored; short rows are empty at their end.
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < stored[r].size(); ++c)
                QCOMPARE(rows[r].value(c), stored[r][c]);
        if (suffix == "csv") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.read(3) == QByteArray("\xEF\xBB\xBF"));
        }
    }

    // What each column becomes in an .xlsx file.
    void cellKinds_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key"); // first cell of the row
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("value");
        const QString inUse = tables::InUse;
        const QString env = tables::Environment;
        QTest::newRow("number kept as text with its zeros") << inUse << "000123"
                                                            << "计量器具编号" << int(Cell::Kind::Text) << "000123";
        QTest::newRow("date") << inUse << "000123"
                              << "检定日期" << int(Cell::Kind::Date) << "2023-05-10";
        QTest::newRow("invalid stored date stays text") << inUse << "T-2"
                                                        << "检定日期" << int(Cell::Kind::Text) << "2003-02-30";
        QTest::newRow("date before 1900 as text") << inUse << "A-1"
                                                  << "检定日期" << int(Cell::Kind::Text) << "1899-12-31";
        QTest::newRow("plain price is a number") << inUse << "000123"
                                                 << "购买价格" << int(Cell::Kind::Number) << "1200.5";
        QTest::newRow("worded price is text") << inUse << "T-2"
                                              << "购买价格" << int(Cell::Kind::Text) << "约300元";
        QTest::newRow("price with a leading zero is text") << inUse << "A-1"
                                                           << "购买价格" << int(Cell::Kind::Text) << "0120";
        QTest::newRow("empty value") << inUse << "000123"
                                     << "备注" << int(Cell::Kind::Empty) << "";
        QTest::newRow("ID is a number") << env << "8"
                                        << "ID" << int(Cell::Kind::Number) << "8";
        QTest::newRow("time") << env << "7"
                              << "时间" << int(Cell::Kind::Time) << "08:30:00";
        QTest::newRow("temperature is text") << env << "7"
                                             << "环境温度" << int(Cell::Kind::Text) << "20.5";
    }
    void cellKinds()
    {
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, column);
        QFETCH(int, kind);
        QFETCH(QString, value);
        Ledger ledger;
        QTemporaryDir out;
        const QString path = out.filePath("kinds.xlsx");
        QVERIFY(exportTable(ledger.db, table, path, table).ok());
        QString error;
        const auto sheet = readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        const Cell cell = cellOf(*sheet, key, column);
        QCOMPARE(int(cell.kind), kind);
        QCOMPARE(cell.toString(), value);
    }

    // A statement's rows (the change history's export): in its order, under
    // the headings given, with its bound values; numbers, stored date-times
    // and text each as such. A refused statement writes no file.
    void statementRows_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xlsx") << "xlsx";
        QTest::newRow("csv") << "csv";
    }
    void statementRows()
    {
        QFETCH(QString, suffix);
        Ledger ledger;
        QTemporaryDir out;
        const QString path = out.filePath("语句." + suffix);
        const QStringList headers{"编号", "时间", "数", "备注"};
        const ExportResult r =
            exportQuery(ledger.db,
                        "SELECT 计量器具编号, 检定日期 || ' 09:15:00', 1200, 备注 FROM 计量器具在用库 "
                        "WHERE 计量器具编号 <> ? ORDER BY 计量器具编号 DESC",
                        {"T-2"}, headers, path, "履历");
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.rows, qint64(2));
        QString error;
        const auto sheet = readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), 3);
        for (int c = 0; c < headers.size(); ++c)
            QCOMPARE(sheet->cell(0, c).toString(), headers[c]);
        QCOMPARE(sheet->cell(1, 0).toString(), QStringLiteral("A-1"));
        QCOMPARE(sheet->cell(2, 0).toString(), QStringLiteral("000123"));
        QCOMPARE(sheet->cell(2, 1).toString(), QStringLiteral("2023-05-10 09:15:00"));
        QCOMPARE(sheet->cell(1, 3).toString(), QStringLiteral("  前后空格 "));
        QVERIFY(sheet->cell(2, 3).isEmpty());
        if (suffix == "xlsx") {
            QCOMPARE(int(sheet->cell(2, 1).kind), int(Cell::Kind::DateTime));
            QCOMPARE(int(sheet->cell(1, 1).kind), int(Cell::Kind::Text)); // before 1900
            QCOMPARE(int(sheet->cell(2, 2).kind), int(Cell::Kind::Number));
            QCOMPARE(int(sheet->cell(2, 0).kind), int(Cell::Kind::Text));
        }

        const QString refused = out.filePath("拒绝." + suffix);
        const ExportResult bad = exportQuery(ledger.db, "SELECT x FROM 没有这张表", {}, {"x"}, refused, "x");
        QVERIFY(bad.error.startsWith(QStringLiteral("无法读取要导出的记录：")));
        QVERIFY(!QFile::exists(refused));
    }

    // Cancelling in the middle leaves no new file and an old one as it was;
    // a missing table is named.
    void cancelAndFailureWriteNothing_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("existing");
        QTest::newRow("xlsx, new file") << "xlsx" << false;
        QTest::newRow("csv, file kept") << "csv" << true;
    }
    void cancelAndFailureWriteNothing()
    {
        QFETCH(QString, suffix);
        QFETCH(bool, existing);
        Ledger ledger;
        QVERIFY(ledger.db
                    .executeNative("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                                   "INSERT INTO 计量器具修理记录库 (计量器具编号) SELECT printf('R-%04d', i) FROM n")
                    .ok());
        QTemporaryDir out;
        const QString path = out.filePath("修理." + suffix);
        if (existing) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        QList<qint64> calls;
        const ExportResult r =
            exportTable(ledger.db, tables::Repair, path, tables::Repair, [&](qint64 done, qint64 total) {
                calls << done << total;
                return done < 1000;
            });
        QVERIFY(r.cancelled);
        QCOMPARE(calls, (QList<qint64>{500, 1200, 1000, 1200}));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), existing ? QStringList{"修理." + suffix} : QStringList{});
        if (existing)
            QCOMPARE(readTextFile(path), QStringLiteral("old"));

        const ExportResult missing = exportTable(ledger.db, "没有这张表", out.filePath("x." + suffix), "x");
        QCOMPARE(missing.error, QStringLiteral("台帐数据库中没有数据表《没有这张表》。"));
    }

    // The command line's job, run as the program, without a display.
    void commandLine_data()
    {
        QTest::addColumn<QString>("ledger");   // "filled", "none", "damaged", "held", "due"
        QTest::addColumn<QStringList>("args"); // %OUT% is the output folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // part of what it prints
        // The rows of a due list's file: 使用部门|计量器具编号|距到期天数.
        QTest::addColumn<QStringList>("listed");
        const QString inUse = tables::InUse;
        const QStringList none;
        QTest::newRow("export") << "filled" << QStringList{"--export", inUse, "--to", "%OUT%/在用.xlsx"} << 0
                                << "已导出 3 条记录到“%OUT%/在用.xlsx”。" << none;
        QTest::newRow("export csv") << "filled" << QStringList{"--to", "%OUT%/e.CSV", "--export", tables::Environment}
                                    << 0 << "已导出 2 条记录" << none;
        QTest::newRow("unknown table") << "filled" << QStringList{"--export", "MSys检索临时表", "--to", "%OUT%/x.xlsx"}
                                       << 1 << "没有可以导出的数据表《MSys检索临时表》" << none;
        QTest::newRow("no ledger") << "none" << QStringList{"--export", inUse, "--to", "%OUT%/x.xlsx"} << 1
                                   << "找不到台帐数据库文件" << none;
        QTest::newRow("damaged ledger") << "damaged" << QStringList{"--export", inUse, "--to", "%OUT%/x.csv"} << 1
                                        << "数据库文件已损坏" << none;
        QTest::newRow("held by another copy") << "held" << QStringList{"--export", inUse, "--to", "%OUT%/x.xlsx"} << 1
                                              << InstanceLock::busyMessage() << none;
        QTest::newRow("unwritable file") << "filled"
                                         << QStringList{"--export", inUse, "--to", "%OUT%/无此文件夹/x.xlsx"} << 1
                                         << "导出没有完成" << none;
        QTest::newRow("no --to") << "filled" << QStringList{"--export", inUse} << 2 << "缺少 --to" << none;
        QTest::newRow("value missing") << "filled" << QStringList{"--export", "--to", "%OUT%/x.xlsx"} << 2
                                       << "选项 --export 后面缺少它的值" << none;
        QTest::newRow("other file type") << "filled" << QStringList{"--export", inUse, "--to", "%OUT%/x.txt"} << 2
                                         << "只能导出为 .xlsx 或 .csv 文件" << none;
        QTest::newRow("stray argument") << "filled" << QStringList{"--export", inUse, "--to", "%OUT%/x.csv", "-v"} << 2
                                        << "不认识的参数：-v" << none;
        // The reminder list: in-use instruments due within the days, by
        // department in pinyin order (the blank one last), then date.
        const QStringList week{"计量室|D-3|-3", "计量室|D-2|7", "一车间|D-7|-1", "一车间|D-1|0", "|D-5|1"};
        const QStringList today{"计量室|D-3|-3", "一车间|D-7|-1", "一车间|D-1|0"};
        QTest::newRow("due within 7 days, the 7th included")
            << "due" << QStringList{"--due", "7", "--to", "%OUT%/到期.xlsx"} << 0
            << "已写入 5 台已经到期或 7 天内到期的计量器具到“%OUT%/到期.xlsx”。" << week;
        QTest::newRow("due today or earlier, csv")
            << "due" << QStringList{"--to", "%OUT%/d.csv", "--due", "0"} << 0 << "已写入 3 台" << today;
        QTest::newRow("due while another copy holds the folder")
            << "held" << QStringList{"--due", "0", "--to", "%OUT%/d.csv"} << 0 << "已写入 3 台" << none;
        QTest::newRow("due, no ledger") << "none" << QStringList{"--due", "7", "--to", "%OUT%/d.csv"} << 1
                                        << "找不到台帐数据库文件" << none;
        QTest::newRow("due, damaged ledger")
            << "damaged" << QStringList{"--due", "7", "--to", "%OUT%/d.csv"} << 1 << "数据库文件已损坏" << none;
        QTest::newRow("due, unwritable file") << "due" << QStringList{"--due", "7", "--to", "%OUT%/无此文件夹/d.xlsx"}
                                              << 1 << "到期设备清单没有写成" << none;
        QTest::newRow("due, days not a number") << "due" << QStringList{"--due", "一周", "--to", "%OUT%/d.csv"} << 2
                                                << "--due 后面应是 0 到 3650 之间的天数，而不是“一周”" << none;
        QTest::newRow("due, negative days")
            << "due" << QStringList{"--due", "-1", "--to", "%OUT%/d.csv"} << 2 << "而不是“-1”" << none;
        QTest::newRow("due without --to") << "due" << QStringList{"--due", "7"} << 2 << "缺少 --to" << none;
        QTest::newRow("due, other file type")
            << "due" << QStringList{"--due", "7", "--to", "%OUT%/d.txt"} << 2 << "只能写成 .xlsx 或 .csv 文件" << none;
        QTest::newRow("due and export together")
            << "due" << QStringList{"--due", "7", "--export", inUse, "--to", "%OUT%/d.csv"} << 2
            << "选项 --due 和 --export 不能同时给" << none;
        // --server is the windows' ledger; the jobs work on the folder's file.
        QTest::newRow("export with --server")
            << "filled" << QStringList{"--server", "host=h dbname=d user=u", "--export", inUse, "--to", "%OUT%/x.csv"}
            << 2 << "选项 --server 只用于启动程序" << none;
        QTest::newRow("help names --server") << "none" << QStringList{"--help"} << 0 << "--server \"host=" << none;
    }
    void commandLine()
    {
        QFETCH(QString, ledger);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QStringList, listed);
        Ledger filled;
        if (ledger == "due") {
            // Validity dates counted from today; one without, never listed.
            const QDate t = QDate::currentDate();
            const auto day = [&t](int days) { return t.addDays(days).toString("yyyy-MM-dd"); };
            QVERIFY(filled.db.executeNative("DELETE FROM 计量器具在用库").ok());
            const QList<QStringList> rows = {{"D-3", "计量室", day(-3)}, {"D-1", "一车间", day(0)},
                                             {"D-2", "计量室", day(7)},  {"D-4", "计量室", day(8)},
                                             {"D-5", "", day(1)},        {"D-6", "一车间", ""},
                                             {"D-7", " 一车间", day(-1)}};
            for (const QStringList& r : rows)
                QVERIFY(filled.db
                            .executeNative("INSERT INTO 计量器具在用库 (计量器具编号, 使用部门, 有效日期) VALUES (?, "
                                           "nullif(?, ''), nullif(?, ''))",
                                           {r[0], r[1], r[2]})
                            .ok());
        }
        filled.db.close();
        QTemporaryDir empty;
        QString appDir = filled.sandbox.appDir();
        if (ledger == "none")
            appDir = empty.path();
        if (ledger == "damaged") {
            QFile f(filled.sandbox.databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(4096, 'x'));
        }
        std::unique_ptr<InstanceLock> other;
        if (ledger == "held") {
            other = std::make_unique<InstanceLock>(appDir);
            QVERIFY(other->isLocked());
        }
        QTemporaryDir out;
        for (QString& a : args)
            a.replace("%OUT%", out.path());
        says.replace("%OUT%", out.path());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(env);
        program.start(RAVO_PROGRAM, QStringList{"--appdir", appDir} + args);
        QVERIFY(program.waitForFinished(30000));
        const QString stdOut = QString::fromUtf8(program.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == status, qPrintable(stdOut + stdErr));
        QVERIFY2((status == 0 ? stdOut : stdErr).contains(says), qPrintable(stdOut + stdErr));
        if (status == 2)
            QVERIFY(stdErr.contains("用法："));
        // Only a finished export leaves a file.
        const QStringList files = QDir(out.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), status == 0 && !args.contains("--help") ? 1 : 0);
        if (!listed.isEmpty()) {
            QStringList headers;
            QStringList written;
            for (const QStringList& row : readBack(out.filePath(files.value(0)), &headers))
                written << row.value(0) + '|' + row.value(1) + '|' + row.value(8);
            QCOMPARE(headers,
                     (QStringList{"使用部门", "计量器具编号", "计量器具名称", "规格型号", "出厂编号", "保管员",
                                  "存放地点", "有效日期", "距到期天数"}));
            QCOMPARE(written, listed);
        }
    }
};

QTEST_GUILESS_MAIN(ExportTest)
#include "tst_export.moc"
