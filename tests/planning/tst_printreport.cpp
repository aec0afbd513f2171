// The ledger report command: the title dialog ReportCaption (what it shows,
// stores and forgets) and the in-use ledger report read back from the PDF —
// heading and column header on every page, every instrument once in number
// order, "第 n 页 共 m 页", long values cut short, an empty ledger reported.
#include "PdfText.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"
#include "planning/DepartmentPrint.h"
#include "planning/LedgerReport.h"
#include "planning/ReportCaption.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

using namespace ravo;

namespace {

QString number(int i)
{
    return QStringLiteral("JL-%1").arg(i, 5, 10, QLatin1Char('0'));
}

QList<int> numbersOn(const QString& page)
{
    static const QRegularExpression re(QStringLiteral(R"(JL-(\d{5}))"));
    QList<int> out;
    for (auto it = re.globalMatch(page); it.hasNext();)
        out << it.next().captured(1).toInt();
    return out;
}

// A department and how many instruments it has. Instruments are numbered in
// the order they are entered; within a department each is due three days
// before the one entered before it, the last one ten days ago, so that the
// printout's date order is the reverse of the entry order.
struct DepartmentRows {
    QString department;
    int count;
};

// "使用部门：计量室（共 5 台）" or "…（共 5 台，续）"
const QRegularExpression& headingPattern()
{
    static const QRegularExpression re(QStringLiteral("使用部门:(.+)\\(共(\\d+)台(,续)?\\)"));
    return re;
}

} // namespace

Q_DECLARE_METATYPE(QList<DepartmentRows>)

class PrintReportTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::Sandbox> box;
    std::unique_ptr<test::ScriptedPrompter> prompt;
    std::unique_ptr<ProgramState> state;
    QTemporaryDir out;
    QString pdf() const { return out.filePath(QStringLiteral("report.pdf")); }

    void addInstruments(const QList<int>& numbers, const QString& name = QStringLiteral("数字压力计"))
    {
        Database& db = state->LedgerDatabase;
        Transaction t(db);
        for (int i : numbers)
            QVERIFY(db.executeNative(
                          QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 规格型号, 测量范围, "
                                         "准确度等级, 使用部门, 状态, 检定日期, 有效日期) "
                                         "VALUES (?, ?, 'YB-150', '0~1.6MPa', '0.4级', '计量室', '在用', "
                                         "'2024-03-01', '2025-02-28')"),
                          {number(i), name})
                        .ok());
        QVERIFY(!t.commit());
    }

    PrintResult printReport()
    {
        auto printer = test::pdfPrinter(pdf(), true, QMarginsF(12, 10, 12, 10));
        const LedgerReportHeading heading{state->options.RepCaption, state->options.GroupName, QDate(2024, 5, 6)};
        return printDirect(*printer, *prompt, ledgerReportRequest(state->LedgerDatabase.connection(), heading), {});
    }

    // Rows a page holds, from a layout of more instruments than fit.
    int rowsPerPage()
    {
        QList<int> many;
        for (int i = 1; i <= 60; ++i)
            many << 90000 + i;
        addInstruments(many);
        auto printer = test::pdfPrinter(pdf(), true, QMarginsF(12, 10, 12, 10));
        LinePrinter lp(*printer);
        const PrintResult r =
            layoutLedgerReport(lp, state->LedgerDatabase.connection(),
                               {state->options.RepCaption, state->options.GroupName, QDate(2024, 5, 6)});
        int rows = 0;
        for (const QString& t : lp.pages().texts(0))
            rows += t.startsWith(QStringLiteral("JL-")) ? 1 : 0;
        const bool emptied = state->LedgerDatabase.executeNative(QStringLiteral("DELETE FROM 计量器具在用库")).ok();
        return emptied && r.ok() && lp.pageCount() > 1 ? rows : -1;
    }

    // Lines (headings and instruments) a page of the department printout
    // holds, from a layout of more instruments than fit.
    int departmentLinesPerPage()
    {
        duelist::Group group{QStringLiteral("计量室"), {}};
        for (int i = 1; i <= 80; ++i)
            group.rows.append({{number(i), "", "", "", "", "", "2025-01-01"}, 0});
        auto printer = test::pdfPrinter(pdf(), true, QMarginsF(12, 10, 12, 10));
        LinePrinter lp(*printer);
        const PrintResult r = layoutDepartmentList(lp, {group}, {"t", "o", QDate(2024, 5, 6)});
        int lines = 0;
        for (const QString& t : lp.pages().texts(0))
            lines += t.startsWith(QStringLiteral("JL-")) || t.startsWith(QStringLiteral("使用部门")) ? 1 : 0;
        return r.ok() && lp.pageCount() > 1 ? lines : -1;
    }

private slots:
    void init()
    {
        QFile::remove(pdf());
        box = std::make_unique<test::Sandbox>();
        QVERIFY(box->isValid());
        prompt = std::make_unique<test::ScriptedPrompter>();
        state = std::make_unique<ProgramState>(box->appDir(), *prompt);
        QVERIFY(!state->LedgerDatabase.open(box->databasePath()));
        state->options.RepCaption = DefaultReportTitle;
        state->options.GroupName = QStringLiteral("华东计量检测中心");
    }
    void cleanup()
    {
        state.reset();
        prompt.reset();
        box.reset();
    }

    void captionDialogShowsTheStoredTitle()
    {
        ReportCaption dlg(*state);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("报表标题"));
        QCOMPARE(dlg.Label1->text(), QStringLiteral("报表标题："));
        QCOMPARE(dlg.OKButton->text(), QStringLiteral("确定(&O)"));
        QCOMPARE(dlg.CancelButton->text(), QStringLiteral("取消(&C)"));
        for (QObject* o : QList<QObject*>{dlg.Label1, dlg.txtReportCaption, dlg.OKButton, dlg.CancelButton})
            QCOMPARE(dlg.findChild<QObject*>(o->objectName()), o);
        QCOMPARE(dlg.txtReportCaption->objectName(), QStringLiteral("txtReportCaption"));

        state->options.RepCaption = QStringLiteral("二〇二四年在用计量器具台帐");
        dlg.show();
        QCOMPARE(dlg.txtReportCaption->text(), state->options.RepCaption);
        QCOMPARE(dlg.txtReportCaption->selectedText(), state->options.RepCaption);
    }

    void okStoresTheTitle_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("a title") << QStringLiteral("2024年度在用台帐");
        QTest::newRow("empty") << QString();
        QTest::newRow("quotes") << QStringLiteral("\"一车间\"台帐");
    }
    void okStoresTheTitle()
    {
        QFETCH(QString, typed);
        ReportCaption dlg(*state);
        dlg.PrintOnOK = false;
        QTimer::singleShot(0, &dlg, [&] {
            dlg.txtReportCaption->setText(typed);
            dlg.OKButton->click();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(state->options.RepCaption, typed);
        QVERIFY(
            state->settings.contains(SettingsStore::MainApp, QStringLiteral("Report"), QStringLiteral("RepCaption")));
        QCOMPARE(state->settings.read(SettingsStore::MainApp, QStringLiteral("Report"), QStringLiteral("RepCaption")),
                 typed);
    }

    void cancelStoresNothing()
    {
        ReportCaption dlg(*state);
        dlg.show();
        dlg.txtReportCaption->setText(QStringLiteral("不要的标题"));
        dlg.CancelButton->click();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(state->options.RepCaption, DefaultReportTitle);
        QVERIFY(
            !state->settings.contains(SettingsStore::MainApp, QStringLiteral("Report"), QStringLiteral("RepCaption")));
        dlg.show();
        QCOMPARE(dlg.txtReportCaption->text(), DefaultReportTitle);
    }

    void okPrintsTheLedgerReport()
    {
        addInstruments({1, 2});
        auto printer = test::pdfPrinter(pdf());
        ReportCaption dlg(*state);
        dlg.setDirectPrinter(printer.get());
        QTimer::singleShot(0, &dlg, [&] {
            dlg.txtReportCaption->setText(QStringLiteral("一季度在用台帐"));
            dlg.OKButton->click();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        const QStringList pages = test::pdfPages(pdf());
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(QStringLiteral("一季度在用台帐")));
        QVERIFY(pages[0].contains(QStringLiteral("华东计量检测中心")));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QVERIFY(pages[0].contains(QStringLiteral("打印日期:") + today));
        QCOMPARE(numbersOn(pages[0]), (QList<int>{1, 2}));
    }

    void pagesAndTheirNumbers_data()
    {
        QTest::addColumn<int>("extra"); // instruments beyond whole pages
        QTest::addColumn<int>("fullPages");
        QTest::newRow("one instrument") << 1 << 0;
        QTest::newRow("exactly one page") << 0 << 1;
        QTest::newRow("one on page 2") << 1 << 1;
        QTest::newRow("three pages") << 1 << 2;
    }
    void pagesAndTheirNumbers()
    {
        QFETCH(int, extra);
        QFETCH(int, fullPages);
        const int perPage = rowsPerPage();
        QVERIFY(perPage > 10);
        const int total = fullPages * perPage + extra;
        // Entered out of order; printed by number.
        QList<int> numbers;
        for (int i = total; i >= 1; --i)
            numbers << i;
        addInstruments(numbers);

        QVERIFY(printReport().ok());
        const QStringList pages = test::pdfPages(pdf());
        const int expected = fullPages + (extra ? 1 : 0);
        QCOMPARE(pages.size(), expected);
        int next = 1;
        for (int p = 0; p < pages.size(); ++p) {
            const QString& page = pages[p];
            QVERIFY(page.contains(DefaultReportTitle));
            QVERIFY(page.contains(QStringLiteral("华东计量检测中心")));
            QVERIFY(page.contains(QStringLiteral("打印日期:2024-05-06")));
            QVERIFY(page.contains(QStringLiteral("在用计量器具共 %1 台").arg(total)));
            QVERIFY(page.contains(QRegularExpression(QStringLiteral(
                "编号\\s+名称\\s+规格型号\\s+测量范围\\s+准确度等级\\s+使用部门\\s+状态\\s+检定日期\\s+有效日期"))));
            // pdftotext reads the narrow spaces of a CJK font as no space.
            const QString footer = test::textLines(page).last().remove(QLatin1Char(' '));
            QCOMPARE(footer, QStringLiteral("第%1页共%2页").arg(p + 1).arg(expected));
            const QList<int> rows = numbersOn(page);
            QCOMPARE(rows.size(), p + 1 < pages.size() ? perPage : total - p * perPage);
            for (int r : rows)
                QCOMPARE(r, next++);
        }
        QCOMPARE(next, total + 1);
    }

    void rowShowsEachColumnInItsPlace()
    {
        addInstruments({7});
        QVERIFY(printReport().ok());
        const QStringList lines = test::textLines(test::pdfPages(pdf()).value(0));
        const QString row = *std::find_if(lines.begin(), lines.end(),
                                          [](const QString& l) { return l.contains(QStringLiteral("JL-00007")); });
        QVERIFY2(row.simplified()
                     == QStringLiteral("JL-00007 数字压力计 YB-150 0~1.6MPa 0.4级 计量室 在用 2024-03-01 2025-02-28"),
                 qPrintable(row));
    }

    void longValuesAreCutShort()
    {
        addInstruments({1}, QStringLiteral("多功能过程校验仪附带压力模块及温度传感器成套装置"));
        QVERIFY(printReport().ok());
        const QVector<test::PdfWord> words = test::pdfWords(pdf());
        const test::PdfWord* name = nullptr;
        for (const test::PdfWord& w : words)
            if (w.text.startsWith(QStringLiteral("多功能")))
                name = &w;
        QVERIFY(name);
        QVERIFY2(name->text.endsWith(QStringLiteral("…")) || name->text.endsWith(QStringLiteral("...")),
                 qPrintable(name->text));
        const test::PdfWord* model = test::findWord(words, QStringLiteral("YB-150"));
        QVERIFY(model);
        QVERIFY(name->xMax < model->xMin);
    }

    // The groups as printed: each department once, under a heading with its
    // count, the instruments by date with their days left; a heading never
    // alone at a page's foot, and repeated with "续" when its group goes on.
    void departmentPrintout_data()
    {
        // A count of -1 stands for a page's lines minus 2, -2 for a page's
        // lines plus 3.
        QTest::addColumn<QList<DepartmentRows>>("departments");
        QTest::addColumn<QStringList>("order"); // headings in printed order
        QTest::addColumn<int>("pages");
        QTest::newRow("three departments in pinyin order, the blank one last, spaces trimmed")
            << QList<DepartmentRows>{{"一车间", 2}, {"", 1}, {"计量室", 2}, {" 计量室 ", 1}}
            << QStringList{"计量室", "一车间", "未填写"} << 1;
        QTest::newRow("a group goes on over the page")
            << QList<DepartmentRows>{{"二车间", 1}, {"计量室", -2}} << QStringList{"二车间", "计量室"} << 2;
        QTest::newRow("a heading is not left at the foot")
            << QList<DepartmentRows>{{"二车间", -1}, {"计量室", 2}} << QStringList{"二车间", "计量室"} << 2;
        QTest::newRow("nothing to print") << QList<DepartmentRows>{} << QStringList{} << 0;
    }
    void departmentPrintout()
    {
        QFETCH(QList<DepartmentRows>, departments);
        QFETCH(QStringList, order);
        QFETCH(int, pages);
        const int perPage = departmentLinesPerPage();
        QVERIFY(perPage > 10);

        // What each instrument must print as, and each department's size.
        const QDate today(2024, 5, 6);
        QHash<QString, QString> expectedLine;
        QHash<QString, int> sizes;
        QHash<QString, QStringList> byDate; // numbers in date order
        int id = 0;
        for (const DepartmentRows& dept : departments) {
            const int count = dept.count == -1 ? perPage - 2 : dept.count == -2 ? perPage + 3 : dept.count;
            // As pdftotext reads it back: full-width brackets as ASCII.
            const QString heading =
                (dept.department.trimmed().isEmpty() ? QStringLiteral("未填写") : dept.department.trimmed())
                    .normalized(QString::NormalizationForm_KC);
            for (int k = 0; k < count; ++k) {
                const QString no = number(++id);
                const int days = 3 * (count - 1 - k) - 10;
                const QString valid = today.addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
                QVERIFY(state->LedgerDatabase
                            .executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, "
                                                          "规格型号, 出厂编号, 保管员, 使用部门, 存放地点, 有效日期) "
                                                          "VALUES (?, '压力表', 'Y-100', ?, '王工', ?, '库房', ?)"),
                                           {no, QStringLiteral("S%1").arg(id), dept.department, valid})
                            .ok());
                expectedLine[no] =
                    QStringLiteral("%1 压力表 Y-100 S%2 王工 库房 %3 %4").arg(no).arg(id).arg(valid).arg(days);
                byDate[heading] << no;
            }
            sizes[heading] += count;
        }
        // Without a department the instrument has no heading of its own; a
        // department entered twice (once with spaces) is one group.
        for (auto it = byDate.begin(); it != byDate.end(); ++it)
            std::sort(it->begin(), it->end(), [&](const QString& a, const QString& b) {
                return std::make_pair(expectedLine[a].section(' ', 6, 6), a)
                    < std::make_pair(expectedLine[b].section(' ', 6, 6), b);
            });

        auto printer = test::pdfPrinter(pdf(), true, QMarginsF(12, 10, 12, 10));
        const bool printed =
            PrintByDepartment(*state, tables::InUse, QStringLiteral("到期设备清单"), today, nullptr, printer.get());
        QCOMPARE(printed, pages > 0);
        if (pages == 0) {
            QCOMPARE(prompt->messages.size(), 1);
            QCOMPARE(prompt->messages[0].text, departmentprint::EmptyMessage);
            QVERIFY(!QFileInfo::exists(pdf()));
            return;
        }

        const QStringList printedPages = test::pdfPages(pdf());
        QCOMPARE(printedPages.size(), pages);
        QStringList headingsSeen;
        QHash<QString, QStringList> rowsSeen;
        QString current;
        for (int p = 0; p < printedPages.size(); ++p) {
            const QStringList lines = test::textLines(printedPages[p]);
            QVERIFY(printedPages[p].contains(QStringLiteral("华东计量检测中心")));
            QVERIFY(printedPages[p].contains(QStringLiteral("到期设备清单")));
            QVERIFY(printedPages[p].contains(QStringLiteral("打印日期:2024-05-06")));
            QVERIFY(printedPages[p].contains(QRegularExpression(QStringLiteral(
                "计量器具编号\\s+计量器具名称\\s+规格型号\\s+出厂编号\\s+保管员\\s+存放地点\\s+有效日期\\s+距到期天数"))));
            QCOMPARE(QString(lines.last()).remove(QLatin1Char(' ')),
                     QStringLiteral("第%1页共%2页").arg(p + 1).arg(pages));
            bool first = true;
            for (const QString& line : lines) {
                const QString flat = QString(line).remove(QLatin1Char(' '));
                const auto heading = headingPattern().match(flat);
                if (heading.hasMatch()) {
                    const QString name = heading.captured(1);
                    QCOMPARE(heading.captured(2).toInt(), sizes.value(name));
                    // A heading seen before comes again only at a page's top.
                    const bool continued = !heading.captured(3).isEmpty();
                    QCOMPARE(continued, headingsSeen.contains(name));
                    QVERIFY2(!continued || first, qPrintable(line));
                    if (!continued)
                        headingsSeen << name;
                    current = name;
                    first = false;
                    continue;
                }
                const QString no = line.simplified().section(' ', 0, 0);
                if (!expectedLine.contains(no))
                    continue;
                QVERIFY2(!first, "a page starts with its group's heading");
                QCOMPARE(line.simplified(), expectedLine[no]);
                rowsSeen[current] << no;
            }
            // The last line before the footer is an instrument, not a heading.
            QVERIFY2(!headingPattern().match(QString(lines.value(lines.size() - 2)).remove(' ')).hasMatch(),
                     qPrintable(lines.value(lines.size() - 2)));
        }
        for (QString& name : order)
            name = name.normalized(QString::NormalizationForm_KC);
        QCOMPARE(headingsSeen, order);
        for (const QString& name : order)
            QCOMPARE(rowsSeen[name], byDate[name]);
    }

    void emptyLedgerIsReported()
    {
        auto printer = test::pdfPrinter(pdf());
        QVERIFY(!PrintLedgerReport(*state, nullptr, printer.get()));
        QCOMPARE(prompt->messages.size(), 1);
        QCOMPARE(prompt->messages[0].text, ledgerreport::EmptyMessage);
        QCOMPARE(prompt->messages[0].title, QStringLiteral("提示"));
        QCOMPARE(prompt->messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(!QFileInfo::exists(pdf()));
    }
};

QTEST_MAIN(PrintReportTest)
#include "tst_printreport.moc"
