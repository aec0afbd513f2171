#pragma once
// Moving a ledger file to a PostgreSQL server: the seven ledger tables of
// ravo.mdb, row for row, and the accounts of the settings file as the
// server's login roles, into an empty server database, in one transaction.
//
// Before the transaction commits, every table is read back from the server
// and compared with the file: the number of rows and a checksum of all
// values in row order (SHA-256 over each value as text, a missing value
// marked apart from empty text). Any refusal or difference rolls everything
// back, the accounts included, so the server database stays empty.
//
// The accounts' passwords cannot come from the file (it keeps only hashes):
// each is asked for; an account given none gets a temporary password and
// must choose its own at the first sign-in (ServerAccounts'
// mustChangePassword). The temporary passwords come back in the result to be
// handed to their owners.
//
// From the command line:
//   ravo [--appdir DIR] --copy-to-server "host=H port=P dbname=D user=U"
// signs in as U with the password of PGPASSWORD, or asks for it on the
// terminal; asks on the terminal for each account's password (an empty
// answer, or no terminal: a temporary one). Exit codes as the import's:
// 0 copied; 1 refused or failed, nothing written to the server; 2 the
// command line is wrong.
#include "core/Accounts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class QTextStream;

namespace ravo {
class Database;
}

namespace ravo::exchange {

// Called as the copy goes: what it does (Chinese), the rows done and the
// rows in all; returning false stops the copy, and nothing is written.
using ServerCopyProgress = std::function<bool(const QString& step, qint64 done, qint64 total)>;
// The password an account of the file is to have on the server; nothing or
// empty text: a temporary password, to be changed at the first sign-in.
using AccountPasswordSource = std::function<std::optional<QString>(const UserAccount& account)>;

struct CopiedTable {
    QString name;
    qint64 rows = 0;
    QByteArray checksum; // hex SHA-256, equal on both sides
};

struct TemporaryPassword {
    QString account;
    QString password;
};

struct ServerCopyResult {
    QString problem; // Chinese; empty when the copy was committed
    QVector<CopiedTable> tables;
    QStringList accounts; // the accounts made on the server, by name
    QVector<TemporaryPassword> temporaryPasswords;
    QStringList leftOut; // tables of the file that are no part of the ledger (working tables)
    bool ok() const { return problem.isEmpty(); }
};

// What the server database on `server` holds already: its tables, views and
// sequences outside the server's own schemas, at most a few of them by name.
// Empty when the database is empty and may take a copy.
QStringList serverDatabaseContents(Database& server);

// Copies the ledger file `ledgerFile` and the accounts `accounts` into the
// empty database `server` is signed in to. The signed-in role must be
// allowed to create roles (the database's owner with that right, or a
// superuser). The file is only read.
ServerCopyResult copyLedgerToServer(const QString& ledgerFile, const QVector<UserAccount>& accounts, Database& server,
                                    const AccountPasswordSource& passwordOf, const ServerCopyProgress& progress = {});

// True when the arguments ask for a copy to a server (--copy-to-server).
bool isCopyToServerCommand(const QStringList& arguments);

// Reads --copy-to-server and --appdir from the program's arguments
// (arguments[0] is the program) and runs the copy with the accounts of the
// settings file; `defaultAppDir` is used without --appdir. `password` gives
// the server password when PGPASSWORD is not set, `accountPassword` the
// password of an account (nothing: a temporary one).
int runCopyToServerCommand(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out,
                           QTextStream& err, const std::function<std::optional<QString>(const QString&)>& ask);

} // namespace ravo::exchange
