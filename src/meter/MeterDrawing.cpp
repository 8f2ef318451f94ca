// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterDrawing.h"

#include "common/Colour.h"
#include "common/NumberText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

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

history_columns::Colours GraphColours(const MeterColours& colours)
{
    history_columns::Colours c;
    c.received1 = BgrToArgb(colours.received1);
    c.received2 = BgrToArgb(colours.received2);
    c.sent1 = BgrToArgb(colours.sent1);
    c.sent2 = BgrToArgb(colours.sent2);
    c.intersection = BgrToArgb(colours.intersection);
    c.background = BgrToArgb(kMeterBackground);
    return c;
}

// The average line is drawn in the complement of the received-1 colour.
QRgb AverageColour(const MeterColours& colours)
{
    return BgrToArgb(0xFFFFFFu - (colours.received1 & 0xFFFFFFu));
}

QString LegendValueText(const LegendInput& in, long double divisor, int i)
{
    const long double f = in.fullScale, m = in.unitMultiplier;
    const long double top = std::floor(f / divisor * m * 10.0L) * 0.1L;
    const long double below = std::floor(f / in.gradations * i * m / divisor * 10.0L) * 0.1L;
    return FloatText(top - below);
}

} // namespace

float LegendPixelScale(const LegendInput& in)
{
    return PixelScale(in.graphSize.height(), std::max<int32_t>(in.fullScale, 1));
}

Legend LegendLayout(const LegendInput& in)
{
    Legend legend;
    legend.unit = QStringLiteral(" B");
    legend.divisor = 1;
    const int h = in.graphSize.height();
    const int32_t f = std::max<int32_t>(in.fullScale, 1);
    const int n = std::max(in.gradations, 0);
    legend.pixelScale = LegendPixelScale(in);
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
    using namespace history_columns;
    if (image.size() != graphSize || image.format() != QImage::Format_RGB32)
        image = QImage(graphSize, QImage::Format_RGB32);
    if (image.isNull())
        return 0;
    const int w = graphSize.width(), h = graphSize.height();
    m_columns.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite);
    ColumnSink paint(m_columns.data(), w, h);
    PaintColumns(paint, w, h, ring, pixelScale, GraphColours(colours), m_rows);
    const AverageLine line = AverageOf(ring, w, h, pixelScale, average);
    if (line.row >= 0)
        paint.row(static_cast<int>(line.row), 2, w - 2, AverageColour(colours));
    paint.transposeInto(reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / 4);
    return line.value;
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

TitleText TitleFitter::place(const QFont& font, const QString& text, QSize titleBar, int iconWidth, bool fit)
{
    if (m_placed && text == m_text && titleBar == m_titleBar && iconWidth == m_iconWidth && fit == m_fit &&
        font == m_font)
        return m_place;
    if (!(font == m_font))
    {
        m_font = font;
        QFont style = font;
        style.setPointSize(1);
        if (!(style == m_style))
        {
            m_style = style;
            m_sizes.clear();
            m_heights.clear();
        }
    }
    const int area = titleBar.width() - iconWidth;
    TitleText out;
    int textHeight = 0;
    if (fit)
    {
        // A font given in pixels steps in points from its equivalent size.
        const int start = font.pointSize() > 0 ? font.pointSize() : std::max(1, QFontInfo(font).pointSize());
        const int size = fittedSize(start, text, area - 2, titleBar.height());
        out.font = sized(size);
        textHeight = height(size);
    }
    else
    {
        out.font = font;
        textHeight = QFontMetrics(font).height();
    }
    const int textWidth = width(out.font, text);
    out.rect =
        QRect((area - textWidth) / 2, std::max(0, (titleBar.height() - textHeight) / 2), textWidth + 1, textHeight);
    m_placed = true;
    m_text = text;
    m_titleBar = titleBar;
    m_iconWidth = iconWidth;
    m_fit = fit;
    m_place = out;
    return out;
}

int TitleFitter::fittedSize(int start, const QString& text, int available, int titleHeight)
{
    // The stepwise fit never grows past 1000 points, nor shrinks below 1.
    const int limit = std::max(1000, start);
    int size = std::clamp(start, 1, limit);
    if (height(size) <= titleHeight - 2)
        while (size < limit && height(size + 1) <= titleHeight - 2)
            ++size;
    else
        while (size > 1 && height(size) > titleHeight - 2)
            --size;
    while (size > 1 && width(sized(size), text) > available)
        --size;
    // Growing stops at the first size whose text is as wide as the space, which fits.
    if (size > start && width(sized(size), text) == available)
        while (size > start && width(sized(size - 1), text) == available)
            --size;
    return size;
}

const QFont& TitleFitter::sized(int pointSize)
{
    const auto index = static_cast<size_t>(pointSize);
    if (m_sizes.size() <= index)
        m_sizes.resize(index + 1);
    if (!m_sizes[index])
    {
        QFont font = m_font;
        font.setPointSize(pointSize);
        m_sizes[index] = font;
    }
    return *m_sizes[index];
}

int TitleFitter::height(int pointSize)
{
    const auto index = static_cast<size_t>(pointSize);
    if (m_heights.size() <= index)
        m_heights.resize(index + 1, -1);
    if (m_heights[index] < 0)
        m_heights[index] = QFontMetrics(sized(pointSize)).height();
    return m_heights[index];
}

int TitleFitter::width(const QFont& font, const QString& text)
{
    if (text != m_measuredText || !(font == m_measuredFont))
    {
        m_measuredFont = font;
        m_measuredText = text;
        // Shaped once for the measurement and kept for the drawing: shaping costs more than drawing the glyphs.
        auto layout = std::make_shared<QTextLayout>(text, font);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        const QTextLine line = layout->createLine();
        layout->endLayout();
        // As QFontMetrics::horizontalAdvance rounds the same sum of advances.
        m_measuredWidth = line.isValid() ? qRound(line.horizontalAdvance()) : 0;
        m_shaped = std::move(layout);
    }
    return m_measuredWidth;
}

// ---- The scrolling graph

namespace
{
// First row of a column that departs from an unpainted one (white row 0, background below): the rows
// above it are the same in every such column, so sliding them over each other changes nothing.
int ColumnTop(const QRgb* column, int height, QRgb background)
{
    if (height == 0 || column[0] != kWhite)
        return 0;
    for (int y = 1; y < height; ++y)
        if (column[y] != background)
            return y;
    return height;
}

// The runs of the one column being drawn.
struct OneColumnSink
{
    QRgb* bits;
    int height;

    void run(int, int64_t top, int64_t bottom, QRgb colour) const
    {
        const int64_t a = std::max<int64_t>(top, 0), b = std::min<int64_t>(bottom, height - 1);
        if (a <= b)
            std::fill(bits + a, bits + b + 1, colour);
    }
};
} // namespace

bool ScrollingGraph::setLegend(const QImage& legend)
{
    m_valid = false;
    m_legendSize = QSize();
    m_legend.clear();
    m_legendRows.clear();
    if (legend.isNull())
        return true;
    if (legend.devicePixelRatio() != 1.0)
        return false;
    const int w = std::max(0, legend.width() - kLegendExtraWidth), h = legend.height();
    const QImage argb = legend.convertToFormat(QImage::Format_ARGB32);
    m_legendRows.assign(static_cast<size_t>(h) + 1, 0);
    for (int y = 0; y < h; ++y)
    {
        m_legendRows[static_cast<size_t>(y)] = static_cast<int>(m_legend.size());
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y)) + kGraphLeft;
        for (int x = 0; x < w; ++x)
        {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0)
                continue;
            if (alpha != 255)
            {
                setLegend(QImage());
                return false;
            }
            m_legend.push_back({x, line[x]});
        }
    }
    m_legendRows[static_cast<size_t>(h)] = static_cast<int>(m_legend.size());
    m_legendSize = QSize(w, h);
    return true;
}

void ScrollingGraph::copyOut(const QRect& part, QRgb* out, qsizetype stride) const
{
    const QRect area = part & QRect(QPoint(0, 0), size());
    if (area.isEmpty())
        return;
    const int w = m_size.width();
    const bool legend = legendFits();
    // The average line runs from the third column to the last but one, under the legend.
    const int lineLeft = std::max(2, area.left()), lineRight = std::min(w - 2, area.right());
    const int x0 = part.left();
    for (int y = area.top(); y <= area.bottom(); ++y)
    {
        // Indexed by the picture's column less x0.
        QRgb* line = out + (y - part.top()) * stride;
        const QRgb* graph = m_shown.data() + y * m_stride + m_left;
        std::copy(graph + area.left(), graph + area.right() + 1, line + (area.left() - x0));
        if (y == m_averageRow && lineLeft <= lineRight)
            std::fill(line + (lineLeft - x0), line + (lineRight - x0 + 1), m_averageColour);
        if (!legend)
            continue;
        const LegendPixel* first = m_legend.data() + m_legendRows[static_cast<size_t>(y)];
        const LegendPixel* end = m_legend.data() + m_legendRows[static_cast<size_t>(y) + 1];
        for (const LegendPixel* p = first; p != end; ++p)
            if (p->x >= area.left() && p->x <= area.right())
                line[p->x - x0] = p->colour;
    }
}

QImage ScrollingGraph::picture() const
{
    if (!m_valid)
        return QImage();
    QImage image(m_size, QImage::Format_RGB32);
    copyOut(image.rect(), reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / qsizetype(sizeof(QRgb)));
    return image;
}

ScrollingGraph::Drawn ScrollingGraph::update(QSize graphSize, const HistoryRing& ring, float pixelScale,
                                             const MeterColours& colours, AverageChoice average)
{
    using namespace history_columns;
    Drawn drawn;
    const int w = graphSize.width(), h = graphSize.height();
    if (w <= 0 || h <= 0)
    {
        m_valid = false;
        return drawn;
    }
    const AverageLine line = AverageOf(ring, w, h, pixelScale, average);
    drawn.average = line.value;
    const uint64_t pushes = ring.changes() - m_ringChanges;
    m_ringChanges = ring.changes();
    const bool same =
        m_valid && graphSize == m_size && pixelScale == m_scale && colours == m_colours && average == m_average;
    if (same && pushes == 0)
        return drawn;
    m_size = graphSize;
    m_scale = pixelScale;
    m_colours = colours;
    m_average = average;
    m_averageColour = AverageColour(colours);
    const int64_t oldRow = m_averageRow;
    m_averageRow = line.row;
    const Colours c = GraphColours(colours);
    if (!same || pushes > 1)
    {
        drawAll(ring, c);
        m_valid = true;
        m_top = topRow();
        drawn.changed = QRect(QPoint(0, 0), graphSize);
        return drawn;
    }
    slide();
    drawEdges(ring, c);
    // Above every column's first painted row the slide changed nothing.
    const int top = topRow();
    if (std::min(m_top, top) < h)
        drawn.changed = QRect(0, std::min(m_top, top), w, h - std::min(m_top, top));
    m_top = top;
    // A row of the average line, outside the sliding part: a bounding rectangle keeps the repaint a plain copy.
    if (oldRow != line.row)
        for (const int64_t row : {oldRow, line.row})
            if (row >= 0)
                drawn.changed |= QRect(0, static_cast<int>(row), w, 1);
    return drawn;
}

void ScrollingGraph::drawAll(const HistoryRing& ring, const history_columns::Colours& colours)
{
    using namespace history_columns;
    const int w = m_size.width(), h = m_size.height();
    m_stride = 2 * static_cast<qsizetype>(w);
    m_shown.resize(static_cast<size_t>(m_stride) * static_cast<size_t>(h));
    m_tops.resize(static_cast<size_t>(m_stride));
    m_left = 0;
    m_columns.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite);
    ColumnSink paint(m_columns.data(), w, h);
    PaintColumns(paint, w, h, ring, m_scale, colours, m_rows);
    paint.transposeInto(m_shown.data(), m_stride);
    // Rows worked out for another height or scale are of no use.
    m_slotRows.assign(HistoryRing::kSlots, SlotRows{});
    for (size_t age = 0; age < m_rows.size(); ++age)
        m_slotRows[static_cast<size_t>(ring.RingSlot(static_cast<int>(age)))] = {true, ring.at(static_cast<int>(age)),
                                                                                 m_rows[age]};
    for (int x = 0; x < w; ++x)
        m_tops[static_cast<size_t>(x)] =
            ColumnTop(m_columns.data() + static_cast<qsizetype>(x) * h, h, colours.background);
}

void ScrollingGraph::slide()
{
    const int w = m_size.width(), h = m_size.height();
    if (m_left + 1 + w <= m_stride)
    {
        ++m_left;
        return;
    }
    // Out of room on the right: the picture goes back to the start of the buffer, less its first column.
    for (int y = 0; y < h; ++y)
    {
        QRgb* line = m_shown.data() + y * m_stride;
        std::copy(line + m_left + 1, line + m_left + w, line);
    }
    std::copy(m_tops.begin() + m_left + 1, m_tops.begin() + m_left + w, m_tops.begin());
    m_left = 0;
}

void ScrollingGraph::drawEdges(const HistoryRing& ring, const history_columns::Colours& colours)
{
    using namespace history_columns;
    const int w = m_size.width(), h = m_size.height();
    // Both edges stay unpainted; the newest columns and the oldest one change with their neighbours.
    int edges[5];
    int count = 0;
    for (const int x : {0, 1, w - 3, w - 2, w - 1})
        if (x >= 0 && x < w && (count == 0 || x > edges[count - 1]))
            edges[count++] = x;
    m_edgeColumns.assign(static_cast<size_t>(count) * static_cast<size_t>(h), kWhite);
    // A sample's rows, worked out in long double, stay the same as it ages: they are kept by ring slot.
    const auto rows = [&](int age) -> const AgeRows& {
        SlotRows& kept = m_slotRows[static_cast<size_t>(ring.RingSlot(age))];
        const RingSample& sample = ring.at(age);
        if (!kept.valid || kept.sample.received1 != sample.received1 || kept.sample.sent1 != sample.sent1 ||
            kept.sample.received2 != sample.received2 || kept.sample.sent2 != sample.sent2)
            kept = {true, sample, RowsOf(sample, h, m_scale)};
        return kept.rows;
    };
    for (int k = 0; k < count; ++k)
    {
        QRgb* column = m_edgeColumns.data() + static_cast<qsizetype>(k) * h;
        OneColumnSink sink{column, h};
        PaintColumn(sink, edges[k], w, h, rows, colours);
        m_tops[static_cast<size_t>(m_left + edges[k])] = ColumnTop(column, h, colours.background);
    }
    // Row by row, so that each row's cache lines are touched once.
    for (int y = 0; y < h; ++y)
    {
        QRgb* line = m_shown.data() + y * m_stride + m_left;
        for (int k = 0; k < count; ++k)
            line[edges[k]] = m_edgeColumns[static_cast<size_t>(k) * static_cast<size_t>(h) + static_cast<size_t>(y)];
    }
}

int ScrollingGraph::topRow() const
{
    // The edge columns are always white.
    const int w = m_size.width();
    int top = m_size.height();
    for (int x = 1; x < w - 1; ++x)
        top = std::min(top, m_tops[static_cast<size_t>(m_left + x)]);
    return top;
}
