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
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Argument = std::optional<QString>;
using HandOver = InstanceChannel::HandOver;

namespace
{
// handOver blocks, so it runs on a thread of its own while this one serves.
std::future<HandOver> HandOverAsync(const QString& storeRoot, const Argument& argument, int timeoutMs,
                                    const ActivationToken& token = {})
{
    return std::async(std::launch::async,
                      [=] { return InstanceChannel::handOver(storeRoot, argument, timeoutMs, token); });
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

// Sets or unsets variables for one test and puts them back however it ends.
class ScopedEnvironment final
{
    Q_DISABLE_COPY_MOVE(ScopedEnvironment)

public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment()
    {
        for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved)
        {
            if (saved->wasSet)
                qputenv(saved->name, saved->value);
            else
                qunsetenv(saved->name);
        }
    }
    void set(const char* name, const QString& value)
    {
        save(name);
        qputenv(name, QFile::encodeName(value));
    }
    void unset(const char* name)
    {
        save(name);
        qunsetenv(name);
    }

private:
    struct Saved
    {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    void save(const char* name) { m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)}); }

    std::vector<Saved> m_saved;
};

// What stands at a folder's path before the channel looks there.
enum class Folder
{
    Unset,
    Missing,
    Relative,
    OpenToAll,
    OpenToGroupAndOthers,
    OtherUsers,
    LinkToOurFolder,
    PlainFile
};

constexpr uid_t kOtherUser = 65534;

bool MakeFolder(const QString& path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return ::mkdir(name.constData(), 0700) == 0 && ::chmod(name.constData(), mode) == 0;
}

// Leaves path as folder says; a link points to spare.
bool Prepare(Folder folder, const QString& path, const QString& spare)
{
    switch (folder)
    {
    case Folder::Unset:
    case Folder::Missing:
        return true;
    case Folder::Relative:
        return MakeFolder(path, 0700);
    case Folder::OpenToAll:
        return MakeFolder(path, 0777);
    case Folder::OpenToGroupAndOthers:
        return MakeFolder(path, 0755);
    case Folder::OtherUsers:
        return MakeFolder(path, 0700) && ::chown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser) == 0;
    case Folder::LinkToOurFolder:
        return MakeFolder(spare, 0700) && QFile::link(spare, path);
    case Folder::PlainFile:
        return QFile(path).open(QIODevice::WriteOnly);
    }
    return false;
}

bool IsPrivateFolderOfOurs(const QString& path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & 07777) == 0700;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

// What a forked child reports through its exit status.
enum ChildOutcome
{
    ClosedUnanswered = 0,
    Answered = 2,    // as a client: the channel answered; as a listener: it was sent a request
    KeptWaiting = 3, // nothing happened within the child's own limit
    Failed = 4,
    NotAllowed = 5
};

// In a forked child, so only system calls. Becomes another user, keeping only the right to pass file
// permissions: this user's folder (0700) and socket (0600) would otherwise stop it before the channel could.
bool BecomeOtherUser()
{
    if (::prctl(PR_SET_KEEPCAPS, 1L, 0L, 0L, 0L) != 0 || ::setuid(kOtherUser) != 0)
        return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    data[0].permitted = data[0].effective = 1U << CAP_DAC_OVERRIDE;
    return ::syscall(SYS_capset, &header, data) == 0 && ::geteuid() == kOtherUser;
}

// True once fd has something to read or has been closed; false when nothing comes within the limit.
bool AwaitInput(int fd)
{
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, 30000) == 1;
}

ChildOutcome AskAsOtherUser(const sockaddr_un& address)
{
    if (!BecomeOtherUser())
        return NotAllowed;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Failed;
    static const char request[] = "VORP1 -\n";
    ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
    if (!AwaitInput(fd))
        return KeptWaiting;
    char answer;
    const ssize_t got = ::read(fd, &answer, 1);
    return got > 0 ? Answered : ClosedUnanswered;
}

// Listens at address as another user and answers whatever comes as a copy of ours would.
// Tells ready 'y' once listening, 'u' when it could not become another user.
ChildOutcome ListenAsOtherUser(const sockaddr_un& address, int ready)
{
    if (!BecomeOtherUser())
    {
        [[maybe_unused]] const ssize_t told = ::write(ready, "u", 1);
        return NotAllowed;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 || ::write(ready, "y", 1) != 1)
        return Failed;
    if (!AwaitInput(fd))
        return KeptWaiting;
    const int connection = ::accept(fd, nullptr, nullptr);
    if (connection < 0 || !AwaitInput(connection))
        return Failed;
    char request[64];
    if (::read(connection, request, sizeof request) <= 0)
        return ClosedUnanswered;
    ::send(connection, "OK\n", 3, MSG_NOSIGNAL);
    return Answered;
}

// Stays true once the child is reaped, as a condition waited for is checked again at the end.
bool Reaped(pid_t& child, int& status)
{
    if (child > 0 && ::waitpid(child, &status, WNOHANG) == child)
        child = 0;
    return child == 0;
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
        QTest::newRow("none") << Argument();
        QTest::newRow("empty, not none") << Argument(QString());
        QTest::newRow("plain") << Argument(QStringLiteral("graphe"));
        QTest::newRow("spaces") << Argument(QStringLiteral("/tmp/mes images/graphe du jour"));
        QTest::newRow("line breaks") << Argument(QStringLiteral("ligne 1\nligne 2\r\nVORP1 -\n"));
        QTest::newRow("accents") << Argument(QStringLiteral("Débit été"));
        QTest::newRow("outside the basic plane") << Argument(QStringLiteral("trafic 📈"));
        // "VORP1 +", 8184 characters of base64 and the line end: a request of exactly the cap.
        QTest::newRow("6138 bytes, the longest that fits") << Argument(QString(6138, QLatin1Char('a')));
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

    // The launcher's tokens come with the argument; tokens that would not fit are left out, never the
    // request.
    void tokensArriveWithTheArgument_data()
    {
        QTest::addColumn<Argument>("argument");
        QTest::addColumn<QByteArray>("x11");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<bool>("arrive");
        QTest::newRow("an X11 startup id")
            << Argument(QStringLiteral("--graph")) << QByteArray("kwin-1-host-vorp_TIME5678") << QByteArray() << true;
        QTest::newRow("a Wayland token, no argument") << Argument() << QByteArray() << QByteArray("a7f3-9c0e") << true;
        QTest::newRow("both") << Argument(QStringLiteral("--totals")) << QByteArray("id_TIME1") << QByteArray("t0k")
                              << true;
        QTest::newRow("beside the longest argument: left out")
            << Argument(QString(6138, QLatin1Char('a'))) << QByteArray("id_TIME1") << QByteArray("t0k") << false;
    }
    void tokensArriveWithTheArgument()
    {
        QFETCH(Argument, argument);
        QFETCH(QByteArray, x11);
        QFETCH(QByteArray, wayland);
        QFETCH(bool, arrive);
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        auto result = HandOverAsync(store.path(), argument, 30000, ActivationToken{x11, wayland});
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, argument);
        const auto token = spy.at(0).at(1).value<ActivationToken>();
        QCOMPARE(token.x11, arrive ? x11 : QByteArray());
        QCOMPARE(token.wayland, arrive ? wayland : QByteArray());
    }

    // A first copy from before the tokens hangs up on a request that carries them: the second start asks
    // again without them, so the argument still gets there.
    void anOlderFirstCopyStillGetsTheArgument()
    {
        QTemporaryDir store;
        const int listener = BindSocket(InstanceChannel::ServerName(store.path()), SOCK_STREAM);
        QVERIFY(listener >= 0 && ::listen(listener, 8) == 0);
        const auto closeListener = qScopeGuard([listener] { ::close(listener); });
        QList<QByteArray> requests;
        std::thread older([listener, &requests] {
            for (int served = 0; served < 2; ++served)
            {
                const int fd = ::accept(listener, nullptr, nullptr);
                QByteArray line;
                char c = 0;
                while (!line.endsWith('\n') && ::read(fd, &c, 1) == 1)
                    line += c;
                requests.append(line);
                // Its reader knew one field after the tag.
                if (!line.sliced(6).trimmed().contains(' '))
                    (void)!::write(fd, "OK\n", 3);
                ::close(fd);
            }
        });
        const HandOver result =
            InstanceChannel::handOver(store.path(), QStringLiteral("graphe"), 30000, ActivationToken{"id_TIME1", {}});
        older.join();
        QCOMPARE(result, HandOver::Accepted);
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].contains(" X"));
        QCOMPARE(requests[1], Request("graphe"));
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
        QTest::newRow("the cap without a line end") << QByteArray(InstanceChannel::kMaxRequestBytes, 'A');
        QTest::newRow("a request 4 bytes over the cap") << Request(QByteArray(6141, 'a'));
        QTest::newRow("a 300 KiB line") << Request(QByteArray(225 * 1024, 'a'));
        QTest::newRow("a token that is not base64") << QByteArray("VORP1 - X@@@@\n");
        QTest::newRow("a token with a control character") << "VORP1 - X" + QByteArray("a\x01b").toBase64() + '\n';
        QTest::newRow("an empty token") << QByteArray("VORP1 - W\n");
        QTest::newRow("two startup ids") << QByteArray("VORP1 - XYQ== XYQ==\n");
        QTest::newRow("a field of no known kind") << QByteArray("VORP1 - QYQ==\n");
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
        QVERIFY(MakeFolder(deep, 0700));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
        QTemporaryDir store;

        InstanceChannel channel(store.path());
        QVERIFY(!channel.listen());
        QVERIFY(!channel.errorString().isEmpty());
        QCOMPARE(InstanceChannel::handOver(store.path(), QStringLiteral("graphe"), 300), HandOver::NoAnswer);
        QCOMPARE(QDir(deep).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
    }

    void privateFolderWhenTheRuntimeFolderIsUnfit_data()
    {
        QTest::addColumn<Folder>("runtime");
        QTest::newRow("unset") << Folder::Unset;
        QTest::newRow("relative, though a private folder from here") << Folder::Relative;
        QTest::newRow("missing") << Folder::Missing;
        QTest::newRow("open to group and others (0755)") << Folder::OpenToGroupAndOthers;
        QTest::newRow("another user's") << Folder::OtherUsers;
        QTest::newRow("a link to a private folder") << Folder::LinkToOurFolder;
    }
    void privateFolderWhenTheRuntimeFolderIsUnfit()
    {
        QFETCH(Folder, runtime);
        if (runtime == Folder::OtherUsers && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir store;
        QTemporaryDir sandbox;
        const QString temp = sandbox.filePath(QStringLiteral("tmp"));
        const QString runtimePath = sandbox.filePath(QStringLiteral("run"));
        const QString spare = sandbox.filePath(QStringLiteral("spare"));
        QVERIFY(QDir().mkpath(temp));
        QVERIFY(Prepare(runtime, runtimePath, spare));
        ScopedEnvironment environment;
        environment.set("TMPDIR", temp);
        environment.set("HOME", sandbox.filePath(QStringLiteral("home")));
        environment.unset("XDG_CACHE_HOME");
        if (runtime == Folder::Unset)
            environment.unset("XDG_RUNTIME_DIR");
        else
            environment.set("XDG_RUNTIME_DIR", runtime == Folder::Relative ? QStringLiteral("run") : runtimePath);
        const QString current = QDir::currentPath();
        const auto restore = qScopeGuard([&current] { QDir::setCurrent(current); });
        QVERIFY(QDir::setCurrent(sandbox.path()));

        InstanceChannel channel(store.path());
        QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        const QString folder = QDir(temp).filePath(QStringLiteral("vorp-%1").arg(::getuid()));
        QCOMPARE(QFileInfo(InstanceChannel::ServerName(store.path())).path(), folder);
        QVERIFY(IsPrivateFolderOfOurs(folder));
        QCOMPARE(Entries(runtimePath), QStringList());
        QCOMPARE(Entries(spare), QStringList());

        auto result = HandOverAsync(store.path(), QStringLiteral("graphe"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        CheckArrived(spy, QStringLiteral("graphe"));
    }

    void takenFolderIsNeverUsed_data()
    {
        QTest::addColumn<Folder>("taken");
        QTest::addColumn<bool>("cacheTakenToo");
        QTest::newRow("open to all (0777)") << Folder::OpenToAll << false;
        QTest::newRow("another user's") << Folder::OtherUsers << false;
        QTest::newRow("a link to a private folder") << Folder::LinkToOurFolder << false;
        QTest::newRow("a plain file") << Folder::PlainFile << false;
        QTest::newRow("the one in the cache folder taken too") << Folder::OpenToAll << true;
    }
    void takenFolderIsNeverUsed()
    {
        QFETCH(Folder, taken);
        QFETCH(bool, cacheTakenToo);
        if (taken == Folder::OtherUsers && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir store;
        QTemporaryDir sandbox;
        const QString temp = sandbox.filePath(QStringLiteral("tmp"));
        const QString home = sandbox.filePath(QStringLiteral("home"));
        const QString spare = sandbox.filePath(QStringLiteral("spare"));
        const QString folderName = QStringLiteral("vorp-%1").arg(::getuid());
        const QString takenFolder = QDir(temp).filePath(folderName);
        const QString cacheFolder = QDir(home).filePath(QStringLiteral(".cache/") + folderName);
        QVERIFY(QDir().mkpath(temp));
        QVERIFY(Prepare(taken, takenFolder, spare));
        if (cacheTakenToo)
            QVERIFY(QDir().mkpath(QFileInfo(cacheFolder).path()) && Prepare(Folder::OpenToAll, cacheFolder, {}));
        ScopedEnvironment environment;
        environment.set("TMPDIR", temp);
        environment.set("HOME", home);
        environment.unset("XDG_CACHE_HOME");
        environment.unset("XDG_RUNTIME_DIR");

        InstanceChannel channel(store.path());
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        if (cacheTakenToo)
        {
            QVERIFY(!channel.listen());
            QVERIFY2(channel.errorString().contains(takenFolder) && channel.errorString().contains(cacheFolder),
                     qPrintable(channel.errorString()));
            QCOMPARE(InstanceChannel::ServerName(store.path()), QString());
            QCOMPARE(InstanceChannel::handOver(store.path(), QStringLiteral("graphe"), 0), HandOver::NoAnswer);
            QCOMPARE(Entries(cacheFolder), QStringList());
        }
        else
        {
            QVERIFY2(channel.listen(), qPrintable(channel.errorString()));
            QCOMPARE(QFileInfo(InstanceChannel::ServerName(store.path())).path(), cacheFolder);
            QVERIFY(IsPrivateFolderOfOurs(cacheFolder));
            auto result = HandOverAsync(store.path(), QStringLiteral("graphe"), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
            QCOMPARE(result.get(), HandOver::Accepted);
            CheckArrived(spy, QStringLiteral("graphe"));
        }
        // What someone else left is neither used nor repaired.
        QCOMPARE(Entries(takenFolder), QStringList());
        QCOMPARE(Entries(spare), QStringList());
        QVERIFY(!IsPrivateFolderOfOurs(takenFolder));
    }

    void connectionsBeyondTheCapAreClosedAtOnce()
    {
        constexpr int kExtra = 8;
        QTemporaryDir store;
        InstanceChannel channel(store.path());
        channel.setRequestTimeout(600000); // only the cap may get a connection closed
        QVERIFY(channel.listen());
        QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
        const QString name = InstanceChannel::ServerName(store.path());
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < InstanceChannel::kMaxConnections + kExtra; ++i)
        {
            clients.push_back(std::make_unique<RawClient>(name));
            QVERIFY(clients.back()->connected());
        }
        const auto closed = [&clients] {
            return std::count_if(clients.begin(), clients.end(), [](auto& client) { return client->closedByServer(); });
        };
        QTRY_COMPARE_WITH_TIMEOUT(closed(), std::ptrdiff_t(kExtra), 30000);

        // The others were held, and are served.
        std::vector<RawClient*> refused;
        std::vector<RawClient*> held;
        for (auto& client : clients)
            (client->closedByServer() ? refused : held).push_back(client.get());
        for (RawClient* client : held)
            client->send("VORP1 -\n");
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), InstanceChannel::kMaxConnections, 30000);
        for (RawClient* client : refused)
            QCOMPARE(client->received(), QByteArray());
        for (RawClient* client : held)
            QCOMPARE(client->received(), QByteArray("OK\n"));

        // Every place was given back.
        QTRY_COMPARE_WITH_TIMEOUT(closed(), std::ptrdiff_t(clients.size()), 30000);
        auto result = HandOverAsync(store.path(), QStringLiteral("après"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Ready(result), 60000);
        QCOMPARE(result.get(), HandOver::Accepted);
        QCOMPARE(spy.count(), InstanceChannel::kMaxConnections + 1);
    }

    void otherUsersAreRefused_data()
    {
        QTest::addColumn<bool>("otherListens");
        QTest::newRow("another user asking this user's copy") << false;
        QTest::newRow("another user listening in its place") << true;
    }
    void otherUsersAreRefused()
    {
        QFETCH(bool, otherListens);
        if (::geteuid() != 0)
            QSKIP("acting as another user needs root");
        QTemporaryDir store;
        sockaddr_un address;
        QVERIFY(MakeAddress(InstanceChannel::ServerName(store.path()), address));
        int status = 0;
        if (otherListens)
        {
            int ready[2];
            QCOMPARE(::pipe2(ready, O_CLOEXEC), 0);
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(ListenAsOtherUser(address, ready[1]));
            ::close(ready[1]);
            QVERIFY(child > 0);
            char state = 0;
            const ssize_t told = ::read(ready[0], &state, 1);
            ::close(ready[0]);
            if (told != 1 || state != 'y')
            {
                QCOMPARE(::waitpid(child, &status, 0), child);
                if (state == 'u')
                    QSKIP("this system does not let the test act as another user");
                QFAIL("the other user's listener did not start");
            }
            // That listener would answer: the argument must not even be sent.
            QCOMPARE(InstanceChannel::handOver(store.path(), QStringLiteral("secret"), 30000), HandOver::NoAnswer);
            QCOMPARE(::waitpid(child, &status, 0), child);
        }
        else
        {
            InstanceChannel channel(store.path());
            channel.setRequestTimeout(600000); // only the check may get the connection closed
            QVERIFY(channel.listen());
            QSignalSpy spy(&channel, &InstanceChannel::activationRequested);
            pid_t child = ::fork();
            if (child == 0)
                ::_exit(AskAsOtherUser(address));
            QVERIFY(child > 0);
            QTRY_VERIFY_WITH_TIMEOUT(Reaped(child, status), 60000);
            if (WIFEXITED(status) && WEXITSTATUS(status) == NotAllowed)
                QSKIP("this system does not let the test act as another user");
            QCOMPARE(spy.count(), 0);
        }
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), int(ClosedUnanswered));
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
