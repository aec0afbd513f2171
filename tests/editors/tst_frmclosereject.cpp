// The sealed and the scrapped ledger editors: their fields, positioning on the
// selected number, the Enter walk, the moves back into use and from sealed to
// scrapped with what they carry, the refused moves, the write-off that waits
// for OK, and the change history of the instrument shown (in these two and
// in the in-use editor).
#include "EditorFixture.h"
#include "ModalKit.h"
#include "core/Attachments.h"
#include "core/LedgerSchema.h"
#include "editors/MemoEdit.h"
#include "editors/frmClose.h"
#include "editors/frmOperation.h"
#include "editors/frmReject.h"
#include "platform/HistoryWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace ravo;

namespace {

const QString InUse = QStringLiteral("计量器具在用库");
const QString Sealed = QStringLiteral("计量器具封存库");
const QString Scrapped = QStringLiteral("计量器具报废库");
const QString Number = QStringLiteral("计量器具编号");
const QDate Today(2024, 2, 29);

// A row of the sealed or scrapped ledger with every column filled.
QVariantHash fullRow(const QString& table, const QString& number)
{
    QVariantHash row;
    for (const QString& c : commonColumns())
        row.insert(c, columnKind(c) == ColumnKind::Date ? QVariant("2001-02-03") : QVariant(c + "值"));
    row.insert(Number, number);
    if (table == Sealed)
        row.insert("封存日期", "2020-01-02");
    if (table == Scrapped) {
        row.insert("报废日期", "2021-03-04");
        row.insert("报废原因", "摔坏了");
    }
    return row;
}

QString text(LedgerEditor& w, int i)
{
    return DataControl::fieldText(w.Text1[i]);
}

} // namespace

class FrmCloseRejectTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    // Rows N-001 … N-00n in the table, the window open on the selected number.
    std::unique_ptr<LedgerEditor> open(const QString& table, int rows, const QString& selected = QString())
    {
        QList<QVariantHash> all;
        for (int i = 1; i <= rows; ++i)
            all << fullRow(table, QStringLiteral("N-%1").arg(i, 3, 10, QLatin1Char('0')));
        if (!f->insert(table, all))
            return {};
        f->state.SelectedNumber = selected;
        std::unique_ptr<LedgerEditor> w;
        if (table == Sealed)
            w = std::make_unique<frmClose>(f->state);
        else if (table == Scrapped)
            w = std::make_unique<frmReject>(f->state);
        else
            w = std::make_unique<frmOperation>(f->state);
        w->setClock([] { return Today; });
        w->show();
        return w;
    }
    QPushButton* button(LedgerEditor& w, const char* name) { return w.findChild<QPushButton*>(name); }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void fieldsLocksAndEnterWalk_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("ownDate");
        QTest::newRow("sealed") << Sealed << "封存日期";
        QTest::newRow("scrapped") << Scrapped << "报废日期";
    }
    void fieldsLocksAndEnterWalk()
    {
        QFETCH(QString, table);
        auto w = open(table, 0);
        QVERIFY(w);
        const int fields = table == Sealed ? 13 : 14;
        QCOMPARE(w->Text1.size(), fields);
        QTEST(w->Data1->boundColumn(w->findChild<QWidget*>("Text1(9)")), "ownDate");
        if (table == Scrapped)
            QCOMPARE(qobject_cast<MemoEdit*>(w->Text1[13])->maxLength(), 255);
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        for (QWidget* t : w->Text1)
            QVERIFY(!t->isEnabled());

        // With a row: Enter walks every field in index order, then to OK.
        w.reset();
        w = open(table, 1);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(QApplication::focusWidget(), w->Text1[0]);
        for (int i = 1; i <= fields; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), i < fields ? w->Text1[i] : button(*w, "cmdOK"));
        }
    }

    void activation_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("sealed, present") << Sealed << "N-003"
                                         << "N-003";
        QTest::newRow("sealed, none") << Sealed << ""
                                      << "N-005";
        QTest::newRow("scrapped, absent") << Scrapped << "N-999"
                                          << "N-001";
        QTest::newRow("scrapped, other case") << Scrapped << "n-002"
                                              << "N-001";
    }
    void activation()
    {
        QFETCH(QString, table);
        QFETCH(QString, selected);
        auto w = open(table, 5, selected);
        QVERIFY(w);
        QTEST(text(*w, 0), "shown");
    }

    // Unseal, reinstate and scrap from sealed: the 29 columns with the edits
    // made in the window, the target's own stamp, gone from the source and
    // from the working copy, the window on the following row.
    void moves_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("nextShown");
        QTest::addColumn<QString>("renumber"); // typed after the number before the move
        QTest::addColumn<bool>("thenOk");      // OK afterwards, else Cancel
        QTest::newRow("unseal the first") << Sealed << "cmdOpen" << InUse << "启用" << 0 << "N-002"
                                          << "" << false;
        QTest::newRow("unseal the last") << Sealed << "cmdOpen" << InUse << "启用" << 2 << "N-002"
                                         << "" << false;
        QTest::newRow("scrap a sealed one") << Sealed << "cmdReject" << Scrapped << "报废" << 1 << "N-003"
                                            << "" << false;
        QTest::newRow("reinstate") << Scrapped << "cmdUser" << InUse << "启用" << 1 << "N-003"
                                   << "" << false;
        QTest::newRow("unseal renumbered, Cancel") << Sealed << "cmdOpen" << InUse << "启用" << 0 << "N-002"
                                                   << "X" << false;
        QTest::newRow("unseal renumbered, OK") << Sealed << "cmdOpen" << InUse << "启用" << 1 << "N-003"
                                               << "X" << true;
        QTest::newRow("scrap sealed renumbered, Cancel") << Sealed << "cmdReject" << Scrapped << "报废" << 1 << "N-003"
                                                         << "X" << false;
        QTest::newRow("scrap sealed renumbered, OK") << Sealed << "cmdReject" << Scrapped << "报废" << 2 << "N-002"
                                                     << "X" << true;
        QTest::newRow("reinstate renumbered, Cancel") << Scrapped << "cmdUser" << InUse << "启用" << 2 << "N-002"
                                                      << "X" << false;
        QTest::newRow("reinstate renumbered, OK") << Scrapped << "cmdUser" << InUse << "启用" << 0 << "N-002"
                                                  << "X" << true;
    }
    void moves()
    {
        QFETCH(QString, source);
        QFETCH(QString, buttonName);
        QFETCH(QString, target);
        QFETCH(QString, question);
        QFETCH(int, position);
        QFETCH(QString, renumber);
        QFETCH(bool, thenOk);
        auto w = open(source, 3);
        QVERIFY(w);
        w->Data1->setAbsolutePosition(position);
        const QString original = text(*w, 0);
        const QString number = original + renumber;
        static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral("  ") + number);
        static_cast<QLineEdit*>(w->Text1[2])->setText(QStringLiteral("改过的型号"));
        QVariantHash before = f->row(source, original);
        before.insert(Number, number);

        button(*w, qPrintable(buttonName))->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QCOMPARE(f->prompt.messages[0].text,
                 QStringLiteral("你确认要将编号为：“  %1”的“计量器具名称值”%2吗？").arg(number, question));
        QCOMPARE(f->prompt.messages[0].title, question);
        QCOMPARE(f->prompt.messages[0].icon, Prompter::Icon::Question);

        const QVariantHash moved = f->row(target, number);
        const QString status = target == InUse ? QStringLiteral("准用") : QStringLiteral("报废");
        for (const QString& c : commonColumns()) {
            QString expected = before.value(c).toString();
            if (c == QStringLiteral("状态"))
                expected = status;
            if (c == QStringLiteral("规格型号"))
                expected = QStringLiteral("改过的型号");
            QCOMPARE(moved.value(c).toString(), expected);
        }
        if (target == InUse) {
            QCOMPARE(moved.size(), 29);
        } else {
            QCOMPARE(moved.value("报废日期").toString(), QStringLiteral("2024-02-29"));
            QVERIFY(moved.value("报废原因").isNull());
        }
        QVERIFY(f->row(source, original).isEmpty());
        QVERIFY(!f->column(tables::working(source), Number).contains(number));
        QTEST(text(*w, 0), "nextShown");
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:%1/2").arg(qMin(position, 1) + 1));

        // Neither OK nor Cancel brings it back, under either number: the
        // instrument is in exactly one ledger.
        if (thenOk)
            button(*w, "cmdOK")->click();
        else
            w->cancel();
        const QStringList left = f->column(source, Number);
        QVERIFY(!left.contains(number));
        QVERIFY(!left.contains(original));
        QCOMPARE(left.size(), 2);
        QCOMPARE(f->column(target, Number).count(number), 1);
    }

    void movesRefused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::newRow("unseal, number in use") << Sealed << "cmdOpen"
                                               << "in use"
                                               << "“计量器具在用库”中已经有编号为“N-002”的计量器具，不能移入！";
        QTest::newRow("reinstate, number in use") << Scrapped << "cmdUser"
                                                  << "in use"
                                                  << "“计量器具在用库”中已经有编号为“N-002”的计量器具，不能移入！";
        QTest::newRow("scrap, already scrapped") << Sealed << "cmdReject"
                                                 << "scrapped"
                                                 << "“计量器具报废库”中已经有编号为“N-002”的计量器具，不能移入！";
        QTest::newRow("unseal declined") << Sealed << "cmdOpen"
                                         << "declined"
                                         << "你确认要将编号为：";
        QTest::newRow("write-off, blank number") << Scrapped << "cmdDelete"
                                                 << "blank"
                                                 << "计量器具编号不能为空！";
    }
    void movesRefused()
    {
        QFETCH(QString, source);
        QFETCH(QString, buttonName);
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QVERIFY(f->insert(InUse, {{{Number, "N-002"}, {"计量器具名称", "在用的"}}}));
        if (source == Sealed)
            QVERIFY(f->insert(Scrapped, {{{Number, "N-002"}, {"计量器具名称", "报废的"}}}));
        auto w = open(source, 3, QStringLiteral("N-002"));
        QVERIFY(w);
        if (situation == QLatin1String("declined"))
            f->prompt.answers << Prompter::Answer::Cancel;
        if (situation == QLatin1String("blank"))
            static_cast<QLineEdit*>(w->Text1[0])->setText(QStringLiteral(" "));
        static_cast<QLineEdit*>(w->Text1[3])->setText(QStringLiteral("改过"));

        button(*w, qPrintable(buttonName))->click();
        // The question, then the refusal when the move itself is refused.
        const bool moveRefused = situation == QLatin1String("in use") || situation == QLatin1String("scrapped");
        QCOMPARE(f->prompt.messages.size(), moveRefused ? 2 : 1);
        QVERIFY2(f->prompt.messages.last().text.startsWith(message), qPrintable(f->prompt.messages.last().text));
        QCOMPARE(f->column(source, Number), QStringList({"N-001", "N-002", "N-003"}));
        QCOMPARE(f->column(tables::working(source), Number).size(), 3);
        QCOMPARE(f->column(InUse, "计量器具名称"), QStringList{"在用的"});
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:2/3"));
        QCOMPARE(text(*w, 3), QStringLiteral("改过")); // nothing typed is lost
        if (situation == QLatin1String("in use")) {
            // Put right, the same row moves.
            QVERIFY(f->db().executeNative(QStringLiteral("DELETE FROM %1").arg(InUse)).ok());
            button(*w, qPrintable(buttonName))->click();
            QCOMPARE(f->row(InUse, "N-002").value("准确度").toString(), QStringLiteral("改过"));
        }
    }

    void writeOff_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("dropFiles"); // -1: N-002 has no attachment; else the answer (1 yes, 0 no)
        QTest::addColumn<int>("filesLeft");
        QTest::newRow("written off, OK") << true << true << QStringList{"N-001", "N-003"} << -1 << 0;
        QTest::newRow("written off, cancel") << true << false << QStringList{"N-001", "N-002", "N-003"} << -1 << 0;
        QTest::newRow("declined, OK") << false << true << QStringList{"N-001", "N-002", "N-003"} << -1 << 0;
        QTest::newRow("written off with its attachment") << true << true << QStringList{"N-001", "N-003"} << 1 << 0;
        QTest::newRow("written off, attachment kept") << true << true << QStringList{"N-001", "N-003"} << 0 << 1;
        QTest::newRow("attachment to go, but cancelled")
            << true << false << QStringList{"N-001", "N-002", "N-003"} << 1 << 1;
    }
    void writeOff()
    {
        QFETCH(bool, confirmed);
        QFETCH(bool, saved);
        QFETCH(int, dropFiles);
        QFETCH(int, filesLeft);
        QVERIFY(!upgradeLedgerSchema(f->db()));
        QTemporaryDir dir;
        if (dropFiles >= 0) {
            QFile scan(dir.filePath("证书.pdf"));
            QVERIFY(scan.open(QIODevice::WriteOnly) && scan.write("%PDF-1.4") > 0);
            scan.close();
            QVERIFY(!addAttachment(f->db(), {"N-002", attachmentkind::Instrument}, scan.fileName(), "张三"));
            f->prompt.answers << Prompter::Answer::Ok
                              << (dropFiles == 1 ? Prompter::Answer::Yes : Prompter::Answer::No);
        }
        auto w = open(Scrapped, 3, QStringLiteral("N-002"));
        QVERIFY(w);
        if (!confirmed)
            f->prompt.answers << Prompter::Answer::Cancel;
        button(*w, "cmdDelete")->click();
        QCOMPARE(f->prompt.messages.size(), dropFiles >= 0 ? 2 : 1);
        if (dropFiles >= 0)
            QVERIFY(f->prompt.messages[1].text.contains(QStringLiteral("有 1 个附件")));
        QCOMPARE(f->prompt.messages[0].text,
                 QStringLiteral("你确认要将编号为：“N-002”的“计量器具名称值”永久性删除吗？"));
        QCOMPARE(f->prompt.messages[0].title, QStringLiteral("注销"));
        QCOMPARE(text(*w, 0), confirmed ? QStringLiteral("N-003") : QStringLiteral("N-002"));
        // Nothing reaches the ledger before OK.
        QCOMPARE(f->column(Scrapped, Number).size(), 3);
        button(*w, saved ? "cmdOK" : "cmdCancle")->click();
        QVERIFY(!w->isVisible());
        QTEST(f->column(Scrapped, Number), "left");
        QCOMPARE(attachmentCount(f->db(), "N-002"), filesLeft);
    }

    // 变更履历(&Y)... shows the history of the number the window shows,
    // its rows under an earlier number included; a number the ledger does
    // not hold yet, or a ledger without a history, is told instead.
    void changeHistoryButton_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("situation");   // "saved", "typed, not saved", "no history table"
        QTest::addColumn<QStringList>("numbers"); // of the rows shown; empty: no window, a message
        const QStringList own{"N-002", "N-002", "OLD-2"};
        QTest::newRow("sealed") << Sealed << "saved" << own;
        QTest::newRow("scrapped") << Scrapped << "saved" << own;
        QTest::newRow("in use") << InUse << "saved" << own;
        QTest::newRow("sealed after a renumbering, as the editors record it")
            << Sealed << "recorded by the editors" << QStringList{"M-002", "M-002", "M-002", "N-002"};
        QTest::newRow("in use, a number typed, not saved") << InUse << "typed, not saved" << QStringList{};
        QTest::newRow("sealed, ledger of an older program") << Sealed << "no history table" << QStringList{};
    }
    void changeHistoryButton()
    {
        QFETCH(QString, table);
        QFETCH(QString, situation);
        QFETCH(QStringList, numbers);
        std::unique_ptr<LedgerEditor> w;
        if (situation == "recorded by the editors") {
            // One OK in the in-use editor, then a renumbering carried by a
            // seal: the history as the editors write it.
            QVERIFY(!upgradeLedgerSchema(f->db()));
            QVERIFY(f->insert(InUse, {fullRow(InUse, "N-001"), fullRow(InUse, "N-002")}));
            const auto setField = [](LedgerEditor& e, const QString& column, const QString& value) {
                for (QWidget* field : e.Data1->boundFields())
                    if (e.Data1->boundColumn(field) == column)
                        if (auto* line = qobject_cast<QLineEdit*>(field))
                            line->setText(value);
            };
            f->state.SelectedNumber = QStringLiteral("N-002");
            {
                frmOperation edit(f->state);
                edit.show();
                setField(edit, "使用部门", "三车间");
                edit.cmdOK->click();
            }
            {
                frmOperation edit(f->state);
                edit.show();
                setField(edit, Number, "M-002");
                setField(edit, "规格型号", "改过的型号");
                f->prompt.answers << Prompter::Answer::Ok;
                edit.cmdObturate->click();
                edit.cmdOK->click();
            }
            QCOMPARE(f->prompt.messages.size(), 1); // the seal's question
            f->prompt.messages.clear();
            w = open(table, 0, QStringLiteral("M-002"));
            QVERIFY(w);
            QCOMPARE(text(*w, 0), QStringLiteral("M-002"));
        } else if (situation != "no history table") {
            QVERIFY(!upgradeLedgerSchema(f->db()));
            const QStringList rows[] = {
                {"1", "2025-01-02 09:00:00", "OLD-2", "添加", "", "", ""},
                {"2", "2025-01-03 09:00:00", "N-002", "修改", Number, "OLD-2", "N-002"},
                {"3", "2025-01-04 09:00:00", "N-001", "修改", "备注", "", "别的器具"},
                {"4", "2025-01-05 09:00:00", "N-002", "修改", "备注", "", "新铭牌"},
            };
            for (const QStringList& r : rows)
                QVERIFY(f->db()
                            .executeNative("INSERT INTO \"MSys履历\" (\"ID\", 时间, 账户, 数据表, 计量器具编号, 事件, "
                                           "字段, 原值, 新值) VALUES (?, ?, '张三', ?, ?, ?, ?, ?, ?)",
                                           {r[0], r[1], table, r[2], r[3], r[4].isEmpty() ? QVariant() : r[4],
                                            r[5].isEmpty() ? QVariant() : r[5], r[6].isEmpty() ? QVariant() : r[6]})
                            .ok());
        }
        if (!w) {
            w = open(table, 3, QStringLiteral("N-002"));
            QVERIFY(w);
            QCOMPARE(text(*w, 0), QStringLiteral("N-002"));
        }
        if (situation == "typed, not saved") {
            w->findChild<QPushButton*>("cmdAdd")->click();
            for (QWidget* field : w->Data1->boundFields())
                if (w->Data1->boundColumn(field) == Number)
                    qobject_cast<QLineEdit*>(field)->setText(QStringLiteral("NEW-9"));
        }
        QStringList shown;
        QString title;
        bool readOnly = false;
        if (!numbers.isEmpty())
            test::whenModal<HistoryWindow>(w.get(), [&](HistoryWindow* h) {
                title = h->windowTitle();
                for (int r = 0; r < h->model()->rowCount(); ++r)
                    shown << h->model()->entry(r).number;
                readOnly = h->grdHistory->editTriggers() == QAbstractItemView::NoEditTriggers && !h->cmdExport
                    && h->lblCount->text() == QStringLiteral("共 %1 条").arg(numbers.size());
                h->cmdClose->click();
            });
        QPushButton* changes = button(*w, "cmdChanges");
        QVERIFY(changes);
        QCOMPARE(changes->text(), QStringLiteral("变更履历(&Y)..."));
        changes->click();
        if (numbers.isEmpty()) {
            QCOMPARE(f->prompt.messages.size(), 1);
            QVERIFY2(
                f->prompt.messages[0].text.contains(situation == "no history table" ? "没有变更履历数据表" : "“NEW-9”"),
                qPrintable(f->prompt.messages[0].text));
            QVERIFY(title.isEmpty());
            return;
        }
        QVERIFY(f->prompt.messages.isEmpty());
        QCOMPARE(title, QStringLiteral("变更履历 — %1").arg(numbers.first()));
        QCOMPARE(shown, numbers);
        QVERIFY(readOnly);
    }
};

QTEST_MAIN(FrmCloseRejectTest)
#include "tst_frmclosereject.moc"
