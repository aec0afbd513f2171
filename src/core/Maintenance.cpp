#include "Maintenance.h"

#include "Database.h"
#include "FaultInjection.h"
#include "Ledger.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace ravo {

LedgerFiles::LedgerFiles(const QString& appDir)
    : database(appDir + QStringLiteral("/ravo.mdb")), backup(appDir + QStringLiteral("/ravo.bak")),
      scratch(appDir + QStringLiteral("/ravo.tmp"))
{
}

namespace {

// True when the file is an SQLite database that passes its own check.
bool isSoundDatabase(const QString& path)
{
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(h);
        return false;
    }
    bool ok = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ok = text && qstrcmp(text, "ok") == 0;
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return ok;
}

// Replaces target by source in one step (the target is never missing).
bool replaceFile(const QString& source, const QString& target)
{
    return std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0;
}

// True when the file is the ledger as a whole: the engine reads it as a
// database holding the in-use ledger, and the file is as long as the
// database says. Reading first rolls back a journal that a crash left beside
// it. A file that is not the ledger is neither backed up over the backup of
// the ledger nor compacted.
bool isWholeLedgerFile(sqlite3* h, const QString& path)
{
    bool ledger = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", -1, &st, nullptr)
        == SQLITE_OK) {
        const QByteArray name = tables::InUse.toUtf8();
        sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        ledger = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    return ledger && isWholeDatabaseFile(h, path);
}

// Copies the database page by page through the engine, telling the
// progress. The engine reads the ledger as a whole: a journal left beside it
// by a run that ended in the middle of a change is rolled back first, where a
// plain file copy would take the half-written pages as they lie on disk. A
// file that is not a database fails here instead of being copied.
bool copyThroughEngine(const QString& from, const QString& to, const MaintenanceProgress& progress)
{
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    bool done = false;
    if (sqlite3_open_v2(from.toUtf8().constData(), &source, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
        && sqlite3_open_v2(to.toUtf8().constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK) {
        sqlite3_busy_timeout(source, 3000);
        if (!isWholeLedgerFile(source, from)) {
            sqlite3_close(target);
            sqlite3_close(source);
            return false;
        }
        if (sqlite3_backup* b = sqlite3_backup_init(target, "main", source, "main")) {
            int rc = SQLITE_OK;
            int waits = 0;
            while (rc == SQLITE_OK || ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits < 60)) {
                rc = sqlite3_backup_step(b, 256);
                const int total = std::max(1, sqlite3_backup_pagecount(b));
                if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE))
                    progress(QStringLiteral("正在备份数据库…"),
                             int(qint64(total - sqlite3_backup_remaining(b)) * 100 / total));
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                    sqlite3_sleep(50);
            }
            done = sqlite3_backup_finish(b) == SQLITE_OK && rc == SQLITE_DONE;
        }
    }
    sqlite3_close(target);
    sqlite3_close(source);
    return done;
}

int reportCompaction(void* context)
{
    const auto* progress = static_cast<const MaintenanceProgress*>(context);
    (*progress)(QStringLiteral("正在压缩数据库…"), -1);
    return 0;
}

} // namespace

bool backupDatabase(const LedgerFiles& files, const MaintenanceProgress& progress)
{
    if (!QFileInfo::exists(files.database))
        return false;
    const QString partial = files.backup + QStringLiteral(".part");
    QFile::remove(partial);
    // A copy that does not pass the engine's own check never replaces an
    // older backup: the backup is what a damaged ledger is restored from.
    if (!copyThroughEngine(files.database, partial, progress) || !isSoundDatabase(partial)) {
        QFile::remove(partial);
        return false;
    }
    RAVO_FAULT_POINT("backup.copied");
    if (!replaceFile(partial, files.backup)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

bool compactDatabase(const LedgerFiles& files, const MaintenanceProgress& progress)
{
    bool compacted = false;
    if (QFileInfo::exists(files.database) && !QFileInfo::exists(files.scratch)) {
        sqlite3* h = nullptr;
        if (sqlite3_open_v2(files.database.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
            if (progress) {
                progress(QStringLiteral("正在压缩数据库…"), -1);
                sqlite3_progress_handler(h, 5000, reportCompaction, const_cast<MaintenanceProgress*>(&progress));
            }
            sqlite3_stmt* st = nullptr;
            // A ledger cut short is left as it is, not compacted into a
            // sound-looking copy with zeros where its end was; a read-only
            // one is not replaced by a writable copy.
            if (isWholeLedgerFile(h, files.database) && sqlite3_db_readonly(h, "main") == 0
                && sqlite3_prepare_v2(h, "VACUUM INTO ?", -1, &st, nullptr) == SQLITE_OK) {
                const QByteArray target = files.scratch.toUtf8();
                sqlite3_bind_text(st, 1, target.constData(), target.size(), SQLITE_TRANSIENT);
                compacted = sqlite3_step(st) == SQLITE_DONE;
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(h);
        RAVO_FAULT_POINT("compact.written");
        compacted = compacted && isSoundDatabase(files.scratch) && replaceFile(files.scratch, files.database);
        RAVO_FAULT_POINT("compact.replaced");
    }
    if (QFileInfo::exists(files.database))
        QFile::remove(files.scratch);
    return compacted;
}

MaintenanceResult runStartupMaintenance(const QString& appDir, bool backup, bool compact,
                                        const MaintenanceProgress& progress)
{
    const LedgerFiles files(appDir);
    MaintenanceResult r;
    if (backup)
        r.backupDone = backupDatabase(files, progress);
    if (compact)
        r.compactDone = compactDatabase(files, progress);
    return r;
}

} // namespace ravo
