// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreLock.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Takes a lock that another process holds as soon as it lets go: the store root is watched (a holder
// that ends removes its lock file), and the lock is tried again every minute for a holder that died
// without removing it. Costs nothing while the holder runs.
class StoreLockWaiter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreLockWaiter)

public:
    explicit StoreLockWaiter(StoreLock& lock, QObject* parent = nullptr);
    void start();

signals:
    // Once, when the lock is ours.
    void acquired();

private:
    void tryNow();

    StoreLock& m_lock;
    QFileSystemWatcher m_watcher;
    QTimer m_retry;
};
