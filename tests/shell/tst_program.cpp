// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/StoreRoot.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "shell/HeadlessRecorder.h"
#include "shell/InstanceChannel.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include "TestData.h"
#include "support/Loopback.h"
#include "support/Netns.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// One configuration and store for the real program, with lo checked for statistics, and the
// environment that points the program at them.
struct Home
{
    Home()
    {
        QDir().mkpath(config.path() + QStringLiteral("/VORP"));
        SettingsStore settings(confPath());
        WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{true, false, false});
        settings.sync();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("VORP_HOME"), store.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }
    QString confPath() const { return config.path() + QStringLiteral("/VORP/VORP.conf"); }
    // The socket the program listens on once it is up, worked out as the program does.
    QString socketPath() const
    {
        const QByteArray oldHome = qgetenv("VORP_HOME"), oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("VORP_HOME", env.value(QStringLiteral("VORP_HOME")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const QString name = InstanceChannel::ServerName(StoreRoot(QString()));
        qputenv("VORP_HOME", oldHome);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        return name;
    }
    // Starts the program and waits until it listens for a second start: its baselines are taken.
    bool start(QProcess& vorp, const QStringList& arguments = {})
    {
        vorp.setProcessEnvironment(env);
        vorp.start(QStringLiteral(VORP_BINARY_DIR "/vorp"), arguments);
        if (!vorp.waitForStarted())
            return false;
        const QString socket = socketPath();
        for (int i = 0; i < 6000 && !QFileInfo::exists(socket); ++i)
            if (vorp.waitForFinished(10))
                return false;
        return QFileInfo::exists(socket);
    }
    // The lines of lo's only day file, and lo's received total of that day in nic.inf.
    QList<QByteArray> dayLines() const
    {
        const QDir lo(store.path() + QStringLiteral("/IF00_lo"));
        const QStringList days = lo.entryList({QStringLiteral("*.mdf")});
        if (days.size() != 1)
            return {};
        QFile day(lo.filePath(days[0]));
        if (!day.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = day.readAll().split('\n');
        lines.removeLast();
        return lines;
    }
    double receivedTotal() const
    {
        const QDir lo(store.path() + QStringLiteral("/IF00_lo"));
        const QStringList days = lo.entryList({QStringLiteral("*.mdf")});
        const auto inf = ProfileFile::load(lo.filePath(QStringLiteral("nic.inf")));
        if (days.size() != 1 || !inf)
            return -1;
        return inf->value(QStringLiteral("data"), days[0].chopped(4) + QLatin1Char('D')).value_or(QString()).toDouble();
    }

    QTemporaryDir config, store, runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// Received bytes of a sample line "hh:nn:ssRRRUSSS\r".
double Received(const QByteArray& line)
{
    return line.mid(8, line.indexOf('U') - 8).toDouble();
}

// The recorder as a service runs it: no display of any kind.
QProcessEnvironment Headless(QProcessEnvironment env)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Starts `vorp --record --prometheus-textfile textfile` and waits until the file says it records.
bool StartRecorder(QProcess& recorder, const Home& home, const QString& textfile)
{
    recorder.setProcessEnvironment(Headless(home.env));
    recorder.start(QStringLiteral(VORP_BINARY_DIR "/vorp"),
                   {QStringLiteral("--record"), QStringLiteral("--prometheus-textfile"), textfile});
    for (int i = 0; i < 6000 && !QFileInfo::exists(textfile); ++i)
        if (recorder.waitForFinished(10))
            return false;
    return QFileInfo::exists(textfile);
}

// The samples of a textfile as the Prometheus client library reads it: "name{labels}" -> value.
QJsonObject ParsePrometheus(const QString& textfile)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, sys\n"
                                 "from prometheus_client.parser import text_string_to_metric_families\n"
                                 "out = {}\n"
                                 "for f in text_string_to_metric_families(open(sys.argv[1]).read()):\n"
                                 "    for s in f.samples:\n"
                                 "        out[s.name + json.dumps(s.labels, sort_keys=True)] = s.value\n"
                                 "print(json.dumps(out))\n"),
                  textfile});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// The holder's process named in a lock file, 0 when none.
qint64 LockHolder(const QString& path)
{
    QFile lock(path);
    return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
}

bool Ends(QProcess& vorp, int signal)
{
    ::kill(static_cast<pid_t>(vorp.processId()), signal);
    return vorp.waitForFinished(60000);
}
} // namespace

// The real program, started as a user would, ended by a signal like at log-out.
class TestProgram final : public QObject
{
    Q_OBJECT

private slots:
    void helpAndVersionPrintAndExit_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("start");
        QTest::newRow("--version") << "--version"
                                   << "VORP Beta4 1.10.11.213";
        QTest::newRow("--help") << "--help"
                                << "Utilisation : ";
    }
    void helpAndVersionPrintAndExit()
    {
        QFETCH(QString, argument);
        QFETCH(QString, start);
        QProcess vorp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY")); // no display needed for these
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
        vorp.setProcessEnvironment(env);
        vorp.start(QStringLiteral(VORP_BINARY_DIR "/vorp"), {argument});
        QVERIFY(vorp.waitForFinished(10000));
        QCOMPARE(vorp.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(vorp.readAllStandardOutput()).startsWith(start));
    }

    // Without a display the program says so in one French sentence and ends with status 1, whether
    // there is none to try or the one named does not answer; it never aborts.
    void noDisplayIsOneSentence_data()
    {
        QTest::addColumn<QString>("display");
        QTest::newRow("none named") << QString();
        QTest::newRow("one that does not answer") << QStringLiteral(":4093");
    }
    void noDisplayIsOneSentence()
    {
        QFETCH(QString, display);
        Home home;
        home.env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        home.env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        home.env.remove(QStringLiteral("DISPLAY"));
        if (!display.isEmpty())
            home.env.insert(QStringLiteral("DISPLAY"), display);
        QProcess vorp;
        vorp.setProcessEnvironment(home.env);
        vorp.start(QStringLiteral(VORP_BINARY_DIR "/vorp"));
        QVERIFY(vorp.waitForFinished(60000));
        QCOMPARE(vorp.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorp.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(vorp.readAllStandardError());
        QVERIFY2(said.startsWith(QStringLiteral("VORP ne peut pas démarrer : aucun affichage")), qPrintable(said));
        QCOMPARE(said.count(QLatin1Char('\n')), 1);
    }

    void terminationRunsTheCloseChain_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void terminationRunsTheCloseChain()
    {
        QFETCH(int, signal);
        Home home;
        QProcess vorp;
        QVERIFY(home.start(vorp));
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(vorp, signal));
        QCOMPARE(vorp.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorp.exitCode(), 0);

        // The last sample was recorded...
        QCOMPARE(home.dayLines().size(), 1);
        // ...and every setting written, the colour group's guard included.
        SettingsStore saved(home.confPath());
        QVERIFY(saved.exists(QStringLiteral("lrec")));
        QCOMPARE(ReadInterfaceMarks(saved, QStringLiteral("lo")).statistics, true);
        // The lock and the socket go with the program.
        QVERIFY(!QFileInfo::exists(home.store.filePath(QStringLiteral(".vorp.lock"))));
    }

    // A close chain stuck in the store's I/O (a write or fsync that never returns) cannot keep a
    // termination request from ending the program: it ends by itself, saying so.
    void aStuckCloseChainStillEnds()
    {
        QProcess stuck;
        stuck.start(QStringLiteral(VORP_BINARY_DIR "/tests/shell/stuck_close"));
        QVERIFY(stuck.waitForStarted());
        while (!stuck.canReadLine())
            QVERIFY(stuck.waitForReadyRead(30000));
        ::kill(static_cast<pid_t>(stuck.processId()), SIGTERM);
        QVERIFY(stuck.waitForFinished(120000));
        QCOMPARE(stuck.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stuck.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(stuck.readAllStandardError())
                    .startsWith(QStringLiteral("VORP : l'arrêt n'a pas abouti en 10 secondes")));
    }

    // `vorp --record` with no display: lo recorded by the same code as the desktop's, the textfile and
    // `--report --json` agreeing with nic.inf to the byte, ended by any of the three signals after a last
    // sample, and no display code loaded at all.
    void recordsWithoutADisplay_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void recordsWithoutADisplay()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/lib/python3/dist-packages/prometheus_client/parser.py")))
            QSKIP("python3-prometheus-client is not installed");
        QFETCH(int, signal);
        Home home;
        QTemporaryDir metrics;
        const QString textfile = metrics.filePath(QStringLiteral("vorp.prom"));
        QProcess recorder;
        QVERIFY2(StartRecorder(recorder, home, textfile), recorder.readAllStandardError().constData());
        QFile maps(QStringLiteral("/proc/%1/maps").arg(recorder.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Core"));
        QVERIFY(!mapped.contains("libQt6Gui"));
        QVERIFY(!mapped.contains("libQt6Widgets"));

        QVERIFY(SendOverLoopback(1 << 20));
        QVERIFY(Ends(recorder, signal));
        QCOMPARE(recorder.exitStatus(), QProcess::NormalExit);
        QCOMPARE(recorder.exitCode(), 0);
        const QList<QByteArray> lines = home.dayLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(Received(lines[0]) >= double(1 << 20));
        QCOMPARE(home.receivedTotal(), double(float(Received(lines[0]))));
        QVERIFY(!QFileInfo::exists(home.store.filePath(QStringLiteral(".vorp.lock"))));
        QVERIFY(!QFileInfo::exists(home.confPath() + QStringLiteral(".endommage")));

        // The textfile after the last sample: the counter is what was recorded, the gauge the day's total.
        const QJsonObject samples = ParsePrometheus(textfile);
        const QString user = QStringLiteral("\"user\": \"%1\"").arg(LoginName());
        const QString lo = QStringLiteral("{\"interface\": \"lo\", %1}").arg(user);
        QCOMPARE(samples.value(QStringLiteral("vorp_received_bytes_total") + lo).toDouble(), Received(lines[0]));
        QCOMPARE(samples.value(QStringLiteral("vorp_today_received_bytes") + lo).toDouble(), home.receivedTotal());
        QCOMPARE(samples.value(QStringLiteral("vorp_pending_samples") + lo).toDouble(), 0.0);
        QVERIFY(samples.value(QStringLiteral("vorp_last_sample_timestamp_seconds{%1}").arg(user)).toDouble() > 0);
        // Stopped: the file says so.
        QCOMPARE(samples.value(QStringLiteral("vorp_recording{%1}").arg(user)).toDouble(), 0.0);
        QVERIFY(QDir(metrics.path()).entryList(QDir::Files) == QStringList{QStringLiteral("vorp.prom")});

        QProcess report;
        report.setProcessEnvironment(Headless(home.env));
        report.start(QStringLiteral(VORP_BINARY_DIR "/vorp"), {QStringLiteral("--report"), QStringLiteral("--json")});
        QVERIFY(report.waitForFinished(60000));
        QCOMPARE(report.exitCode(), 0);
        const QJsonArray interfaces = QJsonDocument::fromJson(report.readAllStandardOutput())
                                          .object()
                                          .value(QStringLiteral("interfaces"))
                                          .toArray();
        QCOMPARE(interfaces.size(), qsizetype(1));
        const QJsonObject itf = interfaces[0].toObject();
        QCOMPARE(itf.value(QStringLiteral("name")).toString(), QStringLiteral("lo"));
        QCOMPARE(itf.value(QStringLiteral("today")).toObject().value(QStringLiteral("received")).toDouble(),
                 home.receivedTotal());
        const QJsonArray days = itf.value(QStringLiteral("days")).toArray();
        QCOMPARE(days.size(), qsizetype(1));
        QCOMPARE(days[0].toObject().value(QStringLiteral("received")).toDouble(), home.receivedTotal());
    }

    // The recorder holds the store: a desktop copy started beside it runs and records nothing; when the
    // recorder ends, the desktop copy takes the store over. One sample each, never two for one time.
    void theDesktopBesideTheRecorderThenInItsPlace()
    {
        Home home;
        QTemporaryDir metrics;
        QProcess recorder;
        QVERIFY2(StartRecorder(recorder, home, metrics.filePath(QStringLiteral("vorp.prom"))),
                 recorder.readAllStandardError().constData());
        QProcess desktop;
        QVERIFY(home.start(desktop));
        const QString lock = home.store.filePath(QStringLiteral(".vorp.lock"));
        QCOMPARE(LockHolder(lock), recorder.processId());

        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(recorder, SIGTERM));
        QCOMPARE(recorder.exitCode(), 0);
        QCOMPARE(home.dayLines().size(), 1);
        // Taken over when the recorder's lock goes, without waiting for a poll.
        QTRY_COMPARE_WITH_TIMEOUT(LockHolder(lock), desktop.processId(), 30000);

        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(desktop, SIGTERM));
        QCOMPARE(desktop.exitCode(), 0);
        QCOMPARE(home.dayLines().size(), 2);
    }

    // Whatever was left at the lock's name, either face of the program takes the store, records and ends
    // on SIGTERM; the kernel's lock, not the record, says who holds it.
    void leftoverLockStates_data()
    {
        QTest::addColumn<bool>("desktop");
        QTest::addColumn<QString>("left");
        for (const bool desktop : {false, true})
            for (const char* left : {"PID 1 (a restarted container)", "another host", "FIFO", "link to /dev/zero",
                                     "dangling link", "empty folder"})
                QTest::addRow("%s, %s", desktop ? "desktop" : "recorder", left) << desktop << QString::fromLatin1(left);
    }
    void leftoverLockStates()
    {
        QFETCH(bool, desktop);
        QFETCH(QString, left);
        Home home;
        const QString lock = home.store.filePath(QStringLiteral(".vorp.lock"));
        const QByteArray path = QFile::encodeName(lock);
        const auto write = [&lock](const QByteArray& record) {
            QFile file(lock);
            return file.open(QIODevice::WriteOnly) && file.write(record) == record.size();
        };
        if (left.startsWith(QLatin1String("PID 1")))
            QVERIFY(write("1\nvorp\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
        else if (left == QLatin1String("another host"))
            QVERIFY(write("1\nvorp\nanother-host.example\n"));
        else if (left == QLatin1String("FIFO"))
            QCOMPARE(::mkfifo(path.constData(), 0644), 0);
        else if (left == QLatin1String("link to /dev/zero"))
            QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
        else if (left == QLatin1String("dangling link"))
            QCOMPARE(::symlink("/nonexistent/vorp.lock", path.constData()), 0);
        else
            QVERIFY(QDir().mkdir(lock));

        QTemporaryDir metrics;
        QProcess vorp;
        if (desktop)
            QVERIFY(home.start(vorp));
        else
            QVERIFY2(StartRecorder(vorp, home, metrics.filePath(QStringLiteral("vorp.prom"))),
                     vorp.readAllStandardError().constData());
        QTRY_COMPARE_WITH_TIMEOUT(LockHolder(lock), vorp.processId(), 30000);
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(vorp, SIGTERM));
        QCOMPARE(vorp.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorp.exitCode(), 0);
        QCOMPARE(home.dayLines().size(), 1);
        QVERIFY(!QFileInfo::exists(lock));
    }

    // A store root that cannot hold the lock file (here a plain file stands where its folder goes, as a
    // full disk or a read-only mount would refuse it) keeps neither face from recording once it can: the
    // lock is tried again, and recording starts without a restart.
    void aLockThatCannotBeTakenIsRetried_data()
    {
        QTest::addColumn<bool>("desktop");
        QTest::newRow("recorder") << false;
        QTest::newRow("desktop") << true;
    }
    void aLockThatCannotBeTakenIsRetried()
    {
        QFETCH(bool, desktop);
        Home home;
        const QString root = home.store.filePath(QStringLiteral("inner"));
        {
            QFile blocker(root);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        home.env.insert(QStringLiteral("VORP_HOME"), root);
        QTemporaryDir metrics;
        QProcess vorp;
        vorp.setProcessEnvironment(desktop ? home.env : Headless(home.env));
        vorp.setReadChannel(QProcess::StandardError); // what waitForReadyRead() waits for
        vorp.start(QStringLiteral(VORP_BINARY_DIR "/vorp"),
                   desktop ? QStringList() : QStringList{QStringLiteral("--record")});
        QByteArray said;
        while (!said.contains("prendre le verrou"))
        {
            QVERIFY2(vorp.waitForReadyRead(30000), said.constData());
            said += vorp.readAllStandardError();
        }
        QVERIFY(QFile::remove(root));
        const QString lock = root + QStringLiteral("/.vorp.lock");
        QTRY_COMPARE_WITH_TIMEOUT(LockHolder(lock), vorp.processId(), 60000);
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(vorp, SIGTERM));
        QCOMPARE(vorp.exitCode(), 0);
        QCOMPARE(QDir(root + QStringLiteral("/IF00_lo")).entryList({QStringLiteral("*.mdf")}).size(), qsizetype(1));
    }

    // The store folder deleted by hand while a recorder runs (statistics "reset"): the recorder makes it
    // again at once and keeps the store, so a second copy waits instead of counting the same traffic; it
    // takes over the moment the first ends.
    void storeDeletedWhileRecordingKeepsOneCopy()
    {
        Home home;
        QTemporaryDir metrics;
        QProcess first;
        QVERIFY2(StartRecorder(first, home, metrics.filePath(QStringLiteral("first.prom"))),
                 first.readAllStandardError().constData());
        const QString lock = home.store.filePath(QStringLiteral(".vorp.lock"));
        QCOMPARE(LockHolder(lock), first.processId());
        QVERIFY(QDir(home.store.path()).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(LockHolder(lock), first.processId(), 30000);

        QProcess second;
        second.setProcessEnvironment(Headless(home.env));
        second.setReadChannel(QProcess::StandardError); // what waitForReadyRead() waits for
        second.start(QStringLiteral(VORP_BINARY_DIR "/vorp"),
                     {QStringLiteral("--record"), QStringLiteral("--prometheus-textfile"),
                      metrics.filePath(QStringLiteral("second.prom"))});
        QVERIFY(second.waitForStarted());
        QByteArray said;
        while (!said.contains("enregistre déjà"))
        {
            QVERIFY2(second.waitForReadyRead(30000), said.constData());
            said += second.readAllStandardError();
        }
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(first, SIGTERM));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(home.dayLines().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(LockHolder(lock), second.processId(), 30000);
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(second, SIGTERM));
        QCOMPARE(second.exitCode(), 0);
        const QList<QByteArray> lines = home.dayLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(home.receivedTotal(), double(float(Received(lines[0]) + Received(lines[1]))));
    }

    void aSecondStartHandsOverAndEnds()
    {
        Home home;
        QProcess first;
        QVERIFY(home.start(first));
        QVERIFY(SendOverLoopback(1 << 20));
        QProcess second;
        second.setProcessEnvironment(home.env);
        second.start(QStringLiteral(VORP_BINARY_DIR "/vorp"), {QStringLiteral("base")});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(Ends(first, SIGTERM));
        QCOMPARE(first.exitCode(), 0);

        // One copy recorded: one sample for the whole time, and the day total is that sample.
        const QList<QByteArray> lines = home.dayLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(Received(lines[0]) >= double(1 << 20));
        // Day totals are single precision; other loopback traffic may take the sample past 2^24.
        QCOMPARE(home.receivedTotal(), double(float(Received(lines[0]))));
    }

    void aFirstCopyThatDoesNotAnswerIsToldAndTheSecondRecordsNothing()
    {
        Home home;
        QProcess first;
        QVERIFY(home.start(first));
        ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);
        QProcess second;
        second.setProcessEnvironment(home.env);
        second.start(QStringLiteral(VORP_BINARY_DIR "/vorp"), {});
        QVERIFY(second.waitForFinished(60000));
        ::kill(static_cast<pid_t>(first.processId()), SIGCONT);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY(second.exitCode() != 0);
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("ne répond pas")), qPrintable(said));
        QVERIFY2(said.contains(QString::number(first.processId())), qPrintable(said));
        QVERIFY(SendOverLoopback(1 << 18));
        QVERIFY(Ends(first, SIGTERM));
        QCOMPARE(home.dayLines().size(), 1);
    }

    // With no settings file, the interface of the default route is recorded from the first start: here
    // a veth in a network namespace of the test's own, with traffic sent through it.
    void aFirstRunRecordsTheDefaultRouteInterface()
    {
        const QString netns = QStringLiteral("vorp-first-%1").arg(QCoreApplication::applicationPid());
        const QString gateway = netns + QLatin1Char('g');
        if (!RunIp({QStringLiteral("netns"), QStringLiteral("add"), netns}))
            QSKIP("cannot make a network namespace here (needs root and iproute2)");
        const auto removeNetns = qScopeGuard([&] {
            RunIp({QStringLiteral("netns"), QStringLiteral("del"), netns});
            RunIp({QStringLiteral("netns"), QStringLiteral("del"), gateway});
        });
        // The gateway's end lives in a second namespace, so that both directions carry bytes.
        QVERIFY(RunIp({QStringLiteral("netns"), QStringLiteral("add"), gateway}));
        const QStringList commands = {
            netns + QStringLiteral(" link set lo up"),
            netns + QStringLiteral(" link add vorpgw type veth peer name vorpend"),
            netns + QStringLiteral(" link set vorpend netns ") + gateway,
            netns + QStringLiteral(" addr add 10.77.0.1/24 dev vorpgw"),
            netns + QStringLiteral(" link set vorpgw up"),
            netns + QStringLiteral(" route add default via 10.77.0.2 dev vorpgw"),
            gateway + QStringLiteral(" addr add 10.77.0.2/24 dev vorpend"),
            gateway + QStringLiteral(" link set vorpend up"),
        };
        for (const QString& command : commands)
            QVERIFY2(RunIp(QStringList{QStringLiteral("-n")} + command.split(QLatin1Char(' '))), qPrintable(command));

        Home home;
        QVERIFY(QFile::remove(home.confPath()));
        QProcess vorp;
        vorp.setProcessEnvironment(home.env);
        vorp.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("exec"), netns, QStringLiteral(VORP_BINARY_DIR "/vorp")});
        const QString socket = home.socketPath();
        for (int i = 0; i < 6000 && !QFileInfo::exists(socket); ++i)
            QVERIFY2(!vorp.waitForFinished(10), vorp.readAllStandardError().constData());
        QVERIFY(QFileInfo::exists(socket));
        // Datagrams to the gateway go out through the veth, and its address replies come back.
        QProcess send;
        send.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("exec"), netns, QStringLiteral("bash"),
                    QStringLiteral("-c"),
                    QStringLiteral("for i in 1 2 3; do echo vorp > /dev/udp/10.77.0.2/9; done; "
                                   "until [ $(cat /sys/class/net/vorpgw/statistics/rx_bytes) -gt 0 ]; "
                                   "do sleep 0.05; done")});
        QVERIFY(send.waitForFinished(30000));
        QCOMPARE(send.exitCode(), 0);
        QVERIFY(Ends(vorp, SIGTERM));
        QCOMPARE(vorp.exitCode(), 0);

        const QStringList folders = QDir(home.store.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        QVERIFY2(folders[0].endsWith(QStringLiteral("vorpgw")), qPrintable(folders[0]));
        const QDir folder(home.store.filePath(folders[0]));
        QCOMPARE(folder.entryList({QStringLiteral("*.mdf")}).size(), 1);
        // The choice is the user's from now on: it is in the settings file.
        const SettingsStore saved(home.confPath());
        const InterfaceMarks marks = ReadInterfaceMarks(saved, QStringLiteral("vorpgw"));
        QVERIFY(marks.statistics && marks.graph1);
        QVERIFY(!ReadInterfaceMarks(saved, QStringLiteral("lo")).statistics);
    }

    // A receive-only line (a capture port, a one-way feed): datagrams come in through a veth between two
    // namespaces of the test's own and nothing goes out, and every received byte is recorded, with 0 sent.
    void oneDirectionTrafficIsRecordedExactly()
    {
        const QString rx = QStringLiteral("vorp-rx-%1").arg(QCoreApplication::applicationPid());
        const QString tx = rx + QStringLiteral("-tx");
        if (!RunIp({QStringLiteral("netns"), QStringLiteral("add"), rx}))
            QSKIP("cannot make a network namespace here (needs root and iproute2)");
        const auto removeNetns = qScopeGuard([&] {
            RunIp({QStringLiteral("netns"), QStringLiteral("del"), rx});
            RunIp({QStringLiteral("netns"), QStringLiteral("del"), tx});
        });
        QVERIFY(RunIp({QStringLiteral("netns"), QStringLiteral("add"), tx}));
        const auto inNetns = [](const QString& netns, const QString& script) {
            QProcess shell;
            shell.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), netns,
                                               QStringLiteral("bash"), QStringLiteral("-c"), script});
            shell.waitForFinished(30000);
            return shell.exitCode() == 0 ? shell.readAllStandardOutput().trimmed() : QByteArray("failed");
        };
        // No IPv6 (router and neighbour solicitations) and a fixed neighbour (no ARP): the receiving end
        // never sends a byte; datagrams to an address it does not hold are dropped there without a reply.
        for (const QString& netns : {rx, tx})
            QCOMPARE(inNetns(netns, QStringLiteral("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 "
                                                   "net.ipv6.conf.default.disable_ipv6=1")),
                     QByteArray());
        const QStringList commands = {
            rx + QStringLiteral(" link add vorprx address 02:00:00:00:78:01 type veth peer name vorptx"),
            rx + QStringLiteral(" link set vorptx netns ") + tx,
            rx + QStringLiteral(" addr add 10.78.0.1/24 dev vorprx"),
            rx + QStringLiteral(" link set vorprx up"),
            tx + QStringLiteral(" addr add 10.78.0.2/24 dev vorptx"),
            tx + QStringLiteral(" link set vorptx up"),
            tx + QStringLiteral(" neigh add 10.78.0.99 lladdr 02:00:00:00:78:01 dev vorptx nud permanent"),
        };
        for (const QString& command : commands)
            QVERIFY2(RunIp(QStringList{QStringLiteral("-n")} + command.split(QLatin1Char(' '))), qPrintable(command));

        Home home;
        {
            SettingsStore settings(home.confPath());
            WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{false, false, false});
            WriteInterfaceMarks(settings, QStringLiteral("vorprx"), InterfaceMarks{true, false, false});
            QVERIFY(settings.sync());
        }
        const QString counters = QStringLiteral("cat /sys/class/net/vorprx/statistics/rx_bytes "
                                                "/sys/class/net/vorprx/statistics/tx_bytes");
        QProcess recorder;
        recorder.setProcessEnvironment(Headless(home.env));
        recorder.setReadChannel(QProcess::StandardError); // what waitForReadyRead() waits for
        recorder.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), rx,
                                              QStringLiteral(VORP_BINARY_DIR "/vorp"), QStringLiteral("--record")});
        QByteArray said;
        while (!said.contains("VORP enregistre"))
        {
            QVERIFY2(recorder.waitForReadyRead(30000), said.constData());
            said += recorder.readAllStandardError();
        }
        const QList<QByteArray> before = inNetns(rx, counters).split('\n');
        QCOMPARE(before.size(), qsizetype(2));
        QCOMPARE(inNetns(tx, QStringLiteral("for i in $(seq 50); do head -c 1000 /dev/zero > /dev/udp/10.78.0.99/9; "
                                            "done")),
                 QByteArray());
        const qulonglong sent = 50 * (1000 + 8 + 20 + 14); // payload, UDP, IPv4 and Ethernet headers
        const auto moved = [&] {
            return inNetns(rx, counters).split('\n').value(0).toULongLong() - before[0].toULongLong();
        };
        QTRY_COMPARE_WITH_TIMEOUT(moved(), sent, 30000);
        QVERIFY(Ends(recorder, SIGTERM));
        QCOMPARE(recorder.exitCode(), 0);
        const QList<QByteArray> after = inNetns(rx, counters).split('\n');
        QCOMPARE(after.value(1), before[1]); // nothing went out

        const QDir folder(home.store.filePath(QStringLiteral("vorprx")));
        const QStringList days = folder.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), qsizetype(1));
        QFile day(folder.filePath(days[0]));
        QVERIFY(day.open(QIODevice::ReadOnly));
        const QByteArray line = day.readAll();
        QCOMPARE(line.mid(8), QByteArray::number(sent) + "U0\r\n");
    }

    // An X server or a Wayland compositor that goes away (a crash, the end of the session) ends the program
    // after the close chain: the last sample recorded and the settings saved.
    void theLossOfTheDisplayStillRecordsTheLastSample_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::newRow("X server") << false;
        QTest::newRow("Wayland compositor") << true;
    }
    void theLossOfTheDisplayStillRecordsTheLastSample()
    {
        QFETCH(bool, wayland);
        Home home;
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (wayland)
        {
            const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
            if (weston.isEmpty())
                QSKIP("weston is not installed: no compositor can run here");
            if (QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"))
                    .entryList({QStringLiteral("libqwayland*")})
                    .isEmpty())
                QSKIP("the toolkit's Wayland plugin (qt6-wayland) is not installed");
            // A compositor with no screen of its own, on a socket of the test's runtime folder.
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.runtime.path());
            server.setProcessEnvironment(env);
            server.setStandardOutputFile(QProcess::nullDevice());
            server.start(weston, {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=wl-vorp"),
                                  QStringLiteral("--idle-time=0")});
            QVERIFY(server.waitForStarted());
            const QString socket = home.runtime.filePath(QStringLiteral("wl-vorp"));
            for (int i = 0; i < 6000 && !QFileInfo::exists(socket); ++i)
                QVERIFY2(!server.waitForFinished(10), "weston ended at start");
            home.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
            home.env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wl-vorp"));
            home.env.remove(QStringLiteral("DISPLAY"));
        }
        else
        {
            const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
            if (xvfb.isEmpty())
                QSKIP("Xvfb is not installed");
            // -displayfd: the server picks a free display and prints its number once it accepts clients.
            server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                QStringLiteral("800x600x24")});
            QVERIFY(server.waitForStarted());
            while (!server.canReadLine())
                QVERIFY(server.waitForReadyRead(60000));
            home.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            home.env.insert(QStringLiteral("DISPLAY"),
                            QStringLiteral(":") + QString::fromLatin1(server.readLine().trimmed()));
        }

        QProcess vorp;
        vorp.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QVERIFY(home.start(vorp));
        QVERIFY(SendOverLoopback(1 << 18));
        server.kill();
        QVERIFY(server.waitForFinished(60000));
        QVERIFY(vorp.waitForFinished(60000));
        // Ended by the toolkit, as a lost display ends a program.
        QCOMPARE(vorp.exitCode(), 1);
        QCOMPARE(home.dayLines().size(), 1);
        QVERIFY(SettingsStore(home.confPath()).exists(QStringLiteral("lrec")));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
