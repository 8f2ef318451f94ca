// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Colour.h"
#include "graph/GraphRender.h"
#include "graph/StatisticsLayout.h"

#include <QFontMetrics>
#include <QLocale>
#include <QTest>

#include <cmath>

using namespace graph;

Q_DECLARE_METATYPE(graph::Direction)

namespace
{
constexpr int kDx = kPlotDx;

AxesInput Axes(Period period, Direction direction, QDate date, QTime now, int width = 600)
{
    AxesInput in;
    in.period = period;
    in.date = date;
    in.timeOfDay = now;
    in.width = width;
    in.height = 200;
    in.direction = DirectionParamsFor(direction, width);
    in.scale = 65536;
    in.pixelsPerRate = 200.0f / 65536.0f;
    return in;
}

QList<int> Xs(const QList<TimeTick>& ticks)
{
    QList<int> xs;
    for (const TimeTick& t : ticks)
        xs.append(t.x);
    return xs;
}

int HalfWidth(const QString& text)
{
    return QFontMetrics(AxesFont()).horizontalAdvance(text) / 2;
}

QRgb Argb(uint32_t bgr)
{
    return BgrToArgb(bgr);
}

const SeriesColours kColours;

QStringList Names(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* name : names)
        list.append(QString::fromLatin1(name));
    return list;
}
} // namespace

class TestGraphRender final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    // 14:37 rounds to 35: the first tick, the start of 14:00, is 7 + 2 columns from the reference edge.
    void dayAxis_data()
    {
        QTest::addColumn<graph::Direction>("direction");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("step");
        QTest::newRow("left to right") << Direction::LeftToRight << kDx + 9 << 12;
        QTest::newRow("right to left") << Direction::RightToLeft << kDx + 600 - 9 << -12;
    }
    void dayAxis()
    {
        QFETCH(graph::Direction, direction);
        QFETCH(int, first);
        QFETCH(int, step);
        const QList<TimeTick> ticks = TimeAxisTicks(Axes(Period::Day, direction, QDate(2004, 6, 15), QTime(14, 37)));
        // 9 + 12 n < 600 for n = 0 to 49.
        QCOMPARE(ticks.size(), 50);
        for (int n = 0; n < ticks.size(); ++n)
        {
            const TimeTick& t = ticks[n];
            const int hour = ((14 - n) % 24 + 24) % 24;
            QCOMPARE(t.x, first + n * step);
            QCOMPARE(t.boundary, hour == 0);
            QCOMPARE(t.labelShown, hour % 2 == 0);
            if (t.labelShown)
            {
                QCOMPARE(t.label, QString::number(hour));
                QCOMPARE(t.labelX, t.x - HalfWidth(t.label));
            }
        }
        QCOMPARE(ticks[0].label, QStringLiteral("14"));
        QVERIFY(ticks[14].boundary); // 00:00
        QVERIFY(ticks[38].boundary); // 00:00 the day before
    }

    void roundedMinute_data()
    {
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("first");
        QTest::newRow("37 gives 35") << 37 << kDx + 9;
        QTest::newRow("35 gives 30") << 35 << kDx + 8;
        QTest::newRow("9 gives 5") << 9 << kDx + 3;
        QTest::newRow("0 gives 0") << 0 << kDx + 2;
    }
    void roundedMinute()
    {
        QFETCH(int, minute);
        const auto ticks =
            TimeAxisTicks(Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(10, minute)));
        QTEST(ticks.first().x, "first");
    }

    void weekAxisOnAWednesday()
    {
        // 16 June 2004 is a Wednesday; at 20:00 the start of the day is 40 + 2 columns back.
        const QList<TimeTick> ticks =
            TimeAxisTicks(Axes(Period::Week, Direction::LeftToRight, QDate(2004, 6, 16), QTime(20, 0)));
        const QStringList names =
            Names({"Wed", "Tue", "Mon", "Sun", "Sat", "Fri", "Thu", "Wed", "Tue", "Mon", "Sun", "Sat"});
        // 42 + 48 n < 602 for n = 0 to 11.
        QCOMPARE(ticks.size(), names.size());
        for (int n = 0; n < ticks.size(); ++n)
        {
            QCOMPARE(ticks[n].x, kDx + 42 + 48 * n);
            QCOMPARE(ticks[n].label, names[n]);
            QCOMPARE(ticks[n].boundary, names[n] == QLatin1String("Mon"));
            QCOMPARE(ticks[n].labelX, ticks[n].x - 24 - HalfWidth(names[n]));
            QCOMPARE(ticks[n].labelShown, kDx < ticks[n].labelX && ticks[n].labelX < kDx + 600);
        }
        QVERIFY(ticks[0].labelShown);

        // Right to left the labels lie right of their ticks.
        const QList<TimeTick> rtl =
            TimeAxisTicks(Axes(Period::Week, Direction::RightToLeft, QDate(2004, 6, 16), QTime(20, 0)));
        QCOMPARE(rtl[0].x, kDx + 600 - 42);
        QCOMPARE(rtl[1].x, kDx + 600 - 90);
        QCOMPARE(rtl[0].labelX, rtl[0].x + 24 - HalfWidth(QStringLiteral("Wed")));
    }

    void monthAxis()
    {
        // Wednesday (day 4 from Sunday) at 14:37: 7 + 36 + 2 = 45 columns to the start of Sunday.
        const QList<TimeTick> ticks =
            TimeAxisTicks(Axes(Period::Month, Direction::LeftToRight, QDate(2004, 6, 16), QTime(14, 37)));
        QCOMPARE(Xs(ticks), (QList<int>{kDx + 45, kDx + 129, kDx + 213, kDx + 297, kDx + 381, kDx + 465, kDx + 549}));
        for (const TimeTick& t : ticks)
            QVERIFY(!t.labelShown && !t.boundary);
    }

    void yearAxis_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("gaps");
        QTest::newRow("from 8 December 2004")
            << QDate(2004, 12, 8)
            << Names({"Dec", "Nov", "Oct", "Sep", "Aug", "Jul", "Jun", "May", "Apr", "Mar", "Feb", "Jan", "Dec"})
            << QList<int>{30, 31, 30, 31, 31, 30, 31, 30, 31, 29, 31, 31};
        QTest::newRow("February 2028 has 29 days")
            << QDate(2028, 3, 8) << Names({"Mar", "Feb", "Jan", "Dec"}) << QList<int>{29, 31, 31};
        QTest::newRow("February 2100 has 28 days")
            << QDate(2100, 3, 8) << Names({"Mar", "Feb", "Jan", "Dec"}) << QList<int>{28, 31, 31};
    }
    void yearAxis()
    {
        QFETCH(QDate, date);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, gaps);
        const QList<TimeTick> ticks = TimeAxisTicks(Axes(Period::Year, Direction::LeftToRight, date, QTime(12, 0)));
        QVERIFY(ticks.size() >= names.size());
        QCOMPARE(ticks[0].x, kDx + 8);
        for (int n = 0; n < names.size(); ++n)
        {
            QCOMPARE(ticks[n].label, names[n]);
            QCOMPARE(ticks[n].boundary, names[n] == QLatin1String("Jan"));
            if (n < gaps.size())
                QCOMPARE(ticks[n + 1].x - ticks[n].x, gaps[n]);
        }
    }

    void yearAxisLabelsOnTheNewerSide()
    {
        const QDate date(2004, 12, 8);
        const QString nov = QStringLiteral("Nov");
        const auto ltr = TimeAxisTicks(Axes(Period::Year, Direction::LeftToRight, date, QTime(12, 0)));
        // November: n = 30, so 15 + 15 left of the tick, then half the text width to the right.
        QCOMPARE(ltr[1].labelX, ltr[1].x - 30 + HalfWidth(nov));
        QVERIFY(ltr[1].labelShown);
        const auto rtl = TimeAxisTicks(Axes(Period::Year, Direction::RightToLeft, date, QTime(12, 0)));
        QCOMPARE(rtl[0].x, kDx + 600 - 8);
        QCOMPARE(rtl[1].x, kDx + 600 - 38);
        QCOMPARE(rtl[1].labelX, rtl[1].x + HalfWidth(nov));
    }

    void valueAxis()
    {
        // V = 65536, G = 8, H = 200: a line every 25 rows; M = 8 in K: 512 K down to 64 K.
        AxesInput in = Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(14, 37));
        in.bitsMultiplier = 8;
        in.unit.update(65536, 8);
        const ValueAxis axis = ValueAxisLayout(in);
        QCOMPARE(axis.gridStep, 25.0f);
        QCOMPARE(axis.lines.size(), 8);
        const QStringList labels = Names({"512 K", "448 K", "384 K", "320 K", "256 K", "192 K", "128 K", "64 K"});
        const int h = QFontMetrics(AxesFont()).height();
        for (int i = 0; i < 8; ++i)
        {
            QCOMPARE(axis.lines[i].y, kPlotDy + 25 * i);
            QCOMPARE(axis.lines[i].label, labels[i]);
            QCOMPARE(axis.lines[i].labelX, kDx - QFontMetrics(AxesFont()).horizontalAdvance(labels[i]) - 10);
            QCOMPARE(axis.lines[i].labelY, kPlotDy + 25 * i - h / 2);
        }
        QCOMPARE(axis.bottom.label, QStringLiteral("0 K"));
        QCOMPARE(axis.bottom.labelY, 200 + kPlotDy - h / 2);
        QCOMPARE(axis.bottomTickY, 200 + kPlotDy - 1);
    }

    void valueLabelsWithTenths()
    {
        // 1000 B/s in K: 0.976 → 0.9; a fifth of it (0.195) → 0.1 below.
        AxesInput in = Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(14, 37));
        in.scale = 1000;
        in.graduations = 5;
        in.pixelsPerRate = 0.2f;
        in.unit.update(2048, 1);
        const ValueAxis axis = ValueAxisLayout(in);
        QCOMPARE(axis.lines[0].label, QStringLiteral("0,9 K"));
        QCOMPARE(axis.lines[1].label, QStringLiteral("0,8 K"));
        QCOMPARE(axis.gridStep, 40.0f);
    }

    // Which lines carry a label: one in L = text height div (H div G).
    void labelSpacing_data()
    {
        QTest::addColumn<int>("graduations");
        QTest::addColumn<int>("scale");
        QTest::newRow("G = 8") << 8 << 65536;
        QTest::newRow("G = 40") << 40 << 65536;
        QTest::newRow("G = 100") << 100 << 65536;
        QTest::newRow("G above H labels every line") << 300 << 65536;
        QTest::newRow("G above V: every line at the top") << 8 << 4;
    }
    void labelSpacing()
    {
        QFETCH(int, graduations);
        QFETCH(int, scale);
        AxesInput in = Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(14, 37));
        in.graduations = graduations;
        in.scale = scale;
        in.pixelsPerRate = 200.0f / float(scale);
        const ValueAxis axis = ValueAxisLayout(in);
        const int rows = 200 / graduations;
        const int spacing = rows > 0 ? QFontMetrics(AxesFont()).height() / rows : 0;
        QCOMPARE(axis.spacing, spacing);
        QCOMPARE(axis.lines.size(), graduations);
        for (int i = 0; i < graduations; ++i)
        {
            const bool labelled = spacing <= 1 || (i + 1) % spacing == 0;
            QCOMPARE(axis.lines[i].labelShown, labelled);
            if (scale < graduations)
                QCOMPARE(axis.lines[i].y, kPlotDy);
        }
        if (graduations == 40 && spacing == 2)
            QVERIFY(!axis.lines[0].labelShown && axis.lines[1].labelShown && axis.lines[3].labelShown);
    }

    void axesPixels()
    {
        AxesInput in = Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(14, 37));
        const QImage axes = RenderAxes(in, QSize(700, 235));
        QCOMPARE(axes.size(), QSize(700, 235));
        const int midnight = kDx + 9 + 14 * 12;
        const int base = kPlotDy + 200;
        // The midnight tick is red over the whole height (the grid lines, drawn later, cross it); other
        // ticks are dotted.
        for (int y = kPlotDy + 1; y < base; ++y)
            if ((y - kPlotDy) % 25 != 0)
                QCOMPARE(axes.pixel(midnight, y), Argb(kBoundaryBgr));
        const int oneOClock = midnight - 12;
        int black = 0;
        int clear = 0;
        for (int y = kPlotDy + 1; y < base - 2; ++y)
        {
            const QRgb p = axes.pixel(oneOClock, y);
            black += p == qRgb(0, 0, 0);
            clear += qAlpha(p) == 0;
        }
        QVERIFY(black > 0 && clear > 0);
        // The solid tick mark below the plot.
        QCOMPARE(axes.pixel(oneOClock, base + 1), qRgb(0, 0, 0));
        // Away from ticks, grid and labels the layer lets the plot show through.
        QCOMPARE(qAlpha(axes.pixel(kDx + 300, kPlotDy + 13)), 0);
        // Value axis tick marks at the grid lines.
        QCOMPARE(axes.pixel(kDx + 2, kPlotDy + 25), qRgb(0, 0, 0));
        QCOMPARE(axes.pixel(kDx + 2, kPlotDy + 199), qRgb(0, 0, 0));
    }

    // At a device pixel ratio of 2 or 1.5 every line covers the device pixels of the same logical
    // pixels as at 1x, and the labels are drawn at the finer resolution rather than magnified.
    void axesAtAHigherPixelRatio_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::newRow("2x") << 2.0;
        QTest::newRow("1.5x") << 1.5;
    }
    void axesAtAHigherPixelRatio()
    {
        QFETCH(double, ratio);
        AxesInput in = Axes(Period::Day, Direction::LeftToRight, QDate(2004, 6, 15), QTime(14, 37));
        const QImage one = RenderAxes(in, QSize(700, 235));
        const QImage sharp = RenderAxes(in, QSize(700, 235), ratio);
        QCOMPARE(sharp.size(), QSize(qRound(700 * ratio), qRound(235 * ratio)));
        QCOMPARE(sharp.devicePixelRatio(), ratio);
        const auto device = [ratio](int v) { return static_cast<int>(std::floor(v * ratio)); };
        // Ticks and grid: away from the labels (left of kDx and below the plot), each logical pixel's
        // block holds the 1x pixel.
        for (int y = kPlotDy; y < kPlotDy + 200; ++y)
            for (int x = kDx + 1; x < 700; x += 7)
                QCOMPARE(sharp.pixel(device(x), device(y)), one.pixel(x, y));
        // Labels: some logical pixel's block is not one colour, which a magnified 1x label never has.
        bool finer = false;
        for (int y = kPlotDy + 202; y + 1 < 235 && !finer; ++y)
            for (int x = kDx; x + 1 < 700 && !finer; ++x)
            {
                const QRgb first = sharp.pixel(device(x), device(y));
                for (int dy = device(y); dy < device(y + 1); ++dy)
                    for (int dx = device(x); dx < device(x + 1); ++dx)
                        finer = finer || sharp.pixel(dx, dy) != first;
            }
        QVERIFY(finer);
    }

    // A small plot: W = 20, H = 20, scale 20 B/s so one pixel per byte per second.
    void seriesPixels_data()
    {
        QTest::addColumn<graph::Direction>("direction");
        QTest::addColumn<bool>("peaks");
        QTest::newRow("left to right") << Direction::LeftToRight << false;
        QTest::newRow("left to right with peaks") << Direction::LeftToRight << true;
        QTest::newRow("right to left with peaks") << Direction::RightToLeft << true;
    }
    void seriesPixels()
    {
        QFETCH(graph::Direction, direction);
        QFETCH(bool, peaks);
        ColumnBuffer columns{};
        columns[3].sumIn = 1500;   // 5 B/s → top at row 15, bar on rows 16 to 18
        columns[3].peakIn = 3000;  // 10 B/s → peak from row 11
        columns[5].sumOut = 900;   // 3 B/s → line on rows 17 and 18
        columns[8].sumIn = 300e6f; // far above the scale: the whole height
        PlotInput in;
        in.columns = &columns;
        in.width = 20;
        in.height = 20;
        in.secondsPerColumn = 300;
        in.direction = DirectionParamsFor(direction, 20);
        in.pixelsPerRate = 1;
        in.drawPeaks = peaks;
        const QImage plot = RenderPlot(in);
        const QRgb background = Argb(kBackgroundBgr);
        const QRgb black = qRgb(0, 0, 0);
        const int sigma = in.direction.sigma;

        const int bar = 3 + sigma;
        QCOMPARE(plot.pixel(bar, 15), peaks ? Argb(kColours.receivePeak) : background);
        for (int y = 16; y <= 18; ++y)
            QCOMPARE(plot.pixel(bar, y), Argb(kColours.receive));
        QCOMPARE(plot.pixel(bar, 19), black); // the frame's bottom
        QCOMPARE(plot.pixel(bar, 11), peaks ? Argb(kColours.receivePeak) : background);
        QCOMPARE(plot.pixel(bar, 10), background);

        const int line = 5 + sigma;
        QCOMPARE(plot.pixel(line, 17), Argb(kColours.send));
        QCOMPARE(plot.pixel(line, 18), Argb(kColours.send));
        QCOMPARE(plot.pixel(line, 16), background);

        const int high = 8 + sigma;
        QCOMPARE(plot.pixel(high, 0), black); // the frame's top
        QCOMPARE(plot.pixel(high, 1), Argb(kColours.receive));

        // Frame from x = 1 to W − 1; column 0 stays background.
        QCOMPARE(plot.pixel(0, 10), background);
        QCOMPARE(plot.pixel(1, 10), black);
        QCOMPARE(plot.pixel(19, 10), black);
        QCOMPARE(plot.pixel(10, 10), background);
    }

    void oddInputs()
    {
        // No date: no week, month or year axis, and no endless walk over months of 0 days.
        QVERIFY(TimeAxisTicks(Axes(Period::Year, Direction::LeftToRight, QDate(), QTime(12, 0))).isEmpty());
        QVERIFY(!TimeAxisTicks(Axes(Period::Day, Direction::LeftToRight, QDate(), QTime(12, 0))).isEmpty());
        // A plot image of another format is drawn on all the same.
        ColumnBuffer columns{};
        columns[3].sumIn = 3000;
        PlotInput in;
        in.columns = &columns;
        in.width = 8;
        in.height = 8;
        in.direction = DirectionParamsFor(Direction::LeftToRight, 8);
        in.pixelsPerRate = 1;
        QImage small(8, 8, QImage::Format_Indexed8);
        small.setColorCount(1);
        small.fill(0);
        DrawSeries(small, in);
        QCOMPARE(small.pixel(4, 7), Argb(kColours.receive));
    }

    void peaksNeverInADayGraph()
    {
        QVERIFY(!DrawsPeaks(Period::Day, true));
        QVERIFY(DrawsPeaks(Period::Week, true));
        QVERIFY(!DrawsPeaks(Period::Year, false));
    }

    void drawGraphLayers()
    {
        ColumnBuffer columns{};
        columns[10].sumIn = 300 * 100; // full scale
        columns[10].peakIn = 300 * 100;
        LoadRequest request;
        request.date = QDate(2004, 6, 15);
        request.timeOfDay = QTime(14, 37);
        request.width = 600;
        request.height = 200;
        LoadResult result;
        result.scale = 100;
        result.pixelsPerRate = 2;
        result.direction = DirectionParamsFor(Direction::LeftToRight, 600);
        GraphOptions options;
        options.period = Period::Day;
        const GraphLayers layers = DrawGraph(columns, request, result, options);
        QCOMPARE(layers.plot.size(), QSize(600, 200));
        QCOMPARE(layers.axes.size(), QSize(700, 235));
        QVERIFY(layers.screenAxes.isNull());
        QCOMPARE(layers.plot.pixel(11, 1), Argb(kColours.receive));
        options.devicePixelRatio = 2;
        const GraphLayers sharp = DrawGraph(columns, request, result, options);
        QCOMPARE(sharp.axes.size(), QSize(700, 235));
        QCOMPARE(sharp.screenAxes.size(), QSize(1400, 470));
        options.devicePixelRatio = 1;
        // The peak line, hidden under the bar here, shows where the bar leaves room for it.
        options.period = Period::Week;
        columns[10].sumIn = 300 * 50;
        const GraphLayers week = DrawGraph(columns, request, result, options);
        QCOMPARE(week.plot.pixel(11, 50), Argb(kColours.receivePeak));
        QCOMPARE(week.plot.pixel(11, 150), Argb(kColours.receive));
    }

    void resizeLayout_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QRect>("shape");
        QTest::addColumn<QRect>("plot");
        QTest::addColumn<QString>("text");
        QTest::newRow("design size: 600 x 200 inside 700 x 235")
            << QSize(716, 355) << QRect(8, 120, 700, 235) << QRect(98, 132, 600, 200) << QStringLiteral("700x235");
        QTest::newRow("widest window: W = 1006")
            << QSize(1122, 400) << QRect(8, 120, 1106, 280) << QRect(98, 132, 1006, 245) << QStringLiteral("1106x280");
    }
    void resizeLayout()
    {
        QFETCH(QSize, client);
        const DrawingAreaLayout layout = LayoutDrawingArea(client);
        QTEST(layout.shape, "shape");
        QTEST(layout.plot, "plot");
        QTEST(layout.sizeText, "text");
    }

    // The statistics group's rows: captions, then values; they always fit the width they are given.
    void statisticsLayout_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("minWidth");
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<bool>("fontKept");
        const auto six = [](const QString& value) { return QStringList(6, value); };
        QTest::newRow("short values: the design width, the font kept")
            << six(QStringLiteral("0 K/s (0%)")) << 169 << 224 << true;
        QTest::newRow("a rate 25 times the scale in a picture's 169 pixels")
            << six(QStringLiteral("13020,83 K/s (2543%)")) << 169 << 169 << false;
        QTest::newRow("the largest rate and percentage in 169 pixels")
            << six(QStringLiteral("57266230,61 B/s (715827882%)")) << 169 << 169 << false;
    }
    void statisticsLayout()
    {
        QFETCH(QStringList, values);
        QFETCH(int, minWidth);
        QFETCH(int, maxWidth);
        QFETCH(bool, fontKept);
        const QStringList captions{QStringLiteral("Actuel In :"),  QStringLiteral("Actuel Out :"),
                                   QStringLiteral("Max In :"),     QStringLiteral("Max Out :"),
                                   QStringLiteral("Moyenne In :"), QStringLiteral("Moyenne Out :")};
        for (const QString& family : {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans Mono")})
        {
            QFont font(family);
            font.setPointSize(8);
            const StatisticsLayout layout = LayoutStatistics(font, captions, values, minWidth, maxWidth);
            QVERIFY2(minWidth <= layout.width && layout.width <= maxWidth, qPrintable(family));
            QCOMPARE(layout.font == font, fontKept);
            const QFontMetrics metrics(layout.font);
            for (int i = 0; i < 6; ++i)
            {
                QVERIFY(kStatisticsInset + metrics.horizontalAdvance(captions[i]) + kStatisticsGap <= layout.valueLeft);
                QVERIFY2(layout.valueLeft + metrics.horizontalAdvance(values[i]) + kStatisticsInset <= layout.width,
                         qPrintable(family));
            }
        }
    }

    void eraseAndCompose()
    {
        const QImage plot = ErasedPlot(30, 10);
        QCOMPARE(plot.pixel(0, 0), Argb(0xF5F5F5));
        QCOMPARE(Argb(kBackgroundBgr), Argb(16119285));
        QImage axes = ErasedAxes(QSize(130, 30));
        QCOMPARE(qAlpha(axes.pixel(5, 5)), 0);
        axes.setPixel(kDx + 1, kPlotDy + 1, qRgb(0, 0, 0));
        QImage coloured = plot;
        coloured.setPixel(2, 3, qRgb(255, 0, 0));
        const QImage shown = ComposeGraph(coloured, axes);
        QCOMPARE(shown.size(), QSize(130, 30));
        QCOMPARE(shown.pixel(kDx + 2, kPlotDy + 3), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(kDx + 1, kPlotDy + 1), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(2, 2), Argb(kBackgroundBgr));
    }

    void scalePresets_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("editable");
        QTest::newRow("64 kbps") << 0 << QStringLiteral("64kbps (RTC, RNIS)") << 64 * 1024 / 8 << false;
        QTest::newRow("128 kbps") << 1 << QStringLiteral("128kbps (RNIS double)") << 16384 << false;
        QTest::newRow("512 kbps") << 2 << QStringLiteral("512kbps (ADSL, cable)") << 65536 << false;
        QTest::newRow("1024 kbps") << 3 << QStringLiteral("1024kbps (ADSL, cable)") << 131072 << false;
        QTest::newRow("10 mbps") << 4 << QStringLiteral("10mbps (Ethernet)") << 10 * 1024 * 1024 / 8 << false;
        QTest::newRow("100 mbps") << 5 << QStringLiteral("100mbps (Fast Ethernet)") << 100 * 1024 * 1024 / 8 << false;
        QTest::newRow("1 gbps") << 6 << QStringLiteral("1gbps (Gigabit Ethernet)") << 1024 * 1024 * 1024 / 8 << false;
        QTest::newRow("automatic") << 7 << QStringLiteral("Automatique") << 0 << false;
        QTest::newRow("manual") << 8 << QStringLiteral("Manuel") << 0 << true;
    }
    void scalePresets()
    {
        QFETCH(int, item);
        const ScalePreset& preset = ScalePresets().at(size_t(item));
        QTEST(preset.caption, "caption");
        QTEST(int(preset.scale), "scale");
        QTEST(preset.editable, "editable");
    }
};

QTEST_MAIN(TestGraphRender)
#include "tst_graphrender.moc"
