// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace
{
// A holder writes its record right after creating the file; an unreadable file younger than this
// may be one being written.
constexpr qint64 kUnreadableAgeSecs = 5;
} // namespace

StoreLock::StoreLock(const QString& storeRoot, const QString& fileName)
    : m_root(storeRoot), m_path(QDir(storeRoot).filePath(fileName)), m_lock(m_path)
{
    // The copy holds the store for as long as it runs: a lock is stale only when its process is gone,
    // never because of its age.
    m_lock.setStaleLockTime(0);
}

StoreLock::Result StoreLock::tryAcquire()
{
    // Without an application path in the record, a live holder would look like a reused PID.
    Q_ASSERT(QCoreApplication::instance());
    if (m_lock.isLocked())
        return Result::Acquired;
    if (!QDir().mkpath(m_root))
        return Result::Error;
    if (m_lock.tryLock(0))
        return Result::Acquired;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Result::Error;
    if (removeUnreadableLock() && m_lock.tryLock(0))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::HeldElsewhere : Result::Error;
}

qint64 StoreLock::holderPid() const
{
    qint64 pid = 0;
    QString host, application;
    return m_lock.getLockInfo(&pid, &host, &application) ? pid : 0;
}

// QLockFile judges staleness from the record only, so a lock file left empty or torn (a crash or a
// power cut between creating and writing it) would lock the store for good. Such a file is removed
// when nobody holds its flock, which removeStaleLockFile() checks.
bool StoreLock::removeUnreadableLock()
{
    if (holderPid() != 0)
        return false;
    // The guard QLockFile itself takes before removing a stale lock, so two starts never remove a
    // lock that one of them has just created.
    QLockFile guard(m_path + QStringLiteral(".rmlock"));
    if (!guard.tryLock(0))
        return false;
    const QFileInfo file(m_path);
    if (!file.exists() || holderPid() != 0)
        return false;
    // Either way: the clock may have been set back since the file was written.
    if (qAbs(file.lastModified().secsTo(QDateTime::currentDateTime())) < kUnreadableAgeSecs)
        return false;
    return m_lock.removeStaleLockFile();
}
