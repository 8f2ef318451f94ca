// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ServiceManager.h"

#include <QList>
#include <QStringList>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// True when "DEVICE:INODE" names the file open on standard error.
bool IsStandardError(const QByteArray& journalStream)
{
    const QList<QByteArray> parts = journalStream.split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat status;
    return deviceOk && inodeOk && fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device &&
           status.st_ino == inode;
}
} // namespace

ServiceManager::ServiceManager(const QByteArray& notifySocket, const QByteArray& journalStream)
    : m_notifySocket(notifySocket), m_journal(!journalStream.isEmpty() && IsStandardError(journalStream))
{
}

ServiceManager ServiceManager::fromEnvironment()
{
    return ServiceManager(qgetenv("NOTIFY_SOCKET"), qgetenv("JOURNAL_STREAM"));
}

bool ServiceManager::notify(const QByteArray& state) const
{
    // A lone '@' or '/' names nothing; a name that does not fit would be cut to another one. An abstract
    // name starts with a NUL and is exactly as long as the address says; a path ends with a NUL.
    const bool abstract = m_notifySocket.startsWith('@');
    const size_t size = size_t(m_notifySocket.size());
    const size_t used = abstract ? size : size + 1;
    sockaddr_un address{};
    if (size < 2 || (!abstract && !m_notifySocket.startsWith('/')) || used > sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_notifySocket.constData(), size);
    if (abstract)
        address.sun_path[0] = '\0';
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + used);

    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    ssize_t sent;
    do
        sent = sendto(fd, state.constData(), size_t(state.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&address), length);
    while (sent < 0 && errno == EINTR);
    close(fd);
    return sent == state.size();
}

QString ServiceManager::journalLine(Priority priority, const QString& text) const
{
    if (!m_journal)
        return text;
    // The journal reads a prefix at the start of every line, so each line of a message carries it.
    const QString prefix = QStringLiteral("<%1>").arg(int(priority));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (i + 1 < lines.size() || !lines[i].isEmpty()) // nothing follows a final line break
            lines[i].prepend(prefix);
    return lines.join(QLatin1Char('\n'));
}

void JournalErrorReporter::showError(const QString& message)
{
    std::fprintf(stderr, "%s\n", m_manager.journalLine(m_priority, message).toLocal8Bit().constData());
    std::fflush(stderr);
}
