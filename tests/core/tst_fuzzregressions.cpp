// Replays through the fuzz targets' own checks every input a fuzzer once
// tripped over (fuzz/regressions/<target>/) and the seeds the fuzzers start
// from (fuzz/corpus/<target>/), so that a fault found once stays fixed and
// the checks' promises hold for the program's typical statements, dates and
// settings files in every test run.
#include "FuzzChecks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT
private slots:
    void replays_data();
    void replays();
};

void TestFuzzRegressions::replays_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    const QDir fuzz(QStringLiteral(RAVO_FUZZ_DIR));
    int regressions = 0;
    for (const QString& kind : {QStringLiteral("regressions"), QStringLiteral("corpus")}) {
        for (const QString& target :
             {QStringLiteral("translator"), QStringLiteral("dates"), QStringLiteral("settings")}) {
            const QDir dir(fuzz.filePath(kind + QLatin1Char('/') + target));
            const QStringList files = dir.entryList(QDir::Files, QDir::Name);
            for (const QString& f : files) {
                const QString row = kind + QLatin1Char('/') + target + QLatin1Char('/') + f;
                QTest::newRow(qPrintable(row)) << target << dir.filePath(f);
                regressions += kind == QLatin1String("regressions") ? 1 : 0;
            }
        }
    }
    // The saved findings are part of the repository; none found means the
    // folder moved.
    QVERIFY(regressions > 0);
}

void TestFuzzRegressions::replays()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray input = f.readAll();
    QString problem;
    if (target == QLatin1String("translator")) {
        problem = ravo::fuzz::checkTranslator(input);
    } else if (target == QLatin1String("dates")) {
        problem = ravo::fuzz::checkDates(input);
    } else {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        problem = ravo::fuzz::checkSettings(input, folder.path());
    }
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
