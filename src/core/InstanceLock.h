#pragma once
// Keeps a second copy of the program from opening the same ledger: the
// working tables have fixed names, so two copies would overwrite each other's.
//
// The copy that runs holds an advisory lock on the file ravo.lock in the
// ledger folder for as long as it lives. The system drops that lock when the
// process ends, however it ends, so a lock file left behind by a crash or a
// power cut (empty, garbled, or written on another computer) never keeps the
// program from starting: only a lock that a live copy holds does.
#include <QString>

namespace ravo {

class InstanceLock {
public:
    explicit InstanceLock(const QString& appDir);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this copy may use the ledger.
    bool isLocked() const { return m_problem.isEmpty(); }
    // The Chinese message shown when another copy holds the lock.
    static QString busyMessage();
    // Why the lock was not taken, for the user: another copy holds it, or
    // the lock file cannot be made in the folder (no right to write there).
    QString problem() const { return m_problem; }

private:
    // Opens and locks the lock file once; false when the file was removed or
    // replaced meanwhile and has to be opened again.
    bool tryOnce();

    QString m_appDir;
    QString m_path;
    QString m_problem;
    int m_fd = -1;
    bool m_held = false;
};

} // namespace ravo
