#pragma once
// The accounts of a ledger on a PostgreSQL server. There the program's
// accounts are the server's login roles, each signing in with its own
// password (kept by the server as a SCRAM hash, never by the program), and
// the three levels are group roles of the ledger's database whose rights the
// server enforces: level 0 (系统管理员) manages accounts and changes the
// ledger, level 1 (计量管理员) changes the ledger, level 2 (计量器具保管员)
// only reads. An account belongs to exactly one of the three.
#include "Accounts.h"
#include "Database.h"

#include <QVector>
#include <optional>

namespace ravo {

// The group role of a level (0, 1 or 2) for the ledger database `database`:
// "ravo_<database>_level<N>". Roles are shared by the whole server, so the
// database's name keeps the levels of two ledgers on one server apart.
QString levelRoleName(const QString& database, int level);

// The level of the account signed in on `db`: the highest-privileged of the
// three group roles it is a member of; nothing when it is in none (a role
// that is no account of this ledger) or `db` is no server ledger.
std::optional<int> signedInLevel(Database& db);

// The accounts of the ledger on `db`: every role that is a member of one of
// the three group roles, with its level (Password empty: the program never
// sees it), by level and then by name in pinyin order.
QVector<UserAccount> serverAccounts(Database& db);

} // namespace ravo

namespace ravo {

// Sets up the rights of the ledger on `db` (run by the ledger's owner, a
// superuser or a role that may create roles, right after its tables are
// made; running it again changes nothing): the three group roles when
// missing; level 0 and 1 read and
// write every ledger table (and the row numbers behind them), level 2 only
// reads (a role in none of them reads no table); all three may connect and
// make temporary tables (the working copies); no one
// but the owner may make tables that last. Accounts are managed only through
// the functions of the schema ravo_accounts, which run with the owner's
// rights and check the caller themselves: level 0 may create, move between
// levels, give a password to and drop the accounts of this ledger (never a
// role that is no account of it, nor one with rights over the server), and
// every account may change its own password. The ledger keeps always at
// least one level-0 account.
DbError setUpLedgerRights(Database& db);

// What an account change on the server came to: empty when done, else the
// Chinese reason (the server's refusal told in the program's words).
struct AccountChange {
    QString refusal;
    bool ok() const { return refusal.isEmpty(); }
};

// The longest account name the server takes, in bytes of UTF-8.
inline constexpr int MaxServerAccountName = 63;

// Creates the login role `name` with `password` (the server keeps only its
// SCRAM hash) at `level` of the ledger on `db`. With mustChange the account
// must choose a new password at its first sign-in (mustChangePassword).
AccountChange createServerAccount(Database& db, const QString& name, const QString& password, int level,
                                  bool mustChange = false);
// Moves the account to another level. Refused when it would leave the
// ledger without a level-0 account.
AccountChange setServerAccountLevel(Database& db, const QString& name, int level);
// Gives the account a new password. The signed-in account's own change also
// clears its must-change mark; an administrator's change of another
// account's password sets it when mustChange.
AccountChange setServerAccountPassword(Database& db, const QString& name, const QString& password,
                                       bool mustChange = false);
// Drops the account: the login role itself, or, when it is an account of
// another ledger on the same server too, only its place in this one.
// Refused for the signed-in account and for the last level-0 account.
AccountChange dropServerAccount(Database& db, const QString& name);

// True when the server holds a role of this name (an account of this or
// another ledger, or a role of the server's own): no new account may take it.
bool serverRoleExists(Database& db, const QString& name);

// True when the account signed in on `db` must choose a new password before
// it works (its password was set for it by whoever made the account).
bool mustChangePassword(Database& db);

// Makes a new ledger in the empty server database `db` is signed in to (as
// its owner): its tables and rights (Database::createServerLedger) and its
// first account, the level-0 `administrator` (系统管理员 unless named), with
// `password`, or, when that is empty, with a temporary one put in
// *temporary, to be changed at the first sign-in. All or nothing; empty on
// success, else the reason in Chinese.
QString createServerLedgerWithAdministrator(Database& db, const QString& password, QString* temporary,
                                            const QString& administrator = AdministratorName);

// A password to hand out for a first sign-in: 10 characters from letters
// and digits that are not mistaken for each other (no 0/O, 1/l/I).
QString temporaryPassword();

} // namespace ravo
