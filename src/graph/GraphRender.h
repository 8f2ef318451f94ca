// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ScaleItems.h"

#include "graph/HistoryLoader.h"

#include <QDate>
#include <QFont>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTime>

#include <array>
#include <cstdint>

// Drawing the history graph: the series and the frame on the plot layer, the time and value axes on the
// axes layer. Every function is a function of its inputs; colours come as 0xBBGGRR values.
namespace graph
{
inline constexpr uint32_t kBackgroundBgr = 0xF5F5F5; // 16119285, the drawing area's light grey
inline constexpr uint32_t kBoundaryBgr = 0x0000FF;   // 255, red
// Where the plot layer sits inside the axes layer: margins for the value labels and the top.
inline constexpr int32_t kPlotDx = 90;
inline constexpr int32_t kPlotDy = 12;
inline constexpr int32_t kPlotRightMargin = 10;
inline constexpr int32_t kPlotBottomMargin = 23; // the time labels

struct SeriesColours
{
    uint32_t receive = 0x00CC00;
    uint32_t send = 0xFF0000;
    uint32_t receivePeak = 0x006600;
    uint32_t sendPeak = 0xFF00FF;
};

struct PlotInput
{
    const ColumnBuffer* columns = nullptr;
    int32_t width = 600;  // W
    int32_t height = 200; // H
    int32_t secondsPerColumn = 300;
    DirectionParams direction;
    float pixelsPerRate = 0; // P
    bool drawPeaks = false;  // peaks asked for and the period is not "Journée"
    SeriesColours colours;
};

// Peaks are drawn when asked for ("Dessiner pics"), except in "Journée".
inline bool DrawsPeaks(Period period, bool asked)
{
    return asked && period != Period::Day;
}

// "Effacer" on the plot layer: W × H filled with the background colour.
QImage ErasedPlot(int32_t width, int32_t height);
// Received peaks, received bars, sent peaks, sent line; buffer column j at x = j + σ.
void DrawSeries(QImage& plot, const PlotInput& input);
// Black outline from (1, 0) to (W − 1, H − 1).
void DrawFrame(QImage& plot);
// ErasedPlot + DrawSeries + DrawFrame.
QImage RenderPlot(const PlotInput& input);

// Sans-serif labels at a small size, without antialiasing so that pictures keep few colours.
QFont AxesFont();

struct AxesInput
{
    Period period = Period::Day;
    QDate date;           // the selected date
    QTime timeOfDay;      // the current local time: hour and minute
    int32_t width = 600;  // W
    int32_t height = 200; // H
    int32_t dx = kPlotDx;
    int32_t dy = kPlotDy;
    DirectionParams direction;
    int32_t scale = 65536; // V
    int32_t bitsMultiplier = 1;
    Unit unit;
    float pixelsPerRate = 0; // P
    int32_t graduations = 8; // G, 1 to 999
    QFont font = AxesFont();
};

struct TimeTick
{
    int32_t x = 0;
    bool boundary = false; // drawn in red: midnight, Monday, January
    QString label;         // empty when the tick has none
    int32_t labelX = 0;    // left edge of the label
    bool labelShown = false;
};
QList<TimeTick> TimeAxisTicks(const AxesInput& input);

struct ValueLine
{
    int32_t y = 0;
    QString label;
    bool labelShown = false;
    int32_t labelX = 0;
    int32_t labelY = 0;
};
struct ValueAxis
{
    float gridStep = 0;     // g
    int32_t spacing = 0;    // L: one line in L is labelled; 0 labels every line
    QList<ValueLine> lines; // G lines, from the top
    ValueLine bottom;       // "0" and the unit, always shown
    int32_t bottomTickY = 0;
};
ValueAxis ValueAxisLayout(const AxesInput& input);

// "Effacer" on the axes layer: white, which is its transparent colour.
QImage ErasedAxes(QSize size);
// The axes layer of the given size (the drawing area): transparent but for ticks, grid and labels.
// At a device pixel ratio above 1 the same lines cover the same logical pixels and the labels are
// drawn at the finer resolution.
QImage RenderAxes(const AxesInput& input, QSize size, qreal devicePixelRatio = 1.0);
// What the user sees: the background, the plot at (dx, dy) and the axes over it.
QImage ComposeGraph(const QImage& plot, const QImage& axes, int32_t dx = kPlotDx, int32_t dy = kPlotDy);

// Everything a draw needs besides the load: the window's controls and the configuration colours.
struct GraphOptions
{
    Period period = Period::Day;
    int32_t graduations = 8; // gradspin
    bool peaksAsked = true;  // cbmx
    SeriesColours colours;
    QSize axesSize{700, 235}; // im1
    QFont font = AxesFont();
    qreal devicePixelRatio = 1.0; // the screen's
};
struct GraphLayers
{
    QImage plot; // im2: the series and the frame
    QImage axes; // im1: transparent but for ticks, grid and labels
    // The axes at the screen's device pixel ratio when it is not 1 (pictures keep the 1x layer).
    QImage screenAxes;
};
// The two layers of a finished load, drawn as the end of the draw action does.
GraphLayers DrawGraph(const ColumnBuffer& columns, const LoadRequest& request, const LoadResult& result,
                      const GraphOptions& options);

// The drawing area after a resize, in window client coordinates: shape and im1 keep 8 pixels of margin
// on both sides from top 120 down; im2 keeps 90 pixels on the left, 12 at the top, 10 on the right and
// 23 at the bottom inside them, which at the design client size 716 × 355 gives the designed 600 × 200
// plot inside 700 × 235.
struct DrawingAreaLayout
{
    QRect shape;      // also im1
    QRect plot;       // im2
    QString sizeText; // Label7: "<width>x<height>" of im1
};
DrawingAreaLayout LayoutDrawingArea(QSize clientSize);

// The scale list (0 for "Automatique" and "Manuel", which the spin edit shows as 1).
using ScalePreset = ScaleItem;
inline constexpr int kDefaultScaleItem = 2;
inline constexpr int kAutomaticScaleItem = 7;
inline constexpr int kManualScaleItem = 8;
inline const std::array<ScalePreset, 9>& ScalePresets()
{
    return ScaleItems();
}
} // namespace graph
