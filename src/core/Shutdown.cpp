#include "Shutdown.h"

#include "Ledger.h"

namespace ravo {

void closeLedger(Database& db)
{
    if (db.isOpen()) {
        dropWorkingTable(db, tables::working(tables::InUse));
        dropWorkingTable(db, tables::Plan);
        dropWorkingTable(db, tables::DueList);
    }
    db.close();
}

} // namespace ravo
