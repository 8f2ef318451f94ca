// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreLock.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <memory>

// Takes the store's lock the moment it can be had. While another copy holds it, a thread sleeps in the
// kernel's lock queue and wakes when that copy lets go or dies (even by SIGKILL): no polling, no delay.
// While the lock cannot be taken at all (a full disk, a read-only or unwritable store root), it is tried
// again every few seconds and at every change in the store root.
class StoreLockWaiter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreLockWaiter)

public:
    static constexpr int kErrorRetryMs = 5000;

    explicit StoreLockWaiter(StoreLock& lock, QObject* parent = nullptr);
    ~StoreLockWaiter() override;
    void start();
    void stop();
    bool waiting() const { return m_retry.isActive(); }

signals:
    // Once per start(), when the lock is ours.
    void acquired();

private:
    struct Wake;
    void tryNow();
    void waitForHolder();

    StoreLock& m_lock;
    QFileSystemWatcher m_watcher;
    QTimer m_retry;
    std::shared_ptr<Wake> m_wake; // the sleeping thread's, while there is one
};

// Keeps a held lock true: the store root is watched, and a lock file deleted or replaced (the store
// folder removed by hand to reset the statistics) is taken back at once, the store root created again;
// when another copy got it first, this copy is told to stop recording.
class StoreLockKeeper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreLockKeeper)

public:
    explicit StoreLockKeeper(StoreLock& lock, QObject* parent = nullptr);
    void start();
    void stop();
    // Checks now (before each cycle writes): true while the lock is this copy's.
    bool check();

signals:
    void retaken();
    void lost(const QString& why);

private:
    void watch();

    StoreLock& m_lock;
    QFileSystemWatcher m_watcher;
    bool m_active = false;
};
