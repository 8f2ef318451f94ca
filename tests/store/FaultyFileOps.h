// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileOps.h"

#include <cerrno>

// The system's calls, but for the ones chosen to fail.
class FaultyFileOps final : public store::FileOps
{
public:
    enum class Fault
    {
        NoSpace,    // the call fails with ENOSPC and does nothing
        IoError,    // the call fails with EIO and does nothing
        ShortWrite, // the write takes half its bytes, and the disk is full from then on
    };

    // The nth call counted from here fails (for a short write, the nth write); sticky: every call from
    // the nth on fails as well, the undoing ones included.
    void arm(Fault fault, int nth, bool sticky = false)
    {
        m_armed = true;
        m_fault = fault;
        m_nth = nth;
        m_sticky = sticky;
        m_count = 0;
        m_hit = false;
        m_full = false;
    }
    void disarm()
    {
        m_armed = false;
        m_full = false;
    }
    // Whether a call failed since arm().
    bool hit() const { return m_hit; }

    int open(const QString& path, int flags, mode_t mode) override
    {
        return fails() ? -1 : m_system.open(path, flags, mode);
    }
    int close(int fd) override
    {
        const int result = m_system.close(fd);
        return fails() ? -1 : result;
    }
    int fstat(int fd, struct stat* st) override { return fails() ? -1 : m_system.fstat(fd, st); }
    int lstat(const QString& path, struct stat* st) override { return fails() ? -1 : m_system.lstat(path, st); }
    ssize_t pread(int fd, void* buffer, size_t size, off_t offset) override
    {
        return fails() ? -1 : m_system.pread(fd, buffer, size, offset);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override
    {
        if (m_armed && m_fault == Fault::ShortWrite)
        {
            if (!m_full && ++m_count == m_nth)
            {
                m_hit = true;
                m_full = true;
                if (size >= 2)
                    return m_system.pwrite(fd, data, size / 2, offset);
            }
            if (m_full)
            {
                errno = ENOSPC;
                return -1;
            }
        }
        return fails() ? -1 : m_system.pwrite(fd, data, size, offset);
    }
    int fsync(int fd) override { return fails() ? -1 : m_system.fsync(fd); }
    int ftruncate(int fd, off_t length) override { return fails() ? -1 : m_system.ftruncate(fd, length); }
    int rename(const QString& from, const QString& to) override { return fails() ? -1 : m_system.rename(from, to); }
    int unlink(const QString& path) override { return fails() ? -1 : m_system.unlink(path); }
    int mkdir(const QString& path, mode_t mode) override { return fails() ? -1 : m_system.mkdir(path, mode); }

private:
    bool fails()
    {
        if (!m_armed || m_fault == Fault::ShortWrite)
            return false;
        ++m_count;
        if (m_count < m_nth || (m_count > m_nth && !m_sticky))
            return false;
        m_hit = true;
        errno = m_fault == Fault::NoSpace ? ENOSPC : EIO;
        return true;
    }

    store::FileOps& m_system = store::SystemFileOps();
    bool m_armed = false;
    Fault m_fault = Fault::IoError;
    int m_nth = 0;
    bool m_sticky = false;
    int m_count = 0;
    bool m_hit = false;
    bool m_full = false; // after a short write
};
