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

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
};

} // namespace ravo
