// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <unistd.h>

#include "TestData.h"

Q_DECLARE_METATYPE(StoreLock::Result)

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

        first.reset();
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

    // A lock file whose record cannot be read names no process to check.
    void unreadableLockFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("ageSecs");
        QTest::addColumn<StoreLock::Result>("expected");
        QTest::newRow("empty, an hour old is taken") << QByteArray() << 3600 << StoreLock::Result::Acquired;
        QTest::newRow("not a lock record, an hour old is taken")
            << QByteArray("hello\n") << 3600 << StoreLock::Result::Acquired;
        QTest::newRow("empty, dated an hour ahead is taken") << QByteArray() << -3600 << StoreLock::Result::Acquired;
        QTest::newRow("empty and new may be being written") << QByteArray() << 0 << StoreLock::Result::HeldElsewhere;
    }
    void unreadableLockFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, ageSecs);
        QFETCH(StoreLock::Result, expected);
        QTemporaryDir dir;
        StoreLock lock(dir.path() + QLatin1Char('/'));
        {
            QFile file(lock.path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(contents), contents.size());
            QVERIFY(file.flush()); // a later write would date the file now
            QVERIFY(
                file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSecs), QFileDevice::FileModificationTime));
        }
        QCOMPARE(lock.tryAcquire(), expected);
        QCOMPARE(lock.held(), expected == StoreLock::Result::Acquired);
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
