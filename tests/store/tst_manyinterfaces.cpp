// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestData.h"
#include "support/Netns.h"

// More than 16 real interfaces: a network namespace of the test's own with ten veth pairs.
class TestManyInterfaces final : public QObject
{
    Q_OBJECT

    QString m_netns = QStringLiteral("vorp-test-%1").arg(QCoreApplication::applicationPid());

private slots:
    void initTestCase()
    {
        if (!RunIp({QStringLiteral("netns"), QStringLiteral("add"), m_netns}))
            QSKIP("cannot make a network namespace here (needs root and iproute2): many-interface test skipped");
    }
    void cleanupTestCase() { RunIp({QStringLiteral("netns"), QStringLiteral("del"), m_netns}); }

    void everyPositionIsRecorded()
    {
        QVERIFY(RunIp({QStringLiteral("-n"), m_netns, QStringLiteral("link"), QStringLiteral("set"),
                       QStringLiteral("lo"), QStringLiteral("up")}));
        for (int i = 0; i < 10; ++i)
            QVERIFY(RunIp({QStringLiteral("-n"), m_netns, QStringLiteral("link"), QStringLiteral("add"),
                           QStringLiteral("vorpa%1").arg(i), QStringLiteral("type"), QStringLiteral("veth"),
                           QStringLiteral("peer"), QStringLiteral("name"), QStringLiteral("vorpb%1").arg(i)}));
        QTemporaryDir root;
        QProcess child;
        child.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), m_netns,
                                           QStringLiteral(VORP_BINARY_DIR "/tests/store/record_all"), root.path()});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("21"));
        // Every interface got its directory and descriptor; lo, the one with traffic, got its sample.
        QCOMPARE(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 21);
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("vorpb9/nic.inf"))));
        QCOMPARE(QDir(root.filePath(QStringLiteral("IF00_lo"))).entryList({QStringLiteral("*.mdf")}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestManyInterfaces)
#include "tst_manyinterfaces.moc"
