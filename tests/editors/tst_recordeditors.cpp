// The confirmation and repair record editors: one instrument's records or all
// of them (listed, saved and replaced), the defaults of Add, Copy without the
// ambient conditions, the Enter walks, the opening from the in-use editor,
// the calibration carried into the in-use ledger and the printouts read back
// from PDF.
#include "EditorFixture.h"
#include "ModalKit.h"
#include "PdfText.h"
#include "core/Attachments.h"
#include "core/Dates.h"
#include "core/LedgerSchema.h"
#include "editors/HistoryCard.h"
#include "editors/MemoEdit.h"
#include "editors/RecordPrints.h"
#include "editors/frmCertificate.h"
#include "editors/frmOperation.h"
#include "editors/frmRepair.h"
#include "platform/AttachmentsWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace ravo;

namespace {

const QString Number = QStringLiteral("计量器具编号");

// What tells the two record tables apart in these tests.
struct RecordKind {
    QString table;
    QString dateColumn;
    QString tagColumn; // a text column the tests write into
    int tagField;      // its Text1 index
};

RecordKind kindOf(bool certificate)
{
    return certificate ? RecordKind{tables::Confirmation, "检定日期", "报告编号", 1}
                       : RecordKind{tables::Repair, "修理日期", "修理人员", 6};
}

std::unique_ptr<InstrumentRecordEditor> makeEditor(bool certificate, ProgramState& state, const QDate& today)
{
    std::unique_ptr<InstrumentRecordEditor> w(
        certificate ? static_cast<InstrumentRecordEditor*>(new frmCertificate(state)) : new frmRepair(state));
    w->setClock([today] { return today; });
    return w;
}

QString text(const QWidget* field)
{
    return DataControl::fieldText(field);
}

// As pdftotext reads it back: NFKC, without blanks.
QString printed(const QString& s)
{
    return s.normalized(QString::NormalizationForm_KC).remove(QLatin1Char(' '));
}

} // namespace

class RecordEditorsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;
    QTemporaryDir out;

    // Rows "number|tag|date" of a table, sorted.
    QStringList rows(const RecordKind& k)
    {
        QStringList out;
        QSqlQuery q(f->db().connection());
        q.exec(QStringLiteral("SELECT %1, %2, %3 FROM %4").arg(Number, k.tagColumn, k.dateColumn, k.table));
        while (q.next())
            out << QStringLiteral("%1|%2|%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
        out.sort();
        return out;
    }
    void addRecords(const RecordKind& k, const QString& number, const QStringList& dates)
    {
        QList<QVariantHash> list;
        for (const QString& d : dates)
            list << QVariantHash{{Number, number}, {k.tagColumn, number + "@" + d}, {k.dateColumn, d}};
        QVERIFY(f->insert(k.table, list));
    }
    // A null period is not handed over.
    void handOver(const QString& number, const QString& period = QString())
    {
        f->state.EditorMode = ActiveWindow::InUseEditor;
        f->state.TargetInstrument = {
            {Number, number},     {"计量器具名称", "压力表"}, {"规格型号", "Y-100"},     {"检定单位", "市计量所"},
            {"出厂编号", "F-77"}, {"制造厂家", "红旗仪表厂"}, {"计量器具类别", "力学F"}, {"计量器具种别", "压力仪器P"}};
        if (!period.isNull())
            f->state.TargetInstrument.insert("检定周期", period);
    }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void oneInstrument_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("deleteAll");
        QTest::addColumn<bool>("server");
        for (bool certificate : {true, false}) {
            const char* name = certificate ? "confirmation" : "repair";
            for (const QString& number : {QStringLiteral("N-1"), QStringLiteral("N\"1"), QStringLiteral("\"N\"")}) {
                QTest::addRow("%s %s edited", name, qPrintable(number)) << certificate << number << false << false;
                QTest::addRow("%s %s all deleted", name, qPrintable(number)) << certificate << number << true << false;
            }
            // On a server a colleague adds a record of the same instrument
            // meanwhile: OK writes only the window's changes, so it stays.
            for (bool deleteAll : {false, true})
                QTest::addRow("server: %s N\"1 %s", name, deleteAll ? "all deleted" : "edited")
                    << certificate << QStringLiteral("N\"1") << deleteAll << true;
        }
    }
    void oneInstrument()
    {
        QFETCH(bool, certificate);
        QFETCH(QString, number);
        QFETCH(bool, deleteAll);
        QFETCH(bool, server);
        if (server) {
            f = std::make_unique<test::EditorFixture>(Engine::Postgres);
            QVERIFY2(f->open, qPrintable(f->failure));
        }
        const RecordKind k = kindOf(certificate);
        addRecords(k, number, {"2003-05-01", "2001-01-01", "2002-02-02"});
        // Other instruments: one whose number begins with N's, one that is
        // N's number up to the quote, and an unrelated one.
        addRecords(k, number + "0", {"2002-01-01"});
        addRecords(k, number.left(1), {"2002-01-01"});
        addRecords(k, "M-5", {"2000-01-01", "2004-01-01"});
        QStringList others = rows(k);
        others.erase(
            std::remove_if(others.begin(), others.end(), [&](const QString& r) { return r.startsWith(number + "|"); }),
            others.end());
        handOver(number);

        auto w = makeEditor(certificate, f->state, QDate(2024, 3, 6));
        w->show();
        QVERIFY(w->isOneInstrument());
        QVERIFY(!w->cmdFind->isEnabled());
        // N's records by date, the latest shown.
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:3/3"));
        QCOMPARE(text(w->Text1[k.tagField]), number + "@2003-05-01");
        w->Data1->moveFirst();
        QCOMPARE(text(w->Text1[k.tagField]), number + "@2001-01-01");

        QStringList expected;
        if (server) {
            Database colleague;
            QCOMPARE(f->openColleague(colleague), QString());
            QVERIFY(test::insertRow(colleague, k.table,
                                    {{Number, number}, {k.tagColumn, "别人的"}, {k.dateColumn, "2005-05-05"}}));
            expected << number + "|别人的|2005-05-05";
        }
        if (deleteAll) {
            for (int i = 0; i < 3; ++i)
                w->cmdDelete->click();
            QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        } else {
            static_cast<QLineEdit*>(w->Text1[k.tagField])->setText(QStringLiteral("改过"));
            w->cmdAdd->click();
            static_cast<QLineEdit*>(w->Text1[k.tagField])->setText(QStringLiteral("新的"));
            expected << number + "|改过|2001-01-01" << number + "|" + number + "@2002-02-02|2002-02-02"
                     << number + "|" + number + "@2003-05-01|2003-05-01" << number + "|新的|2024-03-06";
        }
        w->cmdOK->click();
        QVERIFY2(f->prompt.messages.isEmpty(), qPrintable(f->prompt.messages.value(0).text));
        QVERIFY(!w->isVisible());
        QVERIFY(f->state.RequeryOnActivate);
        expected += others;
        expected.sort();
        QCOMPARE(rows(k), expected);
        QVERIFY(!f->db().tableExists(tables::working(k.table)));
    }

    void allInstruments_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::newRow("confirmation") << true;
        QTest::newRow("repair") << false;
    }
    void allInstruments()
    {
        QFETCH(bool, certificate);
        const RecordKind k = kindOf(certificate);
        addRecords(k, "A-1", {"2003-01-01"});
        addRecords(k, "B-2", {"2001-01-01", "2004-01-01"});
        addRecords(k, "C-3", {"2002-01-01"});
        handOver("A-1");
        f->state.EditorMode = ActiveWindow::Main; // opened from the main window
        f->state.SelectedNumber = QStringLiteral("b-2");
        auto w = makeEditor(certificate, f->state, QDate(2024, 3, 6));
        w->show();
        QVERIFY(!w->isOneInstrument());
        QVERIFY(w->cmdFind->isEnabled());
        // On the first record of the selected instrument, in date order.
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:1/4"));
        QCOMPARE(text(w->Text1[k.tagField]), QStringLiteral("B-2@2001-01-01"));

        w->cmdDelete->click(); // B-2's first record goes, C-3's shows
        static_cast<QLineEdit*>(w->Text1[k.tagField])->setText(QStringLiteral("改过"));
        f->prompt.inputs << QStringLiteral("A-1");
        w->cmdFind->click();
        QCOMPARE(text(w->Text1[k.tagField]), QStringLiteral("A-1@2003-01-01"));
        w->cmdOK->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QCOMPARE(
            rows(k),
            QStringList({"A-1|A-1@2003-01-01|2003-01-01", "B-2|B-2@2004-01-01|2004-01-01", "C-3|改过|2002-01-01"}));
    }

    void addDefaults_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("shown");    // Text1(0), Text1(1), …
        QTest::addColumn<int>("focus");            // Text1 index; -1 the report type
        QTest::addColumn<bool>("byPeriod");        // the option: 有效日期 by the period
        QTest::addColumn<QString>("handedPeriod"); // null: none handed over
        QTest::addColumn<QString>("ledgerPeriod"); // null: N-1 not in use
        const QStringList cert = {"市计量所",   "",     "",     "压力表", "N-1", "Y-100",
                                  "红旗仪表厂", "F-77", "合格", "",       "",    ""};
        const QString none;
        QTest::newRow("confirmation, 6 March")
            << true << QDate(2024, 3, 6) << cert + QStringList{"2024-03-06", "2025-03-05"} << -1 << false << "6"
            << none;
        QTest::newRow("confirmation, 1 January")
            << true << QDate(2003, 1, 1) << cert + QStringList{"2003-01-01", "2003-12-31"} << -1 << false << none
            << none;
        QTest::newRow("confirmation, 29 February")
            << true << QDate(2024, 2, 29) << cert + QStringList{"2024-02-29", "2025-02-28"} << -1 << false << none
            << none;
        QTest::newRow("by period, 6 months handed over")
            << true << QDate(2024, 3, 6) << cert + QStringList{"2024-03-06", "2024-09-05"} << -1 << true << "6"
            << "24";
        QTest::newRow("by period, from the ledger")
            << true << QDate(2024, 3, 6) << cert + QStringList{"2024-03-06", "2024-06-05"} << -1 << true << none << "3";
        QTest::newRow("repair") << false << QDate(2024, 3, 6)
                                << QStringList{"N-1", "力学F", "压力仪器P", "压力表", "Y-100", "2024-03-06", ""} << 5
                                << true << "6" << none;
    }
    void addDefaults()
    {
        QFETCH(bool, certificate);
        QFETCH(QDate, today);
        QFETCH(QStringList, shown);
        QFETCH(int, focus);
        QFETCH(bool, byPeriod);
        QFETCH(QString, handedPeriod);
        QFETCH(QString, ledgerPeriod);
        handOver(QStringLiteral("N-1"), handedPeriod);
        f->state.options.ValidUntilByPeriod = byPeriod;
        if (!ledgerPeriod.isNull())
            QVERIFY(f->insert(tables::InUse, {{{Number, "n-1"}, {"检定周期", ledgerPeriod}}}));
        auto w = makeEditor(certificate, f->state, today);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->Data1->caption(), QStringLiteral("记录:0/0"));
        QVERIFY(!w->Text1[certificate ? 14 : 9]->isEnabled());
        if (certificate)
            QVERIFY(w->Text1[15]->isEnabled()); // the ambient conditions are never locked
        w->cmdAdd->click();
        QVERIFY(w->Text1[certificate ? 14 : 9]->isEnabled());
        QStringList texts;
        for (int i = 0; i < shown.size(); ++i)
            texts << text(w->Text1[i]);
        QCOMPARE(texts, shown);
        QCOMPARE(QApplication::focusWidget(), focus < 0 ? static_cast<QWidget*>(w->Combo1[0]) : w->Text1[focus]);
        if (certificate)
            QCOMPARE(w->Combo1[0]->currentText(), QStringLiteral("检定证书(小)"));
        w->cmdOK->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QCOMPARE(f->row(kindOf(certificate).table, "N-1").value(certificate ? "有效日期" : "修理日期").toString(),
                 shown.at(certificate ? 13 : 5));
    }

    void copyLeavesAmbientConditionsEmpty()
    {
        QVariantHash full;
        for (const QString& c : frmCertificate::recordColumns())
            full.insert(c, c + "值");
        full.insert("检定日期", "2003-03-28");
        full.insert("有效日期", "2004-03-27");
        full.insert("报告类型", "检定证书(大)");
        QVERIFY(f->insert(tables::Confirmation, {full}));
        frmCertificate w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.cmdCopy->click();
        QVERIFY(w.Data1->recordset().isAdding());
        QCOMPARE(w.Combo1[0]->lineEdit()->selectedText(), QStringLiteral("检定证书(大)"));
        QCOMPARE(QApplication::focusWidget(), w.Combo1[0]);
        static_cast<QLineEdit*>(w.Text1[1])->setText(QStringLiteral("报告2"));
        w.cmdOK->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QSqlQuery q(f->db().connection());
        QVERIFY(q.exec("SELECT * FROM 计量器具确认记录库 ORDER BY rowid"));
        QVERIFY(q.next());
        QSqlRecord original = q.record();
        QVERIFY(q.next());
        for (int i = 0; i < original.count(); ++i) {
            const QString c = original.fieldName(i);
            const QVariant expected = c == "报告编号" ? QVariant("报告2") : original.value(i);
            QVERIFY2(c == "温度" || c == "湿度" ? q.value(i).isNull() : q.value(i) == expected, qPrintable(c));
        }
    }

    void enterWalk_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<QList<int>>("walk"); // Text1 indexes; -1 is the report type
        QTest::newRow("confirmation") << true
                                      << QList<int>{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 15, 16, 9, 10, 11, 12, 13, 14};
        QTest::newRow("repair") << false << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    }
    void enterWalk()
    {
        QFETCH(bool, certificate);
        QFETCH(QList<int>, walk);
        const RecordKind k = kindOf(certificate);
        addRecords(k, "N-1", {"2003-01-01"});
        auto w = makeEditor(certificate, f->state, QDate(2024, 3, 6));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto field = [&](int i) -> QWidget* { return i < 0 ? w->Combo1[0] : w->Text1[i]; };
        field(walk.first())->setFocus();
        for (int i = 1; i < walk.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), field(walk.at(i)));
        }
        // In the multi-line box at the end Enter starts a new line.
        auto* memo = static_cast<MemoEdit*>(field(walk.last()));
        memo->setPlainText(QStringLiteral("第一行"));
        memo->moveCursor(QTextCursor::End);
        QTest::keyClick(memo, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), memo);
        QCOMPARE(memo->toPlainText(), QStringLiteral("第一行\n"));
        QVERIFY(w->isVisible());
    }

    void openedFromTheInUseEditor_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::newRow("确认记录(&V)") << true;
        QTest::newRow("修理记录(&R)") << false;
    }
    void openedFromTheInUseEditor()
    {
        QFETCH(bool, certificate);
        const RecordKind k = kindOf(certificate);
        QVERIFY(f->fillInUse(2));
        addRecords(k, "N-002", {"2001-01-01", "2002-01-01"});
        addRecords(k, "N-001", {"2003-01-01"});
        frmOperation editor(f->state);
        editor.show(); // on the last instrument, N-002
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QString seen;
        QTimer::singleShot(0, this, [&] {
            auto* w = qobject_cast<InstrumentRecordEditor*>(QApplication::activeModalWidget());
            if (!w)
                return;
            seen = QStringLiteral("%1 %2 %3").arg(w->windowTitle(), w->Data1->caption(), text(w->Text1[k.tagField]));
            w->cmdCancle->click();
        });
        (certificate ? editor.cmdValidate : editor.cmdRepair)->click();
        const QString caption = certificate ? "计量器具确认记录编辑器" : "计量器具修理记录编辑器";
        QCOMPARE(seen, caption + " 记录:2/2 N-002@2002-01-01");
        QCOMPARE(f->state.EditorMode, ActiveWindow::InUseEditor);
        QCOMPARE(text(editor.Text1[0]), QStringLiteral("N-002"));
    }

    // 更新台帐(&U): the current record, as typed, moves its instrument's
    // dates (and its status when it passed) after an old → new question;
    // an instrument not in use is refused and nothing changes.
    // 附件 in the confirmation and repair editors keeps files with the
    // record shown, once the record is in the ledger.
    void recordAttachments_data()
    {
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<bool>("saved");
        for (const bool certificate : {true, false}) {
            const char* kind = certificate ? "confirmation" : "repair";
            QTest::addRow("%s: a saved record", kind) << certificate << true;
            QTest::addRow("%s: a record not saved yet", kind) << certificate << false;
        }
    }
    void recordAttachments()
    {
        QFETCH(bool, certificate);
        QFETCH(bool, saved);
        QVERIFY(!upgradeLedgerSchema(f->db()));
        const RecordKind k = kindOf(certificate);
        addRecords(k, "N-1", {"2003-01-01"});
        f->state.EditorMode = ActiveWindow::Main;
        auto w = makeEditor(certificate, f->state, QDate(2003, 3, 28));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->cmdFiles->text(), QStringLiteral("附件(&M)..."));
        if (!saved) {
            w->cmdAdd->click();
            static_cast<QLineEdit*>(w->Text1[certificate ? 4 : 0])->setText(QStringLiteral("N-2"));
        }
        QFile scan(out.filePath("record-scan.pdf"));
        QVERIFY(scan.open(QIODevice::WriteOnly) && scan.write("%PDF-1.4") > 0);
        scan.close();
        bool shown = false;
        if (saved)
            test::whenModal<AttachmentsWindow>(this, [&](AttachmentsWindow* d) {
                shown = true;
                d->addFiles({scan.fileName()});
                d->accept();
            });
        w->cmdFiles->click();
        QCOMPARE(shown, saved);
        if (saved) {
            QVERIFY(f->prompt.messages.isEmpty());
            const QString kind = certificate ? attachmentkind::Confirmation : attachmentkind::Repair;
            const QVector<Attachment> kept =
                listAttachments(f->db(), {"N-1", kind, recordKey("2003-01-01", "N-1@2003-01-01")});
            QCOMPARE(kept.size(), 1);
            QCOMPARE(kept[0].fileName, QStringLiteral("record-scan.pdf"));
            // The record's files are not the instrument's own.
            QVERIFY(listAttachments(f->db(), {"N-1", attachmentkind::Instrument}).isEmpty());
        } else {
            QCOMPARE(f->prompt.messages.size(), 1);
            QVERIFY(f->prompt.messages[0].text.contains(QStringLiteral("请先“确定”保存")));
            QVERIFY(f->prompt.messages[0].text.contains(certificate ? QStringLiteral("确认记录")
                                                                    : QStringLiteral("修理记录")));
        }
    }

    void updateLedgerButton_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("conclusion");
        QTest::addColumn<QString>("validUntil"); // typed into the record
        QTest::addColumn<int>("answer");         // Prompter::Answer to the question
        QTest::addColumn<QStringList>("boxes");  // words of each box shown, in order
        QTest::addColumn<QString>("after");      // 检定日期|有效日期|状态|检定单位 of A-1
        const QString untouched = "2025-03-01|2026-02-28|限用|市计量所";
        const int ok = int(Prompter::Answer::Ok);
        QTest::newRow("passed") << "A-1"
                                << "合格"
                                << "2027-03-05" << ok
                                << QStringList{"检定日期：2025-03-01 → 2026-03-06\n有效日期：2026-02-28 → 2027-03-05\n"
                                               "状态：限用 → 合格\n检定单位：市计量所 → 省计量院"}
                                << "2026-03-06|2027-03-05|合格|省计量院";
        QTest::newRow("question declined") << "A-1"
                                           << "合格"
                                           << "2027-03-05" << int(Prompter::Answer::Cancel)
                                           << QStringList{"检定日期：2025-03-01 → 2026-03-06"} << untouched;
        QTest::newRow("sealed") << "S-1"
                                << "合格"
                                << "2027-03-05" << ok << QStringList{"编号为“S-1”的计量器具已经封存"} << untouched;
        QTest::newRow("typed date is none") << "A-1"
                                            << "合格"
                                            << "2027-02-30" << ok << QStringList{"有效日期"} << untouched;
    }
    void updateLedgerButton()
    {
        QFETCH(QString, number);
        QFETCH(QString, conclusion);
        QFETCH(QString, validUntil);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        QFETCH(QString, after);
        QVERIFY(f->insert(tables::InUse,
                          {{{Number, "A-1"},
                            {"检定日期", "2025-03-01"},
                            {"有效日期", "2026-02-28"},
                            {"状态", "限用"},
                            {"检定单位", "市计量所"}}}));
        QVERIFY(f->insert(tables::Sealed, {{{Number, "S-1"}}}));
        QVERIFY(f->insert(tables::Scrapped, {{{Number, "X-1"}}}));
        f->state.EditorMode = ActiveWindow::Main;
        frmCertificate w(f->state);
        w.setClock([] { return QDate(2026, 3, 6); });
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.cmdUpdate->text(), QStringLiteral("更新台帐(&U)"));
        w.cmdAdd->click();
        static_cast<QLineEdit*>(w.Text1[0])->setText(QStringLiteral("省计量院"));
        static_cast<QLineEdit*>(w.Text1[4])->setText(number);
        static_cast<QLineEdit*>(w.Text1[8])->setText(conclusion);
        static_cast<QLineEdit*>(w.Text1[13])->setText(validUntil);
        f->prompt.answers << Prompter::Answer(answer);
        w.cmdUpdate->click();
        QCOMPARE(f->prompt.messages.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(f->prompt.messages[i].text.contains(boxes[i]), qPrintable(f->prompt.messages[i].text));
        const QVariantHash row = f->row(tables::InUse, "A-1");
        QCOMPARE(QStringList({row.value("检定日期").toString(), row.value("有效日期").toString(),
                              row.value("状态").toString(), row.value("检定单位").toString()})
                     .join('|'),
                 after);
        // The update acts at once, like a move: Cancel of the window keeps it.
        w.cmdCancle->click();
        QCOMPARE(f->row(tables::InUse, "A-1").value("有效日期").toString(), after.section('|', 1, 1));
        QCOMPARE(f->column(tables::Confirmation, Number), QStringList());
    }

    // Opened from the in-use editor, the confirmation editor updates the
    // ledger (by its button, or with its OK when the options ask); the in-use
    // editor's working copy takes the same values, so that its own OK or
    // Cancel afterwards keeps them, and what was typed there stays.
    void inUseEditorKeepsTheUpdate_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("remark");  // typed into the in-use editor first
        QTest::addColumn<bool>("inUseOk");    // the in-use editor's 确定, or 取消
        QTest::addColumn<QString>("message"); // a word of the box after the save
        QTest::newRow("button, then 取消") << false << QString() << false << QString();
        QTest::newRow("button, typed remark kept") << false << "新备注" << true << QString();
        QTest::newRow("automatic, then 确定") << true << QString() << true << "已按确认记录更新了 1 台";
    }
    void inUseEditorKeepsTheUpdate()
    {
        QFETCH(bool, automatic);
        QFETCH(QString, remark);
        QFETCH(bool, inUseOk);
        QFETCH(QString, message);
        for (const QString& n : {QStringLiteral("N-001"), QStringLiteral("N-002")})
            QVERIFY(f->insert(tables::InUse,
                              {{{Number, n},
                                {"检定日期", "2020-03-01"},
                                {"有效日期", "2021-02-28"},
                                {"状态", "限用"},
                                {"检定周期", "6"}}}));
        f->state.options.CertificateUpdatesLedger = automatic;
        f->state.options.ValidUntilByPeriod = true;
        const QDate today = QDate::currentDate();
        const QString calibrated = today.toString(Qt::ISODate);
        const QString validUntil = validUntilAfterMonths(today, 6).toString(Qt::ISODate);

        frmOperation editor(f->state);
        editor.show(); // on the last instrument, N-002
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        if (!remark.isEmpty())
            static_cast<MemoEdit*>(editor.Text1[22])->setPlainText(remark);
        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            auto* w = qobject_cast<frmCertificate*>(QApplication::activeModalWidget());
            if (!w)
                return;
            w->cmdAdd->click(); // 合格, today, valid for the instrument's 6 months
            driven = text(w->Text1[13]) == validUntil;
            if (automatic) {
                w->cmdOK->click();
            } else {
                w->cmdUpdate->click();
                w->cmdCancle->click(); // the record goes, the update stays
            }
        });
        editor.cmdValidate->click();
        QVERIFY(driven);
        QVERIFY2(message.isEmpty() || f->prompt.messages.last().text.contains(message),
                 qPrintable(f->prompt.messages.last().text));
        QCOMPARE(text(editor.Text1[0]), QStringLiteral("N-002"));
        QCOMPARE(text(editor.Text1[11]), calibrated);
        QCOMPARE(text(editor.Text1[13]), validUntil);
        QCOMPARE(editor.Combo1[4]->currentText(), QStringLiteral("合格"));
        QCOMPARE(text(editor.Text1[22]), remark);

        (inUseOk ? editor.cmdOK : editor.cmdCancle)->click();
        QVERIFY(!editor.isVisible());
        const QVariantHash row = f->row(tables::InUse, "N-002");
        QCOMPARE(row.value("检定日期").toString(), calibrated);
        QCOMPARE(row.value("有效日期").toString(), validUntil);
        QCOMPARE(row.value("状态").toString(), QStringLiteral("合格"));
        QCOMPARE(row.value("备注").toString(), inUseOk ? remark : QString());
        QCOMPARE(f->row(tables::InUse, "N-001").value("有效日期").toString(), QStringLiteral("2021-02-28"));
    }

    void confirmationSheet_data()
    {
        QTest::addColumn<QString>("reportType");
        QTest::addColumn<int>("kind"); // which offsets place it; 0 none
        QTest::newRow("检定证书(小)") << "检定证书(小)" << 1;
        QTest::newRow("检定证书(正副本)") << "检定证书(正副本)" << 2;
        QTest::newRow("检定结果通知书(小)") << "检定结果通知书(小)" << 3;
        QTest::newRow("检定结果通知书(正副本)") << "检定结果通知书(正副本)" << 4;
        QTest::newRow("测试结果通知书(正副本)") << "测试结果通知书(正副本)" << 5;
        QTest::newRow("typed type") << "校准证书" << 0;
    }
    void confirmationSheet()
    {
        QFETCH(QString, reportType);
        QFETCH(int, kind);
        QVariantHash record;
        for (const QString& c : frmCertificate::recordColumns())
            record.insert(c, c + "A1");
        record.insert("检定日期", "2003-03-28");
        record.insert("有效日期", "2004-03-27");
        record.insert("报告类型", reportType);
        record.insert("检测数据", "示值误差 +0.2%\n回程误差 0.1%");
        QVERIFY(f->insert(tables::Confirmation, {record}));
        f->state.options.GroupName = QStringLiteral("红星计量站");
        frmCertificate w(f->state);
        w.show();

        // Printed once without offsets and once with kind k at (3k, 5k) mm.
        const QString plain = out.filePath("plain.pdf");
        const QString shifted = out.filePath("shifted.pdf");
        QVERIFY(w.printSheet(test::pdfPrinter(plain, false).get()));
        for (int i = 0; i < 5; ++i) {
            f->state.options.PrintClassX[i] = qint16(3 * (i + 1));
            f->state.options.PrintClassY[i] = qint16(5 * (i + 1));
        }
        QVERIFY(w.printSheet(test::pdfPrinter(shifted, false).get()));
        QVERIFY(f->prompt.messages.isEmpty());

        const QStringList pages = test::pdfPages(plain);
        QCOMPARE(pages.size(), 1);
        const QString sheet = printed(pages.first());
        QStringList wanted = {"红星计量站", reportType, "回程误差0.1%"};
        for (int i = 0; i <= 16; ++i)
            wanted << frmCertificate::textCaptions().at(i)
                   << record.value(frmCertificate::textColumns().at(i)).toString().section('\n', 0, 0);
        for (const QString& word : std::as_const(wanted))
            QVERIFY2(sheet.contains(printed(word)), qPrintable(word));

        const auto before = test::pdfWords(plain);
        const auto after = test::pdfWords(shifted);
        const test::PdfWord* a = test::findWord(before, "红星计量站");
        const test::PdfWord* b = test::findWord(after, "红星计量站");
        QVERIFY(a && b);
        const double mm = 72.0 / 25.4;
        QVERIFY2(std::abs(b->xMin - a->xMin - 3 * kind * mm) < 0.5, qPrintable(QString::number(b->xMin - a->xMin)));
        QVERIFY2(std::abs(b->yMin - a->yMin - 5 * kind * mm) < 0.5, qPrintable(QString::number(b->yMin - a->yMin)));
    }

    void longDataOnTheSheet_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("perLine"); // characters a line
        QTest::addColumn<int>("pages");
        QTest::newRow("3000 characters in long lines, set smaller") << 50 << 59 << 1;
        QTest::newRow("3000 characters in 150 short lines, continued") << 150 << 19 << 3;
    }
    void longDataOnTheSheet()
    {
        QFETCH(int, lines);
        QFETCH(int, perLine);
        ConfirmationSheet sheet;
        sheet.heading = QStringLiteral("检定证书(大)");
        sheet.rows = {{{"检定单位", "市计量所"}}};
        QStringList text;
        for (int i = 1; i <= lines; ++i)
            text << QStringLiteral("第%1行").arg(i, 3, 10, QLatin1Char('0')).leftJustified(perLine, QChar(0x6570));
        sheet.data = {QStringLiteral("检测数据/结果："), text.join('\n')};
        auto printer = test::pdfPrinter(out.filePath("long.pdf"), false, QMarginsF(15, 15, 15, 15));
        LinePrinter lp(*printer);
        QVERIFY(layoutConfirmationSheet(lp, sheet).ok());
        QTEST(lp.pageCount(), "pages");
        QString all;
        for (int pg = 0; pg < lp.pageCount(); ++pg)
            all += lp.pages().texts(pg).join(QString());
        QVERIFY(all.contains(QStringLiteral("第%1行").arg(lines, 3, 10, QLatin1Char('0'))));
        if (lp.pageCount() > 1)
            QVERIFY(lp.pages().texts(1).first().endsWith(QStringLiteral("（续）")));
    }

    // The history card: the instrument as its ledger holds it (found without
    // regard to case), only its own records (those kept under its earlier
    // number too), oldest first; a long record
    // list goes on over the next page with its column heads again, and every
    // page carries the number and its page count.
    void historyCard_data()
    {
        QTest::addColumn<QString>("ledger");
        QTest::addColumn<int>("confirmations");
        QTest::addColumn<int>("pages");
        QTest::newRow("in use, a few records") << tables::InUse << 2 << 1;
        QTest::newRow("sealed") << tables::Sealed << 1 << 1;
        QTest::newRow("scrapped, records over two pages") << tables::Scrapped << 40 << 2;
    }
    void historyCard()
    {
        QFETCH(QString, ledger);
        QFETCH(int, confirmations);
        QFETCH(int, pages);
        QVERIFY(f->insert(
            ledger, {{{Number, "HC-1"}, {"计量器具名称", "压力表"}, {"使用部门", "二车间"}, {"备注", "铭牌已更换"}}}));
        const RecordKind k = kindOf(true);
        QStringList dates;
        for (int i = confirmations; i >= 1; --i)
            dates << QDate(2000, 1, 1).addMonths(i).toString("yyyy-MM-dd");
        // The earliest was kept under the number it had before a correction.
        const QString earliest = dates.takeLast();
        addRecords(k, "HC-1", dates);
        addRecords(k, "OLD-1", {earliest});
        addRecords(k, "HC-2", {"2001-05-05"});
        addRecords(kindOf(false), "HC-1", {"2010-10-10"});
        QVERIFY(!upgradeLedgerSchema(f->db()));
        QFile scan(out.filePath("nameplate.png"));
        QVERIFY(scan.open(QIODevice::WriteOnly) && scan.write("PNG") == 3);
        scan.close();
        QVERIFY(!addAttachment(f->db(), {"HC-1", attachmentkind::Instrument}, scan.fileName(), "张三"));
        // The scan of the record kept under the earlier number stays with it.
        QVERIFY(!addAttachment(f->db(), {"OLD-1", attachmentkind::Confirmation, recordKey(earliest, "R")},
                               scan.fileName(), "张三"));
        // Its history under an earlier number: events and the number
        // correction on the card, the values changed in an editor not;
        // another instrument's rows never.
        const QStringList history[] = {
            {"1", "2025-01-02 09:00:00", "张三", tables::InUse, "OLD-1", "添加", "", "", ""},
            {"2", "2025-01-03 09:00:00", "张三", tables::InUse, "OLD-1", "修改", "使用部门", "一车间", "变动值"},
            {"3", "2025-02-03 10:00:00", "李四", tables::InUse, "HC-1", "修改", Number, "OLD-1", "HC-1"},
            {"4", "2025-03-04 11:00:00", "王五", tables::Sealed, "HC-1", "封存", "", tables::InUse, tables::Sealed},
            {"5", "2025-04-05 12:00:00", "王五", tables::InUse, "HC-1", "更新台帐", "检定日期", "2024-01-01",
             "2025-04-05"},
            {"6", "2025-04-06 12:00:00", "王五", tables::InUse, "HC-2", "添加", "", "", ""},
            {"7", "2025-04-07 12:00:00", "王五", tables::Confirmation, "HC-1", "导入", "", "", "旧记录.xlsx"},
        };
        for (const QStringList& h : history) {
            QVariantList binds;
            for (const QString& v : h)
                binds << (v.isEmpty() ? QVariant() : QVariant(v));
            QVERIFY(
                f->db()
                    .executeNative("INSERT INTO \"MSys履历\" (\"ID\", 时间, 账户, 数据表, 计量器具编号, 事件, 字段, "
                                   "原值, 新值) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                                   binds)
                    .ok());
        }

        const std::optional<InstrumentStory> story = readInstrumentStory(f->db(), "hc-1");
        QVERIFY(story);
        QCOMPARE(story->ledger, ledger);
        QCOMPARE(story->confirmations.size(), confirmations);
        QCOMPARE(story->confirmations.first().first(), QDate(2000, 2, 1).toString("yyyy-MM-dd"));
        QCOMPARE(story->events.size(), 5);
        QCOMPARE(story->events.first(), (QStringList{"2025-01-02 09:00:00", "添加", "张三", tables::InUse}));
        const QString pdf = out.filePath("card.pdf");
        {
            auto printer = test::pdfPrinter(pdf, false, QMarginsF(15, 12, 15, 10));
            LinePrinter lp(*printer);
            QVERIFY(layoutHistoryCards(lp, {*story}, QDate(2026, 12, 8)).ok());
            QCOMPARE(lp.pageCount(), pages);
            QVERIFY(lp.endDoc().ok());
        }
        const QStringList read = test::pdfPages(pdf);
        QCOMPARE(read.size(), pages);
        QString all = read.join(QString());
        all.remove(' ');
        for (const QString& word :
             QStringList{"计量器具履历卡", "所在台帐：" + ledger, "打印日期：2026-12-08", "二车间", "铭牌已更换",
                         "OLD-1@2000-02-01", "2010-10-10", "二、履历事件(共5条)",
                         "从文件“旧记录.xlsx”导入" + tables::Confirmation, "编号OLD-1→HC-1",
                         tables::InUse + "→" + tables::Sealed, "检定日期：2024-01-01→2025-04-05", "2025-03-04 11:00:00",
                         "三、检定/校准确认记录", "五、附件(共2个)", "nameplate.png"})
            QVERIFY2(all.contains(printed(word)), qPrintable(word));
        QVERIFY(!read.join(QString()).contains("HC-2"));
        QVERIFY(!all.contains(printed("变动值")));
        // The events stand between the instrument and its confirmation records.
        QVERIFY(all.indexOf(printed("铭牌已更换")) < all.indexOf(printed("二、履历事件")));
        QVERIFY(all.indexOf(printed("二、履历事件")) < all.indexOf(printed("三、检定/校准确认记录")));
        for (int pg = 0; pg < pages; ++pg) {
            QString page = read[pg];
            page.remove(' ');
            QVERIFY(page.contains(printed(QStringLiteral("第%1页共%2页").arg(pg + 1).arg(pages))));
            QVERIFY(page.contains(printed("计量器具编号：HC-1")));
            QVERIFY(page.contains(printed("报告编号")));
        }
    }

    void repairList()
    {
        const RecordKind k = kindOf(false);
        addRecords(k, "N-1", {"2003-01-01"});
        addRecords(k, "M-2", {"2002-01-01"});
        QString content;
        for (int i = 1; i <= 40; ++i)
            content += QStringLiteral("更换弹簧管第%1处，").arg(i);
        content += QStringLiteral("结束标记");
        handOver("N-1");
        f->state.options.GroupName = QStringLiteral("红星计量站");
        frmRepair w(f->state);
        w.setClock([] { return QDate(2024, 3, 6); });
        w.show();
        w.cmdAdd->click(); // typed but not yet written: printed all the same
        static_cast<QLineEdit*>(w.Text1[6])->setText(QStringLiteral("王五"));
        static_cast<MemoEdit*>(w.Text1[9])->setPlainText(content);
        const QString pdf = out.filePath("repairs.pdf");
        QVERIFY(w.printList(test::pdfPrinter(pdf, true).get()));

        const QStringList pages = test::pdfPages(pdf);
        QCOMPARE(pages.size(), 1);
        QString page = pages.first();
        page.remove(QLatin1Char(' '));
        for (const QString& word : frmRepair::textCaptions()
                 + QStringList{"计量器具修理记录", "红星计量站", "计量器具编号：N-1", "打印日期：2024-03-06",
                               "共2条记录", "第1页共1页", "N-1@", "王五", "2024-03-06", "结束标记"})
            QVERIFY2(page.contains(printed(word)), qPrintable(word));
        QVERIFY(!page.contains("M-2"));
        QVERIFY(f->prompt.messages.isEmpty());
    }
};

QTEST_MAIN(RecordEditorsTest)
#include "tst_recordeditors.moc"
