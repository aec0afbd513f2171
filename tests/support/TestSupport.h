#pragma once
// Shared helpers of the test programs: a fresh application folder with an
// empty ledger made from the schema, a fresh settings folder, a row put
// straight into a table, and (in ScriptedPrompter.h) a scripted
// prompter that answers the program's questions from a queue.
#include "core/JetTranslator.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantHash>
#include <memory>

namespace ravo {
class Database;
}

namespace ravo::test {

// A temporary application folder holding a fresh empty ravo.mdb, and a
// temporary settings folder that the settings store is pointed at.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    QString appDir() const { return m_app.path(); }
    QString settingsDir() const { return m_settings.path(); }
    QString databasePath() const { return m_app.path() + "/ravo.mdb"; }
    bool isValid() const { return m_ok; }

private:
    QTemporaryDir m_app;
    QTemporaryDir m_settings;
    bool m_ok = false;
};

// The private PostgreSQL cluster the test run starts (the ctest fixture
// pgcluster, scripts/pgcluster): where its socket is, from the folder named
// by RAVO_TEST_PGDIR; empty, with the reason in *why, when it is not there.
QString testServerHost(QString* why = nullptr);

// Opens `db` on a fresh, empty ledger on the test cluster: a database of
// this test program's own (made on first use, so that test programs running
// side by side never meet), its tables dropped and made again from the
// server schema. Empty on success, else what went wrong.
QString openFreshServerLedger(Database& db);

// Opens `db` on a fresh empty ledger of the engine: a new sandbox's ledger
// file (kept in *box), or a fresh ledger on the test cluster.
QString openFreshLedger(Engine engine, Database& db, std::unique_ptr<Sandbox>& box);

// Opens one more connection to the ledger `db` is on (a colleague's session).
QString openSecondSession(const Database& db, Database& other);

// Reads a text file whole (UTF-8).
QString readTextFile(const QString& path);

// Puts one row (column → value) straight into a table, bound as parameters;
// a refusal is reported as a warning naming the database's error.
bool insertRow(Database& db, const QString& table, const QVariantHash& row);

} // namespace ravo::test
