// How fast the program is on ledgers of 1,000, 10,000 and 100,000
// instruments (and, when asked, 1,000,000), next to the floor: the same
// statements run straight on SQLite in the same process.
//
//   ravo_bench [--sizes 1000,10000,100000] [--runs 5] [--out bench/results.md]
//              [--ledgers DIR]
//
// Each size runs in a child process of its own, so its peak resident memory
// is its own; the Excel import and export run in a second one, so that their
// peak is measured apart from the windows'. Ledgers are generated once into
// DIR (build/bench/bench-ledgers/ unless told). The sections of sizes not
// measured in this run are kept from the results file as they were.
#include "SampleLedger.h"
#include "core/Database.h"
#include "core/Ledger.h"
#include "core/LedgerSchema.h"
#include "core/ProgramState.h"
#include "core/WorkingCopy.h"
#include "editors/frmCertificate.h"
#include "editors/frmOperation.h"
#include "exchange/Export.h"
#include "exchange/ImportCommand.h"
#include "mainwindow/frmMain.h"
#include "planning/frmOverDate.h"
#include "planning/frmProgram.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <functional>
#include <sqlite3.h>
#include <sys/resource.h>
#include <vector>

using namespace ravo;

namespace {

// Answers every question with OK, as a user who confirms.
class ConfirmingPrompter : public Prompter {
public:
    Answer message(const QString&, const QString&, Icon, Buttons b) override
    {
        return b == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString& d) override { return d; }
    void beep() override { }
};

double medianMs(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

// Times fn over runs (after the setup of each run, which is not timed).
double timeIt(int runs, const std::function<void()>& setup, const std::function<void()>& fn)
{
    QVector<double> t;
    for (int i = 0; i < runs; ++i) {
        if (setup)
            setup();
        QElapsedTimer clock;
        clock.start();
        fn();
        t << clock.nsecsElapsed() / 1e6;
    }
    return medianMs(t);
}

// Times the program's work and its floor in turns, run for run (each after
// its untimed setup), so that a change in the machine's load while they run
// (the disk's write-back of the large tables above all) falls on both alike.
// The medians of the program and of the floor.
std::pair<double, double> timeInTurns(int runs, const std::function<void()>& setup, const std::function<void()>& fn,
                                      const std::function<void()>& floorSetup, const std::function<void()>& floorFn)
{
    QVector<double> program, floor;
    for (int i = 0; i < runs; ++i) {
        program << timeIt(1, setup, fn);
        floor << timeIt(1, floorSetup, floorFn);
    }
    return {medianMs(program), medianMs(floor)};
}

// Runs SQL straight on SQLite: the floor. Statements of the old dialect are
// translated first (outside the timing where it matters little), so the floor
// runs exactly the SQLite statements the program runs.
class Raw {
public:
    explicit Raw(const QString& path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        if (m_catalogue.open(path))
            qFatal("the benchmark ledger cannot be opened: %s", qPrintable(path));
    }
    // Translates statements of the old dialect.
    QString translate(const QString& jet) const
    {
        const Translation t = translateJet(jet, m_catalogue);
        if (!t.ok())
            qWarning("floor statement not translated: %s", qPrintable(t.error));
        return t.statements.join(QStringLiteral(";\n")) + QLatin1Char(';');
    }
    ~Raw() { sqlite3_close(m_db); }
    void exec(const QString& sql) const
    {
        char* err = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            qWarning("floor statement failed: %s", err);
            sqlite3_free(err);
        }
    }
    // Drops a working table as the program does: without wiping the freed
    // pages (the engine may be built to wipe them by default).
    void drop(const QString& table) const
    {
        exec(QStringLiteral("PRAGMA secure_delete = FAST; DROP TABLE IF EXISTS %1; PRAGMA secure_delete = %2;")
                 .arg(table)
                 .arg(scalar(QStringLiteral("PRAGMA secure_delete"))));
    }
    qint64 scalar(const QString& sql) const
    {
        sqlite3_stmt* st = nullptr;
        qint64 v = -1;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    }
    // Steps through every row of a query and reads every column in its own
    // type; the number of rows.
    qint64 readAll(const QString& sql) const
    {
        sqlite3_stmt* st = nullptr;
        qint64 rows = 0;
        qint64 bytes = 0;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qWarning("floor query failed: %s", sqlite3_errmsg(m_db));
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0, n = sqlite3_column_count(st); c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    bytes += sqlite3_column_int64(st, c) & 1;
                    break;
                case SQLITE_FLOAT:
                    bytes += sqlite3_column_double(st, c) > 0;
                    break;
                case SQLITE_NULL:
                    break;
                default:
                    if (const unsigned char* t = sqlite3_column_text(st, c))
                        bytes += t[0] + sqlite3_column_bytes(st, c);
                }
            }
            ++rows;
        }
        sqlite3_finalize(st);
        return bytes >= 0 ? rows : -1; // bytes is only there so that the reads are not dropped
    }

    // The rows of a table held in memory, each value in the type SQLite
    // stores it with, ready to be bound.
    struct Value {
        int type = SQLITE_NULL;
        qint64 integer = 0;
        double real = 0;
        QByteArray text;
    };
    struct Rows {
        QStringList columns;
        std::vector<std::vector<Value>> values;
    };
    Rows load(const QString& table) const
    {
        Rows rows;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, QStringLiteral("SELECT * FROM %1").arg(table).toUtf8().constData(), -1, &st, nullptr);
        const int n = sqlite3_column_count(st);
        for (int c = 0; c < n; ++c)
            rows.columns << QString::fromUtf8(sqlite3_column_name(st, c));
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<Value> row(n);
            for (int c = 0; c < n; ++c) {
                Value& v = row[c];
                v.type = sqlite3_column_type(st, c);
                if (v.type == SQLITE_INTEGER)
                    v.integer = sqlite3_column_int64(st, c);
                else if (v.type == SQLITE_FLOAT)
                    v.real = sqlite3_column_double(st, c);
                else if (v.type != SQLITE_NULL)
                    v.text = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                        sqlite3_column_bytes(st, c));
            }
            rows.values.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        return rows;
    }
    // Inserts rows held in memory in one transaction with one prepared
    // statement.
    void insertAll(const QString& table, const Rows& rows) const
    {
        QStringList marks;
        for (int c = 0; c < rows.columns.size(); ++c)
            marks << QStringLiteral("?");
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table, rows.columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        exec(QStringLiteral("BEGIN;"));
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qWarning("floor insert failed: %s", sqlite3_errmsg(m_db));
        for (const std::vector<Value>& row : rows.values) {
            for (int c = 0; c < int(row.size()); ++c) {
                const Value& v = row[c];
                if (v.type == SQLITE_INTEGER)
                    sqlite3_bind_int64(st, c + 1, v.integer);
                else if (v.type == SQLITE_FLOAT)
                    sqlite3_bind_double(st, c + 1, v.real);
                else if (v.type == SQLITE_NULL)
                    sqlite3_bind_null(st, c + 1);
                else
                    sqlite3_bind_text(st, c + 1, v.text.constData(), int(v.text.size()), SQLITE_STATIC);
            }
            if (sqlite3_step(st) != SQLITE_DONE)
                qWarning("floor insert failed: %s", sqlite3_errmsg(m_db));
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        exec(QStringLiteral("COMMIT;"));
    }

private:
    sqlite3* m_db = nullptr;
    Database m_catalogue;
};

struct Row {
    QString operation;
    double ms = 0;
    double floorMs = -1; // -1: no floor (a single-row operation), -2: not yet built
};

int runOneSize(const QString& ledger, int runs)
{
    QTemporaryDir app;
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const QString db = app.path() + QStringLiteral("/ravo.mdb");
    QFile::copy(ledger, db);

    ConfirmingPrompter prompter;
    ProgramState state(app.path(), prompter);
    UserAccount admin;
    admin.Name = QStringLiteral("系统管理员");
    state.UserList = {admin};
    state.UserEditList = state.UserList;
    state.UserCount = 1;
    state.CurrentUser = 1;

    Raw raw(db);
    QVector<Row> rows;
    const qint64 n = raw.scalar(QStringLiteral("SELECT count(*) FROM 计量器具在用库"));

    // Loading the main window until the in-use ledger shows its true count.
    std::unique_ptr<frmMain> main;
    Row load{QStringLiteral("主窗口加载（显示在用台帐及总数）")};
    const QString wholeTable = raw.translate(QStringLiteral("select * into MSys检索临时表 from 计量器具在用库"));
    std::tie(load.ms, load.floorMs) = timeInTurns(
        runs,
        [&] {
            main.reset();
            state.LedgerDatabase.close();
        },
        [&] {
            main = std::make_unique<frmMain>(state);
            main->load();
            main->show();
            if (main->resultCount() != n)
                qWarning("main window shows %d of %lld rows", main->resultCount(), n);
        },
        {},
        [&] {
            raw.drop(QStringLiteral("MSys检索临时表"));
            raw.exec(wholeTable);
            raw.scalar(QStringLiteral("SELECT count(*) FROM MSys检索临时表"));
        });
    rows << load;

    // A quick-search pick on 使用部门. Each pick replaces the whole table
    // shown before it, as a user's first pick does.
    Row pick{QStringLiteral("快速检索：使用部门 = 计量室")};
    const auto showWhole = [&] {
        main->cboField->setCurrentIndex(0);
        main->cboField_Click();
        main->cboField->setCurrentText(QStringLiteral("使用部门"));
        main->cboField_Click();
    };
    const auto pickValue = [&] {
        main->t_sqlselectfield = QStringLiteral("计量室");
        main->SQLQueryStar();
    };
    // One pick untimed, for the statement the floor runs.
    showWhole();
    pickValue();
    const QString picked = raw.translate(main->t_sqlappend);
    std::tie(pick.ms, pick.floorMs) = timeInTurns(
        runs, showWhole, pickValue,
        [&] {
            raw.drop(QStringLiteral("MSys检索临时表"));
            raw.exec(wholeTable);
        },
        [&] {
            raw.drop(QStringLiteral("MSys检索临时表"));
            raw.exec(picked);
        });
    rows << pick;
    main->cboField->setCurrentIndex(0);
    main->cboField_Click();
    // The main window's own peak: loading and searching, before any editor
    // makes its working copy.
    struct rusage mainUsage { };
    getrusage(RUSAGE_SELF, &mainUsage);

    // Opening the in-use editor on an instrument near the first row.
    QSqlQuery q(state.LedgerDatabase.connection());
    q.exec(QStringLiteral("SELECT 计量器具编号 FROM 计量器具在用库 ORDER BY 计量器具编号 LIMIT 1 OFFSET 3"));
    q.next();
    state.SelectedNumber = q.value(0).toString();
    q.finish();
    std::unique_ptr<frmOperation> op;
    Row open{QStringLiteral("打开在用台帐编辑器并定位到所选编号")};
    open.ms = timeIt(
        runs, [&] { op.reset(); },
        [&] {
            op = std::make_unique<frmOperation>(state);
            op->load();
            op->activate();
        });
    const QString makeCopy =
        raw.translate(QStringLiteral("select * into MSys计量器具在用库 from 计量器具在用库 order by 计量器具编号;"));
    open.floorMs = timeIt(runs, {}, [&] {
        raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys计量器具在用库;"));
        raw.exec(makeCopy);
        raw.scalar(
            QStringLiteral("SELECT rowid FROM MSys计量器具在用库 WHERE 计量器具编号 = '%1'").arg(state.SelectedNumber));
    });
    rows << open;

    // Single-row work inside the editor: a navigator step and a find.
    Row step{QStringLiteral("编辑器导航：下一条")};
    step.ms = timeIt(runs * 10, {}, [&] { op->Data1->moveNext(); });
    rows << step;
    Row find{QStringLiteral("编辑器查找编号")};
    find.ms = timeIt(runs * 10, {},
                     [&] { op->Data1->recordset().findFirst(QStringLiteral("计量器具编号"), state.SelectedNumber); });
    rows << find;

    // One scrap: the move of the current instrument.
    Row scrap{QStringLiteral("报废一台计量器具")};
    scrap.ms = timeIt(
        runs, [&] { op->Data1->recordset().moveLast(); }, [&] { op->scrap(); });
    int k = 0;
    QString move;
    scrap.floorMs = timeIt(
        runs,
        [&] {
            const QString num = QStringLiteral("FLOOR-%1").arg(++k);
            raw.exec(QStringLiteral("INSERT INTO MSys计量器具在用库 (计量器具编号) VALUES ('%1');").arg(num));
            move = QStringLiteral("BEGIN;");
            for (const QString& jet : moveStatements(Move::InUseToScrapped, num, QDate::currentDate()))
                move += raw.translate(jet);
            move +=
                raw.translate(QStringLiteral("delete MSys计量器具在用库.* from MSys计量器具在用库 where 计量器具编号= ")
                              + quoted(num))
                + QStringLiteral("COMMIT;");
        },
        [&] { raw.exec(move); });
    rows << scrap;

    // OK after ten rows were edited, spread over the ledger: only they are
    // written. The floor updates the same ten ledger rows in one transaction.
    // Measured on the ledger as it was made, then once more with the change
    // history, which each OK then adds to in its transaction.
    constexpr int Edited = 10;
    auto measureOk = [&](Row& commit, Row& write) {
        commit.ms = timeIt(
            runs,
            [&] {
                op.reset();
                op = std::make_unique<frmOperation>(state);
                op->load();
                op->activate();
                Recordset& rs = op->Data1->recordset();
                for (int i = 0; i < Edited; ++i) {
                    rs.setAbsolutePosition(int(qint64(rs.recordCount()) * i / Edited));
                    rs.setValue(QStringLiteral("存放地点"), QStringLiteral("库房%1").arg(i));
                    if (const DbError e = rs.update())
                        qWarning("edit before OK refused: %s", qPrintable(e.text()));
                }
            },
            [&] { op->save(); });
        // The same OK's writing alone, without closing the window (which
        // drops the working copy).
        write.ms = timeIt(
            runs,
            [&] {
                op.reset();
                op = std::make_unique<frmOperation>(state);
                op->load();
                Recordset& rs = op->Data1->recordset();
                for (int i = 0; i < Edited; ++i) {
                    rs.setAbsolutePosition(int(qint64(rs.recordCount()) * i / Edited));
                    rs.setValue(QStringLiteral("存放地点"), QStringLiteral("库房%1").arg(i + 1));
                    if (const DbError e = rs.update())
                        qWarning("edit before OK refused: %s", qPrintable(e.text()));
                }
            },
            [&] {
                const QString w = tables::working(tables::InUse);
                if (const DbError e = commitTrackedWorkingTable(state.LedgerDatabase, tables::InUse, w,
                                                                insertAllStatement(tables::InUse, w)))
                    qWarning("OK's write failed: %s", qPrintable(e.text()));
            });
        op.reset();
    };
    // The confirmation records opened from the main window (all of them):
    // on the file its OK replaces every record by the copy. One record
    // changed. The floor is that replace made straight on SQLite.
    auto measureRecords = [&](Row& row) {
        std::unique_ptr<frmCertificate> records;
        state.options.CertificateUpdatesLedger = false;
        int turn = 0;
        row.ms = timeIt(
            runs,
            [&] {
                records.reset();
                state.EditorMode = ActiveWindow::Main;
                records = std::make_unique<frmCertificate>(state);
                records->load();
                Recordset& rs = records->Data1->recordset();
                rs.setAbsolutePosition(rs.recordCount() / 2);
                rs.setValue(QStringLiteral("送检单位"), QStringLiteral("送检单位%1").arg(++turn));
                if (const DbError e = rs.update())
                    qWarning("edit before OK refused: %s", qPrintable(e.text()));
            },
            [&] { records->save(); });
        records.reset();
    };
    Row commit{QStringLiteral("编辑器确定（改动 10 条记录）")};
    Row write{QStringLiteral("其中写入台帐（不含关闭窗口、删除工作副本）")};
    measureOk(commit, write);
    Row recordsOk{QStringLiteral("确认记录编辑器（全部记录）确定，改动 1 条")};
    measureRecords(recordsOk);
    Row commitWithHistory{QStringLiteral("编辑器确定（改动 10 条记录），记入变更履历")};
    Row writeWithHistory{QStringLiteral("其中写入台帐及变更履历")};
    if (const DbError e = upgradeLedgerSchema(state.LedgerDatabase))
        qWarning("the ledger could not take the change history: %s", qPrintable(e.text()));
    state.LedgerDatabase.setAccount(QStringLiteral("系统管理员"));
    measureOk(commitWithHistory, writeWithHistory);
    Row recordsOkWithHistory{QStringLiteral("确认记录编辑器（全部记录）确定，改动 1 条，记入变更履历")};
    measureRecords(recordsOkWithHistory);
    qInfo("change history rows written by the OKs: %lld",
          raw.scalar(QStringLiteral("SELECT count(*) FROM \"MSys履历\"")));
    QStringList editedRows;
    const qint64 inUseNow = raw.scalar(QStringLiteral("SELECT count(*) FROM 计量器具在用库"));
    for (int i = 0; i < Edited; ++i)
        editedRows << QString::number(
            raw.scalar(QStringLiteral("SELECT rowid FROM 计量器具在用库 ORDER BY 计量器具编号 LIMIT 1 OFFSET %1")
                           .arg(inUseNow * i / Edited)));
    const QString writeTen =
        QStringLiteral(
            "BEGIN; UPDATE 计量器具在用库 SET 存放地点 = '库房' || (rowid % 10) WHERE rowid IN (%1); COMMIT;")
            .arg(editedRows.join(QLatin1Char(',')));
    commit.floorMs = write.floorMs = commitWithHistory.floorMs = writeWithHistory.floorMs =
        timeIt(runs, {}, [&] { raw.exec(writeTen); });
    rows << commit << write << commitWithHistory << writeWithHistory;
    raw.exec(QStringLiteral("CREATE TABLE 确认记录副本 AS SELECT * FROM 计量器具确认记录库"));
    recordsOk.floorMs = recordsOkWithHistory.floorMs = timeIt(runs, {}, [&] {
        raw.exec(QStringLiteral("BEGIN; DELETE FROM 计量器具确认记录库; INSERT INTO 计量器具确认记录库 SELECT * FROM "
                                "确认记录副本; COMMIT;"));
    });
    raw.drop(QStringLiteral("确认记录副本"));
    rows << recordsOk << recordsOkWithHistory;

    // Rebuilding the result at activation after an editor's OK.
    Row requery{QStringLiteral("编辑器关闭后重建检索结果")};
    std::tie(requery.ms, requery.floorMs) = timeInTurns(
        runs, [&] { state.RequeryOnActivate = true; }, [&] { main->activate(); }, {},
        [&] {
            raw.drop(QStringLiteral("MSys检索临时表"));
            raw.exec(wholeTable);
        });
    rows << requery;

    // The due list (30 days ahead) and the plan for the next year, both made
    // from the whole in-use ledger shown in the grid.
    state.options.Advance = 2;
    state.options.AdvanceDay = 30;
    Row due{QStringLiteral("到期设备清单（提前 30 天）")};
    const QString dueTable = raw.translate(dueListStatement(state.options, QDate::currentDate()));
    std::tie(due.ms, due.floorMs) = timeInTurns(
        runs, {},
        [&] {
            frmOverDate window(state);
            window.load();
            window.done(QDialog::Accepted);
        },
        {},
        [&] {
            raw.exec(dueTable);
            raw.drop(QStringLiteral("MSys待检或到期设备表"));
        });
    rows << due;
    state.options.ProgramDateStar = QDate::currentDate();
    state.options.ProgramDateEnd = QDate::currentDate().addDays(365);
    Row plan{QStringLiteral("检定计划（一年）")};
    const QString planTable = raw.translate(planStatement(QDate::currentDate(), QDate::currentDate().addDays(365)));
    std::tie(plan.ms, plan.floorMs) = timeInTurns(
        runs, {},
        [&] {
            frmProgram window(state);
            window.load();
            window.done(QDialog::Accepted);
        },
        {},
        [&] {
            raw.exec(planTable);
            raw.drop(QStringLiteral("MSys计划检定设备表"));
        });
    rows << plan;

    main.reset();
    struct rusage usage { };
    getrusage(RUSAGE_SELF, &usage);
    QTextStream out(stdout);
    for (const Row& r : std::as_const(rows))
        out << "ROW\t" << r.operation << '\t' << r.ms << '\t' << r.floorMs << '\n';
    out << "RSS\t" << usage.ru_maxrss / 1024.0 << '\n';
    out << "RSSM\t" << mainUsage.ru_maxrss / 1024.0 << '\n';
    return 0;
}

// The Excel export and import of the whole in-use ledger, in a process of
// their own so that their peak resident memory is not the windows'.
int runExchange(const QString& ledger, int runs)
{
    QTemporaryDir app;
    const QString db = app.path() + QStringLiteral("/ravo.mdb");
    QFile::copy(ledger, db);
    QFile(db).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Raw raw(db);
    const qint64 n = raw.scalar(QStringLiteral("SELECT count(*) FROM 计量器具在用库"));
    QVector<Row> rows;

    // The file to import is the program's own export of the ledger, made
    // once before anything is timed.
    const QString source = app.path() + QStringLiteral("/在用台帐.xlsx");
    const QString exported = app.path() + QStringLiteral("/导出.xlsx");
    Row out{QStringLiteral("导出 Excel 文件（全部在用台帐）")};
    {
        Database ledgerDb;
        if (const DbError e = ledgerDb.open(db))
            qFatal("%s", qPrintable(e.text()));
        const exchange::ExportResult prepared = exchange::exportTable(ledgerDb, tables::InUse, source, tables::InUse);
        if (!prepared.ok() || prepared.rows != n)
            qFatal("the file to import was not made: %s", qPrintable(prepared.error));
        out.ms = timeIt(
            runs, [&] { QFile::remove(exported); },
            [&] {
                const exchange::ExportResult r =
                    exchange::exportTable(ledgerDb, tables::InUse, exported, tables::InUse);
                if (!r.ok() || r.rows != n)
                    qWarning("export wrote %lld of %lld rows: %s", r.rows, n, qPrintable(r.error));
            });
    }

    // The whole import job as the command line runs it: reading the file,
    // finding the header row, mapping, checking every row and the write in
    // one transaction, into an emptied in-use ledger.
    Row in{QStringLiteral("导入 Excel 文件到空的在用台帐（含读文件、校验）")};
    const auto emptyInUse = [&] { raw.exec(QStringLiteral("DELETE FROM 计量器具在用库;")); };
    const auto imported = [&] {
        const qint64 count = raw.scalar(QStringLiteral("SELECT count(*) FROM 计量器具在用库"));
        if (count != n)
            qWarning("import left %lld of %lld rows", count, n);
    };
    bool first = true;
    in.ms = timeIt(
        runs,
        [&] {
            if (!first)
                imported();
            first = false;
            emptyInUse();
        },
        [&] {
            QString said, complaints;
            QTextStream o(&said), e(&complaints);
            if (exchange::runImportJob(app.path(), source, tables::InUse, false, {}, o, e) != exchange::ImportDone)
                qWarning("import failed: %s", qPrintable(complaints.left(500)));
        });
    imported();

    // The peak of the program's own work, before the floor's rows are loaded.
    struct rusage usage { };
    getrusage(RUSAGE_SELF, &usage);
    const double peakMb = usage.ru_maxrss / 1024.0;

    // The floors: the same rows read (export) and the same rows, already in
    // memory as the program stored them, inserted (import).
    out.floorMs = timeIt(runs, {}, [&] {
        if (raw.readAll(QStringLiteral("SELECT * FROM 计量器具在用库")) != n)
            qWarning("floor read fewer rows");
    });
    const Raw::Rows stored = raw.load(tables::InUse);
    in.floorMs = timeIt(runs, emptyInUse, [&] { raw.insertAll(tables::InUse, stored); });
    imported();
    rows << in << out;

    QTextStream stdOut(stdout);
    for (const Row& r : std::as_const(rows))
        stdOut << "ROW\t" << r.operation << '\t' << r.ms << '\t' << r.floorMs << '\n';
    stdOut << "RSSX\t" << peakMb << '\n';
    return 0;
}

QString fmt(double ms)
{
    return ms < 10 ? QString::number(ms, 'f', 2) : QString::number(ms, 'f', 0);
}

// From this size on the Excel import and export are left out: the import's
// floor holds every row in memory (several gigabytes at a million rows).
constexpr int ExchangeLimit = 100000;

// Fewer repetitions on the large ledgers, where one run of the editor's OK
// takes seconds.
int runsFor(int instruments, int runs)
{
    if (instruments >= 1000000)
        return std::clamp(runs, 1, 3);
    return instruments >= 100000 ? std::max(3, runs - 2) : runs;
}

// The sections of an earlier results file, by their number of instruments.
QMap<int, QString> earlierSections(const QString& path)
{
    QMap<int, QString> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    static const QRegularExpression heading(QStringLiteral(R"(^## (\d+) instruments in use$)"),
                                            QRegularExpression::MultilineOption);
    const QString text = QString::fromUtf8(file.readAll());
    QRegularExpressionMatchIterator it = heading.globalMatch(text);
    QVector<QRegularExpressionMatch> found;
    while (it.hasNext())
        found << it.next();
    for (int i = 0; i < found.size(); ++i) {
        const qsizetype end = i + 1 < found.size() ? found.at(i + 1).capturedStart() : text.size();
        sections.insert(found.at(i).captured(1).toInt(),
                        text.mid(found.at(i).capturedStart(), end - found.at(i).capturedStart()));
    }
    return sections;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto arg = [&](const QString& name, const QString& def) {
        const int i = int(args.indexOf(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : def;
    };
    const int runs = arg(QStringLiteral("--runs"), QStringLiteral("5")).toInt();
    if (args.contains(QStringLiteral("--child")))
        return runOneSize(arg(QStringLiteral("--ledger"), {}), runs);
    if (args.contains(QStringLiteral("--exchange")))
        return runExchange(arg(QStringLiteral("--ledger"), {}), runs);

    const QString root = QDir(QApplication::applicationDirPath()).absolutePath();
    const QString schema = QStringLiteral(RAVO_SCHEMA_FILE);
    const QStringList sizes =
        arg(QStringLiteral("--sizes"), QStringLiteral("1000,10000,100000")).split(QLatin1Char(','));
    const QString outPath = arg(QStringLiteral("--out"), QStringLiteral(RAVO_BENCH_RESULTS));
    const QString ledgers = arg(QStringLiteral("--ledgers"), root + QStringLiteral("/bench-ledgers"));
    QDir().mkpath(ledgers);
    QMap<int, QString> sections = earlierSections(outPath);

    QString report;
    QTextStream doc(&report);
    QFile cpu(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpu.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromUtf8(cpu.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("model name"))) {
                model = line.section(QLatin1Char(':'), 1).trimmed();
                break;
            }
    doc << "# RAVO speed on large ledgers\n\n"
        << "Machine: " << model << ", " << QThread::idealThreadCount() << " cores, " << QSysInfo::prettyProductName()
        << ", SQLite " << sqlite3_libversion() << ", Qt " << qVersion() << ".  \n"
        << "Median of " << runs << " runs (" << runsFor(100000, runs)
        << " from 100,000 instruments on; navigator step and find: ten times as many), milliseconds. "
        << "Floor: the same statements run straight on SQLite in the same process. "
        << "Excel import: RAVO's time is the whole import job as the command line runs it (reading the .xlsx file, "
        << "finding the header row, mapping, checking every row, writing in one transaction) into an emptied in-use "
        << "ledger; its floor is the same rows, already in memory, inserted with one prepared INSERT in one "
        << "transaction. Excel export: the floor only reads the same rows (every column of every row); writing the "
        << ".xlsx file has no counterpart in SQLite, so that ratio is the cost of the file. "
        << "Run `scripts/bench` to measure again.\n\n";

    for (const QString& s : sizes) {
        const int n = s.toInt();
        const QString ledger = ledgers + QStringLiteral("/%1.mdb").arg(n);
        if (!QFile::exists(ledger)) {
            QFile schemaFile(schema);
            schemaFile.open(QIODevice::ReadOnly);
            if (const DbError e = Database::createFromSchema(ledger, QString::fromUtf8(schemaFile.readAll()))) {
                qCritical("%s", qPrintable(e.text()));
                return 1;
            }
            sample::SampleSize size;
            size.inUse = n;
            const QString failure = sample::fillSampleLedger(ledger, size, QDate::currentDate());
            if (!failure.isEmpty()) {
                qCritical("%s", qPrintable(failure));
                return 1;
            }
        }
        QStringList lines;
        QStringList modes{QStringLiteral("--child")};
        if (n <= ExchangeLimit)
            modes << QStringLiteral("--exchange");
        for (const QString& mode : std::as_const(modes)) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QApplication::applicationFilePath(),
                        {mode, QStringLiteral("--ledger"), ledger, QStringLiteral("--runs"),
                         QString::number(runsFor(n, runs))});
            child.waitForFinished(-1);
            lines << QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        }
        QString memory;
        QString section;
        QTextStream md(&section);
        md << "## " << n << " instruments in use\n\n";
        if (n > ExchangeLimit)
            md << "Median of " << runsFor(n, runs) << " runs. The Excel import and export are left out at this size "
               << "(the import's floor holds every row in memory).\n\n";
        md << "| operation | RAVO | floor | ratio |\n|---|---:|---:|---:|\n";
        for (const QString& line : lines) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (f.value(0) == QLatin1String("ROW")) {
                const double ms = f.value(2).toDouble();
                const double floor = f.value(3).toDouble();
                if (floor == -2)
                    md << "| " << f.value(1) << " | not yet | | |\n";
                else if (floor < 0)
                    md << "| " << f.value(1) << " | " << fmt(ms) << " | — | single row |\n";
                else
                    md << "| " << f.value(1) << " | " << fmt(ms) << " | " << fmt(floor) << " | "
                       << QString::number(floor > 0 ? ms / floor : 0, 'f', 2) << "× |\n";
            } else if (f.value(0) == QLatin1String("RSSM") && n > ExchangeLimit) {
                memory += QStringLiteral("Peak resident memory of the main window (loading and quick search, before "
                                         "any editor opens): %1 MB  \n")
                              .arg(f.value(1).toDouble(), 0, 'f', 0);
            } else if (f.value(0) == QLatin1String("RSS")) {
                memory += QStringLiteral("Peak resident memory: %1 MB  \n").arg(f.value(1).toDouble(), 0, 'f', 0);
            } else if (f.value(0) == QLatin1String("RSSX")) {
                memory += QStringLiteral("Peak resident memory of the Excel export and import (a process of their "
                                         "own, floors left out): %1 MB  \n")
                              .arg(f.value(1).toDouble(), 0, 'f', 0);
            }
        }
        md << '\n' << memory << '\n';
        md.flush();
        sections.insert(n, section);
        QTextStream(stdout) << "measured " << n << "\n";
    }
    for (const QString& section : std::as_const(sections))
        doc << section;
    doc.flush();
    QTextStream(stdout) << report;
    QFile out(outPath);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(report.toUtf8());
    return 0;
}
