// The printout of a result, read back from the PDF: the title, at most seven
// columns at their edges, 45 rows a page with the header on page 1 only, the
// closing count, and what stops a print (no title, no rows, portrait paper, a
// missing table, a cancel).
#include "PdfText.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"
#include "planning/ResultPrint.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>

using namespace ravo;
using namespace ravo::resultprint;

namespace {

const QString Result = tables::SearchResult;

QString cell(int row, int column)
{
    return QStringLiteral("R%1C%2").arg(row, 4, 10, QLatin1Char('0')).arg(column);
}

QString nfkc(const QString& s)
{
    return s.normalized(QString::NormalizationForm_KC);
}

// The rows of a page: its lines that hold a first cell.
QList<int> rowsOn(const QString& page)
{
    static const QRegularExpression first(QStringLiteral(R"(\bR(\d{4})C1\b)"));
    QList<int> rows;
    for (const QString& line : test::textLines(page))
        if (auto m = first.match(line); m.hasMatch())
            rows << m.captured(1).toInt();
    return rows;
}

} // namespace

class PrintQueryTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::Sandbox> box;
    std::unique_ptr<test::ScriptedPrompter> prompt;
    std::unique_ptr<ProgramState> state;
    QTemporaryDir out;
    QString pdf() const { return out.filePath(QStringLiteral("result.pdf")); }

    void makeResult(int columns, int rows, const QString& table = Result)
    {
        QStringList names;
        for (int c = 1; c <= columns; ++c)
            names << QStringLiteral("列%1").arg(c);
        Database& db = state->LedgerDatabase;
        QVERIFY(db.executeNative(QStringLiteral("DROP TABLE IF EXISTS \"%1\"").arg(table)).ok());
        QVERIFY(db.executeNative(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table, names.join(", "))).ok());
        Transaction t(db);
        const QString insert = QStringLiteral("INSERT INTO \"%1\" VALUES (%2)")
                                   .arg(table, QStringList(columns, QStringLiteral("?")).join(", "));
        for (int r = 1; r <= rows; ++r) {
            QVariantList values;
            for (int c = 1; c <= columns; ++c)
                values << cell(r, c);
            QVERIFY(db.executeNative(insert, values).ok());
        }
        QVERIFY(!t.commit());
    }

    // Prints through PrintQuery with the title typed, straight to a PDF.
    bool print(const std::optional<QString>& typed = DefaultTitle, bool landscape = true, const QString& table = Result)
    {
        prompt->inputs << typed;
        auto printer = test::pdfPrinter(pdf(), landscape);
        return PrintQuery(*state, table, DefaultTitle, nullptr, printer.get());
    }

    // The header's left edges in points from the paper's left edge.
    QVector<double> edges()
    {
        auto printer = test::pdfPrinter(out.filePath(QStringLiteral("measure.pdf")));
        LinePrinter lp(*printer);
        lp.setScaleMode(LinePrinter::ScaleMode::Pixels);
        const int u = int(std::floor(lp.textWidth(QStringLiteral("宽")))) + 1;
        const double left = printer->pageLayout().paintRectPoints().left();
        QVector<double> x;
        for (int i = 0; i <= MaxColumns; ++i)
            x << left + (FirstEdge + i * 10.0 * u) * 72.0 / 600.0;
        return x;
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
    }
    void cleanup()
    {
        state.reset();
        prompt.reset();
        box.reset();
    }

    void asksForTheTitle()
    {
        makeResult(3, 2);
        QVERIFY(print(QStringLiteral("  五月检索结果  ")));
        QCOMPARE(prompt->inputsShown.size(), 1);
        QCOMPARE(prompt->inputsShown[0].prompt, QStringLiteral("请输入打印的标题！如果为空则不打印标题！"));
        QCOMPARE(prompt->inputsShown[0].title, QStringLiteral("标题设置"));
        QCOMPARE(prompt->inputsShown[0].defaultText, QStringLiteral("检索结果"));
        QVERIFY(prompt->messages.isEmpty());
        // Trimmed, 14 points against the body's 10, at 5000 twips.
        const QVector<test::PdfWord> words = test::pdfWords(pdf());
        const test::PdfWord* title = test::findWord(words, QStringLiteral("五月检索结果"));
        const test::PdfWord* head = test::findWord(words, QStringLiteral("列1"));
        QVERIFY(title && head);
        QVERIFY(title->yMax - title->yMin > (head->yMax - head->yMin) * 1.3);
        auto printer = test::pdfPrinter(out.filePath(QStringLiteral("measure.pdf")));
        QVERIFY(qAbs(title->xMin - (printer->pageLayout().paintRectPoints().left() + 5000 / 20.0)) < 0.5);
    }

    void pagesOf45Rows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("perPage");
        QTest::newRow("one row") << 1 << QList<int>{1};
        QTest::newRow("44 rows") << 44 << QList<int>{44};
        QTest::newRow("45 rows fill page 1") << 45 << QList<int>{45, 0};
        QTest::newRow("46 rows") << 46 << QList<int>{45, 1};
        QTest::newRow("90 rows") << 90 << QList<int>{45, 45, 0};
        QTest::newRow("136 rows") << 136 << QList<int>{45, 45, 45, 1};
    }
    void pagesOf45Rows()
    {
        QFETCH(int, rows);
        QFETCH(QList<int>, perPage);
        makeResult(7, rows);
        QVERIFY(print());
        const QStringList pages = test::pdfPages(pdf());
        QCOMPARE(pages.size(), perPage.size());

        int next = 1;
        for (int p = 0; p < pages.size(); ++p) {
            const QList<int> onPage = rowsOn(pages[p]);
            QCOMPARE(onPage.size(), perPage[p]);
            for (int r : onPage)
                QCOMPARE(r, next++);
            const QStringList lines = test::textLines(pages[p]);
            // Title and header on page 1 only; later pages start with a row.
            if (p == 0) {
                QCOMPARE(lines[0].trimmed(), DefaultTitle);
                QVERIFY2(lines[1].contains(
                             QRegularExpression(QStringLiteral("列1\\s+列2\\s+列3\\s+列4\\s+列5\\s+列6\\s+列7"))),
                         qPrintable(lines[1]));
            } else {
                QVERIFY(!pages[p].contains(DefaultTitle));
                QVERIFY(!pages[p].contains(QStringLiteral("列1")));
                if (perPage[p] > 0)
                    QVERIFY2(lines[0].trimmed().startsWith(cell(onPage[0], 1)), qPrintable(lines[0]));
            }
        }
        QCOMPARE(next, rows + 1);

        // The count closes the last page, after its last row.
        const QRegularExpression count(nfkc(CountLabel).trimmed() + QStringLiteral("\\s+") + QString::number(rows)
                                       + "$");
        const QStringList last = test::textLines(pages.last());
        QVERIFY2(last.last().trimmed().contains(count), qPrintable(last.last()));
        for (int p = 0; p + 1 < pages.size(); ++p)
            QVERIFY(!pages[p].contains(nfkc(CountLabel).trimmed()));
    }

    void sevenColumnsAtMost_data()
    {
        QTest::addColumn<int>("columns");
        QTest::newRow("five columns") << 5;
        QTest::newRow("seven columns") << 7;
        QTest::newRow("nine columns") << 9;
    }
    void sevenColumnsAtMost()
    {
        QFETCH(int, columns);
        makeResult(columns, 2);
        QVERIFY(print());
        const QVector<test::PdfWord> words = test::pdfWords(pdf());
        const QVector<double> x = edges();
        const int printed = std::min(columns, MaxColumns);
        for (int c = 1; c <= columns; ++c) {
            const test::PdfWord* head = test::findWord(words, QStringLiteral("列%1").arg(c));
            const test::PdfWord* value = test::findWord(words, cell(2, c));
            if (c > printed) {
                QVERIFY(!head);
                QVERIFY(!value);
                continue;
            }
            QVERIFY(head);
            QVERIFY(value);
            QVERIFY2(qAbs(head->xMin - x[c - 1]) < 0.5,
                     qPrintable(QStringLiteral("%1 at %2, edge %3").arg(c).arg(head->xMin).arg(x[c - 1])));
            QVERIFY(qAbs(value->xMin - x[c - 1]) < 0.5);
            QVERIFY(value->yMin > head->yMin);
        }
    }

    void inUseLedgerPrintsItsFirstSevenColumns()
    {
        QVERIFY(state->LedgerDatabase
                    .executeNative(QStringLiteral(
                        "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称) VALUES ('JL-001', '游标卡尺')"))
                    .ok());
        QVERIFY(print(DefaultTitle, true, tables::InUse));
        const QStringList lines = test::textLines(test::pdfPages(pdf()).value(0));
        const QStringList header = lines.value(1).simplified().split(QLatin1Char(' '));
        QCOMPARE(header,
                 (QStringList{"计量器具编号", "计量器具类别", "计量器具种别", "计量器具名称", "规格型号", "准确度",
                              "准确度等级"}));
        QVERIFY(lines.value(2).contains(QRegularExpression(QStringLiteral("JL-001\\s+游标卡尺"))));
    }

    void emptyAndOddValuesKeepTheirColumns()
    {
        makeResult(4, 1);
        QVERIFY(state->LedgerDatabase
                    .executeNative(QStringLiteral("UPDATE \"%1\" SET 列2 = NULL, 列3 = '甲\n乙'").arg(Result))
                    .ok());
        QVERIFY(print());
        const QVector<test::PdfWord> words = test::pdfWords(pdf());
        const QVector<double> x = edges();
        const test::PdfWord* third = test::findWord(words, QStringLiteral("甲"));
        const test::PdfWord* fourth = test::findWord(words, cell(1, 4));
        QVERIFY(third && fourth);
        QVERIFY(qAbs(third->xMin - x[2]) < 0.5);
        QVERIFY(qAbs(fourth->xMin - x[3]) < 0.5);
        const test::PdfWord* broken = test::findWord(words, QStringLiteral("乙"));
        QVERIFY(broken);
        QCOMPARE(broken->yMin, third->yMin);
    }

    void noTitleNoPrint_data()
    {
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::newRow("cancelled") << std::optional<QString>();
        QTest::newRow("empty") << std::optional<QString>(QString());
        QTest::newRow("spaces") << std::optional<QString>(QStringLiteral("    "));
        QTest::newRow("ideographic spaces") << std::optional<QString>(QStringLiteral("　　"));
    }
    void noTitleNoPrint()
    {
        QFETCH(std::optional<QString>, typed);
        makeResult(3, 3);
        QVERIFY(!print(typed));
        QVERIFY(prompt->messages.isEmpty());
        QVERIFY(!QFileInfo::exists(pdf()));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("no rows") << 0 << true << Result << QStringLiteral("检索结果没有任何记录！")
                                 << QStringLiteral("提示") << int(Prompter::Icon::Critical);
        QTest::newRow("portrait") << 3 << false << Result
                                  << QStringLiteral("请将打印机的打印方向设置为横向！否则不能打印！") << AppTitle
                                  << int(Prompter::Icon::Critical);
        QTest::newRow("no table") << 3 << true << QStringLiteral("MSys不存在的表")
                                  << QStringLiteral("找不到数据表“MSys不存在的表”。") << AppTitle
                                  << int(Prompter::Icon::None);
    }
    void refusals()
    {
        QFETCH(int, rows);
        QFETCH(bool, landscape);
        QFETCH(QString, table);
        QFETCH(QString, message);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        makeResult(3, rows);
        QVERIFY(!print(DefaultTitle, landscape, table));
        QCOMPARE(prompt->messages.size(), 1);
        QCOMPARE(prompt->messages[0].text.section(QLatin1Char('\n'), 0, 0), message);
        QCOMPARE(prompt->messages[0].title, caption);
        QCOMPARE(int(prompt->messages[0].icon), icon);
        QCOMPARE(prompt->messages[0].buttons, Prompter::Buttons::Ok);
        QVERIFY(!QFileInfo::exists(pdf()));
    }

    void cancelLeavesNoFile_data()
    {
        QTest::addColumn<int>("stage");
        QTest::newRow("while laid out") << int(PrintStage::Layout);
        QTest::newRow("while written") << int(PrintStage::Output);
    }
    void cancelLeavesNoFile()
    {
        QFETCH(int, stage);
        makeResult(7, 200);
        auto printer = test::pdfPrinter(pdf());
        QList<int> seen;
        const PrintResult r =
            printDirect(*printer, *prompt, queryPrintRequest(state->LedgerDatabase.connection(), Result, DefaultTitle),
                        [&](PrintStage s, int done, int) {
                            if (int(s) == stage)
                                seen << done;
                            return !(int(s) == stage && done == 2);
                        });
        QCOMPARE(r.outcome, PrintOutcome::Cancelled);
        QCOMPARE(seen, (QList<int>{1, 2}));
        QVERIFY(prompt->messages.isEmpty());
        QVERIFY(!QFileInfo::exists(pdf()));
    }
};

QTEST_MAIN(PrintQueryTest)
#include "tst_printquery.moc"
