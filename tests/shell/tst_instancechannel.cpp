// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

bool MakeAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// A bound socket at path; -1 when that fails.
int BindSocket(const QString& path, int type)
{
    sockaddr_un address;
    if (!MakeAddress(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A socket file nobody listens on, as a copy that crashed leaves it.
bool MakeDeadSocket(const QString& path)
{
    const int fd = BindSocket(path, SOCK_STREAM);
    ::close(fd);
    return fd >= 0;
}

// Listens and never accepts, like a first copy that hangs.
class SilentListener final
{
    Q_DISABLE_COPY_MOVE(SilentListener)

public:
    explicit SilentListener(const QString& path) : m_fd(BindSocket(path, SOCK_STREAM))
    {
        if (m_fd >= 0 && ::listen(m_fd, 8) != 0)
        {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool listening() const { return m_fd >= 0; }
    bool hasPendingConnections() const
    {
        pollfd watched{m_fd, POLLIN, 0};
        return ::poll(&watched, 1, 0) == 1;
    }

private:
    int m_fd;
};

// A client that never blocks, so the channel under test keeps being served on this same thread while
// it sends; the server's side shows only through what comes back and when the connection ends.
class RawClient final
{
    Q_DISABLE_COPY_MOVE(RawClient)

public:
    explicit RawClient(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        sockaddr_un address;
        if (m_fd >= 0 && (!MakeAddress(path, address) ||
                          ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0))
        {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool connected() const { return m_fd >= 0; }
    void send(const QByteArray& bytes)
    {
        m_unsent += bytes;
        pump();
    }
    // Keeps sending what is left meanwhile.
    bool closedByServer()
    {
        pump();
        return m_closed;
    }
    QByteArray received()
    {
        pump();
        return m_received;
    }

private:
    void pump()
    {
        while (!m_closed && !m_unsent.isEmpty())
        {
            const ssize_t done = ::send(m_fd, m_unsent.constData(), size_t(m_unsent.size()), MSG_NOSIGNAL);
            if (done > 0)
                m_unsent.remove(0, done);
            else if (errno == EAGAIN)
                break;
            else if (errno != EINTR)
                m_closed = true;
        }
        while (!m_closed)
        {
            char chunk[4096];
            const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
            if (got > 0)
                m_received.append(chunk, got);
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                m_closed = true;
            else if (errno == EAGAIN)
                break;
        }
    }

    int m_fd;
    QByteArray m_unsent;
    QByteArray m_received;
    bool m_closed = false;
};

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
        SilentListener silent(InstanceChannel::ServerName(store.path()));
        QVERIFY(silent.listening());
        auto result = HandOverAsync(store.path(), QStringLiteral("graphe"), 500);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::NoAnswer);
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
    }

    void leftoverIsTakenOverWhileAClientWaits_data()
    {
        QTest::addColumn<bool>("socket");
        QTest::newRow("socket of a copy that crashed") << true;
        QTest::newRow("plain file") << false;
    }
    void leftoverIsTakenOverWhileAClientWaits()
    {
        QFETCH(bool, socket);
        QTemporaryDir store;
        const QString name = InstanceChannel::ServerName(store.path());
        if (socket)
            QVERIFY(MakeDeadSocket(name));
        else
            QVERIFY(QFile(name).open(QIODevice::WriteOnly));
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

        RawClient raw(InstanceChannel::ServerName(store.path()));
        QVERIFY(raw.connected());
        raw.send(garbage);
        QTRY_VERIFY_WITH_TIMEOUT(raw.closedByServer(), 30000);
        QCOMPARE(raw.received(), QByteArray());
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
        RawClient raw(InstanceChannel::ServerName(store.path()));
        QVERIFY(raw.connected());
        raw.send(sent);
        QTRY_VERIFY_WITH_TIMEOUT(raw.closedByServer(), 30000);
        QCOMPARE(spy.count(), 0);
    }

    void answerIsSentBeforeActivation()
    {
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        QVERIFY(channel.listen());
        RawClient raw(InstanceChannel::ServerName(store.path()));
        QVERIFY(raw.connected());
        // A slot may open a box with its own event loop: the second start must have its answer already.
        QByteArray receivedOnActivation;
        connect(&channel, &InstanceChannel::activationRequested, this,
                [&raw, &receivedOnActivation] { receivedOnActivation = raw.received(); });
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        raw.send("VORP1 -\n");
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 30000);
        QCOMPARE(receivedOnActivation, QByteArray("OK\n"));
        QTRY_VERIFY_WITH_TIMEOUT(raw.closedByServer(), 30000);
    }

    void requestsArrivingInPiecesAreKeptApart()
    {
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        QVERIFY(channel.listen());
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        const QString name = InstanceChannel::ServerName(store.path());
        RawClient first(name);
        RawClient second(name);
        QVERIFY(first.connected());
        QVERIFY(second.connected());
        const QByteArray one = Request(QByteArrayLiteral("premier"));
        const QByteArray two = Request(QByteArrayLiteral("second"));

        first.send(one.first(5));
        second.send(two.first(9));
        QCoreApplication::processEvents();
        first.send(one.sliced(5, 4));
        QCoreApplication::processEvents();
        second.send(two.sliced(9));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 30000);
        first.send(one.sliced(9));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 30000);

        QCOMPARE(spy.at(0).at(0).value<Argument>(), Argument(QStringLiteral("second")));
        QCOMPARE(spy.at(1).at(0).value<Argument>(), Argument(QStringLiteral("premier")));
        QTRY_VERIFY_WITH_TIMEOUT(first.closedByServer() && second.closedByServer(), 30000);
        QCOMPARE(first.received(), QByteArray("OK\n"));
        QCOMPARE(second.received(), QByteArray("OK\n"));
    }

    void socketFileIsPrivateWhateverTheUmask()
    {
        QTemporaryDir store;
        const mode_t saved = ::umask(0);
        InstanceChannel channel(store.path());
        const bool listening = channel.listen();
        ::umask(saved);
        QVERIFY2(listening, qPrintable(channel.errorString()));
        struct stat status
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(InstanceChannel::ServerName(store.path())).constData(), &status), 0);
        QVERIFY(S_ISSOCK(status.st_mode));
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
    }

    void socketFileGoesWithTheChannel()
    {
        QTemporaryDir store;
        const QString name = InstanceChannel::ServerName(store.path());
        {
            InstanceChannel channel(store.path());
            QVERIFY(channel.listen());
            QVERIFY(QFileInfo::exists(name));
        }
        QVERIFY(!QFileInfo::exists(name));
        QCOMPARE(InstanceChannel::handOver(store.path(), Argument(), 0), HandOver::NoAnswer);
    }

    void anotherChannelLeavesTheLiveSocket_data()
    {
        QTest::addColumn<bool>("otherListenedFirst");
        QTest::newRow("one that never listened") << false;
        QTest::newRow("one whose socket was taken over") << true;
    }
    void anotherChannelLeavesTheLiveSocket()
    {
        QFETCH(bool, otherListenedFirst);
        QTemporaryDir store;
        auto other = std::make_unique<InstanceChannel>(store.path());
        if (otherListenedFirst)
            QVERIFY(other->listen());
        InstanceChannel live(store.path());
        QVERIFY2(live.listen(), qPrintable(live.errorString()));
        QSignalSpy spy(&live, &InstanceChannel::activationRequested);
        other.reset();

        QVERIFY(QFileInfo::exists(InstanceChannel::ServerName(store.path())));
        auto result = HandOverAsync(store.path(), QStringLiteral("encore"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, QStringLiteral("encore"));
    }

    void pathTooLongForASocketIsRefused()
    {
        // Restored however the test ends, as the other tests rely on it.
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&runtime] { qputenv("XDG_RUNTIME_DIR", runtime); });
        const QString deep = m_runtime.filePath(QString(120, QLatin1Char('d')));
        QVERIFY(QDir().mkpath(deep));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
        QTemporaryDir store;

        InstanceChannel channel(store.path());
        QVERIFY(!channel.listen());
        QVERIFY(!channel.errorString().isEmpty());
        QCOMPARE(InstanceChannel::handOver(store.path(), QStringLiteral("graphe"), 300), HandOver::NoAnswer);
        QCOMPARE(QDir(deep).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
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
