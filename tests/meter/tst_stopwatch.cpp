// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/Stopwatch.h"

#include <QLocale>
#include <QTest>

namespace
{
constexpr qint64 kStart = 5000000; // steady milliseconds

// Start, then n seconds each carrying one meter sample.
Stopwatch RunFor(int seconds, int32_t in, int32_t out)
{
    Stopwatch w;
    w.Start(kStart);
    for (int k = 1; k <= seconds; ++k)
    {
        w.addSample(in, out);
        w.ClockTick(kStart + k * 1000);
    }
    return w;
}
} // namespace

class TestStopwatch final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void noTraffic()
    {
        Stopwatch w = RunFor(1, 0, 0);
        const StopwatchTexts t = w.TotalsTick();
        QCOMPARE(t.ti, QStringLiteral("IN : 0o"));
        QCOMPARE(t.tu, QStringLiteral("OUT : 0o"));
        QCOMPARE(t.vd, QStringLiteral("IN : 0o/s"));
        QCOMPARE(t.md, QStringLiteral("IN : 0o/s"));
        QCOMPARE(t.pu, QStringLiteral("OUT : 0o"));

        // Nothing gathered yet: no division by zero.
        Stopwatch fresh;
        fresh.Start(kStart);
        QCOMPARE(fresh.TotalsTick().md, QStringLiteral("IN : 0o/s"));
    }

    void steady2000BytesFor10Seconds()
    {
        Stopwatch w = RunFor(10, 2000, 0);
        const StopwatchTexts t = w.TotalsTick();
        // 20000 / 1024 = 19.53125 Ko, 2000 / 1024 = 1.953125 Ko/s; OUT shares its group's unit.
        QCOMPARE(t.ti, QStringLiteral("IN : 19.53Ko"));
        QCOMPARE(t.tu, QStringLiteral("OUT : 0Ko"));
        QCOMPARE(t.vd, QStringLiteral("IN : 1.95Ko/s"));
        QCOMPARE(t.vu, QStringLiteral("OUT : 0Ko/s"));
        QCOMPARE(t.md, QStringLiteral("IN : 1.95Ko/s"));
        // 2000 × 3600 = 7200000 bytes = 6.866455078125 Mo.
        QCOMPARE(t.pd, QStringLiteral("IN : 6.86Mo"));
    }

    void totals_data()
    {
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<QString>("ti");
        QTest::addColumn<QString>("md");
        QTest::newRow("exactly 1024 bytes stays in o") << QList<int>{1024} << "IN : 1024o"
                                                       << "IN : 1024o/s";
        QTest::newRow("1025 bytes is 1 Ko") << QList<int>{1025} << "IN : 1Ko"
                                            << "IN : 1Ko/s";
        QTest::newRow("slow mean after large totals") << QList<int>{1000, 1000} << "IN : 1.95Ko"
                                                      << "IN : 1000o/s";
        // 2000000 / 1048576 = 1.9073... Mo/S (the means' own spelling).
        QTest::newRow("mean in Mo") << QList<int>{2000000} << "IN : 1.9Mo"
                                    << "IN : 1.9Mo/S";
        // 2147483647 in single precision is 2^31, two Go.
        QTest::newRow("largest sample") << QList<int>{2147483647} << "IN : 2Go"
                                        << "IN : 2Go/s";
    }
    void totals()
    {
        QFETCH(QList<int>, samples);
        QFETCH(QString, ti);
        QFETCH(QString, md);
        Stopwatch w;
        w.Start(kStart);
        for (int s : samples)
            w.addSample(s, 0);
        const StopwatchTexts t = w.TotalsTick();
        QCOMPARE(t.ti, ti);
        QCOMPARE(t.md, md);
    }

    void frenchSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(RunFor(10, 2000, 0).TotalsTick().ti, QStringLiteral("IN : 19,53Ko"));
    }

    void maximaAndStop()
    {
        Stopwatch w;
        w.Start(kStart);
        w.addSample(300, 7000);
        w.addSample(5000, 10);
        w.Stop();
        w.addSample(900000, 900000);
        QCOMPARE(w.sampleCount(), 2);
        const StopwatchTexts t = w.TotalsTick();
        // 7000 / 1024 = 6.8359375; 5000 / 1024 = 4.8828125.
        QCOMPARE(t.vd, QStringLiteral("IN : 4.88Ko/s"));
        QCOMPARE(t.vu, QStringLiteral("OUT : 6.83Ko/s"));
        QCOMPARE(t.ti, QStringLiteral("IN : 5.17Ko"));

        // A new Start clears everything.
        w.Start(kStart);
        QCOMPARE(w.TotalsTick().vd, QStringLiteral("IN : 0o/s"));
    }

    void forecastSwitchesToDayAfterAnHour()
    {
        Stopwatch w;
        w.Start(kStart);
        w.addSample(1000, 0);
        for (int k = 1; k < 3600; ++k)
            w.ClockTick(kStart + k * 1000);
        QCOMPARE(w.elapsedCount(), 3600);
        // 1000 × 3600 = 3600000 bytes = 3.4332... Mo.
        QCOMPARE(w.TotalsTick().pd, QStringLiteral("IN : 3.43Mo"));
        QCOMPARE(w.forecast(), ForecastSpan::Hour);

        w.ClockTick(kStart + 3600 * 1000);
        QCOMPARE(w.TotalsTick().pd, QStringLiteral("IN : 3.43Mo"));
        QCOMPARE(w.forecast(), ForecastSpan::Day);
        QVERIFY(!w.hourEnabled());
        // 1000 × 86400 = 86400000 bytes = 82.3974609375 Mo.
        QCOMPARE(w.TotalsTick().pd, QStringLiteral("IN : 82.39Mo"));

        // Start makes "Heure" selectable again without changing the choice.
        w.Start(kStart);
        QVERIFY(w.hourEnabled());
        QCOMPARE(w.forecast(), ForecastSpan::Day);
    }

    void clock_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("next"); // ms until the next whole second
        QTest::newRow("start") << qint64(0) << "00:00:00" << 1000;
        QTest::newRow("a tick 50 ms early shows the second before") << qint64(950) << "00:00:00" << 50;
        QTest::newRow("the first second") << qint64(1000) << "00:00:01" << 1000;
        QTest::newRow("a tick 1.5 s late") << qint64(2500) << "00:00:02" << 500;
        QTest::newRow("1 h 2 min 5.9 s") << qint64(3725900) << "01:02:05" << 100;
        QTest::newRow("past 24 hours starts again") << qint64((86400 + 61) * 1000LL) << "00:01:01" << 1000;
    }
    void clock()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QFETCH(int, next);
        Stopwatch w;
        w.Start(kStart);
        const ElapsedText e = w.ClockTick(kStart + ms);
        QCOMPARE(e.h + QLatin1Char(':') + e.m + QLatin1Char(':') + e.s, text);
        QCOMPARE(w.elapsedCount(), 2);
        QCOMPARE(w.MsToNextSecond(kStart + ms), next);
    }

    void tenths()
    {
        QCOMPARE(Stopwatch::NextTenths(QStringLiteral("0")), QStringLiteral("1"));
        QCOMPARE(Stopwatch::NextTenths(QStringLiteral("9")), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestStopwatch)
#include "tst_stopwatch.moc"
