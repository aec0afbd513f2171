#pragma once
// The ledger database: one SQLite file (ravo.mdb) reached through QtSql.
// Statements are written in the old engine's dialect and pass through the
// translator before SQLite runs them; every statement runs inside a savepoint
// so that a failure leaves the database as it was.
#include "DbError.h"
#include "JetTranslator.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>

struct sqlite3;

namespace ravo {

// A table or column name written for SQLite: between double quotes, a
// double quote inside doubled.
QString quotedIdentifier(const QString& name);

// False when the file is shorter than the database in it says it is (an
// interrupted copy, a full disk): the engine reads the missing end as zeros,
// which none of its own checks notices. The handle must have read the file
// already, so that a journal left beside it by a crash has been rolled back.
bool isWholeDatabaseFile(sqlite3* handle, const QString& path);

class Database : public SchemaCatalogue {
public:
    Database();
    ~Database() override;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file (a missing file is an error, never
    // created silently). Refuses a file that is cut short or read-only;
    // writes nothing to the file.
    DbError open(const QString& path);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    QSqlDatabase connection() const;
    sqlite3* handle() const;

    // Translates one statement of the old dialect and runs it.
    DbResult execute(const QString& jet);
    // Runs one SQLite statement with bound values (no translation).
    DbResult executeNative(const QString& sql, const QVariantList& binds = {});
    // Runs one statement through the scratch query: translate, execute and
    // keep its text, all in one transaction.
    DbResult runScratch(const QString& jet);
    // The text of the last statement run through the scratch query.
    QString scratchText() const;
    // Keeps a statement's text in the scratch query without running it: for
    // work that has the statement's effect but is done in smaller steps (a
    // working copy made with its rows' origin, a commit of the changed rows).
    DbError keepScratchText(const QString& jet);

    // The table catalogue in the old engine's order (Chinese pinyin order).
    // Working tables ("MSys…") and temporary ones ("~…") are left out unless
    // asked for; SQLite's own tables never appear.
    QStringList tables(bool includeHidden = false) const;
    bool tableExists(const QString& table) const;
    QStringList columns(const QString& table) const override;
    QString createSql(const QString& table) const override;

    // Savepoints, used by Transaction.
    DbError savepoint(const QString& name);
    DbError release(const QString& name);
    void rollbackTo(const QString& name);
    int nextSavepointId() { return ++m_savepoints; }

    // Writes a new database file from the schema text. An existing file is
    // left alone and reported.
    static DbError createFromSchema(const QString& path, const QString& schemaSql);

private:
    DbResult runTranslated(const Translation& t, const QString& jet);

    QString m_connectionName;
    QString m_path;
    int m_savepoints = 0;
};

// All-or-nothing work on the database: rolls back everything done since it
// began unless commit() was called and succeeded. Nests through savepoints.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    const DbError& error() const { return m_error; } // failure to begin
    DbError commit();
    void rollback();

private:
    Database& m_db;
    QString m_name;
    bool m_active = false;
    DbError m_error;
};

} // namespace ravo
