// The environment log: opened on the latest reading with the readings in
// date and time order, the empty log, typing readings one after another with
// Enter, Save that keeps the window open, refused dates and times, Exit.
#include "EditorFixture.h"
#include "editors/frmCondition.h"

#include <QLineEdit>
#include <QPushButton>

using namespace ravo;

namespace {

const QString Log = QStringLiteral("环境状况记录库");

QVariantHash reading(const QString& date, const QString& time, const QString& temperature)
{
    return {{"日期", date}, {"时间", time}, {"环境温度", temperature}, {"环境湿度", "55"}, {"大气压力", "101.3"}};
}

} // namespace

class FrmConditionTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::EditorFixture> f;

    QStringList table()
    {
        QStringList out;
        QSqlQuery q(f->db().connection());
        q.exec("SELECT \"ID\", 日期, 时间, 环境温度, 环境湿度, 大气压力 FROM 环境状况记录库 ORDER BY rowid");
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < 6; ++i)
                row << q.value(i).toString();
            out << row.join('|');
        }
        return out;
    }
    static void type(frmCondition& w, int field, const QString& text)
    {
        static_cast<QLineEdit*>(w.Text1[field])->setText(text);
    }

private slots:
    void init()
    {
        f = std::make_unique<test::EditorFixture>();
        QVERIFY(f->open);
    }
    void cleanup() { f.reset(); }

    void readingsInTimeOrder()
    {
        QVERIFY(f->insert(Log,
                          {reading("2004-01-01", "09:00:00", "c"), reading("2003-12-31", "23:59:59", "b"),
                           reading("2004-01-01", "14:30:00", "e"), reading("2003-02-01", "08:00:00", "a"),
                           reading("2004-01-01", "10:05:00", "d")}));
        frmCondition w(f->state);
        w.show();
        QCOMPARE(w.Data1->caption(), QStringLiteral("记录:5/5"));
        QCOMPARE(DataControl::fieldText(w.Text1[2]), QStringLiteral("e")); // the latest reading
        QString order;
        for (w.Data1->moveFirst(); !w.Data1->recordset().isEOF(); w.Data1->moveNext())
            order += DataControl::fieldText(w.Text1[2]);
        QCOMPARE(order, QStringLiteral("abcde"));
    }

    void typingReadingsOneAfterAnother()
    {
        frmCondition w(f->state);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.Data1->caption(), QStringLiteral("记录:0/0"));
        for (QWidget* field : w.Text1)
            QVERIFY(!field->isEnabled());
        w.cmdAdd->click();
        QCOMPARE(QApplication::focusWidget(), w.Text1[0]);
        const QStringList first = {"2024-3-6", "8:30", "20.5", "45", "101.2"};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(w.Text1[i]->isEnabled());
            type(w, i, first.at(i));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(QApplication::focusWidget(), w.cmdAdd);
        QTest::keyClick(w.cmdAdd, Qt::Key_Return); // the next reading
        QCOMPARE(QApplication::focusWidget(), w.Text1[0]);
        QCOMPARE(w.Data1->caption(), QStringLiteral("记录:0/1"));
        type(w, 0, "2024-03-06");
        type(w, 1, "14:00:00");
        w.cmdSave->click();
        QVERIFY(f->prompt.messages.isEmpty());
        QVERIFY(w.isVisible());
        QVERIFY(f->state.RequeryOnActivate);
        QCOMPARE(table(), QStringList({"1|2024-03-06|08:30:00|20.5|45|101.2", "2|2024-03-06|14:00:00|||"}));
    }

    // Saved twice, the second save writes nothing new; on a server too,
    // where the first save brings the window's books up to date with the
    // rows it wrote.
    void saveTwiceGivesTheSameRows_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }
    void saveTwiceGivesTheSameRows()
    {
        QFETCH(bool, server);
        if (server) {
            f = std::make_unique<test::EditorFixture>(Engine::Postgres);
            QVERIFY2(f->open, qPrintable(f->failure));
        }
        QVERIFY(f->insert(Log,
                          {reading("2003-01-01", "08:00:00", "18"), reading("2003-01-02", "08:00:00", "19"),
                           reading("2003-01-03", "08:00:00", "20")}));
        frmCondition w(f->state);
        w.show();
        w.Data1->moveFirst();
        w.cmdDelete->click();
        type(w, 2, "21");
        w.cmdAdd->click();
        type(w, 0, "2003-01-04");
        type(w, 2, "22");
        w.cmdSave->click();
        QStringList once = table();
        QCOMPARE(once.size(), 3);
        QVERIFY(once.contains("4|2003-01-04||22||"));
        type(w, 3, "60");
        w.cmdSave->click();
        QVERIFY2(f->prompt.messages.isEmpty(), qPrintable(f->prompt.messages.value(0).text));
        once.replaceInStrings("4|2003-01-04||22||", "4|2003-01-04||22|60|");
        QCOMPARE(table(), once);
        // Exit drops what was typed since.
        w.cmdAdd->click();
        type(w, 0, "2003-01-05");
        QCOMPARE(w.cmdExit->text(), QStringLiteral("退出(&E)"));
        w.cmdExit->click();
        QVERIFY(!w.isVisible());
        QCOMPARE(table(), once);
        QVERIFY(!f->db().tableExists(tables::EnvironmentWorking));
    }

    void refusesWhatIsNoDateOrTime_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("named");
        QTest::newRow("30 February") << 0 << "2003-2-30"
                                     << "日期";
        QTest::newRow("a word for a date") << 0 << "明天"
                                           << "日期";
        QTest::newRow("hour 25") << 1 << "25:00"
                                 << "时间";
        QTest::newRow("a word for a time") << 1 << "八点半"
                                           << "时间";
    }
    void refusesWhatIsNoDateOrTime()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QVERIFY(f->insert(Log, {reading("2003-01-01", "08:00:00", "18")}));
        const QStringList before = table();
        frmCondition w(f->state);
        w.show();
        w.cmdAdd->click();
        type(w, 2, "23");
        type(w, field, typed);
        w.cmdSave->click();
        QCOMPARE(f->prompt.messages.size(), 1);
        QFETCH(QString, named);
        QVERIFY2(f->prompt.messages[0].text.contains(named) && f->prompt.messages[0].text.contains(typed),
                 qPrintable(f->prompt.messages[0].text));
        QCOMPARE(table(), before);
        QVERIFY(w.isVisible());
        QCOMPARE(DataControl::fieldText(w.Text1[field]), typed);
        QCOMPARE(DataControl::fieldText(w.Text1[2]), QStringLiteral("23"));
    }
};

QTEST_MAIN(FrmConditionTest)
#include "tst_frmcondition.moc"
