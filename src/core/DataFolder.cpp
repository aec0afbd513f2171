#include "DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ravo {

namespace {

const QString kLedger = QStringLiteral("ravo.mdb");
const QString kTips = QStringLiteral("TIPOFDAY.TXT");

// Copies `name` from one folder to the other unless the target already has
// it. The copy belongs to the user and may be written to, whatever the
// installed file's mode. False only when a copy was needed and failed.
bool copyIfMissing(const QString& name, const QString& from, const QString& to)
{
    const QString source = from + QLatin1Char('/') + name;
    const QString target = to + QLatin1Char('/') + name;
    if (QFileInfo::exists(target) || !QFileInfo::exists(source))
        return true;
    if (!QFile::copy(source, target))
        return false;
    QFile::setPermissions(
        target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    return true;
}

} // namespace

bool isWritableDataFolder(const QString& folder)
{
    const QFileInfo dir(folder);
    if (!dir.isDir() || !dir.isWritable())
        return false;
    const QFileInfo ledger(folder + QLatin1Char('/') + kLedger);
    return !ledger.exists() || ledger.isWritable();
}

DataFolder chooseDataFolder(const QString& installed, const QString& userData,
                            const std::function<bool(const QString&)>& writable)
{
    if (writable(installed))
        return {installed, {}};

    DataFolder r{userData, {}};
    if (!QDir().mkpath(userData)) {
        r.problem =
            QStringLiteral("无法创建数据文件夹 %1，台帐数据库无法使用。").arg(QDir::toNativeSeparators(userData));
        return r;
    }
    if (!copyIfMissing(kLedger, installed, userData))
        r.problem = QStringLiteral("无法把空台帐数据库从 %1 复制到 %2。请检查磁盘空间和文件夹的权限。")
                        .arg(QDir::toNativeSeparators(installed), QDir::toNativeSeparators(userData));
    // Without the tip file the tip window explains how to make one.
    copyIfMissing(kTips, installed, userData);
    return r;
}

} // namespace ravo
