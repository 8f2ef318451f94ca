// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ServiceManager.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Priority = ServiceManager::Priority;

namespace
{
// Sets (or, with nothing, unsets) a variable and puts the old value back.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const std::optional<QByteArray>& value)
        : m_name(name), m_old(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        Set(value);
    }
    ~ScopedVariable() { Set(m_old); }

private:
    void Set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QByteArray> m_old;
};

// A datagram socket bound where the service manager would listen; name is what NOTIFY_SOCKET says.
struct Listener
{
    explicit Listener(const QByteArray& notifyName) : name(notifyName)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) + (name.startsWith('@') ? 0 : 1) > sizeof address.sun_path)
            return;
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()));
        if (name.startsWith('@'))
            address.sun_path[0] = '\0';
        else
            ++length;
        if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0)
        {
            close(fd);
            fd = -1;
        }
    }
    ~Listener()
    {
        if (fd >= 0)
            close(fd);
    }
    // The next datagram already queued; a null array when none is.
    QByteArray next() const
    {
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        return n >= 0 ? QByteArray(buffer, n) : QByteArray();
    }

    QByteArray name;
    int fd = -1;
};

QByteArray AbstractName(const char* what)
{
    return "@vorp-test-" + QByteArray::number(getpid()) + '-' + what;
}

// Standard error goes to a file for the life of this object, as it goes to the journal's stream under a
// service manager; stream is that file's "DEVICE:INODE".
class StandardErrorToFile
{
public:
    explicit StandardErrorToFile(const QString& path)
    {
        const int file = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        struct stat status;
        if (file < 0)
            return;
        if (fstat(file, &status) != 0)
        {
            close(file);
            return;
        }
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        dup2(file, STDERR_FILENO);
        close(file);
        stream = QByteArray::number(qulonglong(status.st_dev)) + ':' + QByteArray::number(qulonglong(status.st_ino));
        device = status.st_dev;
        inode = status.st_ino;
    }
    ~StandardErrorToFile()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }

    QByteArray stream; // empty when standard error could not be moved
    dev_t device = 0;
    ino_t inode = 0;

private:
    int m_saved = -1;
};
} // namespace

class TestServiceManager : public QObject
{
    Q_OBJECT

private slots:
    void notifyReachesTheSocket_data()
    {
        QTest::addColumn<QByteArray>("name"); // empty for a socket file in a temporary folder
        QTest::newRow("a socket file") << QByteArray();
        QTest::newRow("an abstract name written with @") << AbstractName("notify");
        const QByteArray longest = AbstractName("long");
        QTest::newRow("an abstract name as long as an address holds")
            << longest + QByteArray(int(sizeof(sockaddr_un::sun_path)) - longest.size(), 'n');
    }
    void notifyReachesTheSocket()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const Listener listener(name.isEmpty() ? QFile::encodeName(dir.filePath(QStringLiteral("n"))) : name);
        QVERIFY(listener.fd >= 0);
        const ScopedVariable variable("NOTIFY_SOCKET", listener.name);

        const ServiceManager manager = ServiceManager::fromEnvironment();
        QVERIFY(manager.notify("READY=1"));
        QVERIFY(manager.notify("STATUS=Enregistre eth0"));
        // One datagram per call, whole and in order; the variable is the caller's to unset.
        QCOMPARE(listener.next(), QByteArray("READY=1"));
        QCOMPARE(listener.next(), QByteArray("STATUS=Enregistre eth0"));
        QVERIFY(listener.next().isNull());
        QCOMPARE(qgetenv("NOTIFY_SOCKET"), listener.name);
    }

    void notifyWithoutAListener_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("notifySocket");
        QTest::newRow("no NOTIFY_SOCKET") << std::optional<QByteArray>();
        QTest::newRow("an empty NOTIFY_SOCKET") << std::optional<QByteArray>("");
        QTest::newRow("nobody at the path") << std::optional<QByteArray>("/nonexistent/vorp/notify");
        QTest::newRow("a relative path") << std::optional<QByteArray>("notify");
        QTest::newRow("a lone @") << std::optional<QByteArray>("@");
        QTest::newRow("a path too long for an address") << std::optional<QByteArray>('/' + QByteArray(200, 'n'));
    }
    void notifyWithoutAListener()
    {
        QFETCH(std::optional<QByteArray>, notifySocket);
        // A listener the variable does not name gets nothing either.
        const Listener bystander(AbstractName("bystander"));
        QVERIFY(bystander.fd >= 0);
        const ScopedVariable variable("NOTIFY_SOCKET", notifySocket);
        QVERIFY(!ServiceManager::fromEnvironment().notify("READY=1"));
        QVERIFY(bystander.next().isNull());
    }

    // A service manager that does not read its socket must not hold the program up.
    void notifyNeverWaitsOnAFullQueue()
    {
        const Listener listener(AbstractName("full"));
        QVERIFY(listener.fd >= 0);
        const ServiceManager manager(listener.name, QByteArray());
        int sent = 0;
        while (sent < 100000 && manager.notify("STATUS=En attente"))
            ++sent;
        QVERIFY2(sent > 0 && sent < 100000, qPrintable(QStringLiteral("%1 datagrams sent").arg(sent)));
        QVERIFY(!listener.next().isNull());
        QVERIFY(manager.notify("READY=1"));
    }

    void journalLine_data()
    {
        QTest::addColumn<QByteArray>("stream"); // "match" stands for standard error's own DEVICE:INODE
        QTest::addColumn<Priority>("priority");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString text = QStringLiteral("Impossible d'ecrire dans /s/nic.inf");
        QTest::newRow("an error on the journal")
            << QByteArray("match") << Priority::Error << text << QStringLiteral("<3>") + text;
        QTest::newRow("a warning on the journal")
            << QByteArray("match") << Priority::Warning << text << QStringLiteral("<4>") + text;
        QTest::newRow("information on the journal")
            << QByteArray("match") << Priority::Information << text << QStringLiteral("<6>") + text;
        QTest::newRow("every line of a message")
            << QByteArray("match") << Priority::Error << QStringLiteral("a\nb") << QStringLiteral("<3>a\n<3>b");
        QTest::newRow("nothing after a final line break")
            << QByteArray("match") << Priority::Error << QStringLiteral("a\n") << QStringLiteral("<3>a\n");
        QTest::newRow("no JOURNAL_STREAM") << QByteArray() << Priority::Error << text << text;
        QTest::newRow("another file's inode") << QByteArray("other inode") << Priority::Error << text << text;
        QTest::newRow("another device") << QByteArray("other device") << Priority::Error << text << text;
        QTest::newRow("not DEVICE:INODE") << QByteArray("journal") << Priority::Error << text << text;
    }
    void journalLine()
    {
        QFETCH(QByteArray, stream);
        QFETCH(Priority, priority);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString line;
        {
            const StandardErrorToFile standardError(dir.filePath(QStringLiteral("stderr")));
            QVERIFY(!standardError.stream.isEmpty());
            const auto number = [](auto n) { return QByteArray::number(qulonglong(n)); };
            if (stream == "match")
                stream = standardError.stream;
            else if (stream == "other inode")
                stream = number(standardError.device) + ':' + number(standardError.inode + 1);
            else if (stream == "other device")
                stream = number(standardError.device + 1) + ':' + number(standardError.inode);
            const ServiceManager manager(QByteArray(), stream);
            QCOMPARE(manager.standardErrorIsJournal(), expected != text);
            line = manager.journalLine(priority, text);
        }
        QCOMPARE(line, expected);
    }

    void reporterWritesJournalLines()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("stderr"));
        {
            const StandardErrorToFile standardError(path);
            QVERIFY(!standardError.stream.isEmpty());
            const ScopedVariable variable("JOURNAL_STREAM", standardError.stream);
            JournalErrorReporter errors(ServiceManager::fromEnvironment());
            errors.showError(QStringLiteral("Impossible d'ecrire dans /s/nic.inf"));
            JournalErrorReporter(ServiceManager::fromEnvironment(), Priority::Warning)
                .showError(QStringLiteral("En attente\nde la fin de vorp-desktop"));
        }
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("<3>Impossible d'ecrire dans /s/nic.inf\n"
                                               "<4>En attente\n<4>de la fin de vorp-desktop\n"));
    }
};

QTEST_GUILESS_MAIN(TestServiceManager)
#include "tst_servicemanager.moc"
