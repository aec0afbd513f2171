// Saving a composed query under a name and running it after a restart, and
// the wizard's statements run on a real ledger.
#include "QueryFixture.h"

using namespace ravo;
using namespace ravo::test;
namespace t = ravo::querytexts;

namespace {
const QString Dept = QStringLiteral("使用部门");
const QString Checked = QStringLiteral("检定日期");

QStringList resultColumn(Database& db, const QString& column)
{
    QStringList out;
    QSqlQuery q(db.connection());
    if (q.exec(QStringLiteral("SELECT %1 FROM MSys检索临时表 ORDER BY rowid").arg(column)))
        while (q.next())
            out << q.value(0).toString();
    return out;
}

bool insert(Database& db, const QString& table, const QList<QVariantHash>& rows)
{
    for (const QVariantHash& row : rows) {
        QStringList marks(row.size(), QStringLiteral("?"));
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table, QStringList(row.keys()).join(','), marks.join(','));
        if (!db.executeNative(sql, row.values()).ok())
            return false;
    }
    return true;
}
} // namespace

class tst_SavedQueries : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { f.reset(); }

    void savesAndRunsAfterRestart();
    void emptyNameSavesNothing_data();
    void emptyNameSavesNothing();
    void runsOnLedger_data();
    void runsOnLedger();
    void seededQueryRunsAsStored();

private:
    std::unique_ptr<QueryFixture> f;
};

void tst_SavedQueries::init()
{
    f = std::make_unique<QueryFixture>();
    QVERIFY(f->ready);
    // The main window's loading: the options pass seeds "常用查询1".
    f->state.SavedQueries = seedOptions(f->state.settings, QDate(2003, 3, 28)).savedQueries;
    QCOMPARE(f->state.SavedQueries.size(), 1);
}

void tst_SavedQueries::savesAndRunsAfterRestart()
{
    QVERIFY(insert(f->state.LedgerDatabase, Environment,
                   {{{"ID", 1}, {"时间", "08:00:00"}, {"环境温度", "20\""}},
                    {{"ID", 2}, {"时间", "10:05:00"}, {"环境温度", "21"}},
                    {{"ID", 3}, {"时间", "10:05:00"}, {"环境温度", "20\""}}}));
    frmQuery& w = f->open(Environment);
    QVERIFY(chooseFields(w, {"ID", "环境温度"}));
    setSortKeys(w, {"ID"}, {t::Descending});
    w.chkHigh->setChecked(true);
    w.txtSQL->setPlainText(QStringLiteral(" 时间 = #10:05# AND 环境温度 = \"20\"\"\""));
    w.cboQuerySave->setCurrentIndex(1); // a pick plays no part in saving
    f->prompt.inputs << QStringLiteral("  上午读数 ");
    w.cmdSaveQuery->click();

    QCOMPARE(f->prompt.inputsShown.size(), 1);
    QCOMPARE(f->prompt.inputsShown[0].title, t::SaveNameTitle);
    QCOMPARE(f->prompt.inputsShown[0].prompt, t::SaveNamePrompt);
    const QString statement = QStringLiteral(
        "select 环境状况记录库.ID,环境状况记录库.环境温度 into MSys检索临时表 from 环境状况记录库 where  时间 = "
        "#10:05# AND 环境温度 = \"20\"\"\" ORDER BY 环境状况记录库.ID desc;");
    // Listed at once and kept in the state; the wizard stays open, nothing is run.
    QVERIFY(w.isVisible());
    QCOMPARE(w.cboQuerySave->itemText(2), QStringLiteral("上午读数"));
    QCOMPARE(w.cboQuerySave->currentText(), QStringLiteral("常用查询1"));
    QCOMPARE(f->state.SavedQueries.size(), 2);
    QCOMPARE(f->state.SavedQueries[1].name, QStringLiteral("上午读数"));
    QCOMPARE(f->state.SavedQueries[1].sql, statement);
    QCOMPARE(f->state.QuerySQL, statement);
    QVERIFY(!f->state.RequeryOnActivate);

    // A new run reads the store afresh, lists the name and runs the pick.
    ScriptedPrompter prompt;
    ProgramState next(f->box.appDir(), prompt);
    QCOMPARE(next.settings.readInt16(SettingsStore::MainApp, "QuerySqlSave", "Count"), std::optional<qint16>(2));
    QCOMPARE(next.settings.read(SettingsStore::QueryApp, "1", "SQL"), seededQuery().sql);
    QCOMPARE(next.settings.read(SettingsStore::QueryApp, "2", "Name"), QStringLiteral("上午读数"));
    const OptionsPassResult pass = seedOptions(next.settings, QDate(2003, 3, 29));
    QVERIFY(!pass.reseeded);
    next.SavedQueries = pass.savedQueries;
    QVERIFY(!next.LedgerDatabase.open(f->box.databasePath()));
    next.CurrentTable = InUse;
    QWidget mainWindow;
    QPointer<frmQuery> kept;
    frmQuery& again = keptWindow(kept, next, &mainWindow);
    again.show();
    QCOMPARE(again.cboQuerySave->itemText(2), QStringLiteral("上午读数"));
    again.cboQuerySave->setEditText(QStringLiteral("上午读数"));
    again.cmdQuery->click();
    QCOMPARE(next.QuerySQL, statement);

    const DbResult r = next.LedgerDatabase.runScratch(next.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text()));
    QCOMPARE(resultColumn(next.LedgerDatabase, "ID"), QStringList{"3"});
    QCOMPARE(resultColumn(next.LedgerDatabase, "环境温度"), QStringList{"20\""});
}

void tst_SavedQueries::emptyNameSavesNothing_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("name");
    QTest::newRow("cancelled") << true << "";
    QTest::newRow("spaces only") << false << "   ";
}

void tst_SavedQueries::emptyNameSavesNothing()
{
    QFETCH(bool, cancelled);
    QFETCH(QString, name);

    frmQuery& w = f->open(InUse);
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
}

void tst_SavedQueries::runsOnLedger_data()
{
    // An advanced condition is given as txtSQL text; otherwise field and
    // value make the simple condition. Always sorted by number descending.
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("blur");
    QTest::addColumn<QString>("advanced");
    QTest::addColumn<QStringList>("numbers");

    QTest::newRow("date typed with slashes") << Checked << "2003/1/1" << false << "" << QStringList{"N-4", "N-1"};
    QTest::newRow("text equal, any case") << Dept << "qc" << false << "" << QStringList{"N-3"};
    QTest::newRow("containment") << Dept << "计量" << true << "" << QStringList{"N-4", "N-2", "N-1"};
    QTest::newRow("value with a double quote") << Name << "卡尺\"150\"" << false << "" << QStringList{"N-2"};
    QTest::newRow("containment with a double quote") << Name << "\"150" << true << "" << QStringList{"N-2"};
    QTest::newRow("a percent sign is no wildcard") << Name << "50%" << true << "" << QStringList{"N-3"};
    QTest::newRow("advanced range") << ""
                                    << "" << false << " 检定日期 >= #2002-1-1# AND 检定日期 < #2003-1-1#"
                                    << QStringList{"N-3", "N-2"};
}

void tst_SavedQueries::runsOnLedger()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, blur);
    QFETCH(QString, advanced);
    QFETCH(QStringList, numbers);

    QVERIFY(insert(f->state.LedgerDatabase, InUse,
                   {{{Number, "N-1"}, {Name, "游标卡尺"}, {Dept, "计量科"}, {Checked, "2003-01-01"}},
                    {{Number, "N-2"}, {Name, "卡尺\"150\""}, {Dept, "一车间计量组"}, {Checked, "2002-06-30"}},
                    {{Number, "N-3"}, {Name, "湿度计 50%"}, {Dept, "QC"}, {Checked, "2002-01-01"}},
                    {{Number, "N-4"}, {Name, "压力表"}, {Dept, "计量科"}, {Checked, "2003-01-01"}}}));
    frmQuery& w = f->open(InUse);
    QVERIFY(chooseFields(w, {Number, Name, Checked}));
    setSortKeys(w, {Number}, {t::Descending});
    w.chkHigh->setChecked(!advanced.isEmpty());
    w.txtSQL->setPlainText(advanced);
    QVERIFY(advanced.isEmpty() == selectText(w.cboQueryFields, field));
    w.txtQueryMatter->setText(value);
    w.chkBlur->setChecked(blur);
    w.cmdQuery->click();
    QVERIFY(f->prompt.messages.isEmpty());

    Database& db = f->state.LedgerDatabase;
    const DbResult r = db.runScratch(f->state.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text() + QStringLiteral(" — ") + f->state.QuerySQL));
    QCOMPARE(db.columns(QStringLiteral("MSys检索临时表")), QStringList({Number, Name, Checked}));
    QCOMPARE(resultColumn(db, Number), numbers);
}

void tst_SavedQueries::seededQueryRunsAsStored()
{
    QVERIFY(insert(f->state.LedgerDatabase, InUse,
                   {{{Number, "B-2"}, {Name, "千分尺"}}, {{Number, "A-1"}, {Name, "钢直尺"}, {Dept, "计量科"}}}));
    // Whatever the current table and the tabs say.
    frmQuery& w = f->open(Environment);
    w.cboQuerySave->setCurrentIndex(1);
    w.cmdQuery->click();
    QCOMPARE(f->state.QuerySQL, seededQuery().sql);

    Database& db = f->state.LedgerDatabase;
    const DbResult r = db.runScratch(f->state.QuerySQL);
    QVERIFY2(r.ok(), qPrintable(r.error.text()));
    QCOMPARE(db.columns(QStringLiteral("MSys检索临时表")),
             QStringList({Number, Name, "规格型号", "法制管理类别", Dept}));
    QCOMPARE(resultColumn(db, Number), QStringList({"A-1", "B-2"}));
    QCOMPARE(resultColumn(db, Dept), QStringList({"计量科", ""}));
}

QTEST_MAIN(tst_SavedQueries)
#include "tst_savedqueries.moc"
