// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <sys/types.h>

// Keeps one copy of the program per store: a kernel lock (flock) on a regular file in the store root,
// taken on a descriptor kept open, so that the kernel lets go of it the moment its holder dies, whatever
// the file says. The file's record (PID, program, host) serves messages only. Needs a QCoreApplication,
// whose name the record carries.
class StoreLock final
{
public:
    enum class Result
    {
        Acquired,
        HeldElsewhere,
        Error
    };
    // What verify() found.
    enum class Check
    {
        Held,    // the file at the lock's name is still the one this copy locked
        Retaken, // it was gone or replaced (a store folder deleted by hand): this copy holds the new one
        Lost     // another copy holds the lock now, or it cannot be taken again
    };

    // The recording lock: whoever holds it writes the store.
    static inline const QString kRecordingLock = QStringLiteral(".vorp.lock");
    // The desktop program's lock: one copy of the windows per store, whoever records.
    static inline const QString kDesktopLock = QStringLiteral(".vorp-desktop.lock");

    // storeRoot: the store's folder, created by tryAcquire() when missing.
    explicit StoreLock(const QString& storeRoot, const QString& fileName = kRecordingLock);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // Never waits. Something else than a regular file at the lock's name (a link, a FIFO, an empty
    // folder) is cleared away first: it cannot be anybody's lock.
    Result tryAcquire();
    bool held() const { return m_fd >= 0; }
    // Checks that the file at the lock's name is still the locked one; when it is gone or replaced,
    // takes the lock again (creating the store root again if need be), or reports it lost.
    Check verify();
    // Lets go of the lock and removes its file when it is still ours.
    void release();

    // The process named in the lock file's record (ours once acquired), 0 when it cannot be read.
    qint64 holderPid() const;
    QString path() const { return m_path; }
    const QString& root() const { return m_root; }
    // Whether some process holds the lock of that name in storeRoot now; creates nothing, for readers.
    static bool IsHeld(const QString& storeRoot, const QString& fileName = kRecordingLock);

    // Why the last tryAcquire() or verify() failed, in French.
    const QString& errorString() const { return m_error; }

private:
    Result fail(const QString& why);

    QString m_root;
    QString m_path;
    QString m_error;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// Blocks until nobody holds the lock of the file at path, for a waiting thread: the kernel wakes it the
// moment the holder lets go or dies. False at once when there is no lockable file there.
bool WaitUntilUnlocked(const QString& path);
