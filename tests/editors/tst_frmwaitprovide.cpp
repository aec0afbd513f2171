// The stock window: locks, new stock and the lists; issuing an item into use
// through the in-use editor and how the two windows' OK and Cancel leave the
// quantity, the new instrument and the item's attachments; the refusals of
// issuing and of OK; an item's attachments going with its deletion.
#include "EditorFixture.h"
#include "ModalKit.h"
#include "core/Attachments.h"
#include "core/LedgerSchema.h"
#include "editors/frmOperation.h"
#include "editors/frmWaitProvide.h"
#include "platform/AttachmentsWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>

using namespace ravo;

namespace {

const QString Stock = QStringLiteral("计量器具待发放库");
const QString InUse = QStringLiteral("计量器具在用库");
const QString Quantity = QStringLiteral("库存数量");
const QString NothingEntered = QStringLiteral("你没有输入任何数据！不能保存！");

QVariantHash stockItem(const QVariant& quantity, const QVariant& made = QVariant())
{
    return {{"计量器具类别", "电磁E"}, {"计量器具种别", "电流仪器I"}, {"计量器具名称", "电流表"},
            {"出厂日期", made},        {"配套设备", "电源线、表笔"},  {"购买日期", "2002-05-06"},
            {"采购员", "李四\"老\""},  {Quantity, quantity}};
}

// Gives the in-use editor that the stock window opens modally its number,
// then presses OK or Cancel there. With deleteAgain the issued row is written
// into the editor's copy and deleted, and another instrument, numbered
// number + "b", added in its place.
class InUseEditorScript {
public:
    InUseEditorScript(const ProgramState& state, const QString& number, bool ok, bool deleteAgain = false)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &state, number, ok, deleteAgain] {
            if (auto* w = qobject_cast<frmOperation*>(QApplication::activeModalWidget())) {
                ++opened;
                modeSeen = state.EditorMode;
                static_cast<QLineEdit*>(w->Text1[0])->setText(number);
                if (deleteAgain) {
                    QVERIFY(!w->Data1->writePending());
                    w->cmdDelete->click();
                    w->cmdAdd->click();
                    static_cast<QLineEdit*>(w->Text1[0])->setText(number + "b");
                }
                ok ? w->save() : w->cancel();
            }
        });
        m_timer.start(0);
    }
    int opened = 0;
    ActiveWindow modeSeen = ActiveWindow::Main;

private:
    QTimer m_timer;
};

} // namespace

class FrmWaitProvideTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    std::unique_ptr<frmWaitProvide> open()
    {
        auto w = std::make_unique<frmWaitProvide>(f->state);
        w->setClock([] { return QDate(2003, 3, 28); });
        w->show();
        return w;
    }
    static QLineEdit* box(frmWaitProvide& w, int i) { return static_cast<QLineEdit*>(w.Text1[i]); }

    QTemporaryDir files;
    // Keeps `count` small files with a stock item.
    void attachToStock(qint64 ledgerRow, int count)
    {
        for (int i = 0; i < count; ++i) {
            QFile file(files.filePath(QStringLiteral("发票%1-%2.pdf").arg(ledgerRow).arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4") > 0);
            file.close();
            const DbError e = addAttachment(f->db(), stockItemOwner(ledgerRow), file.fileName(), "张三");
            QVERIFY2(!e, qPrintable(e.text()));
        }
    }
    QList<qint64> stockRows()
    {
        QList<qint64> rows;
        for (const QString& r : f->column(Stock, "rowid"))
            rows << r.toLongLong();
        return rows;
    }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void locksNewStockAndLists()
    {
        QVERIFY(f->insert(Stock, {stockItem(1)}));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(f->state.EditorMode, ActiveWindow::Stock);
        // Deleting the last row locks every field; issuing then does nothing.
        w->cmdDelete->click();
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        QList<QWidget*> fields = {w->Combo1, w->Combo2};
        for (QWidget* t : w->Text1)
            fields << t;
        for (QWidget* field : fields)
            QVERIFY(!field->isEnabled());
        w->cmdUser->click();
        QVERIFY(f->prompt.messages.isEmpty());

        w->cmdAdd->click();
        for (QWidget* field : fields)
            QVERIFY(field->isEnabled());
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
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("自定"));

        // Enter walks the fields in tab order, then to 新品入库.
        w->Combo1->setFocus();
        for (int i = 1; i <= fields.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), i < fields.size() ? fields.at(i) : w->cmdAdd);
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
        QTest::addColumn<int>("quantity");
        QTest::addColumn<QVariant>("made");
        QTest::addColumn<bool>("inUseOk");
        QTest::addColumn<bool>("stockOk");
        QTest::addColumn<QString>("madeInUse"); // empty: no in-use row
        QTest::addColumn<QString>("stockLeft");
        QTest::addColumn<int>("files");        // the item's attachments, copied to the instrument with its OK
        QTest::addColumn<bool>("deleteAgain"); // the issued row deleted in the in-use editor, another added
        QTest::newRow("3 leaves 2") << 3 << QVariant("1999-12-31") << true << true << "1999-12-31"
                                    << "2" << 2 << false;
        QTest::newRow("1 leaves 0, no date of manufacture") << 1 << QVariant() << true << true << "2003-03-28"
                                                            << "0" << 1 << false;
        QTest::newRow("0 stays 0") << 0 << QVariant() << true << true << "2003-03-28"
                                   << "0" << 0 << false;
        QTest::newRow("in-use cancelled, stock saved") << 3 << QVariant() << false << true << ""
                                                       << "2" << 2 << false;
        QTest::newRow("in-use saved, stock cancelled") << 3 << QVariant() << true << false << "2003-03-28"
                                                       << "3" << 1 << false;
        QTest::newRow("issued row deleted again, another saved") << 3 << QVariant() << true << true << ""
                                                                 << "2" << 2 << true;
    }
    void issue()
    {
        QFETCH(int, quantity);
        QFETCH(QVariant, made);
        QFETCH(bool, inUseOk);
        QFETCH(bool, stockOk);
        QFETCH(QString, madeInUse);
        QFETCH(int, files);
        QFETCH(bool, deleteAgain);
        QVERIFY(!upgradeLedgerSchema(f->db()));
        QVERIFY(f->insert(Stock, {stockItem(quantity, made)}));
        const qint64 item = stockRows().value(0);
        attachToStock(item, files);
        auto w = open();
        InUseEditorScript inUse(f->state, QStringLiteral("E-7"), inUseOk, deleteAgain);
        w->cmdUser->click();
        QCOMPARE(inUse.opened, 1);
        QCOMPARE(inUse.modeSeen, ActiveWindow::InUseEditor); // it started from StockIssue
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text,
                 QStringLiteral("你确定要将此：\"电流表\"启用吗？启用后，待发放库中此类数量将减少1只！"));
        QCOMPARE(f->prompt.messages[0].title, QStringLiteral("启用"));
        QCOMPARE(f->state.EditorMode, ActiveWindow::Stock);
        QCOMPARE(box(*w, 12)->text(), QString::number(qMax(quantity - 1, 0)));

        const QVariantHash row = f->row(InUse, "E-7");
        QCOMPARE(row.value("出厂日期").toString(), madeInUse);
        if (!madeInUse.isEmpty()) {
            QCOMPARE(row.value("配套设备").toString(), QStringLiteral("电源线、表笔"));
            QCOMPARE(row.value("采购员").toString(), QStringLiteral("李四\"老\""));
        }
        // The stock ledger learns of the lower quantity with this window's OK only.
        QCOMPARE(f->column(Stock, Quantity), QStringList{QString::number(quantity)});
        // The new instrument took copies of the item's files as its OK wrote
        // it; the item keeps its own for the instruments issued after.
        QCOMPARE(attachmentCount(f->db(), "E-7"), madeInUse.isEmpty() ? 0 : files);
        QCOMPARE(listAttachments(f->db(), stockItemOwner(item)).size(), files);
        // The history notes the issue of the instrument saved from it, and
        // of no other.
        auto issued = [this](const char* number) {
            QSqlQuery q(f->db().connection());
            q.prepare(QStringLiteral("SELECT count(*) FROM \"MSys履历\" WHERE 事件 = '发放' AND 计量器具编号 = ?"));
            q.addBindValue(QString::fromUtf8(number));
            return q.exec() && q.next() ? q.value(0).toInt() : -1;
        };
        QCOMPARE(issued("E-7"), madeInUse.isEmpty() ? 0 : 1);
        if (deleteAgain) {
            QVERIFY(!f->row(InUse, "E-7b").isEmpty());
            QCOMPARE(attachmentCount(f->db(), "E-7b"), 0);
            QCOMPARE(issued("E-7b"), 0);
        }
        (stockOk ? w->cmdOK : w->cmdExit)->click();
        QVERIFY(!w->isVisible());
        QTEST(f->column(Stock, Quantity).value(0), "stockLeft");
        QCOMPARE(listAttachments(f->db(), stockItemOwner(item)).size(), files);
    }

    // 附件 keeps files with a stock item once it is saved; an item deleted in
    // the window takes them along when OK writes the deletion, and Cancel
    // keeps them.
    void itemAttachments_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("action"); // "ok", "cancel" after deleting the first item; "new": 附件 on a new item
        QTest::newRow("deleted, OK") << false << "ok";
        QTest::newRow("deleted, cancelled") << false << "cancel";
        QTest::newRow("server: deleted, OK") << true << "ok";
        QTest::newRow("server: deleted, cancelled") << true << "cancel";
        QTest::newRow("a new item not saved") << false << "new";
    }
    void itemAttachments()
    {
        QFETCH(bool, server);
        QFETCH(QString, action);
        if (server) {
            f = std::make_unique<test::EditorFixture>(Engine::Postgres);
            QVERIFY2(f->open, qPrintable(f->failure));
        }
        QVERIFY(!upgradeLedgerSchema(f->db()));
        QVariantHash second = stockItem(2);
        second.insert("计量器具名称", "电压表");
        second.insert("购买日期", "2002-06-01");
        QVERIFY(f->insert(Stock, {stockItem(1), second}));
        const QList<qint64> items = stockRows();
        QCOMPARE(items.size(), 2);
        attachToStock(items[0], 1);
        attachToStock(items[1], 2);
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->cmdFiles->text(), QStringLiteral("附件(&M)..."));
        if (action == "new") {
            w->cmdAdd->click();
            w->cmdFiles->click();
            QCOMPARE(f->prompt.messages.size(), 1);
            QVERIFY(f->prompt.messages[0].text.contains(QStringLiteral("请先“确定”保存")));
            return;
        }
        // The first item in the window's order is the ammeter.
        int listed = -1;
        QString title;
        test::whenModal<AttachmentsWindow>(this, [&](AttachmentsWindow* d) {
            listed = d->lstFiles->topLevelItemCount();
            title = d->windowTitle();
            d->accept();
        });
        w->cmdFiles->click();
        QCOMPARE(listed, 1);
        QCOMPARE(title, QStringLiteral("附件 - 待发放器具“电流表”"));
        w->cmdDelete->click();
        (action == "ok" ? w->cmdOK : w->cmdExit)->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QCOMPARE(f->column(Stock, "计量器具名称").size(), action == "ok" ? 1 : 2);
        QCOMPARE(listAttachments(f->db(), stockItemOwner(items[0])).size(), action == "ok" ? 0 : 1);
        QCOMPARE(listAttachments(f->db(), stockItemOwner(items[1])).size(), 2);
    }

    void issueRefused_data()
    {
        QTest::addColumn<int>("field"); // the box given a bad value; -1 blank row, -2 declined
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank row") << -1 << "" << NothingEntered;
        QTest::newRow("quantity not a number") << 12 << "三只"
                                               << "不能启用！“库存数量”必须是整数：“三只”。";
        QTest::newRow("quantity empty") << 12 << " "
                                        << "不能启用！没有填写“库存数量”。";
        QTest::newRow("date of manufacture") << 6 << "2003-2-30"
                                             << "不能启用！“出厂日期”不是有效的日期";
        QTest::newRow("purchase date") << 9 << "去年"
                                       << "不能启用！“购买日期”不是有效的日期";
        QTest::newRow("question declined") << -2 << ""
                                           << "你确定要将此：";
    }
    void issueRefused()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QVERIFY(f->insert(Stock, {field == -1 ? QVariantHash{{Quantity, QVariant()}} : stockItem(3)}));
        auto w = open();
        if (field >= 0)
            box(*w, field)->setText(typed);
        if (field == -2)
            f->prompt.answers << Prompter::Answer::Cancel;
        InUseEditorScript inUse(f->state, QStringLiteral("E-7"), true);
        w->cmdUser->click();
        QCoreApplication::processEvents();
        QCOMPARE(inUse.opened, 0);
        QCOMPARE(f->prompt.messages.size(), 1);
        QVERIFY2(f->prompt.messages[0].text.startsWith(message), qPrintable(f->prompt.messages[0].text));
        QVERIFY(f->state.StockIssue.isEmpty());
        if (field >= 0)
            QCOMPARE(box(*w, field)->text(), typed); // nothing typed is lost
        else
            QCOMPARE(box(*w, 12)->text(), field == -1 ? QString() : QStringLiteral("3"));
    }

    void okRefusesBlankRow_data()
    {
        QTest::addColumn<bool>("elsewhere");
        QTest::newRow("current row emptied") << false;
        QTest::newRow("emptied row left behind") << true;
    }
    void okRefusesBlankRow()
    {
        QFETCH(bool, elsewhere);
        QVERIFY(f->insert(Stock, {stockItem(1, "2001-01-01"), stockItem(2, "2001-01-01")}));
        auto w = open();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Combo1->setEditText(QStringLiteral("  "));
        w->Combo2->setEditText(QString());
        for (QWidget* t : w->Text1)
            static_cast<QLineEdit*>(t)->setText(QStringLiteral(" "));
        if (elsewhere)
            QVERIFY(w->Data1->moveNext());
        w->cmdOK->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text, NothingEntered);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(w->isVisible());
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:1/2"));
        QCOMPARE(f->column(Stock, Quantity), QStringList({"1", "2"}));
    }
};

QTEST_MAIN(FrmWaitProvideTest)
#include "tst_frmwaitprovide.moc"
