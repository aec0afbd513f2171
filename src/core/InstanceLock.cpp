#include "InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ravo {

namespace {

enum class Lock { Taken, Busy, Unsupported };

// An exclusive lock on the whole file without waiting. flock() locks belong
// to the open file, so even a second opening in the same process is refused;
// a file system without flock() (some network shares) gets a POSIX record
// lock instead.
Lock lockFile(int fd)
{
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return Lock::Taken;
    if (errno == EWOULDBLOCK)
        return Lock::Busy;

    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    do
        rc = ::fcntl(fd, F_SETLK, &whole);
    while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return Lock::Taken;
    return errno == EACCES || errno == EAGAIN ? Lock::Busy : Lock::Unsupported;
}

bool sameFile(int fd, const QByteArray& path)
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev
        && opened.st_ino == named.st_ino;
}

} // namespace

InstanceLock::InstanceLock(const QString& appDir) : m_appDir(appDir), m_path(appDir + QStringLiteral("/ravo.lock"))
{
    // A copy that exits removes its lock file; one that had opened the file
    // just before then locks a file nobody else can see and must open anew.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (tryOnce())
            return;
    }
    m_problem = busyMessage();
}

InstanceLock::~InstanceLock()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so that no other copy can lock this file
    // after it is gone from the folder.
    if (m_held)
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
}

bool InstanceLock::tryOnce()
{
    const QByteArray path = QFile::encodeName(m_path);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A lock file that another user's copy left behind may be read-only for
    // this user; reading is enough to lock it.
    if (fd < 0 && errno == EACCES && ::access(QFile::encodeName(m_appDir).constData(), W_OK) == 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_problem = QStringLiteral("不能在文件夹“%1”中建立锁文件 ravo.lock，台帐数据库无法使用。\n"
                                   "请检查这个文件夹的写入权限。")
                        .arg(m_appDir);
        return true;
    }
    switch (lockFile(fd)) {
    case Lock::Busy:
        ::close(fd);
        m_problem = busyMessage();
        return true;
    case Lock::Unsupported:
        // The file system cannot lock files at all: nothing can be holding
        // the ledger by this file, so it must not keep the program out.
        m_fd = fd;
        return true;
    case Lock::Taken:
        break;
    }
    if (!sameFile(fd, path)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_held = true;
    return true;
}

QString InstanceLock::busyMessage()
{
    return QStringLiteral("RAVO 已经在运行，同一台帐数据库不能同时由两个程序打开。");
}

} // namespace ravo
