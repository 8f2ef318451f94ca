// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "meter/widgets/MeterWindow.h"
#include "sampling/Sampler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/Loopback.h"

#include <atomic>
#include <thread>
#include <unistd.h>

namespace
{
long ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}
} // namespace

// The meter at its fastest period with the graph shown while loopback traffic flows. The short form
// runs in ./test.sh; scripts/soak.sh runs it for several minutes (VORP_SOAK_SECONDS).
class TestSoak final : public QObject
{
    Q_OBJECT

private slots:
    void fastestMeterStaysFlat()
    {
        const int seconds =
            qEnvironmentVariableIsSet("VORP_SOAK_SECONDS") ? qEnvironmentVariableIntValue("VORP_SOAK_SECONDS") : 12;
        QTemporaryDir config, store;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        auto source = MakeSystemTableSource();
        Sampler sampler(*source);
        SystemClock clock;
        CollectingErrorReporter errors;
        SettingsStore file;
        Settings settings;
        settings.load(file, DisplayNames(sampler.FetchInterfaceTable().value_or(InterfaceTable{})));
        MeterWindow meter(settings, sampler, clock, errors, store.path() + QLatin1Char('/'));
        const int lo = static_cast<int>(settings.interfaceNames().indexOf(QStringLiteral("lo")));
        QVERIFY(lo >= 0);
        settings.setMarks(lo, {false, true, false});
        settings.setRefreshPosition(1);
        QCOMPARE(meter.findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 50);
        meter.show();

        int ticks = 0;
        bool sawTraffic = false;
        qint64 last = 0, longestGap = 0;
        QElapsedTimer elapsed;
        meter.setTrayPeer([&](const QString&, int image) {
            sawTraffic = sawTraffic || image == 3;
            const qint64 now = elapsed.elapsed();
            if (ticks++ > 0)
                longestGap = std::max(longestGap, now - last);
            last = now;
        });

        std::atomic<bool> stop{false};
        std::thread traffic([&] {
            while (!stop)
                SendOverLoopback(1 << 16);
        });
        elapsed.start();
        QTest::qWait(2000); // warm-up: caches, fonts and the first drawings
        const long startKiB = ResidentKiB();
        const int startTicks = ticks;
        QTest::qWait(seconds * 1000);
        const long endKiB = ResidentKiB();
        stop = true;
        traffic.join();

        const int measured = ticks - startTicks;
        qInfo("soak: %d s, %d ticks (%.1f per second), longest gap %lld ms, resident %ld KiB -> %ld KiB", seconds,
              measured, measured / double(seconds), longestGap, startKiB, endKiB);
        QVERIFY(sawTraffic); // both directions moved on lo
        // At least half of the 20 ticks a second even on a loaded machine under the sanitizers.
        QVERIFY(measured >= seconds * 10);
        QVERIFY2(longestGap < 1000, "a tick was held up for a second or more");
        QVERIFY2(endKiB - startKiB < 8 * 1024, "resident memory grew by more than 8 MiB");
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
