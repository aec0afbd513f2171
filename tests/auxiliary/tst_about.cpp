// The About box: its system information and its scrolling picture; the
// splash's place on the screen.
#include "ProgramRun.h"
#include "auxiliary/frmAbout.h"
#include "auxiliary/frmSplash.h"
#include "platform/Units.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace ravo;
using namespace ravo::test;

class TestAbout : public QObject {
    Q_OBJECT

    std::unique_ptr<Run> run;

private slots:
    void init()
    {
        run = std::make_unique<Run>();
        QVERIFY(run->sandbox.isValid());
    }

    void systemInformation_data()
    {
        QTest::addColumn<QString>("source"); // "this computer", "nothing", "empty"
        QTest::newRow("this computer") << "this computer";
        QTest::newRow("not told") << "nothing";
        QTest::newRow("told nothing") << "empty";
    }
    void systemInformation()
    {
        QFETCH(QString, source);
        frmAbout about(run->state);
        if (source == "nothing")
            about.setSystemInfoSource([] { return std::nullopt; });
        else if (source == "empty")
            about.setSystemInfoSource([] { return std::optional<SystemInfo>(SystemInfo{}); });

        QStringList rows;
        if (source == "this computer") {
            QTimer::singleShot(0, this, [&rows] {
                auto* dialog = qobject_cast<SystemInfoDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                for (int i = 0; i < dialog->table()->rowCount(); ++i)
                    rows << dialog->table()->item(i, 0)->text() + "=" + dialog->table()->item(i, 1)->text();
                dialog->accept();
            });
        }
        about.cmdSysInfo->click();

        if (source != "this computer") {
            QCOMPARE(run->prompt.messages.size(), 1);
            QCOMPARE(run->prompt.messages[0].text, QStringLiteral("此时系统信息不可用"));
            QCOMPARE(run->prompt.messages[0].icon, Prompter::Icon::Critical);
            return;
        }
        QVERIFY(run->prompt.messages.isEmpty());
        QVERIFY2(rows.size() > 3, qPrintable(rows.join('\n')));
        QVERIFY(rows.first().startsWith(QStringLiteral("操作系统=")));
        QCOMPARE(rows.last(), QStringLiteral("台帐数据库=") + run->state.databasePath());
    }

    void picturesScrollsUpAndStops()
    {
        frmAbout about(run->state);
        about.show();
        QVERIFY(about.Timer1->isActive());
        QCOMPARE(about.image3Top(), 1300);
        QCOMPARE(about.Image3->pos(), QPoint(twipsToPixels(-40), twipsToPixels(1300)));
        int ticks = 0;
        while (about.Timer1->isActive() && ticks < 1000) {
            about.Timer1_Timer();
            ++ticks;
        }
        // 15 twips a tick until the top passes −7060.
        QCOMPARE(ticks, 558);
        QCOMPARE(about.image3Top(), 1300 - 558 * 15);
        QCOMPARE(about.Image3->y(), twipsToPixels(1300 - 558 * 15));
        // Where it stops, the picture still fills its frame.
        QVERIFY(about.Image3->geometry().bottom() >= about.picScroll->height() - 1);
        QVERIFY(about.Image3->geometry().right() >= about.picScroll->width() - 1);
        // Shown again, it starts again.
        about.hide();
        about.show();
        QCOMPARE(about.image3Top(), 1300);
        QVERIFY(about.Timer1->isActive());
    }

    void splashIsCentred()
    {
        frmSplash splash;
        splash.showNow();
        QVERIFY(splash.isVisible());
        const QRect logo(splash.picLogo->mapToGlobal(QPoint(0, 0)), splash.picLogo->size());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(logo.center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(logo.center().y() - screen.center().y()) <= 1);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
