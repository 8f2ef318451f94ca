// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLockWaiter.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

#include <mutex>
#include <thread>

// What the sleeping thread shares with its waiter: the waiter may be gone when the thread wakes.
struct StoreLockWaiter::Wake
{
    std::mutex mutex;
    QPointer<StoreLockWaiter> waiter;
};

StoreLockWaiter::StoreLockWaiter(StoreLock& lock, QObject* parent) : QObject(parent), m_lock(lock)
{
    // A safety net only: the sleeping thread or the folder's changes normally come first.
    m_retry.setInterval(60000);
    connect(&m_retry, &QTimer::timeout, this, &StoreLockWaiter::tryNow);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StoreLockWaiter::tryNow);
}

StoreLockWaiter::~StoreLockWaiter()
{
    stop();
}

void StoreLockWaiter::start()
{
    m_retry.start();
    tryNow();
}

void StoreLockWaiter::stop()
{
    m_retry.stop();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (m_wake)
    {
        // The thread sleeps on until the holder lets go, then finds nobody to tell.
        const std::lock_guard<std::mutex> guard(m_wake->mutex);
        m_wake->waiter = nullptr;
    }
    m_wake.reset();
}

void StoreLockWaiter::tryNow()
{
    if (!m_retry.isActive())
        return;
    const StoreLock::Result result = m_lock.tryAcquire();
    if (result == StoreLock::Result::Acquired)
    {
        stop();
        emit acquired();
        return;
    }
    // The store root may be missing, then created: its parent is watched until then.
    const QFileInfo root(QDir::cleanPath(QDir(m_lock.root()).absolutePath()));
    const QString watched = root.isDir() ? root.filePath() : root.absolutePath();
    if (!m_watcher.directories().contains(watched))
    {
        if (!m_watcher.directories().isEmpty())
            m_watcher.removePaths(m_watcher.directories());
        m_watcher.addPath(watched);
    }
    m_retry.setInterval(result == StoreLock::Result::Error ? kErrorRetryMs : 60000);
    if (result == StoreLock::Result::HeldElsewhere && !m_wake)
        waitForHolder();
}

void StoreLockWaiter::waitForHolder()
{
    m_wake = std::make_shared<Wake>();
    m_wake->waiter = this;
    std::thread([wake = m_wake, path = m_lock.path()] {
        const bool woken = WaitUntilUnlocked(path);
        const std::lock_guard<std::mutex> guard(wake->mutex);
        if (StoreLockWaiter* waiter = wake->waiter)
            QMetaObject::invokeMethod(
                waiter,
                [waiter, wake, woken] {
                    if (waiter->m_wake != wake)
                        return;
                    waiter->m_wake.reset();
                    // Without a file to sleep on, the folder's changes and the retry take over.
                    if (woken)
                        waiter->tryNow();
                },
                Qt::QueuedConnection);
    }).detach();
}

StoreLockKeeper::StoreLockKeeper(StoreLock& lock, QObject* parent) : QObject(parent), m_lock(lock)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { check(); });
}

void StoreLockKeeper::start()
{
    m_active = true;
    watch();
}

void StoreLockKeeper::stop()
{
    m_active = false;
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
}

bool StoreLockKeeper::check()
{
    if (!m_active)
        return m_lock.held();
    switch (m_lock.verify())
    {
    case StoreLock::Check::Held:
        return true;
    case StoreLock::Check::Retaken:
        watch();
        emit retaken();
        return true;
    case StoreLock::Check::Lost:
        break;
    }
    stop();
    emit lost(m_lock.errorString());
    return false;
}

void StoreLockKeeper::watch()
{
    // A deleted folder drops out of the watch: the new one is watched instead.
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(m_lock.root());
}
