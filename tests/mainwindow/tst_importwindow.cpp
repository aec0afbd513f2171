// The import window over the main window: the file's header found under its
// title, the refused rows listed, all-or-nothing refusing, a changed column
// mapping, and a finished import showing in the main window's grid.
#include "MainWindowTestKit.h"
#include "mainwindow/frmImport.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>

using namespace ravo;
using namespace ravo::test;

namespace {

QString writeCsv(const QTemporaryDir& dir, const QString& name, const QString& text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(text.toUtf8());
    return path;
}

} // namespace

class TestImportWindow : public QObject {
    Q_OBJECT
private slots:
    void refusesThenImports()
    {
        MainRun run;
        QVERIFY(run.open());
        run.chooseTable(tables::InUse);
        QTemporaryDir dir;
        const QString bad = writeCsv(dir, QStringLiteral("台帐.csv"),
                                     QStringLiteral("某厂计量器具台帐\n序号,管理编号,器具名称,有效期至,说明\n"
                                                    "1,K-1,卡尺,2024/1/31,甲\n2,K-1,千分尺,2024/2/1,乙\n"
                                                    "3,K-2,表,2024年3月1日,丙\n"));
        frmImport window(run.state, run.window.get());
        QVERIFY(window.openFile(bad));
        QCOMPARE(window.plan()->headerRow, 1);
        QCOMPARE(window.grdRefused->rowCount(), 1);
        QCOMPARE(window.grdRefused->item(0, 0)->text(), QStringLiteral("4"));
        QVERIFY2(window.lblSummary->text().contains(QStringLiteral("将导入 2 行，不能导入 1 行")),
                 qPrintable(window.lblSummary->text()));
        QCOMPARE(window.grdPreview->item(1, 3)->text(), QStringLiteral("2024-03-01"));

        // All or nothing: the refused row keeps every row out.
        window.cmdImport->click();
        QCOMPARE(run.prompt.messages.size(), 1);
        QVERIFY(run.prompt.messages[0].text.contains(QStringLiteral("没有导入任何数据")));
        QCOMPARE(run.count(tables::InUse), 0);

        // The remark column left out: the preview loses it.
        const int before = window.grdPreview->columnCount();
        window.setTarget(4, QString());
        QCOMPARE(window.grdPreview->columnCount(), before - 1);

        const QString good =
            writeCsv(dir, QStringLiteral("好.csv"),
                     QStringLiteral("管理编号,器具名称,有效期至\nK-1,卡尺,2024/1/31\nK-2,表,20240301\n"));
        QVERIFY(window.openFile(good));
        QVERIFY(window.cmdImport->isEnabled());
        run.prompt.clear();
        window.cmdImport->click();
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(run.prompt.messages.size(), 1);
        QVERIFY(run.prompt.messages[0].text.contains(QStringLiteral("导入 2 行")));
        QCOMPARE(run.count(tables::InUse), 2);
        QVERIFY(run.state.RequeryOnActivate);
        run.window->activate();
        QCOMPARE(run.window->DBGridListBook->model()->rowCount(), 2);
    }

    void unreadableFileIsNamed()
    {
        MainRun run;
        QVERIFY(run.open());
        QTemporaryDir dir;
        const QString path = writeCsv(dir, QStringLiteral("名单.txt"), QStringLiteral("a,b\n"));
        frmImport window(run.state, run.window.get());
        QVERIFY(!window.openFile(path));
        QCOMPARE(run.prompt.messages.size(), 1);
        QVERIFY(run.prompt.messages[0].text.contains(QStringLiteral(".txt")));
        QVERIFY(!window.cmdImport->isEnabled());
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
