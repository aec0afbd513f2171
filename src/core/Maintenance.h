#pragma once
// The two maintenance steps start-up may run on the ledger file before
// anything opens it: a backup copy (ravo.bak) and a compaction through the
// scratch file ravo.tmp.
#include <QString>

#include <functional>

namespace ravo {

struct LedgerFiles {
    explicit LedgerFiles(const QString& appDir);
    QString database; // ravo.mdb
    QString backup;   // ravo.bak
    QString scratch;  // ravo.tmp
};

// Told how far a step has come: the step's Chinese name and a percentage,
// or -1 while the amount of work is unknown. Called often; keep it cheap.
using MaintenanceProgress = std::function<void(const QString& step, int percent)>;

// Copies ravo.mdb to ravo.bak through the engine (so a change that a crash
// left unfinished is rolled back first), replacing an older backup only once
// the new copy is complete and passes the engine's check. False when the
// database is missing, damaged or not a database, or the copy failed: the
// older backup then stays as it was.
bool backupDatabase(const LedgerFiles& files, const MaintenanceProgress& progress = {});

// Compacts ravo.mdb into ravo.tmp and, when the compacted copy is complete and
// sound, puts it in place of ravo.mdb. A scratch file left by an earlier run
// makes this run fail (ravo.mdb untouched) and is cleared for the next one.
// The scratch file is never deleted while ravo.mdb is missing. A file that
// is cut short, read-only or not the ledger is left as it is.
bool compactDatabase(const LedgerFiles& files, const MaintenanceProgress& progress = {});

struct MaintenanceResult {
    bool backupDone = false;
    bool compactDone = false;
};
// Runs the steps the options ask for, each guarded on its own, silently.
MaintenanceResult runStartupMaintenance(const QString& appDir, bool backup, bool compact,
                                        const MaintenanceProgress& progress = {});
// The size from which start-up shows its maintenance under way.
constexpr qint64 LargeLedgerBytes = 32 * 1024 * 1024;

} // namespace ravo
