// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "meter/HistoryColumns.h"
#include "meter/HistoryRing.h"
#include "meter/MeterTick.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QTextLayout;

// The five graph colours as the configuration window's edits hold them (0xBBGGRR, low byte red).
struct MeterColours
{
    uint32_t received1 = 0x00CC00;
    uint32_t sent1 = 0xFF0000;
    uint32_t received2 = 0x006600;
    uint32_t sent2 = 0xFF00FF;
    uint32_t intersection = 0x01E5DD;

    bool operator==(const MeterColours&) const = default;
};

// Colour of the title bar, the graph panel and the graph's empty part: red, green and blue 245.
inline constexpr uint32_t kMeterBackground = 16119285;
inline constexpr int kGraphLeft = 48;        // im2 left
inline constexpr int kGraphTop = 18;         // im2 and im1 top
inline constexpr int kLegendExtraWidth = 64; // im1 is this much wider than im2

struct LegendInput
{
    int32_t fullScale = 65536; // spdspin, bytes per second at the top edge
    int gradations = 4;        // gradspin, horizontal lines
    int verticalSpacing = 30;  // hspin, columns between vertical lines
    int unitMultiplier = 8;    // 1 with "Octets", 8 with "Bits"
    QSize graphSize;           // im2
    QFont font;                // the canvas font of im1

    bool operator==(const LegendInput&) const = default;
};

struct LegendLabel
{
    int lineY = 0;  // the gradation line it belongs to
    QPoint topLeft; // where its text starts in im1
    QString text;
};

struct Legend
{
    float pixelScale = 0;
    long double divisor = 1;         // 1, 1024 or 1048576
    QString unit;                    // " B", " K" or " M"
    int step = 0;                    // pixels between horizontal lines
    int labelEvery = 1;              // lines per label
    std::vector<LegendLabel> labels; // the labels drawn, top first
};

// The legend's numbers and label placement, also needed while the graph is hidden (pixel scale).
Legend LegendLayout(const LegendInput& input);
// LegendLayout's pixel scale alone, without measuring the labels.
float LegendPixelScale(const LegendInput& input);
// im1's picture, (graph width + 64) × graph height: frame, dotted gradations, labels, zero tick.
// White is see-through: those pixels come out fully transparent. At a device pixel ratio above 1 the
// lines cover the same logical pixels and the labels are drawn at the finer resolution.
QImage DrawLegend(const LegendInput& input, qreal devicePixelRatio = 1.0);

// Paints the history ring into image (made graph-sized, RGB32, when it is not) with the newest
// sample at the right, and returns the average value in bytes per second. Columns are filled as
// vertical runs of pixels; the result is the raster of the move-to/line-to sequence of the
// meter's graph (lines exclude their end point).
int32_t DrawHistory(QImage& image, QSize graphSize, const HistoryRing& ring, float pixelScale,
                    const MeterColours& colours, AverageChoice average);

// The same, keeping its working buffer between ticks (the meter window holds one).
class HistoryPainter final
{
public:
    int32_t DrawHistory(QImage& image, QSize graphSize, const HistoryRing& ring, float pixelScale,
                        const MeterColours& colours, AverageChoice average);

private:
    std::vector<QRgb> m_columns; // column-major, so that every vertical run is contiguous
    std::vector<history_columns::AgeRows> m_rows;
};

// The meter's graph with the legend laid over it, kept from tick to tick. After one new sample the graph
// slides a column to the left in its buffer and only the columns at both ends are drawn; anything else
// (another size, scale, colour or average choice, a new legend, several samples at once) draws it all
// again. The average line and the legend stay out of the buffer: they are laid over the graph as its
// pixels are copied out, so that the slide never has to put them right. Pixel for pixel the picture is
// DrawHistory's with the legend's opaque pixels over it.
class ScrollingGraph final
{
public:
    // DrawLegend's picture at a device pixel ratio of 1, whose columns from kGraphLeft on lie over the
    // graph; a null picture for none. False, and no legend, when a pixel is neither opaque nor clear.
    bool setLegend(const QImage& legend);

    struct Drawn
    {
        QRect changed;     // the part of the picture that differs from the last one
        int32_t average{}; // as DrawHistory returns it
    };
    Drawn update(QSize graphSize, const HistoryRing& ring, float pixelScale, const MeterColours& colours,
                 AverageChoice average);

    // The picture's size; empty before the first update or after one at an empty size.
    QSize size() const { return m_valid ? m_size : QSize(); }
    // Writes part of the picture (inside it) into out, row by row, stride pixels apart.
    void copyOut(const QRect& part, QRgb* out, qsizetype stride) const;
    // The whole picture, RGB32.
    QImage picture() const;

private:
    struct LegendPixel
    {
        int x = 0;
        QRgb colour = 0;
    };
    void drawAll(const HistoryRing& ring, const history_columns::Colours& colours);
    void slide();
    // The columns at both ends, after a slide.
    void drawEdges(const HistoryRing& ring, const history_columns::Colours& colours);
    int topRow() const;
    bool legendFits() const { return m_legendSize == m_size; }

    QSize m_size;
    float m_scale = 0;
    MeterColours m_colours;
    AverageChoice m_average = AverageChoice::None;
    uint64_t m_ringChanges = 0;
    bool m_valid = false;

    // The graph alone is the columns from m_left on of a buffer twice its width.
    std::vector<QRgb> m_shown;
    qsizetype m_stride = 0;
    int m_left = 0;
    std::vector<int> m_tops; // by buffer column: the first row that departs from an unpainted column
    int m_top = 0;           // the least of them over the picture, as last drawn
    int64_t m_averageRow = -1;
    QRgb m_averageColour = 0;

    QSize m_legendSize;
    std::vector<LegendPixel> m_legend; // every opaque pixel over the graph, row by row, left to right
    std::vector<int> m_legendRows;     // index of each row's first legend pixel, plus the end

    // The rows of the sample in each ring slot, at the picture's height and scale.
    struct SlotRows
    {
        bool valid = false;
        RingSample sample;
        history_columns::AgeRows rows;
    };
    std::vector<SlotRows> m_slotRows;

    // Working space, kept from tick to tick.
    std::vector<QRgb> m_columns;
    std::vector<QRgb> m_edgeColumns; // column by column
    std::vector<history_columns::AgeRows> m_rows;
};

// The meter window's layout on a resize (FormResize).
struct MeterLayoutInput
{
    QSize client;               // client area before the layout
    bool graphShown = true;     // cbGr
    bool compact = false;       // micro
    int titleHeight = 19;       // Shape1 height
    int titleTextWidth = 0;     // width of the rate text in Label1's font
    int snapshotIconWidth = 20; // Image1
};

struct MeterFormLayout
{
    int clientHeight = 0; // cut to the title bar's 100 pixels in the graph-hidden layouts
    QRect shape1;         // title bar
    int label1Left = 0;
    int image1Left = 0;
    QRect shape2;              // graph panel
    QRect im2;                 // graph
    QRect im1;                 // legend
    bool fitTitleFont = false; // graph hidden, not compact: fit with the icon's width taken off
};

inline constexpr int kTitleMinHeight = 19;
inline constexpr int kTitleMaxHeight = 100;

MeterFormLayout FormResizeLayout(const MeterLayoutInput& input);

// FitTitleFont: grows the font a point at a time while the text is narrower than available and
// lower than the title bar + 5, then shrinks it while it is wider than available or higher than
// the title bar - 2 (never below 1 point).
QFont FitTitleFont(QFont font, const QString& text, int available, int titleHeight);

// The rate text in the title bar. The snapshot icon sits at the right end; iconWidth is 0 while it
// is hidden (compact mode).
struct TitleText
{
    QFont font; // fitted to the width left of the icon less 2 pixels, when fitting was asked for
    QRect rect; // Label1: the text centred in the width left of the icon, vertically in the bar
};
TitleText PlaceTitleText(const QFont& font, const QString& text, QSize titleBar, int iconWidth, bool fit);

// PlaceTitleText for a title placed on every tick. The stepwise fit measures the text at a dozen sizes;
// with widths and heights that grow with the point size, as a font's do, its answer is the largest size
// that fits, which this finds from the font's heights by size, kept, and one measurement of a new text.
// The same inputs as the last call give the last answer without measuring anything.
class TitleFitter final
{
public:
    TitleText place(const QFont& font, const QString& text, QSize titleBar, int iconWidth, bool fit);
    // The text last placed, laid out in one line in the font it was placed in; null before the first call.
    const std::shared_ptr<const QTextLayout>& shaped() const { return m_shaped; }

private:
    // The font at a point size, and its height; both kept for the font's family and style.
    const QFont& sized(int pointSize);
    int height(int pointSize);
    int width(const QFont& font, const QString& text);
    int fittedSize(int start, const QString& text, int available, int titleHeight);

    QFont m_font;                              // the last font asked for
    QFont m_style;                             // that font at 1 point: the key of the sizes below
    std::vector<std::optional<QFont>> m_sizes; // by point size
    std::vector<int> m_heights;                // by point size; -1 where not measured yet

    QFont m_measuredFont;
    QString m_measuredText;
    int m_measuredWidth = 0;
    std::shared_ptr<const QTextLayout> m_shaped;

    bool m_placed = false;
    QString m_text;
    QSize m_titleBar;
    int m_iconWidth = 0;
    bool m_fit = false;
    TitleText m_place;
};
