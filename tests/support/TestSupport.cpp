#include "TestSupport.h"
#include "ProgramRun.h"
#include "core/Database.h"

#include <QFile>
#include <QSettings>
#include <sqlite3.h>

namespace ravo::test {

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
