#include "InstanceLock.h"

namespace ravo {

InstanceLock::InstanceLock(const QString& appDir)
    : m_appDir(appDir), m_lock(std::make_unique<QLockFile>(appDir + QStringLiteral("/ravo.lock")))
{
    m_lock->setStaleLockTime(0);   // only a dead owner makes the lock stale
    m_locked = m_lock->tryLock(0);
}

QString InstanceLock::busyMessage()
{
    return QStringLiteral("RAVO 已经在运行，同一台帐数据库不能同时由两个程序打开。");
}

QString InstanceLock::problem() const
{
    if (m_locked)
        return {};
    if (m_lock->error() == QLockFile::LockFailedError)
        return busyMessage();
    return QStringLiteral("不能在文件夹“%1”中建立锁文件 ravo.lock，台帐数据库无法使用。\n"
                          "请检查这个文件夹的写入权限。")
        .arg(m_appDir);
}

} // namespace ravo
