// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/Histogram.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace reports;

Q_DECLARE_METATYPE(reports::HistogramView)
Q_DECLARE_METATYPE(reports::Direction)

namespace
{
// 10 and 11 March, 28 February, 15 August 2003; 31 December 2002; 19 April 2001; one line whose
// day is not a number.
const QStringList kLines = {
    QStringLiteral("37690D=1000"),  QStringLiteral("37690U=10"),     QStringLiteral("37691D=2000"),
    QStringLiteral("37691U=20"),    QStringLiteral("37680D=300"),    QStringLiteral("37680U=3"),
    QStringLiteral("37848D=50000"), QStringLiteral("37848U=5"),      QStringLiteral("37621D=7"),
    QStringLiteral("37621U=70"),    QStringLiteral("abcdeD=999999"), QStringLiteral("37000D=11"),
    QStringLiteral("37000U=22"),
};

QString WriteDescriptor(const QTemporaryDir& tmp, const QStringList& dataLines)
{
    QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n";
    for (const QString& line : dataLines)
        text += line.toUtf8() + "\r\n";
    QFile f(tmp.path() + QStringLiteral("/nic.inf"));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return {};
    return tmp.path();
}

// "slot:sum" for every slot that is not zero.
QString NonZero(const HistogramBuckets& b)
{
    QStringList parts;
    for (int i = 1; i <= 31; ++i)
        if (b.at(i) != 0.0f)
            parts << QStringLiteral("%1:%2").arg(i).arg(double(b.at(i)));
    return parts.join(QLatin1Char(' '));
}

HistogramSelection Select(int year, int month, HistogramView view, Direction direction = Direction::DL)
{
    HistogramSelection s;
    s.year = year;
    s.month = month;
    s.view = view;
    s.direction = direction;
    return s;
}

HistogramBuckets Fill(const QStringList& lines, const HistogramSelection& s)
{
    HistogramBuckets b;
    b.fill(lines, s);
    return b;
}

bool AllWhite(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

bool HasInk(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}
} // namespace

class TestHistogram final : public QObject
{
    Q_OBJECT

private slots:
    void buckets_data()
    {
        QTest::addColumn<HistogramView>("view");
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("sums");
        using V = HistogramView;
        QTest::newRow("2003 by month, DL") << V::Year << Direction::DL << 2003 << 7 << "2:300 3:3000 8:50000";
        QTest::newRow("2003 by month, UL") << V::Year << Direction::UL << 2003 << 7 << "2:3 3:30 8:5";
        QTest::newRow("2003 by month, DL/UL adds both")
            << V::Year << Direction::DLUL << 2003 << 7 << "2:303 3:3030 8:50005";
        QTest::newRow("2002 by month, UL") << V::Year << Direction::UL << 2002 << 1 << "12:70";
        QTest::newRow("March 2003 by day, DL") << V::Month << Direction::DL << 2003 << 3 << "10:1000 11:2000";
        QTest::newRow("March 2003 by day, DL/UL") << V::Month << Direction::DLUL << 2003 << 3 << "10:1010 11:2020";
        QTest::newRow("February 2003 by day, UL") << V::Month << Direction::UL << 2003 << 2 << "28:3";
        // The line without a day number is skipped, not dated 19 April 2001.
        QTest::newRow("April 2001 ignores the undated line") << V::Month << Direction::DL << 2001 << 4 << "19:11";
        QTest::newRow("a month without data") << V::Month << Direction::DLUL << 2002 << 3 << "";
    }
    void buckets()
    {
        QFETCH(HistogramView, view);
        QFETCH(Direction, direction);
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QString, sums);
        QTemporaryDir tmp;
        const HistogramBuckets b = LoadBuckets(WriteDescriptor(tmp, kLines), Select(year, month, view, direction));
        QCOMPARE(NonZero(b), sums);
    }

    // Two damaged 2e38 totals in one month would add up past the largest float: the sum that would
    // overflow skips the second, and the month keeps a bar and a scale instead of an empty chart.
    void overflowingSumKeepsTheChart()
    {
        const HistogramSelection s = Select(2003, 3, HistogramView::Year);
        const HistogramBuckets b = Fill({QStringLiteral("37690D=2e38"), QStringLiteral("37691D=2e38")}, s);
        QVERIFY(std::isfinite(b.at(3)));
        QCOMPARE(b.at(3), 2e38f);
        QVERIFY(BarRects(b, s.view).at(2).top() < kBarsHeight / 2);
        QVERIFY(ScaleLabel(b, 10) != QStringLiteral("0"));
    }

    void missingDescriptorGivesAnEmptyChart()
    {
        QTemporaryDir tmp;
        QCOMPARE(NonZero(LoadBuckets(tmp.path(), Select(2003, 3, HistogramView::Year))), QString());
    }

    void allZeroChart()
    {
        const HistogramBuckets b = Fill({}, Select(2003, 3, HistogramView::Year));
        QCOMPARE(b.scale(), 2650.0f); // 265 / 0.1
        for (const QRect& r : BarRects(b, HistogramView::Year))
            QVERIFY(r.isEmpty());
        for (int j = 1; j <= 10; ++j)
            QCOMPARE(ScaleLabel(b, j), QStringLiteral("0"));
        const HistogramImages images =
            RenderHistogram(b, Select(2003, 3, HistogramView::Year), QFont(QStringLiteral("DejaVu Sans"), 8));
        QVERIFY(AllWhite(images.bars));
        QVERIFY(HasInk(images.frame, QRect(0, 5, 66, 20))); // the top label "0"
    }

    void yearWithOnlyMarch()
    {
        // 45 MiB in March 2003: the bar is a little under 265 / 1.1 = 240.9 pixels tall.
        const HistogramSelection s = Select(2003, 3, HistogramView::Year);
        const HistogramBuckets b = Fill({QStringLiteral("37690D=47185920"), QStringLiteral("37690U=1")}, s);
        const std::vector<QRect> bars = BarRects(b, HistogramView::Year);
        QCOMPARE(bars.size(), size_t(12));
        // March: from 2 × 625 / 12 + 4 = 108 to 3 × 625 / 12 - 4 = 152 (exclusive), top 265 - 240.9 cut to 24.
        QCOMPARE(bars[2], QRect(QPoint(108, 24), QPoint(151, 264)));
        QVERIFY(bars[1].isEmpty());
        // Heights: 45 × 1.1 = 49.5 Mo at the top, 26 / 265 of it at the first tick.
        QCOMPARE(ScaleLabel(b, 10), QStringLiteral("49"));
        QCOMPARE(ScaleLabel(b, 5), QStringLiteral("24"));
        QCOMPARE(ScaleLabel(b, 1), QStringLiteral("4"));

        const HistogramImages images = RenderHistogram(b, s, QFont(QStringLiteral("DejaVu Sans"), 8));
        const QRgb green = qRgb(0x00, 0xCC, 0x00), darkGreen = qRgb(0x00, 0x66, 0x00), white = qRgb(255, 255, 255);
        QCOMPARE(images.bars.size(), QSize(625, 265));
        QCOMPARE(images.bars.pixel(108, 24), darkGreen);
        QCOMPARE(images.bars.pixel(151, 264), darkGreen);
        QCOMPARE(images.bars.pixel(130, 100), green);
        QCOMPARE(images.bars.pixel(107, 100), white);
        QCOMPARE(images.bars.pixel(152, 100), white);
        QCOMPARE(images.bars.pixel(130, 23), white);
    }

    // At a device pixel ratio of 2 the same drawing has twice the pixels each way: bars and axes fall
    // on whole logical pixels, and the text is drawn at the finer resolution, not pixel-doubled.
    void sharpAtTwiceTheResolution()
    {
        const HistogramSelection s = Select(2003, 3, HistogramView::Year);
        const HistogramBuckets b = Fill({QStringLiteral("37690D=47185920"), QStringLiteral("37690U=1")}, s);
        const QFont font(QStringLiteral("DejaVu Sans"), 8);
        const HistogramImages one = RenderHistogram(b, s, font);
        const HistogramImages two = RenderHistogram(b, s, font, 2.0);
        QCOMPARE(two.bars.size(), QSize(1250, 530));
        QCOMPARE(two.bars.devicePixelRatio(), 2.0);
        QCOMPARE(two.frame.size(), QSize(1408, 606));
        for (int y = 0; y < one.bars.height(); y += 3)
            for (int x = 0; x < one.bars.width(); x += 3)
                for (const QPoint d : {QPoint(0, 0), QPoint(1, 1)})
                    QCOMPARE(two.bars.pixel(2 * x + d.x(), 2 * y + d.y()), one.bars.pixel(x, y));
        // The vertical axis, one logical pixel at x = 70.
        for (const QPoint p : {QPoint(140, 100), QPoint(141, 101)})
            QCOMPARE(two.frame.pixel(p), qRgb(0, 0, 0));
        QCOMPARE(two.frame.pixel(142, 100), qRgb(255, 255, 255));
        // Somewhere in the scale labels a 2 x 2 block is not one colour: glyph edges at the finer grid.
        bool finer = false;
        for (int y = 0; y < 2 * 280 && !finer; y += 2)
            for (int x = 0; x < 2 * 66 && !finer; x += 2)
                finer = two.frame.pixel(x, y) != two.frame.pixel(x + 1, y + 1);
        QVERIFY(finer);
    }

    void monthBarsAndColours()
    {
        const HistogramSelection s = Select(2003, 3, HistogramView::Month, Direction::UL);
        const HistogramBuckets b = Fill({QStringLiteral("37690U=1000")}, s);
        const std::vector<QRect> bars = BarRects(b, HistogramView::Month);
        QCOMPARE(bars.size(), size_t(31));
        // Day 10: from 9 × 625 / 31 + 1 = 182 to 10 × 625 / 31 - 1 = 200 (exclusive); full height less 1/1.1.
        QCOMPARE(bars[9], QRect(QPoint(182, 24), QPoint(199, 264)));
        const HistogramImages images = RenderHistogram(b, s, QFont(QStringLiteral("DejaVu Sans"), 8));
        QCOMPARE(images.bars.pixel(182, 24), qRgb(0x00, 0x00, 0x80));
        QCOMPARE(images.bars.pixel(190, 200), qRgb(0x00, 0x00, 0xFF));
    }

    void axesAndTicks()
    {
        const HistogramSelection s = Select(2003, 3, HistogramView::Year);
        const HistogramImages images = RenderHistogram(Fill({}, s), s, QFont(QStringLiteral("DejaVu Sans"), 8));
        const QImage& f = images.frame;
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
        QCOMPARE(f.size(), QSize(704, 303));
        // The vertical axis runs at x = 70 from y = 15, the horizontal one at y = 280 up to x = 694.
        QCOMPARE(f.pixel(70, 15), black);
        QCOMPARE(f.pixel(70, 14), white);
        QCOMPARE(f.pixel(70, 280), black);
        QCOMPARE(f.pixel(694, 280), black);
        QCOMPARE(f.pixel(695, 280), white);
        // First vertical tick at y = 15 + 265 - 26, three pixels long.
        QCOMPARE(f.pixel(68, 254), black);
        QCOMPARE(f.pixel(67, 254), white);
        // First month tick at x = 625 / 12 + 71 = 123, three pixels below the axis.
        QCOMPARE(f.pixel(123, 282), black);
        QCOMPARE(f.pixel(123, 283), white);
        // Scale labels end left of x = 66; month labels sit below y = 285.
        QVERIFY(!HasInk(f, QRect(66, 0, 2, 280)));
        QVERIFY(HasInk(f, QRect(80, 285, 40, 18)));
        QVERIFY(!HasInk(f, QRect(71, 284, 50, 1)));
    }

    void readOut_data()
    {
        QTest::addColumn<HistogramView>("view");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("text");
        using V = HistogramView;
        QTest::newRow("July of the year: 1234 + 12.5") << V::Year << 7 << 330 << "7/2003 : 1246 Mo";
        QTest::newRow("first pixel is January") << V::Year << 7 << 0 << "1/2003 : 0 Mo";
        QTest::newRow("left of the image is January") << V::Year << 7 << -40 << "1/2003 : 0 Mo";
        QTest::newRow("right of the image is December") << V::Year << 7 << 900 << "12/2003 : 0 Mo";
        QTest::newRow("15 July, megabytes cut") << V::Month << 7 << 290 << "15/7/2003 : 12 Mo";
        QTest::newRow("right of the image is day 31") << V::Month << 7 << 625 << "31/7/2003 : 0 Mo";
        QTest::newRow("28 February exists") << V::Month << 2 << 545 << "28/2/2003 : 0 Mo";
        QTest::newRow("30 February is no day") << V::Month << 2 << 585 << "";
        QTest::newRow("31 April is no day") << V::Month << 4 << 625 << "";
    }
    void readOut()
    {
        QFETCH(HistogramView, view);
        QFETCH(int, month);
        QFETCH(int, x);
        QFETCH(QString, text);
        // 1 July 2003: 1234 MiB; 15 July 2003: 12.5 MiB.
        const HistogramSelection s = Select(2003, month, view);
        const HistogramBuckets b = Fill({QStringLiteral("37803D=1293942784"), QStringLiteral("37817D=13107200")}, s);
        QCOMPARE(ReadOut(b, s, x), text);
    }

    void clicks_data()
    {
        QTest::addColumn<HistogramView>("view");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("lastX");
        QTest::addColumn<int>("action");
        QTest::addColumn<HistogramView>("newView");
        QTest::addColumn<int>("newMonth");
        QTest::addColumn<QDate>("date");
        using A = ClickOutcome::Action;
        using V = HistogramView;
        const int left = Qt::LeftButton, right = Qt::RightButton, middle = Qt::MiddleButton;
        QTest::newRow("year, left on the eighth twelfth: August")
            << V::Year << left << 380 << 0 << int(A::Redraw) << V::Month << 8 << QDate();
        QTest::newRow("year, left on a month without data")
            << V::Year << left << 10 << 0 << int(A::Redraw) << V::Month << 1 << QDate();
        QTest::newRow("year, right: redraw")
            << V::Year << right << 380 << 0 << int(A::Redraw) << V::Year << 7 << QDate();
        QTest::newRow("month, right: back to the year")
            << V::Month << right << 290 << 290 << int(A::Redraw) << V::Year << 7 << QDate();
        QTest::newRow("month, middle: nothing")
            << V::Month << middle << 290 << 290 << int(A::None) << V::Month << 7 << QDate();
        QTest::newRow("month, left uses the last pointer x")
            << V::Month << left << 5 << 290 << int(A::OpenHistory) << V::Month << 7 << QDate(2003, 7, 15);
        QTest::newRow("month, left on an empty day")
            << V::Month << left << 290 << 5 << int(A::None) << V::Month << 7 << QDate();
    }
    void clicks()
    {
        QFETCH(HistogramView, view);
        QFETCH(int, button);
        QFETCH(int, x);
        QFETCH(int, lastX);
        QFETCH(int, action);
        QFETCH(HistogramView, newView);
        QFETCH(int, newMonth);
        QFETCH(QDate, date);
        const HistogramSelection s = Select(2003, 7, view);
        const HistogramBuckets b = Fill({QStringLiteral("37817D=13107200")}, s);
        const ClickOutcome out = Click(s, b, Qt::MouseButton(button), x, lastX);
        QCOMPARE(int(out.action), action);
        QCOMPARE(out.selection.view, newView);
        QCOMPARE(out.selection.month, newMonth);
        QCOMPARE(out.selection.year, 2003);
        QCOMPARE(out.historyDate, date);
    }

    void plusAndMinus_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("newYear");
        QTest::addColumn<int>("newMonth");
        QTest::newRow("month + in December") << 2003 << 12 << "bpm" << 2004 << 1;
        QTest::newRow("month - in January") << 2004 << 1 << "bmm" << 2003 << 12;
        QTest::newRow("month + in July") << 2003 << 7 << "bpm" << 2003 << 8;
        QTest::newRow("year +") << 2003 << 7 << "bpa" << 2004 << 7;
        QTest::newRow("year -") << 2003 << 7 << "bma" << 2002 << 7;
    }
    void plusAndMinus()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QString, button);
        QFETCH(int, newYear);
        QFETCH(int, newMonth);
        const HistogramSelection s = Select(year, month, HistogramView::Month);
        const HistogramSelection t = button == QLatin1String("bpm")   ? NextMonth(s)
                                     : button == QLatin1String("bmm") ? PreviousMonth(s)
                                     : button == QLatin1String("bpa") ? NextYear(s)
                                                                      : PreviousYear(s);
        QCOMPARE(t.year, newYear);
        QCOMPARE(t.month, newMonth);
    }

    void damagedTotalsStayInsideTheImage()
    {
        const HistogramSelection s = Select(2003, 3, HistogramView::Month);
        const HistogramBuckets b =
            Fill({QStringLiteral("37690D=3e38"), QStringLiteral("37690D=3e38"), QStringLiteral("37691D=-5")}, s);
        for (const QRect& r : BarRects(b, HistogramView::Month))
            QVERIFY(r.top() >= 0 && r.bottom() == 264);
        RenderHistogram(b, s, QFont(QStringLiteral("DejaVu Sans"), 8));
    }
};

QTEST_MAIN(TestHistogram)
#include "tst_histogram.moc"
