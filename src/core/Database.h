#pragma once
// The ledger database: one SQLite file (ravo.mdb) reached through QtSql, or
// a ledger on a PostgreSQL server (QPSQL). Statements are written in the old
// engine's dialect and pass through the translator before the engine runs
// them; every statement runs inside a savepoint (on the server, inside a
// transaction) so that a failure leaves the database as it was.
#include "DbError.h"
#include "JetTranslator.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;
struct sqlite3;

namespace ravo {

// Where a ledger on a server is: the libpq-style connection text
// "host=H port=P dbname=D user=U" (values may stand between single quotes).
// The password never belongs to it: it is asked at sign-in and given apart.
struct ServerAddress {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString options; // further libpq options (sslmode=…, connect_timeout=…)

    // Reads the connection text; nothing when a part is missing or unknown,
    // with the reason (Chinese) in *why.
    static std::optional<ServerAddress> parse(const QString& text, QString* why = nullptr);
    QString toString() const;
};

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
    // Connects to a ledger on a PostgreSQL server. The password is handed to
    // the driver for this connection only, never written anywhere.
    DbError openServer(const ServerAddress& address, const QString& password);
    // Connects again to the server ledger last opened by openServer(), as
    // the same account with the same password (held in this object's memory
    // only, for exactly this). The old session's temporary tables (working
    // copies, the result table) are gone with it.
    DbError reconnect();
    // Whether a server ledger has been opened by this object (and so can be
    // connected to again).
    bool canReconnect() const { return m_reconnectAddress.has_value(); }
    // The signed-in account's password was changed on the server: later
    // reconnections use the new one.
    void passwordChanged(const QString& password) { m_reconnectPassword = password; }
    // True once a statement found the server connection gone: from then on
    // every statement fails at once with that error, without waiting for the
    // network, until the ledger is opened again (reconnect()).
    bool connectionLost() const { return m_lost; }
    // Asks the server whether the connection still works (one trivial
    // query); a file ledger always does. A connection found gone is marked
    // lost.
    DbError checkConnection();
    // Called once each time a statement first finds the server connection
    // gone (before its error goes back to whoever ran it).
    void setConnectionLostHandler(std::function<void()> handler) { m_lostHandler = std::move(handler); }
    void close();
    bool isOpen() const;
    Engine engine() const override { return m_engine; }
    // The file's path; empty for a ledger on a server.
    QString path() const { return m_path; }
    // Which ledger is open, for the user: the file's path, or user@host/database.
    QString description() const;
    // The account signed in, named by the change history; empty before
    // sign-in.
    void setAccount(const QString& name) { m_account = name; }
    const QString& account() const { return m_account; }
    // Where the open server ledger is (the user is the signed-in account);
    // empty parts for the file.
    const ServerAddress& serverAddress() const { return m_address; }
    QSqlDatabase connection() const;
    // The raw SQLite handle; null on a server.
    sqlite3* handle() const;

    // Creates the ledger's tables in the empty server database this
    // connection is on, with the levels' group roles and rights
    // (setUpLedgerRights), in one transaction.
    DbError createServerLedger();

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

    // Savepoints, used by Transaction. On the server the outermost one is
    // the transaction itself (BEGIN … COMMIT).
    DbError savepoint(const QString& name);
    DbError release(const QString& name);
    void rollbackTo(const QString& name);
    int nextSavepointId() { return ++m_savepoints; }

    // Writes a new database file from the schema text. An existing file is
    // left alone and reported.
    static DbError createFromSchema(const QString& path, const QString& schemaSql);

private:
    DbResult runTranslated(const Translation& t, const QString& jet);
    void holdFailed(std::unique_ptr<QSqlQuery> query, bool direct);
    // Marks the connection lost when the error says so (server only).
    void noteFailure(const DbError& error);

    std::optional<ServerAddress> m_reconnectAddress;
    QString m_reconnectPassword;
    bool m_lost = false;
    DbError m_lostError;
    std::function<void()> m_lostHandler;

    QString m_connectionName;
    QString m_path;
    QString m_account;
    QString m_description;
    ServerAddress m_address;
    Engine m_engine = Engine::Sqlite;
    int m_savepoints = 0;
    int m_depth = 0; // open savepoints
    // Statements refused inside a server transaction, freed once it is
    // rolled back.
    std::vector<std::unique_ptr<QSqlQuery>> m_failed;
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
