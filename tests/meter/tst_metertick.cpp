// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterTick.h"

#include <QLocale>
#include <QTest>

namespace
{
InterfaceTable OneRow(uint64_t in, uint64_t out)
{
    return {InterfaceRow{QByteArrayLiteral("eth0"), in, out}};
}

MeterSettings Graph1Only(bool octets = true)
{
    MeterSettings s;
    s.positionCount = 1;
    s.graph1 = {true};
    s.graph2 = {false};
    s.octets = octets;
    return s;
}

class RecordingFeed final : public StopwatchFeed
{
public:
    bool isRunning() const override { return running; }
    void addSample(int32_t in, int32_t out) override { samples.push_back({in, out}); }
    bool running = false;
    std::vector<std::pair<int32_t, int32_t>> samples;
};
} // namespace

class TestMeterTick final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void rateTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("octets");
        QTest::addColumn<int>("download");
        QTest::addColumn<int>("upload");
        QTest::addColumn<QString>("text");
        QTest::newRow("2000 B/s gives 1.95 ko/s") << "en_US" << true << 2000 << 0 << "DL : 1.95ko/s  UL : 0ko/s";
        QTest::newRow("2000 B/s gives 15.62 kbps") << "en_US" << false << 2000 << 0 << "DL : 15.62kbps  UL : 0kbps";
        QTest::newRow("1000 and 100 are cut, not rounded")
            << "en_US" << true << 1000 << 100 << "DL : 0.97ko/s  UL : 0.09ko/s";
        QTest::newRow("French decimal comma") << "fr_FR" << true << 1000 << 2000 << "DL : 0,97ko/s  UL : 1,95ko/s";
        QTest::newRow("exactly 1 ko") << "en_US" << true << 1024 << 3072 << "DL : 1ko/s  UL : 3ko/s";
        QTest::newRow("idle line in bits") << "en_US" << false << 0 << 0 << "DL : 0kbps  UL : 0kbps";
    }
    void rateTexts()
    {
        QFETCH(QString, locale);
        QFETCH(bool, octets);
        QFETCH(int, download);
        QFETCH(int, upload);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));

        MeterTick tick;
        bool primed = false;
        const MeterSettings s = Graph1Only(octets);
        tick.Timer1Timer(OneRow(5000, 7000), s, primed, nullptr);
        const auto r = tick.Timer1Timer(OneRow(5000 + download, 7000 + upload), s, primed, nullptr);
        QCOMPARE(r.received1, float(download));
        QCOMPARE(r.sent1, float(upload));
        QVERIFY(r.rateTextChanged);
        QCOMPARE(tick.rateText(), text);
    }

    void iconIndex_data()
    {
        QTest::addColumn<int>("download");
        QTest::addColumn<int>("upload");
        QTest::addColumn<int>("icon");
        QTest::newRow("both below 100") << 99 << 99 << 0;
        QTest::newRow("DL 99, UL 100") << 99 << 100 << 1;
        QTest::newRow("DL 100, UL 0") << 100 << 0 << 2;
        QTest::newRow("both at 100") << 100 << 100 << 3;
    }
    void iconIndex()
    {
        QFETCH(int, download);
        QFETCH(int, upload);
        QFETCH(int, icon);
        // The download is split over both graphs: the icon follows the sums.
        MeterSettings s;
        s.positionCount = 2;
        s.graph1 = {true, false};
        s.graph2 = {false, true};
        InterfaceTable t{InterfaceRow{"a", 1000, 1000}, InterfaceRow{"b", 1000, 1000}};
        MeterTick tick;
        bool primed = false;
        tick.Timer1Timer(t, s, primed, nullptr);
        t[0].inOctets += download / 2;
        t[1].inOctets += download - download / 2;
        t[1].outOctets += upload;
        const auto r = tick.Timer1Timer(t, s, primed, nullptr);
        QCOMPARE(r.received1 + r.received2, float(download));
        QCOMPARE(r.iconIndex, icon);
    }

    void firstTickOnlyPrimes()
    {
        MeterTick tick;
        bool primed = false;
        const auto r = tick.Timer1Timer(OneRow(123456, 654321), Graph1Only(), primed, nullptr);
        QVERIFY(primed);
        QCOMPARE(r.received1, 0.0f);
        QCOMPARE(r.sent1, 0.0f);
        QVERIFY(!r.rateTextChanged);
        QCOMPARE(tick.rateText(), QStringLiteral("DL : 0ko/s  UL : 0ko/s"));
        QCOMPARE(tick.ring().head(), 1023);
        QCOMPARE(tick.ring().at(0).received1, 0);

        // A click in lb1 or lb2 clears the flag: the next tick primes again, and its zeros enter the ring.
        tick.Timer1Timer(OneRow(124456, 654321), Graph1Only(), primed, nullptr);
        QCOMPARE(tick.ring().at(0).received1, 1000);
        primed = false;
        const auto again = tick.Timer1Timer(OneRow(200000, 700000), Graph1Only(), primed, nullptr);
        QCOMPARE(again.received1, 0.0f);
        QVERIFY(again.rateTextChanged);
        QCOMPARE(tick.rateText(), QStringLiteral("DL : 0ko/s  UL : 0ko/s"));
        QCOMPARE(tick.ring().at(0).received1, 0);
        QCOMPARE(tick.ring().at(1).received1, 1000);
    }

    void changedPeriodOnlyPrimes()
    {
        MeterTick tick;
        bool primed = false;
        MeterSettings s = Graph1Only();
        tick.Timer1Timer(OneRow(100000, 0), s, primed, nullptr);
        tick.Timer1Timer(OneRow(102000, 0), s, primed, nullptr);
        QCOMPARE(tick.ring().at(0).received1, 2000);

        // Period 1050 ms: readings become floor(counter ÷ 1.05), not comparable with the last ones.
        s.refreshPosition = 21;
        const auto r = tick.Timer1Timer(OneRow(104100, 0), s, primed, nullptr);
        QCOMPARE(r.received1, 0.0f);
        QCOMPARE(tick.ring().at(0).received1, 0);

        // 2100 bytes in 1.05 s: floor(106200 / 1.05) − floor(104100 / 1.05) = 101142 − 99142.
        const auto next = tick.Timer1Timer(OneRow(106200, 0), s, primed, nullptr);
        QCOMPARE(next.received1, 2000.0f);
        QCOMPARE(tick.ring().at(0).received1, 2000);
    }

    void wrappingReadings_data()
    {
        QTest::addColumn<int>("refreshPosition");
        QTest::addColumn<qulonglong>("before");
        QTest::addColumn<qulonglong>("after");
        QTest::addColumn<float>("rate");
        // Readings 2147482648 then -2147482648 (int32): 2000 bytes apart modulo 2^32.
        QTest::newRow("reading passes 2^31") << 20 << 2147482648ULL << 2147484648ULL << 2000.0f;
        // Readings -500 then 1500 (the low 32 bits of 4294968796).
        QTest::newRow("reading passes 2^32") << 20 << 4294966796ULL << 4294968796ULL << 2000.0f;
        // Period 0.5 s: readings are twice the counter, 4294965296 (-2000) then 4294967296 (0).
        QTest::newRow("doubled reading passes 2^32") << 10 << 2147482648ULL << 2147483648ULL << 2000.0f;
        // The interface was deleted and created again: its counters restart. A wrapping difference would
        // read 4294966272 B/s (4194303 ko/s); the tick only primes instead.
        QTest::newRow("counter reset to 0 only primes") << 20 << 1024ULL << 0ULL << 0.0f;
        QTest::newRow("counter reset past 2^32 only primes") << 20 << 5000000000ULL << 3000ULL << 0.0f;
        QTest::newRow("counter reset at half period only primes") << 10 << 700000ULL << 100ULL << 0.0f;
    }
    void wrappingReadings()
    {
        QFETCH(int, refreshPosition);
        QFETCH(qulonglong, before);
        QFETCH(qulonglong, after);
        QFETCH(float, rate);
        MeterSettings s = Graph1Only();
        s.refreshPosition = refreshPosition;
        MeterTick tick;
        bool primed = false;
        tick.Timer1Timer(OneRow(before, before), s, primed, nullptr);
        const auto r = tick.Timer1Timer(OneRow(after, after), s, primed, nullptr);
        QCOMPARE(r.received1, rate);
        QCOMPARE(r.sent1, rate);
        QCOMPARE(tick.ring().at(0).received1, int32_t(rate));

        // The next tick measures from these counters: 1000 B/s whatever the period.
        const uint64_t bytes = uint64_t(refreshPosition) * 50;
        const auto next = tick.Timer1Timer(OneRow(after + bytes, after + bytes), s, primed, nullptr);
        QCOMPARE(next.received1, 1000.0f);
        QCOMPARE(next.sent1, 1000.0f);
    }

    void rateAboveTwoGigabytesSaturatesTheRing()
    {
        MeterTick tick;
        bool primed = false;
        tick.Timer1Timer(OneRow(0, 0), Graph1Only(), primed, nullptr);
        tick.Timer1Timer(OneRow(3000000000ULL, 0), Graph1Only(), primed, nullptr);
        QCOMPARE(tick.ring().at(0).received1, INT32_MAX);
    }

    void ringAfter1024Ticks()
    {
        MeterTick tick;
        bool primed = false;
        uint64_t in = 0, out = 0;
        for (int j = 0; j < HistoryRing::kSlots; ++j)
        {
            in += uint64_t(j);
            out += uint64_t(2 * j);
            tick.Timer1Timer(OneRow(in, out), Graph1Only(), primed, nullptr);
        }
        // Tick j wrote slot 1023 - j; the head is back at slot 0, holding the newest sample.
        QCOMPARE(tick.ring().head(), 0);
        for (int j = 0; j < HistoryRing::kSlots; ++j)
        {
            QCOMPARE(tick.ring().slot(1023 - j).received1, j);
            QCOMPARE(tick.ring().slot(1023 - j).sent1, 2 * j);
        }
        QCOMPARE(tick.ring().at(0).received1, 1023);
        QCOMPARE(tick.ring().at(1023).received1, 0);
        QCOMPARE(tick.ring().RingSlot(1), 1);
    }

    void automaticScale()
    {
        MeterSettings s;
        s.positionCount = 2;
        s.graph1 = {true, false};
        s.graph2 = {false, true};
        s.scaleIndex = kAutomaticScaleIndex;
        s.graphWidth = 4;
        MeterTick tick;
        bool primed = false;

        // Idle line: everything is zero and the scale settles at the spin's minimum.
        InterfaceTable t{InterfaceRow{"a", 10, 10}, InterfaceRow{"b", 10, 10}};
        QCOMPARE(tick.Timer1Timer(t, s, primed, nullptr).fullScale, std::optional<int32_t>(1025));
        QCOMPARE(tick.Timer1Timer(t, s, primed, nullptr).fullScale, std::optional<int32_t>(1025));

        // 5000 B/s sent on graph 2, then three ticks of 100 B/s: it spans ages 0 to width - 1.
        t[1].outOctets += 5000;
        QCOMPARE(tick.Timer1Timer(t, s, primed, nullptr).fullScale, std::optional<int32_t>(5000));
        for (int k = 0; k < 3; ++k)
        {
            t[0].inOctets += 100;
            QCOMPARE(tick.Timer1Timer(t, s, primed, nullptr).fullScale, std::optional<int32_t>(5000));
        }
        t[0].inOctets += 100;
        QCOMPARE(tick.Timer1Timer(t, s, primed, nullptr).fullScale, std::optional<int32_t>(1025));

        s.scaleIndex = 8;
        QVERIFY(!tick.Timer1Timer(t, s, primed, nullptr).fullScale);
    }

    void stopwatchGetsEachSampleOnce()
    {
        RecordingFeed feed;
        MeterTick tick;
        bool primed = false;
        MeterSettings s = Graph1Only();
        tick.Timer1Timer(OneRow(0, 0), s, primed, &feed);
        tick.Timer1Timer(OneRow(1000, 10), s, primed, &feed);
        QVERIFY(feed.samples.empty());
        feed.running = true;
        tick.Timer1Timer(OneRow(3000, 40), s, primed, &feed);
        tick.Timer1Timer(OneRow(3500, 40), s, primed, &feed);
        // A priming tick (after a click in lb1, or a new period) measured nothing: no sample.
        primed = false;
        tick.Timer1Timer(OneRow(9000, 90), s, primed, &feed);
        s.refreshPosition = 10;
        tick.Timer1Timer(OneRow(9500, 90), s, primed, &feed);
        tick.Timer1Timer(OneRow(10000, 95), s, primed, &feed);
        // A counter reset measured nothing either, and the next tick counts from the new counters.
        tick.Timer1Timer(OneRow(200, 95), s, primed, &feed);
        tick.Timer1Timer(OneRow(700, 100), s, primed, &feed);
        // 500 bytes in 0.5 s.
        const std::vector<std::pair<int32_t, int32_t>> expected{{2000, 30}, {500, 0}, {1000, 10}, {1000, 10}};
        QCOMPARE(feed.samples, expected);
    }

    void positionsBeyondTheTable()
    {
        // Position 1 is ticked but the table lost its second row: no reading, no rate, no crash.
        MeterSettings s;
        s.positionCount = 20;
        s.graph1.assign(20, false);
        s.graph1[1] = true;
        s.graph1[19] = true;
        MeterTick tick;
        bool primed = false;
        InterfaceTable two{InterfaceRow{"a", 0, 0}, InterfaceRow{"b", 5000, 0}};
        InterfaceTable one{InterfaceRow{"a", 0, 0}};
        tick.Timer1Timer(two, s, primed, nullptr);
        QCOMPARE(tick.Timer1Timer(one, s, primed, nullptr).received1, 0.0f);
        // When the row comes back its first reading only primes that position.
        two[1].inOctets = 900000;
        QCOMPARE(tick.Timer1Timer(two, s, primed, nullptr).received1, 0.0f);
        two[1].inOctets += 700;
        QCOMPARE(tick.Timer1Timer(two, s, primed, nullptr).received1, 700.0f);
    }
};

QTEST_GUILESS_MAIN(TestMeterTick)
#include "tst_metertick.moc"
