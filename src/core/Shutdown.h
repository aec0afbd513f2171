#pragma once
// What the program does to the ledger when it ends: the working tables of the
// in-use editor, the plan and the due list are dropped and the database
// closed. The search result table stays until the next search replaces it.
#include "Database.h"

namespace ravo {

void closeLedger(Database& db);

} // namespace ravo
