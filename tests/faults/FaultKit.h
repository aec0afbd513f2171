#pragma once
// Shared by the fault tests: the operation runner (a child process built
// with the fault-injection hook), files compared byte for byte, and the
// state of a ledger file reduced to what must survive: the rows of each
// table, whatever their order.
#include "TestSupport.h"
#include "core/Database.h"
#include "core/Ledger.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <functional>

namespace ravo::test {

inline const QString RunnerProgram = QStringLiteral(RAVO_OPERATION_RUNNER);
// The exit status of a runner that the hook ended.
constexpr int EndedByHook = 86;

struct RunnerOutcome {
    int status = -1;
    QString errors;
};

inline RunnerOutcome runOperation(const QStringList& args)
{
    QProcess p;
    p.start(RunnerProgram, args);
    RunnerOutcome r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.errors = QStringLiteral("the runner did not finish");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline bool copyOver(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

// A fresh application folder holding a copy of a ledger made once per test
// program, and a fresh settings folder that the store is pointed at: making
// the ledger from the schema for every case would cost far more time than
// the case itself.
class FreshFolders {
public:
    explicit FreshFolders(const QString& ledger)
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        m_ok = m_app.isValid() && m_settings.isValid() && QFile::copy(ledger, databasePath());
    }
    QString appDir() const { return m_app.path(); }
    QString settingsDir() const { return m_settings.path(); }
    QString databasePath() const { return m_app.filePath(QStringLiteral("ravo.mdb")); }
    bool isValid() const { return m_ok; }

private:
    QTemporaryDir m_app;
    QTemporaryDir m_settings;
    bool m_ok = false;
};

// The tests need no ledger to outlive a power cut: the engine may leave the
// writing to the system instead of waiting for the disk at every commit.
// (The crash tests' runner keeps the engine's default.)
inline bool withoutWaitingForTheDisk(Database& db)
{
    return db.executeNative(QStringLiteral("PRAGMA synchronous = OFF")).ok();
}

inline const QStringList& ledgerTables()
{
    static const QStringList all = {tables::InUse,        tables::Sealed, tables::Scrapped,   tables::Stock,
                                    tables::Confirmation, tables::Repair, tables::Environment};
    return all;
}

// What a ledger file holds: per table a digest of its rows (in no
// particular order), and the instrument numbers of the three ledgers an
// instrument lives in.
struct LedgerState {
    QMap<QString, QByteArray> digests;
    QMap<QString, QStringList> numbers;
    QMap<QString, int> counts;
    QString integrity;
    bool operator==(const LedgerState& o) const { return digests == o.digests; }
};

inline QString rowText(const QSqlQuery& q)
{
    QStringList cells;
    for (int c = 0; c < q.record().count(); ++c)
        cells << (q.isNull(c) ? QStringLiteral("\u2400") : q.value(c).toString());
    return cells.join(QChar(0x1f));
}

// Digests and numbers of the ledger tables into `s`; `selectOf` gives the
// statement that reads a table's rows.
inline void readTables(QSqlQuery& q, LedgerState& s, const std::function<QString(const QString&)>& selectOf)
{
    for (const QString& table : ledgerTables()) {
        QStringList rows;
        if (!q.exec(selectOf(table))) {
            s.digests.insert(table, "unreadable: " + q.lastError().text().toUtf8());
            continue;
        }
        while (q.next())
            rows << rowText(q);
        rows.sort();
        s.counts.insert(table, int(rows.size()));
        s.digests.insert(table, QCryptographicHash::hash(rows.join(QChar(0x1e)).toUtf8(), QCryptographicHash::Sha1));
        if (table == tables::InUse || table == tables::Sealed || table == tables::Scrapped) {
            QStringList numbers;
            if (q.exec(QStringLiteral("SELECT 计量器具编号 FROM \"%1\"").arg(table)))
                while (q.next())
                    numbers << q.value(0).toString();
            s.numbers.insert(table, numbers);
        }
    }
    // The change history, when the ledger keeps one: what it says, without
    // the time it was written (a run a second later says the same).
    QStringList history;
    if (q.exec(QStringLiteral(
            "SELECT 账户, 数据表, 计量器具编号, 事件, 字段, 原值, 新值 FROM \"MSys履历\" ORDER BY \"ID\""))) {
        while (q.next())
            history << rowText(q);
        s.counts.insert(QStringLiteral("MSys履历"), int(history.size()));
        s.digests.insert(QStringLiteral("MSys履历"),
                         QCryptographicHash::hash(history.join(QChar(0x1e)).toUtf8(), QCryptographicHash::Sha1));
    }
}

inline LedgerState stateOf(const QSqlDatabase& c)
{
    LedgerState s;
    QSqlQuery q(c);
    q.exec(QStringLiteral("PRAGMA integrity_check"));
    s.integrity = q.next() ? q.value(0).toString() : q.lastError().text();
    readTables(q, s, [](const QString& table) { return QStringLiteral("SELECT * FROM \"%1\"").arg(table); });
    return s;
}

// Reads a ledger file without writing to it (a hot journal beside it is not
// rolled back: what is read is what a copy of the file alone would hold).
inline LedgerState stateOfFile(const QString& path)
{
    const QString name = QStringLiteral("faultkit-") + QUuid::createUuid().toString();
    LedgerState s;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        c.setDatabaseName(path);
        c.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (c.open())
            s = stateOf(c);
        else
            s.integrity = c.lastError().text();
        c.close();
    }
    QSqlDatabase::removeDatabase(name);
    return s;
}

// Every instrument number of the three ledgers, each as often as it occurs.
inline QStringList instrumentNumbers(const LedgerState& s)
{
    QStringList all =
        s.numbers.value(tables::InUse) + s.numbers.value(tables::Sealed) + s.numbers.value(tables::Scrapped);
    all.sort();
    return all;
}

// Which tables differ between two states, for failure messages.
inline QString differences(const LedgerState& a, const LedgerState& b)
{
    QStringList out;
    for (const QString& t : ledgerTables() + QStringList{QStringLiteral("MSys履历")})
        if (a.digests.value(t) != b.digests.value(t))
            out << QStringLiteral("%1 (%2 rows / %3 rows)").arg(t).arg(a.counts.value(t)).arg(b.counts.value(t));
    return out.join(QStringLiteral(", "));
}

} // namespace ravo::test
