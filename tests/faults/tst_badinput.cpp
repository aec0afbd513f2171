// Bad input everywhere a user types: one table of nasty values (quotes,
// wildcards, brackets, statements, very long texts, control characters,
// emoji, mixed scripts, blanks) run through every text box whose text
// reaches a statement or the settings store, and one table of bad dates.
// Each value is either stored and found again exactly, or refused with a
// clear Chinese message; the rows of other instruments never change.
#include "FaultKit.h"
#include "ModalKit.h"
#include "ScriptedPrompter.h"
#include "core/Accounts.h"
#include "core/Dates.h"
#include "core/PasswordHash.h"
#include "editors/MemoEdit.h"
#include "editors/frmCertificate.h"
#include "editors/frmClose.h"
#include "editors/frmOperation.h"
#include "editors/frmReject.h"
#include "mainwindow/MainCommands.h"
#include "mainwindow/frmMain.h"
#include "planning/ReportCaption.h"
#include "planning/frmPlanSetup.h"
#include "platform/KeptWindow.h"
#include "query/QueryTexts.h"
#include "query/SavedQueries.h"
#include "query/frmQuery.h"
#include "users/frmLogin.h"
#include "users/frmPassword.h"
#include "users/frmUser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using namespace ravo;
using namespace ravo::test;

namespace {

const QString Number = QStringLiteral("计量器具编号");
const QString Name = QStringLiteral("计量器具名称");
const QString Category = QStringLiteral("计量器具类别");
const QString Remark = QStringLiteral("备注");
const QString BlankNumber = QStringLiteral("计量器具编号不能为空！");

struct Nasty {
    const char* name;
    QString value;
};

const QList<Nasty>& nastyValues()
{
    static const QList<Nasty> list = {
        {"double quotes", QStringLiteral("仪器\"A\"型")},
        {"a lone double quote", QStringLiteral("\"")},
        {"double quotes breaking out", QStringLiteral("x\" or \"1\"=\"1")},
        {"single quotes", QStringLiteral("O'Brien's 表")},
        {"single quotes breaking out", QStringLiteral("x' or '1'='1' --")},
        {"asterisk", QStringLiteral("*")},
        {"Jet wildcards", QStringLiteral("a*b?c#d")},
        {"percent and underscore", QStringLiteral("100%_合格")},
        {"a date between hashes", QStringLiteral("#2003-1-1#")},
        {"a lone hash", QStringLiteral("#")},
        {"brackets", QStringLiteral("[仪器]")},
        {"brackets the wrong way", QStringLiteral("a]b[c")},
        {"semicolon and drop", QStringLiteral("N-9; drop table 计量器具在用库; --")},
        {"a whole statement", QStringLiteral("select * from 计量器具在用库 where 1=1")},
        {"a Jet delete", QStringLiteral("delete 计量器具在用库.* from 计量器具在用库")},
        {"comment marks", QStringLiteral("-- /* 注释 */")},
        {"the word NULL", QStringLiteral("NULL")},
        {"the word now", QStringLiteral("now")},
        {"placeholders", QStringLiteral("? :name @p $1")},
        {"backslashes", QStringLiteral("C:\\仪器\\新建 \\n")},
        {"10,000 Chinese characters", QString(10000, QChar(0x91cf))},
        {"10,000 characters of symbols", QStringLiteral("\"'*%#[];").repeated(1250)},
        {"tab and line end", QStringLiteral("甲\t乙\n丙")},
        {"Windows line end", QStringLiteral("甲\r\n乙")},
        {"control characters", QStringLiteral("a\x01\x02\x1b[31mb\x7f")},
        {"NUL character", QStringLiteral("前") + QChar(0) + QStringLiteral("后")},
        {"a run of NUL characters", QStringLiteral("前") + QString(600, QChar(0)) + QStringLiteral("后")},
        {"emoji", QStringLiteral("🔧📏✅")},
        {"emoji sequences", QStringLiteral("👨‍🔬🏳️‍🌈")},
        {"invisible marks", QStringLiteral("a\u200bb\u202ec\u200f")},
        {"combining accents", QStringLiteral("e\u0301 n\u0303")},
        {"mixed scripts", QStringLiteral("Ω-计量-Δ-ñ-Ж-アイウ-한글-עברית-عربى")},
        {"full-width symbols", QStringLiteral("＂＇＊％＃［］；")},
        {"non-breaking space", QStringLiteral("a\u00a0b")},
        {"surrounding blanks", QStringLiteral("  前后空格  ")},
        {"another instrument's number in other case", QStringLiteral("n-001")},
        {"only blanks", QStringLiteral("   ")},
        {"ideographic space only", QStringLiteral("\u3000")},
        {"empty", QString()},
    };
    return list;
}

void nastyTable()
{
    QTest::addColumn<QString>("value");
    for (const Nasty& n : nastyValues())
        QTest::newRow(n.name) << n.value;
}

bool isBlank(const QString& v)
{
    return v.trimmed().isEmpty();
}

// The instruments the nasty value lives beside, in every ledger and record
// table; none of their rows may change.
const QStringList& neighbours()
{
    static const QStringList list = {"N-001", "N-002", "NB-ABC", "S-001", "X-001"};
    return list;
}

// The rows of every table but those of the instrument with one of these
// numbers, as text, sorted.
QStringList otherRows(Database& db, const QStringList& numbers)
{
    QStringList out;
    QSqlQuery q(db.connection());
    for (const QString& table : ledgerTables()) {
        q.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
        const int n = q.record().indexOf(Number);
        while (q.next())
            if (n < 0 || !numbers.contains(q.value(n).toString()))
                out << table + QLatin1Char(':') + rowText(q);
    }
    out.sort();
    return out;
}

// Rows of a table whose number (or another column) equals the text exactly.
QList<QVariantHash> rowsWhere(Database& db, const QString& table, const QString& column, const QString& text)
{
    QList<QVariantHash> out;
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
    while (q.next()) {
        if (q.value(column).toString() != text)
            continue;
        QVariantHash row;
        for (int c = 0; c < q.record().count(); ++c)
            row.insert(q.record().fieldName(c), q.value(c));
        out << row;
    }
    return out;
}

bool fillNeighbours(Database& db)
{
    const QList<QPair<QString, QVariantHash>> rows = {
        {tables::InUse, {{Number, "N-001"}, {Name, "甲表"}, {"检定日期", "2025-01-05"}, {"备注", "第一行\n第二行"}}},
        {tables::InUse, {{Number, "N-002"}, {Name, "乙表"}, {"使用部门", "一车间"}}},
        {tables::InUse, {{Number, "NB-ABC"}, {Name, "丙表"}, {"配套设备", "电源线"}}},
        {tables::Sealed, {{Number, "S-001"}, {Name, "封存表"}, {"封存日期", "2024-06-01"}}},
        {tables::Scrapped, {{Number, "X-001"}, {Name, "报废表"}, {"报废原因", "损坏"}}},
        {tables::Stock, {{Name, "库存表"}, {"库存数量", 3}}},
        {tables::Confirmation, {{Number, "N-001"}, {"报告编号", "R-1"}, {"检定日期", "2025-01-05"}}},
        {tables::Confirmation, {{Number, "NB-ABC"}, {"报告编号", "R-2"}}},
        {tables::Repair, {{Number, "N-002"}, {"修理日期", "2025-02-01"}}},
    };
    for (const auto& [table, row] : rows)
        if (!insertRow(db, table, row))
            return false;
    return true;
}

// The installed empty ledger with the neighbours, made once.
QString neighbourLedger()
{
    static Sandbox box;
    static const bool filled = [] {
        Database db;
        if (!box.isValid() || db.open(box.databasePath()))
            return false;
        Transaction tx(db);
        return fillNeighbours(db) && !tx.commit();
    }();
    return filled ? box.databasePath() : QString();
}

// A fresh copy of that ledger, and the program state around it.
struct Ledger {
    FreshFolders box{neighbourLedger()};
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};
    bool ok = box.isValid() && !state.LedgerDatabase.open(box.databasePath())
        && withoutWaitingForTheDisk(state.LedgerDatabase);
    Database& db() { return state.LedgerDatabase; }
};

QStringList messageTexts(const ScriptedPrompter& p)
{
    QStringList out;
    for (const ScriptedPrompter::Message& m : p.messages)
        out << m.text;
    return out;
}

bool hasChinese(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff; });
}

// The main window on the ledger, signed in as the administrator, with its
// commands kept from opening windows; null if it does not load.
std::unique_ptr<frmMain> mainWindowOn(Ledger& l)
{
    l.db().close(); // the main window opens the ledger itself
    l.state.UserList = {{AdministratorName, QString(), 0, 0}};
    l.state.CurrentUser = 1;
    auto w = std::make_unique<frmMain>(l.state);
    w->commands->setOpensWindows(false);
    if (!w->load() || !withoutWaitingForTheDisk(l.db()))
        return nullptr;
    return w;
}

const QDate Today(2026, 1, 5);

} // namespace

class tst_BadInput : public QObject {
    Q_OBJECT
private:
    int m_tried = 0;

    // The editor of a ledger opened on a number, as its command opens it.
    template <class Editor> std::unique_ptr<Editor> openEditor(Ledger& l, const QString& selected)
    {
        l.state.SelectedNumber = selected;
        l.state.EditorMode = ActiveWindow::Main;
        auto w = std::make_unique<Editor>(l.state);
        w->setClock([] { return Today; });
        w->show();
        return w;
    }

private slots:
    void initTestCase() { setPasswordHashCost(PasswordHashCost::Minimum); }
    void cleanupTestCase() { qInfo("bad inputs tried: %d", m_tried); }

    // The in-use editor: a new instrument with the value as its number, its
    // name, its category and its remark; OK; found again with 查找.
    void inUseEditor_data() { nastyTable(); }
    void inUseEditor()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        const QStringList others = otherRows(l.db(), {value});
        {
            auto w = openEditor<frmOperation>(l, QString());
            w->cmdAdd->click();
            static_cast<QLineEdit*>(w->Text1[0])->setText(value);
            static_cast<QLineEdit*>(w->Text1[1])->setText(value);
            w->Combo1[0]->setEditText(value);
            auto* memo = static_cast<MemoEdit*>(w->Text1[22]);
            memo->setFocus();
            memo->insertPlainText(value); // as typed or pasted
            w->cmdOK->click();
            ++m_tried;

            const bool duplicate = neighbours().contains(value, Qt::CaseInsensitive);
            if (isBlank(value) || duplicate) {
                QCOMPARE(messageTexts(l.prompt).size(), 1);
                QVERIFY(l.prompt.messages[0].text.contains(isBlank(value) ? BlankNumber
                                                                          : QStringLiteral("计量器具编号重复")));
                QVERIFY(w->isVisible()); // the editor stays open with what was typed
                QCOMPARE(static_cast<QLineEdit*>(w->Text1[0])->text(), value);
                QCOMPARE(rowsWhere(l.db(), tables::InUse, Name, value).size(), 0);
                QCOMPARE(otherRows(l.db(), {value}), others);
                return;
            }
            QVERIFY2(l.prompt.messages.isEmpty(), qPrintable(messageTexts(l.prompt).join('\n')));
            QVERIFY(!w->isVisible());
        }
        const QList<QVariantHash> stored = rowsWhere(l.db(), tables::InUse, Number, value);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].value(Name).toString(), value);
        QCOMPARE(stored[0].value(Category).toString(), value);
        // The remark box keeps lines: a Windows line end becomes its own.
        QCOMPARE(
            stored[0].value(Remark).toString(),
            QString(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).left(frmOperation::RemarkMaxLength));
        QCOMPARE(otherRows(l.db(), {value}), others);

        // 查找 finds it again (the number asked for is taken without its
        // surrounding blanks).
        auto again = openEditor<frmOperation>(l, QStringLiteral("N-001"));
        l.prompt.inputs << value;
        again->cmdFind->click();
        if (value == value.trimmed())
            QCOMPARE(DataControl::fieldText(again->Text1[0]), value);
    }

    // The value as an instrument's number through all five moves, each from
    // its editor: scrap, reinstate, seal, unseal, seal and scrap.
    void movesBetweenLedgers_data() { nastyTable(); }
    void movesBetweenLedgers()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        l.prompt.answers.clear();
        if (isBlank(value)) {
            // A row without a number is refused before anything moves.
            auto w = openEditor<frmOperation>(l, QString());
            w->cmdAdd->click();
            static_cast<QLineEdit*>(w->Text1[0])->setText(value);
            static_cast<QLineEdit*>(w->Text1[1])->setText(QStringLiteral("无编号"));
            const QStringList before = otherRows(l.db(), {});
            w->cmdJunk->click();
            ++m_tried;
            QCOMPARE(messageTexts(l.prompt), QStringList{BlankNumber});
            QCOMPARE(otherRows(l.db(), {}), before);
            return;
        }
        const bool duplicate = neighbours().contains(value, Qt::CaseInsensitive);
        // The instrument starts in use; a number that only differs in case
        // from one in use can only be sealed.
        QVERIFY(insertRow(l.db(), duplicate ? tables::Sealed : tables::InUse,
                          {{Number, value}, {Name, value}, {"配套设备", value}}));
        const QStringList others = otherRows(l.db(), {value, value.trimmed()});
        const QString moved = value.trimmed(); // a move names the number without its blanks

        auto locate = [&](const QString& number) {
            QStringList in;
            for (const QString& t : {tables::InUse, tables::Sealed, tables::Scrapped})
                in << QString::number(rowsWhere(l.db(), t, Number, number).size());
            return in.join(QLatin1Char(','));
        };
        auto check = [&](const QString& where, const char* step) {
            ++m_tried;
            QVERIFY2(l.prompt.messages.isEmpty(),
                     qPrintable(QString::fromLatin1(step) + QStringLiteral(": ") + messageTexts(l.prompt).join('\n')));
            QCOMPARE(locate(moved), where);
            const QString table = where == "1,0,0" ? tables::InUse
                : where == "0,1,0"                 ? tables::Sealed
                                                   : tables::Scrapped;
            const QVariantHash row = rowsWhere(l.db(), table, Number, moved).value(0);
            QCOMPARE(row.value(Name).toString(), value);
            QCOMPARE(row.value("配套设备").toString(), value);
            QCOMPARE(otherRows(l.db(), {value, moved}), others);
            l.prompt.messages.clear();
        };

        if (duplicate) {
            auto w = openEditor<frmClose>(l, value);
            w->cmdOpen->click();
            ++m_tried;
            QCOMPARE(l.prompt.messages.size(), 2); // the question, then the refusal
            QVERIFY(l.prompt.messages[1].text.contains(QStringLiteral("已经有编号为")));
            QVERIFY(hasChinese(l.prompt.messages[1].text));
            QCOMPARE(locate(value), QStringLiteral("0,1,0"));
            QCOMPARE(otherRows(l.db(), {value}), others);
            return;
        }
        {
            auto w = openEditor<frmOperation>(l, value);
            QCOMPARE(DataControl::fieldText(w->Text1[0]), value);
            w->cmdJunk->click();
            l.prompt.messages.removeFirst(); // the question
        }
        check("0,0,1", "scrap");
        {
            auto w = openEditor<frmReject>(l, moved);
            w->cmdUser->click();
            l.prompt.messages.removeFirst();
        }
        check("1,0,0", "reinstate");
        for (const char* step : {"seal", "unseal", "seal again"}) {
            if (step[0] == 's') {
                auto w = openEditor<frmOperation>(l, moved);
                w->cmdObturate->click();
            } else {
                auto w = openEditor<frmClose>(l, moved);
                w->cmdOpen->click();
            }
            if (!l.prompt.messages.isEmpty())
                l.prompt.messages.removeFirst();
            check(step[0] == 's' ? "0,1,0" : "1,0,0", step);
        }
        {
            auto w = openEditor<frmClose>(l, moved);
            w->cmdReject->click();
            l.prompt.messages.removeFirst();
        }
        check("0,0,1", "scrap from sealed");
    }

    // The confirmation records of an instrument with the value as its
    // number: added, saved, opened again; the records of others untouched.
    void recordsOfTheInstrument_data() { nastyTable(); }
    void recordsOfTheInstrument()
    {
        QFETCH(QString, value);
        if (isBlank(value) || neighbours().contains(value, Qt::CaseInsensitive))
            return; // no such instrument can be in use (see the editor above)
        Ledger l;
        QVERIFY(l.ok);
        QVERIFY(insertRow(l.db(), tables::InUse, {{Number, value}, {Name, value}}));
        const QString number = value.trimmed(); // as the in-use editor hands it over
        const QStringList others = otherRows(l.db(), {value, number});
        l.state.TargetInstrument = {{Number, number}, {Name, value}, {"规格型号", value}};
        l.state.EditorMode = ActiveWindow::InUseEditor;
        {
            frmCertificate w(l.state);
            w.setClock([] { return Today; });
            w.show();
            QCOMPARE(w.Data1->recordset().recordCount(), 0);
            w.cmdAdd->click();
            w.cmdOK->click();
            ++m_tried;
            QVERIFY2(l.prompt.messages.isEmpty(), qPrintable(messageTexts(l.prompt).join('\n')));
        }
        const QList<QVariantHash> records = rowsWhere(l.db(), tables::Confirmation, Number, number);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].value(Name).toString(), value);
        QCOMPARE(otherRows(l.db(), {value, number}), others);
        frmCertificate again(l.state);
        again.show();
        QCOMPARE(again.Data1->recordset().recordCount(), 1);
    }

    // The main window's quick search on a value picked from the list, in a
    // text field and in the number field.
    void quickSearch_data() { nastyTable(); }
    void quickSearch()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        QVERIFY(insertRow(l.db(), tables::InUse, {{Number, "Q-1"}, {Name, value}}));
        if (!isBlank(value) && !neighbours().contains(value, Qt::CaseInsensitive))
            QVERIFY(insertRow(l.db(), tables::InUse, {{Number, value}, {Name, "按编号找"}}));
        const QStringList everything = otherRows(l.db(), {});
        const auto w = mainWindowOn(l);
        QVERIFY(w);

        for (const QString& field : {Name, Number}) {
            w->cboField->setCurrentIndex(w->cboField->findText(field));
            w->cboField_Click();
            int row = -1;
            for (int i = 0; i < w->dblSort->model()->rowCount(); ++i)
                if (w->dblSort->model()->index(i, 0).data().toString() == value)
                    row = i;
            if (field == Number && row < 0)
                continue; // no instrument has it as its number
            QVERIFY(row >= 0);
            l.prompt.messages.clear();
            w->dblSort_Click(row);
            ++m_tried;
            if (value.isEmpty()) {
                // The empty line of the list stands for no value at all,
                // which "= null" never finds.
                QCOMPARE(w->resultCount(), 0);
                continue;
            }
            QVERIFY2(l.prompt.messages.isEmpty(), qPrintable(messageTexts(l.prompt).join('\n')));
            QCOMPARE(w->resultCount(), 1);
            const int column = w->result().fieldIndex(field);
            QCOMPARE(w->result().rowAt(0).value(column).toString(), value);
        }
        QCOMPARE(otherRows(l.db(), {}), everything);
    }

    // The query wizard: the value typed in the simple mode (equal, and
    // contained) and in the advanced mode (= and like); the main window then
    // runs the statement.
    void queryWizard_data() { nastyTable(); }
    void queryWizard()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        QVERIFY(insertRow(l.db(), tables::InUse, {{Number, "W-1"}, {Name, value}}));
        const QStringList everything = otherRows(l.db(), {});
        const auto main = mainWindowOn(l);
        QVERIFY(main);

        struct Mode {
            const char* name;
            bool advanced;
            bool contained;
        };
        QPointer<frmQuery> wizard;
        for (const Mode& mode : {Mode{"simple, equal", false, false}, Mode{"simple, contained", false, true},
                                 Mode{"advanced, =", true, false}, Mode{"advanced, like", true, true}}) {
            frmQuery& w = keptWindow(wizard, l.state, main.get());
            w.show();
            w.chkHigh->setChecked(mode.advanced);
            w.cmdDelAll->click();
            w.lstSource->setCurrentItem(w.lstSource->findItems(Number, Qt::MatchExactly).value(0));
            w.cmdAddField->click();
            l.prompt.messages.clear();
            if (mode.advanced) {
                w.cmdClear->click();
                w.cboFields->setCurrentIndex(w.cboFields->findText(Name));
                w.cboOperator->setCurrentIndex(w.cboOperator->findText(mode.contained ? "like" : "="));
                w.txtValue->setText(mode.contained ? QStringLiteral("*") + value + QStringLiteral("*") : value);
                w.cmdAdd->click();
                if ((value.isEmpty() && !mode.contained) || value.contains(QLatin1Char('\r'))) {
                    ++m_tried;
                    QCOMPARE(messageTexts(l.prompt),
                             QStringList{value.isEmpty() ? querytexts::NoConditionValue
                                                         : querytexts::CarriageReturnInValue});
                    w.hide();
                    continue;
                }
            } else {
                w.cboQueryFields->setCurrentIndex(w.cboQueryFields->findText(Name));
                w.txtQueryMatter->setText(value);
                w.chkBlur->setChecked(mode.contained);
            }
            w.cmdQuery->click();
            ++m_tried;
            QVERIFY2(
                l.prompt.messages.isEmpty(),
                qPrintable(QString::fromLatin1(mode.name) + QStringLiteral(": ") + messageTexts(l.prompt).join('\n')));
            QVERIFY(l.state.RequeryOnActivate);
            QVERIFY2(main->requery(),
                     qPrintable(QString::fromLatin1(mode.name) + QStringLiteral(": ") + l.state.QuerySQL.left(200)));
            QStringList numbers;
            for (int i = 0; i < main->resultCount(); ++i)
                numbers << main->result().rowAt(i).value(0).toString();
            // Contained: the value's own row at least (its * and ? are the
            // user's wildcards, as they always were). An empty value was
            // stored as no value, which no comparison finds.
            if (value.isEmpty())
                QVERIFY(!numbers.contains(QStringLiteral("W-1")));
            else if (mode.contained)
                QVERIFY2(numbers.contains(QStringLiteral("W-1")), qPrintable(mode.name + (": " + numbers.join(','))));
            else
                QVERIFY2(numbers == QStringList{"W-1"}, qPrintable(mode.name + (": " + numbers.join(','))));
        }
        QCOMPARE(otherRows(l.db(), {}), everything);
    }

    // Conditions typed by hand into the advanced mode's box, the value
    // spliced in raw, as a user would type it: each runs or is refused with
    // the wizard's message; no table changes.
    void handEditedConditions_data() { nastyTable(); }
    void handEditedConditions()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        QVERIFY(insertRow(l.db(), tables::InUse, {{Number, "H-1"}, {Name, value}}));
        const QStringList everything = otherRows(l.db(), {});
        const auto main = mainWindowOn(l);
        QVERIFY(main);
        const QStringList tablesBefore = l.db().tables(true);
        QPointer<frmQuery> wizard;
        for (const QString& condition :
             {QStringLiteral("计量器具名称 = ") + value, QStringLiteral("计量器具名称 = \"") + value + QLatin1Char('"'),
              QStringLiteral("计量器具名称 like '*") + value + QStringLiteral("*'"), value}) {
            frmQuery& w = keptWindow(wizard, l.state, main.get());
            w.show();
            w.chkHigh->setChecked(true);
            w.txtSQL->setPlainText(condition);
            l.prompt.messages.clear();
            w.cmdQuery->click();
            const bool ran = main->requery();
            ++m_tried;
            if (!ran) {
                QCOMPARE(messageTexts(l.prompt), QStringList{QStringLiteral("查询语句错误，请检查你设置的查询条件！")});
                QCOMPARE(main->resultCount(), 4); // the whole table instead
            }
            QCOMPARE(otherRows(l.db(), {}), everything);
            QVERIFY(l.db().tableExists(tables::SearchResult));
        }
        // No table made or dropped but the search result.
        QSet<QString> expected(tablesBefore.cbegin(), tablesBefore.cend());
        expected << tables::SearchResult;
        const QStringList after = l.db().tables(true);
        QCOMPARE(QSet<QString>(after.cbegin(), after.cend()), expected);
    }

    // An account with the value as its name and its password: added in user
    // management, signed in with, read back by the next run.
    void accounts_data() { nastyTable(); }
    void accounts()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        const QString name = value.trimmed(); // the dialog keeps the name without its blanks
        {
            frmUser users(l.state);
            l.prompt.inputs << value;
            if (!value.isEmpty() && isBlank(value))
                l.prompt.answers << Prompter::Answer::Cancel; // to "try another name" after the refusal
            if (!isBlank(value))
                whenModal<frmPassword>(this, [value](frmPassword* p) {
                    p->txtPassword1->setText(value);
                    p->txtPassword2->setText(value);
                    p->cmdOk->click();
                });
            users.cmdNewUser->click();
            users.cmdClose->click();
        }
        ++m_tried;
        SettingsStore next;
        const AccountLoad load = loadAccountList(next);
        QVERIFY(!load.seeded);
        if (isBlank(value)) {
            QCOMPARE(load.accounts.size(), 1);
            QCOMPARE(messageTexts(l.prompt).size(), value.isEmpty() ? 0 : 1);
            return;
        }
        QVERIFY2(l.prompt.messages.isEmpty(), qPrintable(messageTexts(l.prompt).join('\n')));
        QCOMPARE(load.accounts.size(), 2);
        QCOMPARE(load.accounts[1].Name, name);
        QVERIFY(passwordMatches(load.accounts[1].Password, value));
        QVERIFY(!passwordMatches(load.accounts[1].Password, value + QLatin1Char('x')));

        ProgramState again(l.box.appDir(), l.prompt);
        frmLogin login(again);
        login.show();
        login.cboName->setCurrentIndex(1);
        login.txtPassword->setText(value);
        login.cmdOK->click();
        ++m_tried;
        QVERIFY2(login.Ok, qPrintable(messageTexts(l.prompt).join('\n')));
        QCOMPARE(again.CurrentUser, qint16(2));
    }

    // Report titles (the ledger report's and the plan's) and the name of a
    // saved query, read back by the next run.
    void titlesAndQueryNames_data() { nastyTable(); }
    void titlesAndQueryNames()
    {
        QFETCH(QString, value);
        Ledger l;
        QVERIFY(l.ok);
        const OptionsPassResult first = seedOptions(l.state.settings, Today);
        l.state.options = first.options;
        l.state.SavedQueries = first.savedQueries;
        {
            ReportCaption caption(l.state);
            caption.PrintOnOK = false;
            caption.show();
            caption.txtReportCaption->setText(value);
            caption.OKButton->click();
        }
        {
            frmPlanSetup plan(l.state);
            plan.OpenListOnOK = false;
            plan.show();
            plan.txtReportCapt->setText(value);
            plan.cmdOK->click();
        }
        l.state.CurrentTable = tables::InUse;
        QWidget owner;
        {
            QPointer<frmQuery> wizard;
            frmQuery& w = keptWindow(wizard, l.state, &owner);
            w.show();
            l.prompt.inputs << value;
            w.cmdSaveQuery->click();
        }
        m_tried += 3;
        l.state.settings.sync();

        SettingsStore next;
        const OptionsPassResult pass = seedOptions(next, Today);
        QVERIFY(!pass.reseeded);
        QCOMPARE(pass.options.RepCaption, value);
        QCOMPARE(pass.options.RC, value);
        if (isBlank(value)) {
            QCOMPARE(pass.savedQueries.size(), 1); // nothing saved under a blank name
            return;
        }
        QCOMPARE(pass.savedQueries.size(), 2);
        QCOMPARE(pass.savedQueries[1].name, value.trimmed());
        const SavedQuery* found = findSavedQuery(pass.savedQueries, value.trimmed());
        QVERIFY(found);
        QVERIFY(found->sql.contains(tables::SearchResult));
    }

    // Dates typed into the in-use editor's date field and into the query
    // wizard: a real date is stored as yyyy-MM-dd and found; anything else is
    // refused with the date message and nothing changes.
    void dates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");   // empty: refused
        QTest::addColumn<bool>("wizardTakes"); // the wizard compares date fields with times too
        QTest::newRow("30 February") << "2003-2-30"
                                     << "" << false;
        QTest::newRow("all zeros") << "0000-00-00"
                                   << "" << false;
        QTest::newRow("day first") << "31/12/2003"
                                   << "" << false;
        // The editor stores the forms users type; the wizard writes what the
        // statement translator reads, Jet's month first among them.
        QTest::newRow("month first") << "12/31/2003"
                                     << "" << true;
        QTest::newRow("month 13") << "2003-13-01"
                                  << "" << false;
        QTest::newRow("29 February of a common year") << "2003-02-29"
                                                      << "" << false;
        QTest::newRow("29 February of a leap year") << "2004-2-29"
                                                    << "2004-02-29" << true;
        QTest::newRow("five-digit year") << "99999-1-1"
                                         << "" << false;
        QTest::newRow("two-digit year") << "03-3-28"
                                        << "" << false;
        QTest::newRow("a time only") << "10:05"
                                     << "" << true;
        QTest::newRow("hour 25") << "2003-3-28 25:00"
                                 << "" << false;
        QTest::newRow("between hashes") << "#2003-3-28#"
                                        << "" << false;
        QTest::newRow("a quote after") << "2003-3-28\""
                                       << "" << false;
        QTest::newRow("a statement after") << "2003-3-28; drop table 计量器具在用库"
                                           << "" << false;
        QTest::newRow("the word now") << "now"
                                      << "" << false;
        QTest::newRow("full-width digits") << "２００３－３－２８"
                                           << "2003-03-28" << true;
        QTest::newRow("Chinese") << "2003年3月28日"
                                 << "2003-03-28" << true;
        QTest::newRow("compact") << "20030328"
                                 << "2003-03-28" << true;
        QTest::newRow("with dots") << "2003.3.28"
                                   << "2003-03-28" << true;
        QTest::newRow("English month") << "2003-Mar-28"
                                       << "2003-03-28" << true;
        QTest::newRow("surrounding blanks") << "  2003-3-28 "
                                            << "2003-03-28" << true;
    }
    void dates()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, wizardTakes);
        const QString field = QStringLiteral("检定日期");
        Ledger l;
        QVERIFY(l.ok);
        const QStringList others = otherRows(l.db(), {"D-1"});
        {
            auto w = openEditor<frmOperation>(l, QString());
            w->cmdAdd->click();
            static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral("D-1"));
            static_cast<QLineEdit*>(w->Text1[11])->setText(typed);
            static_cast<QLineEdit*>(w->Text1[13])->clear();
            w->cmdOK->click();
            ++m_tried;
            if (stored.isEmpty()) {
                QCOMPARE(messageTexts(l.prompt), QStringList{dateErrorMessage(field, typed.trimmed())});
                QCOMPARE(DataControl::fieldText(w->Text1[11]), typed); // nothing typed is lost
                QVERIFY(w->isVisible());
                QCOMPARE(rowsWhere(l.db(), tables::InUse, Number, "D-1").size(), 0);
            } else {
                QVERIFY2(l.prompt.messages.isEmpty(), qPrintable(messageTexts(l.prompt).join('\n')));
                QCOMPARE(rowsWhere(l.db(), tables::InUse, Number, "D-1").value(0).value(field).toString(), stored);
            }
        }
        QCOMPARE(otherRows(l.db(), {"D-1"}), others);

        // The wizard's simple mode checks the date before it composes.
        l.prompt.messages.clear();
        l.state.CurrentTable = tables::InUse;
        QWidget owner;
        QPointer<frmQuery> wizard;
        frmQuery& w = keptWindow(wizard, l.state, &owner);
        w.show();
        w.cboQueryFields->setCurrentIndex(w.cboQueryFields->findText(field));
        w.txtQueryMatter->setText(typed);
        l.state.QuerySQL.clear();
        w.cmdQuery->click();
        ++m_tried;
        if (!wizardTakes) {
            QCOMPARE(messageTexts(l.prompt), QStringList{dateErrorMessage(field, typed)});
            QVERIFY(l.state.QuerySQL.isEmpty());
            return;
        }
        QVERIFY(l.prompt.messages.isEmpty());
        const DbResult r = l.db().runScratch(l.state.QuerySQL);
        QVERIFY2(r.ok(), qPrintable(r.error.text()));
        QCOMPARE(rowsWhere(l.db(), tables::SearchResult, Number, "D-1").size(), stored.isEmpty() ? 0 : 1);
    }
};

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
