// The manual: a section for every window, its pictures, and F1 opening it
// at the section of the window in front.
#include "platform/HelpWindow.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

using namespace ravo;

namespace {

QString manualHtml()
{
    QFile f(QStringLiteral(":/help/ravo-help.html"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QList<HelpWindow*> helpWindows()
{
    QList<HelpWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* h = qobject_cast<HelpWindow*>(w))
            found << h;
    return found;
}

bool belongsTo(const QWidget* w, const QWidget* ancestor)
{
    for (; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
    HelpKeyFilter filter;

private slots:
    void initTestCase()
    {
        QVERIFY(HelpWindow::manualAvailable());
        qApp->installEventFilter(&filter);
    }
    void cleanup() { qDeleteAll(helpWindows()); }

    void everyWindowHasItsSection_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* w :
             {"frmMain", "frmOperation", "frmWaitProvide", "frmClose", "frmReject", "frmCertificate", "frmRepair",
              "frmCondition", "frmQuery", "frmOverDate", "frmPlanSetup", "frmProgram", "frmOptions", "frmUser",
              "frmLogin", "frmPassword", "frmAbout", "frmTip", "ReportCaption"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void everyWindowHasItsSection()
    {
        QFETCH(QString, window);
        const QString section = helpSectionFor(window);
        QVERIFY(!section.isEmpty());
        QVERIFY2(manualHtml().contains(QStringLiteral("<a name=\"%1\">").arg(section)), qPrintable(section));
    }

    void picturesAreThere()
    {
        static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
        int pictures = 0;
        for (const QRegularExpressionMatch& m : img.globalMatch(manualHtml())) {
            const QString path = QStringLiteral(":/help/") + m.captured(1);
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
            ++pictures;
        }
        QVERIFY(pictures > 0);
    }

    void f1_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("child"); // a window of its own above it, or empty
        QTest::addColumn<QString>("section");
        QTest::newRow("user management") << "frmUser"
                                         << ""
                                         << "usermanage";
        QTest::newRow("tip of the day") << "frmTip"
                                        << ""
                                        << "tip";
        QTest::newRow("a message box over the sign-in") << "frmLogin"
                                                        << "qt_msgbox"
                                                        << "login";
        QTest::newRow("a window without a section") << "somethingElse"
                                                    << ""
                                                    << "";
    }
    void f1()
    {
        QFETCH(QString, window);
        QFETCH(QString, child);
        QFETCH(QString, section);
        QDialog w;
        w.setObjectName(window);
        w.show();
        QDialog above(&w);
        above.setObjectName(child);
        QWidget* target = &w;
        if (!child.isEmpty()) {
            above.show();
            target = &above;
        }
        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(helpWindows().size(), 1);
        HelpWindow* help = helpWindows().first();
        QVERIFY(help->isVisible());
        QCOMPARE(help->browser()->source().fragment(), section);
        QVERIFY(!help->pageText().isEmpty());
        // Again: the same window.
        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(helpWindows().size(), 1);
        // F1 inside the manual opens nothing more.
        QTest::keyClick(help->browser(), Qt::Key_F1);
        QCOMPARE(helpWindows().size(), 1);
    }

    // Over a modal dialog the manual must belong to it, or the dialog would
    // keep the user from reading it.
    void f1InAModalDialog()
    {
        QWidget main;
        main.setObjectName(QStringLiteral("frmMain"));
        main.show();
        QTest::keyClick(&main, Qt::Key_F1);
        QCOMPARE(helpWindows().size(), 1);

        QDialog dialog(&main);
        dialog.setObjectName(QStringLiteral("frmOptions"));
        HelpWindow* inDialog = nullptr;
        QTimer::singleShot(0, &dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_F1);
            for (HelpWindow* h : helpWindows())
                if (belongsTo(h, &dialog))
                    inDialog = h;
            dialog.accept();
        });
        dialog.exec();
        QVERIFY(inDialog);
        QCOMPARE(inDialog->browser()->source().fragment(), QStringLiteral("options"));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
