// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/InstanceChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// One request line per connection: "VORP1 -" without an argument, "VORP1 +<base64 of UTF-8>" with
// one, so spaces and line breaks in the argument travel untouched; then, each after a space, the
// launcher's tokens: "X<base64>" its X11 startup id, "W<base64>" its Wayland activation token. The
// answer confirms it.
constexpr QByteArrayView kTag = "VORP1 ";
constexpr QByteArrayView kAnswer = "OK\n";
constexpr qsizetype kMaxRequest = InstanceChannel::kMaxRequestBytes;

QByteArray EncodeRequest(const std::optional<QString>& argument, const ActivationToken& token)
{
    QByteArray request = kTag.toByteArray();
    if (argument)
        request += '+' + argument->toUtf8().toBase64();
    else
        request += '-';
    if (!token.x11.isEmpty())
        request += " X" + token.x11.toBase64();
    if (!token.wayland.isEmpty())
        request += " W" + token.wayland.toBase64();
    return request + '\n';
}

// A token is printable ASCII, as launchers make them.
bool DecodeToken(QByteArrayView field, QByteArray& token)
{
    const auto bytes = QByteArray::fromBase64Encoding(field.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes || bytes.decoded.isEmpty() || bytes.decoded.size() > InstanceChannel::kMaxTokenBytes)
        return false;
    for (const char c : bytes.decoded)
        if (c < 0x21 || c > 0x7e)
            return false;
    token = bytes.decoded;
    return true;
}

// Takes the request line without its line end; false when it is not a request of ours.
bool DecodeRequest(QByteArrayView line, std::optional<QString>& argument, ActivationToken& token)
{
    if (!line.startsWith(kTag))
        return false;
    line = line.sliced(kTag.size());
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    for (qsizetype i = 1; i < fields.size(); ++i)
    {
        const QByteArray& field = fields[i];
        QByteArray* into = field.startsWith('X') ? &token.x11 : field.startsWith('W') ? &token.wayland : nullptr;
        if (!into || !into->isEmpty() || !DecodeToken(QByteArrayView(field).sliced(1), *into))
            return false;
    }
    const QByteArray& first = fields.front();
    if (first == "-")
    {
        argument.reset();
        return true;
    }
    if (!first.startsWith('+'))
        return false;
    const auto bytes = QByteArray::fromBase64Encoding(first.sliced(1), QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(*bytes);
    // A command line can carry neither broken UTF-8 nor a NUL: such a request is not from us.
    if (utf8.hasError() || text.contains(QChar(0)))
        return false;
    argument = std::move(text);
    return true;
}

int Remaining(const QDeadlineTimer& deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
}

// False when the path does not fit: a truncated one would name another socket.
bool MakeAddress(const QByteArray& path, sockaddr_un& address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

void CloseDescriptor(int fd)
{
    // Linux releases the descriptor even when close() is interrupted, so it is never retried.
    if (fd >= 0)
        ::close(fd);
}

// Waits until fd is ready for events or the deadline passes.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;)
    {
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, Remaining(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool Exchange(int fd, const QByteArray& request, const QDeadlineTimer& deadline)
{
    qsizetype sent = 0;
    while (sent < request.size())
    {
        // MSG_NOSIGNAL: a first copy that has gone away must not take this one down with SIGPIPE.
        const ssize_t done = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (done >= 0)
            sent += done;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
        {
            if (!WaitFor(fd, POLLOUT, deadline))
                return false;
        }
        else if (errno != EINTR)
            return false;
    }
    QByteArray answer;
    while (answer.size() < kAnswer.size() && !answer.contains('\n'))
    {
        char chunk[kAnswer.size()];
        const ssize_t got = ::read(fd, chunk, size_t(kAnswer.size() - answer.size()));
        if (got > 0)
            answer.append(chunk, got);
        else if (got == 0)
            return false;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
        {
            if (!WaitFor(fd, POLLIN, deadline))
                return false;
        }
        else if (errno != EINTR)
            return false;
    }
    return answer == kAnswer;
}

// The credentials are those the peer had when it connected or listened.
bool PeerIsOurUser(int fd)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == ::geteuid();
}

// Why the folder may not hold our socket; empty when it is a real folder of ours, closed to others.
QString FolderProblem(const QString& folder)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(folder).constData(), &status) != 0)
        return qt_error_string(errno);
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("c'est un lien");
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("ce n'est pas un dossier");
    if (status.st_uid != ::geteuid())
        return QStringLiteral("il appartient à un autre utilisateur");
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return QStringLiteral("il est ouvert aux autres utilisateurs (droits %1)")
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

// The socket path, its private folder made when missing; empty, with why in problem, when there is none.
QString SocketPath(const QString& storeRoot, QString* problem)
{
    // Two spellings of one folder, or a link to it, share the lock file, so they share the channel.
    const QDir store(storeRoot);
    QString key = store.canonicalPath();
    if (key.isEmpty())
        key = QDir::cleanPath(store.absolutePath());
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString fileName = QStringLiteral("vorp-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));

    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && !QDir::isRelativePath(runtime) && FolderProblem(runtime).isEmpty())
        return QDir(runtime).filePath(fileName);

    // Elsewhere anyone can guess the folder's name and make it first, so it is used only when it is
    // ours alone; the cache folder is the way out when someone has taken the one in the shared /tmp.
    QString temp = QDir::tempPath();
    if (temp.isEmpty() || QDir::isRelativePath(temp))
        temp = QStringLiteral("/tmp");
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    QStringList problems;
    for (const QString& base : {temp, cache})
    {
        const QString folder = QDir(base).filePath(QStringLiteral("vorp-%1").arg(::getuid()));
        if (base == cache)
            QDir().mkpath(base);
        // Made closed to others from the start; one already there is checked as it is, never repaired.
        if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST)
        {
            problems << QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(folder), qt_error_string(errno));
            continue;
        }
        const QString why = FolderProblem(folder);
        if (why.isEmpty())
            return QDir(folder).filePath(fileName);
        problems << QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(folder), why);
    }
    if (problem)
        *problem = problems.join(QStringLiteral(" ; "));
    return {};
}

QString ListenError(const QString& path, const QString& reason)
{
    return QStringLiteral("impossible d'écouter sur %1 (%2)").arg(QDir::toNativeSeparators(path), reason);
}
} // namespace

// One accepted connection, read without blocking until its request line is complete.
class InstanceChannel::Connection final : public QObject
{
public:
    Connection(int fd, InstanceChannel* channel)
        : QObject(channel), m_fd(fd), m_readable(new QSocketNotifier(fd, QSocketNotifier::Read, this)),
          m_deadline(new QTimer(this))
    {
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, channel, [channel, this] { channel->drop(this); });
        connect(m_readable, &QSocketNotifier::activated, channel, [channel, this] { channel->readRequest(this); });
    }
    ~Connection() override { close(); }

    int fd() const { return m_fd; }
    QByteArray& received() { return m_received; }
    QTimer* deadline() const { return m_deadline; }

    // Deferred, as this may run from the connection's own notifier.
    void closeLater()
    {
        close();
        deleteLater();
    }

private:
    void close()
    {
        // The notifier must let go of the descriptor before it is closed and perhaps reused.
        m_readable->setEnabled(false);
        m_deadline->stop();
        CloseDescriptor(m_fd);
        m_fd = -1;
    }

    int m_fd;
    QSocketNotifier* m_readable;
    QTimer* m_deadline;
    QByteArray m_received;
};

InstanceChannel::InstanceChannel(QString storeRoot, QObject* parent)
    : QObject(parent), m_storeRoot(std::move(storeRoot))
{
}

InstanceChannel::~InstanceChannel()
{
    if (m_listener < 0)
        return;
    delete m_listenerNotifier;
    CloseDescriptor(m_listener);
    // A later listener may have replaced our file; its socket stays.
    struct stat status
    {
    };
    if (::lstat(m_socketPath.constData(), &status) == 0 && S_ISSOCK(status.st_mode) &&
        quint64(status.st_dev) == m_socketDevice && quint64(status.st_ino) == m_socketInode)
        ::unlink(m_socketPath.constData());
}

QString InstanceChannel::ServerName(const QString& storeRoot)
{
    return SocketPath(storeRoot, nullptr);
}

bool InstanceChannel::listen()
{
    if (m_listener >= 0)
        return true;
    QString problem;
    const QString name = SocketPath(m_storeRoot, &problem);
    if (name.isEmpty())
    {
        m_errorString = QStringLiteral("impossible d'écouter : aucun dossier privé utilisable (%1)").arg(problem);
        return false;
    }
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address;
    if (!MakeAddress(path, address))
    {
        m_errorString =
            ListenError(name, QStringLiteral("chemin de plus de %1 octets").arg(sizeof address.sun_path - 1));
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
    {
        m_errorString = ListenError(name, qt_error_string(errno));
        return false;
    }
    // Linux gives the socket file the mode of the socket, so it never exists open to others whatever the
    // umask; the chmod after bind covers systems that ignore it, and no one can connect before listen().
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    // Left by a copy that crashed; a live one would hold the store lock that we hold.
    ::unlink(path.constData());
    struct stat status
    {
    };
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        m_errorString = ListenError(name, qt_error_string(errno));
        CloseDescriptor(fd);
        return false;
    }
    if (::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::lstat(path.constData(), &status) != 0 ||
        ::listen(fd, SOMAXCONN) != 0)
    {
        m_errorString = ListenError(name, qt_error_string(errno));
        CloseDescriptor(fd);
        ::unlink(path.constData());
        return false;
    }
    m_listener = fd;
    m_socketPath = path;
    m_socketDevice = quint64(status.st_dev);
    m_socketInode = quint64(status.st_ino);
    m_errorString.clear();
    m_listenerNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_listenerNotifier, &QSocketNotifier::activated, this, &InstanceChannel::acceptConnections);
    return true;
}

QString InstanceChannel::errorString() const
{
    return m_errorString;
}

void InstanceChannel::drop(Connection* connection)
{
    // A connection gives its place back once, whichever of its deadline and its data comes first.
    if (connection->fd() < 0)
        return;
    connection->closeLater();
    --m_connections;
}

void InstanceChannel::acceptConnections()
{
    for (;;)
    {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
        {
            // A client that gave up before being accepted costs nothing; anything else waits for the next
            // notification.
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            // Out of descriptors the listener stays readable: rest it a moment rather than spin.
            if (errno == EMFILE || errno == ENFILE)
            {
                m_listenerNotifier->setEnabled(false);
                QTimer::singleShot(200, m_listenerNotifier, [n = m_listenerNotifier] { n->setEnabled(true); });
            }
            return;
        }
        // Beyond the cap, or from another user: taken off the backlog and closed at once, so that it
        // holds nothing here and its client learns it now rather than at its deadline.
        if (m_connections >= kMaxConnections || !PeerIsOurUser(fd))
        {
            CloseDescriptor(fd);
            continue;
        }
        ++m_connections;
        auto* connection = new Connection(fd, this);
        connection->deadline()->start(m_requestTimeoutMs);
    }
}

void InstanceChannel::readRequest(Connection* connection)
{
    QByteArray& received = connection->received();
    qsizetype lineEnd = -1;
    bool ended = false;
    // Never more than a request's worth is read: what lies beyond it is dropped with the connection.
    while (lineEnd < 0 && received.size() < kMaxRequest && !ended)
    {
        char chunk[kMaxRequest];
        const ssize_t got = ::read(connection->fd(), chunk, size_t(kMaxRequest - received.size()));
        if (got > 0)
        {
            const qsizetype searchFrom = received.size();
            received.append(chunk, got);
            lineEnd = received.indexOf('\n', searchFrom);
        }
        else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            ended = true;
        else if (errno != EINTR)
            break; // all read for now
    }
    if (lineEnd < 0)
    {
        // The client hung up or has sent more than any request of ours without a line end.
        if (ended || received.size() >= kMaxRequest)
            drop(connection);
        return;
    }
    // One request per connection: whatever follows the line is ignored.
    std::optional<QString> argument;
    ActivationToken token;
    if (!DecodeRequest(QByteArrayView(received).first(lineEnd), argument, token))
    {
        drop(connection);
        return;
    }
    // Answered before the request is acted on: whatever the first copy then shows (a box with its own
    // event loop, say) must not keep the second start waiting. A fresh connection takes three bytes
    // at once; one that does not is not worth waiting for.
    qsizetype sent = 0;
    while (sent < kAnswer.size())
    {
        const ssize_t done =
            ::send(connection->fd(), kAnswer.data() + sent, size_t(kAnswer.size() - sent), MSG_NOSIGNAL);
        if (done >= 0)
            sent += done;
        else if (errno != EINTR)
            break;
    }
    drop(connection);
    if (sent == kAnswer.size())
        emit activationRequested(argument, token);
}

ActivationToken ActivationToken::fromEnvironment()
{
    return {qgetenv("DESKTOP_STARTUP_ID"), qgetenv("XDG_ACTIVATION_TOKEN")};
}

InstanceChannel::HandOver InstanceChannel::handOver(const QString& storeRoot, const std::optional<QString>& argument,
                                                    int timeoutMs, const ActivationToken& token)
{
    const QByteArray plain = EncodeRequest(argument, {});
    if (plain.size() > kMaxRequest)
        return HandOver::NoAnswer; // the first copy would drop it
    QByteArray request = EncodeRequest(argument, token);
    if (request.size() > kMaxRequest)
        request = plain;
    sockaddr_un address;
    if (!MakeAddress(QFile::encodeName(ServerName(storeRoot)), address))
        return HandOver::NoAnswer; // no private folder, or a path too long: the first copy cannot listen either
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return HandOver::NoAnswer;
        // A local connect completes at once or fails at once (EAGAIN when the backlog is full).
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        {
            // The argument goes to no one but this user's own copy.
            const bool ours = PeerIsOurUser(fd);
            const bool accepted = ours && Exchange(fd, request, deadline);
            CloseDescriptor(fd);
            // A first copy from before the tokens hangs up on them: it still gets the argument.
            if (!accepted && ours && request != plain && !deadline.hasExpired())
            {
                request = plain;
                continue;
            }
            return accepted ? HandOver::Accepted : HandOver::NoAnswer;
        }
        CloseDescriptor(fd);
        if (deadline.hasExpired())
            return HandOver::NoAnswer;
        // The first copy may hold the lock without listening yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, Remaining(deadline))));
    }
}
