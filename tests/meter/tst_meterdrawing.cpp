// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterDrawing.h"

#include "common/Colour.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <cstdlib>

namespace
{
QFont LegendFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

// Ring whose samples, newest first, are the given ones.
HistoryRing RingOf(const std::vector<RingSample>& newestFirst)
{
    HistoryRing ring;
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it)
        ring.push(*it);
    return ring;
}

// A literal raster canvas on QPainter: line-to plots every pixel of the segment but its end point,
// the minor coordinate rounded half away from the start.
class ReferenceCanvas
{
public:
    explicit ReferenceCanvas(QPainter& p) : m_p(p) {}
    void pen(uint32_t bgr) { m_p.setPen(QColor(BgrToArgb(bgr))); }
    void moveTo(int x, int y) { m_x = x, m_y = y; }
    void lineTo(int x, int y)
    {
        const int dx = x - m_x, dy = y - m_y;
        const int n = std::max(std::abs(dx), std::abs(dy));
        for (int k = 0; k < n; ++k)
        {
            // Position along the major axis k, along the minor one k × minor ÷ n rounded.
            auto along = [&](int d) {
                const int steps = std::abs(d) == n ? k : int((2LL * k * std::abs(d) + n) / (2LL * n));
                return d > 0 ? steps : -steps;
            };
            m_p.drawPoint(m_x + along(dx), m_y + along(dy));
        }
        m_x = x, m_y = y;
    }

private:
    QPainter& m_p;
    int m_x = 0, m_y = 0;
};

// The graph drawn segment by segment, as the meter's algorithm states it.
QImage ReferenceHistory(QSize size, const HistoryRing& ring, float s, const MeterColours& c, AverageChoice average)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    ReferenceCanvas canvas(p);
    const int w = size.width(), h = size.height();
    auto y = [&](long double v) { return int(std::trunc(h - v * (long double)s)); };
    for (int i = 0; i <= w - 3; ++i)
    {
        const int x = w - 2 - i;
        const int32_t r1 = ring.at(i).received1, r2 = ring.at(i).received2;
        canvas.pen(c.intersection);
        canvas.moveTo(x, h);
        if (r1 > r2)
        {
            canvas.lineTo(x, y(r2));
            canvas.pen(c.received1);
            canvas.lineTo(x, y(r1));
        }
        else
        {
            canvas.lineTo(x, y(r1));
            canvas.pen(c.received2);
            canvas.lineTo(x, y(r2));
        }
        canvas.pen(kMeterBackground);
        canvas.lineTo(x, 0);
    }
    for (int series = 0; series < 2; ++series)
    {
        canvas.pen(series == 0 ? c.sent1 : c.sent2);
        canvas.moveTo(w - 2, h);
        for (int i = 0; i <= w - 3; ++i)
        {
            const int32_t t = series == 0 ? ring.at(i).sent1 : ring.at(i).sent2;
            canvas.lineTo(w - 2 - i, int(std::trunc(h - t * (long double)s - 1)));
            canvas.lineTo(w - 2 - i, y(t));
        }
    }
    if (average != AverageChoice::None)
    {
        long double sum = 0;
        for (int i = 0; i <= w - 3; ++i)
            sum += average == AverageChoice::Sent ? ring.at(i).sent1 : ring.at(i).received1;
        canvas.pen(0xFFFFFF - c.received1);
        const int row = y(sum / (w - 2));
        canvas.moveTo(2, row);
        canvas.lineTo(w - 1, row);
    }
    p.end();
    return image;
}
} // namespace

class TestMeterDrawing final : public QObject
{
    Q_OBJECT

    HistoryPainter m_painter;

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void legendLabels_data()
    {
        QTest::addColumn<int>("fullScale");
        QTest::addColumn<int>("gradations");
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("65536 in bits") << 65536 << 4 << 8 << 116 << 29
                                       << QStringList{QStringLiteral("512 K"), QStringLiteral("384 K"),
                                                      QStringLiteral("256 K"), QStringLiteral("128 K")};
        // 1310720 / 1048576 = 1.25 M, cut to 1.2; each line 0.3125 M lower, cut to tenths.
        QTest::newRow("10mbps preset in octets") << 1310720 << 4 << 1 << 116 << 29
                                                 << QStringList{QStringLiteral("1.2 M"), QStringLiteral("0.9 M"),
                                                                QStringLiteral("0.6 M"), QStringLiteral("0.3 M")};
        // While the user types below 1025: divisor 1 and " B".
        QTest::newRow("at most 1024 stays in B")
            << 1000 << 2 << 1 << 100 << 50 << QStringList{QStringLiteral("1000 B"), QStringLiteral("500 B")};
        QTest::newRow("no gradations") << 65536 << 0 << 8 << 116 << 0 << QStringList{};
    }
    void legendLabels()
    {
        QFETCH(int, fullScale);
        QFETCH(int, gradations);
        QFETCH(int, multiplier);
        QFETCH(int, height);
        QFETCH(int, step);
        QFETCH(QStringList, labels);
        LegendInput in{fullScale, gradations, 30, multiplier, QSize(200, height), LegendFont()};
        const Legend legend = LegendLayout(in);
        QCOMPARE(legend.step, step);
        QCOMPARE(legend.pixelScale, float(height) / float(fullScale));
        QStringList texts;
        const QFontMetrics metrics(in.font);
        for (size_t i = 0; i < legend.labels.size(); ++i)
        {
            texts << legend.labels[i].text;
            QCOMPARE(legend.labels[i].lineY, int(i) * step);
            // Right-aligned one pixel left of the graph, half a text height below its line.
            QCOMPARE(legend.labels[i].topLeft.x() + metrics.horizontalAdvance(legend.labels[i].text), kGraphLeft - 1);
            QCOMPARE(legend.labels[i].topLeft.y(), int(i) * step + metrics.height() / 2);
        }
        QCOMPARE(texts, labels);
    }

    void legendLabelsEveryFewLinesOnAShortGraph()
    {
        // 10 rows, lines 65536 div 6 × 10 / 65536 = 1.67 → 1 pixel apart; a line of text is taller
        // than the graph, so only every k-th line gets a label, k = ceil(text height / 10).
        LegendInput in{65536, 6, 30, 8, QSize(200, 10), LegendFont()};
        const int every = (QFontMetrics(in.font).height() + 9) / 10;
        QVERIFY(every > 1);
        const Legend legend = LegendLayout(in);
        QCOMPARE(legend.step, 1);
        QCOMPARE(legend.labelEvery, every);
        QCOMPARE(int(legend.labels.size()), 6 / every);
        for (size_t k = 0; k < legend.labels.size(); ++k)
            QCOMPARE(legend.labels[k].lineY, int(k + 1) * every - 1);
    }

    // At a device pixel ratio of 2 each logical pixel of the frame and gradations is a 2 x 2 block of
    // the 1x colour, and the labels are drawn at the finer resolution, not magnified.
    void legendAtTwiceTheResolution()
    {
        const int w = 200, h = 116;
        LegendInput in{65536, 4, 30, 8, QSize(w, h), LegendFont()};
        const QImage one = DrawLegend(in);
        const QImage two = DrawLegend(in, 2.0);
        QCOMPARE(two.size(), QSize(2 * (w + 64), 2 * h));
        QCOMPARE(two.devicePixelRatio(), 2.0);
        for (int y = 0; y < h; ++y)
            for (int x = kGraphLeft; x < w + 64; ++x)
                for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
                    QCOMPARE(two.pixel(2 * x + d.x(), 2 * y + d.y()), one.pixel(x, y));
        bool finer = false;
        for (int y = 0; y < h && !finer; ++y)
            for (int x = 0; x < kGraphLeft - 1 && !finer; ++x)
                finer = two.pixel(2 * x, 2 * y) != two.pixel(2 * x + 1, 2 * y + 1) ||
                        two.pixel(2 * x + 1, 2 * y) != two.pixel(2 * x, 2 * y + 1);
        QVERIFY(finer);
    }

    void legendPixels()
    {
        const int w = 200, h = 116;
        LegendInput in{65536, 4, 30, 8, QSize(w, h), LegendFont()};
        const QImage img = DrawLegend(in);
        QCOMPARE(img.size(), QSize(w + 64, h));
        const QRgb black = 0xFF000000, clear = 0x00FFFFFF;
        auto at = [&](int x, int y) { return img.pixel(x, y); };
        // Frame: top row, right edge, left edge one column in; no bottom edge inside the image.
        QCOMPARE(at(48, 0), black);
        QCOMPARE(at(48 + w - 2, 0), black);
        QCOMPARE(at(48 + w - 1, h - 1), black);
        QCOMPARE(at(49, h - 1), black);
        QCOMPARE(at(48, 1), clear);
        QCOMPARE(at(100, h - 1), clear);
        // Dotted line at 29: three on, three off from x = 47.
        QCOMPARE(at(47, 29), black);
        QCOMPARE(at(50, 29), clear);
        QCOMPARE(at(53, 29), black);
        // Zero tick from x = 47 on the last row.
        QCOMPARE(at(47, h - 1), black);
        QCOMPARE(at(50, h - 1), clear);
        // Vertical gradation 30 columns from the right edge: x = 48 + 200 - 30.
        QCOMPARE(at(218, 0), black);
        QCOMPARE(at(218, 3), clear);
        QCOMPARE(at(218, 6), black);
        QCOMPARE(at(219, 6), clear);
        // Top label: black pixels inside its box, none of it inside the graph.
        const Legend legend = LegendLayout(in);
        const QRect box(
            legend.labels.front().topLeft,
            QSize(QFontMetrics(in.font).horizontalAdvance(legend.labels.front().text), QFontMetrics(in.font).height()));
        int inked = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                inked += at(x, y) == black;
        QVERIFY(inked > 10);
        // Between the left edge and the first vertical gradation (x = 68) above the first line.
        for (int y = 1; y < 29; ++y)
            for (int x = 50; x < 68; ++x)
                QCOMPARE(at(x, y), clear);
    }

    void historyPixels()
    {
        // Scale 1024 over 64 rows: 16 bytes per second per row, y(v) = 64 - v / 16.
        const QSize size(20, 64);
        const float scale = 64.0f / 1024.0f;
        std::vector<RingSample> samples(18, RingSample{0, 160, 0, 0});
        samples[0] = {512, 160, 256, 0}; // graph 1 above graph 2
        samples[1] = {320, 160, 320, 0}; // equal
        samples[2] = {0, 160, 160, 0};   // graph 2 alone
        const HistoryRing ring = RingOf(samples);
        const MeterColours c;
        QImage img;
        const int32_t avg = DrawHistory(img, size, ring, scale, c, AverageChoice::Received);
        const QRgb white = Rgb(255, 255, 255), bg = Rgb(245, 245, 245), inter = Rgb(221, 229, 1);
        const QRgb green = Rgb(0, 204, 0), dark = Rgb(0, 102, 0), blue = Rgb(0, 0, 255), magenta = Rgb(255, 0, 255);
        const QRgb complement = Rgb(255, 51, 255);
        auto at = [&](int x, int y) { return img.pixel(x, y); };

        // Newest column x = 18: intersection below y(256) = 48, received 1 up to y(512) = 32.
        QCOMPARE(at(18, 52), inter);
        QCOMPARE(at(18, 49), inter);
        QCOMPARE(at(18, 48), green);
        QCOMPARE(at(18, 33), green);
        QCOMPARE(at(18, 32), bg);
        QCOMPARE(at(18, 1), bg);
        // Equal values: intersection up to y(320) = 44.
        QCOMPARE(at(17, 45), inter);
        QCOMPARE(at(17, 44), bg);
        // Graph 2 alone: its own colour.
        QCOMPARE(at(16, 55), dark);
        QCOMPARE(at(16, 63), magenta);
        // Row 0, column 0 and column W - 1 are never painted.
        for (int x = 0; x < 20; ++x)
            QCOMPARE(at(x, 0), white);
        for (int y = 0; y < 64; ++y)
        {
            QCOMPARE(at(0, y), white);
            QCOMPARE(at(19, y), white);
        }
        // Sent 1 at 160: rows 53 and 54 (y(160) - 1 and y(160)); sent 2 at 0 shows on the last row.
        QCOMPARE(at(10, 52), bg);
        QCOMPARE(at(10, 53), blue);
        QCOMPARE(at(10, 54), blue);
        QCOMPARE(at(10, 55), bg);
        QCOMPARE(at(10, 63), magenta);
        // The rise from the bottom at the right end.
        QCOMPARE(at(18, 60), blue);
        // Average of received 1 over 18 columns: 832 / 18 = 46.2, row trunc(64 - 2.89) = 61,
        // from x = 2 to W - 2, in the complement of the received-1 colour.
        QCOMPARE(avg, 46);
        QCOMPARE(at(2, 61), complement);
        QCOMPARE(at(18, 61), complement);
        QCOMPARE(at(1, 61), bg);

        // "Envoi" averages sent 1 (160, row 54) and keeps the received-1 complement.
        QCOMPARE(DrawHistory(img, size, ring, scale, c, AverageChoice::Sent), 160);
        QCOMPARE(at(10, 54), complement);
        QCOMPARE(at(10, 53), blue);
        // "Aucun": value still computed, no line.
        QCOMPARE(DrawHistory(img, size, ring, scale, c, AverageChoice::None), 46);
        QCOMPARE(at(10, 61), bg);
    }

    void fastMatchesReference_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("fullScale");
        QTest::addColumn<int>("average");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("small, values around the scale") << QSize(40, 30) << 1025 << 1 << 11u;
        QTest::newRow("steep steps") << QSize(64, 50) << 2000 << 2 << 12u;
        // 16 bytes per row: many rows fall exactly on integers and halves, on both sides of zero.
        QTest::newRow("exact rows and halves") << QSize(48, 64) << 1024 << 2 << 15u;
        QTest::newRow("narrowest") << QSize(3, 10) << 1025 << 1 << 13u;
        QTest::newRow("odd scale, no average") << QSize(33, 47) << 1337 << 0 << 14u;
    }
    void fastMatchesReference()
    {
        QFETCH(QSize, size);
        QFETCH(int, fullScale);
        QFETCH(int, average);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        std::vector<RingSample> samples(size_t(size.width()));
        // From well below zero to well above the full scale, so clipping is exercised too.
        auto value = [&] { return int32_t(random.bounded(-fullScale / 2, fullScale * 2)); };
        for (RingSample& s : samples)
            s = {value(), value(), value(), value()};
        samples[samples.size() / 2].received1 = samples[samples.size() / 2].received2;
        const HistoryRing ring = RingOf(samples);
        const float scale = PixelScale(size.height(), fullScale);
        MeterColours c;
        c.intersection = 0x123456;
        // One painter for every row: its buffer is reused across sizes, as the window's is.
        QImage fast;
        m_painter.DrawHistory(fast, size, ring, scale, c, AverageChoice(average));
        const QImage reference = ReferenceHistory(size, ring, scale, c, AverageChoice(average));
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (fast.pixel(x, y) != reference.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
    }

    // Steps, separated by spaces, each followed by a picture: "t<n>" n samples of traffic within the
    // scale, "q<n>" n quiet ones (below a quarter of it), "p" a peak far above it; "z" a zero sample (a
    // counter reset only primes); "u<n>" n samples with no picture between them (a hidden meter); "c" the
    // ring cleared; "f<n>" full scale n; "a<n>" average choice n;
    // "s<w>x<h>" another graph size; "k" colours changed; "l" the legend drawn again, "n" none.
    void scrollingMatchesWholeDrawing_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("steps");
        QTest::newRow("slides past the end of its buffer, average line moving")
            << QSize(40, 30) << QStringLiteral("t130 a1 t90 a2 t50");
        QTest::newRow("scale change, resize and counter reset between slides")
            << QSize(37, 41) << QStringLiteral("a1 t50 f3000 t20 z t10 s52x33 t60 z z t45 f700 t30");
        QTest::newRow("values above the full scale reach row 0")
            << QSize(30, 20) << QStringLiteral("f300 a1 t70 f5000 t10 f200 t40");
        // The changed part must reach as high as the peak until the peak has left the graph.
        QTest::newRow("a lone peak crosses the graph and leaves it")
            << QSize(30, 40) << QStringLiteral("q20 p q40 a1 q5 p q35");
        QTest::newRow("cleared ring, new colours, legend redrawn and removed")
            << QSize(33, 28) << QStringLiteral("a2 t40 c t5 k t20 l t10 n t30 l t3");
        QTest::newRow("samples with no picture between") << QSize(35, 30) << QStringLiteral("a1 t40 u3 t10 u1 t5");
        QTest::newRow("narrowest graphs") << QSize(3, 12) << QStringLiteral("a1 t8 s4x12 t8 s2x12 t3 s5x9 t12");
    }
    void scrollingMatchesWholeDrawing()
    {
        QFETCH(QSize, size);
        QFETCH(QString, steps);
        QRandomGenerator random(7);
        HistoryRing ring;
        int32_t fullScale = 1024;
        AverageChoice average = AverageChoice::None;
        MeterColours colours;
        colours.intersection = 0x123456;
        bool withLegend = true;
        ScrollingGraph graph;
        auto legendInput = [&] { return LegendInput{fullScale, 4, 5, 8, size, LegendFont()}; };
        QVERIFY(graph.setLegend(DrawLegend(legendInput())));
        QImage previous;
        int pictures = 0;

        auto check = [&](const QString& step) {
            const float scale = PixelScale(size.height(), fullScale);
            const ScrollingGraph::Drawn drawn = graph.update(size, ring, scale, colours, average);
            // The whole drawing with the legend laid over it, as the window stacks them.
            QImage expected;
            QCOMPARE(drawn.average, m_painter.DrawHistory(expected, size, ring, scale, colours, average));
            if (withLegend)
            {
                QPainter p(&expected);
                p.drawImage(-kGraphLeft, 0, DrawLegend(legendInput()));
            }
            const QImage shown = graph.picture();
            QCOMPARE(shown.size(), size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                {
                    if (shown.pixel(x, y) != expected.pixel(x, y))
                        QFAIL(qPrintable(QStringLiteral("after %1 (picture %2): pixel %3,%4 differs")
                                             .arg(step)
                                             .arg(pictures)
                                             .arg(x)
                                             .arg(y)));
                    // Outside the changed part the screen keeps the last picture: it must still be right.
                    if (previous.size() == size && !drawn.changed.contains(x, y) &&
                        expected.pixel(x, y) != previous.pixel(x, y))
                        QFAIL(
                            qPrintable(QStringLiteral("after %1 (picture %2): pixel %3,%4 changed outside %5,%6 %7x%8")
                                           .arg(step)
                                           .arg(pictures)
                                           .arg(x)
                                           .arg(y)
                                           .arg(drawn.changed.x())
                                           .arg(drawn.changed.y())
                                           .arg(drawn.changed.width())
                                           .arg(drawn.changed.height())));
                }
            previous = expected;
            ++pictures;
        };

        for (const QString& step : steps.split(QLatin1Char(' ')))
        {
            const QChar kind = step.front();
            const QString arg = step.mid(1);
            if (kind == QLatin1Char('t') || kind == QLatin1Char('q') || kind == QLatin1Char('p'))
            {
                const int32_t top = kind == QLatin1Char('t') ? fullScale : kind == QLatin1Char('q') ? fullScale / 4 : 0;
                for (int n = kind == QLatin1Char('p') ? 1 : arg.toInt(); n > 0; --n)
                {
                    auto value = [&] { return top > 0 ? int32_t(random.bounded(top)) : 3 * fullScale; };
                    ring.push({value(), value(), value(), value()});
                    check(step);
                    if (QTest::currentTestFailed())
                        return;
                }
                continue;
            }
            if (kind == QLatin1Char('z'))
                ring.push(RingSample{});
            else if (kind == QLatin1Char('u'))
                for (int n = arg.toInt(); n > 0; --n)
                    ring.push({int32_t(random.bounded(fullScale)), int32_t(random.bounded(fullScale)), 0, 0});
            else if (kind == QLatin1Char('c'))
                ring.clear();
            else if (kind == QLatin1Char('f'))
                fullScale = arg.toInt();
            else if (kind == QLatin1Char('a'))
                average = AverageChoice(arg.toInt());
            else if (kind == QLatin1Char('s'))
            {
                const QStringList wh = arg.split(QLatin1Char('x'));
                size = QSize(wh[0].toInt(), wh[1].toInt());
            }
            else if (kind == QLatin1Char('k'))
                colours.received1 ^= 0x00FF00;
            else
                withLegend = kind == QLatin1Char('l');
            // The window draws the legend again whatever changes its scale, size or presence.
            if (kind == QLatin1Char('f') || kind == QLatin1Char('s') || kind == QLatin1Char('l') ||
                kind == QLatin1Char('n'))
                QVERIFY(graph.setLegend(withLegend ? DrawLegend(legendInput()) : QImage()));
            check(step);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void titleFontFits_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("titleHeight");
        QTest::newRow("default title bar") << 353 << 19;
        QTest::newRow("tall graph-hidden bar") << 353 << 100;
        QTest::newRow("narrow window") << 38 << 19;
    }
    void titleFontFits()
    {
        QFETCH(int, available);
        QFETCH(int, titleHeight);
        const QString text = QStringLiteral("DL : 1234.56kbps  UL : 78.9kbps");
        QFont start(QStringLiteral("DejaVu Sans"));
        start.setPixelSize(13);
        const QFont fitted = FitTitleFont(start, text, available, titleHeight);
        const QFontMetrics metrics(fitted);
        if (fitted.pointSize() > 1)
        {
            QVERIFY(metrics.horizontalAdvance(text) <= available);
            QVERIFY(metrics.height() <= titleHeight - 2);
        }
        // One point more would no longer fit.
        QFont larger = fitted;
        larger.setPointSize(fitted.pointSize() + 1);
        const QFontMetrics bigger(larger);
        QVERIFY(bigger.horizontalAdvance(text) > available || bigger.height() > titleHeight - 2);
    }

    void titleTextLeftOfTheIcon_data()
    {
        QTest::addColumn<QSize>("titleBar");
        QTest::addColumn<int>("iconWidth");
        QTest::addColumn<bool>("fit");
        QTest::newRow("default window") << QSize(403, 19) << 20 << true;
        QTest::newRow("narrowest window") << QSize(60, 19) << 20 << true;
        QTest::newRow("narrow window, graph hidden, 100 high") << QSize(150, 100) << 20 << true;
        QTest::newRow("wide window, graph hidden, 100 high") << QSize(1024, 100) << 20 << true;
        QTest::newRow("compact: no icon, no fitting") << QSize(200, 22) << 0 << false;
    }
    void titleTextLeftOfTheIcon()
    {
        QFETCH(QSize, titleBar);
        QFETCH(int, iconWidth);
        QFETCH(bool, fit);
        const QString text = QStringLiteral("DL : 1234.56kbps  UL : 78.9kbps");
        QFont start(QStringLiteral("DejaVu Sans"));
        start.setPixelSize(13);
        const TitleText t = PlaceTitleText(start, text, titleBar, iconWidth, fit);
        const int width = QFontMetrics(t.font).horizontalAdvance(text);
        const int area = titleBar.width() - iconWidth;
        // Centred in the width left of the icon, and ending before it.
        QCOMPARE(t.rect.left(), (area - width) / 2);
        if (fit)
        {
            QVERIFY2(t.rect.left() + width < area, qPrintable(QString::number(t.rect.left() + width)));
            QVERIFY(QFontMetrics(t.font).height() <= titleBar.height() - 2 || t.font.pointSize() == 1);
        }
        else
            QCOMPARE(t.font, start);
        QCOMPARE(t.rect.top(), std::max(0, (titleBar.height() - QFontMetrics(t.font).height()) / 2));
    }

    // One fitter follows the title through texts and bars as the window's does: its kept sizes and last
    // answer must never stand in for the stepwise fit's answer to other inputs.
    void titleFitterGivesTheStepwiseAnswer_data()
    {
        QTest::addColumn<QList<QSize>>("bars");
        QTest::addColumn<int>("iconWidth");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<bool>("restyle"); // the font turns bold and back between texts
        QTest::newRow("default bar") << QList<QSize>{QSize(403, 19)} << 20 << true << false;
        // The width decides there, not the height.
        QTest::newRow("narrow windows") << QList<QSize>{QSize(60, 19), QSize(150, 19), QSize(61, 19)} << 20 << true
                                        << false;
        QTest::newRow("narrow windows, bold and back")
            << QList<QSize>{QSize(150, 19), QSize(190, 30)} << 20 << true << true;
        QTest::newRow("graph hidden, bar growing and shrinking")
            << QList<QSize>{QSize(403, 19), QSize(403, 100), QSize(200, 60), QSize(403, 19)} << 20 << true << false;
        QTest::newRow("compact: no icon, no fitting")
            << QList<QSize>{QSize(200, 22), QSize(150, 22)} << 0 << false << false;
    }
    void titleFitterGivesTheStepwiseAnswer()
    {
        QFETCH(QList<QSize>, bars);
        QFETCH(int, iconWidth);
        QFETCH(bool, fit);
        QFETCH(bool, restyle);
        const QStringList texts{
            QStringLiteral("DL : 0ko/s  UL : 0ko/s"), QStringLiteral("DL : 9876.46kbps  UL : 631.19kbps"),
            QStringLiteral("DL : 23.43kbps  UL : 0.39kbps"), QStringLiteral("DL : 23.43kbps  UL : 0.39kbps"),
            QStringLiteral("DL : 1.5kbps  UL : 77.77kbps")};
        // A font given in pixels, as the window's starts, then whatever the last fit gave.
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(13);
        TitleFitter fitter;
        // Each text through every bar, so that a bar changes under the same text as well.
        for (const QString& text : texts)
            for (const QSize& bar : bars)
            {
                const TitleText expected = PlaceTitleText(font, text, bar, iconWidth, fit);
                const TitleText placed = fitter.place(font, text, bar, iconWidth, fit);
                const QString where = QStringLiteral("%1 in %2x%3").arg(text).arg(bar.width()).arg(bar.height());
                QVERIFY2(placed.font == expected.font, qPrintable(where));
                QVERIFY2(placed.rect == expected.rect, qPrintable(where));
                font = placed.font;
                if (restyle)
                    font.setBold(!font.bold());
            }
    }

    void layout_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<bool>("graph");
        QTest::addColumn<bool>("compact");
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<QRect>("shape1");
        QTest::addColumn<int>("label1Left");
        QTest::addColumn<QRect>("im2");
        QTest::addColumn<QRect>("im1");
        QTest::addColumn<bool>("fit");
        QTest::newRow("graph shown") << QSize(395, 165) << true << false << 100 << 165 << QRect(0, 0, 395, 19) << 137
                                     << QRect(48, 18, 347, 146) << QRect(0, 18, 411, 146) << false;
        QTest::newRow("graph hidden is at most 100 high")
            << QSize(395, 150) << false << false << 100 << 100 << QRect(0, 0, 395, 100) << 137 << QRect(48, 18, 347, 0)
            << QRect(0, 18, 411, 0) << true;
        QTest::newRow("compact fits nothing") << QSize(120, 22) << false << true << 118 << 22 << QRect(0, 0, 120, 22)
                                              << -9 << QRect(48, 18, 72, 0) << QRect(0, 18, 136, 0) << false;
    }
    void layout()
    {
        QFETCH(QSize, client);
        QFETCH(bool, graph);
        QFETCH(bool, compact);
        QFETCH(int, textWidth);
        QFETCH(int, clientHeight);
        QFETCH(QRect, shape1);
        QFETCH(int, label1Left);
        QFETCH(QRect, im2);
        QFETCH(QRect, im1);
        QFETCH(bool, fit);
        const MeterFormLayout l = FormResizeLayout({client, graph, compact, 19, textWidth, 20});
        QCOMPARE(l.clientHeight, clientHeight);
        QCOMPARE(l.shape1, shape1);
        QCOMPARE(l.label1Left, label1Left);
        QCOMPARE(l.image1Left, client.width() - 22);
        QCOMPARE(l.shape2.height(), clientHeight - shape1.height());
        QCOMPARE(l.im2, im2);
        QCOMPARE(l.im1, im1);
        QCOMPARE(l.fitTitleFont, fit);
    }
};

QTEST_MAIN(TestMeterDrawing)
#include "tst_meterdrawing.moc"
