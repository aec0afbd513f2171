#include "Maintenance.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace ravo {

LedgerFiles::LedgerFiles(const QString& appDir)
    : database(appDir + QStringLiteral("/ravo.mdb")),
      backup(appDir + QStringLiteral("/ravo.bak")),
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
    if (sqlite3_prepare_v2(h, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW) {
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

// Copies a file in pieces, telling the progress.
bool copyWithProgress(const QString& from, const QString& to, const MaintenanceProgress& progress)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 total = std::max<qint64>(1, in.size());
    qint64 done = 0;
    QByteArray chunk;
    while (!(chunk = in.read(4 * 1024 * 1024)).isEmpty()) {
        if (out.write(chunk) != chunk.size())
            return false;
        done += chunk.size();
        if (progress)
            progress(QStringLiteral("正在备份数据库…"), int(done * 100 / total));
    }
    return in.error() == QFile::NoError && out.flush();
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
    if (!copyWithProgress(files.database, partial, progress)) {
        QFile::remove(partial);
        return false;
    }
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
        if (sqlite3_open_v2(files.database.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr)
            == SQLITE_OK) {
            if (progress) {
                progress(QStringLiteral("正在压缩数据库…"), -1);
                sqlite3_progress_handler(h, 5000, reportCompaction, const_cast<MaintenanceProgress*>(&progress));
            }
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(h, "VACUUM INTO ?", -1, &st, nullptr) == SQLITE_OK) {
                const QByteArray target = files.scratch.toUtf8();
                sqlite3_bind_text(st, 1, target.constData(), target.size(), SQLITE_TRANSIENT);
                compacted = sqlite3_step(st) == SQLITE_DONE;
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(h);
        compacted = compacted && isSoundDatabase(files.scratch) && replaceFile(files.scratch, files.database);
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
