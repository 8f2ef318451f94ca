#include "meter/MeterDrawing.h"

#include "common/Colour.h"
#include "common/NumberText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;

// Line-to on a raster canvas: every pixel of the segment except its end point, with a cosmetic
// pen that is solid or dotted (three pixels on, three off, restarted by move-to).
class LineCanvas
{
public:
    // scale: device pixels per logical pixel; each logical pixel is plotted as the block it covers.
    explicit LineCanvas(QImage& image, qreal scale = 1.0) : m_image(image), m_scale(scale) {}

    void setDotted(bool dotted) { m_dotted = dotted; }
    void moveTo(int x, int y)
    {
        m_x = x;
        m_y = y;
        m_dash = 0;
    }
    void lineTo(int x, int y)
    {
        const int dx = x - m_x, dy = y - m_y;
        const int n = std::max(std::abs(dx), std::abs(dy));
        const int minor = std::min(std::abs(dx), std::abs(dy));
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        for (int k = 0; k < n; ++k)
        {
            const int offset = static_cast<int>((2LL * k * minor + n) / (2LL * n));
            const int px = m_x + (xMajor ? k * (dx > 0 ? 1 : -1) : offset * (dx > 0 ? 1 : -1));
            const int py = m_y + (xMajor ? offset * (dy > 0 ? 1 : -1) : k * (dy > 0 ? 1 : -1));
            if (!m_dotted || m_dash < 3)
                plot(px, py);
            m_dash = (m_dash + 1) % 6;
        }
        m_x = x;
        m_y = y;
    }

private:
    void plot(int x, int y)
    {
        if (m_scale == 1.0)
        {
            if (x >= 0 && y >= 0 && x < m_image.width() && y < m_image.height())
                reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = kBlack;
            return;
        }
        const auto edge = [this](int v) { return static_cast<int>(std::floor(v * m_scale)); };
        const int left = std::max(edge(x), 0), right = std::min(edge(x + 1), m_image.width());
        const int top = std::max(edge(y), 0), bottom = std::min(edge(y + 1), m_image.height());
        for (int row = top; row < bottom; ++row)
            std::fill(reinterpret_cast<QRgb*>(m_image.scanLine(row)) + left,
                      reinterpret_cast<QRgb*>(m_image.scanLine(row)) + std::max(left, right), kBlack);
    }

    QImage& m_image;
    qreal m_scale = 1.0;
    int m_x = 0;
    int m_y = 0;
    int m_dash = 0;
    bool m_dotted = false;
};

QString LegendValueText(const LegendInput& in, long double divisor, int i)
{
    const long double f = in.fullScale, m = in.unitMultiplier;
    const long double top = std::floor(f / divisor * m * 10.0L) * 0.1L;
    const long double below = std::floor(f / in.gradations * i * m / divisor * 10.0L) * 0.1L;
    return FloatText(top - below);
}

// trunc(y) as a row. A value far above the full scale lands far outside the image; the bound
// only keeps that arithmetic in range. Rounding to nearest and stepping back toward zero avoids
// the truncating conversion, which on x87 reloads the control word twice and dominated a tick.
int64_t Row(long double y)
{
    constexpr long double kLimit = 1e15L;
    y = std::clamp(y, -kLimit, kLimit);
    int64_t n = std::llrint(y);
    const long double back = static_cast<long double>(n);
    if (y >= 0 ? back > y : back < y)
        n += y >= 0 ? -1 : 1;
    return n;
}

// Vertical runs into a column-major buffer, where each run is contiguous memory; writing the
// columns of a row-major image directly would touch one cache line per pixel.
class ColumnPainter
{
public:
    ColumnPainter(QRgb* columns, int width, int height) : m_bits(columns), m_width(width), m_height(height) {}

    // Rows from (included) towards to (excluded), as a line-to along one column.
    void segment(int x, int64_t from, int64_t to, QRgb colour)
    {
        if (from < to)
            run(x, from, to - 1, colour);
        else if (from > to)
            run(x, to + 1, from, colour);
    }

    // The line-to from (x + 1, from) to (x, to): the first half of its rows (the odd middle one
    // included) stays in column x + 1, the rest lies in column x.
    void diagonal(int x, int64_t from, int64_t to, QRgb colour)
    {
        const int64_t n = to > from ? to - from : from - to;
        if (n == 0)
        {
            run(x + 1, from, from, colour);
            return;
        }
        const int64_t firstHalf = (n + 1) / 2;
        if (to > from)
        {
            run(x + 1, from, from + firstHalf - 1, colour);
            run(x, from + firstHalf, to - 1, colour);
        }
        else
        {
            run(x + 1, from - firstHalf + 1, from, colour);
            run(x, to + 1, from - firstHalf, colour);
        }
    }

    void run(int x, int64_t top, int64_t bottom, QRgb colour)
    {
        if (x < 0 || x >= m_width)
            return;
        const int64_t a = std::max<int64_t>(top, 0), b = std::min<int64_t>(bottom, m_height - 1);
        if (a <= b)
            std::fill_n(m_bits + static_cast<qsizetype>(x) * m_height + a, b - a + 1, colour);
    }

    void row(int y, int left, int right, QRgb colour)
    {
        if (y < 0 || y >= m_height)
            return;
        for (int x = std::max(left, 0); x <= std::min(right, m_width - 1); ++x)
            m_bits[static_cast<qsizetype>(x) * m_height + y] = colour;
    }

    // Copies the columns into the row-major image, in tiles that stay in cache.
    void transposeInto(QImage& image) const
    {
        constexpr int kTile = 16;
        const qsizetype stride = image.bytesPerLine() / 4;
        QRgb* out = reinterpret_cast<QRgb*>(image.bits());
        for (int y0 = 0; y0 < m_height; y0 += kTile)
            for (int x0 = 0; x0 < m_width; x0 += kTile)
                for (int y = y0; y < std::min(y0 + kTile, m_height); ++y)
                {
                    QRgb* line = out + y * stride;
                    for (int x = x0; x < std::min(x0 + kTile, m_width); ++x)
                        line[x] = m_bits[static_cast<qsizetype>(x) * m_height + y];
                }
    }

private:
    QRgb* m_bits;
    int m_width;
    int m_height;
};
} // namespace

Legend LegendLayout(const LegendInput& in)
{
    Legend legend;
    legend.unit = QStringLiteral(" B");
    legend.divisor = 1;
    const int h = in.graphSize.height();
    const int32_t f = std::max<int32_t>(in.fullScale, 1);
    const int n = std::max(in.gradations, 0);
    legend.pixelScale = PixelScale(h, f);
    if (n != 0)
        legend.step = static_cast<int>(std::trunc(static_cast<long double>(f / n) * legend.pixelScale));

    const QFontMetrics metrics(in.font);
    const int textHeight = metrics.height();
    if (h > 0 && n != 0)
        legend.labelEvery = std::max(1, (textHeight + h - 1) / h);

    const long double scaled = static_cast<long double>(f) * in.unitMultiplier;
    if (scaled > kKilo)
    {
        legend.divisor = kKilo;
        legend.unit = QStringLiteral(" K");
    }
    if (scaled > kMega)
    {
        legend.divisor = kMega;
        legend.unit = QStringLiteral(" M");
    }

    int counter = 0;
    for (int i = 0; i < n; ++i)
    {
        if (++counter < legend.labelEvery)
            continue;
        counter = 0;
        const int y = i * legend.step;
        LegendLabel label;
        label.lineY = y;
        label.text = LegendValueText(in, legend.divisor, i) + legend.unit;
        label.topLeft = QPoint(kGraphLeft - metrics.horizontalAdvance(label.text) - 1, y + textHeight / 2);
        legend.labels.push_back(label);
    }
    return legend;
}

QImage DrawLegend(const LegendInput& in, qreal devicePixelRatio)
{
    const Legend legend = LegendLayout(in);
    const int w = std::max(0, in.graphSize.width()), h = std::max(0, in.graphSize.height());
    QImage image(qRound((w + kLegendExtraWidth) * devicePixelRatio), qRound(h * devicePixelRatio),
                 QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(kWhite);

    LineCanvas canvas(image, devicePixelRatio);
    const int l2 = kGraphLeft;
    canvas.moveTo(l2, 0);
    canvas.lineTo(l2 + w - 1, 0);
    canvas.lineTo(l2 + w - 1, h);
    canvas.lineTo(l2 + 1, h);
    canvas.lineTo(l2 + 1, 0);

    canvas.setDotted(true);
    for (int i = 1; i < std::max(in.gradations, 0); ++i)
    {
        const int y = i * legend.step;
        canvas.moveTo(l2 - 1, y);
        canvas.lineTo(l2 + w + 1, y);
    }
    canvas.moveTo(l2 - 1, h - 1);
    canvas.lineTo(l2 + 3, h - 1);
    for (int v = std::max(in.verticalSpacing, 1); v < w; v += std::max(in.verticalSpacing, 1))
    {
        canvas.moveTo(l2 + w - v, 0);
        canvas.lineTo(l2 + w - v, h);
    }

    if (!legend.labels.empty())
    {
        QPainter painter(&image);
        // Hard-edged text: only pure white is see-through, so smoothing would leave a pale fringe.
        QFont font = in.font;
        font.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(font);
        painter.setPen(QColor(kBlack));
        const int ascent = QFontMetrics(font).ascent();
        for (const LegendLabel& label : legend.labels)
            painter.drawText(label.topLeft + QPoint(0, ascent), label.text);
    }

    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y)
    {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::replace(line, line + width, kWhite, QRgb{0x00FFFFFFu});
    }
    return image;
}

int32_t DrawHistory(QImage& image, QSize graphSize, const HistoryRing& ring, float pixelScale,
                    const MeterColours& colours, AverageChoice average)
{
    HistoryPainter painter;
    return painter.DrawHistory(image, graphSize, ring, pixelScale, colours, average);
}

int32_t HistoryPainter::DrawHistory(QImage& image, QSize graphSize, const HistoryRing& ring, float pixelScale,
                                    const MeterColours& colours, AverageChoice average)
{
    if (image.size() != graphSize || image.format() != QImage::Format_RGB32)
        image = QImage(graphSize, QImage::Format_RGB32);
    if (image.isNull())
        return 0;
    const int w = graphSize.width(), h = graphSize.height();
    m_columns.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite);
    const long double s = pixelScale;
    auto y = [&](int32_t v) { return Row(h - v * s); };

    const QRgb received1 = BgrToArgb(colours.received1), received2 = BgrToArgb(colours.received2);
    const QRgb sent1 = BgrToArgb(colours.sent1), sent2 = BgrToArgb(colours.sent2);
    const QRgb intersection = BgrToArgb(colours.intersection), background = BgrToArgb(kMeterBackground);
    ColumnPainter paint(m_columns.data(), w, h);

    const int columns = w - 2;
    for (int i = 0; i < columns; ++i)
    {
        const int x = w - 2 - i;
        const RingSample& sample = ring.at(i);
        const int64_t y1 = y(sample.received1), y2 = y(sample.received2);
        if (sample.received1 > sample.received2)
        {
            paint.segment(x, h, y2, intersection);
            paint.segment(x, y2, y1, received1);
            paint.segment(x, y1, 0, background);
        }
        else
        {
            paint.segment(x, h, y1, intersection);
            paint.segment(x, y1, y2, received2);
            paint.segment(x, y2, 0, background);
        }
    }

    // Two pixels high: a step down to one row above the value, then the value's own row.
    float sum = 0;
    auto sentLine = [&](int32_t RingSample::*series, QRgb colour, bool summing) {
        int64_t current = h;
        for (int i = 0; i < columns; ++i)
        {
            const int x = w - 2 - i;
            const RingSample& sample = ring.at(i);
            const int32_t t = sample.*series;
            const int64_t above = Row(h - t * s - 1);
            if (i == 0)
                paint.segment(x, current, above, colour);
            else
                paint.diagonal(x, current, above, colour);
            current = y(t);
            paint.segment(x, above, current, colour);
            if (summing)
                sum = static_cast<float>(static_cast<long double>(sum) + AverageSeriesValue(sample, average));
        }
    };
    sentLine(&RingSample::sent1, sent1, true);
    sentLine(&RingSample::sent2, sent2, false);

    const long double mean = columns > 0 ? static_cast<long double>(sum) / columns : 0.0L;
    if (average != AverageChoice::None && columns > 0)
    {
        const int64_t row = Row(h - mean * s);
        if (row >= 0 && row < h)
            paint.row(static_cast<int>(row), 2, w - 2, BgrToArgb(0xFFFFFFu - (colours.received1 & 0xFFFFFFu)));
    }
    paint.transposeInto(image);
    return static_cast<int32_t>(std::clamp(std::trunc(mean), -2147483648.0L, 2147483647.0L));
}

MeterFormLayout FormResizeLayout(const MeterLayoutInput& in)
{
    MeterFormLayout out;
    const int width = std::max(0, in.client.width());
    out.clientHeight = std::max(0, in.client.height());
    int titleHeight = std::clamp(in.titleHeight, kTitleMinHeight, kTitleMaxHeight);
    if (!in.graphShown)
    {
        titleHeight = std::clamp(out.clientHeight, kTitleMinHeight, kTitleMaxHeight);
        out.clientHeight = std::min(out.clientHeight, kTitleMaxHeight);
        out.fitTitleFont = !in.compact;
    }
    out.shape1 = QRect(0, 0, width, titleHeight);
    out.label1Left = (width - in.snapshotIconWidth - in.titleTextWidth) / 2;
    const int panelHeight = std::max(0, out.clientHeight - titleHeight);
    out.shape2 = QRect(0, titleHeight, width, panelHeight);
    out.image1Left = width - 22;
    out.im2 = QRect(kGraphLeft, kGraphTop, std::max(0, width - kGraphLeft), panelHeight);
    out.im1 = QRect(0, kGraphTop, out.im2.width() + kLegendExtraWidth, panelHeight);
    return out;
}

QFont FitTitleFont(QFont font, const QString& text, int available, int titleHeight)
{
    // A font given in pixels steps in points from its equivalent size.
    if (font.pointSize() <= 0)
        font.setPointSize(std::max(1, QFontInfo(font).pointSize()));
    auto measure = [&](int& width, int& height) {
        const QFontMetrics metrics(font);
        width = metrics.horizontalAdvance(text);
        height = metrics.height();
    };
    int width = 0, height = 0;
    measure(width, height);
    // The upper bound only guards against a text that measures as empty.
    while (width < available && height < titleHeight + 5 && font.pointSize() < 1000)
    {
        font.setPointSize(font.pointSize() + 1);
        measure(width, height);
    }
    while ((width > available || height > titleHeight - 2) && font.pointSize() > 1)
    {
        font.setPointSize(font.pointSize() - 1);
        measure(width, height);
    }
    return font;
}

TitleText PlaceTitleText(const QFont& font, const QString& text, QSize titleBar, int iconWidth, bool fit)
{
    // The text never runs under the icon, whatever the window's width or the bar's height.
    const int area = titleBar.width() - iconWidth;
    TitleText out;
    out.font = fit ? FitTitleFont(font, text, area - 2, titleBar.height()) : font;
    const QFontMetrics metrics(out.font);
    const int textWidth = metrics.horizontalAdvance(text);
    out.rect = QRect((area - textWidth) / 2, std::max(0, (titleBar.height() - metrics.height()) / 2), textWidth + 1,
                     metrics.height());
    return out;
}
