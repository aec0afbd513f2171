// Where an installed program keeps its ledger: its own folder when the user
// may write there, otherwise the user's data folder, filled once from the
// installed files and never overwritten.
#include "core/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ravo;

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

class TestDataFolder : public QObject {
    Q_OBJECT

private slots:
    void choosing_data()
    {
        QTest::addColumn<bool>("installedWritable");
        QTest::addColumn<QByteArray>("userLedger"); // already in the data folder; empty for none
        QTest::addColumn<QByteArray>("userTips");
        QTest::addColumn<QString>("expected");       // "installed" or "user"
        QTest::addColumn<QByteArray>("ledgerAfter"); // ravo.mdb of the chosen folder
        QTest::addColumn<QByteArray>("tipsAfter");
        QTest::newRow("writable program folder")
            << true << QByteArray() << QByteArray() << "installed" << QByteArray("empty ledger") << QByteArray("tips");
        QTest::newRow("first start") << false << QByteArray() << QByteArray() << "user" << QByteArray("empty ledger")
                                     << QByteArray("tips");
        QTest::newRow("later start") << false << QByteArray("my instruments") << QByteArray("my tips") << "user"
                                     << QByteArray("my instruments") << QByteArray("my tips");
        QTest::newRow("tip file deleted by the user") << false << QByteArray("my instruments") << QByteArray() << "user"
                                                      << QByteArray("my instruments") << QByteArray("tips");
    }
    void choosing()
    {
        QFETCH(bool, installedWritable);
        QFETCH(QByteArray, userLedger);
        QFETCH(QByteArray, userTips);
        QFETCH(QString, expected);
        QFETCH(QByteArray, ledgerAfter);
        QFETCH(QByteArray, tipsAfter);

        QTemporaryDir root;
        const QString installed = root.path() + "/lib/ravo";
        const QString user = root.path() + "/home/.local/share/RAVO";
        QVERIFY(QDir().mkpath(installed));
        write(installed + "/ravo.mdb", "empty ledger");
        write(installed + "/TIPOFDAY.TXT", "tips");
        QFile::setPermissions(installed + "/ravo.mdb",
                              QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (!userLedger.isEmpty() || !userTips.isEmpty())
            QVERIFY(QDir().mkpath(user));
        if (!userLedger.isEmpty())
            write(user + "/ravo.mdb", userLedger);
        if (!userTips.isEmpty())
            write(user + "/TIPOFDAY.TXT", userTips);

        QStringList asked;
        const DataFolder r = chooseDataFolder(installed, user, [&](const QString& folder) {
            asked << folder;
            return installedWritable;
        });
        QCOMPARE(asked, QStringList{installed});
        QCOMPARE(r.problem, QString());
        const QString folder = expected == "installed" ? installed : user;
        QCOMPARE(r.folder, folder);
        QCOMPARE(contents(folder + "/ravo.mdb"), ledgerAfter);
        QCOMPARE(contents(folder + "/TIPOFDAY.TXT"), tipsAfter);
        QCOMPARE(contents(installed + "/ravo.mdb"), QByteArray("empty ledger"));
        if (expected == "installed") {
            QVERIFY(!QFileInfo::exists(user));
            return;
        }
        // The user's copy is the user's to write, whatever the installed mode.
        QVERIFY(QFileInfo(user + "/ravo.mdb").permissions() & QFileDevice::WriteOwner);
    }

    void dataFolderCannotBeMade()
    {
        QTemporaryDir root;
        write(root.path() + "/file", "x");
        const DataFolder r =
            chooseDataFolder(root.path(), root.path() + "/file/RAVO", [](const QString&) { return false; });
        QVERIFY(r.problem.contains(QStringLiteral("无法创建数据文件夹")));
    }
};

QTEST_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
