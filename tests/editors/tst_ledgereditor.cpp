// The behaviour every editor window shares, on a small editor of the repair
// records: counter and locks, the working copy, find, delete, save and
// cancel, the refusal of bad input, focus colours, the Enter walk, the
// button highlight and the symbol toolbar.
#include "EditorFixture.h"
#include "editors/LedgerEditor.h"
#include "editors/MemoEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>

using namespace ravo;

namespace {

const QString Repairs = QStringLiteral("计量器具修理记录库");
const QString RepairsCopy = QStringLiteral("MSys计量器具修理记录库");

// An editor standing on the base with nothing but its fields and buttons.
class RepairEditor : public LedgerEditor {
public:
    explicit RepairEditor(ProgramState& s, bool unlockWhenNotEmpty = false)
        : LedgerEditor(s, editorSpec(unlockWhenNotEmpty))
    {
        addTextField(0, QStringLiteral("计量器具编号"));
        addTextField(1, QStringLiteral("计量器具名称"));
        addTextField(2, QStringLiteral("修理日期"));
        addMemoField(3, QStringLiteral("修理内容"), 10);
        cmdAdd = addCommandButton(QStringLiteral("cmdAdd"), QStringLiteral("添加(&A)"));
        cmdOK = addCommandButton(QStringLiteral("cmdOK"), QStringLiteral("确定(&O)"), &LedgerEditor::save);
        connect(cmdAdd, &QPushButton::clicked, this, [this] {
            if (Data1->addNew())
                unlockFields();
        });
        auto* row = new QHBoxLayout(body());
        for (QWidget* w : Text1)
            row->addWidget(w);
        row->addWidget(cmdAdd);
        row->addWidget(cmdOK);
        setNumberField(Text1[0]);
        setLockedFields({Text1[0], Text1[1], Text1[2], Text1[3]});
        setEnterOrder({Text1[0], Text1[1], Text1[2], Text1[3]}, cmdOK);
    }
    static EditorSpec editorSpec(bool unlock)
    {
        EditorSpec s;
        s.caption = QStringLiteral("修理");
        s.table = Repairs;
        s.workingTable = RepairsCopy;
        s.order = QStringLiteral("修理日期");
        s.symbolToolbar = true;
        s.unlockWhenNotEmpty = unlock;
        return s;
    }
    QLineEdit* text(int i) const { return static_cast<QLineEdit*>(Text1[i]); }
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdOK = nullptr;
};

QVariantHash repair(const QString& number, const QString& date)
{
    return {{QStringLiteral("计量器具编号"), number}, {QStringLiteral("修理日期"), date}};
}

} // namespace

class LedgerEditorTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    // Repair rows R-1 … R-n on successive days, so the order is the numbering.
    void fill(int n)
    {
        QList<QVariantHash> rows;
        for (int i = 1; i <= n; ++i)
            rows << repair(QStringLiteral("R-%1").arg(i), QDate(2003, 1, 1).addDays(i).toString(Qt::ISODate));
        QVERIFY(f->insert(Repairs, rows));
    }
    QString counter(RepairEditor& w) { return w.Data1->caption(); }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void counterAndLocks_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty table") << 0 << ""
                                     << "记录:0/0" << false;
        QTest::newRow("third of 17") << 17 << "third"
                                     << "记录:3/17" << true;
        QTest::newRow("only row deleted") << 1 << "delete"
                                          << "记录:0/0" << false;
        QTest::newRow("last row deleted") << 3 << "last,delete"
                                          << "记录:2/2" << true;
        QTest::newRow("add on empty") << 0 << "add"
                                      << "记录:0/0" << true;
    }
    void counterAndLocks()
    {
        QFETCH(int, rows);
        QFETCH(QString, action);
        fill(rows);
        RepairEditor w(f->state);
        QVERIFY(w.load());
        for (const QString& a : action.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (a == QLatin1String("third"))
                w.Data1->setAbsolutePosition(2);
            else if (a == QLatin1String("last"))
                w.Data1->moveLast();
            else if (a == QLatin1String("delete"))
                w.deleteCurrent();
            else if (a == QLatin1String("add"))
                w.cmdAdd->click();
        }
        QTEST(counter(w), "caption");
        QTEST(w.Text1[3]->isEnabled(), "enabled");
    }

    void unlockedAgainWhenNotEmpty()
    {
        RepairEditor w(f->state, true);
        QVERIFY(w.load());
        QVERIFY(!w.Text1[0]->isEnabled());
        QVERIFY(f->insert(RepairsCopy, {repair("R-1", "2003-01-01")}));
        QVERIFY(!w.Data1->refresh());
        QVERIFY(w.Text1[0]->isEnabled());
    }

    void leftoverWorkingTableIsRebuilt()
    {
        fill(2);
        QVERIFY(f->db().executeNative(QStringLiteral("CREATE TABLE %1 (x)").arg(RepairsCopy)).ok());
        RepairEditor w(f->state);
        QVERIFY(w.load());
        QCOMPARE(counter(w), QStringLiteral("记录:1/2"));
        QCOMPARE(w.text(0)->text(), QStringLiteral("R-1"));
        w.cancel();
        QVERIFY(!f->db().tableExists(RepairsCopy));
    }

    void find_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cancelled") << std::optional<QString>() << "R-2";
        QTest::newRow("empty") << std::optional<QString>(QString()) << "R-2";
        QTest::newRow("blanks only") << std::optional<QString>("   ") << "R-2";
        QTest::newRow("found, spaces trimmed") << std::optional<QString>(" R-3 ") << "R-3";
        QTest::newRow("other letter case") << std::optional<QString>("r-4") << "R-4";
        QTest::newRow("prefix is no match") << std::optional<QString>("R") << "R-2";
        QTest::newRow("no match") << std::optional<QString>("R-99") << "R-2";
        QTest::newRow("double quote") << std::optional<QString>("R\"5") << "R\"5";
        QTest::newRow("single quote") << std::optional<QString>("R'6") << "R'6";
    }
    void find()
    {
        QFETCH(std::optional<QString>, answer);
        fill(4);
        QVERIFY(f->insert(Repairs, {repair(QStringLiteral("R\"5"), "2004-01-01"), repair("R'6", "2004-01-02")}));
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.Data1->moveNext();
        w.text(1)->setText(QStringLiteral("改过"));
        f->prompt.inputs << answer;
        w.findByNumber();
        QTEST(w.text(0)->text(), "shown");
        if (w.text(0)->text() == QLatin1String("R-2"))
            QCOMPARE(w.text(1)->text(), QStringLiteral("改过")); // nothing typed is lost
        QVERIFY(f->prompt.messages.isEmpty());
    }

    void deleteAt_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("caption");
        QTest::newRow("first") << 0 << 3 << "R-2"
                               << "记录:1/2";
        QTest::newRow("middle") << 1 << 3 << "R-3"
                                << "记录:2/2";
        QTest::newRow("last") << 2 << 3 << "R-2"
                              << "记录:2/2";
        QTest::newRow("only") << 0 << 1 << ""
                              << "记录:0/0";
    }
    void deleteAt()
    {
        QFETCH(int, position);
        QFETCH(int, rows);
        fill(rows);
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.Data1->setAbsolutePosition(position);
        w.deleteCurrent();
        QTEST(w.text(0)->text(), "shown");
        QTEST(counter(w), "caption");
        QVERIFY(f->prompt.messages.isEmpty());
        // The ledger keeps the row until the copy is saved.
        QCOMPARE(f->column(Repairs, QStringLiteral("计量器具编号")).size(), rows);
    }

    void refusedDateKeepsCursorAndText()
    {
        fill(3);
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.text(1)->setText(QStringLiteral("新名称"));
        w.text(2)->setText(QStringLiteral("2003-2-30"));
        QVERIFY(!w.Data1->moveNext());
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(f->prompt.messages[0].text.contains(QStringLiteral("修理日期")));
        QCOMPARE(counter(w), QStringLiteral("记录:1/3"));
        QCOMPARE(w.text(2)->text(), QStringLiteral("2003-2-30"));
        QCOMPARE(w.text(1)->text(), QStringLiteral("新名称"));
        // Put right, the row is written in the stored form and the cursor moves on.
        w.text(2)->setText(QStringLiteral("2003年3月8日"));
        QVERIFY(w.Data1->moveNext());
        QCOMPARE(counter(w), QStringLiteral("记录:2/3"));
        w.Data1->moveFirst();
        QCOMPARE(w.text(2)->text(), QStringLiteral("2003-03-08"));
        QCOMPARE(w.text(1)->text(), QStringLiteral("新名称"));
    }

    void saveRefusesBlankNumber_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("first row") << "first";
        QTest::newRow("second row") << "second";
        QTest::newRow("new row") << "new";
    }
    void saveRefusesBlankNumber()
    {
        QFETCH(QString, where);
        fill(2);
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        if (where == QLatin1String("second"))
            w.Data1->moveNext();
        if (where == QLatin1String("new")) {
            w.cmdAdd->click();
            w.text(1)->setText(QStringLiteral("无编号"));
        } else {
            w.text(0)->setText(QStringLiteral("   "));
        }
        w.text(1)->setFocus();
        w.save();
        QVERIFY(f->state.RequeryOnActivate);
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, QStringLiteral("计量器具编号不能为空！"));
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Critical);
        QCOMPARE(QApplication::focusWidget(), w.Text1[0]);
        QVERIFY(w.isVisible());
        QCOMPARE(f->column(Repairs, QStringLiteral("计量器具编号")), QStringList({"R-1", "R-2"}));
    }

    void saveRefusesBlankNumberElsewhereInTheCopy()
    {
        fill(2);
        QVERIFY(f->insert(Repairs, {repair(QString(), "2003-06-01")}));
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.save();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, QStringLiteral("计量器具编号不能为空！"));
        QCOMPARE(counter(w), QStringLiteral("记录:3/3"));
        QVERIFY(w.isLoaded());
    }

    void saveFailureKeepsLedgerAndWindow_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("invalid date") << "date";
        QTest::newRow("insert fails in the commit") << "trigger";
    }
    void saveFailureKeepsLedgerAndWindow()
    {
        QFETCH(QString, fault);
        fill(3);
        const QStringList before = f->column(Repairs, QStringLiteral("计量器具编号"));
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.text(1)->setText(QStringLiteral("改名"));
        if (fault == QLatin1String("date"))
            w.text(2)->setText(QStringLiteral("明天"));
        else
            QVERIFY(f->db()
                        .executeNative(
                            // The row being changed: OK writes only the rows changed.
                            QStringLiteral("CREATE TRIGGER boom BEFORE INSERT ON 计量器具修理记录库 "
                                           "WHEN NEW.计量器具编号 = 'R-1' BEGIN SELECT RAISE(ABORT, 'boom'); END"))
                        .ok());
        w.save();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::None);
        QVERIFY(!f->prompt.messages[0].text.isEmpty());
        QCOMPARE(f->column(Repairs, QStringLiteral("计量器具编号")), before);
        QCOMPARE(f->column(Repairs, QStringLiteral("计量器具名称")), QStringList({"", "", ""}));
        QVERIFY(w.isLoaded());
        QVERIFY(f->db().tableExists(RepairsCopy));
        QCOMPARE(w.result(), int(QDialog::Rejected));
    }

    // Dates another program wrote against the rules: the window opens and
    // names them; OK refuses, naming the first and moving to it, until each
    // is mended.
    void rowsBreakingRulesOpenAndAreMended_data()
    {
        QTest::addColumn<QStringList>("mends"); // typed into 修理日期 of R-2, R-3 in turn
        QTest::addColumn<QString>("refusedAt"); // the row OK then names, empty: saved
        QTest::newRow("none mended") << QStringList{} << "R-2";
        QTest::newRow("first mended") << QStringList{"2027-02-28"} << "R-3";
        QTest::newRow("both mended") << QStringList{"2027-02-28", "2028-1-1"} << "";
    }
    void rowsBreakingRulesOpenAndAreMended()
    {
        QFETCH(QStringList, mends);
        QFETCH(QString, refusedAt);
        QVERIFY(f->db().executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 1")).ok());
        QVERIFY(
            f->insert(Repairs, {repair("R-1", "2003-01-02"), repair("R-2", "2027-02-30"), repair("R-3", "2028/1/1")}));
        QVERIFY(f->db().executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 0")).ok());
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Warning);
        for (const char* named :
             {"编号为“R-2”的记录的“修理日期”是“2027-02-30”", "编号为“R-3”的记录的“修理日期”是“2028/1/1”"})
            QVERIFY2(f->prompt.messages[0].text.contains(QString::fromUtf8(named)),
                     qPrintable(f->prompt.messages[0].text));
        QCOMPARE(counter(w), QStringLiteral("记录:1/3"));

        for (int i = 0; i < mends.size(); ++i) {
            QVERIFY(w.Data1->findFirst(QStringLiteral("计量器具编号"), QStringLiteral("R-%1").arg(i + 2)));
            w.text(2)->setText(mends[i]);
        }
        w.Data1->moveFirst();
        w.save();
        if (refusedAt.isEmpty()) {
            QCOMPARE(f->prompt.messages.size(), 1);
            QCOMPARE(f->column(Repairs, QStringLiteral("修理日期")),
                     QStringList({"2003-01-02", "2027-02-28", "2028-01-01"}));
            return;
        }
        QCOMPARE(f->prompt.messages.size(), 2);
        QCOMPARE(f->prompt.messages[1].icon, Prompter::Icon::Critical);
        QVERIFY2(f->prompt.messages[1].text.contains(QStringLiteral("编号为“%1”").arg(refusedAt)),
                 qPrintable(f->prompt.messages[1].text));
        QCOMPARE(w.text(0)->text(), refusedAt);
        QCOMPARE(QApplication::focusWidget(), w.Text1[2]);
        QVERIFY(w.isVisible());
        QCOMPARE(f->column(Repairs, QStringLiteral("修理日期")), QStringList({"2003-01-02", "2027-02-30", "2028/1/1"}));
    }

    void cancelLeavesLedger()
    {
        fill(3);
        RepairEditor w(f->state);
        QVERIFY(w.load());
        w.deleteCurrent();
        w.cmdAdd->click();
        w.text(0)->setText(QStringLiteral("R-9"));
        w.Data1->moveFirst();
        w.cancel();
        QCOMPARE(f->column(Repairs, QStringLiteral("计量器具编号")), QStringList({"R-1", "R-2", "R-3"}));
        QVERIFY(!f->db().tableExists(RepairsCopy));
        QVERIFY(!f->state.RequeryOnActivate);
    }

    void enterWalksToTheButton()
    {
        fill(1);
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Text1[0]->setFocus();
        for (int i = 1; i <= 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), w.Text1[i]);
        }
        QTest::keyClick(w.Text1[3], Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.cmdOK);
        QCOMPARE(DataControl::fieldText(w.Text1[3]), QString()); // no line break slipped in
        QVERIFY(w.isVisible());                                  // Enter did not press a default button
    }

    void focusColoursAndBeep()
    {
        fill(1);
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Text1[1]->setFocus();
        const int beeps = f->prompt.beeps;
        w.Text1[2]->setFocus();
        QCOMPARE(f->prompt.beeps, beeps + 1);
        QCOMPARE(w.Text1[2]->palette().color(QPalette::Base), QColor(Qt::black));
        QCOMPARE(w.Text1[2]->palette().color(QPalette::Text), QColor(Qt::white));
        QCOMPARE(w.Text1[1]->palette().color(QPalette::Base), QColor(216, 236, 196));
        QCOMPARE(w.Text1[1]->palette().color(QPalette::Text), QColor(Qt::black));
        // A message box coming and going does not count as a new visit.
        QDialog box(&w);
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.close();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(f->prompt.beeps, beeps + 1);
        QCOMPARE(w.Text1[2]->palette().color(QPalette::Base), QColor(Qt::black));
    }

    void buttonHighlight()
    {
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QColor face = w.cmdOK->palette().color(QPalette::Button);
        const QColor green(0, 255, 0);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(w.cmdAdd, &enter);
        QVERIFY(f->state.ButtonHighlighted);
        QApplication::sendEvent(w.cmdOK, &enter); // straight from one button to the next
        QCOMPARE(w.cmdAdd->palette().color(QPalette::Button), green);
        QCOMPARE(w.cmdOK->palette().color(QPalette::Button), face);
        const QPoint background = w.Data1->geometry().topLeft() - QPoint(0, 2);
        QVERIFY(!w.childAt(background) || w.childAt(background) == w.findChild<QWidget*>("body"));
        QMouseEvent move(QEvent::MouseMove, background, w.mapToGlobal(background), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
        QVERIFY(!f->state.ButtonHighlighted);
        QCOMPARE(w.cmdAdd->palette().color(QPalette::Button), face);
    }

    void symbolToolbar()
    {
        fill(1);
        RepairEditor w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.Toolbar1->actions().size(), 22);
        QCOMPARE(LedgerEditor::symbols().join(QString()), QStringLiteral("±×′″≤≥△°‰℃℉Ωαφμ～·ⅠⅡⅢⅣⅤ"));
        w.Toolbar1->actions().at(0)->trigger(); // no field validated yet: nothing happens
        QCOMPARE(w.text(1)->text(), QString());

        w.text(1)->setFocus();
        QTest::keyClicks(w.text(1), "AB");
        w.text(1)->setCursorPosition(1);
        w.text(2)->setFocus();                  // the name field passes validation
        w.Toolbar1->actions().at(9)->trigger(); // ℃
        QCOMPARE(w.text(1)->text(), QStringLiteral("A℃B"));
        QCOMPARE(w.text(2)->text(), QStringLiteral("2003-01-02"));
    }

    void remarkTakesNoMoreThanItsLimit()
    {
        const QString loaded = QStringLiteral("一二三四五六七八九十甲乙"); // 12, longer than the limit
        QVERIFY(f->insert(Repairs, {{{QStringLiteral("计量器具编号"), "R-1"}, {QStringLiteral("修理内容"), loaded}}}));
        RepairEditor w(f->state);
        QVERIFY(w.load());
        auto* memo = static_cast<MemoEdit*>(w.Text1[3]);
        QCOMPARE(memo->toPlainText(), loaded); // a longer stored text is shown whole
        memo->moveCursor(QTextCursor::End);
        memo->insertPlainText(QStringLiteral("X"));
        QCOMPARE(memo->toPlainText(), loaded);
        memo->setPlainText(QStringLiteral("ab"));
        memo->moveCursor(QTextCursor::Start);
        memo->insertPlainText(QStringLiteral("0123456789")); // a paste is cut back, not what was there
        QCOMPARE(memo->toPlainText(), QStringLiteral("01234567ab"));
    }
};

QTEST_MAIN(LedgerEditorTest)
#include "tst_ledgereditor.moc"
