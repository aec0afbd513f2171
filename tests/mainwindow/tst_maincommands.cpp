// The main window's commands: the ledger check, the rights of the three
// levels on the menu and the toolbar, the grid's current cell handed to the
// editors, the keys, the exit, the password change, the help and the change
// history's whole log.
#include "MainWindowTestKit.h"
#include "ModalKit.h"
#include "core/PasswordHash.h"
#include "exchange/Spreadsheet.h"
#include "platform/DatePicker.h"
#include "platform/HelpWindow.h"
#include "platform/HistoryWindow.h"
#include "platform/LabelPrint.h"
#include "query/frmQuery.h"
#include "users/frmLogin.h"
#include "users/frmPassword.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QTextBlock>

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

using namespace ravo;
using namespace ravo::test;

namespace {

const QString LedgerOnly = QStringLiteral(
    "对不起！只有检索结果来自于《计量器具在用库》或《计量器具封存库》以及《计量器具报废库》才能使用此项功能！");

const char* const EditorEntries[] = {"mnuEditCondition", "mnuEditWait",   "mnuEditEquipment", "mnuEditClose",
                                     "mnuEditReject",    "mnuEditReport", "mnuEditRepair"};

QStringList requested(const QSignalSpy& spy)
{
    QStringList names;
    for (const QList<QVariant>& call : spy)
        names << call.at(0).toString();
    return names;
}

// The anchor `name` stands inside the part of the page the browser shows.
bool anchorInView(const QTextBrowser* browser, const QString& name)
{
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name)) {
                const QRectF rect = browser->document()->documentLayout()->blockBoundingRect(block);
                const qreal top = rect.top() - browser->verticalScrollBar()->value();
                return top + rect.height() > 0 && top < browser->viewport()->height();
            }
    return false;
}

} // namespace

class MainCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setPasswordHashCost(PasswordHashCost::Minimum); }

    void ledgerCheck_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("command"); // toolbar key or menu entry
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("allowed");
        const QVector<QPair<QString, bool>> tablesAndRights = {
            {tables::InUse, true},   {tables::Sealed, true},        {tables::Scrapped, true},    {tables::Stock, false},
            {tables::Repair, false}, {tables::Confirmation, false}, {tables::Environment, false}};
        const QVector<QPair<QString, QString>> commands = {
            {"到期设备", "frmOverDate"},     {"检定计划", "frmPlanSetup"},
            {"打印台帐", "ReportCaption"},   {"mnuEditOverDate", "frmOverDate"},
            {"mnuEditPlan", "frmPlanSetup"}, {"mnuRecordPrintList", "ReportCaption"}};
        for (const auto& [table, allowed] : tablesAndRights)
            for (const auto& [command, window] : commands)
                QTest::addRow("%s %s", qPrintable(command), qPrintable(table)) << table << command << window << allowed;
    }
    void ledgerCheck()
    {
        QFETCH(QString, table);
        QFETCH(QString, command);
        QFETCH(QString, window);
        QFETCH(bool, allowed);
        MainRun run;
        QVERIFY(run.open());
        run.chooseTable(table);
        QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
        if (command.startsWith(QLatin1String("mnu"))) {
            auto* entry = run.window->findChild<QAction*>(command);
            QVERIFY(entry);
            entry->trigger();
        } else {
            run.window->commands->toolbarButton(command)->trigger();
        }
        QCOMPARE(requested(spy), allowed ? QStringList{window} : QStringList{});
        QCOMPARE(run.prompt.messages.size(), allowed ? 0 : 1);
        if (!allowed) {
            QCOMPARE(run.prompt.messages[0].text, LedgerOnly);
            QCOMPARE(run.prompt.messages[0].icon, Prompter::Icon::Critical);
        }
    }

    void levelRights_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("editors");
        QTest::addColumn<bool>("userManagement");
        QTest::addColumn<int>("restricted");
        QTest::newRow("0 系统管理员") << 0 << true << true << 0;
        QTest::newRow("1 计量管理员") << 1 << true << false << 0;
        QTest::newRow("2 计量器具保管员") << 2 << false << false << 2;
        QTest::newRow("an unknown level restricts nothing") << 7 << true << true << 0;
    }
    void levelRights()
    {
        QFETCH(int, level);
        QFETCH(bool, editors);
        QFETCH(bool, userManagement);
        QFETCH(int, restricted);
        MainRun run(level);
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        QCOMPARE(run.state.RestrictedLevel, qint16(restricted));
        for (const char* name : EditorEntries) {
            auto* entry = run.window->findChild<QAction*>(QLatin1String(name));
            QVERIFY2(entry, name);
            QVERIFY2(entry->isEnabled() == editors, name);
            QVERIFY2(entry->isVisible(), name);
        }
        QCOMPARE(run.window->commands->mnuRecordImport->isEnabled(), editors);
        QCOMPARE(run.window->commands->mnuSystemUserManage->isEnabled(), userManagement);
        QVERIFY(run.window->commands->mnuSystemPassword->isEnabled());
        QVERIFY(run.window->commands->mnuRecordQuery->isEnabled());

        // The toolbar: level 2 is ignored on the seven editor buttons, the
        // ledger buttons still take the grid's cell; the rest always works.
        run.window->DBGridListBook->setCurrentIndex(run.window->DBGridListBook->model()->index(2, 0));
        const QVector<QPair<QString, QString>> editorButtons = {
            {"环境记录", "frmCondition"}, {"待发放库", "frmWaitProvide"}, {"在用库", "frmOperation"},
            {"封存库", "frmClose"},       {"报废库", "frmReject"},        {"确认记录", "frmCertificate"},
            {"修理记录", "frmRepair"}};
        for (const auto& [key, window] : editorButtons) {
            QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
            run.state.SelectedNumber = QStringLiteral("before");
            run.window->commands->tbToolBar_ButtonClick(key);
            QCOMPARE(requested(spy), restricted == 2 ? QStringList{} : QStringList{window});
            const bool takesCell = key == "在用库" || key == "封存库" || key == "报废库";
            QCOMPARE(run.state.SelectedNumber, takesCell ? QStringLiteral("T-003") : QStringLiteral("before"));
        }
        QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
        run.window->commands->tbToolBar_ButtonClick(QStringLiteral("查询向导"));
        run.window->commands->tbToolBar_ButtonClick(QStringLiteral("系统选项"));
        run.window->commands->tbToolBar_ButtonClick(QStringLiteral("到期设备"));
        run.window->commands->tbToolBar_ButtonClick(QStringLiteral("没有这个按钮"));
        QCOMPARE(requested(spy), (QStringList{"frmQuery", "frmOptions", "frmOverDate"}));
    }

    // Each entry of a menu is reached by a letter of its own.
    void accessKeysDifferWithinEachMenu()
    {
        MainRun run;
        QVERIFY(run.open());
        for (QMenu* menu : run.window->menuBar()->findChildren<QMenu*>()) {
            QStringList keys;
            for (QAction* a : menu->actions()) {
                const qsizetype amp = a->text().indexOf(u'&');
                if (a->isSeparator() || amp < 0)
                    continue;
                const QString key = a->text().mid(amp + 1, 1).toUpper();
                QVERIFY2(!keys.contains(key), qPrintable(menu->title() + QStringLiteral(": ") + a->text()));
                keys << key;
            }
        }
    }

    void toolbarHasItsFourteenButtons()
    {
        MainRun run;
        QVERIFY(run.open());
        int shown = 0;
        for (QAction* a : run.window->tbToolBar->actions()) {
            if (a->isSeparator())
                continue;
            QCOMPARE(a->data().toString(), MainCommands::toolbarKeys().at(shown));
            QVERIFY2(!a->icon().isNull(), qPrintable(a->data().toString()));
            QVERIFY(!a->toolTip().isEmpty());
            ++shown;
        }
        QCOMPARE(shown, 14);
    }

    void selectedNumberIsTheCurrentCell_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number of the second row") << 1 << 0 << "L-002";
        QTest::newRow("the last row") << 3 << 0 << "E-004";
        QTest::newRow("a cell of another column") << 0 << 3 << "游标卡尺";
        QTest::newRow("a cell of the last row") << 3 << 3 << "万用表";
        QTest::newRow("an empty cell") << 3 << 21 << "";
        QTest::newRow("no current cell") << -1 << -1 << "kept";
    }
    void selectedNumberIsTheCurrentCell()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, expected);
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        QTableView* grid = run.window->DBGridListBook;
        grid->setCurrentIndex(row < 0 ? QModelIndex() : grid->model()->index(row, column));
        run.state.SelectedNumber = QStringLiteral("kept");
        QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
        run.window->commands->mnuEditEquipment->trigger();
        QCOMPARE(run.state.SelectedNumber, expected);
        // The editor opens all the same.
        QCOMPARE(requested(spy), QStringList{"frmOperation"});
    }

    void shortcutsReachTheirCommands_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("window");
        QTest::newRow("Ctrl+F") << int(Qt::Key_F) << "frmQuery";
        QTest::newRow("Ctrl+S") << int(Qt::Key_S) << "frmOperation";
        QTest::newRow("Ctrl+C over the grid") << int(Qt::Key_C) << "frmCondition";
        QTest::newRow("Ctrl+I") << int(Qt::Key_I) << "frmOptions";
        QTest::newRow("Ctrl+A over the grid") << int(Qt::Key_A) << "frmAbout";
    }
    void shortcutsReachTheirCommands()
    {
        QFETCH(int, key);
        QFETCH(QString, window);
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        QApplication::setActiveWindow(run.window.get());
        QVERIFY(QTest::qWaitForWindowActive(run.window.get()));
        run.window->DBGridListBook->setFocus();
        QSignalSpy spy(run.window->commands, &MainCommands::windowRequested);
        QTest::keyClick(run.window->DBGridListBook, Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(requested(spy), QStringList{window});
    }

    void exitAsksFirst_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("menu 退出(&Q)") << "mnuRecordQuit";
        QTest::newRow("toolbar 退出系统") << "退出系统";
    }
    void exitAsksFirst()
    {
        QFETCH(QString, command);
        MainRun run;
        QVERIFY(run.open());
        auto run_ = [&] {
            if (command.startsWith(QLatin1String("mnu")))
                run.window->findChild<QAction*>(command)->trigger();
            else
                run.window->commands->tbToolBar_ButtonClick(command);
        };
        run.prompt.answers << Prompter::Answer::Cancel;
        run_();
        QVERIFY(run.window->isVisible());
        QVERIFY(run.db().isOpen());
        run_(); // answered OK
        QVERIFY(!run.window->isVisible());
        QVERIFY(!run.db().isOpen());
        QCOMPARE(run.prompt.messages.size(), 2);
        QCOMPARE(run.prompt.messages[1].text, QStringLiteral("你确认要退出本系统吗？"));
    }

    void passwordChangeKeepsTheNewPassword_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("new password") << true;
        QTest::newRow("cancelled") << false;
    }
    void passwordChangeKeepsTheNewPassword()
    {
        QFETCH(bool, confirm);
        MainRun run(1); // 张三, account 2
        QVERIFY(run.open());
        run.window->commands->setOpensWindows(true);
        QTimer::singleShot(0, run.window.get(), [confirm] {
            auto* dialog = qobject_cast<frmPassword*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTimer::singleShot(5000, dialog, [dialog] { dialog->done(-1); });
            dialog->txtPassword1->setText(QStringLiteral("新密码9"));
            dialog->txtPassword2->setText(QStringLiteral("新密码9"));
            if (confirm)
                dialog->cmdOk->click();
            else
                dialog->cmdCancle->click();
        });
        run.window->commands->mnuSystemPassword->trigger();
        const QString stored =
            run.state.settings.read(SettingsStore::MainApp, QStringLiteral("2"), QStringLiteral("Password"));
        QCOMPARE(passwordMatches(run.state.UserList[1].Password, QStringLiteral("新密码9")), confirm);
        QCOMPARE(passwordMatches(stored, QStringLiteral("新密码9")), confirm);
        QCOMPARE(run.state.UserList[0].Password, QString());
    }

    void wizardStatementReachesTheGrid()
    {
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.window->commands->setOpensWindows(true);
        QTimer::singleShot(0, run.window.get(), [] {
            auto* wizard = qobject_cast<frmQuery*>(QApplication::activeModalWidget());
            QVERIFY(wizard);
            QTimer::singleShot(5000, wizard, [wizard] { wizard->done(-1); });
            wizard->cboQuerySave->setCurrentIndex(wizard->cboQuerySave->findText(QStringLiteral("常用查询1")));
            wizard->cmdQuery->click();
        });
        // Back from the wizard, the main window runs its statement.
        run.window->commands->mnuRecordQuery->trigger();
        QVERIFY(!run.state.RequeryOnActivate);
        // The seeded query: five columns of the in-use ledger, by number.
        QCOMPARE(run.window->result().fields(),
                 (QStringList{"计量器具编号", "计量器具名称", "规格型号", "法制管理类别", "使用部门"}));
        QCOMPARE(run.window->resultCount(), 4);
        QCOMPARE(run.window->currentCellText(), std::nullopt);
        QCOMPARE(run.db().scratchText(), run.state.QuerySQL);
        QVERIFY(run.prompt.messages.isEmpty());
    }

    // 记录 → 导出 writes what the grid shows, in its order, for every level,
    // or, chosen in the file question, the whole table the grid comes from;
    // a cancelled file question writes nothing.
    void exportWritesTheGrid_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("chooseFile");
        QTest::addColumn<int>("choice"); // -1: left as offered
        QTest::addColumn<QStringList>("firstTwoColumns");
        const QStringList grid = {"计量器具编号|检定日期", "T-003|2026-01-05", "L-002|2024-02-29", "L-001|2026-01-05",
                                  "E-004|"};
        QTest::newRow("系统管理员") << 0 << true << -1 << grid;
        QTest::newRow("计量器具保管员") << 2 << true << -1 << grid;
        QTest::newRow("what the grid shows, chosen") << 0 << true << 0 << grid;
        QTest::newRow("the whole table") << 0 << true << 1
                                         << QStringList{"计量器具编号|计量器具类别", "L-001|", "L-002|", "T-003|",
                                                        "E-004|"};
        QTest::newRow("file question cancelled") << 0 << false << -1 << QStringList();
    }
    void exportWritesTheGrid()
    {
        QFETCH(int, level);
        QFETCH(bool, chooseFile);
        QFETCH(int, choice);
        QFETCH(QStringList, firstTwoColumns);
        MainRun run(level);
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.state.QuerySQL = QStringLiteral(
            "select 计量器具编号, 检定日期 into MSys检索临时表 from 计量器具在用库 order by 计量器具编号 desc;");
        QVERIFY(run.window->requery());
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("检索结果.xlsx"));
        if (chooseFile)
            run.prompt.fileNames << path;
        if (choice >= 0)
            run.prompt.fileChoices << choice;
        QAction* entry = run.window->commands->mnuRecordExport;
        QCOMPARE(entry->text(), QStringLiteral("导出(&X)..."));
        QVERIFY(entry->isEnabled());
        entry->trigger();
        QCOMPARE(run.prompt.fileQuestions.size(), 1);
        QCOMPARE(run.prompt.fileQuestions[0].types.size(), 2);
        QVERIFY(run.prompt.fileQuestions[0].suggestedPath.endsWith(QStringLiteral(".xlsx")));
        QCOMPARE(run.prompt.fileQuestions[0].choice.choices,
                 (QStringList{"当前显示的记录", "整个表《计量器具在用库》"}));
        if (!chooseFile) {
            QVERIFY(run.prompt.messages.isEmpty());
            QVERIFY(!QFile::exists(path));
            return;
        }
        QCOMPARE(run.prompt.messages.size(), 1);
        QCOMPARE(run.prompt.messages[0].text, QStringLiteral("已导出 4 条记录到“%1”。").arg(path));

        QString error;
        const auto sheet = exchange::readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QStringList seen;
        for (int r = 0; r < sheet->rowCount(); ++r)
            seen << sheet->cell(r, 0).toString() + QLatin1Char('|') + sheet->cell(r, 1).toString();
        QCOMPARE(seen, firstTwoColumns);
        QCOMPARE(sheet->columnCount(), choice == 1 ? run.db().columns(tables::InUse).size() : 2);
    }

    // 记录 → 变更履历 shows the whole log to every level, read a page at a
    // time; each filter narrows it, the status line counts what it lets
    // through, and the export writes all of it (not only the rows read).
    void changeHistoryLog_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("account");
        QTest::addColumn<int>("table"); // index in the list; 0 （全部）
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("count"); // -1: refused with a message
        const QDate none;
        QTest::newRow("everything, level 2") << 2 << none << none << "" << 0 << "" << 600;
        QTest::newRow("two days") << 0 << QDate(2026, 3, 2) << QDate(2026, 3, 3) << "" << 0 << "" << 120;
        QTest::newRow("from a day on") << 0 << QDate(2026, 3, 10) << none << "" << 0 << "" << 60;
        QTest::newRow("account") << 0 << none << none << "张三" << 0 << "" << 300;
        QTest::newRow("table") << 0 << none << none << "" << 3 << "" << 200;
        QTest::newRow("instrument, other case") << 0 << none << none << "" << 0 << "n-7" << 12;
        QTest::newRow("all at once") << 1 << none << none << "张三" << 2 << "N-7" << 8;
        QTest::newRow("range backwards") << 0 << QDate(2026, 3, 5) << QDate(2026, 3, 4) << "" << 0 << "" << -1;
    }
    void changeHistoryLog()
    {
        QFETCH(int, level);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, account);
        QFETCH(int, table);
        QFETCH(QString, number);
        QFETCH(int, count);
        MainRun run(level);
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        // Row i: day 1 + i % 10 of March, 张三 for odd i, every third one
        // in the sealed ledger, instrument N-(i % 50).
        QVERIFY(run.db()
                    .executeNative("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                                   "INSERT INTO \"MSys履历\" (\"ID\", 时间, 账户, 数据表, 计量器具编号, 事件, 字段, "
                                   "原值, 新值) SELECT i, printf('2026-03-%02d 10:00:00', 1 + i % 10), "
                                   "CASE WHEN i % 2 = 1 THEN '张三' ELSE '李四' END, "
                                   "CASE WHEN i % 3 = 0 THEN '计量器具封存库' ELSE '计量器具在用库' END, "
                                   "'N-' || (i % 50), '修改', '备注', NULL, 'v' || i FROM n")
                    .ok());
        QAction* entry = run.window->commands->mnuRecordHistory;
        QCOMPARE(entry->text(), QStringLiteral("变更履历(&G)..."));
        QVERIFY(entry->isEnabled());
        run.window->commands->setOpensWindows(true);

        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("履历.xlsx"));
        run.prompt.fileNames << path;
        int firstPage = -1, shown = -1, afterScroll = -1;
        QString counted;
        QStringList accounts;
        QStringList tablesListed;
        whenModal<HistoryWindow>(run.window.get(), [&](HistoryWindow* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("变更履历"));
            for (int i = 0; i < w->cboAccount->count(); ++i)
                accounts << w->cboAccount->itemText(i);
            for (int i = 0; i < w->cboTable->count(); ++i)
                tablesListed << w->cboTable->itemText(i);
            w->chkFrom->setChecked(from.isValid());
            w->chkTo->setChecked(to.isValid());
            if (from.isValid())
                w->dtpFrom->setDate(from);
            if (to.isValid())
                w->dtpTo->setDate(to);
            if (!account.isEmpty())
                w->cboAccount->setEditText(account);
            w->cboTable->setCurrentIndex(table);
            w->txtNumber->setText(number);
            w->cmdQuery->click();
            counted = w->lblCount->text();
            firstPage = w->model()->rowCount();
            while (w->model()->canFetchMore())
                w->model()->fetchMore();
            shown = w->model()->rowCount();
            for (int r = 1; r < shown; ++r)
                QVERIFY(w->model()->entry(r).id < w->model()->entry(r - 1).id);
            afterScroll = shown;
            if (count >= 0)
                w->cmdExport->click();
            w->cmdClose->click();
        });
        entry->trigger();

        QCOMPARE(accounts, (QStringList{"（全部）", "张三", "李四"}));
        QCOMPARE(tablesListed.size(), 8);
        QCOMPARE(tablesListed.first(), QStringLiteral("（全部）"));
        if (count < 0) {
            QCOMPARE(run.prompt.messages.size(), 1);
            QVERIFY(run.prompt.messages[0].text.contains(QStringLiteral("起始日期")));
            QCOMPARE(counted, QStringLiteral("共 600 条")); // the grid as it was
            QVERIFY(!QFile::exists(path));
            return;
        }
        QCOMPARE(counted, QStringLiteral("共 %1 条").arg(count));
        QCOMPARE(firstPage, std::min(count, HistoryModel::PageSize));
        QCOMPARE(afterScroll, count);
        QCOMPARE(run.prompt.messages.size(), 1);
        QCOMPARE(run.prompt.messages[0].text, QStringLiteral("已导出 %1 条变更履历到“%2”。").arg(count).arg(path));

        QString error;
        const auto sheet = exchange::readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), count + 1);
        QStringList headers;
        for (int c = 0; c < sheet->columnCount(); ++c)
            headers << sheet->cell(0, c).toString();
        QCOMPARE(headers, (QStringList{"时间", "账户", "数据表", "计量器具编号", "事件", "字段", "原值", "新值"}));
        for (int r = 1; r <= count; ++r) {
            QCOMPARE(int(sheet->cell(r, 0).kind), int(exchange::Cell::Kind::DateTime));
            const QDate day = sheet->cell(r, 0).date;
            QVERIFY(!from.isValid() || day >= from);
            QVERIFY(!to.isValid() || day <= to);
            if (!account.isEmpty())
                QCOMPARE(sheet->cell(r, 1).toString(), account);
            if (table > 0)
                QCOMPARE(sheet->cell(r, 2).toString(), tablesListed.at(table));
            if (!number.isEmpty())
                QCOMPARE(sheet->cell(r, 3).toString().toUpper(), number.toUpper());
        }
        // Newest first.
        QCOMPARE(sheet->cell(1, 7).toString().mid(1).toInt() > sheet->cell(count, 7).toString().mid(1).toInt(),
                 count > 1);
    }

    // 记录 → 打印标签 prints the labels of the grid's instruments: a grid
    // without numbers is refused, numbers no ledger holds are named first,
    // and the label window counts the labels to print.
    void labelsOfTheGrid_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("goneFromLedger"); // deleted from the in-use ledger after the query
        QTest::addColumn<QString>("message");        // what the program says first; empty: none
        QTest::addColumn<QString>("summary");        // the label window's count; empty: no window
        const QString numbers =
            QStringLiteral("select 计量器具编号, 检定日期 into MSys检索临时表 from 计量器具在用库;");
        QTest::newRow("every instrument of the grid") << numbers << ""
                                                      << ""
                                                      << "共 4 张标签，每页 24 张，用 1 页。";
        QTest::newRow("one no longer in any ledger")
            << numbers << "L-002"
            << "有 1 个编号不在在用、封存或报废台帐中（L-002），不打印它们的标签。\n打印其余 3 台器具的标签吗？"
            << "共 3 张标签，每页 24 张，用 1 页。";
        QTest::newRow("no number column") << "select 计量器具名称 into MSys检索临时表 from 计量器具在用库;"
                                          << ""
                                          << "检索结果中没有“计量器具编号”一列，不能打印标签。"
                                          << "";
    }
    void labelsOfTheGrid()
    {
        QFETCH(QString, query);
        QFETCH(QString, goneFromLedger);
        QFETCH(QString, message);
        QFETCH(QString, summary);
        MainRun run(2);
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.state.QuerySQL = query;
        QVERIFY(run.window->requery());
        if (!goneFromLedger.isEmpty())
            QVERIFY(run.db().execute("delete from 计量器具在用库 where 计量器具编号 = " + quoted(goneFromLedger)).ok());
        QString seen;
        if (!summary.isEmpty())
            test::whenModal<LabelPrintDialog>(this, [&seen](LabelPrintDialog* d) {
                seen = d->lblSummary->text();
                d->reject();
            });
        QAction* entry = run.window->commands->mnuRecordLabels;
        QCOMPARE(entry->text(), QStringLiteral("打印标签(&L)..."));
        QVERIFY(entry->isEnabled());
        entry->trigger();
        QCOMPARE(run.prompt.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(run.prompt.messages[0].text, message);
        QCOMPARE(seen, summary);
    }

    // F1 pressed on the focused field of each window opens the manual at
    // that window's section, and shows it.
    void f1OpensTheWindowsOwnSection_data()
    {
        QTest::addColumn<QString>("command"); // the command opening the window
        QTest::addColumn<QString>("section");
        QTest::newRow("in-use editor") << "showFrmOperation"
                                       << "inuse";
        QTest::newRow("stock") << "showFrmWaitProvide"
                               << "stock";
        QTest::newRow("sealed") << "showFrmClose"
                                << "sealed";
        QTest::newRow("scrapped") << "showFrmReject"
                                  << "scrapped";
        QTest::newRow("confirmation") << "showFrmCertificate"
                                      << "certificate";
        QTest::newRow("repair") << "showFrmRepair"
                                << "repair";
        QTest::newRow("environment") << "showFrmCondition"
                                     << "condition";
        QTest::newRow("wizard") << "showFrmQuery"
                                << "query";
        QTest::newRow("due list") << "showFrmOverDate"
                                  << "due";
        QTest::newRow("plan") << "showFrmPlanSetup"
                              << "plan";
        QTest::newRow("options") << "showFrmOptions"
                                 << "options";
        QTest::newRow("user management") << "showFrmUser"
                                         << "usermanage";
        QTest::newRow("About") << "showFrmAbout"
                               << "about";
        QTest::newRow("change history") << "showFrmHistory"
                                        << "history";
        QTest::newRow("sign-in") << ""
                                 << "login";
    }
    void f1OpensTheWindowsOwnSection()
    {
        QFETCH(QString, command);
        QFETCH(QString, section);
        MainRun run;
        run.prepare(sampleInUse());
        QVERIFY(run.open());
        run.window->commands->setOpensWindows(true);
        HelpKeyFilter f1;
        qApp->installEventFilter(&f1);

        QString shown;
        bool inView = false;
        whenModal<QDialog>(run.window.get(), [&](QDialog* dialog) {
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused && focused != dialog && focused->window() == dialog);
            QTest::keyClick(focused, Qt::Key_F1);
            if (auto* help = dialog->findChild<HelpWindow*>(); help && help->isVisible()) {
                shown = help->browser()->source().fragment();
                inView = anchorInView(help->browser(), shown);
            }
            dialog->done(QDialog::Rejected);
        });
        if (command.isEmpty()) {
            frmLogin login(run.state, run.window.get());
            login.exec();
        } else {
            QVERIFY(QMetaObject::invokeMethod(run.window->commands, qPrintable(command)));
        }
        QCOMPARE(shown, section);
        QVERIFY(inView);
    }

    void helpShowsTheManual()
    {
        MainRun run;
        QVERIFY(run.open());
        QVERIFY(HelpWindow::manualAvailable());
        run.window->commands->mnuHelpContents->trigger();
        QVERIFY(run.prompt.messages.isEmpty());
        auto* help = run.window->findChild<HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        const QString text = help->pageText();
        QVERIFY(text.contains(QStringLiteral("快速检索")));
        QVERIFY(text.contains(QStringLiteral("计量器具保管员")));
        // The manual's contents page links to every chapter it has.
        const QString html = help->browser()->toHtml();
        for (const char* anchor : {"start", "main", "quick", "query", "edit", "move", "due", "print", "options",
                                   "users", "keys", "files", "faq"})
            QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(QLatin1String(anchor))), anchor);
        // Asked again, the same window comes to the front.
        run.window->commands->mnuHelpContents->trigger();
        QCOMPARE(run.window->findChildren<HelpWindow*>().size(), 1);
    }
};

QTEST_MAIN(MainCommandsTest)
#include "tst_maincommands.moc"
