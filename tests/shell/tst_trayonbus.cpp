// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon on a private session bus (the test runs under dbus-run-session) with a panel of the
// test's own (sni_host.py: a StatusNotifierWatcher and its host), which comes at start, during the
// wait, after it, or restarts.
#include "common/widgets/AppIcon.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "meter/widgets/MeterWindow.h"
#include "meter/widgets/StopwatchWindow.h"
#include "reports/widgets/TotalsWindow.h"
#include "shell/widgets/Application.h"
#include "shell/widgets/SplashAndTray.h"
#include "shell/widgets/StatusNotifierItem.h"
#include "store/Recorder.h"
#include "store/RecordingService.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{
template <typename T> T* Control(const QObject& window, const char* objectName)
{
    T* control = window.findChild<T*>(QLatin1String(objectName));
    if (!control)
        qFatal("%s has no control %s", qPrintable(window.objectName()), objectName);
    return control;
}

// Counters that move at every reading while moving is set, as with steady traffic.
class MovingTableSource final : public TableSource
{
public:
    std::optional<InterfaceTable> fetch() override
    {
        ++m_readings;
        if (moving)
        {
            m_in += 40000 + (m_readings * 7919) % 30000;
            m_out += 3000 + (m_readings * 104729) % 2000;
        }
        return InterfaceTable{{"eth0", m_in, m_out}, {"lo", 5, 5}};
    }
    bool moving = true;

private:
    uint64_t m_readings = 0;
    uint64_t m_in = 1000;
    uint64_t m_out = 2000;
};

// The panel: sni_host.py, driven over its standard input, read from its standard output. Waiting for it
// keeps this process's event loop running, since the panel's reads are answered from it.
class Panel
{
public:
    ~Panel() { stop(); }

    bool start()
    {
        m_seen.clear();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(VORP_SNI_HOST)});
        return m_process.waitForStarted() && !waitFor(QStringLiteral("ready")).isEmpty();
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(60000);
    }
    void send(const QString& command) { m_process.write(command.toUtf8() + '\n'); }
    // The next event of that name; empty when none came within the time or the panel ended.
    QJsonObject waitFor(const QString& event, int timeoutMs = 60000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired())
        {
            while (m_process.canReadLine())
            {
                const QJsonObject line = QJsonDocument::fromJson(m_process.readLine()).object();
                m_seen.append(line);
                if (line.value(QStringLiteral("event")).toString() == event)
                    return line;
            }
            if (m_process.state() == QProcess::NotRunning)
                return {};
            QTest::qWait(10);
        }
        return {};
    }
    // What the panel said, for failure messages.
    QByteArray seen() const
    {
        QByteArray text;
        for (const QJsonObject& line : m_seen)
            text += QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        return text;
    }

private:
    QProcess m_process;
    QList<QJsonObject> m_seen;
};

QStringList Strings(const QJsonValue& array)
{
    QStringList list;
    for (const QJsonValue& v : array.toArray())
        list << v.toString();
    return list;
}

// How a panel shows a hint: a little HTML.
QString AsHtml(const QString& hint)
{
    return hint.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
}

// Pixels of the meter's graph that are not its background, the commonest colour: traffic drawn so far.
int DrawnPixels(MeterWindow& meter)
{
    auto* graph = meter.findChild<QWidget*>(QStringLiteral("im2"));
    const QImage image = graph->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    int background = 0;
    for (const int n : std::as_const(counts))
        background = std::max(background, n);
    return int(image.width() * image.height()) - background;
}
} // namespace

class TestTrayOnBus final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_home;

    std::unique_ptr<Application> Start(int trayWaitMs, std::unique_ptr<TableSource> source)
    {
        AppEnvironment environment;
        environment.tableSource = std::move(source);
        environment.trayWaitMs = trayWaitMs;
        environment.recordMessages = true;
        return std::make_unique<Application>(ParseCommandLine({}), std::move(environment));
    }

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: this test runs under dbus-run-session");
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import dbus, gi")});
        if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
            QSKIP("/usr/bin/python3 lacks the dbus or gi module (python3-dbus, python3-gi)");
    }

    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        m_home = std::make_unique<QTemporaryDir>();
        QFile::remove(SettingsStore::DefaultPath());
        SettingsStore settings;
        WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{true, true, false});
        QVERIFY(settings.sync());
        // A store that cannot be written, so that samples stay pending in memory.
        QFile blocker(m_home->filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        qputenv("VORP_HOME", (blocker.fileName() + QStringLiteral("/store")).toUtf8());
    }

    // Whenever a panel comes, it gets the item, with the hint, the four images at every size and a menu
    // that works; nothing the program holds is lost or started again.
    void aPanelGetsTheItemWhenever_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("trayWaitMs");
        QTest::newRow("at start") << QStringLiteral("start") << 20000;
        QTest::newRow("during the wait") << QStringLiteral("during") << 20000;
        QTest::newRow("after the wait, the meter carrying the menu") << QStringLiteral("after") << 0;
        QTest::newRow("restarted") << QStringLiteral("restart") << 20000;
    }
    void aPanelGetsTheItemWhenever()
    {
        QFETCH(QString, when);
        QFETCH(int, trayWaitMs);
        Panel panel;
        if (when == QLatin1String("start") || when == QLatin1String("restart"))
            QVERIFY(panel.start());
        auto moving = std::make_unique<MovingTableSource>();
        MovingTableSource& source = *moving;
        auto app = Start(trayWaitMs, std::move(moving));
        SplashAndTray& shell = app->shell();
        QVERIFY(shell.statusNotifierItem());
        app->shell().endSplash();

        // What the program holds before the panel comes: the meter's graph of traffic that has since
        // stopped, a running stopwatch and samples waiting for a store that can be written.
        app->meter().show();
        const int emptyGraph = DrawnPixels(app->meter());
        QTRY_VERIFY_WITH_TIMEOUT(DrawnPixels(app->meter()) > emptyGraph, 60000);
        source.moving = false;
        Control<QPushButton>(app->stopwatch(), "Button1")->click();
        QVERIFY(Control<QTimer>(app->stopwatch(), "Timer2")->isActive());
        app->recording()->recordNow();
        const size_t pending = app->recording()->recorder().pendingCount();
        QVERIFY(pending > 0);

        if (when == QLatin1String("after"))
        {
            // The wait is over: the meter carries the menu.
            QVERIFY(app->messages().shownTexts().join(QLatin1Char('\n')).contains(QStringLiteral("Aucune zone")));
            QVERIFY(!shell.hasTrayIcon());
            QVERIFY(panel.start());
        }
        else if (when == QLatin1String("during"))
        {
            QVERIFY(!shell.hasTrayIcon());
            QVERIFY(panel.start());
        }

        QJsonObject item = panel.waitFor(QStringLiteral("registered"));
        QVERIFY2(!item.isEmpty(), panel.seen().constData());
        QTRY_VERIFY(shell.hasTrayIcon());
        if (when == QLatin1String("restart"))
        {
            panel.stop();
            QTRY_VERIFY(!shell.hasTrayIcon());
            QVERIFY(panel.start());
            item = panel.waitFor(QStringLiteral("registered"));
            QVERIFY2(!item.isEmpty(), panel.seen().constData());
            QTRY_VERIFY(shell.hasTrayIcon());
        }
        // Found within the wait: nothing says there is no notification area.
        if (when != QLatin1String("after"))
            QVERIFY(!app->messages().shownTexts().join(QLatin1Char('\n')).contains(QStringLiteral("Aucune zone")));

        QCOMPARE(item.value(QStringLiteral("id")).toString(), QStringLiteral("vorp"));
        // The hint the icon shows, as the panel reads it; the meter may change it in between.
        const auto panelHint = [&panel] {
            panel.send(QStringLiteral("tooltip"));
            return panel.waitFor(QStringLiteral("tooltip")).value(QStringLiteral("tooltip")).toString();
        };
        QTRY_COMPARE(panelHint(), AsHtml(shell.shownTrayHint()));
        QVERIFY(shell.shownTrayHint().startsWith(QStringLiteral("DL : ")));
        QVariantList sizes;
        for (const int size : kTrayIconSizes)
            sizes << QVariant(QVariantList{size, size});
        QCOMPARE(item.value(QStringLiteral("icon_sizes")).toVariant().toList(), sizes);
        QVERIFY(item.value(QStringLiteral("icon_complete")).toBool());
        QCOMPARE(
            Strings(item.value(QStringLiteral("menu"))),
            (QStringList{QStringLiteral("_Tachymetre"), QStringLiteral("_Graphique"), QStringLiteral("H_istogramme"),
                         QStringLiteral("Totau_x"), QStringLiteral("C_hronometre"), QStringLiteral("_Configuration"),
                         QStringLiteral("A _propos..."), QStringLiteral("-"), QStringLiteral("_Quitter")}));

        // The menu and a click on the icon, as the panel sends them.
        panel.send(QStringLiteral("click Totau_x"));
        QTRY_VERIFY(app->totals().isVisible());
        const bool meterShown = app->meter().isVisible();
        panel.send(QStringLiteral("activate"));
        QTRY_COMPARE(app->meter().isVisible(), !meterShown);
        panel.send(QStringLiteral("click _Tachymetre"));
        QTRY_COMPARE(app->meter().isVisible(), meterShown);

        // Nothing lost: the graph drawn before, the stopwatch still running, the samples still pending.
        QVERIFY(app->meter().isVisible());
        QVERIFY(DrawnPixels(app->meter()) > emptyGraph);
        QVERIFY(Control<QTimer>(app->stopwatch(), "Timer2")->isActive());
        QVERIFY(!Control<QLabel>(app->stopwatch(), "ti")->text().isEmpty());
        QCOMPARE(app->recording()->recorder().pendingCount(), pending);

        // "&Quitter" from the panel runs the close chain, which takes the item off the bus.
        panel.send(QStringLiteral("click _Quitter"));
        QVERIFY2(!panel.waitFor(QStringLiteral("unregistered")).isEmpty(), panel.seen().constData());
        QVERIFY(!shell.hasTrayIcon());
    }

    // At a 50 ms period with traffic on every tick, the panel hears of a new hint or image at most once a
    // second; without traffic, the hint stays as it is and the panel hears nothing.
    void thePanelHearsOfChangesAtMostOnceASecond_data()
    {
        QTest::addColumn<bool>("traffic");
        QTest::newRow("traffic on every tick") << true;
        QTest::newRow("no traffic") << false;
    }
    void thePanelHearsOfChangesAtMostOnceASecond()
    {
        QFETCH(bool, traffic);
        // A store that takes the samples: the hint says nothing of one that does not.
        qputenv("VORP_HOME", m_home->filePath(QStringLiteral("store")).toUtf8());
        Panel panel;
        QVERIFY(panel.start());
        std::unique_ptr<TableSource> source;
        if (traffic)
            source = std::make_unique<MovingTableSource>();
        else
        {
            auto fixed = std::make_unique<FixedTableSource>();
            fixed->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}};
            source = std::move(fixed);
        }
        auto app = Start(20000, std::move(source));
        app->settings().setRefreshPosition(1);
        QCOMPARE(app->settings().refreshPeriodMs(), 50);
        QVERIFY2(!panel.waitFor(QStringLiteral("registered")).isEmpty(), panel.seen().constData());
        QVERIFY(!app->meter().isVisible());
        // Without traffic the hint settles once the meter has ticked at its new period.
        if (!traffic)
            QTRY_VERIFY(app->shell().trayHint().startsWith(QStringLiteral("DL : 0kbps")) &&
                        app->shell().shownTrayHint() == app->shell().trayHint());

        panel.send(QStringLiteral("count 3"));
        const QJsonObject counted = panel.waitFor(QStringLiteral("counted"));
        QVERIFY2(!counted.isEmpty(), panel.seen().constData());
        const double seconds = counted.value(QStringLiteral("seconds")).toDouble();
        const int tooltips = counted.value(QStringLiteral("tooltips")).toInt();
        const int icons = counted.value(QStringLiteral("icons")).toInt();
        // One change may fall at each end of the counting.
        QVERIFY2(tooltips <= int(seconds) + 1, qPrintable(QStringLiteral("%1 in %2 s").arg(tooltips).arg(seconds)));
        QVERIFY2(icons <= int(seconds) + 1, qPrintable(QStringLiteral("%1 in %2 s").arg(icons).arg(seconds)));
        if (traffic)
            QVERIFY(tooltips >= 1);
        else
            QCOMPARE(tooltips + icons, 0);
        app->closeChain();
    }
};

QTEST_MAIN(TestTrayOnBus)
#include "tst_trayonbus.moc"
