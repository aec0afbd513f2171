// The options dialog: what it shows, what 确定 writes and in which form,
// the lead options and their boxes, the digit-only boxes, cancel and the
// close box, and the refusal of a number box that holds no number.
#include "PlanningFixture.h"
#include "planning/frmOptions.h"
#include "planning/frmOverDate.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using namespace ravo;
using namespace ravo::test;

namespace k = ravo::optionkeys;

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void booleansWritten_data();
    void booleansWritten();
    void confirmRewritesEveryValue();
    void leadModeShown_data();
    void leadModeShown();
    void weeksLeadReachesTheDueList();
    void leadBoxesTakeDigitsOnly();
    void cancelKeepsEditsUntilConfirm();
    void closeBoxLoadsAfresh();
    void numberBoxChecked_data();
    void numberBoxChecked();
};

void TestOptions::booleansWritten_data()
{
    QTest::addColumn<bool>("awoke");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("compact");
    QTest::addColumn<bool>("tips");
    QTest::addColumn<bool>("nav");
    QTest::newRow("all on") << true << true << true << true << true;
    QTest::newRow("all off") << false << false << false << false << false;
    QTest::newRow("mixed") << true << false << true << false << true;
}

void TestOptions::booleansWritten()
{
    QFETCH(bool, awoke);
    QFETCH(bool, backup);
    QFETCH(bool, compact);
    QFETCH(bool, tips);
    QFETCH(bool, nav);

    PlanningFixture f;
    frmOptions d(f.state);
    d.chkAwoke->setChecked(awoke);
    d.chkDBBackup->setChecked(backup);
    d.chkDBCompact->setChecked(compact);
    d.chkTipShow->setChecked(tips);
    d.chkNav->setChecked(nav);
    d.cmdOK->click();

    auto text = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
    QCOMPARE(f.stored(k::SysOptions, k::Awoke), text(awoke));
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), text(backup));
    QCOMPARE(f.stored(k::SysOptions, k::DBCompact), text(compact));
    QCOMPARE(f.stored(k::SysOptions, k::Nav), text(nav));
    QCOMPARE(f.stored(k::TipsSection, k::ShowTipsAtStartup), tips ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(f.state.options.Awoke, awoke);
    QCOMPARE(f.state.options.DBBackup, backup);
    QCOMPARE(f.state.options.DBCompact, compact);
    QCOMPARE(f.state.options.Nav, nav);
    QCOMPARE(f.state.ShowTipsAtStartup, tips ? 1 : 0);
    QCOMPARE(f.state.options.ShowTipsAtStartup, qint16(tips ? 1 : 0));
}

void TestOptions::confirmRewritesEveryValue()
{
    PlanningFixture f;
    Options& o = f.state.options;
    o.Advance = 2;
    o.AdvanceDay = 30;
    o.AdvanceWeek = 3;
    o.GroupName = QStringLiteral("某某计量所 \"一室\"");
    for (int i = 0; i < 5; ++i) {
        o.PrintClassX[i] = qint16(-10 * (i + 1));
        o.PrintClassY[i] = qint16(7 * (i + 1));
    }
    f.state.RequeryOnActivate = true;

    frmOptions d(f.state);
    QCOMPARE(d.txtGroupName->text(), o.GroupName);
    QCOMPARE(d.txtX[2]->text(), QStringLiteral("-30"));
    d.cmdOK->click();

    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!f.state.RequeryOnActivate);
    QCOMPARE(f.stored(k::SysOptions, k::Advance), QStringLiteral("2"));
    QCOMPARE(f.stored(k::SysOptions, k::AdvanceDay), QStringLiteral("30"));
    QCOMPARE(f.stored(k::SysOptions, k::AdvanceWeek), QStringLiteral("3"));
    QCOMPARE(f.stored(k::Print, k::GroupName), QStringLiteral("某某计量所 \"一室\""));
    for (int n = 1; n <= 5; ++n) {
        QCOMPARE(f.stored(k::Print, k::printClassX(n)), QString::number(-10 * n));
        QCOMPARE(f.stored(k::Print, k::printClassY(n)), QString::number(7 * n));
    }
    // What was written reads back as the same options.
    QCOMPARE(f.state.settings.readInt16(SettingsStore::MainApp, k::Print, k::printClassX(5)), std::optional<qint16>(-50));
}

void TestOptions::leadModeShown_data()
{
    QTest::addColumn<int>("advance");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("daysOn");
    QTest::addColumn<bool>("weeksOn");
    QTest::newRow("1 no lead") << 1 << "optNoAhead" << false << false;
    QTest::newRow("2 days") << 2 << "optDate" << true << false;
    QTest::newRow("3 weeks") << 3 << "optWeek" << false << true;
    QTest::newRow("5 counts as weeks") << 5 << "optWeek" << false << true;
    QTest::newRow("0 counts as weeks") << 0 << "optWeek" << false << true;
}

void TestOptions::leadModeShown()
{
    QFETCH(int, advance);
    QFETCH(QString, selected);
    QFETCH(bool, daysOn);
    QFETCH(bool, weeksOn);

    PlanningFixture f;
    f.state.options.Advance = qint16(advance);
    frmOptions d(f.state);
    for (QRadioButton* b : {d.optNoAhead, d.optDate, d.optWeek})
        QCOMPARE(b->isChecked(), b->objectName() == selected);
    QCOMPARE(d.txtDate->isEnabled(), daysOn);
    QCOMPARE(d.Label10->isEnabled(), daysOn);
    QCOMPARE(d.txtWeek->isEnabled(), weeksOn);
    QCOMPARE(d.Label11->isEnabled(), weeksOn);

    // Each choice enables its own box and label only.
    d.optDate->click();
    QVERIFY(d.txtDate->isEnabled() && d.Label10->isEnabled());
    QVERIFY(!d.txtWeek->isEnabled() && !d.Label11->isEnabled());
    d.optNoAhead->click();
    QVERIFY(!d.txtDate->isEnabled() && !d.txtWeek->isEnabled());
}

void TestOptions::weeksLeadReachesTheDueList()
{
    PlanningFixture f;
    frmOptions d(f.state);
    d.optWeek->click();
    d.txtWeek->setText(QStringLiteral("2"));
    d.cmdOK->click();
    QCOMPARE(f.stored(k::SysOptions, k::Advance), QStringLiteral("3"));
    QCOMPARE(f.stored(k::SysOptions, k::AdvanceWeek), QStringLiteral("2"));
    QVERIFY(dueListStatement(f.state.options, QDate(2026, 12, 4)).contains(QStringLiteral("#2026-Dec-18#")));
}

void TestOptions::leadBoxesTakeDigitsOnly()
{
    PlanningFixture f;
    f.state.options.Advance = 2;
    f.state.options.AdvanceDay = 1;
    frmOptions d(f.state);
    d.show();
    d.txtDate->setFocus();
    d.txtDate->end(false);

    QTest::keyClick(d.txtDate, Qt::Key_5);
    QCOMPARE(d.txtDate->text(), QStringLiteral("15"));
    QCOMPARE(f.prompt.beeps, 0);
    QTest::keyClick(d.txtDate, Qt::Key_A);
    QTest::keyClick(d.txtDate, Qt::Key_Minus);
    QTest::sendKeyEvent(QTest::Click, d.txtDate, Qt::Key_unknown, QStringLiteral("五"), Qt::NoModifier);
    QCOMPARE(d.txtDate->text(), QStringLiteral("15"));
    QCOMPARE(f.prompt.beeps, 3);
    QTest::keyClick(d.txtDate, Qt::Key_Backspace);
    QCOMPARE(d.txtDate->text(), QStringLiteral("1"));
    QCOMPARE(f.prompt.beeps, 3);
    // The offset boxes take any text; confirmation judges it.
    QTest::keyClick(d.txtX[0], Qt::Key_Minus);
    QCOMPARE(d.txtX[0]->text(), QStringLiteral("0-"));
    d.hide();
}

void TestOptions::cancelKeepsEditsUntilConfirm()
{
    PlanningFixture f;
    QPointer<frmOptions> kept;
    whenModal("frmOptions", [&](QWidget*) {
        kept->chkDBBackup->setChecked(true);
        kept->cmdCancel->click();
    });
    QCOMPARE(showOptions(f.state, kept, nullptr), int(QDialog::Rejected));
    QVERIFY(kept);
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("<absent>"));
    QVERIFY(!f.state.options.DBBackup);

    bool stillTicked = false;
    whenModal("frmOptions", [&](QWidget*) {
        stillTicked = kept->chkDBBackup->isChecked();
        kept->cmdOK->click();
    });
    QCOMPARE(showOptions(f.state, kept, nullptr), int(QDialog::Accepted));
    QVERIFY(stillTicked);
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("True"));
    QVERIFY(f.state.options.DBBackup);
    delete kept.data();
}

void TestOptions::closeBoxLoadsAfresh()
{
    PlanningFixture f;
    QPointer<frmOptions> kept;
    whenModal("frmOptions", [&](QWidget* w) {
        kept->chkDBBackup->setChecked(true);
        kept->txtGroupName->setText(QStringLiteral("未保存"));
        w->close();
    });
    showOptions(f.state, kept, nullptr);
    QVERIFY(!kept);
    QCOMPARE(f.stored(k::SysOptions, k::DBBackup), QStringLiteral("<absent>"));

    bool ticked = true;
    QString group = QStringLiteral("?");
    whenModal("frmOptions", [&](QWidget*) {
        ticked = kept->chkDBBackup->isChecked();
        group = kept->txtGroupName->text();
        kept->cmdCancel->click();
    });
    showOptions(f.state, kept, nullptr);
    QVERIFY(!ticked);
    QCOMPARE(group, QString());
    delete kept.data();
}

void TestOptions::numberBoxChecked_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");   // empty: the text is accepted
    QTest::addColumn<int>("tab");

    QTest::newRow("days emptied") << "txtDate" << "" << "提前提醒天数" << 0;
    QTest::newRow("weeks too many") << "txtWeek" << "99999" << "提前提醒周数" << 0;
    QTest::newRow("offset letters") << "txt3X" << "abc" << "检定结果通知书(小) 横向" << 2;
    QTest::newRow("offset with a tail") << "txt2X" << "12a" << "检定证书(大)与正副本 横向" << 2;
    QTest::newRow("offset too large") << "txt5Y" << "40000" << "测试报告(大)与正副本 纵向" << 2;
    QTest::newRow("offset too small") << "txt1Y" << "-32769" << "检定证书(小) 纵向" << 2;
    QTest::newRow("offset blank") << "txt4Y" << "  " << "检定结果通知书(大)与正副本 纵向" << 2;
    QTest::newRow("largest days") << "txtDate" << "32767" << "" << 0;
    QTest::newRow("smallest offset") << "txt1X" << "-32768" << "" << 2;
    QTest::newRow("offset with blanks") << "txt2Y" << " 15 " << "" << 2;
}

void TestOptions::numberBoxChecked()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);
    QFETCH(int, tab);

    PlanningFixture f;
    f.state.options.Advance = box == "txtWeek" ? 3 : 2;
    f.state.RequeryOnActivate = true;
    frmOptions d(f.state);
    auto* edit = d.findChild<QLineEdit*>(box);
    QVERIFY(edit);
    edit->setText(text);
    d.chkAwoke->setChecked(true);
    d.SSTab1->setCurrentIndex(1);
    d.show();
    d.cmdOK->click();

    if (named.isEmpty()) {
        QVERIFY(f.prompt.messages.isEmpty());
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(f.state.options.Awoke);
        return;
    }
    QCOMPARE(f.prompt.messages.size(), 1);
    const ScriptedPrompter::Message& m = f.prompt.messages.first();
    QVERIFY2(m.text.contains(QStringLiteral("“") + named + QStringLiteral("”")), qPrintable(m.text));
    QCOMPARE(m.icon, Prompter::Icon::Critical);
    // The dialog stays open on the box's tab with the text as typed, and
    // nothing is stored or taken over.
    QVERIFY(d.isVisible());
    QCOMPARE(d.SSTab1->currentIndex(), tab);
    QCOMPARE(edit->text(), text);
    QCOMPARE(f.stored(k::SysOptions, k::Awoke), QStringLiteral("<absent>"));
    QCOMPARE(f.stored(k::SysOptions, k::Nav), QStringLiteral("<absent>"));
    QCOMPARE(f.stored(k::Print, k::printClassY(5)), QStringLiteral("<absent>"));
    QVERIFY(!f.state.options.Awoke);
    QVERIFY(f.state.RequeryOnActivate);
    d.hide();
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
