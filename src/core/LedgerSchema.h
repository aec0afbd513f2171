#pragma once
// The tables a ledger holds beyond the seven of its description: the
// attachments of instruments and records (MSys附件) and the change history
// (MSys履历). Their names begin with "MSys", so the main window never lists
// them, and none is a working table's name ("MSys" + a ledger table).
//
// A ledger records which of them it has as a numbered schema version in
// MSys架构 (1: the attachments and the history; 2: the history only grows).
// Opening a ledger brings an older one up to date, one numbered
// step at a time, each in one transaction that adds tables and touches no
// existing row; a ledger of a newer version than this program knows is
// refused rather than damaged.
#include "Database.h"

namespace ravo {

namespace tables {
inline const QString Attachments = QStringLiteral("MSys附件");
inline const QString History = QStringLiteral("MSys履历");
inline const QString SchemaVersion = QStringLiteral("MSys架构");
} // namespace tables

// The schema version this program writes and knows.
constexpr int LedgerSchemaVersion = 2;

// On a server: takes from the levels' group roles (and everyone) the right
// to change or delete the change history, which they may only add to.
QString historyRightsStatement();

// The ledger's schema version: 0 for a ledger with only the seven tables.
int ledgerSchemaVersion(Database& db);

// Brings the ledger up to LedgerSchemaVersion. Refuses (nothing written) a
// ledger of a newer version. *from, when given, receives the version found.
DbError upgradeLedgerSchema(Database& db, int* from = nullptr);

} // namespace ravo
