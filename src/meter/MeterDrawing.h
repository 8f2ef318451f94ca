#pragma once

#include "meter/HistoryRing.h"
#include "meter/MeterTick.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

// The five graph colours as the configuration window's edits hold them (0xBBGGRR, low byte red).
struct MeterColours
{
    uint32_t received1 = 0x00CC00;
    uint32_t sent1 = 0xFF0000;
    uint32_t received2 = 0x006600;
    uint32_t sent2 = 0xFF00FF;
    uint32_t intersection = 0x01E5DD;
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
