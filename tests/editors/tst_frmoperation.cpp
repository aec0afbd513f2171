// The in-use ledger editor: its fields and lists, add and copy defaults,
// positioning on the selected instrument, issue from stock, OK, the Enter
// walk, the hand-over to the record editors, and scrapping and sealing.
#include "EditorFixture.h"
#include "core/Attachments.h"
#include "core/LedgerSchema.h"
#include "editors/MemoEdit.h"
#include "editors/frmOperation.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>

using namespace ravo;

namespace {

const QString InUse = QStringLiteral("计量器具在用库");
const QString InUseCopy = QStringLiteral("MSys计量器具在用库");
const QString Number = QStringLiteral("计量器具编号");

// Records the hand-over to the record editors instead of opening them.
class Operation : public frmOperation {
public:
    using frmOperation::frmOperation;
    QString line(int i) const { return DataControl::fieldText(Text1[i]); }
    QStringList opened;

protected:
    bool openConfirmationEditor() override
    {
        opened << QStringLiteral("确认记录");
        return true;
    }
    bool openRepairEditor() override
    {
        opened << QStringLiteral("修理记录");
        return false;
    }
};

QVariantHash fullRow(const QString& number)
{
    QVariantHash row;
    for (const QString& c : commonColumns())
        row.insert(c, columnKind(c) == ColumnKind::Date ? QVariant("2001-02-03") : QVariant(c + "值"));
    row.insert(Number, number);
    return row;
}

} // namespace

class FrmOperationTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    std::unique_ptr<Operation> open(const QDate& today = QDate(2024, 5, 6))
    {
        auto w = std::make_unique<Operation>(f->state);
        w->setClock([today] { return today; });
        w->show();
        return w;
    }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void fieldsAndButtons()
    {
        auto w = open();
        QCOMPARE(w->Text1.size(), 23);
        QCOMPARE(w->Combo1.size(), 5);
        for (QWidget* field : w->Data1->boundFields())
            QVERIFY(w->findChild<QWidget*>(field->objectName()) == field);
        QCOMPARE(w->Data1->boundColumn(w->findChild<QWidget*>("Text1(13)")), QStringLiteral("有效日期"));
        QCOMPARE(w->Data1->boundColumn(w->findChild<QWidget*>("Combo1(3)")), QStringLiteral("法制管理类别"));
        QCOMPARE(qobject_cast<MemoEdit*>(w->Text1[22])->maxLength(), 1500);
        for (const char* name : {"cmdFind", "cmdCopy", "cmdAdd", "cmdDelete", "cmdCancle", "cmdOK", "cmdValidate",
                                 "cmdJunk", "cmdObturate", "cmdRepair", "Data1", "Toolbar1", "Frame1"})
            QVERIFY2(w->findChild<QWidget*>(name), name);
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        QVERIFY(w->Text1[0]->isEnabled()); // this window locks nothing on an empty ledger
    }

    void kindListFollowsCategory_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("kinds");
        QTest::newRow("电磁E") << "电磁E" << QStringList{"电压仪器V", "电流仪器I",   "电阻仪器R",  "电容仪器C",
                                                         "电感仪器H", "电功率仪器P", "磁参数仪器M"};
        QTest::newRow("电磁 is no category") << "电磁" << QStringList();
        QTest::newRow("时间、频率H") << "时间、频率H" << QStringList{"时间仪器T", "频率仪器F"};
    }
    void kindListFollowsCategory()
    {
        QFETCH(QString, category);
        auto w = open();
        w->Combo1[1]->setEditText(QStringLiteral("自定种别"));
        w->Combo1[0]->setEditText(QStringLiteral("无线电R"));
        QCOMPARE(w->Combo1[1]->count(), 17);
        w->Combo1[0]->setEditText(category);
        QStringList shown;
        for (int i = 0; i < w->Combo1[1]->count(); ++i)
            shown << w->Combo1[1]->itemText(i);
        QTEST(shown, "kinds");
        QCOMPARE(w->Combo1[1]->currentText(), QStringLiteral("自定种别"));
    }

    void addDefaults_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("byPeriod");     // the option: 有效日期 by the period
        QTest::addColumn<QStringList>("typed"); // "field index=text", typed after Add, in order
        QTest::addColumn<QString>("validUntil");
        QTest::newRow("ordinary day") << QDate(2003, 3, 28) << false << QStringList() << "2004-03-27";
        QTest::newRow("29 February") << QDate(2004, 2, 29) << false << QStringList() << "2005-02-28";
        QTest::newRow("1 March after a leap day") << QDate(2004, 3, 1) << false << QStringList() << "2005-02-28";
        QTest::newRow("new year's eve") << QDate(2003, 12, 31) << false << QStringList() << "2004-12-30";
        QTest::newRow("period typed, one year kept")
            << QDate(2003, 3, 28) << false << QStringList{"12=6"} << "2004-03-27";
        QTest::newRow("by period, 6 typed") << QDate(2003, 3, 28) << true << QStringList{"12=6"} << "2003-09-27";
        QTest::newRow("by period, date and period typed")
            << QDate(2003, 3, 28) << true << QStringList{"11=2003-08-31", "12=6"} << "2004-02-29";
        QTest::newRow("by period, own 有效日期 kept")
            << QDate(2003, 3, 28) << true << QStringList{"13=2003-12-31", "12=6"} << "2003-12-31";
    }
    void addDefaults()
    {
        QFETCH(QDate, today);
        QFETCH(bool, byPeriod);
        QFETCH(QStringList, typed);
        f->state.options.ValidUntilByPeriod = byPeriod;
        QVERIFY(f->fillInUse(2));
        auto w = open(today);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->cmdAdd->click();
        QCOMPARE(w->Combo1[2]->currentText(), QStringLiteral("A"));
        QCOMPARE(w->Combo1[3]->currentText(), QStringLiteral("强检"));
        QCOMPARE(w->Combo1[4]->currentText(), QStringLiteral("准用"));
        QCOMPARE(w->line(11), today.toString(Qt::ISODate));
        QCOMPARE(w->line(12), QStringLiteral("12"));
        QCOMPARE(w->line(10), QString());
        QCOMPARE(w->line(0), QString());
        QCOMPARE(QApplication::focusWidget(), w->Text1[0]);
        for (const QString& t : std::as_const(typed)) {
            auto* field = static_cast<QLineEdit*>(w->Text1[t.section('=', 0, 0).toInt()]);
            field->setFocus();
            field->setText(t.section('=', 1));
            w->Text1[0]->setFocus(); // leaving the field
        }
        QTEST(w->line(13), "validUntil");

        static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral("N-100"));
        w->save();
        QVERIFY(f->prompt.messages.isEmpty());
        const QVariantHash row = f->row(InUse, QStringLiteral("N-100"));
        QCOMPARE(row.value("法制管理类别").toString(), QStringLiteral("强检"));
        QTEST(row.value("有效日期").toString(), "validUntil");
        QVERIFY(row.value("启用日期").isNull());
    }

    void copyDuplicatesShownFields()
    {
        QVERIFY(f->insert(InUse, {fullRow(QStringLiteral("N-001"))}));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QStringList before;
        for (int i = 0; i < 23; ++i)
            before << w->line(i);
        w->cmdCopy->click();
        QCOMPARE(w->Data1->recordset().isAdding(), true);
        for (int i = 0; i < 23; ++i)
            QCOMPARE(w->line(i), before.at(i));
        QCOMPARE(w->Combo1[4]->currentText(), QStringLiteral("状态值"));
        auto* number = static_cast<QLineEdit*>(w->Text1[0]);
        QCOMPARE(number->selectedText(), QStringLiteral("N-001"));
        QCOMPARE(QApplication::focusWidget(), number);

        // Saved as it is, the copy collides with its original.
        w->save();
        QCOMPARE(f->prompt.messages.size(), 1);
        QVERIFY(f->prompt.messages[0].text.contains(QStringLiteral("重复")));
        QVERIFY(w->isVisible());
        QCOMPARE(f->column(InUse, Number), QStringList{"N-001"});
        QCOMPARE(w->line(1), before.at(1)); // nothing typed is lost

        QTest::keyClicks(number, "N-002");
        w->save();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->column(InUse, Number), QStringList({"N-001", "N-002"}));
        QCOMPARE(f->row(InUse, "N-002").value("规格型号").toString(), QStringLiteral("规格型号值"));
        QVERIFY(f->row(InUse, "N-002").value("配套设备").isNull());
    }

    void activationPositions_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("present") << "N-003"
                                 << "N-003";
        QTest::newRow("absent") << "N-999"
                                << "N-001";
        QTest::newRow("empty") << ""
                               << "N-005";
        QTest::newRow("other letter case") << "n-003"
                                           << "N-001";
        QTest::newRow("leading blank") << " N-003"
                                       << "N-001";
    }
    void activationPositions()
    {
        QFETCH(QString, selected);
        QVERIFY(f->fillInUse(5));
        f->state.SelectedNumber = selected;
        auto w = open();
        QTEST(w->line(0), "shown");
        QCOMPARE(f->state.EditorMode, ActiveWindow::InUseEditor);
    }

    void activationOnLargeLedger()
    {
        QVERIFY(f->fillInUse(20000));
        f->state.SelectedNumber = QStringLiteral("N-1234");
        auto w = open();
        QCOMPARE(w->line(0), QStringLiteral("N-1234"));
        QCOMPARE(w->line(1), QStringLiteral("表1234"));
        const int position = w->Data1->recordset().absolutePosition();
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:%1/20000").arg(position + 1));
    }

    // The new row starts from the stock item; OK writes it with copies of
    // the item's attachments (the item keeps its own), Cancel with none.
    void issueFromStock_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("ok");
        QTest::newRow("file: OK") << false << true;
        QTest::newRow("file: cancelled") << false << false;
        QTest::newRow("server: OK") << true << true;
        QTest::newRow("server: cancelled") << true << false;
    }
    void issueFromStock()
    {
        QFETCH(bool, server);
        QFETCH(bool, ok);
        if (server) {
            f = std::make_unique<test::EditorFixture>(Engine::Postgres);
            QVERIFY2(f->open, qPrintable(f->failure));
        }
        QVERIFY(!upgradeLedgerSchema(f->db()));
        // The item as the stock ledger keeps it, with its invoice and manual.
        QVERIFY(f->insert(QStringLiteral("计量器具待发放库"), {{{"计量器具名称", "电流表"}, {"库存数量", 3}}}));
        const qint64 item = f->column(QStringLiteral("计量器具待发放库"), "rowid").value(0).toLongLong();
        QTemporaryDir dir;
        for (const char* name : {"发票.pdf", "说明书.pdf"}) {
            QFile file(dir.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4") > 0);
            file.close();
            QVERIFY(!addAttachment(f->db(), stockItemOwner(item), file.fileName(), "张三"));
        }
        f->state.navigation.StockIssueRow = item;
        f->state.EditorMode = ActiveWindow::Stock;
        f->state.StockIssue = {{"计量器具类别", "电磁E"},
                               {"计量器具种别", "电流仪器I"},
                               {"计量器具名称", "电流表"},
                               {"规格型号", "C31-A"},
                               {"准确度", "0.5%"},
                               {"准确度等级", "0.5级"},
                               {"测量范围", "0~5A"},
                               {"分度值", "0.05A"},
                               {"制造厂家", "上海电表厂"},
                               {"出厂日期", QVariant()},
                               {"购买日期", "2002-05-06"},
                               {"购买价格", "350"},
                               {"采购员", "李四"},
                               {"配套设备", "电源线"},
                               {"库存数量", 3}};
        auto w = open(QDate(2003, 3, 28));
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(w->Data1->recordset().isAdding());
        QCOMPARE(f->state.EditorMode, ActiveWindow::InUseEditor);
        QCOMPARE(w->Combo1[1]->currentText(), QStringLiteral("电流仪器I"));
        QCOMPARE(w->Combo1[1]->count(), 7);
        QCOMPARE(w->line(7), QStringLiteral("上海电表厂"));
        QCOMPARE(w->line(9), QStringLiteral("2003-03-28")); // no date of manufacture: today
        QCOMPARE(w->line(10), QStringLiteral("2003-03-28"));
        QCOMPARE(w->line(13), QStringLiteral("2004-03-27"));
        QCOMPARE(w->line(19), QStringLiteral("2002-05-06"));
        QCOMPARE(w->line(20), QStringLiteral("李四"));
        QCOMPARE(QApplication::focusWidget(), w->Text1[0]);

        QTest::keyClicks(w->Text1[0], "E-7");
        ok ? w->save() : w->cancel();
        QVERIFY(f->prompt.messages.isEmpty());
        QVERIFY(!w->isVisible());
        const QVariantHash row = f->row(InUse, "E-7");
        QCOMPARE(row.value("配套设备").toString(), ok ? QStringLiteral("电源线") : QString());
        QCOMPARE(row.value("状态").toString(), ok ? QStringLiteral("准用") : QString());
        QStringList copied;
        for (const Attachment& a : listAttachments(f->db(), {"E-7", attachmentkind::Instrument}))
            copied << a.fileName;
        const QStringList expected = ok ? QStringList{"发票.pdf", "说明书.pdf"} : QStringList();
        QCOMPARE(copied, expected);
        QCOMPARE(listAttachments(f->db(), stockItemOwner(item)).size(), 2);
    }

    void okWritesTheWholeCopy()
    {
        QVERIFY(f->fillInUse(3));
        f->state.SelectedNumber = QStringLiteral("N-002");
        auto w = open();
        w->deleteCurrent(); // N-002 goes, N-003 shows
        static_cast<QLineEdit*>(w->Text1[1])->setText(QStringLiteral("改名"));
        w->cmdAdd->click();
        static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral("N-010"));
        w->cmdOK->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QVERIFY(f->state.RequeryOnActivate);
        QVERIFY(!w->isVisible());
        QCOMPARE(f->column(InUse, Number), QStringList({"N-001", "N-003", "N-010"}));
        QCOMPARE(f->row(InUse, "N-003").value("计量器具名称").toString(), QStringLiteral("改名"));
        QVERIFY(!f->db().tableExists(InUseCopy));
        QCOMPARE(f->db().scratchText(),
                 QStringLiteral("insert into 计量器具在用库 select MSys计量器具在用库.* from MSys计量器具在用库;"));
    }

    // OK writes the rows edited in the window and no other: what a
    // colleague saved meanwhile into a row the window left alone stays. On a
    // server, a colleague's change to a row the window changed too is told
    // (which instrument, by whom) and nothing is written; the user takes the
    // colleague's version (重新读取), keeps the window's (保留我的修改, the next
    // OK writes it) or goes back to the window (取消).
    void okMeetsColleaguesWork_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("colleague");  // a statement of the colleague's
        QTest::addColumn<int>("answer");         // to the question, -1: none asked
        QTest::addColumn<QStringList>("ledger"); // N-001 and N-003 after: "名称|备注" each, "-" when gone
        const QString n3 = QStringLiteral("UPDATE 计量器具在用库 SET 备注 = '别处保存' WHERE 计量器具编号 = 'N-003'");
        const QString n1 = QStringLiteral("UPDATE 计量器具在用库 SET 备注 = '别处保存' WHERE 计量器具编号 = 'N-001'");
        const QString gone = QStringLiteral("DELETE FROM 计量器具在用库 WHERE 计量器具编号 = 'N-001'");
        const int none = -1, reload = int(Prompter::Answer::Yes), keep = int(Prompter::Answer::No),
                  cancel = int(Prompter::Answer::Cancel);
        for (const bool server : {false, true})
            QTest::addRow("%s: another row changed meanwhile", server ? "server" : "file")
                << server << n3 << none << QStringList{"改名|", "表3|别处保存"};
        QTest::newRow("server: the same row, back to the window")
            << true << n1 << cancel << QStringList{"表1|别处保存", "表3|"};
        QTest::newRow("server: the same row, colleague's version read")
            << true << n1 << reload << QStringList{"表1|别处保存", "表3|"};
        QTest::newRow("server: the same row, mine kept") << true << n1 << keep << QStringList{"改名|", "表3|"};
        QTest::newRow("server: the row deleted, read again") << true << gone << reload << QStringList{"-", "表3|"};
        QTest::newRow("server: the row deleted, mine kept") << true << gone << keep << QStringList{"改名|", "表3|"};
    }
    void okMeetsColleaguesWork()
    {
        QFETCH(bool, server);
        QFETCH(QString, colleague);
        QFETCH(int, answer);
        QFETCH(QStringList, ledger);
        if (server) {
            f = std::make_unique<test::EditorFixture>(Engine::Postgres);
            QVERIFY2(f->open, qPrintable(f->failure));
        }
        QVERIFY(f->fillInUse(3));
        auto w = open();
        w->Data1->moveFirst();
        static_cast<QLineEdit*>(w->Text1[1])->setText(QStringLiteral("改名"));
        {
            Database other;
            QCOMPARE(f->openColleague(other), QString());
            QVERIFY(other.executeNative(colleague).ok());
        }
        if (answer >= 0)
            f->prompt.answers << Prompter::Answer(answer);
        w->cmdOK->click();
        if (answer < 0) {
            QVERIFY(f->prompt.messages.isEmpty());
        } else {
            QCOMPARE(f->prompt.messages.size(), 1);
            const QString told = f->prompt.messages.first().text;
            QVERIFY2(told.contains(colleague.startsWith("DELETE") ? QStringLiteral("N-001：已被删除或移走")
                                                                  : QStringLiteral("N-001：ravo 于 ")),
                     qPrintable(told));
            QCOMPARE(f->prompt.messages.first().buttons, Prompter::Buttons::ReloadKeepCancel);
            // Nothing of this OK was written; the window stays open.
            QVERIFY(w->isVisible());
            if (answer == int(Prompter::Answer::Yes) && !colleague.startsWith("DELETE")) {
                QCOMPARE(w->line(0), QStringLiteral("N-001"));
                QCOMPARE(w->line(1), QStringLiteral("表1"));
            }
            if (answer != int(Prompter::Answer::Cancel)) {
                w->cmdOK->click();
                QCOMPARE(f->prompt.messages.size(), 1);
                QVERIFY(!w->isVisible());
            }
        }
        QStringList found;
        for (const char* n : {"N-001", "N-003"}) {
            const QVariantHash row = f->row(InUse, n);
            found << (row.isEmpty() ? QStringLiteral("-")
                                    : row.value("计量器具名称").toString() + "|" + row.value("备注").toString());
        }
        QCOMPARE(found, ledger);
        QCOMPARE(f->column(InUse, Number).size(), ledger.contains("-") ? 2 : 3);
    }

    void enterWalksTheTabOrder()
    {
        QVERIFY(f->fillInUse(1));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QList<QWidget*> expected = {w->Text1[0], w->Combo1[0], w->Combo1[1]};
        for (int i = 1; i <= 6; ++i)
            expected << w->Text1[i];
        expected << w->Combo1[2] << w->Combo1[3] << w->Text1[7] << w->Text1[8] << w->Text1[9] << w->Combo1[4];
        for (int i = 10; i <= 22; ++i)
            expected << w->Text1[i];
        expected << w->cmdOK;
        w->Text1[0]->setFocus();
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
            QCOMPARE(QApplication::focusWidget(), expected.at(i));
        }
        QVERIFY(w->isVisible());
        // Tab takes the same road.
        w->Text1[9]->setFocus();
        QTest::keyClick(w->Text1[9], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->Combo1[4]);
        // Enter on the OK button it walked to saves.
        static_cast<QLineEdit*>(w->Text1[1])->setText(QStringLiteral("改名"));
        QTest::keyClick(w->cmdOK, Qt::Key_Return);
        QVERIFY(!w->isVisible());
        QCOMPARE(f->row(InUse, "N-001").value("计量器具名称").toString(), QStringLiteral("改名"));
    }

    void symbolGoesIntoLastLeftCombo()
    {
        QVERIFY(f->fillInUse(1));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Combo1[4]->setFocus();
        w->Combo1[4]->setEditText(QStringLiteral("准用"));
        w->Text1[10]->setFocus();
        w->Toolbar1->actions().at(0)->trigger();
        QCOMPARE(w->Combo1[4]->currentText(), QStringLiteral("准用±"));
        QCOMPARE(w->line(10), QString());
    }

    void handOverToRecordEditors()
    {
        QVERIFY(f->insert(InUse, {fullRow("N-001"), fullRow("N-002")}));
        f->state.SelectedNumber = QStringLiteral("N-001");
        auto w = open();
        w->Data1->moveLast();
        w->cmdValidate->click();
        QCOMPARE(w->opened, QStringList{"确认记录"});
        QCOMPARE(f->state.EditorMode, ActiveWindow::InUseEditor);
        const auto& t = f->state.TargetInstrument;
        QCOMPARE(t.value("计量器具编号"), QStringLiteral("N-002"));
        QCOMPARE(t.value("检定单位"), QStringLiteral("检定单位值"));
        QCOMPARE(t.value("检定周期"), QStringLiteral("检定周期值"));
        QVERIFY(!t.contains("计量器具类别"));
        // Closing the record window activates this one again: back on the selected row.
        QCOMPARE(w->line(0), QStringLiteral("N-001"));

        w->cmdRepair->click();
        QCOMPARE(f->state.TargetInstrument.value("计量器具类别"), QStringLiteral("计量器具类别值"));
        QCOMPARE(f->state.TargetInstrument.value("计量器具编号"), QStringLiteral("N-001"));

        static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral("  "));
        w->cmdRepair->click();
        QCOMPARE(w->opened.size(), 2);
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, QStringLiteral("计量器具编号不能为空！"));
    }

    void moveOut_data()
    {
        QTest::addColumn<bool>("scrap");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("nextShown");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("renumber"); // typed after the number before the move
        QTest::addColumn<bool>("thenOk");      // OK afterwards, else Cancel
        QTest::newRow("scrap first") << true << 0 << 3 << "N-002"
                                     << "记录:1/2"
                                     << "" << true;
        QTest::newRow("scrap last") << true << 2 << 3 << "N-002"
                                    << "记录:2/2"
                                    << "" << true;
        QTest::newRow("seal middle") << false << 1 << 3 << "N-003"
                                     << "记录:2/2"
                                     << "" << true;
        QTest::newRow("seal only") << false << 0 << 1 << ""
                                   << "记录:0/0"
                                   << "" << true;
        QTest::newRow("scrap renumbered, OK") << true << 1 << 3 << "N-003"
                                              << "记录:2/2"
                                              << "X" << true;
        QTest::newRow("scrap renumbered, Cancel") << true << 1 << 3 << "N-003"
                                                  << "记录:2/2"
                                                  << "X" << false;
        QTest::newRow("seal renumbered, OK") << false << 0 << 2 << "N-002"
                                             << "记录:1/1"
                                             << "b" << true;
        QTest::newRow("seal renumbered, Cancel") << false << 2 << 3 << "N-002"
                                                 << "记录:2/2"
                                                 << "b" << false;
    }
    void moveOut()
    {
        QFETCH(bool, scrap);
        QFETCH(int, position);
        QFETCH(int, rows);
        QList<QVariantHash> ledger;
        for (int i = 1; i <= rows; ++i)
            ledger << fullRow(QStringLiteral("N-00%1").arg(i));
        QVERIFY(f->insert(InUse, ledger));
        const QString target = scrap ? tables::Scrapped : tables::Sealed;
        const QString dateColumn = scrap ? QStringLiteral("报废日期") : QStringLiteral("封存日期");
        const QString status = scrap ? QStringLiteral("报废") : QStringLiteral("封存");
        QFETCH(QString, renumber);
        QFETCH(bool, thenOk);
        auto w = open(QDate(2024, 5, 6));
        w->Data1->setAbsolutePosition(position);
        const QString original = w->line(0);
        const QString number = original + renumber;
        static_cast<QLineEdit*>(w->Text1[0])->setText(number);
        static_cast<QLineEdit*>(w->Text1[2])->setText(QStringLiteral("改过的型号"));

        (scrap ? w->cmdJunk : w->cmdObturate)->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text,
                 QStringLiteral("你确认要将编号为：“%1”的“计量器具名称值”%2吗？").arg(number, status));
        QCOMPARE(f->prompt.messages[0].title, status);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Question);
        QCOMPARE(f->prompt.messages[0].buttons, Prompter::Buttons::OkCancel);

        const QVariantHash moved = f->row(target, number);
        QCOMPARE(moved.value(dateColumn).toString(), QStringLiteral("2024-05-06"));
        QCOMPARE(moved.value("状态").toString(), status);
        QCOMPARE(moved.value("规格型号").toString(), QStringLiteral("改过的型号"));
        QCOMPARE(moved.value("配套设备").toString(), QStringLiteral("配套设备值"));
        QCOMPARE(moved.value("备注").toString(), QStringLiteral("备注值"));
        QVERIFY(f->row(InUse, original).isEmpty());
        QVERIFY(!f->column(InUseCopy, Number).contains(number));
        QTEST(w->line(0), "nextShown");
        QTEST(w->Data1->caption(), "caption");

        // Neither OK nor Cancel afterwards brings the instrument back, under
        // either number: it is in exactly one ledger.
        if (thenOk)
            w->cmdOK->click();
        else
            w->cancel();
        const QStringList inUse = f->column(InUse, Number);
        QVERIFY(!inUse.contains(number));
        QVERIFY(!inUse.contains(original));
        QCOMPARE(inUse.size(), rows - 1);
        QCOMPARE(f->column(target, Number), QStringList{number});
    }

    void moveStopsEarly_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::newRow("question declined") << "declined"
                                           << "你确认要将编号为：“N-002”的“计量器具名称值”报废吗？";
        QTest::newRow("blank number") << "blank"
                                      << "计量器具编号不能为空！";
        QTest::newRow("already scrapped") << "duplicate"
                                          << "已经有编号为“N-002”";
    }
    void moveStopsEarly()
    {
        QFETCH(QString, situation);
        QVERIFY(f->insert(InUse, {fullRow("N-001"), fullRow("N-002"), fullRow("N-003")}));
        QVERIFY(f->insert(tables::Scrapped, {{{Number, "N-002"}, {"计量器具名称", "旧的"}}}));
        f->state.SelectedNumber = QStringLiteral("N-002");
        auto w = open();
        if (situation == QLatin1String("declined"))
            f->prompt.answers << Prompter::Answer::Cancel;
        if (situation == QLatin1String("blank"))
            static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral(" "));
        static_cast<QLineEdit*>(w->Text1[3])->setText(QStringLiteral("改过"));
        w->cmdJunk->click();
        QFETCH(QString, message);
        QVERIFY(!f->prompt.messages.isEmpty());
        QVERIFY2(f->prompt.messages.last().text.contains(message), qPrintable(f->prompt.messages.last().text));
        QCOMPARE(f->column(InUse, Number), QStringList({"N-001", "N-002", "N-003"}));
        QCOMPARE(f->column(tables::Scrapped, "计量器具名称"), QStringList{"旧的"});
        QCOMPARE(f->column(InUseCopy, Number).size(), 3);
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:2/3"));
        QCOMPARE(w->line(3), QStringLiteral("改过"));
    }

    void scrapNewRowNeverSaved()
    {
        QVERIFY(f->fillInUse(2));
        auto w = open();
        w->cmdAdd->click();
        QTest::keyClicks(w->Text1[0], "N-100");
        QTest::keyClicks(w->Text1[1], "new");
        w->cmdJunk->click();
        QCOMPARE(f->row(tables::Scrapped, "N-100").value("计量器具名称").toString(), QStringLiteral("new"));
        QCOMPARE(f->column(InUse, Number), QStringList({"N-001", "N-002"}));
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:2/2"));
        w->cancel();
        QVERIFY(!f->row(tables::Scrapped, "N-100").isEmpty()); // cancel does not undo a move
    }

    // A user who presses Alt+A and types the number straight away, then
    // Alt+O: each access key acts before the next key arrives, so nothing
    // typed lands in the fields before the new row exists.
    void accessKeysActAtOnce()
    {
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Text1[0]->setFocus();
        QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier);
        QVERIFY(w->Data1->recordset().isAdding());
        QTest::keyClicks(QApplication::focusWidget(), "N-200");
        QTest::keyClick(w.get(), Qt::Key_O, Qt::AltModifier);
        QVERIFY(f->prompt.messages.isEmpty());
        QVERIFY(!w->isVisible());
        QCOMPARE(f->column(InUse, Number), QStringList({"N-200"}));
    }
};

QTEST_MAIN(FrmOperationTest)
#include "tst_frmoperation.moc"
