// The query wizard as a user drives it: the statement it composes, the
// advanced mode's conditions, the move buttons, what survives a reopening,
// the saved pick, and what it refuses.
#include "QueryFixture.h"
#include "core/Dates.h"

#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTabWidget>

using namespace ravo;
using namespace ravo::test;
namespace t = ravo::querytexts;

namespace {
const QString Head =
    QStringLiteral("select 计量器具在用库.计量器具编号,计量器具在用库.计量器具名称 into MSys检索临时表 "
                   "from 计量器具在用库 where ");
const QString EnvHead = QStringLiteral("select 环境状况记录库.ID into MSys检索临时表 from 环境状况记录库 where ");
const QString Up = t::Ascending;
const QString Down = t::Descending;
} // namespace

class tst_frmQuery : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<QueryFixture>();
        QVERIFY(f->ready);
    }
    void cleanup() { f.reset(); }

    void switchesMode();
    void composesStatement_data();
    void composesStatement();
    void advancedConditions_data();
    void advancedConditions();
    void addingRefusesBadValue_data();
    void addingRefusesBadValue();
    void moveButtons_data();
    void moveButtons();
    void reopeningSameTableKeepsEveryChoice();
    void reopeningOtherTableRebuildsLists();
    void savedPick_data();
    void savedPick();
    void refusesWithoutFields_data();
    void refusesWithoutFields();
    void refusesBadSimpleValue_data();
    void refusesBadSimpleValue();
    void runsModallyAndCancels();
    void closeBoxUnloads();

private:
    std::unique_ptr<QueryFixture> f;
};

void tst_frmQuery::switchesMode()
{
    frmQuery& w = f->open(InUse);
    QVERIFY(!w.chkHigh->isChecked());
    QVERIFY(w.optAND->isChecked());
    const QList<QWidget*> simple = {w.Label1, w.Label2, w.cboQueryFields, w.txtQueryMatter, w.chkBlur};
    const QList<QWidget*> advanced = {w.cboFields, w.cboOperator, w.txtValue, w.optAND,
                                      w.optOR,     w.cmdAdd,      w.cmdClear, w.txtSQL};
    for (bool high : {false, true, false, true}) {
        w.chkHigh->setChecked(high);
        for (QWidget* c : simple)
            QVERIFY2(c->isEnabled() == !high, qPrintable(c->objectName()));
        for (QWidget* c : advanced)
            QVERIFY2(c->isEnabled() == high, qPrintable(c->objectName()));
    }
    // Clearing empties both texts and disables itself until the next condition.
    w.txtValue->setText(QStringLiteral("卡尺"));
    w.txtSQL->setPlainText(QStringLiteral(" ID > 1"));
    w.cmdClear->click();
    QCOMPARE(w.txtSQL->toPlainText() + w.txtValue->text(), QString());
    QVERIFY(!w.cmdClear->isEnabled());

    // The value typed in simple mode is selected whole when it is entered.
    w.chkHigh->setChecked(false);
    w.txtQueryMatter->setText(QStringLiteral("计量科"));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtQueryMatter->setFocus();
    QTRY_COMPARE(w.txtQueryMatter->selectedText(), QStringLiteral("计量科"));
}

void tst_frmQuery::composesStatement_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("directions");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("blur");
    QTest::addColumn<QString>("expected");

    const QStringList keys = {Number, Name};
    const QString order = QStringLiteral("ORDER BY 计量器具在用库.计量器具编号 ,计量器具在用库.计量器具名称 desc;");
    const QStringList none;

    QTest::newRow("worked example: date") << InUse << keys << QStringList{Up, Down} << "检定日期"
                                          << "2003-1-1" << false << Head + "检定日期 = #2003-1-1# " + order;
    QTest::newRow("worked example: containment") << InUse << keys << QStringList{Up, Down} << "使用部门"
                                                 << "计量" << true << Head + "使用部门 like \"*计量*\" " + order;
    QTest::newRow("empty direction sorts descending") << InUse << keys << QStringList{Up, ""} << "使用部门"
                                                      << "计量" << false << Head + "使用部门 = \"计量\" " + order;
    QTest::newRow("no sort key, no ORDER BY")
        << InUse << none << none << Name << "卡尺\"A\"" << false << Head + "计量器具名称 = \"卡尺\"\"A\"\"\" ;";
    QTest::newRow("empty first key skipped")
        << InUse << QStringList{"", Name} << QStringList{Up, Down} << Name << "" << false
        << Head + "计量器具名称 = \"\" ORDER BY 计量器具在用库.计量器具名称 desc;";
    QTest::newRow("last key ascending") << InUse << QStringList{Name, "", "", Number} << QStringList{Down, Up, Up, Up}
                                        << Name << "2\"" << true
                                        << Head
            + "计量器具名称 like \"*2\"\"*\" ORDER BY 计量器具在用库.计量器具名称 "
              "desc,计量器具在用库.计量器具编号;";
    QTest::newRow("date field ignores containment") << InUse << none << none << "检定日期"
                                                    << "2003-1-1" << true << Head + "检定日期 = #2003-1-1# ;";
    QTest::newRow("date as month/day/year, written as typed")
        << InUse << none << none << "检定日期"
        << "1/15/2003" << false << Head + "检定日期 = #1/15/2003# ;";
    QTest::newRow("时间 written as a date, ignores containment") << Environment << none << none << "时间"
                                                                 << "10:05" << true << EnvHead + "时间 = #10:05# ;";
    QTest::newRow("ID bare, ignores containment")
        << Environment << QStringList{"日期"} << QStringList{Down} << "ID"
        << "2" << true << EnvHead + "ID = 2 ORDER BY 环境状况记录库.日期 desc;";
}

void tst_frmQuery::composesStatement()
{
    QFETCH(QString, table);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, directions);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, blur);
    QFETCH(QString, expected);

    frmQuery& w = f->open(table);
    QVERIFY(chooseFields(w, table == InUse ? QStringList{Number, Name} : QStringList{"ID"}));
    setSortKeys(w, keys, directions);
    QVERIFY(selectText(w.cboQueryFields, field));
    w.txtQueryMatter->setText(value);
    w.chkBlur->setChecked(blur);
    // What can be run can be saved: saving asks for the name (cancelled here).
    w.cmdSaveQuery->click();
    QCOMPARE(f->prompt.inputsShown.size(), 1);
    w.cmdQuery->click();

    QCOMPARE(f->state.QuerySQL, expected);
    QVERIFY(f->state.RequeryOnActivate);
    QVERIFY(w.isHidden());
    QVERIFY(f->prompt.messages.isEmpty());
}

void tst_frmQuery::advancedConditions_data()
{
    // Each step: joiner, field, operator, value.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << InUse << QStringList{"AND|检定日期|>=|2002-1-1", "AND|检定日期|<|2003-1-1"}
                                    << " 检定日期 >= #2002-1-1# AND 检定日期 < #2003-1-1#";
    QTest::newRow("first ignores the joiner, OR, quote doubled")
        << InUse << QStringList{"OR|计量器具名称|like|*卡尺*", "OR|使用部门|<>|质检\"科"}
        << " 计量器具名称 like \"*卡尺*\" OR 使用部门 <> \"质检\"\"科\"";
    QTest::newRow("each class of field") << Environment
                                         << QStringList{"AND|ID|>|3", "AND|时间|<=|12:00:00", "OR|环境温度|=|20"}
                                         << " ID > 3 AND 时间 <= #12:00:00# OR 环境温度 = \"20\"";
}

void tst_frmQuery::advancedConditions()
{
    QFETCH(QString, table);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    frmQuery& w = f->open(table);
    w.chkHigh->setChecked(true);
    for (const QString& step : steps) {
        const QStringList p = step.split(QLatin1Char('|'));
        (p[0] == QStringLiteral("AND") ? w.optAND : w.optOR)->setChecked(true);
        QVERIFY(selectText(w.cboFields, p[1]) && selectText(w.cboOperator, p[2]));
        w.txtValue->setText(p[3]);
        w.cmdAdd->click();
    }
    QCOMPARE(w.txtSQL->toPlainText(), expected);

    const QString first = f->state.LedgerDatabase.columns(table).first();
    QVERIFY(chooseFields(w, {first}));
    setSortKeys(w, {}, {});
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL,
             QStringLiteral("select %1.%2 into MSys检索临时表 from %1 where %3 ;").arg(table, first, expected));
}

void tst_frmQuery::addingRefusesBadValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<Prompter::Icon>("icon");

    QTest::newRow("empty value") << "检定日期"
                                 << "" << t::NoConditionValue << Prompter::Icon::None;
    QTest::newRow("not a date") << "检定日期"
                                << "2003-2-30" << dateErrorMessage("检定日期", "2003-2-30") << Prompter::Icon::Critical;
}

void tst_frmQuery::addingRefusesBadValue()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(Prompter::Icon, icon);

    frmQuery& w = f->open(InUse);
    w.chkHigh->setChecked(true);
    w.txtSQL->setPlainText(QStringLiteral(" 计量器具名称 = \"表\""));
    QVERIFY(selectText(w.cboFields, field));
    w.txtValue->setText(value);
    w.cmdAdd->click();

    QCOMPARE(f->prompt.messages.size(), 1);
    QCOMPARE(f->prompt.messages[0].text, message);
    QCOMPARE(f->prompt.messages[0].icon, icon);
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" 计量器具名称 = \"表\""));
    QCOMPARE(w.txtValue->text(), value);
}

void tst_frmQuery::moveButtons_data()
{
    // The readings table's fields: ID 日期 时间 环境温度 环境湿度 大气压力.
    // Steps press ">" ">>" "<" "<<", or select a row: "d3" of lstDest, "s1"
    // of lstSource. Then both lists, their selected rows, and > >> < <<
    // enabled as four digits.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<int>("sourceRow");
    QTest::addColumn<int>("destRow");
    QTest::addColumn<QString>("enabled");

    const QString all = QStringLiteral("ID 日期 时间 环境温度 环境湿度 大气压力");
    QTest::newRow("at first") << QStringList() << "" << all << -1 << 0 << "0011";
    QTest::newRow("one from the middle") << QStringList{"d2", "<"} << "时间"
                                         << "ID 日期 环境温度 环境湿度 大气压力" << 0 << 2 << "1111";
    QTest::newRow("the last one: new last selected") << QStringList{"d5", "<"} << "大气压力"
                                                     << "ID 日期 时间 环境温度 环境湿度" << 0 << 4 << "1111";
    QTest::newRow("all back") << QStringList{"<<"} << all << "" << 0 << -1 << "1100";
    QTest::newRow("appended at the end, in the order moved")
        << QStringList{"<<", "s5", ">", "s0", ">"} << "日期 时间 环境温度 环境湿度"
        << "大气压力 ID" << 0 << 1 << "1111";
    QTest::newRow("emptied one at a time")
        << QStringList{"<<", ">", ">", ">", ">", ">", ">"} << "" << all << -1 << 5 << "0011";
}

void tst_frmQuery::moveButtons()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, source);
    QFETCH(QString, dest);
    QFETCH(int, sourceRow);
    QFETCH(int, destRow);
    QFETCH(QString, enabled);

    frmQuery& w = f->open(Environment);
    const QHash<QString, QPushButton*> buttons = {
        {">", w.cmdAddField}, {">>", w.cmdAddAll}, {"<", w.cmdDel}, {"<<", w.cmdDelAll}};
    for (const QString& s : steps) {
        if (buttons.contains(s))
            buttons[s]->click();
        else
            (s.startsWith(QLatin1Char('d')) ? w.lstDest : w.lstSource)->setCurrentRow(s.mid(1).toInt());
    }
    auto selectedRow = [](QListWidget* l) {
        const auto sel = l->selectedItems();
        return sel.isEmpty() ? -1 : l->row(sel.first());
    };
    QCOMPARE(listEntries(w.lstSource).join(QLatin1Char(' ')), source);
    QCOMPARE(listEntries(w.lstDest).join(QLatin1Char(' ')), dest);
    QCOMPARE(selectedRow(w.lstSource), sourceRow);
    QCOMPARE(selectedRow(w.lstDest), destRow);
    QString state;
    for (QPushButton* b : {w.cmdAddField, w.cmdAddAll, w.cmdDel, w.cmdDelAll})
        state += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(state, enabled);
}

void tst_frmQuery::reopeningSameTableKeepsEveryChoice()
{
    f->state.SavedQueries = {seededQuery()};
    frmQuery& w = f->open(InUse);
    QVERIFY(chooseFields(w, {Name, Number}));
    setSortKeys(w, {"", Name, "", "检定日期"}, {Down, Up, "", Down});
    QVERIFY(selectText(w.cboQueryFields, "使用部门"));
    w.txtQueryMatter->setText(QStringLiteral("计量"));
    w.chkBlur->setChecked(true);
    w.chkHigh->setChecked(true);
    w.optOR->setChecked(true);
    QVERIFY(selectText(w.cboOperator, "<"));
    w.txtSQL->setPlainText(QStringLiteral(" 检定日期 > #2002-1-1#"));
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdCancle->click();

    QCOMPARE(&f->open(InUse), &w);
    QCOMPARE(listEntries(w.lstDest), QStringList({Name, Number}));
    QCOMPARE(w.Combo1[0]->currentText() + "|" + w.Combo1[1]->currentText() + "|" + w.Combo1[3]->currentText(),
             "|" + Name + "|检定日期");
    QCOMPARE(w.Combo2[0]->currentText() + "|" + w.Combo2[2]->currentText(), Down + "|");
    QCOMPARE(w.cboQueryFields->currentText(), QStringLiteral("使用部门"));
    QCOMPARE(w.txtQueryMatter->text(), QStringLiteral("计量"));
    QVERIFY(w.chkBlur->isChecked() && w.chkHigh->isChecked() && w.optOR->isChecked() && w.cboFields->isEnabled());
    QCOMPARE(w.cboOperator->currentText(), QStringLiteral("<"));
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" 检定日期 > #2002-1-1#"));
    QCOMPARE(w.cboQuerySave->currentText(), QStringLiteral("常用查询1"));
}

void tst_frmQuery::reopeningOtherTableRebuildsLists()
{
    frmQuery& w = f->open(InUse);
    QVERIFY(chooseFields(w, {Name}));
    setSortKeys(w, {Name, Number}, {Down, Down});
    w.txtQueryMatter->setText(QStringLiteral("卡尺"));
    w.chkHigh->setChecked(true);
    w.txtValue->setText(QStringLiteral("20"));
    w.txtSQL->setPlainText(QStringLiteral(" ID > 3"));
    w.cmdCancle->click();

    f->open(Environment);
    const QStringList columns = f->state.LedgerDatabase.columns(Environment);
    QCOMPARE(listEntries(w.lstDest), columns);
    QCOMPARE(w.lstSource->count(), 0);
    QCOMPARE(w.cboFields->count(), columns.size());
    QCOMPARE(w.Combo1[3]->count(), columns.size());
    QCOMPARE(w.cboQueryFields->currentText() + w.Combo1[0]->currentText() + w.Combo2[0]->currentText(), "IDID" + Up);
    QCOMPARE(w.Combo1[1]->currentText(), QString());
    QVERIFY(w.cmdDel->isEnabled() && !w.cmdAddField->isEnabled());
    // The condition texts and the mode stay.
    QCOMPARE(w.txtQueryMatter->text() + w.txtValue->text() + w.txtSQL->toPlainText(), "卡尺20 ID > 3");
    QVERIFY(w.chkHigh->isChecked());
}

void tst_frmQuery::savedPick_data()
{
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("expected"); // empty: the statement of the tabs

    QTest::newRow("seeded query") << "常用查询1" << seededQuery().sql;
    QTest::newRow("first of two with one name") << "周检"
                                                << "select 1 first";
    QTest::newRow("unknown name ignored") << "没有这个查询"
                                          << "";
    QTest::newRow("only the exact name") << " 常用查询1"
                                         << "";
}

void tst_frmQuery::savedPick()
{
    QFETCH(QString, pick);
    QFETCH(QString, expected);

    f->state.SavedQueries = {seededQuery(), {"周检", "select 1 first"}, {"周检", "select 2 second"}};
    frmQuery& w = f->open(InUse);
    QCOMPARE(w.cboQuerySave->count(), 4);
    QCOMPARE(w.cboQuerySave->itemText(0) + w.cboQuerySave->itemText(1), QStringLiteral("常用查询1"));
    QVERIFY(chooseFields(w, {Number}));
    setSortKeys(w, {}, {});
    w.txtQueryMatter->setText(QStringLiteral("N-1"));
    w.cboQuerySave->setEditText(pick);
    w.cmdQuery->click();

    const QString composed =
        QStringLiteral("select 计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 "
                       "where 计量器具编号 = \"N-1\" ;");
    QCOMPARE(f->state.QuerySQL, expected.isEmpty() ? composed : expected);
    QVERIFY(f->state.RequeryOnActivate);
}

void tst_frmQuery::refusesWithoutFields_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("查询") << "cmdQuery";
    QTest::newRow("保存设置") << "cmdSaveQuery";
}

void tst_frmQuery::refusesWithoutFields()
{
    QFETCH(QString, button);

    f->state.SavedQueries = {seededQuery()};
    f->state.QuerySQL = QStringLiteral("select earlier");
    f->prompt.inputs << QStringLiteral("无字段");
    frmQuery& w = f->open(InUse);
    w.cmdDelAll->click();
    w.findChild<QPushButton*>(button)->click();

    QCOMPARE(f->prompt.messages.size(), 1);
    QCOMPARE(f->prompt.messages[0].text, t::NoFieldChosen);
    QVERIFY(f->prompt.inputsShown.isEmpty());
    QVERIFY(w.isVisible());
    QCOMPARE(w.SSTab1->currentIndex(), 1);
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select earlier"));
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(f->state.SavedQueries.size(), 1);

    // A saved pick names its own fields.
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, seededQuery().sql);
}

void tst_frmQuery::refusesBadSimpleValue_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty date") << InUse << "有效日期"
                                << "" << dateErrorMessage("有效日期", "");
    QTest::newRow("month/day/year, no such day") << InUse << "检定日期"
                                                 << "2/30/2003" << dateErrorMessage("检定日期", "2/30/2003");
    QTest::newRow("not a time") << Environment << "时间"
                                << "25:00" << t::NotATime.arg("时间", "25:00");
    QTest::newRow("not a number") << Environment << "ID"
                                  << "1 or 1=1" << t::NotANumber.arg("ID", "1 or 1=1");
}

void tst_frmQuery::refusesBadSimpleValue()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);

    frmQuery& w = f->open(table);
    w.SSTab1->setCurrentIndex(2);
    QVERIFY(selectText(w.cboQueryFields, field));
    w.txtQueryMatter->setText(value);
    for (QPushButton* b : {w.cmdQuery, w.cmdSaveQuery}) {
        f->prompt.clear();
        f->prompt.inputs << QStringLiteral("名称");
        b->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, message);
        QVERIFY(f->prompt.inputsShown.isEmpty() && w.isVisible());
        QCOMPARE(w.SSTab1->currentIndex(), 0);
    }
    QCOMPARE(f->state.QuerySQL, QString());
}

void tst_frmQuery::runsModallyAndCancels()
{
    frmQuery& w = keptWindow(f->wizard, f->state, &f->mainWindow);
    f->state.CurrentTable = InUse;
    QTimer::singleShot(0, &w, [&w] {
        w.txtQueryMatter->setText(QStringLiteral("N-1"));
        w.cmdQuery->click();
    });
    QCOMPARE(w.exec(), int(QDialog::Accepted));
    QVERIFY(f->state.RequeryOnActivate);
    const QString composed = f->state.QuerySQL;
    QVERIFY(composed.contains(QStringLiteral(" where 计量器具编号 = \"N-1\" ")));

    QTimer::singleShot(0, w.cmdCancle, &QPushButton::click);
    QCOMPARE(execKept(f->wizard, f->state, &f->mainWindow), int(QDialog::Rejected));
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(f->state.QuerySQL, composed);
    QCOMPARE(w.txtQueryMatter->text(), QStringLiteral("N-1"));
}

void tst_frmQuery::closeBoxUnloads()
{
    QPointer<frmQuery> w = &f->open(InUse);
    w->chkHigh->setChecked(true);
    w->txtSQL->setPlainText(QStringLiteral(" ID > 1"));
    QVERIFY(chooseFields(*w, {Name}));
    f->state.RequeryOnActivate = true;
    w->close();
    QVERIFY(w->isUnloaded());
    QVERIFY(!f->state.RequeryOnActivate);

    frmQuery& again = f->open(InUse);
    QVERIFY(w.isNull()); // the unloaded wizard was thrown away
    QVERIFY(!again.chkHigh->isChecked() && again.optAND->isChecked());
    QCOMPARE(again.txtSQL->toPlainText(), QString());
    QCOMPARE(listEntries(again.lstDest), f->state.LedgerDatabase.columns(InUse));
}

QTEST_MAIN(tst_frmQuery)
#include "tst_frmquery.moc"
