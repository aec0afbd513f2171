// The tip of the day: the tips of TIPOFDAY.TXT, the random pick, the missing
// file, and the start-up check box.
#include "ProgramRun.h"
#include "auxiliary/frmTip.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStringEncoder>
#include <QtTest>
#include <memory>

using namespace ravo;
using namespace ravo::test;

class TestTip : public QObject {
    Q_OBJECT

    struct TipRun : Run {
        void writeTips(const QByteArray& bytes)
        {
            QFile f(sandbox.appDir() + "/TIPOFDAY.TXT");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        QString stored() { return state.settings.read(SettingsStore::MainApp, "Options", "在启动时显示提示"); }
    };
    std::unique_ptr<TipRun> run;

private slots:
    void init()
    {
        run = std::make_unique<TipRun>();
        QVERIFY(run->sandbox.isValid());
    }

    void tips_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("three lines") << QByteArray("第一条\n第二条\n第三条\n")
                                     << QStringList{"第一条", "第二条", "第三条"};
        QTest::newRow("no line end at the end")
            << QByteArray("第一条\n第二条\n第三条") << QStringList{"第一条", "第二条", "第三条"};
        QTest::newRow("a trailing empty line")
            << QByteArray("第一条\n第二条\n第三条\n\n") << QStringList{"第一条", "第二条", "第三条", ""};
        QTest::newRow("Windows line ends") << QByteArray("甲\r\n乙\r\n\r\n") << QStringList{"甲", "乙", ""};
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF甲\n乙\n") << QStringList{"甲", "乙"};
        QTest::newRow("an empty line inside") << QByteArray("甲\n\n乙\n") << QStringList{"甲", "", "乙"};
        QStringEncoder gb("GB18030");
        QTest::newRow("written by Chinese Windows")
            << QByteArray(gb(QStringLiteral("按回车跳到下一栏\r\n日期可以写成 2003年3月28日\r\n")))
            << QStringList{"按回车跳到下一栏", "日期可以写成 2003年3月28日"};
        QTest::newRow("an empty file") << QByteArray() << QStringList{};
    }
    void tips()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, tips);
        run->writeTips(file);
        frmTip tip(run->state);
        QCOMPARE(tip.tips(), tips);
        QVERIFY(tip.chkLoadTipsAtStartup->isChecked());
        if (tips.isEmpty()) {
            QCOMPARE(tip.CurrentTip, 0);
            tip.cmdNextTip->click();
            QCOMPARE(tip.lblTipText->text(), QString());
            return;
        }
        // Every click shows one of the tips, each of them in time, and now
        // and then the same one again.
        QSet<QString> seen;
        int repeats = 0;
        QString last = tip.lblTipText->text();
        QVERIFY(tips.contains(last));
        QCOMPARE(tip.lblTipText->text(), tips.at(tip.CurrentTip - 1));
        for (int i = 0; i < 300; ++i) {
            tip.cmdNextTip->click();
            const QString shown = tip.lblTipText->text();
            QVERIFY2(tips.contains(shown), qPrintable(shown));
            QCOMPARE(shown, tips.at(tip.CurrentTip - 1));
            seen.insert(shown);
            repeats += shown == last;
            last = shown;
        }
        QCOMPARE(seen, QSet<QString>(tips.begin(), tips.end()));
        QVERIFY(repeats > 0);
    }

    void missingFile()
    {
        frmTip tip(run->state);
        QVERIFY(tip.tips().isEmpty());
        QCOMPARE(tip.lblTipText->text(),
                 QStringLiteral("文件 TIPOFDAY.TXT 没有被找到吗? \r\n\r\n创建文本文件名为 TIPOFDAY.TXT "
                                "使用记事本每行写一条提示。 然后将它存放在应用程序所在的目录 "));
        tip.cmdNextTip->click();
        QVERIFY(tip.lblTipText->text().startsWith(QStringLiteral("文件 TIPOFDAY.TXT")));
    }

    void startupCheckBox()
    {
        run->writeTips("甲\n");
        frmTip tip(run->state);
        tip.chkLoadTipsAtStartup->click();
        // Written at once, not when the window closes.
        QCOMPARE(run->stored(), QStringLiteral("0"));
        QCOMPARE(run->state.ShowTipsAtStartup, 0);
        tip.chkLoadTipsAtStartup->click();
        QCOMPARE(run->stored(), QStringLiteral("1"));
        QCOMPARE(run->state.ShowTipsAtStartup, 1);
        tip.chkLoadTipsAtStartup->click();
        tip.cmdOK->click();
        QCOMPARE(run->stored(), QStringLiteral("0"));
        // The next start does not show it: the window closes as it opens.
        frmTip next(run->state);
        QCOMPARE(next.exec(), int(QDialog::Rejected));
        QVERIFY(!next.isVisible());
        QCOMPARE(next.CurrentTip, 0);
    }
};

QTEST_MAIN(TestTip)
#include "tst_tip.moc"
