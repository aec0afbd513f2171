#include "TestSupport.h"
#include "ProgramRun.h"
#include "core/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <sqlite3.h>

namespace ravo::test {

QString testServerHost(QString* why)
{
    const QString dir = qEnvironmentVariable("RAVO_TEST_PGDIR");
    const QString host = readTextFile(dir + QStringLiteral("/host")).trimmed();
    if (why && (dir.isEmpty() || host.isEmpty()))
        *why = QStringLiteral("no test cluster: RAVO_TEST_PGDIR=%1 has no host file; run through ctest, or "
                              "scripts/pgcluster start DIR and set RAVO_TEST_PGDIR=DIR")
                   .arg(dir);
    return dir.isEmpty() ? QString() : host;
}

namespace {

QString testDatabaseName()
{
    QString name = QStringLiteral("ravo_") + QCoreApplication::applicationName().toLower();
    for (QChar& c : name)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    return name;
}

ServerAddress testAddress(const QString& host, const QString& database)
{
    ServerAddress a;
    a.host = host;
    a.database = database;
    a.user = QStringLiteral("ravo");
    return a;
}

} // namespace

QString openFreshServerLedger(Database& db)
{
    QString why;
    const QString host = testServerHost(&why);
    if (host.isEmpty())
        return why;
    const QString name = testDatabaseName();
    static bool made = false;
    if (!made) {
        Database admin;
        if (const DbError e = admin.openServer(testAddress(host, QStringLiteral("postgres")), {}))
            return e.text();
        QSqlQuery q(admin.connection());
        q.prepare(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"));
        q.addBindValue(name);
        if (!q.exec())
            return q.lastError().text();
        if (!q.next()) {
            if (const DbResult r = admin.executeNative(QStringLiteral("CREATE DATABASE ") + name); !r.ok())
                return r.error.text();
        }
        made = true;
    }
    if (const DbError e = db.openServer(testAddress(host, name), {}))
        return e.text();
    // The session of the test before may still be letting go of its locks
    // when this one drops the tables; the server then ends one of the two as
    // a deadlock, and the set-up simply runs again.
    for (int attempt = 1;; ++attempt) {
        DbResult r = db.executeNative(QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"));
        if (r.ok())
            r = db.executeNative(QStringLiteral("CREATE SCHEMA public"));
        if (r.ok())
            break;
        if (r.error.kind != DbError::Kind::Busy || attempt == 5)
            return r.error.text();
        QThread::msleep(100 * attempt);
    }
    if (const DbError e = db.createServerLedger())
        return e.text();
    return {};
}

QString openFreshLedger(Engine engine, Database& db, std::unique_ptr<Sandbox>& box)
{
    if (engine == Engine::Postgres)
        return openFreshServerLedger(db);
    box = std::make_unique<Sandbox>();
    if (!box->isValid())
        return QStringLiteral("no sandbox");
    const DbError e = db.open(box->databasePath());
    return e ? e.text() : QString();
}

QString openSecondSession(const Database& db, Database& other)
{
    const QSqlDatabase c = db.connection();
    ServerAddress a = testAddress(c.hostName(), c.databaseName());
    const DbError e = other.openServer(a, {});
    return e ? e.text() : QString();
}

QString readTextFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

bool insertRow(Database& db, const QString& table, const QVariantHash& row)
{
    QStringList cols, marks;
    QVariantList values;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        cols << it.key();
        marks << QStringLiteral("?");
        values << it.value();
    }
    const DbResult r = db.executeNative(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                            .arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                                        values);
    if (!r.ok())
        qWarning("%s", qPrintable(r.error.text()));
    return r.ok();
}

Sandbox::Sandbox()
{
    if (!m_app.isValid() || !m_settings.isValid())
        return;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    const QByteArray schema = readTextFile(QStringLiteral(RAVO_SCHEMA_FILE)).toUtf8();
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath().toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    m_ok = !schema.isEmpty() && sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
}

Sandbox::~Sandbox() = default;

QMap<QString, QVariant> settingsSnapshot(SettingsStore& store)
{
    store.sync();
    QSettings file(store.fileName(SettingsStore::MainApp), QSettings::IniFormat);
    QMap<QString, QVariant> values;
    for (const QString& key : file.allKeys())
        values.insert(key, file.value(key));
    return values;
}

} // namespace ravo::test
