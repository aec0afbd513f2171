// The stock window: its fields, lists and locks, new stock, issuing an item
// into use through the in-use editor, the refusals of issuing and of OK, and
// how the two windows' OK and Cancel leave the quantity and the new instrument.
#include "EditorFixture.h"
#include "editors/frmOperation.h"
#include "editors/frmWaitProvide.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>

using namespace ravo;

namespace {

const QString Stock = QStringLiteral("计量器具待发放库");
const QString InUse = QStringLiteral("计量器具在用库");
const QString Quantity = QStringLiteral("库存数量");
const QString NothingEntered = QStringLiteral("你没有输入任何数据！不能保存！");
const QDate Today(2003, 3, 28);

QVariantHash stockItem(const QString& name, const QVariant& quantity, const QVariant& made = QVariant())
{
    return {{"计量器具类别", "电磁E"},  {"计量器具种别", "电流仪器I"}, {"计量器具名称", name},
            {"规格型号", "C31-A"},      {"出厂日期", made},            {"制造厂家", "上海电表厂"},
            {"配套设备", "电源线、表笔"}, {"购买日期", "2002-05-06"},  {"购买价格", "350"},
            {"采购员", "李四\"老\""},    {Quantity, quantity}};
}

// Acts on the in-use editor the stock window opens modally, once it shows.
class InUseEditorScript {
public:
    explicit InUseEditorScript(std::function<void(frmOperation&)> act) : m_act(std::move(act))
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* w = qobject_cast<frmOperation*>(QApplication::activeModalWidget())) {
                ++opened;
                m_act(*w);
            }
        });
        m_timer.start(0);
    }
    int opened = 0;

private:
    QTimer m_timer;
    std::function<void(frmOperation&)> m_act;
};

// In the in-use editor: the new instrument's number, then OK or Cancel.
std::function<void(frmOperation&)> giveNumber(const QString& number, bool ok)
{
    return [number, ok](frmOperation& w) {
        static_cast<QLineEdit*>(w.Text1[0])->setText(number);
        ok ? w.save() : w.cancel();
    };
}

} // namespace

class FrmWaitProvideTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    std::unique_ptr<frmWaitProvide> open()
    {
        auto w = std::make_unique<frmWaitProvide>(f->state);
        w->setClock([] { return Today; });
        w->show();
        return w;
    }
    static QLineEdit* box(frmWaitProvide& w, int i) { return static_cast<QLineEdit*>(w.Text1[i]); }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void fieldsListsAndNewStock()
    {
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->windowTitle(), QStringLiteral("计量器具待发放库"));
        QCOMPARE(f->state.EditorMode, qint16(1));
        QCOMPARE(w->Combo1->objectName(), QStringLiteral("Combo1"));
        QCOMPARE(w->Data1->boundColumn(w->Combo2), QStringLiteral("计量器具种别"));
        QCOMPARE(w->Data1->boundColumn(w->findChild<QWidget*>("Text1(8)")), QStringLiteral("配套设备"));
        QCOMPARE(w->Label1.size(), 15);
        QCOMPARE(w->Combo1->count(), 10);
        for (const char* name : {"cmdAdd", "cmdUser", "cmdDelete", "cmdExit", "cmdOK", "Toolbar1"})
            QVERIFY2(w->findChild<QWidget*>(name), name);
        QCOMPARE(w->cmdExit->text(), QStringLiteral("取消(&C)"));

        // Empty stock: everything locked, issuing does nothing.
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        QVERIFY(!w->Combo1->isEnabled() && !w->Combo2->isEnabled() && !w->Text1[12]->isEnabled());
        w->cmdUser->click();
        QVERIFY(f->prompt.messages.isEmpty());

        w->cmdAdd->click();
        QVERIFY(w->Combo1->isEnabled() && w->Text1[0]->isEnabled() && w->Text1[12]->isEnabled());
        QCOMPARE(QApplication::focusWidget(), w->Combo1);
        QCOMPARE(box(*w, 6)->text(), QStringLiteral("2003-03-28"));
        QCOMPARE(box(*w, 9)->text(), QStringLiteral("2003-03-28"));
        QCOMPARE(box(*w, 12)->text(), QStringLiteral("1"));

        // Typing a category offers nothing; picking one offers its kinds.
        w->Combo2->setEditText(QStringLiteral("自定"));
        w->Combo1->setEditText(QStringLiteral("电磁E"));
        QCOMPARE(w->Combo2->count(), 0);
        w->Combo1->setCurrentIndex(5);
        emit w->Combo1->activated(5);
        QCOMPARE(w->Combo2->count(), 17);
        QCOMPARE(w->Combo2->itemText(0), QStringLiteral("电压仪器U"));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("自定"));

        // Enter walks the tab order to 新品入库; Enter there adds a row.
        QList<QWidget*> order = {w->Combo1, w->Combo2};
        for (QWidget* t : w->Text1)
            order << t;
        order << w->cmdAdd;
        w->Combo1->setFocus();
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), order.at(i));
        }

        // Symbols go into the text box left last, never into a combo box.
        box(*w, 4)->setFocus();
        w->Combo2->setFocus();
        w->Combo1->setFocus();
        w->Toolbar1->actions().at(0)->trigger();
        QCOMPARE(box(*w, 4)->text(), QStringLiteral("±"));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("自定"));
    }

    void issue_data()
    {
        QTest::addColumn<QVariant>("quantity");
        QTest::addColumn<QVariant>("made");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("madeInUse");
        QTest::newRow("3 leaves 2") << QVariant(3) << QVariant("1999-12-31") << "2" << "1999-12-31";
        QTest::newRow("1 leaves 0, no date of manufacture") << QVariant(1) << QVariant() << "0" << "2003-03-28";
        QTest::newRow("0 stays 0") << QVariant(0) << QVariant() << "0" << "2003-03-28";
    }
    void issue()
    {
        QFETCH(QVariant, quantity);
        QFETCH(QVariant, made);
        QFETCH(QString, left);
        QVERIFY(f->insert(Stock, {stockItem("电流表", quantity, made)}));
        auto w = open();
        InUseEditorScript inUse([&](frmOperation& op) {
            QCOMPARE(f->state.EditorMode, qint16(2));
            QVERIFY(op.Data1->recordset().isAdding());
            QCOMPARE(op.Combo1[1]->currentText(), QStringLiteral("电流仪器I"));
            QCOMPARE(box(*w, 12)->text(), left);   // lowered before the editor shows
            giveNumber(QStringLiteral("E-7"), true)(op);
        });
        w->cmdUser->click();
        QCOMPARE(inUse.opened, 1);
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text,
                 QStringLiteral("你确定要将此：\"电流表\"启用吗？启用后，待发放库中此类数量将减少1只！"));
        QCOMPARE(f->prompt.messages[0].title, QStringLiteral("启用"));
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Question);
        QCOMPARE(f->state.EditorMode, qint16(1));
        QCOMPARE(f->state.StockIssue.value(Quantity).toInt(), quantity.toInt());

        const QVariantHash row = f->row(InUse, "E-7");
        QTEST(row.value("出厂日期").toString(), "madeInUse");
        QCOMPARE(row.value("购买日期").toString(), QStringLiteral("2002-05-06"));
        QCOMPARE(row.value("配套设备").toString(), QStringLiteral("电源线、表笔"));
        QCOMPARE(row.value("采购员").toString(), QStringLiteral("李四\"老\""));
        QCOMPARE(row.value("状态").toString(), QStringLiteral("准用"));

        // The stock ledger learns of the lower quantity with this window's OK.
        QCOMPARE(f->column(Stock, Quantity), QStringList{quantity.toString()});
        w->cmdOK->click();
        QVERIFY(f->state.RequeryOnActivate);
        QCOMPARE(f->column(Stock, Quantity).value(0), left);
    }

    void cancelsAreIndependent_data()
    {
        QTest::addColumn<bool>("inUseOk");
        QTest::addColumn<bool>("stockOk");
        QTest::addColumn<QStringList>("inUse");
        QTest::addColumn<QString>("quantity");
        QTest::newRow("in-use cancelled, stock saved") << false << true << QStringList() << "2";
        QTest::newRow("in-use saved, stock cancelled") << true << false << QStringList{"E-7"} << "3";
        QTest::newRow("both saved") << true << true << QStringList{"E-7"} << "2";
    }
    void cancelsAreIndependent()
    {
        QFETCH(bool, inUseOk);
        QFETCH(bool, stockOk);
        QVERIFY(f->insert(Stock, {stockItem("电流表", 3)}));
        auto w = open();
        InUseEditorScript inUse(giveNumber(QStringLiteral("E-7"), inUseOk));
        w->cmdUser->click();
        QCOMPARE(inUse.opened, 1);
        QCOMPARE(box(*w, 12)->text(), QStringLiteral("2"));   // kept whatever the in-use editor did
        (stockOk ? w->cmdOK : w->cmdExit)->click();
        QVERIFY(!w->isVisible());
        QTEST(f->column(InUse, "计量器具编号"), "inUse");
        QTEST(f->column(Stock, Quantity).value(0), "quantity");
    }

    void issueRefused_data()
    {
        QTest::addColumn<int>("field");   // the box given a bad value, -1 for none
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank row") << -1 << "" << NothingEntered;
        QTest::newRow("quantity not a number") << 12 << "三只" << "不能启用！“库存数量”必须是整数：“三只”。";
        QTest::newRow("quantity empty") << 12 << " " << "不能启用！没有填写“库存数量”。";
        QTest::newRow("date of manufacture") << 6 << "2003-2-30" << "不能启用！“出厂日期”不是有效的日期";
        QTest::newRow("purchase date") << 9 << "去年" << "不能启用！“购买日期”不是有效的日期";
        QTest::newRow("question declined") << -2 << "" << "你确定要将此：\"电流表\"启用吗？";
    }
    void issueRefused()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        if (field == -1)
            QVERIFY(f->insert(Stock, {{{Quantity, QVariant()}}}));
        else
            QVERIFY(f->insert(Stock, {stockItem("电流表", 3)}));
        auto w = open();
        if (field >= 0)
            box(*w, field)->setText(typed);
        if (field == -2)
            f->prompt.answers << Prompter::Answer::Cancel;
        f->state.StockIssue.clear();
        InUseEditorScript inUse(giveNumber(QStringLiteral("E-7"), true));
        w->cmdUser->click();
        QCoreApplication::processEvents();
        QCOMPARE(inUse.opened, 0);
        QCOMPARE(f->prompt.messages.size(), 1);
        QVERIFY2(f->prompt.messages[0].text.startsWith(message), qPrintable(f->prompt.messages[0].text));
        QVERIFY(f->state.StockIssue.isEmpty());
        if (field >= 0)
            QCOMPARE(box(*w, field)->text(), typed);   // nothing typed is lost
        if (field != 12)
            QCOMPARE(box(*w, 12)->text(), field == -1 ? QString() : QStringLiteral("3"));
        QVERIFY(f->column(InUse, "计量器具编号").isEmpty());
    }

    void okRefusesBlankRow_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("current row emptied") << "current";
        QTest::newRow("emptied row left behind") << "elsewhere";
        QTest::newRow("only blanks in the boxes") << "blanks";
    }
    void okRefusesBlankRow()
    {
        QFETCH(QString, where);
        QVERIFY(f->insert(Stock, {stockItem("甲", 1, "2001-01-01"), stockItem("乙", 2, "2001-01-01")}));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Combo1->setEditText(where == QLatin1String("blanks") ? QStringLiteral("  ") : QString());
        w->Combo2->setEditText(QString());
        for (QWidget* t : w->Text1)
            static_cast<QLineEdit*>(t)->setText(where == QLatin1String("blanks") ? QStringLiteral(" ") : QString());
        if (where == QLatin1String("elsewhere"))
            QVERIFY(w->Data1->moveNext());
        w->cmdOK->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, NothingEntered);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(w->isVisible());
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:1/2"));
        QCOMPARE(QApplication::focusWidget(), w->Combo1);
        QCOMPARE(f->column(Stock, "计量器具名称"), QStringList({"甲", "乙"}));
    }

    void deletingLastRowLocks()
    {
        QVERIFY(f->insert(Stock, {stockItem("甲", 1)}));
        auto w = open();
        w->cmdDelete->click();
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        QVERIFY(!w->Combo1->isEnabled() && !w->Combo2->isEnabled());
        for (QWidget* t : w->Text1)
            QVERIFY(!t->isEnabled());
        w->cmdUser->click();
        QVERIFY(f->prompt.messages.isEmpty());
        w->cmdOK->click();
        QVERIFY(f->column(Stock, Quantity).isEmpty());
    }
};

QTEST_MAIN(FrmWaitProvideTest)
#include "tst_frmwaitprovide.moc"
