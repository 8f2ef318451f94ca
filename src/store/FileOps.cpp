// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileOps.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace store
{
namespace
{
class System final : public FileOps
{
public:
    int open(const QString& path, int flags, mode_t mode) override
    {
        return ::open(QFile::encodeName(path).constData(), flags, mode);
    }
    int close(int fd) override { return ::close(fd); }
    int fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
    int lstat(const QString& path, struct stat* st) override
    {
        return ::lstat(QFile::encodeName(path).constData(), st);
    }
    ssize_t pread(int fd, void* buffer, size_t size, off_t offset) override
    {
        return ::pread(fd, buffer, size, offset);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override
    {
        return ::pwrite(fd, data, size, offset);
    }
    int fsync(int fd) override { return ::fsync(fd); }
    int ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
    int rename(const QString& from, const QString& to) override
    {
        return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData());
    }
    int unlink(const QString& path) override { return ::unlink(QFile::encodeName(path).constData()); }
    int mkdir(const QString& path, mode_t mode) override { return ::mkdir(QFile::encodeName(path).constData(), mode); }
};
} // namespace

FileOps& SystemFileOps()
{
    static System ops;
    return ops;
}

bool OpenFile::close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return m_ops.close(fd) == 0;
}

bool WriteAllAt(FileOps& ops, int fd, const char* data, size_t size, off_t offset)
{
    while (size > 0)
    {
        const ssize_t n = ops.pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool SyncFolder(FileOps& ops, const QString& dir)
{
    OpenFile folder(ops, ops.open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() && ops.fsync(folder.fd()) == 0;
}
} // namespace store
