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
