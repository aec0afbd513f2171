#pragma once
// Keeps a second copy of the program from opening the same ledger: the
// working tables have fixed names, so two copies would overwrite each other's.
#include <QLockFile>
#include <QString>
#include <memory>

namespace ravo {

class InstanceLock {
public:
    // Locks the database folder; a lock left by a program that has died is
    // taken over.
    explicit InstanceLock(const QString& appDir);
    bool isLocked() const { return m_locked; }
    // The Chinese message shown when another copy holds the lock.
    static QString busyMessage();
    // Why the lock was not taken, for the user: another copy holds it, or
    // the lock file cannot be made in the folder (no right to write there).
    QString problem() const;

private:
    QString m_appDir;
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
};

} // namespace ravo
