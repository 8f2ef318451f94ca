// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

namespace store
{
// The file-system calls the store makes, each one of them replaceable so that a test can make any
// single call fail. The calls keep the POSIX form: -1 (or a short count) and errno on failure.
class FileOps
{
public:
    virtual ~FileOps() = default;
    virtual int open(const QString& path, int flags, mode_t mode = 0) = 0;
    // The descriptor is released whatever the result, as close(2) does on Linux.
    virtual int close(int fd) = 0;
    virtual int fstat(int fd, struct stat* st) = 0;
    virtual int lstat(const QString& path, struct stat* st) = 0;
    virtual ssize_t pread(int fd, void* buffer, size_t size, off_t offset) = 0;
    virtual ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) = 0;
    virtual int fsync(int fd) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    virtual int rename(const QString& from, const QString& to) = 0;
    virtual int unlink(const QString& path) = 0;
    virtual int mkdir(const QString& path, mode_t mode) = 0;
};

// The real calls. Stateless: one object serves every caller.
FileOps& SystemFileOps();

// An open descriptor, closed when it goes out of scope.
class OpenFile final
{
public:
    OpenFile(FileOps& ops, int fd) : m_ops(ops), m_fd(fd) {}
    ~OpenFile() { close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // The result of close(2); the descriptor is gone either way.
    bool close();

private:
    FileOps& m_ops;
    int m_fd;
};

// Writes every byte at offset, going on after a short count; false (errno set) when the file takes no
// more.
bool WriteAllAt(FileOps& ops, int fd, const char* data, size_t size, off_t offset);

// Syncs a folder, so that a name just created or renamed in it survives a power cut.
bool SyncFolder(FileOps& ops, const QString& dir);
} // namespace store
