// Status labels: the colour an instrument's label gets, the sheets and where
// labels fall on them, the settings kept between prints, the labels read from
// the ledgers, and labels printed to PDF whose QR codes scan back to their
// instruments' numbers.
#include "PdfText.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/Database.h"
#include "core/SettingsStore.h"
#include "platform/LabelPrint.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace ravo;

Q_DECLARE_METATYPE(LabelStatus)

namespace {

LabelSheet sheetNamed(const QString& start)
{
    for (const LabelSheet& s : presetLabelSheets())
        if (s.name.startsWith(start))
            return s;
    return {};
}

LabelData label(const QString& number, LabelStatus status)
{
    return {number,
            QStringLiteral("数显游标卡尺"),
            QStringLiteral("2026-03-01"),
            QStringLiteral("2027-02-28"),
            QStringLiteral("省计量院"),
            status};
}

} // namespace

class LabelsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void colourFromStatus_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("validUntil");
        QTest::addColumn<LabelStatus>("expected");
        const QString valid = QStringLiteral("2027-01-01");
        QTest::newRow("合格") << "合格" << valid << LabelStatus::Passed;
        QTest::newRow("测量标准") << "测量标准" << valid << LabelStatus::Passed;
        QTest::newRow("blank, still valid") << "" << valid << LabelStatus::Passed;
        QTest::newRow("准用") << "准用" << valid << LabelStatus::Limited;
        QTest::newRow("限用 with spaces") << " 限用 " << valid << LabelStatus::Limited;
        QTest::newRow("禁用") << "禁用" << valid << LabelStatus::Stopped;
        QTest::newRow("封存") << "封存" << valid << LabelStatus::Stopped;
        QTest::newRow("报废") << "报废" << valid << LabelStatus::Stopped;
        QTest::newRow("合格 but overdue") << "合格"
                                          << "2026-12-07" << LabelStatus::Stopped;
        QTest::newRow("准用, valid to today") << "准用"
                                              << "2026-12-08" << LabelStatus::Limited;
        QTest::newRow("unreadable date counts as valid") << "合格"
                                                         << "2026-13-01" << LabelStatus::Passed;
    }
    void colourFromStatus()
    {
        QFETCH(QString, status);
        QFETCH(QString, validUntil);
        QFETCH(LabelStatus, expected);
        QCOMPARE(labelStatusFor(status, validUntil, QDate(2026, 12, 8)), expected);
    }

    void sheetProblems_data()
    {
        QTest::addColumn<LabelSheet>("sheet");
        QTest::addColumn<QString>("problem"); // a part of the message; empty when printable
        for (const LabelSheet& s : presetLabelSheets())
            QTest::newRow(qPrintable(s.name)) << s << QString();
        LabelSheet own{CustomLabelSheetName, {210, 297}, 3, 8, {70, 37}, {0, 0}, {0, 0}};
        QTest::newRow("3 × 8 fills A4 exactly") << own << QString();
        LabelSheet wide = own;
        wide.gaps = {1, 0};
        QTest::newRow("a gap pushes the last column off") << wide << QStringLiteral("超出了 210 × 297 毫米的纸张");
        LabelSheet tiny = own;
        tiny.labelSize = {19, 30};
        QTest::newRow("too narrow for the code") << tiny << QStringLiteral("至少要 20 × 15 毫米");
        LabelSheet none = own;
        none.columns = 0;
        QTest::newRow("no columns") << none << QStringLiteral("列数应为 1～20");
        LabelSheet negative = own;
        negative.margins = {-1, 0};
        QTest::newRow("negative margin") << negative << QStringLiteral("不能是负数");
    }
    void sheetProblems()
    {
        QFETCH(LabelSheet, sheet);
        QFETCH(QString, problem);
        if (problem.isEmpty())
            QCOMPARE(sheet.problem(), QString());
        else
            QVERIFY2(sheet.problem().contains(problem), qPrintable(sheet.problem()));
    }

    void placing_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("startAt");
        QTest::addColumn<QString>("expected"); // page.index of each label
        QTest::newRow("from label 3") << "A4 不干胶 4" << 3 << 3 << "0.2 0.3 0.4";
        QTest::newRow("last label, then a new sheet") << "A4 不干胶 4" << 3 << 40 << "0.39 1.0 1.1";
        QTest::newRow("start beyond the sheet is its last label") << "A4 不干胶 3" << 2 << 99 << "0.23 1.0";
        QTest::newRow("label printer: one a page") << "标签打印机 40" << 3 << 1 << "0.0 1.0 2.0";
    }
    void placing()
    {
        QFETCH(QString, sheet);
        QFETCH(int, count);
        QFETCH(int, startAt);
        QFETCH(QString, expected);
        QStringList got;
        for (const LabelPlace& p : placeLabels(sheetNamed(sheet), count, startAt))
            got << QStringLiteral("%1.%2").arg(p.page).arg(p.index);
        QCOMPARE(got.join(' '), expected);
    }

    void settingsKept_data()
    {
        QTest::addColumn<QString>("columns"); // as the settings file holds it; empty: written by the program
        QTest::addColumn<int>("startAt");
        QTest::addColumn<QString>("expectedSheet");
        QTest::addColumn<int>("expectedStart");
        QTest::newRow("own sheet round trip") << "" << 5 << CustomLabelSheetName << 5;
        QTest::newRow("hand-edited sheet too wide") << "9" << 5 << sheetNamed("A4 不干胶 3").name << 5;
        QTest::newRow("start beyond its sheet") << "" << 41 << CustomLabelSheetName << 1;
    }
    void settingsKept()
    {
        QFETCH(QString, columns);
        QFETCH(int, startAt);
        QFETCH(QString, expectedSheet);
        QFETCH(int, expectedStart);
        test::Sandbox box;
        SettingsStore store;
        const LabelSheet own{CustomLabelSheetName, {100, 150}, 2, 5, {48, 28}, {1.5, 2.25}, {1, 0.5}};
        writeLabelSettings(store, {own, startAt});
        if (!columns.isEmpty())
            store.save(SettingsStore::MainApp, QStringLiteral("Labels"), QStringLiteral("Columns"), columns);
        const LabelSettings read = readLabelSettings(store);
        QCOMPARE(read.sheet.name, expectedSheet);
        if (expectedSheet == CustomLabelSheetName)
            QCOMPARE(read.sheet, own);
        QCOMPARE(read.startAt, expectedStart);
    }

    void labelsFromTheLedgers()
    {
        std::unique_ptr<test::Sandbox> box;
        Database db;
        QCOMPARE(test::openFreshLedger(Engine::Sqlite, db, box), QString());
        QVERIFY(test::insertRow(db, tables::InUse,
                                {{"计量器具编号", "A-1"},
                                 {"计量器具名称", "压力表"},
                                 {"状态", "合格"},
                                 {"检定日期", "2026-06-01"},
                                 {"有效日期", "2027-05-31"},
                                 {"检定单位", "本厂"}}));
        QVERIFY(test::insertRow(
            db, tables::Sealed,
            {{"计量器具编号", "S-1"}, {"计量器具名称", "天平"}, {"状态", "封存"}, {"有效日期", "2027-05-31"}}));
        QStringList missing;
        const QVector<LabelData> read = readLabelData(db, {"S-1", "X-9", "a-1"}, QDate(2026, 12, 8), &missing);
        QCOMPARE(read.size(), 2);
        QCOMPARE(read[0].number, QString("S-1"));
        QCOMPARE(read[0].status, LabelStatus::Stopped);
        QCOMPARE(read[1].number, QString("A-1")); // numbers compare without regard to case
        QCOMPARE(read[1].name, QString("压力表"));
        QCOMPARE(read[1].calibratingBody, QString("本厂"));
        QCOMPARE(read[1].status, LabelStatus::Passed);
        QCOMPARE(missing, QStringList{"X-9"});
    }

    // Labels printed to PDF: the paper has the sheet's size, and each label's
    // code, cut out of the rendered page where the sheet puts it, scans back
    // to its number; its band has its colour.
    void printedLabelsScanBack_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("startAt");
        QTest::newRow("A4 4 × 10 from label 6") << "A4 不干胶 4" << 6;
        QTest::newRow("A4 3 × 8 across two sheets") << "A4 不干胶 3" << 23;
        QTest::newRow("label printer 40 × 30") << "标签打印机 40" << 1;
    }
    void printedLabelsScanBack()
    {
        QFETCH(QString, sheet);
        QFETCH(int, startAt);
        for (const char* tool : {"zbarimg", "pdftoppm", "pdfinfo"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is missing (scripts/deps installs it)").arg(tool)));
        const LabelSheet s = sheetNamed(sheet);
        const QVector<LabelData> labels{label("A-I-000486", LabelStatus::Passed),
                                        label("B-07/12", LabelStatus::Limited),
                                        label("计量-0003", LabelStatus::Stopped)};
        const QString pdf = dir.filePath(QStringLiteral("labels-%1.pdf").arg(QTest::currentDataTag()));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const PrintRequest request = labelPrintRequest(labels, {s, startAt, std::nullopt});
        preparePrinter(printer, false, request.marginsMm, request.pageSizeMm);
        test::ScriptedPrompter prompt;
        QVERIFY(printDirect(printer, prompt, request, {}).ok());

        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished(30000));
        const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
        const QVector<LabelPlace> places = placeLabels(s, int(labels.size()), startAt);
        QVERIFY2(infoText.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\n").arg(places.last().page + 1))),
                 qPrintable(infoText));
        const QString size = QStringLiteral("%1 x %2 pts")
                                 .arg(qRound(s.pageSize.width() * 72 / 25.4))
                                 .arg(qRound(s.pageSize.height() * 72 / 25.4));
        QRegularExpression pageSize(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
        const QRegularExpressionMatch m = pageSize.match(infoText);
        QVERIFY2(m.hasMatch(), qPrintable(infoText));
        QCOMPARE(
            QStringLiteral("%1 x %2 pts").arg(qRound(m.captured(1).toDouble())).arg(qRound(m.captured(2).toDouble())),
            size);

        constexpr int Dpi = 300;
        const QString stem = dir.filePath(QStringLiteral("page-%1").arg(QTest::currentDataTag()));
        QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"), {"-r", QString::number(Dpi), "-png", pdf, stem}), 0);
        const QStringList pngs =
            QDir(dir.path()).entryList({QFileInfo(stem).fileName() + "-*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(pngs.size(), places.last().page + 1);
        const QColor bands[] = {QColor(0x3c, 0xb0, 0x4a), QColor(0xf6, 0xc8, 0x1c), QColor(0xe5, 0x39, 0x35)};
        for (int i = 0; i < labels.size(); ++i) {
            const QImage page(dir.filePath(pngs.at(places[i].page)));
            QVERIFY(!page.isNull());
            const QRectF mm = s.labelRect(places[i].index);
            const double px = Dpi / 25.4;
            const QRect cut(qRound(mm.left() * px), qRound(mm.top() * px), qRound(mm.width() * px),
                            qRound(mm.height() * px));
            const QString piece = dir.filePath(QStringLiteral("label-%1.png").arg(i));
            QVERIFY(page.copy(cut).save(piece));
            QProcess scan;
            scan.start(QStringLiteral("zbarimg"), {"--raw", "-q", piece});
            QVERIFY(scan.waitForFinished(30000));
            const QString code = QString::fromUtf8(scan.readAllStandardOutput());
            QCOMPARE(code.section('\n', 0, 0), labels[i].number);
            // The band's colour, a little below the label's top edge, right of its middle.
            const QColor band = page.pixelColor(cut.left() + cut.width() * 3 / 4, cut.top() + cut.height() / 20 + 3);
            const QColor want = bands[int(labels[i].status)];
            QVERIFY2(qAbs(band.red() - want.red()) < 24 && qAbs(band.green() - want.green()) < 24
                         && qAbs(band.blue() - want.blue()) < 24,
                     qPrintable(QStringLiteral("label %1: %2").arg(i).arg(band.name())));
        }
    }
};

QTEST_MAIN(LabelsTest)
#include "tst_labels.moc"
