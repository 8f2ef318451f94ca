// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DayNumber.h"
#include "config/SettingsStore.h"
#include "reports/DataPlan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <tuple>
#include <vector>

using namespace reports;

namespace
{
// (seconds of the day, received, sent)
using SampleList = std::vector<std::tuple<int, qint64, qint64>>;

QByteArray DayFileText(const SampleList& samples)
{
    QByteArray text;
    for (const auto& [seconds, in, out] : samples)
        text += TimeText(QTime::fromMSecsSinceStartOfDay(seconds * 1000)).toLatin1() + QByteArray::number(in) + 'U' +
                QByteArray::number(out) + "\r\n";
    return text;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// nic.inf with a D and a U line per day.
bool WriteTotals(const QString& dir, const std::vector<std::tuple<QDate, qint64, qint64>>& days)
{
    QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n\r\n[data]\r\n";
    for (const auto& [date, in, out] : days)
        text += QByteArray::number(DayNumber(date)) + "D=" + QByteArray::number(in) + "\r\n" +
                QByteArray::number(DayNumber(date)) + "U=" + QByteArray::number(out) + "\r\n";
    return WriteFile(dir + QStringLiteral("/nic.inf"), text);
}

// The plan of eth0 made of "key=value" settings.
DataPlan Plan(const QStringList& settings)
{
    PlanSection section;
    for (const QString& setting : settings)
        section.insert(QStringLiteral("eth0/") + setting.section(QLatin1Char('='), 0, 0),
                       setting.section(QLatin1Char('='), 1));
    const PlansRead read = ReadPlans(section);
    if (!read.messages.isEmpty() || read.plans.size() != 1)
        qFatal("bad plan in a test: %s", qPrintable(read.messages.join(QLatin1Char('\n'))));
    return read.plans.front();
}

QDateTime At(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// An optional figure as a number, -1 for none.
double Value(const std::optional<long double>& v)
{
    return v ? static_cast<double>(*v) : -1;
}
} // namespace

class TestDataPlan final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Cycles start at local midnight: the zone's changes of time fall on known days.
        qputenv("TZ", "Europe/Paris");
        tzset();
    }

    void cycleBoundaries_data()
    {
        QTest::addColumn<QString>("cycle");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("hours");
        QTest::addColumn<QDate>("previousFirst");

        QTest::newRow("month:1, mid-month")
            << "month:1" << QDate(2027, 2, 14) << QDate(2027, 2, 1) << QDate(2027, 2, 28) << 672 << QDate(2027, 1, 1);
        // 28 March 2027 has 23 hours in Paris.
        QTest::newRow("month:15 on the 15th, across the spring change")
            << "month:15" << QDate(2027, 3, 15) << QDate(2027, 3, 15) << QDate(2027, 4, 14) << 743
            << QDate(2027, 2, 15);
        QTest::newRow("month:15 on the 14th") << "month:15" << QDate(2027, 3, 14) << QDate(2027, 2, 15)
                                              << QDate(2027, 3, 14) << 672 << QDate(2027, 1, 15);
        QTest::newRow("month:29 in February 2027 starts on the 28th")
            << "month:29" << QDate(2027, 2, 28) << QDate(2027, 2, 28) << QDate(2027, 3, 28) << 695
            << QDate(2027, 1, 29);
        QTest::newRow("month:29, the day before February's start")
            << "month:29" << QDate(2027, 2, 27) << QDate(2027, 1, 29) << QDate(2027, 2, 27) << 720
            << QDate(2026, 12, 29);
        // 26 March 2028 has 23 hours.
        QTest::newRow("month:29 in leap February 2028") << "month:29" << QDate(2028, 2, 29) << QDate(2028, 2, 29)
                                                        << QDate(2028, 3, 28) << 695 << QDate(2028, 1, 29);
        QTest::newRow("month:30 in leap February 2028 starts on the 29th")
            << "month:30" << QDate(2028, 3, 1) << QDate(2028, 2, 29) << QDate(2028, 3, 29) << 719 << QDate(2028, 1, 30);
        QTest::newRow("month:31 in February 2027 starts on the 28th")
            << "month:31" << QDate(2027, 3, 30) << QDate(2027, 2, 28) << QDate(2027, 3, 30) << 743
            << QDate(2027, 1, 31);
        QTest::newRow("month:31 in April starts on the 30th") << "month:31" << QDate(2027, 4, 30) << QDate(2027, 4, 30)
                                                              << QDate(2027, 5, 30) << 744 << QDate(2027, 3, 31);
        QTest::newRow("month:15, December into January") << "month:15" << QDate(2027, 1, 3) << QDate(2026, 12, 15)
                                                         << QDate(2027, 1, 14) << 744 << QDate(2026, 11, 15);
        QTest::newRow("month:1 on 31 December") << "month:1" << QDate(2026, 12, 31) << QDate(2026, 12, 1)
                                                << QDate(2026, 12, 31) << 744 << QDate(2026, 11, 1);
        QTest::newRow("week from Monday, on a Sunday")
            << "week:1" << QDate(2027, 3, 28) << QDate(2027, 3, 22) << QDate(2027, 3, 28) << 167 << QDate(2027, 3, 15);
        QTest::newRow("week from Sunday, on that Sunday")
            << "week:7" << QDate(2027, 3, 28) << QDate(2027, 3, 28) << QDate(2027, 4, 3) << 167 << QDate(2027, 3, 21);
        QTest::newRow("week from Sunday, on a Saturday")
            << "week:7" << QDate(2027, 3, 27) << QDate(2027, 3, 21) << QDate(2027, 3, 27) << 168 << QDate(2027, 3, 14);
        QTest::newRow("week from Monday, across New Year")
            << "week:1" << QDate(2027, 1, 1) << QDate(2026, 12, 28) << QDate(2027, 1, 3) << 168 << QDate(2026, 12, 21);
        QTest::newRow("day, spring change: 23 hours")
            << "day" << QDate(2027, 3, 28) << QDate(2027, 3, 28) << QDate(2027, 3, 28) << 23 << QDate(2027, 3, 27);
        QTest::newRow("day, autumn change: 25 hours")
            << "day" << QDate(2027, 10, 31) << QDate(2027, 10, 31) << QDate(2027, 10, 31) << 25 << QDate(2027, 10, 30);
    }
    void cycleBoundaries()
    {
        QFETCH(QString, cycle);
        QFETCH(QDate, day);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(int, hours);
        const DataPlan plan = Plan({QStringLiteral("cycle=") + cycle});
        const BillingCycle c = CycleHolding(plan, day);
        QCOMPARE(c.first, first);
        QCOMPARE(c.last, last);
        QCOMPARE(c.start, first.startOfDay());
        QCOMPARE(c.end, last.addDays(1).startOfDay());
        QCOMPARE(c.start.secsTo(c.end), hours * 3600LL);
        // Every day of a cycle is held by that cycle.
        QCOMPARE(CycleHolding(plan, first), c);
        QCOMPARE(CycleHolding(plan, last), c);
        const BillingCycle previous = CycleBefore(plan, c);
        QTEST(previous.first, "previousFirst");
        QCOMPARE(previous.last, first.addDays(-1));
        QVERIFY(previous.id() != c.id());
        // A whole cycle has a five-minute slot per five minutes of its real length.
        QTemporaryDir empty;
        QCOMPARE(PlanCalculator().forCycle(plan, empty.path(), c, c.end).slotCount, hours * 12);
    }

    // One store for every row: June 2027 (30 days, no change of time), and the two days of 2027 whose
    // length changes.
    void figures_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("cyclesBack");
        QTest::addColumn<double>("used");
        QTest::addColumn<double>("expected"); // -1: none
        QTest::addColumn<double>("projected");
        QTest::addColumn<double>("remaining");
        QTest::addColumn<double>("perDay");
        QTest::addColumn<QList<int>>("crossed");
        QTest::addColumn<bool>("projectedOver");

        const auto s = [](std::initializer_list<const char*> texts) {
            QStringList list;
            for (const char* t : texts)
                list << QString::fromUtf8(t);
            return list;
        };
        // 1 and 2 June: 3000 received, 500 sent. 10 of 30 days gone at midnight on the 11th; 20 days left.
        const QDateTime june11 = At(2027, 6, 11);
        QTest::newRow("a third of June gone, both directions")
            << s({"cycle=month:1", "allowance=30000"}) << june11 << 0 << 3500.0 << 10000.0 << 10500.0 << 26500.0
            << 1325.0 << QList<int>{} << false;
        QTest::newRow("received only") << s({"cycle=month:1", "allowance=30000", "count=received"}) << june11 << 0
                                       << 3000.0 << 10000.0 << 9000.0 << 27000.0 << 1350.0 << QList<int>{} << false;
        QTest::newRow("sent only") << s({"cycle=month:1", "allowance=30000", "count=sent"}) << june11 << 0 << 500.0
                                   << 10000.0 << 1500.0 << 29500.0 << 1475.0 << QList<int>{} << false;
        QTest::newRow("no allowance: use and projection only") << s({"cycle=month:1"}) << june11 << 0 << 3500.0 << -1.0
                                                               << 10500.0 << -1.0 << -1.0 << QList<int>{} << false;
        QTest::newRow("80 % reached exactly") << s({"cycle=month:1", "allowance=4375"}) << june11 << 0 << 3500.0
                                              << 4375.0 / 3 << 10500.0 << 875.0 << 43.75 << QList<int>{80} << true;
        QTest::newRow("past the allowance: nothing remains")
            << s({"cycle=month:1", "allowance=3000", "warn=150,50,100"}) << june11 << 0 << 3500.0 << 1000.0 << 10500.0
            << 0.0 << 0.0 << QList<int>{50, 100} << true;
        QTest::newRow("at the very start, the projection is the use")
            << s({"cycle=month:1", "allowance=30000"}) << At(2027, 6, 1) << 0 << 1500.0 << 0.0 << 1500.0 << 28500.0
            << 950.0 << QList<int>{} << false;
        // 12 June's totals count once the cycle is over.
        QTest::newRow("the cycle before counts whole")
            << s({"cycle=month:1", "allowance=30000"}) << At(2027, 7, 10, 9) << 1 << 3514.0 << 30000.0 << 3514.0
            << 26486.0 << -1.0 << QList<int>{} << false;
        // 00:00 to 12:00 on 28 March 2027 is 11 hours of 23.
        QTest::newRow("spring change day at noon")
            << s({"cycle=day", "allowance=23000"}) << At(2027, 3, 28, 12) << 0 << 1100.0 << 11000.0 << 2300.0 << 21900.0
            << 21900.0 << QList<int>{} << false;
        // 00:00 to 12:00 on 31 October 2027 is 13 hours of 25.
        QTest::newRow("autumn change day at noon")
            << s({"cycle=day", "allowance=25000"}) << At(2027, 10, 31, 12) << 0 << 2600.0 << 13000.0 << 5000.0
            << 22400.0 << 22400.0 << QList<int>{} << false;
    }
    void figures()
    {
        QFETCH(QStringList, settings);
        QFETCH(QDateTime, now);
        QFETCH(int, cyclesBack);
        QTemporaryDir dir;
        QVERIFY(WriteTotals(dir.path(), {{QDate(2027, 5, 31), 99999, 99999},
                                         {QDate(2027, 6, 1), 1000, 500},
                                         {QDate(2027, 6, 2), 2000, 0},
                                         {QDate(2027, 6, 12), 7, 7}, // after the 11th: a clock set back
                                         {QDate(2027, 3, 28), 1100, 0},
                                         {QDate(2027, 10, 31), 2600, 0}}));
        const DataPlan plan = Plan(settings);
        // One calculator for both: what it keeps from a call changes nothing in the next.
        PlanCalculator calculator;
        PlanFigures f = calculator.current(plan, dir.path(), now);
        for (int i = 0; i < cyclesBack; ++i)
            f = calculator.forCycle(plan, dir.path(), CycleBefore(plan, f.cycle), now);
        QTEST(double(f.used), "used");
        QTEST(Value(f.expected), "expected");
        QTEST(double(f.projected), "projected");
        QTEST(Value(f.remaining), "remaining");
        QTEST(Value(f.perDay), "perDay");
        QTEST(QList<int>(f.crossed.begin(), f.crossed.end()), "crossed");
        QTEST(f.projectedOver, "projectedOver");
        QCOMPARE(f.percent.has_value(), plan.allowance > 0);
        QCOMPARE(f.warnings, QStringList());
    }

    // nic.inf as the profile parser reads it: a byte order mark, lone CR and LF line ends, blanks around keys
    // and values, and the same days in a later section, which is not "data".
    void totalsOfAnOddNicInf()
    {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("nic.inf")),
                          "\xEF\xBB\xBF[data]\rnote=x\r46539D=1000\r46539U=500\n  46540D = 2000 \r\n46540U=0\r\n"
                          "[other]\r\n46539D=99999\r\n46539U=99999\r\n"));
        const PlanFigures f =
            PlanCalculator().current(Plan({QStringLiteral("cycle=month:1")}), dir.path(), At(2027, 6, 11));
        QCOMPARE(double(f.usedBytes.received), 3000.0);
        QCOMPARE(double(f.usedBytes.sent), 500.0);
    }

    // A day cycle read from its day file alone, at some moment of it or once it is over: 15 June 2027 unless
    // said otherwise.
    void percentile95_data()
    {
        QTest::addColumn<QByteArray>("dayFile");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("slots");
        QTest::addColumn<double>("p95Received");
        QTest::addColumn<double>("peakReceived");
        QTest::addColumn<double>("p95Sent");
        QTest::addColumn<double>("peakSent");

        const QDateTime endOfDay = At(2027, 6, 16);
        // Every slot at 1 B/s received and 2 B/s sent, spikes of 100, 101... B/s in slots 10, 20...
        const auto busyDay = [](int spikes) {
            SampleList samples;
            for (int i = 0; i < 288; ++i)
            {
                const bool spike = i % 10 == 0 && i > 0 && i / 10 <= spikes;
                samples.emplace_back(i * 300 + 150, spike ? 300 * (99 + i / 10) : 300, 600);
            }
            return DayFileText(samples);
        };
        // 288 slots: the top 14 go.
        QTest::newRow("15 spikes in a full day: the lowest spike stands")
            << busyDay(15) << endOfDay << 288 << 100.0 << 114.0 << 2.0 << 2.0;
        QTest::newRow("14 spikes in a full day are all dropped")
            << busyDay(14) << endOfDay << 288 << 1.0 << 113.0 << 2.0 << 2.0;

        const auto someSlots = [](int count) {
            SampleList samples;
            for (int i = 0; i < count; ++i)
                samples.emplace_back(i * 3600 + 60, 3000, 0); // 10 B/s, one an hour
            return DayFileText(samples);
        };
        QTest::newRow("missing slots count 0: 20 busy of 288")
            << someSlots(20) << endOfDay << 288 << 10.0 << 10.0 << 0.0 << 0.0;
        QTest::newRow("14 busy slots of 288: the percentile is 0")
            << someSlots(14) << endOfDay << 288 << 0.0 << 10.0 << 0.0 << 0.0;

        // Slot i at i + 1 B/s, and a sample after now that must not count.
        const auto rising = [](int count) {
            SampleList samples;
            for (int i = 0; i < count; ++i)
                samples.emplace_back(i * 300 + 150, 300 * (i + 1), 0);
            samples.emplace_back(12 * 3600, 300000, 300000);
            return DayFileText(samples);
        };
        QTest::newRow("18 slots: nothing dropped, the highest stands")
            << rising(18) << At(2027, 6, 15, 1, 30) << 18 << 18.0 << 18.0 << 0.0 << 0.0;
        QTest::newRow("20 slots: the highest dropped")
            << rising(20) << At(2027, 6, 15, 1, 40) << 20 << 19.0 << 20.0 << 0.0 << 0.0;
        QTest::newRow("two samples in one slot add up") << DayFileText({{10, 150, 0}, {290, 150, 30}, {310, 0, 0}})
                                                        << At(2027, 6, 15, 0, 10) << 2 << 1.0 << 1.0 << 0.1 << 0.1;
        // 28 March 2027 has 276 slots; 23:57 is 22 h 57 min after its midnight.
        QTest::newRow("spring change day: 23:57 is in the last of 276 slots")
            << DayFileText({{23 * 3600 + 57 * 60, 300, 0}}) << At(2027, 3, 29) << 276 << 0.0 << 1.0 << 0.0 << 0.0;
    }
    void percentile95()
    {
        QFETCH(QByteArray, dayFile);
        QFETCH(QDateTime, now);
        // The day now is in, or that it ends.
        const QDate day = now.addMSecs(-1).date();
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("%1.mdf").arg(DayNumber(day))), dayFile));
        const DataPlan plan = Plan({QStringLiteral("cycle=day")});
        const PlanFigures f = PlanCalculator().forCycle(plan, dir.path(), CycleHolding(plan, day), now);
        QTEST(f.slotCount, "slots");
        QTEST(double(f.p95.received), "p95Received");
        QTEST(double(f.peak.received), "peakReceived");
        QTEST(double(f.p95.sent), "p95Sent");
        QTEST(double(f.peak.sent), "peakSent");
        // Without nic.inf nor an off-peak window nothing is used: the day totals are what counts.
        QCOMPARE(double(f.used), 0.0);
    }

    // Samples of 15 June 2027 received 1, 2, 4... bytes, so that the sum tells which counted.
    void offPeak_data()
    {
        QTest::addColumn<QString>("offpeak"); // empty: none
        QTest::addColumn<double>("used");
        // 2047 bytes in all; the window's start is in it, its end is not.
        QTest::newRow("02:00-08:00") << "02:00-08:00" << 497.0;
        QTest::newRow("23:00-06:00 across midnight") << "23:00-06:00" << 1176.0;
        QTest::newRow("no window: the day totals") << QString() << 5000.0;
    }
    void offPeak()
    {
        QFETCH(QString, offpeak);
        QTemporaryDir dir;
        const QDate day(2027, 6, 15);
        QVERIFY(WriteTotals(dir.path(), {{day, 5000, 0}}));
        const SampleList samples = {
            {1 * 3600 + 59 * 60 + 59, 1, 0},
            {2 * 3600, 2, 0},
            {5 * 3600, 4, 0},
            {7 * 3600 + 59 * 60 + 59, 8, 0},
            {8 * 3600, 16, 0},
            {23 * 3600 + 30 * 60, 32, 0},
            {30 * 60, 64, 0},
            {22 * 3600 + 3599, 128, 0},
            {23 * 3600, 256, 0},
            {5 * 3600 + 3599, 512, 0},
            {6 * 3600, 1024, 0},
        };
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("%1.mdf").arg(DayNumber(day))), DayFileText(samples)));
        QStringList settings{QStringLiteral("cycle=day")};
        if (!offpeak.isEmpty())
            settings << QStringLiteral("offpeak=") + offpeak;
        const DataPlan plan = Plan(settings);
        const PlanFigures f = PlanCalculator().forCycle(plan, dir.path(), CycleHolding(plan, day), At(2027, 6, 16));
        QTEST(double(f.used), "used");
        QCOMPARE(double(f.usedBytes.sent), 0.0);
    }

    // Each row: the section's entries; the plans kept (by name) and the messages.
    void badValues_data()
    {
        QTest::addColumn<PlanSection>("section");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("messages");
        const auto bad = [](const char* key, const char* value, const char* expected) {
            return QStringLiteral("Forfait de « eth0 » ignoré : %1=%2 n'est pas valide (attendu : %3).")
                .arg(QLatin1String(key), QString::fromUtf8(value), QString::fromUtf8(expected));
        };
        const char* cycle = "month:J (J de 1 à 31), week:J (J de 1 = lundi à 7 = dimanche) ou day";
        const char* offpeak = "HH:MM-HH:MM, par exemple 02:00-08:00";
        const char* warn = "des pourcentages entiers de 1 à 1000 séparés par des virgules, par exemple 80,100";
        const QString wlan = QStringLiteral("wlan0");
        const auto row = [&](const char* name, const char* key, const char* value, const char* expected) {
            QTest::newRow(name) << PlanSection{{QStringLiteral("eth0/") + QLatin1String(key), QString::fromUtf8(value)},
                                               {QStringLiteral("wlan0/cycle"), QStringLiteral("week:1")}}
                                << QStringList{wlan} << QStringList{bad(key, value, expected)};
        };
        row("month:32", "cycle", "month:32", cycle);
        row("month:0", "cycle", "month:0", cycle);
        row("week:8", "cycle", "week:8", cycle);
        row("a year", "cycle", "year", cycle);
        row("a negative allowance", "allowance", "-5", "un nombre entier d'octets par cycle, 0 pour aucun");
        row("an allowance with a unit", "allowance", "50G", "un nombre entier d'octets par cycle, 0 pour aucun");
        row("an allowance past 2^64", "allowance", "18446744073709551616",
            "un nombre entier d'octets par cycle, 0 pour aucun");
        row("count of something else", "count", "total", "both, received ou sent");
        row("an empty window", "offpeak", "02:00-02:00", offpeak);
        row("a whole day is no window", "offpeak", "00:00-24:00", offpeak);
        row("an hour past 23", "offpeak", "25:00-08:00", offpeak);
        row("one end only", "offpeak", "02:00", offpeak);
        row("a threshold that is no number", "warn", "80,abc", warn);
        row("a threshold of 0", "warn", "0,100", warn);

        QTest::newRow("every bad value is told, the plan ignored once")
            << PlanSection{{QStringLiteral("eth0/cycle"), QStringLiteral("month:40")},
                           {QStringLiteral("eth0/count"), QStringLiteral("up")}}
            << QStringList{}
            << QStringList{bad("count", "up", "both, received ou sent"), bad("cycle", "month:40", cycle)};
        QTest::newRow("sound values, in any letter case, with blanks")
            << PlanSection{{QStringLiteral("eth0/Cycle"), QStringLiteral("Month:31")},
                           {QStringLiteral("eth0/allowance"), QString()},
                           {QStringLiteral("eth0/offpeak"), QStringLiteral(" 23:00 - 6:00 ")},
                           {QStringLiteral("eth0/warn"), QString()}}
            << QStringList{QStringLiteral("eth0")} << QStringList{};
        QTest::newRow("an unknown key is told, the plan kept")
            << PlanSection{{QStringLiteral("eth0/alowance"), QStringLiteral("5")}}
            << QStringList{QStringLiteral("eth0")}
            << QStringList{QStringLiteral("Forfait de « eth0 » : le réglage alowance est inconnu et laissé de côté "
                                          "(réglages connus : cycle, allowance, count, offpeak, warn).")};
        QTest::newRow("a key without an interface")
            << PlanSection{{QStringLiteral("cycle"), QStringLiteral("day")}} << QStringList{}
            << QStringList{QStringLiteral("Réglage cycle de la section [Plans] laissé de côté : il ne nomme pas "
                                          "d'interface (interface\\clé attendu).")};
    }
    void badValues()
    {
        QFETCH(PlanSection, section);
        const PlansRead read = ReadPlans(section);
        QStringList kept;
        for (const DataPlan& plan : read.plans)
            kept << plan.interfaceName;
        QTEST(kept, "kept");
        QTEST(read.messages, "messages");

        // Told once while it stands, again once it came back after a fix.
        PlanBook book;
        QCOMPARE(book.update(section), read.messages);
        QCOMPARE(book.update(section), QStringList());
        QCOMPARE(book.update({}), QStringList());
        QCOMPARE(book.update(section), read.messages);
        QCOMPARE(book.plans(), read.plans);
    }

    // The form the settings file holds, comments and all, read by the settings store.
    void readFromTheSettingsFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORP.conf"));
        QVERIFY(WriteFile(path, "[General]\nlrec=00FF00\n\n"
                                "[Plans]\n"
                                "eth0\\cycle=month:15        ; month:D (D 1..31), week:W (1 = Monday .. 7), or day\n"
                                "eth0\\allowance=50000000000 ; bytes per cycle\n"
                                "eth0\\count=both\n"
                                "eth0\\offpeak=02:00-08:00\n"
                                "eth0\\warn=80,100\n"
                                "Wi-Fi%20maison\\cycle=week:7\n"
                                "Wi-Fi%20maison\\count=received\n"
                                "Wi-Fi%20maison\\warn=\"50, 90\"\n"
                                "\n[PlansOld]\nppp0\\cycle=day\n"));
        const SettingsStore store(path, SettingsStore::Access::ReadOnly);
        const PlansRead read = ReadPlans(store.readSection(QStringLiteral("plans")));
        QCOMPARE(read.messages, QStringList());
        QCOMPARE(read.plans.size(), size_t(2));
        DataPlan wifi;
        wifi.interfaceName = QStringLiteral("Wi-Fi maison");
        wifi.period = DataPlan::Period::Week;
        wifi.startDay = 7;
        wifi.count = PlanCount::Received;
        wifi.thresholds = {50, 90};
        QCOMPARE(read.plans[0], wifi);
        DataPlan eth0;
        eth0.interfaceName = QStringLiteral("eth0");
        eth0.startDay = 15;
        eth0.allowance = 50000000000;
        eth0.offPeak = OffPeak{2 * 3600000, 8 * 3600000};
        QCOMPARE(read.plans[1], eth0);
        QCOMPARE(eth0.cycleText(), QStringLiteral("month:15"));
        QCOMPARE(eth0.offPeak->text(), QStringLiteral("02:00-08:00"));

        PlanBook book;
        book.update(store.readSection(QStringLiteral("Plans")));
        QCOMPARE(book.find(QStringLiteral("ETH0")), &book.plans()[1]);
        QCOMPARE(book.find(QStringLiteral("ppp0")), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestDataPlan)
#include "tst_dataplan.moc"
