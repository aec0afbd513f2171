#pragma once
// Which ledger the program works on: the ledger file ravo.mdb of the ledger
// folder (the default, nothing to set up), or a ledger on a PostgreSQL
// server shared by the department. The user's choice is kept in the settings
// (section "Database": "Engine" = "File" or "Server", "Server" = the
// connection text, never a password) and takes effect at the next start.
#include "Database.h"
#include "SettingsStore.h"

#include <QString>
#include <optional>

namespace ravo {

struct LedgerChoice {
    bool server = false;
    // The connection text "host=H port=P dbname=D user=U"; kept also while
    // the file is chosen, so that the server is offered again.
    QString serverText;
};

LedgerChoice readLedgerChoice(const SettingsStore& store);
void saveLedgerChoice(SettingsStore& store, const LedgerChoice& choice);

// The server ledger a start works on: the one named on the command line
// (commandLineServer, when given), else the one the settings choose. Nothing
// for the file. A connection text that cannot be read gives nothing, with
// the reason (Chinese) in *problem.
std::optional<ServerAddress> startupServer(const SettingsStore& store, const QString& commandLineServer,
                                           bool commandLineGiven, QString* problem);

} // namespace ravo
