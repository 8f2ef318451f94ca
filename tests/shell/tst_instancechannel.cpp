// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>
#include <future>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Argument = std::optional<QString>;
using HandOver = InstanceChannel::HandOver;

namespace
{
// handOver blocks, so it runs on a thread of its own while this one serves.
std::future<HandOver> HandOverAsync(const QString& storeRoot, const Argument& argument, int timeoutMs)
{
    return std::async(std::launch::async, [=] { return InstanceChannel::handOver(storeRoot, argument, timeoutMs); });
}

bool Ready(const std::future<HandOver>& result)
{
    return result.wait_for(0s) == std::future_status::ready;
}

// A socket file nobody listens on, as a copy that crashed leaves it.
bool MakeDeadSocket(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

QByteArray Request(const QByteArray& payload)
{
    return "VORP1 +" + payload.toBase64() + '\n';
}
} // namespace

class TestInstanceChannel final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

    static void CheckArrived(const QSignalSpy& spy, const Argument& expected)
    {
        QCOMPARE(spy.count(), 1);
        const auto arrived = spy.at(0).at(0).value<Argument>();
        QCOMPARE(arrived.has_value(), expected.has_value());
        if (expected)
            QCOMPARE(*arrived, *expected);
    }

private slots:
    void initTestCase()
    {
        // Keeps every socket of this test away from a real user's copy.
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void argumentArrivesIntact_data()
    {
        QTest::addColumn<Argument>("argument");
        QString longText;
        while (longText.size() < 10000)
            longText += QStringLiteral("Débit été\n 📈 ");
        longText.truncate(10000);
        QTest::newRow("none") << Argument();
        QTest::newRow("empty, not none") << Argument(QString());
        QTest::newRow("plain") << Argument(QStringLiteral("graphe"));
        QTest::newRow("spaces") << Argument(QStringLiteral("/tmp/mes images/graphe du jour"));
        QTest::newRow("line breaks") << Argument(QStringLiteral("ligne 1\nligne 2\r\nVORP1 -\n"));
        QTest::newRow("accents") << Argument(QStringLiteral("Débit été"));
        QTest::newRow("outside the basic plane") << Argument(QStringLiteral("trafic 📈"));
        QTest::newRow("10000 characters") << Argument(longText);
    }
    void argumentArrivesIntact()
    {
        QFETCH(Argument, argument);
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);

        auto result = HandOverAsync(store.path(), argument, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, argument);
    }

    void noServerGivesNoAnswerAtTheDeadline()
    {
        QTemporaryDir store;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(InstanceChannel::handOver(store.path(), QStringLiteral("graphe"), 300), HandOver::NoAnswer);
        const qint64 elapsed = clock.elapsed();
        // Kept trying while the first copy might still be starting, and gave up at the deadline.
        QVERIFY2(elapsed >= 300, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
    }

    void silentServerGivesNoAnswer()
    {
        QTemporaryDir store;
        QLocalServer silent;
        QVERIFY(silent.listen(InstanceChannel::ServerName(store.path())));
        auto result = HandOverAsync(store.path(), QStringLiteral("graphe"), 500);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::NoAnswer);
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
    }

    void deadSocketIsTakenOverWhileAClientWaits()
    {
        QTemporaryDir store;
        const QString name = InstanceChannel::ServerName(store.path());
        QVERIFY(MakeDeadSocket(name));
        // The second start comes before the first copy listens.
        auto result = HandOverAsync(store.path(), Argument(), 30000);

        InstanceChannel channel(store.path());
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFile::permissions(name) & others, QFileDevice::Permissions());

        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, Argument());
    }

    void badRequestIsDropped_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("not a request") << QByteArray("bonjour\n");
        QTest::newRow("no argument marker") << QByteArray("VORP1 \n");
        QTest::newRow("broken base64") << QByteArray("VORP1 +@@@@\n");
        QTest::newRow("invalid UTF-8") << Request("\xff\xfe");
        QTest::newRow("a NUL character") << Request(QByteArray("a\0b", 3));
        QTest::newRow("binary") << QByteArray("\0\x01\x02\x80\n", 5);
        QTest::newRow("300 KiB without a line end") << QByteArray(300 * 1024, 'A');
        QTest::newRow("a 300 KiB line") << Request(QByteArray(225 * 1024, 'a'));
    }
    void badRequestIsDropped()
    {
        QFETCH(QByteArray, garbage);
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        channel.setRequestTimeout(600000); // only the request itself may get it dropped
        QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);

        QLocalSocket raw;
        raw.connectToServer(InstanceChannel::ServerName(store.path()));
        QVERIFY(raw.waitForConnected(30000));
        raw.write(garbage);
        QTRY_VERIFY_WITH_TIMEOUT(raw.state() == QLocalSocket::UnconnectedState, 30000);
        QVERIFY(!raw.canReadLine());
        QCOMPARE(spy.count(), 0);

        // The server still serves.
        auto result = HandOverAsync(store.path(), QStringLiteral("après"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, QStringLiteral("après"));
    }

    void incompleteRequestIsDroppedInTime_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("no line end") << QByteArray("VORP1 -");
    }
    void incompleteRequestIsDroppedInTime()
    {
        QFETCH(QByteArray, sent);
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        channel.setRequestTimeout(200);
        QVERIFY(channel.listen());
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        QLocalSocket raw;
        raw.connectToServer(InstanceChannel::ServerName(store.path()));
        QVERIFY(raw.waitForConnected(30000));
        raw.write(sent);
        QTRY_VERIFY_WITH_TIMEOUT(raw.state() == QLocalSocket::UnconnectedState, 30000);
        QCOMPARE(spy.count(), 0);
    }

    void serverNameIsPerStore()
    {
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("one")));
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("two")));
        QVERIFY(QFile::link(base.filePath(QStringLiteral("one")), base.filePath(QStringLiteral("link"))));

        const QString one = InstanceChannel::ServerName(base.filePath(QStringLiteral("one/")));
        const QString prefix = QStringLiteral("vorp-%1-").arg(::getuid());
        QCOMPARE(QFileInfo(one).path(), m_runtime.path());
        QVERIFY2(QFileInfo(one).fileName().startsWith(prefix), qPrintable(one));
        QCOMPARE(QFileInfo(one).fileName().size(), prefix.size() + 16);

        QCOMPARE(InstanceChannel::ServerName(base.filePath(QStringLiteral("one"))), one);
        QCOMPARE(InstanceChannel::ServerName(base.filePath(QStringLiteral("two/../one/"))), one);
        QCOMPARE(InstanceChannel::ServerName(base.filePath(QStringLiteral("link/"))), one);
        QVERIFY(InstanceChannel::ServerName(base.filePath(QStringLiteral("two/"))) != one);
        QVERIFY(InstanceChannel::ServerName(base.filePath(QStringLiteral("missing/"))) != one);
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_instancechannel.moc"
