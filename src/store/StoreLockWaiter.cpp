// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLockWaiter.h"

StoreLockWaiter::StoreLockWaiter(StoreLock& lock, QObject* parent) : QObject(parent), m_lock(lock)
{
    m_retry.setInterval(60000);
    connect(&m_retry, &QTimer::timeout, this, &StoreLockWaiter::tryNow);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StoreLockWaiter::tryNow);
}

void StoreLockWaiter::start()
{
    m_retry.start();
    // The folder may be missing or unwatchable: the minute's retry still comes.
    m_watcher.addPath(m_lock.root());
    tryNow();
}

void StoreLockWaiter::tryNow()
{
    if (!m_retry.isActive())
        return;
    if (m_lock.tryAcquire() != StoreLock::Result::Acquired)
        return;
    m_retry.stop();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    emit acquired();
}
