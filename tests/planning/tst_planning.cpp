// The due list, the calibration plan and the options dialog, on a fresh
// ledger whose search result MSys检索临时表 is made as the main window makes
// it: what each lead mode and each period lists, a table left behind by an
// earlier run, a result that cannot be filtered, what the dialogs store and
// show again, and the refusal of a number box without a number; the grid's
// overdue and due-soon marks and tints, and its order by header clicks.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/Dates.h"
#include "exchange/Spreadsheet.h"
#include "planning/frmOptions.h"
#include "planning/frmOverDate.h"
#include "planning/frmPlanSetup.h"
#include "planning/frmProgram.h"
#include "platform/DatePicker.h"
#include "platform/KeptWindow.h"

#include "planning/DueListModel.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace ravo;
using namespace ravo::test;
namespace k = ravo::optionkeys;

namespace {

struct Fixture {
    Sandbox box;
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};
    bool open = box.isValid() && !state.LedgerDatabase.open(box.databasePath());

    Database& db() { return state.LedgerDatabase; }

    // In-use instruments (number, validity date; an invalid date leaves it
    // empty), then the search result over the whole ledger.
    bool addInstruments(const QList<QPair<QString, QDate>>& rows)
    {
        for (const auto& [number, valid] : rows)
            if (!db().executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 有效日期) VALUES (?, ?)"),
                                    {number, valid.isValid() ? QVariant(formatShortDate(valid)) : QVariant()})
                     .ok())
                return false;
        return makeResult();
    }
    // Out of number order: A ten days overdue, B due today, C tomorrow, D in
    // 14 days, E in 15, F in 30, G in 31, H without a validity date.
    bool addSpread()
    {
        const QDate t = QDate::currentDate();
        return addInstruments({{"G", t.addDays(31)},
                               {"A", t.addDays(-10)},
                               {"F", t.addDays(30)},
                               {"B", t},
                               {"H", QDate()},
                               {"E", t.addDays(15)},
                               {"C", t.addDays(1)},
                               {"D", t.addDays(14)}});
    }
    bool makeResult(const QString& statement = QStringLiteral("select * into MSys检索临时表 from 计量器具在用库"))
    {
        dropWorkingTable(db(), tables::SearchResult);
        return db().runScratch(statement).ok();
    }
    // The numbers of a working table in the order the grid shows them.
    QStringList numbers(const QString& table)
    {
        QStringList out;
        QSqlQuery q(db().connection());
        q.exec(QStringLiteral("SELECT 计量器具编号 FROM %1 ORDER BY rowid").arg(table));
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QString stored(const QString& section, const QString& key)
    {
        return state.settings.read(SettingsStore::MainApp, section, key, QStringLiteral("<absent>"));
    }
};

// Runs `step` on the modal window named `name` once it is up; `step` has
// to close it. Gives up after a few seconds rather than hang the test.
void whenModal(const QString& name, std::function<void(QWidget*)> step, int triesLeft = 500)
{
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->objectName() == name)
            step(w);
        else if (triesLeft > 0)
            whenModal(name, step, triesLeft - 1);
    });
}

} // namespace

class TestPlanning : public QObject {
    Q_OBJECT
private slots:
    void dueLeadModes_data();
    void dueLeadModes();
    void gridMarksAndOrder_data();
    void gridMarksAndOrder();
    void staleDueTableReplaced();
    void resultWithoutValidityDate();
    void planMonthBothEnds();
    void setupShowsStoredRange();
    void setupStoredKind_data();
    void setupStoredKind();
    void typedDateTakenAsTyped_data();
    void typedDateTakenAsTyped();
    void optionsWritten_data();
    void optionsWritten();
    void leadModeShown_data();
    void leadModeShown();
    void leadBoxesTakeDigitsOnly();
    void cancelKeepsEditsCloseBoxDoesNot();
    void numberBoxChecked_data();
    void numberBoxChecked();
};

void TestPlanning::dueLeadModes_data()
{
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("weeks");
    QTest::addColumn<bool>("emptyResult");
    QTest::addColumn<QStringList>("listed");
    const QStringList dueNow{"A", "B"};
    QTest::newRow("no lead: today and earlier") << 1 << 30 << 2 << false << dueNow;
    QTest::newRow("0 days as no lead") << 2 << 0 << 2 << false << dueNow;
    QTest::newRow("30 days, the 30th included") << 2 << 30 << 0 << false << QStringList{"A", "B", "C", "D", "E", "F"};
    QTest::newRow("2 weeks = 14 days") << 3 << 5 << 2 << false << QStringList{"A", "B", "C", "D"};
    QTest::newRow("mode 5 counts weeks") << 5 << 30 << 0 << false << dueNow;
    QTest::newRow("empty result") << 2 << 30 << 0 << true << QStringList{};
}

void TestPlanning::dueLeadModes()
{
    QFETCH(int, advance);
    QFETCH(int, days);
    QFETCH(int, weeks);
    QFETCH(bool, emptyResult);
    QFETCH(QStringList, listed);

    Fixture f;
    QVERIFY(f.open && (emptyResult ? f.makeResult() : f.addSpread()));
    f.state.options.Advance = qint16(advance);
    f.state.options.AdvanceDay = qint16(days);
    f.state.options.AdvanceWeek = qint16(weeks);

    frmOverDate w(f.state);
    QAbstractItemModelTester tester(w.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QString count;
    QStringList shown;
    whenModal("frmOverDate", [&](QWidget*) {
        count = w.Label2->text();
        shown = f.numbers(tables::DueList);
        w.cmdOK->click();
    });
    w.exec();
    QCOMPARE(shown, listed);
    QCOMPARE(count, QStringLiteral("共 %1 条记录").arg(listed.size()));
    QVERIFY(f.prompt.messages.isEmpty());
    QVERIFY(!f.db().tableExists(tables::DueList));
}

void TestPlanning::gridMarksAndOrder_data()
{
    QTest::addColumn<bool>("plan");          // the plan (period: long ago … 100 days ahead), else the due list
    QTest::addColumn<int>("advance");        // the lead mode; its days 14, its weeks 1
    QTest::addColumn<QStringList>("clicks"); // column headers clicked in turn
    QTest::addColumn<QStringList>("grid");   // "number|mark" top to bottom
    const QStringList dueByDate{"N7|已过期", "N2|已过期", "N3|即将到期", "N5|即将到期", "N1|即将到期"};
    QTest::newRow("due list opens by validity date") << false << 2 << QStringList{} << dueByDate;
    QTest::newRow("no lead: due today is due soon")
        << false << 1 << QStringList{} << QStringList{"N7|已过期", "N2|已过期", "N3|即将到期"};
    QTest::newRow("plan: beyond the lead unmarked")
        << true << 3 << QStringList{}
        << QStringList{"N7|已过期", "N2|已过期", "N3|即将到期", "N5|即将到期", "N1|", "N4|", "N6|"};
    QTest::newRow("number, then number again descending")
        << false << 2 << QStringList{"计量器具编号", "计量器具编号"}
        << QStringList{"N7|已过期", "N5|即将到期", "N3|即将到期", "N2|已过期", "N1|即将到期"};
    QTest::newRow("validity date clicked turns the opening order round")
        << false << 2 << QStringList{"有效日期"}
        << QStringList{"N1|即将到期", "N5|即将到期", "N3|即将到期", "N2|已过期", "N7|已过期"};
    QTest::newRow("the mark sorts as the validity date")
        << true << 2 << QStringList{"计量器具编号", "到期情况", "到期情况"}
        << QStringList{"N6|", "N4|", "N1|即将到期", "N5|即将到期", "N3|即将到期", "N2|已过期", "N7|已过期"};
}

void TestPlanning::gridMarksAndOrder()
{
    QFETCH(bool, plan);
    QFETCH(int, advance);
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, grid);

    Fixture f;
    const QDate t = QDate::currentDate();
    // Number order is not date order.
    QVERIFY(f.open
            && f.addInstruments({{"N1", t.addDays(14)},
                                 {"N2", t.addDays(-10)},
                                 {"N3", t},
                                 {"N4", t.addDays(31)},
                                 {"N5", t.addDays(1)},
                                 {"N6", t.addDays(60)},
                                 {"N7", t.addDays(-400)},
                                 {"N8", QDate()}}));
    f.state.options.Advance = qint16(advance);
    f.state.options.AdvanceDay = 14;
    f.state.options.AdvanceWeek = 1;
    f.state.options.ProgramDateStar = t.addDays(-500);
    f.state.options.ProgramDateEnd = t.addDays(100);
    std::unique_ptr<WorkingTableWindow> w;
    if (plan)
        w = std::make_unique<frmProgram>(f.state);
    else
        w = std::make_unique<frmOverDate>(f.state);

    QStringList shown;
    QStringList wrongTint;
    QStringList tableOrder;
    whenModal(w->objectName(), [&](QWidget*) {
        QAbstractItemModel* model = w->DBGrid1->model();
        QHeaderView* header = w->DBGrid1->horizontalHeader();
        const auto columnOf = [&](const QString& name) {
            for (int c = 0; c < model->columnCount(); ++c)
                if (model->headerData(c, Qt::Horizontal).toString() == name)
                    return c;
            return -1;
        };
        for (const QString& name : clicks) {
            const int c = columnOf(name);
            w->DBGrid1->scrollTo(model->index(0, c));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(c) + 5, header->height() / 2));
        }
        const int number = columnOf(QStringLiteral("计量器具编号"));
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString mark = model->index(r, 0).data().toString();
            shown << model->index(r, number).data().toString() + '|' + mark;
            // The whole row carries the mark's tint.
            const QVariant tint = mark == "已过期" ? QVariant(DueListModel::overdueTint())
                : mark == "即将到期"               ? QVariant(DueListModel::dueSoonTint())
                                                   : QVariant();
            if (model->index(r, 0).data(Qt::BackgroundRole) != tint
                || model->index(r, number).data(Qt::BackgroundRole) != tint)
                wrongTint << shown.last();
        }
        tableOrder = f.numbers(w->workingTable());
        w->reject();
    });
    w->exec();
    QCOMPARE(shown, grid);
    QCOMPARE(wrongTint, QStringList{});
    // The list itself, which "打印|预览" and the export follow, stays by number.
    QStringList byNumber = tableOrder;
    byNumber.sort();
    QCOMPARE(tableOrder, byNumber);
    QCOMPARE(tableOrder.size(), grid.size());
}

void TestPlanning::staleDueTableReplaced()
{
    Fixture f;
    QVERIFY(f.open && f.addSpread());
    // Left by an interrupted run: another shape, a row of no instrument.
    QVERIFY(
        f.db().executeNative(QStringLiteral("CREATE TABLE MSys待检或到期设备表 (计量器具编号 TEXT, 旧列 TEXT)")).ok());
    QVERIFY(f.db().executeNative(QStringLiteral("INSERT INTO MSys待检或到期设备表 VALUES ('old', 'x')")).ok());

    frmOverDate w(f.state);
    QVERIFY(w.load());
    QVERIFY(f.prompt.messages.isEmpty());
    QCOMPARE(f.numbers(tables::DueList), (QStringList{"A", "B"}));
    QCOMPARE(w.Data1.fields(), f.db().columns(tables::SearchResult));
}

void TestPlanning::resultWithoutValidityDate()
{
    Fixture f;
    QVERIFY(f.open && f.addSpread());
    QVERIFY(f.makeResult(QStringLiteral("select 计量器具编号 into MSys检索临时表 from 计量器具在用库")));

    frmOverDate w(f.state);
    bool shown = false;
    QTimer::singleShot(0, &w, [&] {
        shown = w.isVisible();
        w.reject();
    });
    QCOMPARE(w.exec(), int(QDialog::Rejected));
    QVERIFY(!shown);
    QCOMPARE(f.prompt.messages.size(), 1);
    QVERIFY2(f.prompt.messages[0].text.contains(QStringLiteral("有效日期")), qPrintable(f.prompt.messages[0].text));
}

void TestPlanning::planMonthBothEnds()
{
    Fixture f;
    QVERIFY(f.open);
    QVERIFY(f.addInstruments({{"E", QDate(2003, 3, 3)},
                              {"B", QDate(2003, 1, 31)},
                              {"A", QDate(2003, 1, 30)},
                              {"D", QDate(2003, 3, 2)},
                              {"N", QDate()},
                              {"C", QDate(2003, 2, 15)}}));
    // A stale plan table is replaced as the due table is.
    QVERIFY(f.db().executeNative(QStringLiteral("CREATE TABLE MSys计划检定设备表 (计量器具编号 TEXT)")).ok());
    frmPlanSetup s(f.state);
    s.setToday(QDate(2003, 1, 31));

    QString count;
    QStringList listed;
    // The plan exported by its button, as the grid lists it.
    QTemporaryDir out;
    const QString exported = out.filePath(QStringLiteral("计划.csv"));
    f.prompt.fileNames << exported;
    whenModal("frmPlanSetup", [&](QWidget*) {
        s.optMonth->click();
        s.txtReportCapt->setText(QStringLiteral("一季度\"送检\""));
        s.cmdOK->click();
    });
    whenModal("frmProgram", [&](QWidget* w) {
        count = static_cast<frmProgram*>(w)->Label2->text();
        listed = f.numbers(tables::Plan);
        QCOMPARE(static_cast<frmProgram*>(w)->cmdExport->text(), QStringLiteral("导出(&X)..."));
        static_cast<frmProgram*>(w)->cmdExport->click();
        static_cast<frmProgram*>(w)->cmdOk->click();
    });
    QCOMPARE(s.exec(), int(QDialog::Accepted));
    QCOMPARE(listed, (QStringList{"B", "C", "D"}));
    QCOMPARE(count, QStringLiteral("共 3 条记录"));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateClass), QStringLiteral("2"));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateStar), QStringLiteral("2003-01-31"));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateEnd), QStringLiteral("2003-03-02"));
    QCOMPARE(f.stored(k::PDC, k::RC), QStringLiteral("一季度\"送检\""));
    QCOMPARE(f.state.options.RC, QStringLiteral("一季度\"送检\""));
    // Only the plan's own section is written.
    QCOMPARE(f.stored(k::SysOptions, k::Advance), QStringLiteral("<absent>"));
    QCOMPARE(f.stored(k::Report, k::RepCaption), QStringLiteral("<absent>"));
    QCOMPARE(f.prompt.messages.size(), 1);
    QCOMPARE(f.prompt.messages[0].text, QStringLiteral("已导出 3 条记录到“%1”。").arg(exported));
    QString error;
    const auto sheet = exchange::readSpreadsheet(exported, 0, &error);
    QVERIFY2(sheet, qPrintable(error));
    QStringList rows;
    for (int r = 1; r < sheet->rowCount(); ++r)
        rows << sheet->cell(r, 0).text;
    QCOMPARE(rows, listed);
    QVERIFY(!f.db().tableExists(tables::Plan));
}

void TestPlanning::setupShowsStoredRange()
{
    Fixture f;
    f.state.options.ProgramDateClass = 2;
    f.state.options.ProgramDateStar = QDate(2003, 2, 1);
    f.state.options.ProgramDateEnd = QDate(2003, 2, 28);
    frmPlanSetup s(f.state);
    QVERIFY(s.optMonth->isChecked() && !s.DTPStr->isEnabled() && !s.DTPEnd->isEnabled());

    // Choosing the range brings back the stored dates, and so does a second
    // click on it; the confirmed range is what the next opening shows.
    s.optSet->click();
    QCOMPARE(s.DTPStr->date(), QDate(2003, 2, 1));
    s.DTPStr->setDate(QDate(2003, 3, 1));
    s.DTPEnd->setDate(QDate(2003, 3, 31));
    s.optSet->click();
    QCOMPARE(s.DTPStr->date(), QDate(2003, 2, 1));
    QCOMPARE(s.DTPEnd->date(), QDate(2003, 2, 28));
    s.DTPEnd->setDate(QDate(2003, 4, 30));
    s.OpenListOnOK = false;
    s.cmdOK->click();
    frmPlanSetup again(f.state);
    QVERIFY(again.optSet->isChecked() && again.DTPStr->isEnabled() && again.DTPEnd->isEnabled());
    QCOMPARE(again.DTPStr->date(), QDate(2003, 2, 1));
    QCOMPARE(again.DTPEnd->date(), QDate(2003, 4, 30));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateClass), QStringLiteral("4"));
}

void TestPlanning::setupStoredKind_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("selected"); // empty: none
    QTest::addColumn<QString>("confirmed");
    QTest::newRow("1 week") << 1 << "optWeek"
                            << "1";
    QTest::newRow("3 year") << 3 << "optYear"
                            << "3";
    QTest::newRow("9 selects none, confirmed as a range") << 9 << ""
                                                          << "4";
}

void TestPlanning::setupStoredKind()
{
    QFETCH(int, stored);
    QFETCH(QString, selected);
    QFETCH(QString, confirmed);
    Fixture f;
    f.state.options.ProgramDateClass = qint16(stored);
    frmPlanSetup s(f.state);
    for (QRadioButton* b : {s.optWeek, s.optMonth, s.optYear, s.optSet})
        QCOMPARE(b->isChecked(), b->objectName() == selected);
    QVERIFY(!s.DTPStr->isEnabled());
    s.OpenListOnOK = false;
    s.cmdOK->click();
    QCOMPARE(f.stored(k::PDC, k::ProgramDateClass), confirmed);
}

// The plan's date pickers, typed into with the keyboard: a date typed in one
// go is taken as typed, whether the box is left, Enter pressed or the dialog
// confirmed; a text that is no date is refused by name and kept.
void TestPlanning::typedDateTakenAsTyped_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("confirm"); // "leave", "Enter" or "OK"
    QTest::addColumn<QDate>("taken");     // invalid: refused

    QTest::newRow("start, Enter") << "DTPStr"
                                  << "2026-12-31"
                                  << "Enter" << QDate(2026, 12, 31);
    QTest::newRow("end, leaving the box") << "DTPEnd"
                                          << "2026-12-31"
                                          << "leave" << QDate(2026, 12, 31);
    QTest::newRow("end, OK at once") << "DTPEnd"
                                     << "2026-12-31"
                                     << "OK" << QDate(2026, 12, 31);
    QTest::newRow("leap day after a month end") << "DTPStr"
                                                << "2004-2-29"
                                                << "leave" << QDate(2004, 2, 29);
    QTest::newRow("slashes") << "DTPEnd"
                             << "2026/1/5"
                             << "Enter" << QDate(2026, 1, 5);
    QTest::newRow("compact") << "DTPStr"
                             << "20261231"
                             << "OK" << QDate(2026, 12, 31);
    QTest::newRow("no such day, Enter") << "DTPStr"
                                        << "2003-2-30"
                                        << "Enter" << QDate();
    QTest::newRow("no such day, leaving the box") << "DTPEnd"
                                                  << "2003-2-30"
                                                  << "leave" << QDate();
    QTest::newRow("not a date") << "DTPEnd"
                                << "12-31"
                                << "OK" << QDate();
}

void TestPlanning::typedDateTakenAsTyped()
{
    QFETCH(QString, picker);
    QFETCH(QString, typed);
    QFETCH(QString, confirm);
    QFETCH(QDate, taken);

    Fixture f;
    f.state.options.ProgramDateClass = 4;
    f.state.options.ProgramDateStar = QDate(2003, 1, 31);
    f.state.options.ProgramDateEnd = QDate(2003, 1, 31);
    frmPlanSetup s(f.state);
    s.OpenListOnOK = false;
    s.show();
    QApplication::setActiveWindow(&s);
    QVERIFY(QTest::qWaitForWindowActive(&s));
    auto* box = s.findChild<QDateEdit*>(picker);
    QVERIFY(box);
    QTest::mouseClick(box->findChild<QLineEdit*>(), Qt::LeftButton); // the cursor somewhere in the date
    QVERIFY(box->hasFocus());
    QTest::keyClicks(box, typed);
    if (confirm == "Enter")
        QTest::keyClick(box, Qt::Key_Return);
    else if (confirm == "leave")
        s.txtReportCapt->setFocus();
    if (confirm != "Enter")
        s.cmdOK->click();

    const QString key = picker == "DTPStr" ? k::ProgramDateStar : k::ProgramDateEnd;
    if (taken.isValid()) {
        QVERIFY2(f.prompt.messages.isEmpty(), qPrintable(f.prompt.messages.value(0).text));
        QVERIFY(!s.isVisible());
        QCOMPARE(box->date(), taken);
        QCOMPARE(f.stored(k::PDC, key), formatShortDate(taken));
        return;
    }
    const QString label = picker == "DTPStr" ? QStringLiteral("开始日期") : QStringLiteral("结束日期");
    QCOMPARE(f.prompt.messages.size(), 1);
    QCOMPARE(f.prompt.messages[0].text, dateErrorMessage(label, typed));
    QVERIFY(s.isVisible());
    QVERIFY(box->hasFocus());
    QCOMPARE(box->text(), typed); // nothing typed is lost
    QCOMPARE(f.stored(k::PDC, key), QStringLiteral("<absent>"));
}

void TestPlanning::optionsWritten_data()
{
    QTest::addColumn<bool>("on"); // every box ticked, or none
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("advance");
    QTest::newRow("all ticked, weeks") << true << "optWeek"
                                       << "3";
    QTest::newRow("none ticked, days") << false << "optDate"
                                       << "2";
    QTest::newRow("no lead") << true << "optNoAhead"
                             << "1";
}

void TestPlanning::optionsWritten()
{
    QFETCH(bool, on);
    QFETCH(QString, lead);
    QFETCH(QString, advance);

    Fixture f;
    f.state.options.PrintClassX[4] = -50;
    f.state.RequeryOnActivate = true;
    f.state.options.ValidUntilByPeriod = !on;
    frmOptions d(f.state);
    QVERIFY(!d.chkUpdateLedger->isChecked()); // off by default
    QCOMPARE(d.chkValidByPeriod->isChecked(), !on);
    for (QCheckBox* c :
         {d.chkAwoke, d.chkDBBackup, d.chkDBCompact, d.chkTipShow, d.chkNav, d.chkUpdateLedger, d.chkValidByPeriod})
        c->setChecked(on);
    d.findChild<QRadioButton*>(lead)->click();
    d.txtWeek->setText(QStringLiteral("2"));
    d.txtGroupName->setText(QStringLiteral("计量所\"一室\""));
    d.cmdOK->click();

    for (const QString& key : {k::Awoke, k::DBBackup, k::DBCompact, k::Nav})
        QCOMPARE(f.stored(k::SysOptions, key), on ? QStringLiteral("True") : QStringLiteral("False"));
    for (const QString& key : {k::UpdateLedger, k::ValidByPeriod})
        QCOMPARE(f.stored(k::Certificate, key), on ? QStringLiteral("True") : QStringLiteral("False"));
    QCOMPARE(f.state.options.CertificateUpdatesLedger, on);
    QCOMPARE(f.stored(k::TipsSection, k::ShowTipsAtStartup), on ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(f.stored(k::SysOptions, k::Advance), advance);
    QCOMPARE(f.stored(k::SysOptions, k::AdvanceDay), QStringLiteral("0"));
    QCOMPARE(f.stored(k::SysOptions, k::AdvanceWeek), QStringLiteral("2"));
    QCOMPARE(f.stored(k::Print, k::GroupName), QStringLiteral("计量所\"一室\""));
    QCOMPARE(f.stored(k::Print, k::printClassX(5)), QStringLiteral("-50"));
    QCOMPARE(f.stored(k::Print, k::printClassY(1)), QStringLiteral("0"));
    // The plan period and the report title are not the dialog's to write.
    QCOMPARE(f.stored(k::PDC, k::ProgramDateStar), QStringLiteral("<absent>"));
    QCOMPARE(f.stored(k::Report, k::RepCaption), QStringLiteral("<absent>"));
    QCOMPARE(f.state.options.Awoke, on);
    QCOMPARE(f.state.ShowTipsAtStartup, on ? 1 : 0);
    QCOMPARE(QString::number(f.state.options.Advance), advance);
    QVERIFY(!f.state.RequeryOnActivate);
}

void TestPlanning::leadModeShown_data()
{
    QTest::addColumn<int>("advance");
    QTest::addColumn<QString>("selected");
    QTest::newRow("1 no lead") << 1 << "optNoAhead";
    QTest::newRow("2 days") << 2 << "optDate";
    QTest::newRow("5 counts as weeks") << 5 << "optWeek";
}

void TestPlanning::leadModeShown()
{
    QFETCH(int, advance);
    QFETCH(QString, selected);
    Fixture f;
    f.state.options.Advance = qint16(advance);
    frmOptions d(f.state);
    QVERIFY(d.findChild<QRadioButton*>(selected)->isChecked());
    QCOMPARE(d.txtDate->isEnabled() && d.Label10->isEnabled(), selected == "optDate");
    QCOMPARE(d.txtWeek->isEnabled() || d.Label11->isEnabled(), selected == "optWeek");
}

void TestPlanning::leadBoxesTakeDigitsOnly()
{
    Fixture f;
    f.state.options.Advance = 2;
    f.state.options.AdvanceDay = 1;
    frmOptions d(f.state);
    d.show();
    d.txtDate->end(false);
    QTest::keyClick(d.txtDate, Qt::Key_5);
    QTest::keyClick(d.txtDate, Qt::Key_A);
    QTest::sendKeyEvent(QTest::Click, d.txtDate, Qt::Key_unknown, QStringLiteral("五"), Qt::NoModifier);
    QCOMPARE(d.txtDate->text(), QStringLiteral("15"));
    QCOMPARE(f.prompt.beeps, 2);
    QTest::keyClick(d.txtDate, Qt::Key_Backspace);
    QCOMPARE(d.txtDate->text(), QStringLiteral("1"));
    QCOMPARE(f.prompt.beeps, 2);
}

void TestPlanning::cancelKeepsEditsCloseBoxDoesNot()
{
    Fixture f;
    QPointer<frmOptions> kept;
    auto showing = [&](std::function<void(frmOptions&)> step) {
        whenModal("frmOptions", [&, step](QWidget*) { step(*kept); });
        return execKept(kept, f.state, nullptr);
    };
    bool ticked = false;
    QCOMPARE(showing([](frmOptions& d) {
                 d.chkDBBackup->setChecked(true);
                 d.cmdCancel->click();
             }),
             int(QDialog::Rejected));
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("<absent>"));
    QCOMPARE(showing([&](frmOptions& d) {
                 ticked = d.chkDBBackup->isChecked();
                 d.cmdOK->click();
             }),
             int(QDialog::Accepted));
    QVERIFY(ticked);
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("True"));

    // The close box throws the edit away with the dialog.
    showing([](frmOptions& d) {
        d.chkDBBackup->setChecked(false);
        d.close();
    });
    QVERIFY(!kept);
    showing([&](frmOptions& d) {
        ticked = d.chkDBBackup->isChecked();
        d.cmdCancel->click();
    });
    QVERIFY(ticked);
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("True"));
    delete kept.data();
}

void TestPlanning::numberBoxChecked_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named"); // empty: the text is accepted
    QTest::newRow("days emptied") << "txtDate"
                                  << ""
                                  << "提前提醒天数";
    QTest::newRow("weeks too many") << "txtWeek"
                                    << "99999"
                                    << "提前提醒周数";
    QTest::newRow("offset letters") << "txt3X"
                                    << "12a"
                                    << "检定结果通知书(小) 横向";
    QTest::newRow("offset too small") << "txt1Y"
                                      << "-32769"
                                      << "检定证书(小) 纵向";
    QTest::newRow("smallest offset, blanks") << "txt5Y"
                                             << " -32768 "
                                             << "";
}

void TestPlanning::numberBoxChecked()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);

    Fixture f;
    f.state.options.Advance = box == "txtWeek" ? 3 : 2;
    frmOptions d(f.state);
    auto* edit = d.findChild<QLineEdit*>(box);
    edit->setText(text);
    d.chkAwoke->setChecked(true);
    d.SSTab1->setCurrentIndex(1);
    d.show();
    d.cmdOK->click();

    QCOMPARE(f.state.options.Awoke, named.isEmpty());
    QCOMPARE(f.stored(k::SysOptions, k::Awoke), named.isEmpty() ? QStringLiteral("True") : QStringLiteral("<absent>"));
    if (named.isEmpty())
        return;
    QCOMPARE(f.prompt.messages.size(), 1);
    QVERIFY2(f.prompt.messages[0].text.contains(QStringLiteral("“%1”").arg(named)),
             qPrintable(f.prompt.messages[0].text));
    QCOMPARE(f.prompt.messages[0].icon, Prompter::Icon::Critical);
    // Still open, on the box's tab, with the text as typed.
    QVERIFY(d.isVisible());
    QCOMPARE(d.SSTab1->currentWidget()->isAncestorOf(edit), true);
    QCOMPARE(edit->text(), text);
}

QTEST_MAIN(TestPlanning)
#include "tst_planning.moc"
