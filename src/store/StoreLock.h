// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

// Keeps one copy of the program per store: an exclusive lock file in the store root, held until
// the object is destroyed. Needs a QCoreApplication, whose path the lock file records.
class StoreLock final
{
    Q_DISABLE_COPY_MOVE(StoreLock)

public:
    enum class Result
    {
        Acquired,
        HeldElsewhere,
        Error
    };

    // The recording lock: whoever holds it writes the store.
    static inline const QString kRecordingLock = QStringLiteral(".vorp.lock");
    // The desktop program's lock: one copy of the windows per store, whoever records.
    static inline const QString kDesktopLock = QStringLiteral(".vorp-desktop.lock");

    // storeRoot: the store's folder, created by tryAcquire() when missing.
    explicit StoreLock(const QString& storeRoot, const QString& fileName = kRecordingLock);
    ~StoreLock() = default;

    // Never waits. A lock left by a process that no longer runs is taken.
    Result tryAcquire();
    bool held() const { return m_lock.isLocked(); }
    // The process named in the lock file (ours once acquired), 0 when the file cannot be read.
    qint64 holderPid() const;
    QString path() const { return m_path; }
    const QString& root() const { return m_root; }

private:
    bool removeUnreadableLock();

    QString m_root;
    QString m_path;
    QLockFile m_lock;
};
