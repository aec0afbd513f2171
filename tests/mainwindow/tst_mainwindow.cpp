// The main window as the user works in it: the table list, the field list,
// the value list and the quick search, the requery after other windows, the
// layout rules and the shut-down.
#include "MainWindowTestKit.h"
#include "mainwindow/DistinctValuesModel.h"
#include "mainwindow/SplitterHandle.h"

#include <QAbstractItemModelTester>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QListView>
#include <QStatusBar>
#include <QTableView>

using namespace ravo;
using namespace ravo::test;

namespace {

const QString Whole = QStringLiteral("select * into MSys检索临时表 from ");
const QString RequeryMessage = QStringLiteral("查询语句错误，请检查你设置的查询条件！");

QStringList ledgerTables()
{
    return {tables::Environment,  tables::Scrapped, tables::Stock, tables::Sealed,
            tables::Confirmation, tables::Repair,   tables::InUse};
}

QStringList comboItems(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

int leftTw(const QWidget* w)
{
    return int(pixelsToTwips(w->x()));
}
int widthTw(const QWidget* w)
{
    return int(pixelsToTwips(w->width()));
}

} // namespace

// A run on a ledger on the test cluster: the window works as the account
// `role` (a superuser of the test's own, so that it needs no grants; its
// password is what a reconnection uses), `admin` is a colleague's session.
struct ServerRun : MainRun {
    Database admin;
    QString role;

    bool connect(const QStringList& statements)
    {
        const QString failure = openFreshServerLedger(admin);
        if (!failure.isEmpty()) {
            qWarning("%s", qPrintable(failure));
            return false;
        }
        role = QStringLiteral("main_") + admin.serverAddress().database;
        const QString r = quotedIdentifier(role);
        QStringList setUp = {QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') "
                                            "THEN CREATE ROLE %2; END IF; END$$")
                                 .arg(role, r),
                             QStringLiteral("ALTER ROLE %1 SUPERUSER LOGIN PASSWORD 'pw 1'").arg(r)};
        for (const QString& sql : setUp + statements)
            if (const DbResult done = admin.executeNative(sql); !done.ok()) {
                qWarning("%s", qPrintable(done.error.text()));
                return false;
            }
        ServerAddress a = admin.serverAddress();
        a.user = role;
        state.server = a;
        if (const DbError e = state.LedgerDatabase.openServer(a, QStringLiteral("pw 1"))) {
            qWarning("%s", qPrintable(e.text()));
            return false;
        }
        return true;
    }
    // Ends the window's session on the server, as a restarted server or a
    // cut network does.
    void cutOff()
    {
        QVERIFY(admin
                    .executeNative(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                  "WHERE usename = ?"),
                                   {role})
                    .ok());
    }
};

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void tableListShowsTheLedgerAndOpensOnTheInUseLedger_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("installed ledger") << QStringList{} << ledgerTables();
        QTest::newRow("working and temporary tables")
            << QStringList{"CREATE TABLE MSys检索临时表 (a)", "CREATE TABLE MSysObjects (a)",
                           "CREATE TABLE \"~TMPCLP1\" (a)", "CREATE TABLE \"~sq_cfrmMain\" (a)"}
            << ledgerTables();
        // A table of the user's own that sorts first moves the in-use ledger
        // off the seventh place; it is still the one chosen.
        QTest::newRow("a table of the user's own")
            << QStringList{"CREATE TABLE MSys检索临时表 (a)", "CREATE TABLE 备品备件库 (a)"}
            << QStringList{"备品备件库"} + ledgerTables();
    }
    void tableListShowsTheLedgerAndOpensOnTheInUseLedger()
    {
        QFETCH(QStringList, extra);
        QFETCH(QStringList, listed);
        MainRun run;
        run.prepare(extra + sampleInUse());
        QVERIFY(run.open());
        QCOMPARE(comboItems(run.window->cboDbase), listed);
        QCOMPARE(run.window->cboDbase->currentText(), tables::InUse);
        QCOMPARE(run.state.CurrentTable, tables::InUse);
        QCOMPARE(comboItems(run.window->cboField), QStringList{"全部"} + commonColumns());
        QCOMPARE(run.window->resultCount(), 4);
        QCOMPARE(run.count(tables::SearchResult), 4);
        QCOMPARE(run.window->panelText(1), QStringLiteral("共从数据库中检索到 4 条记录"));
        QCOMPARE(run.window->panelText(2), QStringLiteral("你好：系统管理员 欢迎你使用本软件！祝你工作愉快！"));
        QVERIFY(!run.window->panelText(3).isEmpty());
        QVERIFY(!run.window->panelText(4).isEmpty());
        QVERIFY(run.prompt.messages.isEmpty());
        // The options pass ran: the seeded saved query is there.
        QCOMPARE(run.state.SavedQueries.size(), 1);
    }

    void loadingWithoutLedgerFailsWithAReason()
    {
        MainRun run;
        QVERIFY(QFile::remove(run.sandbox.databasePath()));
        frmMain w(run.state);
        QVERIFY(!w.load());
        QCOMPARE(run.prompt.messages.size(), 1);
        QCOMPARE(run.prompt.messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(run.prompt.messages[0].text.contains(QStringLiteral("ravo.mdb")));
        QVERIFY(!QFile::exists(run.sandbox.databasePath()));
    }

    // A ledger without the in-use ledger, or one a newer program upgraded,
    // is not opened, and says why.
    void loadingALedgerItCannotUseFails_data()
    {
        QTest::addColumn<QStringList>("prepare");
        QTest::addColumn<QString>("reason");
        QTest::newRow("without its in-use ledger") << QStringList{"DROP TABLE 计量器具在用库"} << tables::InUse;
        QTest::newRow("of a newer program")
            << QStringList{"CREATE TABLE MSys架构 (版本 INTEGER NOT NULL, 升级时间 TEXT NOT NULL)",
                           "INSERT INTO MSys架构 VALUES (99, '2030-01-01 00:00:00')"}
            << "较新版本";
    }
    void loadingALedgerItCannotUseFails()
    {
        QFETCH(QStringList, prepare);
        QFETCH(QString, reason);
        MainRun run;
        run.prepare(prepare);
        frmMain w(run.state);
        QVERIFY(!w.load());
        QCOMPARE(run.prompt.messages.size(), 1);
        QVERIFY2(run.prompt.messages[0].text.contains(reason), qPrintable(run.prompt.messages[0].text));
    }

    void tableSelectionShowsTheWholeTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::newRow("stock") << tables::Stock << 3;
        QTest::newRow("sealed") << tables::Sealed << 1;
        QTest::newRow("environment, empty") << tables::Environment << 0;
        QTest::newRow("back to in use") << tables::InUse << 4;
    }
    void tableSelectionShowsTheWholeTable()
    {
        QFETCH(QString, table);
        QFETCH(int, rows);
        MainRun run;
        run.prepare(
            sampleInUse()
            + QStringList{
                "INSERT INTO 计量器具待发放库 (计量器具名称, 库存数量) VALUES ('游标卡尺', 5), ('温度计', 5), ('压力表', NULL)",
                "INSERT INTO 计量器具封存库 (计量器具编号, 封存日期) VALUES ('S-1', '2025-06-30')"});
        QVERIFY(run.open());
        run.state.QuerySQL = QStringLiteral("select * into MSys检索临时表 from 计量器具在用库");
        run.chooseField(QStringLiteral("使用部门"));
        QVERIFY(run.window->dblSort->model()->rowCount() > 0);

        run.chooseTable(table);
        QCOMPARE(run.state.CurrentTable, table);
        QCOMPARE(comboItems(run.window->cboField), QStringList{"全部"} + run.db().columns(table));
        QCOMPARE(run.window->cboField->currentText(), QStringLiteral("全部"));
        QCOMPARE(run.window->dblSort->model()->rowCount(), 0);
        QCOMPARE(run.window->resultCount(), rows);
        QCOMPARE(run.window->result().fields(), run.db().columns(table));
        QCOMPARE(run.window->panelText(1), QStringLiteral("共从数据库中检索到 %1 条记录").arg(rows));
        // Browsing a table leaves the wizard's statement alone.
        QCOMPARE(run.state.QuerySQL, QStringLiteral("select * into MSys检索临时表 from 计量器具在用库"));
    }

    void quickSearch_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("where"); // what follows "… from T where "
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("refused");

        QTest::newRow("text") << tables::InUse << "使用部门"
                              << "一车间"
                              << "使用部门 = \"一车间\"" << 2 << false;
        QTest::newRow("text with a single quote") << tables::InUse << "计量器具名称"
                                                  << "O'Brien卡尺"
                                                  << "计量器具名称 = \"O'Brien卡尺\"" << 1 << false;
        QTest::newRow("text with a double quote") << tables::InUse << "计量器具名称"
                                                  << "卡尺\"A\""
                                                  << "计量器具名称 = \"卡尺\"\"A\"\"\"" << 1 << false;
        QTest::newRow("text, empty line") << tables::InUse << "使用部门"
                                          << ""
                                          << "使用部门 = null" << 0 << false;
        QTest::newRow("date") << tables::InUse << "检定日期"
                              << "2026-01-05"
                              << "检定日期 = #2026-01-05#" << 2 << false;
        QTest::newRow("date, leap day") << tables::InUse << "检定日期"
                                        << "2024-02-29"
                                        << "检定日期 = #2024-02-29#" << 1 << false;
        QTest::newRow("date, empty line") << tables::InUse << "检定日期"
                                          << ""
                                          << "检定日期 = null" << 0 << false;
        QTest::newRow("number") << tables::Stock << "库存数量"
                                << "5"
                                << "库存数量 = 5" << 2 << false;
        // The empty line of a number column makes a statement the engine
        // refuses: the user is told, and the whole table comes back.
        QTest::newRow("number, empty line") << tables::Stock << "库存数量"
                                            << ""
                                            << "库存数量 = " << 3 << true;
        QTest::newRow("time") << tables::Environment << "时间"
                              << "08:30:00"
                              << "时间 = #08:30:00#" << 1 << false;
    }
    void quickSearch()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, where);
        QFETCH(int, rows);
        QFETCH(bool, refused);
        MainRun run;
        run.prepare(
            sampleInUse()
            + QStringList{
                inUseRow("L-006", "O'Brien卡尺", "三车间"),
                "INSERT INTO 计量器具待发放库 (计量器具名称, 库存数量) VALUES ('游标卡尺', 5), ('温度计', 5), ('压力表', NULL)",
                "INSERT INTO 环境状况记录库 (日期, 时间, 环境温度) VALUES ('2026-03-01', '08:30:00', '20'), ('2026-03-01', '14:00:00', '21')"});
        QVERIFY(run.open());
        run.chooseTable(table);
        const int whole = run.window->resultCount();
        run.chooseField(field);

        auto* values = qobject_cast<DistinctValuesModel*>(run.window->dblSort->model());
        QVERIFY(values);
        int line = -1;
        for (int i = 0; i < values->rowCount(); ++i)
            if (values->valueAt(i) == value)
                line = i;
        QVERIFY2(line >= 0, "the value is not offered in the value list");

        run.window->dblSort_Click(line);
        const QString statement = Whole + table + QStringLiteral(" where ") + where;
        QCOMPARE(run.window->t_sqlselectfield, value);
        QCOMPARE(run.window->t_sqlappend, statement);
        if (refused) {
            QCOMPARE(run.prompt.messages.size(), 1);
            QCOMPARE(run.prompt.messages[0].icon, Prompter::Icon::Critical);
            QVERIFY(run.prompt.messages[0].text.contains(field));
            QCOMPARE(run.window->resultCount(), whole);
        } else {
            QVERIFY(run.prompt.messages.isEmpty());
            QCOMPARE(run.db().scratchText(), statement);
            QCOMPARE(run.window->resultCount(), rows);
        }
        QCOMPARE(run.count(tables::SearchResult), run.window->resultCount());
        QCOMPARE(run.window->panelText(1),
                 QStringLiteral("共从数据库中检索到 %1 条记录").arg(run.window->resultCount()));
        // The value list still offers the whole table's values.
        QCOMPARE(values->rowCount() > 0, true);
        // "全部" shows the whole table again and empties the value list.
        run.chooseField(QStringLiteral("全部"));
        QCOMPARE(run.window->resultCount(), whole);
        QCOMPARE(values->rowCount(), 0);
    }

    void pickingBesideTheListDoesNothing()
    {
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.chooseField(QStringLiteral("使用部门"));
        const QString before = run.db().scratchText();
        run.window->dblSort_Click(-1);
        run.window->dblSort_Click(run.window->dblSort->model()->rowCount());
        QCOMPARE(run.db().scratchText(), before);
        QCOMPARE(run.window->resultCount(), 4);
    }

    void requery_data()
    {
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QString>("querySql");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("failed");
        const int all = int(commonColumns().size());
        QTest::newRow("flag not set") << false << QString() << 4 << all << false;
        QTest::newRow("whole table") << true << QString() << 5 << all << false;
        QTest::newRow("wizard statement")
            << true
            << "select 计量器具编号,使用部门 into MSys检索临时表 from 计量器具在用库 where 使用部门 = \"一车间\"" << 3
            << 2 << false;
        QTest::newRow("statement the engine refuses")
            << true << "select * into MSys检索临时表 from 计量器具在用库 where 没有这个字段 = 1" << 5 << all << true;
        QTest::newRow("statement into another table")
            << true << "select * into 别的表 from 计量器具在用库" << 5 << all << true;
    }
    void requery()
    {
        QFETCH(bool, flag);
        QFETCH(QString, querySql);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(bool, failed);
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        // An editor saved a new row and asks for the result to be rebuilt.
        QVERIFY(run.db().executeNative(inUseRow("L-005", "千分尺", "一车间")).ok());
        run.state.QuerySQL = querySql;
        run.state.RequeryOnActivate = flag;
        run.state.EditorMode = ActiveWindow::InUseEditor;
        run.window->activate();

        QCOMPARE(run.state.EditorMode, ActiveWindow::Main);
        QCOMPARE(run.state.RequeryOnActivate, false);
        QCOMPARE(run.window->resultCount(), rows);
        QCOMPARE(run.window->result().fields().size(), columns);
        QCOMPARE(run.count(tables::SearchResult), rows);
        QCOMPARE(run.state.QuerySQL, querySql);
        if (failed) {
            QCOMPARE(run.prompt.messages.size(), 1);
            QCOMPARE(run.prompt.messages[0].text, RequeryMessage);
            QCOMPARE(run.prompt.messages[0].icon, Prompter::Icon::None);
            QCOMPARE(run.prompt.messages[0].buttons, Prompter::Buttons::Ok);
        } else {
            QVERIFY(run.prompt.messages.isEmpty());
            if (flag)
                QCOMPARE(run.db().scratchText(), querySql.isEmpty() ? Whole + tables::InUse : querySql);
        }
        // A second activation has nothing to do.
        run.window->activate();
        QCOMPARE(run.prompt.messages.size(), failed ? 1 : 0);
    }

    void dueListShowsOnceWhenTheReminderIsOn()
    {
        MainRun run;
        QVERIFY(run.open());
        QSignalSpy opened(run.window->commands, &MainCommands::windowRequested);
        run.state.options.Awoke = false;
        run.window->activate();
        QCOMPARE(opened.count(), 0);
        // Switched on later (options dialog): shown at the next activation.
        run.state.options.Awoke = true;
        run.window->activate();
        run.window->activate();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QStringLiteral("frmOverDate"));
        QCOMPARE(run.window->NoShow, false);
    }

    void splitterDrag_data()
    {
        QTest::addColumn<int>("pointer");   // twips from the window's left edge
        QTest::addColumn<int>("bar");       // where the grey bar stands
        QTest::addColumn<int>("navigator"); // the navigator's width afterwards
        // W is 15000 twips.
        QTest::newRow("middle") << 4005 << 4005 << 4005;
        QTest::newRow("near the left edge") << 600 << 600 << 800;
        QTest::newRow("past the left edge") << 0 << 500 << 800;
        QTest::newRow("near the right edge") << 14400 << 14400 << 14200;
        QTest::newRow("past the right edge") << 20000 << 14500 << 14200;
    }
    void splitterDrag()
    {
        QFETCH(int, pointer);
        QFETCH(int, bar);
        QFETCH(int, navigator);
        MainRun run;
        QVERIFY(run.open());
        frmMain& w = *run.window;
        QCOMPARE(w.clientWidthTwips(), 15000);
        w.SizeControls(2400);
        const int left = leftTw(w.imgSplitter);
        w.imgSplitter_MouseDown();
        QVERIFY(w.SplitterMoving);
        QVERIFY(w.picSplitter->isVisible());
        w.imgSplitter_MouseMove(pointer - left);
        QCOMPARE(leftTw(w.picSplitter), int(pixelsToTwips(twipsToPixels(bar))));
        // The grid stays where it was during the drag.
        QCOMPARE(leftTw(w.DBGridListBook), int(pixelsToTwips(twipsToPixels(2440))));
        w.imgSplitter_MouseUp();
        QVERIFY(!w.SplitterMoving);
        QVERIFY(!w.picSplitter->isVisible());
        QCOMPARE(widthTw(w.dblSort), int(pixelsToTwips(twipsToPixels(navigator))));
        QCOMPARE(widthTw(w.cboDbase), widthTw(w.dblSort));
        QCOMPARE(widthTw(w.lblTitle[0]), widthTw(w.dblSort));
        QVERIFY(leftTw(w.DBGridListBook) >= widthTw(w.dblSort));
        QVERIFY(leftTw(w.DBGridListBook) + widthTw(w.DBGridListBook) <= 15000);
        // A later resize keeps the chosen width.
        w.resize(w.width() + 50, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(widthTw(w.dblSort), int(pixelsToTwips(twipsToPixels(navigator))));
    }

    void sizeControlsClampsAndTheWindowKeepsItsLeastWidth()
    {
        MainRun run;
        QVERIFY(run.open());
        frmMain& w = *run.window;
        QCOMPARE(w.SizeControls(100), 800);
        QCOMPARE(w.SizeControls(20000), 14200);
        QCOMPARE(w.SizeControls(3000), 3000);
        // The value list and the grid reach down to the status bar.
        QCOMPARE(w.dblSort->geometry().bottom(), w.centralWidget()->height() - 1);
        QCOMPARE(w.DBGridListBook->geometry().bottom(), w.centralWidget()->height() - 1);
        w.resize(50, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), twipsToPixels(3000));
    }

    // From the default size up the record counter is read whole; the
    // greeting, the date and the time give way first.
    void counterReadWhole_data()
    {
        QTest::addColumn<int>("widthTw"); // 0: no stored placement
        QTest::addColumn<bool>("allWhole");
        QTest::newRow("default placement, 6500 twips") << 0 << false;
        QTest::newRow("9000 twips") << 9000 << false;
        QTest::newRow("15000 twips") << 15000 << true;
    }
    void counterReadWhole()
    {
        QFETCH(int, widthTw);
        QFETCH(bool, allWhole);
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open(widthTw));
        frmMain& w = *run.window;
        if (widthTw == 0)
            QCOMPARE(w.width(), twipsToPixels(6500));
        for (int i = 1; i <= 4; ++i) {
            auto* panel = w.sbStatusBar->findChild<QLabel*>(QStringLiteral("sbStatusBar.Panels(%1)").arg(i));
            QVERIFY(panel);
            const bool whole = panel->isVisible() && panel->width() >= panel->sizeHint().width()
                && panel->mapTo(w.sbStatusBar, QPoint(panel->width(), 0)).x() <= w.sbStatusBar->width();
            if (i == 1 || allWhole)
                QVERIFY2(whole,
                         qPrintable(QStringLiteral("panel %1: %2 of %3 px")
                                        .arg(i)
                                        .arg(panel->width())
                                        .arg(panel->sizeHint().width())));
        }
    }

    void selfHidingNavigator()
    {
        MainRun run;
        QVERIFY(run.open());
        frmMain& w = *run.window;
        w.SizeControls(2400);
        w.activate(); // docked
        QVERIFY(!w.NavHidden);
        w.MoveNav(1000); // "Nav" is off: nothing moves
        QVERIFY(!w.NavHidden);

        run.state.options.Nav = true;
        // The pointer over the grid pushes the navigator away.
        QMouseEvent move(QEvent::MouseMove, QPointF(200, 40), QPointF(200, 40), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(w.DBGridListBook->viewport(), &move);
        QVERIFY(w.NavHidden);
        QCOMPARE(w.DBGridListBook->x(), 0);
        QCOMPARE(w.DBGridListBook->width(), w.centralWidget()->width());
        QCOMPARE(w.lblTitle[1]->x(), 0);
        QVERIFY(w.dblSort->geometry().right() < 0);
        QVERIFY(w.cboDbase->geometry().right() < 0);
        // Only the left 50 twips bring it back.
        w.MoveNav(60);
        QVERIFY(w.NavHidden);
        w.MoveNav(30);
        QVERIFY(!w.NavHidden);
        QCOMPARE(w.dblSort->x(), 0);
        QCOMPARE(leftTw(w.DBGridListBook), widthTw(w.dblSort) + 60);
        QVERIFY(w.imgSplitter->x() < 0); // no dragging while it floats
        // The pointer over the grid once more.
        w.MoveNav(3000);
        QVERIFY(w.NavHidden);
        // Switched off again: the next activation docks it.
        run.state.options.Nav = false;
        w.activate();
        QVERIFY(!w.NavHidden);
        QCOMPARE(w.dblSort->x(), 0);
        QCOMPARE(leftTw(w.DBGridListBook), widthTw(w.dblSort) + 60);
    }

    void shutDown_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("OK") << true;
        QTest::newRow("cancel") << false;
    }
    void shutDown()
    {
        QFETCH(bool, confirmed);
        MainRun run(1);
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.prepare({"CREATE TABLE MSys计量器具在用库 (a)", "CREATE TABLE MSys计划检定设备表 (a)",
                     "CREATE TABLE MSys待检或到期设备表 (a)"});
        run.window->move(100, 80);
        QCoreApplication::processEvents();
        run.prompt.answers << (confirmed ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
        QVERIFY(run.window->close() == confirmed);
        QCOMPARE(run.prompt.messages.size(), 1);
        QCOMPARE(run.prompt.messages[0].text, QStringLiteral("你确认要退出本系统吗？"));
        QCOMPARE(run.prompt.messages[0].icon, Prompter::Icon::Question);
        QCOMPARE(run.prompt.messages[0].buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(run.db().isOpen(), !confirmed);
        const QString oldUser = run.state.settings.read(SettingsStore::MainApp, "Settings", "OldUser");
        QCOMPARE(oldUser, confirmed ? QStringLiteral("1") : QString());
        if (!confirmed)
            return;
        QCOMPARE(run.state.settings.read(SettingsStore::MainApp, "WindowsSettings", "MainWidth"),
                 QStringLiteral("15000"));
        Database after;
        QVERIFY(!after.open(run.sandbox.databasePath()));
        QVERIFY(after.tableExists(tables::SearchResult));
        QVERIFY(!after.tableExists(QStringLiteral("MSys计量器具在用库")));
        QVERIFY(!after.tableExists(tables::Plan));
        QVERIFY(!after.tableExists(tables::DueList));
    }

    void valueListOrder()
    {
        MainRun run;
        run.prepare({inUseRow("1", "a", "三车间"), inUseRow("2", "a", "二车间"), inUseRow("3", "a", "一车间"),
                     inUseRow("4", "a", ""), inUseRow("5", "a", "二车间"), inUseRow("6", "a", "Abc")});
        QVERIFY(run.open());
        DistinctValuesModel model(run.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.setSource(tables::InUse, QStringLiteral("使用部门")));
        QStringList values;
        for (int i = 0; i < model.rowCount(); ++i)
            values << model.data(model.index(i)).toString();
        // The empty value first, then pinyin order (èr, sān, yī), Latin after Han.
        QCOMPARE(values, (QStringList{"", "二车间", "三车间", "一车间", "Abc"}));
        QVERIFY(!model.setSource(tables::InUse, QStringLiteral("没有这个字段")));
        QCOMPARE(model.rowCount(), 0);
    }

    void longValueListIsReadLazily()
    {
        MainRun run;
        QVERIFY(run.open());
        const int n = DistinctValuesModel::EagerLimit + 300;
        QVERIFY(run.db()
                    .executeNative(
                        QStringLiteral("WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1) "
                                       "INSERT INTO 计量器具在用库 (计量器具编号) SELECT printf('N%06d', i) FROM k")
                            .arg(n))
                    .ok());
        DistinctValuesModel model(run.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.setSource(tables::InUse, NumberColumn));
        QCOMPARE(model.rowCount(), n);
        QCOMPARE(model.valueAt(0), QStringLiteral("N000001"));
        QCOMPARE(model.valueAt(n - 1), QStringLiteral("N%1").arg(n, 6, 10, QLatin1Char('0')));
        QCOMPARE(model.valueAt(300), QStringLiteral("N000301"));
        QCOMPARE(model.valueAt(n), QString());
    }

    // On a server ledger the title names it, and a colleague's change of
    // the table shown is told in the status bar until the next requery,
    // which shows it; this session's own changes and other tables' are not
    // told.
    void colleaguesChanges_data()
    {
        QTest::addColumn<bool>("colleague");
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("told");
        QTest::newRow("colleague, table shown") << true << tables::InUse << true;
        QTest::newRow("colleague, another table") << true << tables::Sealed << false;
        QTest::newRow("this session") << false << tables::InUse << false;
    }
    void colleaguesChanges()
    {
        QFETCH(bool, colleague);
        QFETCH(QString, table);
        QFETCH(bool, told);
        ServerRun run;
        QVERIFY(run.connect(sampleInUse()));
        QVERIFY(run.open());
        QCOMPARE(run.window->windowTitle(),
                 QStringLiteral("RAVO — 服务器 %1@%2/%3")
                     .arg(run.role, run.admin.serverAddress().host, run.admin.serverAddress().database));
        QCOMPARE(run.window->resultCount(), 4);
        const QString greeting = run.window->panelText(2);
        Database& writer = colleague ? run.admin : run.db();
        QVERIFY(writer
                    .executeNative(table == tables::InUse ? inUseRow("N-005", "千分尺", "三车间")
                                                          : QStringLiteral("INSERT INTO 计量器具封存库 (计量器具编号) "
                                                                           "VALUES ('S-1')"))
                    .ok());
        QVERIFY(writer.executeNative(QStringLiteral("NOTIFY ravo_changed, '%1'").arg(table)).ok());
        if (told) {
            QTRY_VERIFY(!run.window->colleagueNotice().isEmpty());
            QCOMPARE(run.window->panelText(2), QStringLiteral("其他用户修改了《计量器具在用库》，刷新（F5）即可看到"));
            QCOMPARE(run.window->sbStatusBar->findChild<QLabel*>("sbStatusBar.Panels(2)")->toolTip(),
                     run.window->panelText(2));
            QCOMPARE(run.window->resultCount(), 4); // shown at the next requery, not before
        } else {
            QTest::qWait(300);
            QCOMPARE(run.window->colleagueNotice(), QString());
            QCOMPARE(run.window->panelText(2), greeting);
        }
        run.window->commands->mnuRecordRefresh->trigger();
        QCOMPARE(run.window->colleagueNotice(), QString());
        QCOMPARE(run.window->panelText(2), greeting);
        QCOMPARE(run.window->resultCount(), table == tables::InUse ? 5 : 4);
        QVERIFY(run.prompt.messages.isEmpty());
    }

    // A lost server connection is made again by the next action: the result
    // is rebuilt, the windows open at the loss are named in one message, and
    // while the server refuses the action is not done and is told once.
    void reconnect_data()
    {
        QTest::addColumn<bool>("windowOpen");
        QTest::addColumn<bool>("refused");
        QTest::newRow("nothing open") << false << false;
        QTest::newRow("an editor open at the loss") << true << false;
        QTest::newRow("server refuses at first") << false << true;
    }
    void reconnect()
    {
        QFETCH(bool, windowOpen);
        QFETCH(bool, refused);
        ServerRun run;
        QVERIFY(run.connect(sampleInUse()));
        QVERIFY(run.open());
        run.chooseField(QStringLiteral("使用部门"));
        run.window->t_sqlselectfield = QStringLiteral("一车间");
        QVERIFY(run.window->SQLQueryStar());
        QCOMPARE(run.window->resultCount(), 2);
        const QString role = quotedIdentifier(run.role);
        if (refused)
            QVERIFY(run.admin.executeNative(QStringLiteral("ALTER ROLE %1 NOLOGIN").arg(role)).ok());
        run.cutOff();
        if (windowOpen) {
            // The editor's own statement meets the loss while it is open.
            QDialog editor(run.window.get());
            editor.setWindowTitle(QStringLiteral("在用计量器具台帐"));
            editor.show();
            QCOMPARE(run.db().execute(QStringLiteral("delete from 计量器具在用库")).error.kind,
                     DbError::Kind::LostConnection);
        }
        QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
        run.window->commands->tbToolBar_ButtonClick(QStringLiteral("查询向导"));
        if (refused) {
            QCOMPARE(spy.size(), 0);
            QCOMPARE(run.prompt.messages.size(), 1);
            QVERIFY2(
                run.prompt.messages.at(0).text.contains(QStringLiteral("下一次操作（刷新、打开窗口）时程序会再次连接")),
                qPrintable(run.prompt.messages.at(0).text));
            QCOMPARE(run.prompt.messages.at(0).icon, Prompter::Icon::Critical);
            QVERIFY(run.admin.executeNative(QStringLiteral("ALTER ROLE %1 LOGIN").arg(role)).ok());
            run.prompt.messages.clear();
            run.window->commands->tbToolBar_ButtonClick(QStringLiteral("查询向导"));
        }
        QCOMPARE(spy.size(), 1);
        QVERIFY(!run.db().connectionLost());
        // The result of the quick search, rebuilt in the new session.
        QCOMPARE(run.window->resultCount(), 2);
        QCOMPARE(run.count(tables::InUse), 4);
        if (windowOpen) {
            QCOMPARE(run.prompt.messages.size(), 1);
            QVERIFY2(run.prompt.messages.at(0).text.contains(QStringLiteral("《在用计量器具台帐》")),
                     qPrintable(run.prompt.messages.at(0).text));
        } else {
            QCOMPARE(run.prompt.messages.size(), 0);
            QVERIFY2(run.window->panelText(2).contains(QStringLiteral("重新连接")),
                     qPrintable(run.window->panelText(2)));
        }
        // Colleagues are listened to again on the new session.
        QVERIFY(run.admin.executeNative(QStringLiteral("NOTIFY ravo_changed, '计量器具在用库'")).ok());
        QTRY_VERIFY(!run.window->colleagueNotice().isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
