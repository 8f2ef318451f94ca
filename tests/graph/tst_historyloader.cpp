// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DayNumber.h"
#include "graph/HistoryLoader.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace graph;

Q_DECLARE_METATYPE(graph::Direction)

namespace
{
// 15 June 2004 is day 38153.
const QDate kSelected(2004, 6, 15);
constexpr int kSelectedDay = 38153;

QByteArray Line(const char* time, qint64 in, qint64 out)
{
    return QByteArray(time) + QByteArray::number(in) + 'U' + QByteArray::number(out) + "\r\n";
}

void WriteDay(const QString& dir, int day, const QByteArray& bytes)
{
    QFile file(dir + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

LoadRequest Request(const QString& dir, int secondsPerColumn, Direction direction, QTime now = QTime(18, 0))
{
    LoadRequest r;
    r.directory = dir;
    r.date = kSelected;
    r.timeOfDay = now;
    r.secondsPerColumn = secondsPerColumn;
    r.direction = direction;
    r.width = 600;
    r.height = 200;
    r.bitsMultiplier = 1;
    r.scale = 65536;
    return r;
}

// Columns that hold anything, as (column, sumIn).
QList<QPair<int, float>> Filled(const ColumnBuffer& columns)
{
    QList<QPair<int, float>> filled;
    for (int c = 0; c < kColumnCount; ++c)
        if (columns[c].sumIn != 0 || columns[c].sumOut != 0 || columns[c].peakIn != 0 || columns[c].peakOut != 0)
            filled.append({c, columns[c].sumIn});
    return filled;
}
} // namespace

class TestHistoryLoader final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void lineReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("two lines") << QByteArray("14:35:07123456U7890\r\n14:40:071000U20\r\n")
                                   << QList<QByteArray>{"14:35:07123456U7890", "14:40:071000U20"};
        QTest::newRow("last line without CR is not returned")
            << QByteArray("14:35:071U2\r\n14:40:0712") << QList<QByteArray>{"14:35:071U2"};
        QTest::newRow("a lone LF ends a line")
            << QByteArray("14:35:071U2\n14:40:073U4\n") << QList<QByteArray>{"14:35:071U2", "14:40:073U4"};
        QTest::newRow("comma, dot and letters dropped")
            << QByteArray("14:35:0712,5U7.0xyz\r\n") << QList<QByteArray>{"14:35:07125U70"};
        QTest::newRow("kept specials") << QByteArray("a/b:c FDU-\r\n") << QList<QByteArray>{"/: FDU"};
        QTest::newRow("a lone CR ends a line")
            << QByteArray("14:35:071U1\r14:40:072U2\r\n") << QList<QByteArray>{"14:35:071U1", "14:40:072U2"};
        QTest::newRow("CR CR LF: an empty line between")
            << QByteArray("14:35:071U1\r\r\n14:40:072U2\r\n") << QList<QByteArray>{"14:35:071U1", "", "14:40:072U2"};
        QTest::newRow("CR as the last byte") << QByteArray("14:35:071U1\r") << QList<QByteArray>{"14:35:071U1"};
        QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    }
    void lineReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        SampleLineReader reader(bytes);
        QList<QByteArray> read;
        while (const auto line = reader.next())
            read.append(line->toByteArray());
        QCOMPARE(read, lines);
    }

    void parseLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<int>("timeMs");
        QTest::addColumn<qint64>("in");
        QTest::addColumn<qint64>("out");
        QTest::newRow("sample") << QByteArray("14:35:07123456U7890") << true << 52507000 << 123456LL << 7890LL;
        QTest::newRow("amounts above 2 GiB stay whole")
            << QByteArray("00:05:003000000000U5000000000") << true << 300000 << 3000000000LL << 5000000000LL;
        QTest::newRow("no U: out is 0") << QByteArray("23:59:5942") << true << 86399000 << 42LL << 0LL;
        QTest::newRow("out beyond 64 bits is 0")
            << QByteArray("10:00:001U99999999999999999999") << true << 36000000 << 1LL << 0LL;
        QTest::newRow("out with a space is 0") << QByteArray("10:00:001U2 3") << true << 36000000 << 1LL << 0LL;
        QTest::newRow("empty in") << QByteArray("10:00:00U5") << false << 0 << 0LL << 0LL;
        QTest::newRow("in beyond 64 bits") << QByteArray("10:00:0099999999999999999999U5") << false << 0 << 0LL << 0LL;
        QTest::newRow("hour 24") << QByteArray("24:00:001U1") << false << 0 << 0LL << 0LL;
        QTest::newRow("time without colons") << QByteArray("1000000012U1") << false << 0 << 0LL << 0LL;
        QTest::newRow("too short") << QByteArray("10:00:0") << false << 0 << 0LL << 0LL;
        QTest::newRow("letters from the filter") << QByteArray("10:00:00FDU5") << false << 0 << 0LL << 0LL;
    }
    void parseLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, parses);
        const auto sample = ParseSampleLine(line);
        QCOMPARE(sample.has_value(), parses);
        if (!parses)
            return;
        QTEST(sample->timeMs, "timeMs");
        QTEST(qint64(sample->in), "in");
        QTEST(qint64(sample->out), "out");
    }

    // Lines read and parsed in one pass give what the reader's lines give once parsed.
    void samplesInOnePass_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("as the store writes them") << QByteArray("00:00:071U2\r\n14:35:07123456U7890\r\n");
        QTest::newRow("lone CR and LF, CR CR LF, a torn tail")
            << QByteArray("14:35:071U1\r14:40:072U2\n\r\r\n14:45:073U3\r\n14:50:0");
        QTest::newRow("amounts of 18, 19 and 20 digits")
            << QByteArray("10:00:00999999999999999999U999999999999999999\r\n"
                          "10:00:009223372036854775807U9223372036854775807\r\n"
                          "10:00:009223372036854775808U9223372036854775808\r\n"
                          "10:00:0099999999999999999999U1\r\n");
        QTest::newRow("no U, U without digits, a second U")
            << QByteArray("23:59:5942\r\n23:59:5942U\r\n23:59:591U2U3\r\n");
        QTest::newRow("times out of range or not digits")
            << QByteArray("24:00:001U1\r\n23:60:001U1\r\n23:59:601U1\r\n2a:00:001U1\r\n10-00-001U1\r\n");
        QTest::newRow("bytes the reader drops or keeps")
            << QByteArray("14:35:0712,5U7.0xyz\r\n14:35:07 1U1\r\n14:35:071FU1\r\n14:35:071U1D\r\n\x80\r\n");
        QTest::newRow("short and empty lines") << QByteArray("\r\n1\r\n10:00:00\r\n10:00:00U5\r\n");
        QByteArray random;
        QRandomGenerator generator(38153);
        const QByteArray alphabet("0123456789:U\r\n x");
        for (int i = 0; i < 65536; ++i)
            random += alphabet[generator.bounded(static_cast<int>(alphabet.size()))];
        QTest::newRow("random bytes of a day file's alphabet") << random;
    }
    void samplesInOnePass()
    {
        QFETCH(QByteArray, bytes);
        QStringList expected;
        SampleLineReader lines(bytes);
        while (const auto line = lines.next())
        {
            const auto sample = ParseSampleLine(*line);
            expected << (sample ? QStringLiteral("%1 %2 %3").arg(sample->timeMs).arg(sample->in).arg(sample->out)
                                : QStringLiteral("-"));
        }
        QStringList read;
        SampleLineReader reader(bytes);
        std::optional<Sample> sample;
        while (reader.nextSample(sample))
            read << (sample ? QStringLiteral("%1 %2 %3").arg(sample->timeMs).arg(sample->in).arg(sample->out)
                            : QStringLiteral("-"));
        QCOMPARE(read, expected);
    }

    void roundHalfEven()
    {
        QCOMPARE(RoundHalfEven(5, 2), 2); // 2.5
        QCOMPARE(RoundHalfEven(7, 2), 4); // 3.5
        QCOMPARE(RoundHalfEven(-5, 2), -2);
        QCOMPARE(RoundHalfEven(-7, 2), -4);
        QCOMPARE(RoundHalfEven(-1, 3), 0);
        QCOMPARE(RoundHalfEven(-2, 3), -1);
        QCOMPARE(RoundHalfEven(149999, 300000), 0);
        QCOMPARE(RoundHalfEven(150001, 300000), 1);
    }

    // A sample at 14:05:00 on the selected date, current time 18:00: 3 h 55 min = 47 five-minute units.
    void columnOfSample_data()
    {
        QTest::addColumn<int>("secondsPerColumn");
        QTest::addColumn<graph::Direction>("direction");
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<int>("column");
        QTest::newRow("Journée, left to right") << 300 << Direction::LeftToRight << QByteArray("14:05:00") << 47;
        QTest::newRow("Semaine, left to right") << 1800 << Direction::LeftToRight << QByteArray("14:05:00") << 7;
        QTest::newRow("Journée, right to left") << 300 << Direction::RightToLeft << QByteArray("14:05:00") << 600 - 47;
        QTest::newRow("Semaine, right to left") << 1800 << Direction::RightToLeft << QByteArray("14:05:00") << 600 - 7;
        QTest::newRow("Mois: 47 div 24") << 7200 << Direction::LeftToRight << QByteArray("14:05:00") << 1;
        QTest::newRow("Année: same day") << 86400 << Direction::LeftToRight << QByteArray("14:05:00") << 0;
        QTest::newRow("later than now, left to right") << 300 << Direction::LeftToRight << QByteArray("19:30:00") << 0;
        QTest::newRow("later than now, right to left")
            << 300 << Direction::RightToLeft << QByteArray("23:59:59") << 600;
        QTest::newRow("2.5 units ties to even") << 300 << Direction::LeftToRight << QByteArray("17:47:30") << 2;
        QTest::newRow("3.5 units ties to even") << 300 << Direction::LeftToRight << QByteArray("17:42:30") << 4;
    }
    void columnOfSample()
    {
        QFETCH(int, secondsPerColumn);
        QFETCH(graph::Direction, direction);
        QFETCH(QByteArray, time);
        QFETCH(int, column);
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, time + "1000U10\r\n");
        HistoryLoader loader;
        const auto result = loader.load(Request(dir.path(), secondsPerColumn, direction));
        QVERIFY(result);
        QCOMPARE(Filled(loader.columns()), (QList<QPair<int, float>>{{column, 1000.0f}}));
        QCOMPARE(loader.columns()[column].sumOut, 10.0f);
        QCOMPARE(loader.columns()[column].peakIn, 1000.0f);
    }

    void sampleOfTheDayBefore()
    {
        // Yesterday 18:00 is exactly one day (288 units) back; in "Semaine" 48 columns.
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay - 1, Line("18:00:00", 5, 6));
        HistoryLoader loader;
        QVERIFY(loader.load(Request(dir.path(), 300, Direction::LeftToRight)));
        QCOMPARE(Filled(loader.columns()), (QList<QPair<int, float>>{{288, 5.0f}}));
        QVERIFY(loader.load(Request(dir.path(), 1800, Direction::LeftToRight)));
        QCOMPARE(Filled(loader.columns()), (QList<QPair<int, float>>{{48, 5.0f}}));
    }

    // Two samples of one 30-minute column, the current one (column 1 left to right, W − 1 right to left).
    void statisticsOfOneColumn_data()
    {
        QTest::addColumn<graph::Direction>("direction");
        QTest::addColumn<int>("column");
        QTest::newRow("left to right") << Direction::LeftToRight << 1;
        QTest::newRow("right to left") << Direction::RightToLeft << 599;
    }
    void statisticsOfOneColumn()
    {
        QFETCH(graph::Direction, direction);
        QFETCH(int, column);
        QTemporaryDir dir;
        // 50 and 40 minutes back: 10 and 8 units, both 1 column of 6 units.
        WriteDay(dir.path(), kSelectedDay, Line("17:10:00", 1000, 10) + Line("17:20:00", 3000, 20));
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), 1800, direction);
        request.scale = 2;
        const auto result = loader.load(request);
        QVERIFY(result);
        const Column& c = loader.columns()[column];
        QCOMPARE(c.sumIn, 4000.0f);
        QCOMPARE(c.peakIn, 3000.0f);
        QCOMPARE(c.sumOut, 30.0f);
        QCOMPARE(c.peakOut, 20.0f);
        QCOMPARE(result->maxIn, 3000);
        QCOMPARE(result->maxOut, 20);
        QCOMPARE(result->unit.suffix, QStringLiteral(" B"));
        // 4000 / 1800 = 2.222 B/s, 111 % of 2; 30 / 1800 = 0.0166; 3000 / 300 = 10; 20 / 300 = 0.0666.
        QCOMPARE(result->statistics[ActualIn].text, QStringLiteral("2,22 B/s (111%)"));
        QCOMPARE(result->statistics[ActualOut].text, QStringLiteral("0,01 B/s (0%)"));
        QCOMPARE(result->statistics[MaxIn].text, QStringLiteral("10 B/s (500%)"));
        QCOMPARE(result->statistics[MaxOut].text, QStringLiteral("0,06 B/s (3%)"));
        // 4000 / 600 / 1800 = 0.0037 B/s.
        QCOMPARE(result->statistics[MeanIn].text, QStringLiteral("0 B/s (0%)"));
        QCOMPARE(result->statistics[MeanOut].text, QStringLiteral("0 B/s (0%)"));
        QCOMPARE(result->pixelsPerRate, 100.0f);
    }

    void statisticsFormulas()
    {
        // The worked figure: 300000 bytes in the current column, S = 300, M = 8, V = 65536, unit K.
        ColumnBuffer columns{};
        columns[1].sumIn = 300000;
        for (int c = 1; c < 100; ++c)
            columns[c].sumOut = 3072; // 99 columns of 10.24 B/s
        StatisticsInput in;
        in.width = 100;
        in.secondsPerColumn = 300;
        in.bitsMultiplier = 8;
        in.scale = 65536;
        in.unitDivisor = 1024;
        in.unitSuffix = QStringLiteral(" K");
        in.maxIn = 600000; // 2000 B/s
        const Statistics s = ComputeStatistics(columns, in);
        QCOMPARE(s[ActualIn].text, QStringLiteral("7,81 K/s (1%)"));
        // 2000 × 8 / 1024 = 15.625 → 15.62; 2000 / 65536 → 3 %.
        QCOMPARE(s[MaxIn].text, QStringLiteral("15,62 K/s (3%)"));
        // Columns 1 to 99 summed, divided by W = 100: 99 × 3072 / 100 / 300 = 10.1376 B/s × 8 / 1024.
        QCOMPARE(s[MeanOut].text, QStringLiteral("0,07 K/s (0%)"));
        // The mean in: 300000 / 100 / 300 = 10 B/s × 8 / 1024 = 0.078.
        QCOMPARE(s[MeanIn].text, QStringLiteral("0,07 K/s (0%)"));
    }

    void automaticScaleAndUnit()
    {
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, Line("10:00:00", 3000000, 600) + Line("11:00:00", 1, 1));
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), 300, Direction::LeftToRight);
        request.automaticScale = true;
        request.bitsMultiplier = 8;
        auto result = loader.load(request);
        QVERIFY(result);
        QCOMPARE(result->automaticMax, 10000);
        QCOMPARE(result->scale, 10000);
        QCOMPARE(result->unit.suffix, QStringLiteral(" K")); // 80000 > 1024
        QCOMPARE(result->unit.divisor, 1024.0f);

        // The unit never goes back: scale 500, M = 1, largest sample 150000 → 500 B/s = 0.48 K/s.
        QTemporaryDir second;
        WriteDay(second.path(), kSelectedDay, Line("10:00:00", 150000, 1));
        request = Request(second.path(), 300, Direction::LeftToRight);
        request.scale = 500;
        result = loader.load(request);
        QVERIFY(result);
        QCOMPARE(result->unit.suffix, QStringLiteral(" K"));
        QCOMPARE(result->statistics[MaxIn].text, QStringLiteral("0,48 K/s (100%)"));

        // Above 1048576 the unit becomes M.
        request.scale = 1048577;
        result = loader.load(request);
        QCOMPARE(result->unit.suffix, QStringLiteral(" M"));
        QCOMPARE(result->unit.divisor, 1048576.0f);
    }

    void automaticScaleOfNothingIsOne()
    {
        QTemporaryDir dir;
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), 300, Direction::LeftToRight);
        request.automaticScale = true;
        const auto result = loader.load(request);
        QCOMPARE(result->scale, 1);
        QVERIFY(result->daysRead.isEmpty());
        QCOMPARE(result->unit.suffix, QStringLiteral(" B"));
        for (const StatisticValue& v : result->statistics)
            QCOMPARE(v.text, QStringLiteral("0 B/s (0%)"));
    }

    void openingCheckFailedReadsNothing()
    {
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, Line("10:00:00", 5, 5));
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), 300, Direction::LeftToRight);
        request.readDayFiles = false;
        const auto result = loader.load(request);
        QVERIFY(result->daysRead.isEmpty());
        QVERIFY(Filled(loader.columns()).isEmpty());
    }

    // "Journée" with W = 600: the day three days back ends (2 + time fraction) × 288 columns back.
    void walkLimit_data()
    {
        QTest::addColumn<int>("secondsPerColumn");
        QTest::addColumn<int>("width");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QList<int>>("missing");
        QTest::addColumn<QList<int>>("read");
        const int d = kSelectedDay;
        QTest::newRow("Journée at 01:59 reads 4 days")
            << 300 << 600 << QTime(1, 59) << QList<int>{} << QList<int>{d, d - 1, d - 2, d - 3};
        QTest::newRow("Journée at 02:00 reads 3 days")
            << 300 << 600 << QTime(2, 0) << QList<int>{} << QList<int>{d, d - 1, d - 2};
        QTest::newRow("missing days skipped")
            << 300 << 600 << QTime(1, 0) << QList<int>{d, d - 2} << QList<int>{d - 1, d - 3};
        QTest::newRow("Semaine 600 columns: 12.5 days")
            << 1800 << 600 << QTime(12, 0) << QList<int>{}
            << QList<int>{d, d - 1, d - 2, d - 3, d - 4, d - 5, d - 6, d - 7, d - 8, d - 9, d - 10, d - 11, d - 12};
        QTest::newRow("Année 3 columns") << 86400 << 3 << QTime(12, 0) << QList<int>{d - 1}
                                         << QList<int>{d, d - 2, d - 3};
    }
    void walkLimit()
    {
        QFETCH(int, secondsPerColumn);
        QFETCH(int, width);
        QFETCH(QTime, now);
        QFETCH(QList<int>, missing);
        QFETCH(QList<int>, read);
        QTemporaryDir dir;
        // Twenty days of files before the selected date, and one after it that is never read.
        for (int day = kSelectedDay - 20; day <= kSelectedDay + 1; ++day)
            if (!missing.contains(day))
                WriteDay(dir.path(), day, Line("00:30:00", 1, 1));
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), secondsPerColumn, Direction::LeftToRight, now);
        request.width = width;
        int calls = 0;
        const auto result = loader.load(request, [&](int) { ++calls; });
        QCOMPARE(result->daysRead, read);
        QCOMPARE(calls, read.size());
    }

    void progressPerDayFile()
    {
        QTemporaryDir dir;
        for (int day = kSelectedDay - 2; day <= kSelectedDay; ++day)
            WriteDay(dir.path(), day, Line("12:00:00", 1, 1));
        HistoryLoader loader;
        QList<int> percents;
        loader.load(Request(dir.path(), 300, Direction::LeftToRight), [&](int p) { percents.append(p); });
        // round(100 × 0.75 × 288) div 600 = 36, then 1.75 → 84, then 2.75 → 132, clamped to 100.
        QCOMPARE(percents, (QList<int>{36, 84, 100}));
    }

    void outOfRangeColumnsNotStored_data()
    {
        QTest::addColumn<graph::Direction>("direction");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("column");
        // Two days and 18 hours back: 792 units. Right to left: 600 − 792 < 0.
        QTest::newRow("right to left, negative column") << Direction::RightToLeft << 600 << -1;
        // Left to right with W = 1000: column 792 + 288 = 1080 for a sample three days back.
        QTest::newRow("left to right, beyond the buffer") << Direction::LeftToRight << 1000 << -1;
    }
    void outOfRangeColumnsNotStored()
    {
        QFETCH(graph::Direction, direction);
        QFETCH(int, width);
        QTemporaryDir dir;
        const int oldest = direction == Direction::RightToLeft ? kSelectedDay - 2 : kSelectedDay - 3;
        WriteDay(dir.path(), oldest, Line("00:00:00", 7000, 9));
        HistoryLoader loader;
        LoadRequest request = Request(dir.path(), 300, direction);
        request.width = width;
        const auto result = loader.load(request);
        QCOMPARE(result->daysRead, QList<int>{oldest});
        QVERIFY(Filled(loader.columns()).isEmpty());
        // Every sample read still counts for the maxima.
        QCOMPARE(result->maxIn, 7000);
        QCOMPARE(result->automaticMax, 23);
    }

    void badDayFiles()
    {
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, QByteArray());                   // empty
        WriteDay(dir.path(), kSelectedDay - 1, QByteArray("12:00:0055U5")); // no complete line
        WriteDay(dir.path(), kSelectedDay - 2,
                 Line("12:00:00", 11, 1) + "\x01\xff#garbage\r\n" + "25:00:001U1\r\n" + Line("13:00:00", 22, 2) +
                     "13:30:0099U9");
        HistoryLoader loader;
        const auto result = loader.load(Request(dir.path(), 300, Direction::LeftToRight));
        QVERIFY(result);
        QCOMPARE(result->daysRead, (QList<int>{kSelectedDay, kSelectedDay - 1, kSelectedDay - 2}));
        QCOMPARE(result->skippedFiles, 2);
        QCOMPARE(result->skippedLines, 2);
        // 12:00 two days back from 18:00 = 2.25 days = 648 units; 13:00 → 636. The torn 13:30 line is not read.
        QCOMPARE(Filled(loader.columns()), (QList<QPair<int, float>>{{636, 22.0f}, {648, 11.0f}}));
        QCOMPARE(result->maxIn, 22);
    }

    // Line ends as a damaged file or another editor leaves them: every complete line is read.
    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("12:00:00100U7\r\n13:00:002000U30\r\n14:00:00345U67\r\n15:00:0050U5\r\n");
        QTest::newRow("lone LF and lone CR")
            << QByteArray("12:00:00100U7\n13:00:002000U30\r14:00:00345U67\n15:00:0050U5\r");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, bytes);
        HistoryLoader loader;
        const auto result = loader.load(Request(dir.path(), 300, Direction::LeftToRight));
        QVERIFY(result);
        // Back from 18:00: 12:00 is column 72, 13:00 column 60, 14:00 column 48, 15:00 column 36.
        QCOMPARE(Filled(loader.columns()),
                 (QList<QPair<int, float>>{{36, 50.0f}, {48, 345.0f}, {60, 2000.0f}, {72, 100.0f}}));
        QCOMPARE(result->skippedLines, 0);
        QCOMPARE(result->skippedFiles, 0);
    }

    // The largest day file read: the limit of 1 MiB, filled with 13-byte lines (80659 of them).
    void dayFileUpToTheLimit()
    {
        QTemporaryDir dir;
        const QByteArray line = Line("12:00:00", 1, 2);
        const int count = 1024 * 1024 / line.size();
        QCOMPARE(count, 80659);
        WriteDay(dir.path(), kSelectedDay, line.repeated(count));
        HistoryLoader loader;
        const auto result = loader.load(Request(dir.path(), 300, Direction::LeftToRight));
        QVERIFY(result);
        QVERIFY(result->ignoredFiles.isEmpty());
        // Six hours back: column 72.
        QCOMPARE(loader.columns()[72].sumIn, float(count));
        QCOMPARE(loader.columns()[72].sumOut, float(2 * count));
    }

    void secondLoadDuringALoadIsRefused()
    {
        QTemporaryDir dir;
        WriteDay(dir.path(), kSelectedDay, Line("10:00:00", 5, 5));
        HistoryLoader loader;
        bool inner = true;
        const auto result = loader.load(Request(dir.path(), 300, Direction::LeftToRight), [&](int) {
            QVERIFY(loader.loading());
            inner = loader.load(Request(dir.path(), 300, Direction::LeftToRight)).has_value();
        });
        QVERIFY(result);
        QVERIFY(!inner);
        QVERIFY(!loader.loading());
        QCOMPARE(loader.columns()[96].sumIn, 5.0f);
    }

    void busyMarker()
    {
        BusyMarker marker;
        int exits = 0;
        QVERIFY(marker.idle());
        {
            DrawScope draw(marker, [&] { ++exits; });
            QVERIFY(draw.acquired());
            QVERIFY(!marker.idle());
            DrawScope second(marker, [&] { ++exits; });
            QVERIFY(!second.acquired());
        }
        QVERIFY(marker.idle());
        QCOMPARE(exits, 1);
    }

    void periodsAndDirections()
    {
        QCOMPARE(PeriodText(Period::Day), QStringLiteral("Journée"));
        QCOMPARE(PeriodText(Period::Year), QStringLiteral("Année"));
        QCOMPARE(SecondsPerColumn(Period::Week), 1800);
        QCOMPARE(SecondsPerColumn(Period::Month), 7200);
        const DirectionParams ltr = DirectionParamsFor(Direction::LeftToRight, 600);
        QCOMPARE((QList<int>{ltr.x0, ltr.s0, ltr.sigma}), (QList<int>{600, 1, 1}));
        const DirectionParams rtl = DirectionParamsFor(Direction::RightToLeft, 600);
        QCOMPARE((QList<int>{rtl.x0, rtl.s0, rtl.sigma}), (QList<int>{0, 2, -1}));
    }
};

QTEST_GUILESS_MAIN(TestHistoryLoader)
#include "tst_historyloader.moc"
