#include "InstanceLock.h"

namespace ravo {

InstanceLock::InstanceLock(const QString& appDir)
    : m_lock(std::make_unique<QLockFile>(appDir + QStringLiteral("/ravo.lock")))
{
    m_lock->setStaleLockTime(0);   // only a dead owner makes the lock stale
    m_locked = m_lock->tryLock(0);
}

QString InstanceLock::busyMessage()
{
    return QStringLiteral("RAVO 已经在运行，同一台帐数据库不能同时由两个程序打开。");
}

} // namespace ravo
