// The road a user takes most: pick an instrument in the grid, open the in-use
// ledger editor on it, scrap it, confirm with OK; the grid no longer lists it
// and the scrapped ledger holds it.
#include "MainWindowTestKit.h"
#include "editors/frmOperation.h"

#include <QApplication>
#include <QTableView>
#include <QTimer>

using namespace ravo;
using namespace ravo::test;

class TypicalRoadTest : public QObject {
    Q_OBJECT
private slots:
    void scrapFromTheGrid()
    {
        MainRun run;
        run.prepare(
            {QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 配套设备) VALUES "
                            "('A-001', '游标卡尺', '测量爪'), ('A-002', '千分尺', NULL), ('A-003', '百分表', NULL)")});
        QVERIFY(run.open());
        run.window->commands->setOpensWindows(true);
        QCOMPARE(run.window->resultCount(), 3);

        // The user clicks the number of the second instrument.
        QTableView* grid = run.window->DBGridListBook;
        grid->setCurrentIndex(grid->model()->index(1, 0));

        bool editorSeen = false;
        QString positionedOn;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<frmOperation*>(QApplication::activeModalWidget());
            QVERIFY(editor);
            editorSeen = true;
            positionedOn = editor->Data1->recordset().value(QStringLiteral("计量器具编号")).toString();
            editor->scrap(); // the question is answered OK by the prompter
            editor->save();
        });
        run.window->commands->mnuEditEquipment->trigger();

        QVERIFY(editorSeen);
        QCOMPARE(run.state.SelectedNumber, QStringLiteral("A-002"));
        QCOMPARE(positionedOn, QStringLiteral("A-002"));
        QCOMPARE(run.prompt.messages.size(), 1);
        QCOMPARE(run.prompt.messages.at(0).text, QStringLiteral("你确认要将编号为：“A-002”的“千分尺”报废吗？"));
        // Back in the main window: the grid was rebuilt without it.
        QCOMPARE(run.window->resultCount(), 2);
        QCOMPARE(run.count(tables::InUse), 2);
        QCOMPARE(run.count(tables::Scrapped), 1);
        QCOMPARE(run.window->panelText(1), QStringLiteral("共从数据库中检索到 2 条记录"));
        QVERIFY(!run.db().tableExists(tables::working(tables::InUse)));
    }
};

QTEST_MAIN(TypicalRoadTest)
#include "tst_typicalroad.moc"
