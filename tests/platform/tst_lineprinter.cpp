// The line printer: the substituted 宋体, twips and pixels, the current
// position after printing, page breaks, the pages reaching a PDF only at the
// end of the document, cancelling, the progress window, and printing through
// the preview on landscape and portrait paper.
#include "PdfText.h"
#include "ScriptedPrompter.h"
#include "platform/LinePrinter.h"
#include "platform/PrintProgress.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace ravo;
using Scale = LinePrinter::ScaleMode;

class LinePrinterTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString pdf() const { return dir.filePath(QStringLiteral("out.pdf")); }

private slots:
    void init() { QFile::remove(pdf()); }

    void songTiStandsForAChineseFont()
    {
        installFontSubstitutes();
        const QString family = QFontInfo(QFont(SongTi)).family();
        const QStringList substitutes{QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                                      QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei")};
        QVERIFY2(substitutes.contains(family), qPrintable(family));
    }

    void scales_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("an inch in twips") << int(Scale::Twips) << 1440.0 << 600.0;
        QTest::newRow("5000 twips") << int(Scale::Twips) << 5000.0 << 5000.0 * 600 / 1440;
        QTest::newRow("150 pixels") << int(Scale::Pixels) << 150.0 << 150.0 * 1440 / 600;
    }
    void scales()
    {
        QFETCH(int, from);
        QFETCH(double, value);
        QFETCH(double, expected);
        auto printer = test::pdfPrinter(pdf());
        LinePrinter lp(*printer);
        QCOMPARE(lp.resolution(), 600);
        lp.setScaleMode(Scale(from));
        lp.setCurrentX(value);
        lp.setCurrentY(value);
        lp.setScaleMode(from == int(Scale::Twips) ? Scale::Pixels : Scale::Twips);
        QCOMPARE(lp.currentX(), expected);
        QCOMPARE(lp.currentY(), expected);
        // The printable area agrees in both scales.
        const double widthPx = printer->pageRect(QPrinter::DevicePixel).width();
        lp.setScaleMode(Scale::Twips);
        QCOMPARE(lp.scaleWidth(), widthPx * 1440 / 600);
        lp.setScaleMode(Scale::Pixels);
        QCOMPARE(lp.scaleWidth(), widthPx);
    }

    void positionAfterPrinting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("endLine");
        QTest::newRow("text, line ended") << QStringLiteral("计量器具") << true;
        QTest::newRow("text, line kept") << QStringLiteral("计量器具") << false;
        QTest::newRow("blank line") << QString() << true;
        QTest::newRow("nothing, line kept") << QString() << false;
    }
    void positionAfterPrinting()
    {
        QFETCH(QString, text);
        QFETCH(bool, endLine);
        auto printer = test::pdfPrinter(pdf());
        LinePrinter lp(*printer);
        lp.setScaleMode(Scale::Pixels);
        lp.setCurrentX(300);
        lp.setCurrentY(200);
        const double width = lp.textWidth(text);
        const double height = lp.textHeight();
        lp.print(text, endLine);
        QCOMPARE(lp.currentX(), endLine ? 0.0 : 300 + width);
        QCOMPARE(lp.currentY(), endLine ? 200 + height : 200.0);
        QCOMPARE(lp.pages().texts(0), text.isEmpty() ? QStringList() : QStringList{text});
    }

    void lineRunningOffThePageStartsANewOne()
    {
        auto printer = test::pdfPrinter(pdf());
        LinePrinter lp(*printer);
        const int fit = int(lp.scaleHeight() / lp.textHeight());
        for (int i = 0; i < fit; ++i)
            lp.print(QStringLiteral("行%1").arg(i));
        QCOMPARE(lp.page(), 1);
        lp.print(QStringLiteral("下一页"));
        QCOMPARE(lp.page(), 2);
        QCOMPARE(lp.pages().texts(1), QStringList{QStringLiteral("下一页")});
        QCOMPARE(lp.currentY(), lp.textHeight());
    }

    void pagesReachThePdfAtTheEnd()
    {
        auto printer = test::pdfPrinter(pdf());
        LinePrinter lp(*printer);
        lp.print(QStringLiteral("第一页 甲"), false);
        lp.print(QStringLiteral("乙"));
        lp.print(QStringLiteral("换行\n不分行"));
        lp.newPage();
        QCOMPARE(lp.currentY(), 0.0);
        lp.print(QStringLiteral("第二页"));
        QVERIFY(!QFileInfo::exists(pdf()));
        QVERIFY(lp.endDoc().ok());
        const QStringList pages = test::pdfPages(pdf());
        QCOMPARE(pages.size(), 2);
        const QStringList first = test::textLines(pages[0]);
        QCOMPARE(first.size(), 2);
        QVERIFY2(first[0].contains(QStringLiteral("第一页 甲乙")), qPrintable(first[0]));
        QVERIFY2(first[1].contains(QStringLiteral("换行 不分行")), qPrintable(first[1]));
        QCOMPARE(pages[1].trimmed(), QStringLiteral("第二页"));
    }

    void cancelledOutputLeavesNoFile_data()
    {
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<bool>("fileBefore");
        QTest::newRow("first page") << 1 << false;
        QTest::newRow("middle page") << 3 << false;
        QTest::newRow("last page") << 5 << false;
        QTest::newRow("over an older file") << 2 << true;
    }
    void cancelledOutputLeavesNoFile()
    {
        QFETCH(int, cancelAt);
        QFETCH(bool, fileBefore);
        if (fileBefore) {
            QFile old(pdf());
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        auto printer = test::pdfPrinter(pdf());
        LinePrinter lp(*printer);
        for (int i = 0; i < 5; ++i) {
            if (i)
                lp.newPage();
            lp.print(QStringLiteral("第%1页").arg(i + 1));
        }
        QList<int> seen;
        const PrintResult r = lp.endDoc([&](PrintStage stage, int done, int total) {
            [&] {
                QCOMPARE(stage, PrintStage::Output);
                QCOMPARE(total, 5);
            }();
            seen << done;
            return done < cancelAt;
        });
        QCOMPARE(r.outcome, PrintOutcome::Cancelled);
        QCOMPARE(seen.last(), cancelAt);
        QVERIFY(!QFileInfo::exists(pdf()));
    }

    void outputThatCannotBeWrittenSaysWhy()
    {
        auto printer = test::pdfPrinter(dir.filePath(QStringLiteral("no such folder/out.pdf")));
        LinePrinter lp(*printer);
        lp.print(QStringLiteral("内容"));
        const PrintResult r = lp.endDoc();
        QCOMPARE(r.outcome, PrintOutcome::Failed);
        QVERIFY2(r.error.startsWith(QStringLiteral("不能开始打印")), qPrintable(r.error));
    }

    void progressWindowOnlyForLongPrints_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("shown");
        QTest::newRow("one page") << 1 << false;
        QTest::newRow("a few pages") << PrintProgressWindow::FewPages << false;
        QTest::newRow("more") << PrintProgressWindow::FewPages + 1 << true;
    }
    void progressWindowOnlyForLongPrints()
    {
        QFETCH(int, pages);
        QFETCH(bool, shown);
        PrintProgressWindow window(nullptr);
        QVERIFY(window.update(PrintStage::Layout, 1, pages));
        QCOMPARE(window.dialog() != nullptr, shown);
        if (shown)
            QVERIFY(window.dialog()->isVisible());
    }

    void progressWindowCancelsUntilThePrinterHasThePages()
    {
        PrintProgressWindow window(nullptr);
        PrintProgress progress = window.callback();
        QVERIFY(progress(PrintStage::Layout, 1, 20));
        QVERIFY(progress(PrintStage::OutputToPrinter, 1, 20));
        QVERIFY(!window.dialog()->findChild<QPushButton*>());

        PrintProgressWindow second(nullptr);
        QVERIFY(second.update(PrintStage::Output, 1, 20));
        second.dialog()->findChild<QPushButton*>()->click();
        QVERIFY(!second.update(PrintStage::Output, 2, 20));
        QVERIFY(second.cancelled());
    }

    void previewShowsLandscapeAndRefusesPortrait()
    {
        test::ScriptedPrompter prompt;
        int layouts = 0;
        PrintRequest request;
        request.documentName = QStringLiteral("预览");
        request.layout = [&](LinePrinter& lp, const PrintProgress&) {
            ++layouts;
            lp.print(QStringLiteral("横向内容"));
            return PrintResult{};
        };
        auto printer = test::pdfPrinter(pdf());
        PrintPreviewSession session(nullptr, prompt, request);
        QPrintPreviewWidget preview(printer.get());
        connect(&preview, &QPrintPreviewWidget::paintRequested, &preview, [&](QPrinter* p) { session.paint(*p); });

        preview.updatePreview();
        QCOMPARE(layouts, 1);
        QCOMPARE(preview.pageCount(), 1);
        QVERIFY(!QFileInfo::exists(pdf()));
        QCOMPARE(session.result().outcome, PrintOutcome::Cancelled);

        // Portrait paper: the preview explains, the print is refused.
        preview.setOrientation(QPageLayout::Portrait);
        QCOMPARE(preview.pageCount(), 1);
        QVERIFY(prompt.messages.isEmpty());
        preview.print();
        QCOMPARE(session.result().outcome, PrintOutcome::Refused);
        QCOMPARE(prompt.messages.size(), 1);
        QCOMPARE(prompt.messages[0].text, LandscapeOnlyMessage);
        QCOMPARE(prompt.messages[0].icon, Prompter::Icon::Critical);
        QVERIFY(!QFileInfo::exists(pdf()));

        // Back to landscape: printed from the pages already laid out.
        preview.setOrientation(QPageLayout::Landscape);
        preview.print();
        QCOMPARE(session.result().outcome, PrintOutcome::Done);
        QCOMPARE(layouts, 1);
        QCOMPARE(test::pdfPages(pdf()).value(0).trimmed(), QStringLiteral("横向内容"));
    }
};

QTEST_MAIN(LinePrinterTest)
#include "tst_lineprinter.moc"
