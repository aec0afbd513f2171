// The calibration plan: the period each kind gives, what the setup dialog
// stores and shows again, and the plan list with both ends of the period.
#include "PlanningFixture.h"
#include "planning/PlanningTexts.h"
#include "planning/frmPlanSetup.h"
#include "planning/frmProgram.h"

#include <QAbstractItemModelTester>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

using namespace ravo;
using namespace ravo::test;

namespace k = ravo::optionkeys;

class TestPlan : public QObject {
    Q_OBJECT
private slots:
    void periodStored_data();
    void periodStored();
    void reopenShowsStoredKind_data();
    void reopenShowsStoredKind();
    void choosingRangeBringsBackStoredDates();
    void cancelStoresNothing();
    void planList_data();
    void planList();
    void stalePlanTableReplaced();
    void resultWithoutValidityDate();
    void setupOpensTheList();
};

namespace {

QRadioButton* option(frmPlanSetup& s, int kind)
{
    return QList<QRadioButton*>{s.optWeek, s.optMonth, s.optYear, s.optSet}.value(kind - 1);
}

// Instruments around the month from 2003-01-31 to 2003-03-02.
void addAroundFebruary(PlanningFixture& f)
{
    QVERIFY(f.addInstruments({{"E", QDate(2003, 3, 3)}, {"B", QDate(2003, 1, 31)}, {"A", QDate(2003, 1, 30)},
                              {"D", QDate(2003, 3, 2)}, {"N", QDate()}, {"C", QDate(2003, 2, 15)}}));
    QVERIFY(f.makeResult());
}

} // namespace

void TestPlan::periodStored_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");

    QTest::newRow("week") << 1 << QDate(2003, 12, 29) << QDate(2003, 12, 29) << QDate(2004, 1, 5);
    QTest::newRow("month is 30 days") << 2 << QDate(2003, 1, 31) << QDate(2003, 1, 31) << QDate(2003, 3, 2);
    QTest::newRow("year over a leap day") << 3 << QDate(2003, 6, 1) << QDate(2003, 6, 1) << QDate(2004, 5, 31);
    QTest::newRow("year without one") << 3 << QDate(2004, 6, 1) << QDate(2004, 6, 1) << QDate(2005, 6, 1);
    QTest::newRow("chosen range, start after end")
        << 4 << QDate(2003, 1, 31) << QDate(2003, 5, 1) << QDate(2003, 4, 1);
}

void TestPlan::periodStored()
{
    QFETCH(int, kind);
    QFETCH(QDate, today);
    QFETCH(QDate, start);
    QFETCH(QDate, end);

    PlanningFixture f;
    frmPlanSetup s(f.state);
    s.setToday(today);
    option(s, kind)->click();
    if (kind == 4) {
        s.DTPStr->setDate(start);
        s.DTPEnd->setDate(end);
    }
    s.txtReportCapt->setText(QStringLiteral("二〇〇三年\"一季度\"送检"));
    s.OpenListOnOK = false;
    s.cmdOK->click();

    QCOMPARE(s.result(), int(QDialog::Accepted));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateClass), QString::number(kind));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateStar), formatShortDate(start));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateEnd), formatShortDate(end));
    QCOMPARE(f.stored(k::PDC, k::RC), QStringLiteral("二〇〇三年\"一季度\"送检"));
    QCOMPARE(int(f.state.options.ProgramDateClass), kind);
    QCOMPARE(f.state.options.ProgramDateStar, start);
    QCOMPARE(f.state.options.ProgramDateEnd, end);
    QCOMPARE(f.state.options.RC, QStringLiteral("二〇〇三年\"一季度\"送检"));
}

void TestPlan::reopenShowsStoredKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("pickers");
    QTest::newRow("week") << 1 << "optWeek" << false;
    QTest::newRow("month") << 2 << "optMonth" << false;
    QTest::newRow("year") << 3 << "optYear" << false;
    QTest::newRow("chosen range") << 4 << "optSet" << true;
    QTest::newRow("unknown kind selects none") << 7 << "" << false;
}

void TestPlan::reopenShowsStoredKind()
{
    QFETCH(int, kind);
    QFETCH(QString, selected);
    QFETCH(bool, pickers);

    PlanningFixture f;
    f.state.options.ProgramDateClass = qint16(kind);
    f.state.options.ProgramDateStar = QDate(2003, 2, 1);
    f.state.options.ProgramDateEnd = QDate(2003, 2, 28);
    f.state.options.RC = QStringLiteral("二月计划");

    frmPlanSetup s(f.state);
    QString checked;
    for (QRadioButton* b : {s.optWeek, s.optMonth, s.optYear, s.optSet})
        if (b->isChecked())
            checked = b->objectName();
    QCOMPARE(checked, selected);
    QCOMPARE(s.DTPStr->isEnabled(), pickers);
    QCOMPARE(s.DTPEnd->isEnabled(), pickers);
    if (pickers) {
        QCOMPARE(s.DTPStr->date(), QDate(2003, 2, 1));
        QCOMPARE(s.DTPEnd->date(), QDate(2003, 2, 28));
    }
    QCOMPARE(s.txtReportCapt->text(), QStringLiteral("二月计划"));
}

void TestPlan::choosingRangeBringsBackStoredDates()
{
    PlanningFixture f;
    f.state.options.ProgramDateClass = 2;
    f.state.options.ProgramDateStar = QDate(2003, 2, 1);
    f.state.options.ProgramDateEnd = QDate(2003, 2, 28);
    frmPlanSetup s(f.state);
    s.optSet->click();
    QVERIFY(s.DTPStr->isEnabled());
    QCOMPARE(s.DTPStr->date(), QDate(2003, 2, 1));
    s.DTPEnd->setDate(QDate(2003, 3, 15));
    s.optSet->click();   // clicked again: the user's pick stays
    QCOMPARE(s.DTPEnd->date(), QDate(2003, 3, 15));
    s.optYear->click();
    QVERIFY(!s.DTPStr->isEnabled());
    QVERIFY(!s.DTPEnd->isEnabled());
}

void TestPlan::cancelStoresNothing()
{
    PlanningFixture f;
    const Options before = f.state.options;
    frmPlanSetup s(f.state);
    s.optYear->click();
    s.txtReportCapt->setText(QStringLiteral("不要的标题"));
    s.cmdCancle->click();
    QCOMPARE(s.result(), int(QDialog::Rejected));
    QCOMPARE(f.stored(k::PDC, k::ProgramDateClass), QStringLiteral("<absent>"));
    QCOMPARE(f.stored(k::PDC, k::RC), QStringLiteral("<absent>"));
    QCOMPARE(f.state.options.ProgramDateClass, before.ProgramDateClass);
    QCOMPARE(f.state.options.RC, before.RC);
}

void TestPlan::planList_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("month from 31 January, both ends")
        << QDate(2003, 1, 31) << QDate(2003, 3, 2) << QStringList{"B", "C", "D"};
    QTest::newRow("one day") << QDate(2003, 3, 2) << QDate(2003, 3, 2) << QStringList{"D"};
    QTest::newRow("start after end") << QDate(2003, 3, 2) << QDate(2003, 1, 31) << QStringList{};
    QTest::newRow("nothing due") << QDate(2004, 1, 1) << QDate(2004, 12, 31) << QStringList{};
}

void TestPlan::planList()
{
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(QStringList, listed);

    PlanningFixture f;
    QVERIFY(f.open);
    addAroundFebruary(f);
    f.state.options.ProgramDateStar = start;
    f.state.options.ProgramDateEnd = end;

    frmProgram w(f.state);
    QAbstractItemModelTester tester(w.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(w.load());
    w.show();
    QCOMPARE(f.column(tables::Plan, NumberColumn), listed);
    QCOMPARE(w.Label2->text(), planningtexts::recordCountText(int(listed.size())));
    QCOMPARE(w.DBGrid1->model()->rowCount(), int(listed.size()));
    w.close();
    QVERIFY(!f.db().tableExists(tables::Plan));
}

void TestPlan::stalePlanTableReplaced()
{
    PlanningFixture f;
    QVERIFY(f.open);
    addAroundFebruary(f);
    QVERIFY(f.db().executeNative(QStringLiteral("CREATE TABLE MSys计划检定设备表 (计量器具编号 TEXT)")).ok());
    QVERIFY(f.db().executeNative(QStringLiteral("INSERT INTO MSys计划检定设备表 VALUES ('旧')")).ok());
    f.state.options.ProgramDateStar = QDate(2003, 1, 31);
    f.state.options.ProgramDateEnd = QDate(2003, 3, 2);
    frmProgram w(f.state);
    QVERIFY(w.load());
    QVERIFY(f.prompt.messages.isEmpty());
    QCOMPARE(f.column(tables::Plan, NumberColumn), (QStringList{"B", "C", "D"}));
}

void TestPlan::resultWithoutValidityDate()
{
    PlanningFixture f;
    QVERIFY(f.open);
    addAroundFebruary(f);
    QVERIFY(f.makeResult(QStringLiteral("select 计量器具编号 into MSys检索临时表 from 计量器具在用库")));
    f.state.options.ProgramDateStar = QDate(2003, 1, 31);
    f.state.options.ProgramDateEnd = QDate(2003, 3, 2);
    frmProgram w(f.state);
    bool shown = false;
    QTimer::singleShot(0, &w, [&] {
        shown = w.isVisible();
        w.reject();
    });
    QCOMPARE(w.exec(), int(QDialog::Rejected));
    QVERIFY(!shown);
    QCOMPARE(f.prompt.messages.size(), 1);
    QVERIFY(f.prompt.messages.first().text.contains(QStringLiteral("有效日期")));
}

void TestPlan::setupOpensTheList()
{
    PlanningFixture f;
    QVERIFY(f.open);
    addAroundFebruary(f);
    frmPlanSetup s(f.state);
    s.setToday(QDate(2003, 1, 31));

    QString caption, count, heading;
    QStringList listed;
    whenModal("frmPlanSetup", [&](QWidget*) {
        s.optMonth->click();
        s.cmdOK->click();
    });
    whenModal("frmProgram", [&](QWidget* w) {
        auto* list = static_cast<frmProgram*>(w);
        caption = list->windowTitle();
        heading = list->Label1->text();
        count = list->Label2->text();
        listed = f.column(tables::Plan, NumberColumn);
        list->cmdOk->click();
    });
    QCOMPARE(s.exec(), int(QDialog::Accepted));
    QCOMPARE(caption, QStringLiteral("计划检定设备清单"));
    QCOMPARE(heading,
             QStringLiteral("在检索结果中，以下设备在你设置的检定日期范围内，请单击\"打印\"按钮将报表输出到打印机！"));
    QCOMPARE(count, QStringLiteral("共 3 条记录"));
    QCOMPARE(listed, (QStringList{"B", "C", "D"}));
    QVERIFY(!f.db().tableExists(tables::Plan));
}

QTEST_MAIN(TestPlan)
#include "tst_plan.moc"
