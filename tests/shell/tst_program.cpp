#include "config/SettingsStore.h"
#include "config/SettingsTable.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestData.h"
#include "support/Loopback.h"

#include <csignal>

// The real program, started as a user would, ended by SIGTERM or SIGINT like at log-out.
class TestProgram final : public QObject
{
    Q_OBJECT

    static QString Program() { return QStringLiteral(VORP_BINARY_DIR "/vorp"); }

private slots:
    void helpAndVersionPrintAndExit_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("start");
        QTest::newRow("--version") << "--version" << "VORP Beta4 1.10.11.213";
        QTest::newRow("--help") << "--help" << "Utilisation : ";
    }
    void helpAndVersionPrintAndExit()
    {
        QFETCH(QString, argument);
        QFETCH(QString, start);
        QProcess vorp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));  // no display needed for these
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
        vorp.setProcessEnvironment(env);
        vorp.start(Program(), {argument});
        QVERIFY(vorp.waitForFinished(10000));
        QCOMPARE(vorp.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(vorp.readAllStandardOutput()).startsWith(start));
    }

    void terminationRunsTheCloseChain_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void terminationRunsTheCloseChain()
    {
        QFETCH(int, signal);
        QTemporaryDir config, store;
        const QString confPath = config.path() + QStringLiteral("/VORP/VORP.conf");
        {
            QDir().mkpath(config.path() + QStringLiteral("/VORP"));
            SettingsStore settings(confPath);
            WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{true, false, false});
            QVERIFY(settings.sync());
        }
        QProcess vorp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("VORP_HOME"), store.path());
        vorp.setProcessEnvironment(env);
        vorp.start(Program(), {});
        QVERIFY(vorp.waitForStarted());
        // Once the program has read its baselines, move lo's counters.
        QTest::qWait(1500);
        QVERIFY(SendOverLoopback(1 << 18));
        ::kill(static_cast<pid_t>(vorp.processId()), signal);
        QVERIFY(vorp.waitForFinished(20000));
        QCOMPARE(vorp.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorp.exitCode(), 0);

        // The last sample was recorded...
        const QDir lo(store.path() + QStringLiteral("/IF00_lo"));
        const QStringList days = lo.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), 1);
        QFile day(lo.filePath(days[0]));
        QVERIFY(day.open(QIODevice::ReadOnly));
        QCOMPARE(day.readAll().count("\r\n"), 1);
        // ...and every setting written, the colour group's guard included.
        SettingsStore saved(confPath);
        QVERIFY(saved.exists(QStringLiteral("lrec")));
        QCOMPARE(ReadInterfaceMarks(saved, QStringLiteral("lo")).statistics, true);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
