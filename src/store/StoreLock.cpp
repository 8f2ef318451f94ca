// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// O_NONBLOCK: a FIFO put at the lock's name must not hang the open.
constexpr int kOpenFlags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
// A record is one short line each for the PID, the program and the host.
constexpr qsizetype kRecordLimit = 4096;

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens the file at path for reading its lock, only when it is a regular file: -1 otherwise.
int OpenRegular(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags, 0644);
    if (fd < 0)
        return -1;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}
} // namespace

StoreLock::StoreLock(const QString& storeRoot, const QString& fileName)
    : m_root(storeRoot), m_path(QDir(storeRoot).filePath(fileName))
{
}

StoreLock::~StoreLock()
{
    release();
}

StoreLock::Result StoreLock::fail(const QString& why)
{
    m_error = why;
    return Result::Error;
}

StoreLock::Result StoreLock::tryAcquire()
{
    Q_ASSERT(QCoreApplication::instance());
    if (held())
        return Result::Acquired;
    if (!QDir().mkpath(m_root))
        return fail(QStringLiteral("impossible de créer le dossier %1").arg(QDir::toNativeSeparators(m_root)));
    const QByteArray path = QFile::encodeName(m_path);
    // A few rounds at most: each one that starts again has cleared something away, or met a holder
    // that removed its file between our open and our lock.
    for (int round = 0; round < 4; ++round)
    {
        const int fd = ::open(path.constData(), kOpenFlags, 0644);
        if (fd < 0)
        {
            const int error = errno;
            struct stat st
            {
            };
            if (::lstat(path.constData(), &st) != 0)
                return fail(Reason(error));
            // A folder can be cleared only when empty; anything but a regular file is never a lock.
            if (S_ISDIR(st.st_mode) ? ::rmdir(path.constData()) != 0 : ::unlink(path.constData()) != 0)
                return fail(S_ISDIR(st.st_mode) ? QStringLiteral("c'est un dossier qui n'est pas vide")
                                                : Reason(errno));
            continue;
        }
        struct stat st
        {
        };
        if (::fstat(fd, &st) != 0)
        {
            const int error = errno;
            ::close(fd);
            return fail(Reason(error));
        }
        if (!S_ISREG(st.st_mode))
        {
            // A FIFO or a device opened as it stands: its name is cleared and a lock file made instead.
            ::close(fd);
            if (::unlink(path.constData()) != 0)
                return fail(Reason(errno));
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Result::HeldElsewhere;
            return fail(Reason(error));
        }
        // Locked, but the holder before us may have removed this file meanwhile: only the file that
        // still has the name counts.
        struct stat named
        {
        };
        if (::stat(path.constData(), &named) != 0 || named.st_dev != st.st_dev || named.st_ino != st.st_ino)
        {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_device = st.st_dev;
        m_inode = st.st_ino;
        // The record only names the holder in messages: a full disk that refuses it takes nothing from the
        // lock.
        const QByteArray record = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                  QCoreApplication::applicationName().toUtf8() + '\n' +
                                  QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fd, 0) == 0)
        {
            [[maybe_unused]] const ssize_t n = ::pwrite(fd, record.constData(), static_cast<size_t>(record.size()), 0);
        }
        m_error.clear();
        return Result::Acquired;
    }
    return fail(QStringLiteral("le fichier est sans cesse remplacé"));
}

StoreLock::Check StoreLock::verify()
{
    if (held())
    {
        struct stat named
        {
        };
        if (::lstat(QFile::encodeName(m_path).constData(), &named) == 0 && named.st_dev == m_device &&
            named.st_ino == m_inode)
            return Check::Held;
        // The locked file has lost its name: its lock keeps nobody out any more.
        ::close(m_fd);
        m_fd = -1;
    }
    if (tryAcquire() == Result::Acquired)
        return Check::Retaken;
    if (m_error.isEmpty())
        m_error = QStringLiteral("une autre copie (processus %1) l'a pris").arg(holderPid());
    return Check::Lost;
}

void StoreLock::release()
{
    if (!held())
        return;
    // Removed while still locked, so that nobody takes a file that is on its way out; a file that is
    // no longer ours keeps its name.
    struct stat named
    {
    };
    const QByteArray path = QFile::encodeName(m_path);
    if (::lstat(path.constData(), &named) == 0 && named.st_dev == m_device && named.st_ino == m_inode)
        ::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

qint64 StoreLock::holderPid() const
{
    const int fd = OpenRegular(QFile::encodeName(m_path), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    QByteArray record(kRecordLimit, '\0');
    const ssize_t n = ::pread(fd, record.data(), static_cast<size_t>(record.size()), 0);
    ::close(fd);
    if (n <= 0)
        return 0;
    record.truncate(n);
    bool ok = false;
    const qint64 pid = record.left(record.indexOf('\n')).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool StoreLock::IsHeld(const QString& storeRoot, const QString& fileName)
{
    const int fd = OpenRegular(QFile::encodeName(QDir(storeRoot).filePath(fileName)),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A shared lock is refused only while someone holds the exclusive one.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool WaitUntilUnlocked(const QString& path)
{
    const int fd = OpenRegular(QFile::encodeName(path), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int locked = -1;
    do
        locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    // Let go at once: the taker is the waiting copy's own StoreLock, on a descriptor of its own.
    ::close(fd);
    return locked == 0;
}
