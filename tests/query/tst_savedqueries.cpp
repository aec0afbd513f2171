// Saving a composed query under a name, reading it back after a restart,
// and running what the wizard composes on a real ledger.
#include "QueryFixture.h"
#include "query/QueryTexts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace ravo;
using namespace ravo::test;
namespace t = ravo::querytexts;

namespace {
const QString Number = QStringLiteral("计量器具编号");
const QString Name = QStringLiteral("计量器具名称");
const QString Dept = QStringLiteral("使用部门");
const QString Checked = QStringLiteral("检定日期");
} // namespace

class tst_SavedQueries : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { f.reset(); }

    void savesUnderTrimmedName();
    void emptyNameSavesNothing_data();
    void emptyNameSavesNothing();
    void savingIgnoresThePick();
    void duplicateNamesFirstWins();
    void runsOnLedger_data();
    void runsOnLedger();
    void seededQueryRunsAsStored();
    void savedQueryRunsAfterRestart();

private:
    // The wizard on the in-use ledger showing number and name, sorted by
    // number, with a simple condition.
    frmQuery& composeSimple(const QString& field, const QString& value, bool blur = false);

    std::unique_ptr<QueryFixture> f;
};

void tst_SavedQueries::init()
{
    f = std::make_unique<QueryFixture>();
    QVERIFY(f->ready);
    // The main window's loading: the options pass seeds "常用查询1".
    const OptionsPassResult pass = seedOptions(f->state.settings, QDate(2003, 3, 28));
    QVERIFY(pass.queriesReseeded);
    f->state.SavedQueries = pass.savedQueries;
    QCOMPARE(f->state.SavedQueries.size(), 1);
}

frmQuery& tst_SavedQueries::composeSimple(const QString& field, const QString& value, bool blur)
{
    frmQuery& w = f->open(InUse);
    chooseFields(w, {Number, Name});
    setSortKeys(w, {Number}, {t::Ascending});
    selectText(w.cboQueryFields, field);
    w.txtQueryMatter->setText(value);
    w.chkBlur->setChecked(blur);
    return w;
}

void tst_SavedQueries::savesUnderTrimmedName()
{
    frmQuery& w = composeSimple(Dept, QStringLiteral("计量科"));
    f->prompt.inputs << QStringLiteral("  计量科的器具 ");
    w.cmdSaveQuery->click();

    QCOMPARE(f->prompt.inputsShown.size(), 1);
    QCOMPARE(f->prompt.inputsShown[0].title, t::SaveNameTitle);
    QCOMPARE(f->prompt.inputsShown[0].prompt, t::SaveNamePrompt);
    const QString statement = QStringLiteral(
        "select 计量器具在用库.计量器具编号,计量器具在用库.计量器具名称 into MSys检索临时表 from 计量器具在用库 "
        "where 使用部门 = \"计量科\" ORDER BY 计量器具在用库.计量器具编号;");

    // Listed at once, kept in the program state, the wizard still open and
    // nothing run yet.
    QVERIFY(w.isVisible());
    QCOMPARE(w.cboQuerySave->count(), 3);
    QCOMPARE(w.cboQuerySave->itemText(2), QStringLiteral("计量科的器具"));
    QCOMPARE(w.cboQuerySave->currentText(), QString());
    QCOMPARE(f->state.SavedQueries.size(), 2);
    QCOMPARE(f->state.SavedQueries[1].name, QStringLiteral("计量科的器具"));
    QCOMPARE(f->state.SavedQueries[1].sql, statement);
    QCOMPARE(f->state.QuerySQL, statement);
    QVERIFY(!f->state.RequeryOnActivate);

    // The store, as a restart reads it.
    SettingsStore restarted;
    QCOMPARE(restarted.readInt16(SettingsStore::MainApp, "QuerySqlSave", "Count"), std::optional<qint16>(2));
    QCOMPARE(restarted.read(SettingsStore::QueryApp, "1", "Name"), QStringLiteral("常用查询1"));
    QCOMPARE(restarted.read(SettingsStore::QueryApp, "1", "SQL"), seededQuery().sql);
    QCOMPARE(restarted.read(SettingsStore::QueryApp, "2", "Name"), QStringLiteral("计量科的器具"));
    QCOMPARE(restarted.read(SettingsStore::QueryApp, "2", "SQL"), statement);
    const OptionsPassResult pass = seedOptions(restarted, QDate(2003, 3, 29));
    QVERIFY(!pass.reseeded);
    QCOMPARE(pass.savedQueries.size(), 2);
    QCOMPARE(pass.savedQueries[1].sql, statement);

    // Picked by its trimmed name, it runs as saved.
    w.cboQuerySave->setCurrentIndex(2);
    w.txtQueryMatter->setText(QStringLiteral("别的"));
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, statement);
    QVERIFY(f->state.RequeryOnActivate);
}

void tst_SavedQueries::emptyNameSavesNothing_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("name");
    QTest::newRow("cancelled") << true << "";
    QTest::newRow("empty") << false << "";
    QTest::newRow("spaces only") << false << "   ";
}

void tst_SavedQueries::emptyNameSavesNothing()
{
    QFETCH(bool, cancelled);
    QFETCH(QString, name);

    frmQuery& w = composeSimple(Dept, QStringLiteral("计量科"));
    f->state.QuerySQL = QStringLiteral("select earlier");
    if (!cancelled)
        f->prompt.inputs << name;
    w.cmdSaveQuery->click();

    QCOMPARE(f->prompt.inputsShown.size(), 1);
    QVERIFY(w.isVisible());
    QCOMPARE(w.cboQuerySave->count(), 2);
    QCOMPARE(f->state.SavedQueries.size(), 1);
    QCOMPARE(f->state.QuerySQL, QStringLiteral("select earlier"));
    SettingsStore restarted;
    QCOMPARE(restarted.readInt16(SettingsStore::MainApp, "QuerySqlSave", "Count"), std::optional<qint16>(1));
    QVERIFY(!restarted.contains(SettingsStore::QueryApp, "2", "Name"));
}

void tst_SavedQueries::savingIgnoresThePick()
{
    frmQuery& w = composeSimple(Name, QStringLiteral("卡尺"), true);
    w.cboQuerySave->setCurrentIndex(1);
    f->prompt.inputs << QStringLiteral("卡尺");
    w.cmdSaveQuery->click();
    QCOMPARE(f->state.SavedQueries.size(), 2);
    QVERIFY(f->state.SavedQueries[1].sql.contains(QStringLiteral("where 计量器具名称 like \"*卡尺*\" ORDER BY")));
    QCOMPARE(f->state.QuerySQL, f->state.SavedQueries[1].sql);
    QCOMPARE(w.cboQuerySave->currentText(), QStringLiteral("常用查询1"));
}

void tst_SavedQueries::duplicateNamesFirstWins()
{
    frmQuery& w = composeSimple(Dept, QStringLiteral("一车间"));
    f->prompt.inputs << QStringLiteral("车间") << QStringLiteral(" 车间");
    w.cmdSaveQuery->click();
    const QString first = f->state.QuerySQL;
    w.txtQueryMatter->setText(QStringLiteral("二车间"));
    w.cmdSaveQuery->click();
    QVERIFY(f->state.QuerySQL != first);

    QCOMPARE(f->state.SavedQueries.size(), 3);
    QCOMPARE(w.cboQuerySave->count(), 4);
    QCOMPARE(w.cboQuerySave->itemText(3), QStringLiteral("车间"));
    SettingsStore restarted;
    QCOMPARE(restarted.readInt16(SettingsStore::MainApp, "QuerySqlSave", "Count"), std::optional<qint16>(3));
    QCOMPARE(restarted.read(SettingsStore::QueryApp, "3", "Name"), QStringLiteral("车间"));

    w.cboQuerySave->setCurrentIndex(3);
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, first);
}

void tst_SavedQueries::runsOnLedger_data()
{
    // Advanced conditions are given as txtSQL text; otherwise field and value
    // make the simple condition. Sorted by number descending unless "byName".
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("blur");
    QTest::addColumn<QString>("advanced");
    QTest::addColumn<QStringList>("numbers");

    QTest::newRow("date equal") << Checked << "2003-1-1" << false << "" << QStringList{"N-4", "N-1"};
    QTest::newRow("date typed with slashes") << Checked << "2003/1/1" << false << "" << QStringList{"N-4", "N-1"};
    QTest::newRow("text equal, any case") << Dept << "qc" << false << "" << QStringList{"N-3"};
    QTest::newRow("containment") << Dept << "计量" << true << "" << QStringList{"N-4", "N-2", "N-1"};
    QTest::newRow("value with a double quote") << Name << "卡尺\"150\"" << false << "" << QStringList{"N-2"};
    QTest::newRow("containment with a double quote") << Name << "\"150" << true << "" << QStringList{"N-2"};
    QTest::newRow("a percent sign is no wildcard") << Name << "50%" << true << "" << QStringList{"N-3"};
    QTest::newRow("nothing found") << Dept << "无此部门" << false << "" << QStringList();
    QTest::newRow("advanced range") << "" << "" << false << " 检定日期 >= #2002-1-1# AND 检定日期 < #2003-1-1#"
                                    << QStringList{"N-3", "N-2"};
    QTest::newRow("advanced OR") << "" << "" << false << " 使用部门 = \"QC\" OR 计量器具名称 like \"*表*\""
                                 << QStringList{"N-4", "N-3"};
}

void tst_SavedQueries::runsOnLedger()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, blur);
    QFETCH(QString, advanced);
    QFETCH(QStringList, numbers);

    QVERIFY(f->insert(InUse, {{{Number, "N-1"}, {Name, "游标卡尺"}, {Dept, "计量科"}, {Checked, "2003-01-01"}},
                              {{Number, "N-2"}, {Name, "卡尺\"150\""}, {Dept, "一车间计量组"}, {Checked, "2002-06-30"}},
                              {{Number, "N-3"}, {Name, "湿度计 50%"}, {Dept, "QC"}, {Checked, "2002-01-01"}},
                              {{Number, "N-4"}, {Name, "压力表"}, {Dept, "计量科"}, {Checked, "2003-01-01"}}}));
    frmQuery& w = f->open(InUse);
    QVERIFY(chooseFields(w, {Number, Name, Checked}));
    setSortKeys(w, {Number}, {t::Descending});
    if (advanced.isEmpty()) {
        QVERIFY(selectText(w.cboQueryFields, field));
        w.txtQueryMatter->setText(value);
        w.chkBlur->setChecked(blur);
    } else {
        w.chkHigh->setChecked(true);
        w.txtSQL->setPlainText(advanced);
    }
    w.cmdQuery->click();
    QVERIFY(f->prompt.messages.isEmpty());

    const DbResult r = f->state.LedgerDatabase.runScratch(f->state.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text() + QStringLiteral(" — ") + f->state.QuerySQL));
    QCOMPARE(f->resultColumns(), QStringList({Number, Name, Checked}));
    QCOMPARE(f->result(Number), numbers);
}

void tst_SavedQueries::seededQueryRunsAsStored()
{
    QVERIFY(f->insert(InUse, {{{Number, "B-2"}, {Name, "千分尺"}, {QStringLiteral("规格型号"), "0-25"}},
                              {{Number, "A-1"}, {Name, "钢直尺"}, {Dept, "计量科"}}}));
    // Whatever the current table and the tabs say.
    frmQuery& w = f->open(Environment);
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, seededQuery().sql);

    const DbResult r = f->state.LedgerDatabase.runScratch(f->state.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text()));
    QCOMPARE(f->resultColumns(), QStringList({Number, Name, "规格型号", "法制管理类别", Dept}));
    QCOMPARE(f->result(Number), QStringList({"A-1", "B-2"}));
    QCOMPARE(f->result(Dept), QStringList({"计量科", ""}));
}

void tst_SavedQueries::savedQueryRunsAfterRestart()
{
    QVERIFY(f->insert(Environment, {{{"ID", 1}, {"时间", "08:00:00"}, {"环境温度", "20\""}},
                                    {{"ID", 2}, {"时间", "10:05:00"}, {"环境温度", "21"}},
                                    {{"ID", 3}, {"时间", "10:05:00"}, {"环境温度", "20\""}}}));
    frmQuery& w = f->open(Environment);
    QVERIFY(chooseFields(w, {"ID", "环境温度"}));
    setSortKeys(w, {"ID"}, {t::Descending});
    w.chkHigh->setChecked(true);
    w.txtSQL->setPlainText(QStringLiteral(" 时间 = #10:05# AND 环境温度 = \"20\"\"\""));
    f->prompt.inputs << QStringLiteral("上午读数");
    w.cmdSaveQuery->click();
    w.cmdCancle->click();

    // A new run: the options pass reads the saved queries, the wizard lists
    // them, and the pick runs.
    ScriptedPrompter prompt;
    ProgramState next(f->box.appDir(), prompt);
    QVERIFY(!next.LedgerDatabase.open(f->box.databasePath()));
    const OptionsPassResult pass = seedOptions(next.settings, QDate(2003, 3, 29));
    QVERIFY(!pass.reseeded);
    next.SavedQueries = pass.savedQueries;
    next.CurrentTable = InUse;
    QWidget mainWindow;
    frmQuery& again = frmQuery::instance(next, &mainWindow);
    again.show();
    QCOMPARE(again.cboQuerySave->itemText(2), QStringLiteral("上午读数"));
    again.cboQuerySave->setEditText(QStringLiteral("上午读数"));
    again.cmdQuery->click();
    QCOMPARE(next.QuerySQL, f->state.SavedQueries[1].sql);

    const DbResult r = next.LedgerDatabase.runScratch(next.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text() + QStringLiteral(" — ") + next.QuerySQL));
    QSqlQuery q(next.LedgerDatabase.connection());
    QVERIFY(q.exec(QStringLiteral("SELECT ID, 环境温度 FROM MSys检索临时表 ORDER BY rowid")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    QCOMPARE(q.value(1).toString(), QStringLiteral("20\""));
    QVERIFY(!q.next());
}

QTEST_MAIN(tst_SavedQueries)
#include "tst_savedqueries.moc"
