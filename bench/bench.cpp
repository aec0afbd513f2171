// How fast the program is on ledgers of 1,000, 10,000 and 100,000
// instruments, next to the floor: the same statements run straight on
// SQLite in the same process.
//
//   ravo_bench [--sizes 1000,10000,100000] [--runs 5] [--out bench/results.md]
//
// Each size runs in a child process of its own, so its peak resident memory
// is its own. Ledgers are generated once into build/bench-ledgers/.
#include "SampleLedger.h"
#include "core/Database.h"
#include "core/Ledger.h"
#include "core/ProgramState.h"
#include "editors/frmOperation.h"
#include "mainwindow/frmMain.h"
#include "planning/frmOverDate.h"
#include "planning/frmProgram.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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
    load.ms = timeIt(
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
        });
    const QString wholeTable = raw.translate(QStringLiteral("select * into MSys检索临时表 from 计量器具在用库"));
    load.floorMs = timeIt(runs, {}, [&] {
        raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys检索临时表;"));
        raw.exec(wholeTable);
        raw.scalar(QStringLiteral("SELECT count(*) FROM MSys检索临时表"));
    });
    rows << load;

    // A quick-search pick on 使用部门.
    Row pick{QStringLiteral("快速检索：使用部门 = 计量室")};
    main->cboField->setCurrentText(QStringLiteral("使用部门"));
    main->cboField_Click();
    // Each pick replaces the whole table shown before it, as a user's first
    // pick does.
    pick.ms = timeIt(
        runs,
        [&] {
            main->cboField->setCurrentIndex(0);
            main->cboField_Click();
            main->cboField->setCurrentText(QStringLiteral("使用部门"));
            main->cboField_Click();
        },
        [&] {
            main->t_sqlselectfield = QStringLiteral("计量室");
            main->SQLQueryStar();
        });
    const QString picked = raw.translate(main->t_sqlappend);
    pick.floorMs = timeIt(
        runs,
        [&] {
            raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys检索临时表;"));
            raw.exec(wholeTable);
        },
        [&] {
            raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys检索临时表;"));
            raw.exec(picked);
        });
    rows << pick;
    main->cboField->setCurrentIndex(0);
    main->cboField_Click();

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

    // OK: the commit of the whole working copy.
    Row commit{QStringLiteral("编辑器确定（提交整个工作副本）")};
    commit.ms = timeIt(
        runs,
        [&] {
            op.reset();
            op = std::make_unique<frmOperation>(state);
            op->load();
            op->activate();
        },
        [&] { op->save(); });
    op.reset();
    const QString replaceAll = QStringLiteral("BEGIN;") + raw.translate(deleteAllStatement(tables::InUse))
        + raw.translate(insertAllStatement(tables::InUse, tables::working(tables::InUse))) + QStringLiteral("COMMIT;");
    commit.floorMs = timeIt(
        runs,
        [&] {
            raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys计量器具在用库;"));
            raw.exec(makeCopy);
        },
        [&] { raw.exec(replaceAll); });
    raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys计量器具在用库"));
    rows << commit;

    // Rebuilding the result at activation after an editor's OK.
    Row requery{QStringLiteral("编辑器关闭后重建检索结果")};
    requery.ms = timeIt(
        runs, [&] { state.RequeryOnActivate = true; }, [&] { main->activate(); });
    requery.floorMs = timeIt(runs, {}, [&] {
        raw.exec(QStringLiteral("DROP TABLE IF EXISTS MSys检索临时表;"));
        raw.exec(wholeTable);
    });
    rows << requery;

    // The due list (30 days ahead) and the plan for the next year, both made
    // from the whole in-use ledger shown in the grid.
    state.options.Advance = 2;
    state.options.AdvanceDay = 30;
    Row due{QStringLiteral("到期设备清单（提前 30 天）")};
    due.ms = timeIt(runs, {}, [&] {
        frmOverDate window(state);
        window.load();
        window.done(QDialog::Accepted);
    });
    const QString dueTable = raw.translate(dueListStatement(state.options, QDate::currentDate()));
    due.floorMs = timeIt(runs, {}, [&] {
        raw.exec(dueTable);
        raw.exec(QStringLiteral("DROP TABLE MSys待检或到期设备表;"));
    });
    rows << due;
    state.options.ProgramDateStar = QDate::currentDate();
    state.options.ProgramDateEnd = QDate::currentDate().addDays(365);
    Row plan{QStringLiteral("检定计划（一年）")};
    plan.ms = timeIt(runs, {}, [&] {
        frmProgram window(state);
        window.load();
        window.done(QDialog::Accepted);
    });
    const QString planTable = raw.translate(planStatement(QDate::currentDate(), QDate::currentDate().addDays(365)));
    plan.floorMs = timeIt(runs, {}, [&] {
        raw.exec(planTable);
        raw.exec(QStringLiteral("DROP TABLE MSys计划检定设备表;"));
    });
    rows << plan;

    main.reset();
    struct rusage usage { };
    getrusage(RUSAGE_SELF, &usage);
    QTextStream out(stdout);
    for (const Row& r : std::as_const(rows))
        out << "ROW\t" << r.operation << '\t' << r.ms << '\t' << r.floorMs << '\n';
    out << "RSS\t" << usage.ru_maxrss / 1024.0 << '\n';
    return 0;
}

QString fmt(double ms)
{
    return ms < 10 ? QString::number(ms, 'f', 2) : QString::number(ms, 'f', 0);
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

    const QString root = QDir(QApplication::applicationDirPath()).absolutePath();
    const QString schema = QStringLiteral(RAVO_SCHEMA_FILE);
    const QStringList sizes =
        arg(QStringLiteral("--sizes"), QStringLiteral("1000,10000,100000")).split(QLatin1Char(','));
    const QString outPath = arg(QStringLiteral("--out"), QStringLiteral(RAVO_BENCH_RESULTS));
    QDir().mkpath(root + QStringLiteral("/bench-ledgers"));

    QString report;
    QTextStream md(&report);
    QFile cpu(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpu.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromUtf8(cpu.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("model name"))) {
                model = line.section(QLatin1Char(':'), 1).trimmed();
                break;
            }
    md << "# RAVO speed on large ledgers\n\n"
       << "Machine: " << model << ", " << QThread::idealThreadCount() << " cores, " << QSysInfo::prettyProductName()
       << ", SQLite " << sqlite3_libversion() << ", Qt " << qVersion() << ".  \n"
       << "Median of " << runs << " runs (navigator step and find: " << runs * 10 << " runs), milliseconds. "
       << "Floor: the same statements run straight on SQLite in the same process. "
       << "Run `scripts/bench` to measure again.\n\n";

    for (const QString& s : sizes) {
        const int n = s.toInt();
        const QString ledger = root + QStringLiteral("/bench-ledgers/%1.mdb").arg(n);
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
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QStringLiteral("--ledger"), ledger, QStringLiteral("--runs"),
                     QString::number(n >= 100000 ? std::max(3, runs - 2) : runs)});
        child.waitForFinished(-1);
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        md << "## " << n << " instruments in use\n\n"
           << "| operation | RAVO | floor | ratio |\n|---|---:|---:|---:|\n";
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
            } else if (f.value(0) == QLatin1String("RSS")) {
                md << "\nPeak resident memory: " << QString::number(f.value(1).toDouble(), 'f', 0) << " MB\n\n";
            }
        }
        QTextStream(stdout) << "measured " << n << "\n";
    }
    md.flush();
    QTextStream(stdout) << report;
    QFile out(outPath);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(report.toUtf8());
    return 0;
}
