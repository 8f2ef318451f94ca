// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/InstanceChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>

#include <unistd.h>

namespace
{
// One request line per connection: "VORP1 -" without an argument, "VORP1 +<base64 of UTF-8>" with
// one, so spaces and line breaks in the argument travel untouched. The answer confirms it.
constexpr QByteArrayView kTag = "VORP1 ";
constexpr QByteArrayView kAnswer = "OK\n";
// Room for the longest single argument Linux passes to a program (128 KiB) once encoded.
constexpr qint64 kMaxRequest = 256 * 1024;

QByteArray EncodeRequest(const std::optional<QString>& argument)
{
    QByteArray request = kTag.toByteArray();
    if (argument)
        request += '+' + argument->toUtf8().toBase64();
    else
        request += '-';
    return request + '\n';
}

// Takes the request line without its line end; false when it is not a request of ours.
bool DecodeRequest(QByteArrayView line, std::optional<QString>& argument)
{
    if (!line.startsWith(kTag))
        return false;
    line = line.sliced(kTag.size());
    if (line == "-")
    {
        argument.reset();
        return true;
    }
    if (!line.startsWith('+'))
        return false;
    const auto bytes =
        QByteArray::fromBase64Encoding(line.sliced(1).toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
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

void Drop(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

int Remaining(const QDeadlineTimer& deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
}

bool Exchange(QLocalSocket& socket, const QByteArray& request, const QDeadlineTimer& deadline)
{
    socket.write(request);
    while (socket.bytesToWrite() > 0)
    {
        if (!socket.waitForBytesWritten(Remaining(deadline)))
            return false;
    }
    while (!socket.canReadLine())
    {
        if (!socket.waitForReadyRead(Remaining(deadline)) && !socket.canReadLine())
            return false;
    }
    return socket.readLine() == kAnswer;
}
} // namespace

InstanceChannel::InstanceChannel(QString storeRoot, QObject* parent)
    : QObject(parent), m_storeRoot(std::move(storeRoot))
{
}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::ServerName(const QString& storeRoot)
{
    // Two spellings of one folder, or a link to it, share the lock file, so they share the channel.
    const QDir store(storeRoot);
    QString key = store.canonicalPath();
    if (key.isEmpty())
        key = QDir::cleanPath(store.absolutePath());
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("vorp-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest)));
}

bool InstanceChannel::listen()
{
    if (!m_server)
    {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    }
    if (m_server->isListening())
        return true;
    const QString name = ServerName(m_storeRoot);
    // Left by a copy that crashed; a live one would hold the store lock that we hold.
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

QString InstanceChannel::errorString() const
{
    return m_server ? m_server->errorString() : QString();
}

void InstanceChannel::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection())
    {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [socket] { Drop(socket); });
        connect(socket, &QLocalSocket::readyRead, deadline,
                [this, socket, deadline] { readRequest(socket, deadline); });
        deadline->start(m_requestTimeoutMs);
        readRequest(socket, deadline); // the request may have come with the connection
    }
}

void InstanceChannel::readRequest(QLocalSocket* socket, QTimer* deadline)
{
    if (!socket->canReadLine())
    {
        if (socket->bytesAvailable() >= kMaxRequest)
            Drop(socket);
        return;
    }
    // One request per connection.
    deadline->stop();
    disconnect(socket, &QLocalSocket::readyRead, deadline, nullptr);
    const QByteArray line = socket->readLine();
    std::optional<QString> argument;
    if (line.size() > kMaxRequest || !DecodeRequest(QByteArrayView(line).chopped(1), argument))
    {
        Drop(socket);
        return;
    }
    // Answered before the request is acted on: whatever the first copy then shows (a box with its own
    // event loop, say) must not keep the second start waiting.
    socket->write(kAnswer.data(), kAnswer.size());
    socket->disconnectFromServer();
    emit activationRequested(argument);
}

InstanceChannel::HandOver InstanceChannel::handOver(const QString& storeRoot, const std::optional<QString>& argument,
                                                    int timeoutMs)
{
    const QByteArray request = EncodeRequest(argument);
    if (request.size() > kMaxRequest)
        return HandOver::NoAnswer; // the first copy would drop it
    const QString name = ServerName(storeRoot);
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;)
    {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(Remaining(deadline)))
            return Exchange(socket, request, deadline) ? HandOver::Accepted : HandOver::NoAnswer;
        if (deadline.hasExpired())
            return HandOver::NoAnswer;
        // The first copy may hold the lock without listening yet.
        QThread::msleep(ulong(std::min(50, Remaining(deadline))));
    }
}
