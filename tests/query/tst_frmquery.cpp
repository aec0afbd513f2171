// The query wizard as a user drives it: the statement it composes, the
// advanced mode's conditions, the move buttons, what survives a reopening,
// the saved pick, and what it refuses.
#include "QueryFixture.h"
#include "core/Dates.h"
#include "query/QueryTexts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTabWidget>

using namespace ravo;
using namespace ravo::test;
namespace t = ravo::querytexts;

namespace {
const QString Number = QStringLiteral("计量器具编号");
const QString Name = QStringLiteral("计量器具名称");
const QString Head = QStringLiteral("select 计量器具在用库.计量器具编号,计量器具在用库.计量器具名称 into MSys检索临时表 "
                                    "from 计量器具在用库 where ");
const QString EnvHead = QStringLiteral("select 环境状况记录库.ID into MSys检索临时表 from 环境状况记录库 where ");
} // namespace

class tst_frmQuery : public QObject {
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<QueryFixture>(); QVERIFY(f->ready); }
    void cleanup() { f.reset(); }

    void loadsWithCaptionsAndSimpleMode();
    void composesStatement_data();
    void composesStatement();
    void advancedConditions_data();
    void advancedConditions();
    void addingRefusesBadValue_data();
    void addingRefusesBadValue();
    void clearEmptiesConditions();
    void moveButtons_data();
    void moveButtons();
    void reopeningSameTableKeepsEveryChoice();
    void reopeningOtherTableRebuildsLists();
    void savedPick_data();
    void savedPick();
    void cancelAndQuery();
    void refusesWithoutFields_data();
    void refusesWithoutFields();
    void refusesBadSimpleValue_data();
    void refusesBadSimpleValue();
    void closeBoxUnloads();
    void runsModally();

private:
    std::unique_ptr<QueryFixture> f;
};

void tst_frmQuery::loadsWithCaptionsAndSimpleMode()
{
    frmQuery& w = f->open(InUse);
    QCOMPARE(w.windowTitle(), QStringLiteral("查询向导"));
    QCOMPARE(w.SSTab1->count(), 3);
    QCOMPARE(w.SSTab1->tabText(0), QStringLiteral("约束条件"));
    QCOMPARE(w.SSTab1->tabText(1), QStringLiteral("字段选择"));
    QCOMPARE(w.SSTab1->tabText(2), QStringLiteral("排序方式"));
    for (const char* name : {"cboQuerySave", "txtQueryMatter", "cboOperator", "lstSource", "lstDest", "Combo1(0)",
                             "Combo1(3)", "Combo2(0)", "Combo2(3)", "chkHigh", "chkBlur", "optAND", "optOR",
                             "txtSQL", "txtValue", "cboFields", "cboQueryFields", "cmdAddField", "cmdAddAll",
                             "cmdDel", "cmdDelAll", "cmdQuery", "cmdSaveQuery", "cmdCancle", "cmdAdd", "cmdClear",
                             "Label1", "Label2", "Label3", "Label13"})
        QVERIFY2(w.findChild<QWidget*>(QString::fromUtf8(name)), name);
    QCOMPARE(w.cmdQuery->text(), QStringLiteral("查询(&Q)"));
    QCOMPARE(w.cmdSaveQuery->text(), QStringLiteral("保存设置(&S)"));
    QCOMPARE(w.Label13->text(), QStringLiteral("注意：具有唯一性的\"编号\"或\"ID\"字段应选中！"));

    QStringList ops;
    for (int i = 0; i < w.cboOperator->count(); ++i)
        ops << w.cboOperator->itemText(i);
    QCOMPARE(ops, QStringList({"=", ">", ">=", "<", "<=", "<>", "like"}));

    // Every field is shown at first; the first of each list is chosen.
    const QStringList columns = f->state.LedgerDatabase.columns(InUse);
    QCOMPARE(listEntries(w.lstDest), columns);
    QCOMPARE(w.lstSource->count(), 0);
    QCOMPARE(w.lstDest->currentRow(), 0);
    QCOMPARE(w.cboQueryFields->currentText(), columns.first());
    QCOMPARE(w.Combo1[0]->currentText(), columns.first());
    QCOMPARE(w.Combo2[0]->currentText(), t::Ascending);
    for (int k = 1; k < 4; ++k) {
        QCOMPARE(w.Combo1[k]->currentText(), QString());
        QCOMPARE(w.Combo2[k]->currentText(), QString());
    }

    // Simple mode, joined with AND; the mode switch turns each half over.
    QVERIFY(!w.chkHigh->isChecked());
    QVERIFY(w.optAND->isChecked());
    const QList<QWidget*> simple = {w.Label1, w.Label2, w.cboQueryFields, w.txtQueryMatter, w.chkBlur};
    const QList<QWidget*> advanced = {w.cboFields, w.cboOperator, w.txtValue, w.optAND,
                                      w.optOR,     w.cmdAdd,      w.cmdClear, w.txtSQL};
    for (bool high : {false, true, false}) {
        w.chkHigh->setChecked(high);
        for (QWidget* c : simple)
            QVERIFY2(c->isEnabled() == !high, qPrintable(c->objectName()));
        for (QWidget* c : advanced)
            QVERIFY2(c->isEnabled() == high, qPrintable(c->objectName()));
    }
}

void tst_frmQuery::composesStatement_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("directions");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("blur");
    QTest::addColumn<QString>("expected");

    const QStringList both = {Number, Name};
    const QStringList twoKeys = {Number, Name};
    const QStringList upDown = {t::Ascending, t::Descending};
    const QString order = QStringLiteral("ORDER BY 计量器具在用库.计量器具编号 ,计量器具在用库.计量器具名称 desc;");

    QTest::newRow("worked example: date") << InUse << both << twoKeys << upDown << "检定日期" << "2003-1-1" << false
                                          << Head + "检定日期 = #2003-1-1# " + order;
    QTest::newRow("worked example: containment")
        << InUse << both << twoKeys << upDown << "使用部门" << "计量" << true
        << Head + "使用部门 like \"*计量*\" " + order;
    QTest::newRow("text equal") << InUse << both << twoKeys << upDown << "使用部门" << "计量科" << false
                                << Head + "使用部门 = \"计量科\" " + order;
    QTest::newRow("double quote doubled")
        << InUse << both << QStringList() << QStringList() << Name << "卡尺\"A\"" << false
        << Head + "计量器具名称 = \"卡尺\"\"A\"\"\" ;";
    QTest::newRow("double quote doubled in containment")
        << InUse << both << QStringList() << QStringList() << Name << "2\"" << true
        << Head + "计量器具名称 like \"*2\"\"*\" ;";
    QTest::newRow("no sort key: no ORDER BY") << InUse << both << QStringList() << QStringList() << "使用部门"
                                              << "计量" << false << Head + "使用部门 = \"计量\" ;";
    QTest::newRow("empty first key skipped")
        << InUse << both << QStringList({"", Name}) << upDown << "使用部门" << "计量" << false
        << Head + "使用部门 = \"计量\" ORDER BY 计量器具在用库.计量器具名称 desc;";
    QTest::newRow("empty direction sorts descending")
        << InUse << both << twoKeys << QStringList({t::Ascending, ""}) << "使用部门" << "计量" << false
        << Head + "使用部门 = \"计量\" " + order;
    QTest::newRow("last key ascending ends at the semicolon")
        << InUse << both << QStringList({Name, Number}) << QStringList({t::Descending, t::Ascending}) << "使用部门"
        << "计量" << false
        << Head + "使用部门 = \"计量\" ORDER BY 计量器具在用库.计量器具名称 desc,计量器具在用库.计量器具编号;";
    QTest::newRow("four keys")
        << InUse << both << QStringList({Number, Name, "使用部门", "检定日期"})
        << QStringList({t::Descending, t::Ascending, t::Ascending, t::Descending}) << "使用部门" << "计量" << false
        << Head + "使用部门 = \"计量\" ORDER BY 计量器具在用库.计量器具编号 desc,计量器具在用库.计量器具名称 "
                  ",计量器具在用库.使用部门 ,计量器具在用库.检定日期 desc;";
    QTest::newRow("date field ignores containment")
        << InUse << both << QStringList() << QStringList() << "检定日期" << "2003-1-1" << true
        << Head + "检定日期 = #2003-1-1# ;";
    QTest::newRow("时间 written as a date") << Environment << QStringList{"ID"} << QStringList() << QStringList()
                                            << "时间" << "10:05:00" << false << EnvHead + "时间 = #10:05:00# ;";
    QTest::newRow("时间 ignores containment") << Environment << QStringList{"ID"} << QStringList() << QStringList()
                                              << "时间" << "10:05" << true << EnvHead + "时间 = #10:05# ;";
    QTest::newRow("ID bare") << Environment << QStringList{"ID"} << QStringList() << QStringList() << "ID" << "2"
                             << false << EnvHead + "ID = 2 ;";
    QTest::newRow("ID ignores containment") << Environment << QStringList{"ID"} << QStringList() << QStringList()
                                            << "ID" << "2" << true << EnvHead + "ID = 2 ;";
    QTest::newRow("other text field of the readings")
        << Environment << QStringList{"ID"} << QStringList{"日期"} << QStringList{t::Descending} << "环境温度" << "20"
        << true << EnvHead + "环境温度 like \"*20*\" ORDER BY 环境状况记录库.日期 desc;";
}

void tst_frmQuery::composesStatement()
{
    QFETCH(QString, table);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, directions);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, blur);
    QFETCH(QString, expected);

    frmQuery& w = f->open(table);
    QVERIFY(chooseFields(w, fields));
    setSortKeys(w, keys, directions);
    QVERIFY(selectText(w.cboQueryFields, field));
    w.txtQueryMatter->setText(value);
    w.chkBlur->setChecked(blur);
    w.cmdQuery->click();

    QCOMPARE(f->state.QuerySQL, expected);
    QVERIFY(f->state.RequeryOnActivate);
    QVERIFY(w.isHidden());
    QVERIFY(f->prompt.messages.isEmpty());
}

void tst_frmQuery::advancedConditions_data()
{
    // Each step: joiner (AND or OR), field, operator, value.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << InUse
                                    << QStringList{"AND|检定日期|>=|2002-1-1", "AND|检定日期|<|2003-1-1"}
                                    << " 检定日期 >= #2002-1-1# AND 检定日期 < #2003-1-1#";
    QTest::newRow("first condition ignores the joiner") << InUse << QStringList{"OR|计量器具名称|like|*卡尺*"}
                                                        << " 计量器具名称 like \"*卡尺*\"";
    QTest::newRow("OR") << InUse << QStringList{"AND|使用部门|=|计量科", "OR|使用部门|<>|质检\"科"}
                        << " 使用部门 = \"计量科\" OR 使用部门 <> \"质检\"\"科\"";
    QTest::newRow("each class of field")
        << Environment << QStringList{"AND|ID|>|3", "AND|时间|<=|12:00:00", "OR|环境温度|=|20"}
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
        QVERIFY(selectText(w.cboFields, p[1]));
        QVERIFY(selectText(w.cboOperator, p[2]));
        w.txtValue->setText(p[3]);
        w.cmdAdd->click();
    }
    QCOMPARE(w.txtSQL->toPlainText(), expected);
    QVERIFY(w.cmdClear->isEnabled());

    // The advanced statement takes the condition text as it stands.
    const QString first = f->state.LedgerDatabase.columns(table).first();
    QVERIFY(chooseFields(w, {first}));
    setSortKeys(w, {}, {});
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select %1.%2 into MSys检索临时表 from %1 where %3 ;")
                                    .arg(table, first, expected));
}

void tst_frmQuery::addingRefusesBadValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");

    const int none = int(Prompter::Icon::None);
    const int critical = int(Prompter::Icon::Critical);
    QTest::newRow("empty text value") << Name << "" << t::NoConditionValue << none;
    QTest::newRow("empty date value") << "购买日期" << "" << t::NoConditionValue << none;
    QTest::newRow("not a date") << "购买日期" << "2003-2-30" << dateErrorMessage("购买日期", "2003-2-30") << critical;
    QTest::newRow("not a number") << "库存数量" << "五" << t::NotANumber.arg("库存数量", "五") << critical;
}

void tst_frmQuery::addingRefusesBadValue()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(int, icon);

    frmQuery& w = f->open(QStringLiteral("计量器具待发放库"));
    w.chkHigh->setChecked(true);
    w.txtSQL->setPlainText(QStringLiteral(" 计量器具名称 = \"表\""));
    QVERIFY(selectText(w.cboFields, field));
    w.txtValue->setText(value);
    w.cmdAdd->click();

    QCOMPARE(f->prompt.messages.size(), 1);
    QCOMPARE(f->prompt.messages[0].text, message);
    QCOMPARE(int(f->prompt.messages[0].icon), icon);
    QCOMPARE(f->prompt.messages[0].buttons, Prompter::Buttons::Ok);
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" 计量器具名称 = \"表\""));
    QCOMPARE(w.txtValue->text(), value);
}

void tst_frmQuery::clearEmptiesConditions()
{
    frmQuery& w = f->open(InUse);
    w.chkHigh->setChecked(true);
    w.txtValue->setText(QStringLiteral("卡尺"));
    QVERIFY(selectText(w.cboFields, Name));
    w.cmdAdd->click();
    QVERIFY(!w.txtSQL->toPlainText().isEmpty());
    w.cmdClear->click();
    QCOMPARE(w.txtSQL->toPlainText(), QString());
    QCOMPARE(w.txtValue->text(), QString());
    QVERIFY(!w.cmdClear->isEnabled());
    // The next condition starts afresh, with the single space.
    w.txtValue->setText(QStringLiteral("游标"));
    w.cmdAdd->click();
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" 计量器具名称 = \"游标\""));
    QVERIFY(w.cmdClear->isEnabled());
}

void tst_frmQuery::moveButtons_data()
{
    // The readings table has six fields: ID 日期 时间 环境温度 环境湿度 大气压力.
    // Steps: ">" "<" ">>" "<<" press a button; "d3" / "s1" select that row of
    // lstDest / lstSource. Afterwards: both lists, their selected rows, and
    // the enabled state of > >> < << as four digits.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<int>("sourceRow");
    QTest::addColumn<int>("destRow");
    QTest::addColumn<QString>("enabled");

    const QString all = QStringLiteral("ID 日期 时间 环境温度 环境湿度 大气压力");
    QTest::newRow("at first") << QStringList() << "" << all << -1 << 0 << "0011";
    QTest::newRow("one back") << QStringList{"<"} << "ID" << "日期 时间 环境温度 环境湿度 大气压力" << 0 << 0
                              << "1111";
    QTest::newRow("one from the middle") << QStringList{"d2", "<"} << "时间" << "ID 日期 环境温度 环境湿度 大气压力"
                                         << 0 << 2 << "1111";
    QTest::newRow("the last one: new last selected")
        << QStringList{"d5", "<"} << "大气压力" << "ID 日期 时间 环境温度 环境湿度" << 0 << 4 << "1111";
    QTest::newRow("all back") << QStringList{"<<"} << all << "" << 0 << -1 << "1100";
    QTest::newRow("all back and one forth: appended and selected")
        << QStringList{"<<", "s3", ">"} << "ID 日期 时间 环境湿度 大气压力" << "环境温度" << 3 << 0 << "1111";
    QTest::newRow("emptied one at a time")
        << QStringList{"<<", ">", ">", ">", ">", ">", ">"} << "" << all << -1 << 5 << "0011";
    QTest::newRow("all back and all forth") << QStringList{"<<", ">>"} << "" << all << -1 << 0 << "0011";
    QTest::newRow("order follows the moves")
        << QStringList{"<<", "s5", ">", "s0", ">"} << "日期 时间 环境温度 环境湿度" << "大气压力 ID" << 0 << 1 << "1111";
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
    for (const QString& s : steps) {
        if (s == QStringLiteral(">"))
            w.cmdAddField->click();
        else if (s == QStringLiteral(">>"))
            w.cmdAddAll->click();
        else if (s == QStringLiteral("<"))
            w.cmdDel->click();
        else if (s == QStringLiteral("<<"))
            w.cmdDelAll->click();
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
    setSortKeys(w, {"", Name, "", "检定日期"}, {t::Descending, t::Ascending, "", t::Descending});
    QVERIFY(selectText(w.cboQueryFields, "使用部门"));
    w.txtQueryMatter->setText(QStringLiteral("计量"));
    w.chkBlur->setChecked(true);
    w.chkHigh->setChecked(true);
    w.optOR->setChecked(true);
    QVERIFY(selectText(w.cboFields, "检定日期"));
    QVERIFY(selectText(w.cboOperator, "<"));
    w.txtValue->setText(QStringLiteral("2003-1-1"));
    w.txtSQL->setPlainText(QStringLiteral(" 检定日期 > #2002-1-1#"));
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdCancle->click();
    QVERIFY(w.isHidden());

    frmQuery& again = f->open(InUse);
    QCOMPARE(&again, &w);
    QCOMPARE(listEntries(w.lstDest), QStringList({Name, Number}));
    QCOMPARE(w.lstSource->count(), f->state.LedgerDatabase.columns(InUse).size() - 2);
    QCOMPARE(w.Combo1[0]->currentText(), QString());
    QCOMPARE(w.Combo1[1]->currentText(), Name);
    QCOMPARE(w.Combo1[3]->currentText(), QStringLiteral("检定日期"));
    QCOMPARE(w.Combo2[0]->currentText(), t::Descending);
    QCOMPARE(w.Combo2[2]->currentText(), QString());
    QCOMPARE(w.cboQueryFields->currentText(), QStringLiteral("使用部门"));
    QCOMPARE(w.txtQueryMatter->text(), QStringLiteral("计量"));
    QVERIFY(w.chkBlur->isChecked());
    QVERIFY(w.chkHigh->isChecked());
    QVERIFY(w.cboFields->isEnabled());
    QVERIFY(w.optOR->isChecked());
    QCOMPARE(w.cboFields->currentText(), QStringLiteral("检定日期"));
    QCOMPARE(w.cboOperator->currentText(), QStringLiteral("<"));
    QCOMPARE(w.txtValue->text(), QStringLiteral("2003-1-1"));
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" 检定日期 > #2002-1-1#"));
    QCOMPARE(w.cboQuerySave->currentText(), QStringLiteral("常用查询1"));
}

void tst_frmQuery::reopeningOtherTableRebuildsLists()
{
    frmQuery& w = f->open(InUse);
    QVERIFY(chooseFields(w, {Name}));
    setSortKeys(w, {Name, Number}, {t::Descending, t::Descending});
    w.txtQueryMatter->setText(QStringLiteral("卡尺"));
    w.chkHigh->setChecked(true);
    w.txtValue->setText(QStringLiteral("20"));
    w.txtSQL->setPlainText(QStringLiteral(" ID > 3"));
    w.cmdCancle->click();

    f->open(Environment);
    const QStringList columns = f->state.LedgerDatabase.columns(Environment);
    QCOMPARE(w.oldTable(), Environment);
    QCOMPARE(listEntries(w.lstDest), columns);
    QCOMPARE(w.lstSource->count(), 0);
    QCOMPARE(w.cboFields->count(), columns.size());
    QCOMPARE(w.cboQueryFields->currentText(), QStringLiteral("ID"));
    QCOMPARE(w.Combo1[0]->currentText(), QStringLiteral("ID"));
    QCOMPARE(w.Combo1[0]->count(), columns.size());
    QCOMPARE(w.Combo2[0]->currentText(), t::Ascending);
    QCOMPARE(w.Combo1[1]->currentText(), QString());
    QCOMPARE(w.cmdDel->isEnabled(), true);
    QCOMPARE(w.cmdAddField->isEnabled(), false);
    // The condition texts and the mode stay.
    QCOMPARE(w.txtQueryMatter->text(), QStringLiteral("卡尺"));
    QCOMPARE(w.txtValue->text(), QStringLiteral("20"));
    QCOMPARE(w.txtSQL->toPlainText(), QStringLiteral(" ID > 3"));
    QVERIFY(w.chkHigh->isChecked());

    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL,
             QStringLiteral("select 环境状况记录库.ID,环境状况记录库.日期,环境状况记录库.时间,环境状况记录库.环境温度,"
                            "环境状况记录库.环境湿度,环境状况记录库.大气压力 into MSys检索临时表 from 环境状况记录库 "
                            "where  ID > 3 ORDER BY 环境状况记录库.ID;"));
}

void tst_frmQuery::savedPick_data()
{
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("expected");   // empty: the composed statement

    QTest::newRow("seeded query") << "常用查询1" << seededQuery().sql;
    QTest::newRow("first of two with one name") << "周检" << "select 1 first";
    QTest::newRow("unknown name ignored") << "没有这个查询" << "";
    QTest::newRow("name with spaces is another name") << " 常用查询1" << "";
    QTest::newRow("empty pick") << "" << "";
}

void tst_frmQuery::savedPick()
{
    QFETCH(QString, pick);
    QFETCH(QString, expected);

    f->state.SavedQueries = {seededQuery(), {"周检", "select 1 first"}, {"周检", "select 2 second"}};
    frmQuery& w = f->open(InUse);
    QCOMPARE(w.cboQuerySave->count(), 4);
    QCOMPARE(w.cboQuerySave->itemText(0), QString());
    QCOMPARE(w.cboQuerySave->itemText(1), QStringLiteral("常用查询1"));
    QVERIFY(chooseFields(w, {Number}));
    setSortKeys(w, {}, {});
    w.txtQueryMatter->setText(QStringLiteral("计量科"));
    QVERIFY(selectText(w.cboQueryFields, "使用部门"));
    w.cboQuerySave->setEditText(pick);
    w.cmdQuery->click();

    const QString composed = QStringLiteral("select 计量器具在用库.计量器具编号 into MSys检索临时表 from 计量器具在用库 "
                                            "where 使用部门 = \"计量科\" ;");
    QCOMPARE(f->state.QuerySQL, expected.isEmpty() ? composed : expected);
    QVERIFY(f->state.RequeryOnActivate);
    QVERIFY(w.isHidden());
}

void tst_frmQuery::cancelAndQuery()
{
    f->state.QuerySQL = QStringLiteral("select earlier");
    f->state.RequeryOnActivate = true;
    frmQuery& w = f->open(InUse);
    w.cmdCancle->click();
    QVERIFY(w.isHidden());
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select earlier"));

    f->open(InUse);
    w.txtQueryMatter->setText(QStringLiteral("X"));
    QVERIFY(selectText(w.cboQueryFields, Name));
    w.cmdQuery->click();
    QVERIFY(w.isHidden());
    QVERIFY(f->state.RequeryOnActivate);
    QVERIFY(f->state.QuerySQL.endsWith(QStringLiteral(" where 计量器具名称 = \"X\" ORDER BY 计量器具在用库.计量器具编号;")));
    QVERIFY(f->prompt.messages.isEmpty());
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
    QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Critical);
    QVERIFY(f->prompt.inputsShown.isEmpty());
    QVERIFY(w.isVisible());
    QCOMPARE(w.SSTab1->currentIndex(), 1);
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select earlier"));
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(f->state.SavedQueries.size(), 1);
    QCOMPARE(w.lstSource->count(), f->state.LedgerDatabase.columns(InUse).size());

    // A saved pick needs no field of its own.
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, seededQuery().sql);
    QVERIFY(w.isHidden());
}

void tst_frmQuery::refusesBadSimpleValue_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("30 February") << InUse << "检定日期" << "2003-2-30" << dateErrorMessage("检定日期", "2003-2-30");
    QTest::newRow("empty date") << InUse << "有效日期" << "" << dateErrorMessage("有效日期", "");
    QTest::newRow("not a time") << Environment << "时间" << "25:00" << t::NotATime.arg("时间", "25:00");
    QTest::newRow("not a number") << Environment << "ID" << "1 or 1=1" << t::NotANumber.arg("ID", "1 or 1=1");
    QTest::newRow("empty number") << Environment << "ID" << "" << t::NotANumber.arg("ID", "");
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
        QVERIFY(f->prompt.inputsShown.isEmpty());
        QVERIFY(w.isVisible());
        QCOMPARE(w.SSTab1->currentIndex(), 0);
        QCOMPARE(w.txtQueryMatter->text(), value);
    }
    QCOMPARE(f->state.QuerySQL, QString());
    QVERIFY(!f->state.RequeryOnActivate);

    // Advanced mode writes its own conditions; the simple value is not looked at.
    w.chkHigh->setChecked(true);
    w.txtSQL->setPlainText(QStringLiteral(" 1 = 1"));
    w.cmdQuery->click();
    QVERIFY(w.isHidden());
    QVERIFY(f->state.QuerySQL.contains(QStringLiteral(" where  1 = 1 ")));
}

void tst_frmQuery::closeBoxUnloads()
{
    QPointer<frmQuery> w = &f->open(InUse);
    w->chkHigh->setChecked(true);
    w->txtSQL->setPlainText(QStringLiteral(" ID > 1"));
    QVERIFY(chooseFields(*w, {Name}));
    f->state.QuerySQL = QStringLiteral("select earlier");
    f->state.RequeryOnActivate = true;
    w->close();
    QVERIFY(w.isNull() || w->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.isNull());
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select earlier"));

    // The next opening loads it afresh.
    frmQuery& again = f->open(InUse);
    QVERIFY(!again.chkHigh->isChecked());
    QVERIFY(again.optAND->isChecked());
    QCOMPARE(again.txtSQL->toPlainText(), QString());
    QCOMPARE(listEntries(again.lstDest), f->state.LedgerDatabase.columns(InUse));
}

void tst_frmQuery::runsModally()
{
    frmQuery& w = frmQuery::instance(f->state, &f->mainWindow);
    QTimer::singleShot(0, &w, [&w] {
        w.txtQueryMatter->setText(QStringLiteral("N-1"));
        w.cmdQuery->click();
    });
    QCOMPARE(w.exec(), int(QDialog::Accepted));
    QVERIFY(f->state.RequeryOnActivate);
    QVERIFY(f->state.QuerySQL.contains(QStringLiteral(" where 计量器具编号 = \"N-1\" ")));

    QTimer::singleShot(0, w.cmdCancle, &QPushButton::click);
    QCOMPARE(frmQuery::instance(f->state, &f->mainWindow).exec(), int(QDialog::Rejected));
    QVERIFY(!f->state.RequeryOnActivate);
    QCOMPARE(w.txtQueryMatter->text(), QStringLiteral("N-1"));
}

QTEST_MAIN(tst_frmQuery)
#include "tst_frmquery.moc"
