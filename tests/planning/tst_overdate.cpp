// The due list: which instruments each lead mode lists, the count, a table
// left behind by an earlier run, a result that cannot be filtered, and the
// table going away with the window.
#include "PlanningFixture.h"
#include "planning/PlanningTexts.h"
#include "planning/frmOverDate.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace ravo;
using namespace ravo::test;

class TestOverDate : public QObject {
    Q_OBJECT
private slots:
    void leadModes_data();
    void leadModes();
    void cutOffIsReadableWhateverTheLanguage();
    void emptyResult();
    void staleTableReplaced();
    void resultWithoutValidityDate();
    void closingDropsTheTable_data();
    void closingDropsTheTable();
    void opensOnlyOverALedger_data();
    void opensOnlyOverALedger();
};

namespace {

// Instruments around today, inserted out of number order; "H" has no
// validity date.
void addSpread(PlanningFixture& f)
{
    const QDate t = QDate::currentDate();
    QVERIFY(f.addInstruments({{"G", t.addDays(31)}, {"A", t.addDays(-10)}, {"F", t.addDays(30)},
                              {"B", t}, {"H", QDate()}, {"E", t.addDays(15)}, {"C", t.addDays(1)},
                              {"D", t.addDays(14)}}));
    QVERIFY(f.makeResult());
}

} // namespace

void TestOverDate::leadModes_data()
{
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("weeks");
    QTest::addColumn<QStringList>("listed");

    const QStringList dueNow{"A", "B"};
    QTest::newRow("no lead: today and earlier") << 1 << 30 << 2 << dueNow;
    QTest::newRow("0 days as no lead") << 2 << 0 << 2 << dueNow;
    QTest::newRow("30 days, the 30th included") << 2 << 30 << 0 << QStringList{"A", "B", "C", "D", "E", "F"};
    QTest::newRow("2 weeks = 14 days") << 3 << 5 << 2 << QStringList{"A", "B", "C", "D"};
    QTest::newRow("mode 5 counts weeks") << 5 << 30 << 0 << dueNow;
}

void TestOverDate::leadModes()
{
    QFETCH(int, advance);
    QFETCH(int, days);
    QFETCH(int, weeks);
    QFETCH(QStringList, listed);

    PlanningFixture f;
    QVERIFY(f.open);
    addSpread(f);
    f.state.options.Advance = qint16(advance);
    f.state.options.AdvanceDay = qint16(days);
    f.state.options.AdvanceWeek = qint16(weeks);

    frmOverDate w(f.state);
    QAbstractItemModelTester tester(w.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(w.load());
    w.show();
    QCOMPARE(f.column(tables::DueList, NumberColumn), listed);
    QCOMPARE(w.DBGrid1->model()->rowCount(), int(listed.size()));
    QCOMPARE(w.Label2->text(), planningtexts::recordCountText(int(listed.size())));
    QVERIFY(f.prompt.messages.isEmpty());
    // Every column of the result, ready for the grid.
    QCOMPARE(w.Data1.fields(), f.db().columns(tables::SearchResult));
    w.close();
}

void TestOverDate::cutOffIsReadableWhateverTheLanguage()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Options o;
    o.Advance = 2;
    o.AdvanceDay = 3;
    const QString s = dueListStatement(o, QDate(2026, 12, 4));
    QLocale::setDefault(saved);
    QCOMPARE(s, QStringLiteral("select * into MSys待检或到期设备表 from MSys检索临时表 where 有效日期<= #2026-Dec-07# "
                               "order by 计量器具编号;"));
}

void TestOverDate::emptyResult()
{
    PlanningFixture f;
    QVERIFY(f.open);
    QVERIFY(f.makeResult());
    frmOverDate w(f.state);
    QVERIFY(w.load());
    w.show();
    QCOMPARE(w.Label2->text(), QStringLiteral("共 0 条记录"));
    QCOMPARE(w.DBGrid1->model()->rowCount(), 0);
    w.close();
}

void TestOverDate::staleTableReplaced()
{
    PlanningFixture f;
    QVERIFY(f.open);
    addSpread(f);
    // A copy left by an interrupted run, of another shape and with a row
    // that is no instrument of the result.
    QVERIFY(f.db().executeNative(QStringLiteral("CREATE TABLE MSys待检或到期设备表 (旧列 TEXT)")).ok());
    QVERIFY(f.db().executeNative(QStringLiteral("INSERT INTO MSys待检或到期设备表 VALUES ('old')")).ok());

    frmOverDate w(f.state);
    QVERIFY(w.load());
    QVERIFY(f.prompt.messages.isEmpty());
    QCOMPARE(f.column(tables::DueList, NumberColumn), (QStringList{"A", "B"}));
    QVERIFY(w.Data1.fieldIndex(QStringLiteral("旧列")) < 0);
}

void TestOverDate::resultWithoutValidityDate()
{
    PlanningFixture f;
    QVERIFY(f.open);
    addSpread(f);
    QVERIFY(f.makeResult(QStringLiteral("select 计量器具编号,计量器具名称 into MSys检索临时表 from 计量器具在用库")));

    frmOverDate w(f.state);
    bool shown = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &w, [&] {
        shown = w.isVisible();
        w.reject();
    });
    guard.start(0);
    QCOMPARE(w.exec(), int(QDialog::Rejected));
    QVERIFY(!shown);
    QCOMPARE(f.prompt.messages.size(), 1);
    const ScriptedPrompter::Message& m = f.prompt.messages.first();
    QVERIFY2(m.text.contains(QStringLiteral("有效日期")), qPrintable(m.text));
    QCOMPARE(m.buttons, Prompter::Buttons::Ok);
    QVERIFY(!f.db().tableExists(tables::DueList));
}

void TestOverDate::closingDropsTheTable_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("确定") << "ok";
    QTest::newRow("close box") << "close";
    QTest::newRow("Escape") << "escape";
}

void TestOverDate::closingDropsTheTable()
{
    QFETCH(QString, how);
    PlanningFixture f;
    QVERIFY(f.open);
    addSpread(f);
    frmOverDate w(f.state);
    bool existedWhileOpen = false;
    QString count;
    whenModal("frmOverDate", [&](QWidget*) {
        existedWhileOpen = f.db().tableExists(tables::DueList);
        count = w.Label2->text();
        if (how == "ok")
            w.cmdOK->click();
        else if (how == "close")
            w.close();
        else
            QTest::keyClick(&w, Qt::Key_Escape);
    });
    w.exec();
    QVERIFY(existedWhileOpen);
    QCOMPARE(count, QStringLiteral("共 2 条记录"));
    QVERIFY(!f.db().tableExists(tables::DueList));
    QVERIFY(!w.Data1.isOpen());
    QVERIFY(f.db().tableExists(tables::SearchResult));
}

void TestOverDate::opensOnlyOverALedger_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("opens");
    QTest::newRow("in use") << tables::InUse << true;
    QTest::newRow("sealed") << tables::Sealed << true;
    QTest::newRow("scrapped") << tables::Scrapped << true;
    QTest::newRow("stock") << tables::Stock << false;
    QTest::newRow("calibration records") << tables::Confirmation << false;
    QTest::newRow("environment") << tables::Environment << false;
    QTest::newRow("none chosen") << QString() << false;
}

void TestOverDate::opensOnlyOverALedger()
{
    QFETCH(QString, table);
    QFETCH(bool, opens);
    QCOMPARE(planningOpensFor(table), opens);
}

QTEST_MAIN(TestOverDate)
#include "tst_overdate.moc"
