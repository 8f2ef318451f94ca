// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLock.h"
#include "store/StoreLockWaiter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "TestData.h"

Q_DECLARE_METATYPE(StoreLock::Result)
Q_DECLARE_METATYPE(StoreLock::Check)

class TestStoreLock final : public QObject
{
    Q_OBJECT

private slots:
    void acquiresAndReleasesInAMissingFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("a/b/"));
        QString lockPath;
        {
            StoreLock lock(root);
            QCOMPARE(lock.tryAcquire(), StoreLock::Result::Acquired);
            QVERIFY(lock.held());
            lockPath = lock.path();
            QCOMPARE(lockPath, dir.filePath(QStringLiteral("a/b/.vorp.lock")));
            QVERIFY(QFile::exists(lockPath));
            QCOMPARE(lock.holderPid(), QCoreApplication::applicationPid());
        }
        QVERIFY(!QFile::exists(lockPath));
    }

    void secondLockSucceedsOnlyAfterTheFirstIsGone()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + QLatin1Char('/');
        std::optional<StoreLock> first(std::in_place, root);
        QCOMPARE(first->tryAcquire(), StoreLock::Result::Acquired);

        StoreLock second(root);
        QCOMPARE(second.tryAcquire(), StoreLock::Result::HeldElsewhere);
        QVERIFY(!second.held());
        QCOMPARE(second.holderPid(), QCoreApplication::applicationPid());
        QVERIFY(first->held());
        QVERIFY(StoreLock::IsHeld(root));

        first.reset();
        QVERIFY(!StoreLock::IsHeld(root));
        QCOMPARE(second.tryAcquire(), StoreLock::Result::Acquired);
        QVERIFY(second.held());
    }

    void lockOfAKilledProcessIsTaken()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + QLatin1Char('/');
        QProcess holder;
        holder.start(QStringLiteral(VORP_BINARY_DIR "/tests/store/lock_holder"), {root});
        QVERIFY2(holder.waitForStarted(30000), qPrintable(holder.errorString()));
        while (!holder.canReadLine())
            QVERIFY2(holder.waitForReadyRead(30000), "the holder ended without taking the lock");
        QCOMPARE(holder.readLine(), QByteArray("locked\n"));

        StoreLock lock(root);
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::HeldElsewhere);
        QCOMPARE(lock.holderPid(), holder.processId());

        holder.kill();
        QVERIFY(holder.waitForFinished(30000));
        QVERIFY2(QFile::exists(lock.path()), "SIGKILL should leave the lock file behind");
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Acquired);
        QCOMPARE(lock.holderPid(), QCoreApplication::applicationPid());
    }

    // Whatever stands at the lock's name, a lock nobody holds is taken: the kernel's lock says who holds
    // it, the record never does.
    void whateverIsLeftAtTheNameIsTaken_data()
    {
        QTest::addColumn<QString>("left");
        QTest::newRow("an empty file, just made") << QStringLiteral("empty");
        QTest::newRow("not a lock record") << QStringLiteral("junk");
        QTest::newRow("a record naming this very process (a reused PID)") << QStringLiteral("our pid");
        QTest::newRow("a record naming a live process on another host") << QStringLiteral("other host");
        QTest::newRow("a FIFO") << QStringLiteral("fifo");
        QTest::newRow("a link to /dev/zero") << QStringLiteral("link to device");
        QTest::newRow("a dangling link") << QStringLiteral("dangling link");
        QTest::newRow("an empty folder") << QStringLiteral("folder");
    }
    void whateverIsLeftAtTheNameIsTaken()
    {
        QFETCH(QString, left);
        QTemporaryDir dir;
        StoreLock lock(dir.path() + QLatin1Char('/'));
        const QByteArray path = QFile::encodeName(lock.path());
        const auto write = [&](const QByteArray& contents) {
            QFile file(lock.path());
            return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
        };
        if (left == QLatin1String("empty"))
            QVERIFY(write(QByteArray()));
        else if (left == QLatin1String("junk"))
            QVERIFY(write("hello\n"));
        else if (left == QLatin1String("our pid"))
            QVERIFY(write(QByteArray::number(QCoreApplication::applicationPid()) + "\ntest_storelock\nhere\n"));
        else if (left == QLatin1String("other host"))
            QVERIFY(write("1\nvorp\nanother-host\n"));
        else if (left == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(path.constData(), 0644), 0);
        else if (left == QLatin1String("link to device"))
            QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
        else if (left == QLatin1String("dangling link"))
            QCOMPARE(
                ::symlink(QFile::encodeName(dir.filePath(QStringLiteral("nowhere"))).constData(), path.constData()), 0);
        else if (left == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(lock.path()));

        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Acquired);
        QVERIFY(lock.held());
        QVERIFY(QFileInfo(lock.path()).isFile() && !QFileInfo(lock.path()).isSymLink());
        QCOMPARE(lock.holderPid(), QCoreApplication::applicationPid());
        // And it keeps a second copy out.
        StoreLock second(dir.path() + QLatin1Char('/'));
        QCOMPARE(second.tryAcquire(), StoreLock::Result::HeldElsewhere);
    }

    void aFolderWithFilesIsAnErrorThatNamesIt()
    {
        QTemporaryDir dir;
        StoreLock lock(dir.path() + QLatin1Char('/'));
        QVERIFY(QDir().mkpath(lock.path() + QStringLiteral("/inside")));
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Error);
        QCOMPARE(lock.errorString(), QStringLiteral("c'est un dossier qui n'est pas vide"));
        QVERIFY(QFileInfo::exists(lock.path() + QStringLiteral("/inside")));
    }

    // A lock file deleted under its holder (or the whole store folder, to reset the statistics) is taken
    // back at once; one replaced by another copy's is lost, and that copy alone holds the store.
    void deletedOrReplacedWhileHeld_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<StoreLock::Check>("expected");
        QTest::newRow("lock file deleted") << QStringLiteral("file") << StoreLock::Check::Retaken;
        QTest::newRow("store folder deleted") << QStringLiteral("folder") << StoreLock::Check::Retaken;
        QTest::newRow("another copy took the name") << QStringLiteral("other") << StoreLock::Check::Lost;
    }
    void deletedOrReplacedWhileHeld()
    {
        QFETCH(QString, what);
        QFETCH(StoreLock::Check, expected);
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("store/"));
        StoreLock lock(root);
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Acquired);
        QCOMPARE(lock.verify(), StoreLock::Check::Held);
        std::optional<StoreLock> other;
        if (what == QLatin1String("folder"))
            QVERIFY(QDir(root).removeRecursively());
        else
            QVERIFY(QFile::remove(lock.path()));
        if (what == QLatin1String("other"))
        {
            other.emplace(root);
            QCOMPARE(other->tryAcquire(), StoreLock::Result::Acquired);
        }
        QCOMPARE(lock.verify(), expected);
        QCOMPARE(lock.held(), expected == StoreLock::Check::Retaken);
        if (other)
        {
            QVERIFY(other->held());
            QCOMPARE(other->verify(), StoreLock::Check::Held);
        }
        else
        {
            StoreLock second(root);
            QCOMPARE(second.tryAcquire(), StoreLock::Result::HeldElsewhere);
        }
    }

    // The kernel wakes the waiter the moment a holder is killed: no minute-long retry.
    void waiterTakesTheLockOfAKilledHolderAtOnce()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + QLatin1Char('/');
        QProcess holder;
        holder.start(QStringLiteral(VORP_BINARY_DIR "/tests/store/lock_holder"), {root});
        QVERIFY2(holder.waitForStarted(30000), qPrintable(holder.errorString()));
        while (!holder.canReadLine())
            QVERIFY2(holder.waitForReadyRead(30000), "the holder ended without taking the lock");
        StoreLock lock(root);
        StoreLockWaiter waiter(lock);
        QSignalSpy acquired(&waiter, &StoreLockWaiter::acquired);
        waiter.start();
        QVERIFY(!lock.held());
        QVERIFY(waiter.waiting());
        holder.kill();
        QVERIFY(holder.waitForFinished(30000));
        // Far below the safety net's minute, which a busy machine still never reaches.
        QVERIFY(acquired.wait(30000));
        QVERIFY(lock.held());
        QVERIFY(!waiter.waiting());
    }

    // A lock that cannot be made (here the store root's place is taken by a file) is tried again and
    // taken as soon as it can be.
    void waiterRetriesAnErrorUntilItClears()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("store"));
        {
            QFile blocker(root);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        StoreLock lock(root + QLatin1Char('/'));
        StoreLockWaiter waiter(lock);
        QSignalSpy acquired(&waiter, &StoreLockWaiter::acquired);
        waiter.start();
        QVERIFY(!lock.held());
        QVERIFY(QFile::remove(root));
        QVERIFY(acquired.wait(30000));
        QVERIFY(lock.held());
    }

    void unusableFolderIsAnError_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("a path through a plain file") << QStringLiteral("file");
        QTest::newRow("a read-only folder") << QStringLiteral("read-only");
    }
    void unusableFolderIsAnError()
    {
        QFETCH(QString, blocker);
        QTemporaryDir dir;
        // Lets QTemporaryDir remove the read-only folder whatever happens.
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        QString root;
        if (blocker == QLatin1String("file"))
        {
            QFile file(dir.filePath(QStringLiteral("plain")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            root = file.fileName() + QStringLiteral("/store/");
        }
        else
        {
            if (::geteuid() == 0)
                QSKIP("root writes into a read-only folder");
            root = dir.filePath(QStringLiteral("ro/"));
            QVERIFY(QDir().mkpath(root));
            QVERIFY(QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        StoreLock lock(root);
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Error);
        QVERIFY(!lock.held());
    }
};

QTEST_GUILESS_MAIN(TestStoreLock)
#include "tst_storelock.moc"
