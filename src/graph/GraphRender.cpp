// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/GraphRender.h"

#include "common/Colour.h"
#include "common/DayNumber.h"
#include "common/NumberText.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace graph
{
namespace
{
// Move-to / line-to with the raster rules of the original canvas: a line leaves out its end point, a
// dotted pen draws 3 pixels on and 3 off from the start of each line. Only the visible part of a line
// is walked, so a value far above the scale costs nothing.
class Canvas final
{
public:
    // scale: device pixels per logical pixel; every logical pixel is plotted as the block it covers.
    explicit Canvas(QImage& image, qreal scale = 1.0) : m_image(image), m_scale(scale)
    {
        // plot() writes whole 32-bit pixels.
        if (m_image.format() != QImage::Format_ARGB32 && m_image.format() != QImage::Format_RGB32)
            m_image.convertTo(QImage::Format_ARGB32);
    }
    void setPen(uint32_t bgr, bool dotted = false)
    {
        m_argb = BgrToArgb(bgr);
        m_dotted = dotted;
    }
    void moveTo(int64_t x, int64_t y)
    {
        m_x = x;
        m_y = y;
    }
    void lineTo(int64_t x1, int64_t y1)
    {
        const int64_t ddx = x1 - m_x;
        const int64_t ddy = y1 - m_y;
        const int64_t n = std::max(std::llabs(ddx), std::llabs(ddy));
        if (n > 0)
        {
            // Steps along the major axis that fall inside the image.
            int64_t first = 0;
            int64_t last = n - 1;
            const bool yMajor = std::llabs(ddy) >= std::llabs(ddx);
            const int64_t start = yMajor ? m_y : m_x;
            const int64_t dir = (yMajor ? ddy : ddx) > 0 ? 1 : -1;
            const int64_t limit = yMajor ? m_image.height() : m_image.width();
            // start + i × dir within [0, limit − 1]
            const int64_t a = dir > 0 ? -start : start - (limit - 1);
            const int64_t b = dir > 0 ? limit - 1 - start : start;
            first = std::max(first, a);
            last = std::min(last, b);
            for (int64_t i = first; i <= last; ++i)
            {
                if (m_dotted && (i % 6) >= 3)
                    continue;
                const int64_t x = m_x + Scaled(i, ddx, n);
                const int64_t y = m_y + Scaled(i, ddy, n);
                plot(x, y);
            }
        }
        m_x = x1;
        m_y = y1;
    }
    void line(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
    {
        moveTo(x0, y0);
        lineTo(x1, y1);
    }

private:
    // round(i × d / n), halves away from the start
    static int64_t Scaled(int64_t i, int64_t d, int64_t n)
    {
        const int64_t num = 2 * i * d;
        return num >= 0 ? (num + n) / (2 * n) : -((-num + n) / (2 * n));
    }
    void plot(int64_t x, int64_t y)
    {
        if (m_scale == 1.0)
        {
            if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
                return;
            reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(y)))[x] = m_argb;
            return;
        }
        const auto edge = [this](int64_t v) { return static_cast<int64_t>(std::floor(v * m_scale)); };
        const int64_t left = std::max<int64_t>(edge(x), 0), right = std::min<int64_t>(edge(x + 1), m_image.width());
        const int64_t top = std::max<int64_t>(edge(y), 0), bottom = std::min<int64_t>(edge(y + 1), m_image.height());
        for (int64_t row = top; row < bottom; ++row)
        {
            QRgb* line = reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(row)));
            for (int64_t column = left; column < right; ++column)
                line[column] = m_argb;
        }
    }

    QImage& m_image;
    qreal m_scale = 1.0;
    QRgb m_argb = 0xFF000000;
    bool m_dotted = false;
    int64_t m_x = 0;
    int64_t m_y = 0;
};

// A column's height can be far outside any image; keep it within what an int64 line can carry.
int64_t ClampedRow(double y)
{
    if (!(y > -1e6))
        return -1000000;
    return static_cast<int64_t>(std::min(y, 1e6));
}

int64_t FloorRow(double y)
{
    return ClampedRow(std::floor(y));
}

int64_t TruncRow(double y)
{
    return ClampedRow(std::trunc(y));
}

int32_t RoundedMinute(int minute)
{
    return minute / 10 * 10 + (minute % 10 >= 6 ? 5 : 0);
}

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Half of a width, truncated toward zero.
int32_t Half(int32_t v)
{
    return v / 2;
}
} // namespace

QImage ErasedPlot(int32_t width, int32_t height)
{
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32);
    image.fill(BgrToArgb(kBackgroundBgr));
    return image;
}

void DrawSeries(QImage& plot, const PlotInput& in)
{
    if (!in.columns)
        return;
    const ColumnBuffer& cols = *in.columns;
    const int32_t w = std::min(in.width, kColumnCount);
    const int64_t h = in.height;
    const int32_t sigma = in.direction.sigma;
    const double s = in.secondsPerColumn;
    const double p = in.pixelsPerRate;
    Canvas canvas(plot);

    if (in.drawPeaks)
    {
        canvas.setPen(in.colours.receivePeak);
        for (int32_t j = 0; j < w; ++j)
            canvas.line(j + sigma, h, j + sigma, FloorRow(double(h) - cols[j].peakIn / 300.0 * p));
    }
    canvas.setPen(in.colours.receive);
    for (int32_t j = in.direction.s0; j + sigma < w && j < kColumnCount; ++j)
        canvas.line(j + sigma, h, j + sigma, FloorRow(double(h) - cols[j].sumIn / s * p));
    if (in.drawPeaks)
    {
        canvas.setPen(in.colours.sendPeak);
        canvas.moveTo(sigma, h);
        for (int32_t j = 0; j < w; ++j)
        {
            const int64_t y = TruncRow(double(h) - cols[j].peakOut / 300.0 * p);
            canvas.lineTo(j + sigma, y);
            canvas.lineTo(j + sigma, y + 1);
        }
    }
    canvas.setPen(in.colours.send);
    canvas.moveTo(1, h);
    for (int32_t j = 1; j + sigma < w && j < kColumnCount; ++j)
    {
        const int64_t y = TruncRow(double(h) - cols[j].sumOut / s * p);
        canvas.lineTo(j + sigma, y);
        canvas.lineTo(j + sigma, y + 1);
    }
}

void DrawFrame(QImage& plot)
{
    Canvas canvas(plot);
    canvas.setPen(0);
    const int64_t w = plot.width();
    const int64_t h = plot.height();
    canvas.moveTo(1, 0);
    canvas.lineTo(w - 1, 0);
    canvas.lineTo(w - 1, h - 1);
    canvas.lineTo(1, h - 1);
    canvas.lineTo(1, 0);
}

QImage RenderPlot(const PlotInput& input)
{
    QImage plot = ErasedPlot(input.width, input.height);
    DrawSeries(plot, input);
    DrawFrame(plot);
    return plot;
}

QFont AxesFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QList<TimeTick> TimeAxisTicks(const AxesInput& in)
{
    QList<TimeTick> ticks;
    // The week, month and year counters start from the date; without one there is no axis to draw.
    if (!in.date.isValid() && in.period != Period::Day)
        return ticks;
    const QTime now = in.timeOfDay.isValid() ? in.timeOfDay : QTime(0, 0);
    const QFontMetrics metrics(in.font);
    const int32_t sigma = in.direction.sigma;
    const int32_t origin = in.dx + in.width - in.direction.x0;
    const int32_t hr = now.hour();
    const int32_t minute = RoundedMinute(now.minute());
    const int32_t left = in.dx;
    const int32_t right = in.dx + in.width;

    switch (in.period)
    {
    case Period::Day: {
        int32_t hour = hr;
        for (int32_t x = (minute / 5 + 2) * sigma + origin; left < x && x < right; x += 12 * sigma)
        {
            TimeTick tick{x, hour == 0, {}, 0, false};
            if (hour % 2 == 0)
            {
                tick.label = QString::number(hour);
                tick.labelX = x - Half(metrics.horizontalAdvance(tick.label));
                tick.labelShown = true;
            }
            ticks.append(tick);
            if (--hour < 0)
                hour = 23;
        }
        break;
    }
    case Period::Week: {
        int32_t day = in.date.dayOfWeek() % 7 + 1; // 1 Sunday to 7 Saturday
        for (int32_t x = (minute / 30 + 2 * hr + 2) * sigma + origin; left < x && x < right + 2; x += 48 * sigma)
        {
            TimeTick tick{x, day == 2, QString::fromLatin1(kDayNames[day - 1]), 0, false};
            tick.labelX = x - 24 * sigma - Half(metrics.horizontalAdvance(tick.label));
            tick.labelShown = left < tick.labelX && tick.labelX < right;
            ticks.append(tick);
            if (--day < 1)
                day = 7;
        }
        break;
    }
    case Period::Month: {
        const int32_t day = in.date.dayOfWeek() % 7 + 1;
        for (int32_t x = (hr / 2 + 12 * day - 12 + 2) * sigma + origin; left < x && x < right + 2; x += 84 * sigma)
            ticks.append(TimeTick{x, false, {}, 0, false});
        break;
    }
    case Period::Year: {
        int32_t month = in.date.month();
        int32_t year = in.date.year();
        for (int32_t x = origin + in.date.day() * sigma; left < x && x < right + 2;)
        {
            const int32_t n = DaysInMonth(year, month);
            TimeTick tick{x, month == 1, QString::fromLatin1(kMonthNames[month - 1]), 0, false};
            tick.labelX = x - sigma * Half(n) - Half(n) + Half(metrics.horizontalAdvance(tick.label));
            tick.labelShown = left < tick.labelX && tick.labelX < right;
            ticks.append(tick);
            if (--month < 1)
            {
                month = 12;
                --year;
            }
            x += sigma * DaysInMonth(year, month);
        }
        break;
    }
    }
    return ticks;
}

ValueAxis ValueAxisLayout(const AxesInput& in)
{
    ValueAxis axis;
    const QFontMetrics metrics(in.font);
    const int32_t g = std::clamp(in.graduations, 1, 999);
    const long double v = in.scale;
    const long double u = in.unit.divisor;
    const long double m = in.bitsMultiplier;
    axis.gridStep = static_cast<float>(in.scale / g) * in.pixelsPerRate;
    const int32_t rowsPerLine = in.height / g;
    // More lines than rows: every line gets a label.
    axis.spacing = rowsPerLine > 0 ? metrics.height() / rowsPerLine : 0;
    const int32_t halfHeight = Half(metrics.height());
    const long double top = std::floor(v / u * m * 10) * 0.1L;
    int counter = 0;
    for (int32_t i = 0; i < g; ++i)
    {
        ValueLine line;
        const double offset = static_cast<double>(i) * static_cast<double>(axis.gridStep);
        line.y = static_cast<int32_t>(TruncRow(in.dy + offset));
        line.label = FloatText(top - std::floor(v / g * i * m / u * 10) * 0.1L) + in.unit.suffix;
        line.labelX = in.dx - metrics.horizontalAdvance(line.label) - 10;
        line.labelY = static_cast<int32_t>(TruncRow(in.dy + offset - halfHeight));
        if (++counter >= axis.spacing)
        {
            counter = 0;
            line.labelShown = true;
        }
        axis.lines.append(line);
    }
    const double bottom = static_cast<double>(g) * static_cast<double>(axis.gridStep);
    axis.bottom.label = QStringLiteral("0") + in.unit.suffix;
    axis.bottom.labelX = in.dx - metrics.horizontalAdvance(axis.bottom.label) - 10;
    axis.bottom.labelY = static_cast<int32_t>(TruncRow(bottom + in.dy - halfHeight));
    axis.bottom.labelShown = true;
    axis.bottomTickY = static_cast<int32_t>(TruncRow(bottom + in.dy - 1));
    axis.bottom.y = axis.bottomTickY;
    return axis;
}

QImage ErasedAxes(QSize size)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage RenderAxes(const AxesInput& in, QSize size, qreal devicePixelRatio)
{
    QImage image = ErasedAxes(size * devicePixelRatio);
    image.setDevicePixelRatio(devicePixelRatio);
    const QList<TimeTick> ticks = TimeAxisTicks(in);
    const ValueAxis axis = ValueAxisLayout(in);
    {
        Canvas canvas(image, devicePixelRatio);
        const int64_t base = int64_t(in.dy) + in.height;
        for (const TimeTick& tick : ticks)
        {
            canvas.setPen(0);
            canvas.line(tick.x, base - 2, tick.x, base + 2);
            canvas.setPen(0, true);
            canvas.line(tick.x, in.dy, tick.x, base);
            if (tick.boundary)
            {
                canvas.setPen(kBoundaryBgr);
                canvas.line(tick.x, base, tick.x, in.dy);
            }
        }
        for (const ValueLine& line : axis.lines)
        {
            canvas.setPen(0);
            canvas.line(in.dx - 1, line.y, in.dx + 3, line.y);
            canvas.setPen(0, true);
            canvas.line(in.dx + 1, line.y, int64_t(in.dx) + in.width + 1, line.y);
        }
        canvas.setPen(0);
        canvas.line(in.dx - 1, axis.bottomTickY, in.dx + 3, axis.bottomTickY);
    }

    QPainter painter(&image);
    painter.setFont(in.font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(in.font).ascent();
    for (const TimeTick& tick : ticks)
        if (tick.labelShown)
            painter.drawText(tick.labelX, in.dy + in.height + 2 + ascent, tick.label);
    for (const ValueLine& line : axis.lines)
        if (line.labelShown)
            painter.drawText(line.labelX, line.labelY + ascent, line.label);
    painter.drawText(axis.bottom.labelX, axis.bottom.labelY + ascent, axis.bottom.label);
    return image;
}

QImage ComposeGraph(const QImage& plot, const QImage& axes, int32_t dx, int32_t dy)
{
    QImage image(axes.size(), QImage::Format_ARGB32);
    image.fill(BgrToArgb(kBackgroundBgr));
    QPainter painter(&image);
    painter.drawImage(dx, dy, plot);
    painter.drawImage(0, 0, axes);
    return image;
}

GraphLayers DrawGraph(const ColumnBuffer& columns, const LoadRequest& request, const LoadResult& result,
                      const GraphOptions& options)
{
    const int32_t width = std::clamp(request.width, 1, kColumnCount);
    PlotInput plot;
    plot.columns = &columns;
    plot.width = width;
    plot.height = request.height;
    plot.secondsPerColumn = request.secondsPerColumn;
    plot.direction = result.direction;
    plot.pixelsPerRate = result.pixelsPerRate;
    plot.drawPeaks = DrawsPeaks(options.period, options.peaksAsked);
    plot.colours = options.colours;

    AxesInput axes;
    axes.period = options.period;
    axes.date = request.date;
    axes.timeOfDay = request.timeOfDay;
    axes.width = width;
    axes.height = request.height;
    axes.direction = result.direction;
    axes.scale = result.scale;
    axes.bitsMultiplier = request.bitsMultiplier;
    axes.unit = result.unit;
    axes.pixelsPerRate = result.pixelsPerRate;
    axes.graduations = options.graduations;
    axes.font = options.font;
    GraphLayers layers{RenderPlot(plot), RenderAxes(axes, options.axesSize), QImage()};
    if (options.devicePixelRatio != 1.0)
        layers.screenAxes = RenderAxes(axes, options.axesSize, options.devicePixelRatio);
    return layers;
}

DrawingAreaLayout LayoutDrawingArea(QSize clientSize)
{
    constexpr int kLeft = 8;
    constexpr int kTop = 120;
    DrawingAreaLayout layout;
    layout.shape = QRect(kLeft, kTop, clientSize.width() - 2 * kLeft, clientSize.height() - kTop);
    layout.plot = QRect(kLeft + kPlotDx, kTop + kPlotDy, layout.shape.width() - kPlotDx - kPlotRightMargin,
                        layout.shape.height() - kPlotDy - kPlotBottomMargin);
    layout.sizeText = QString::number(layout.shape.width()) + QLatin1Char('x') + QString::number(layout.shape.height());
    return layout;
}

} // namespace graph
