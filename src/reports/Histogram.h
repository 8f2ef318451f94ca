// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The histogram window's chart: monthly bars of a year or daily bars of a month.
namespace reports
{
enum class HistogramView
{
    Year = 0,  // "Année": 12 monthly bars
    Month = 1, // "Mois": 31 daily bars
};

enum class Direction
{
    DL,   // received
    UL,   // sent
    DLUL, // both added
};

struct HistogramSelection
{
    int year = 2000;
    int month = 1;
    HistogramView view = HistogramView::Year;
    Direction direction = Direction::DL;
};

// The "+" and "-" buttons; the month wraps into the next or previous year.
HistogramSelection NextMonth(HistogramSelection s);
HistogramSelection PreviousMonth(HistogramSelection s);
HistogramSelection NextYear(HistogramSelection s);
HistogramSelection PreviousYear(HistogramSelection s);

// Bar image and frame image geometry; the bar image sits at (kOffsetX, kOffsetY) in the frame image.
inline constexpr int kBarsWidth = 625;
inline constexpr int kBarsHeight = 265;
inline constexpr int kFrameWidth = 704;
inline constexpr int kFrameHeight = 303;
inline constexpr int kOffsetX = 71;
inline constexpr int kOffsetY = 15;

class HistogramBuckets final
{
public:
    // Zeroes the 31 sums and adds every day line of the selected year (year view) or month (month
    // view) that matches the direction; other lines are skipped.
    void fill(const QStringList& dataLines, const HistogramSelection& selection);
    // Sum of slot i, 1..31 (months 1..12 in the year view); 0 outside.
    float at(int slot) const;
    float largest() const;
    // Pixels per byte: H / (M + M × 0.1 + 0.1), single precision; finite for an all-zero chart.
    float scale() const;

private:
    std::array<float, 32> m_sums{};
};

// Bars as drawn: left and top inclusive, right and bottom exclusive (bottom is the image's height).
// Slot 1 first; 12 in the year view, 31 in the month view.
std::vector<QRect> BarRects(const HistogramBuckets& buckets, HistogramView view);

struct HistogramColours
{
    QColor fill, outline;
};
HistogramColours BarColours(Direction direction);

struct HistogramImages
{
    QImage frame; // imL: axes, ticks, scale labels
    QImage bars;  // imG: the bars
};
// At devicePixelRatio 2 each image has twice the pixels each way, the same drawing in logical pixels.
HistogramImages RenderHistogram(const HistogramBuckets& buckets, const HistogramSelection& selection, const QFont& font,
                                qreal devicePixelRatio = 1.0);

// The vertical scale label of tick j (1..10): megabytes at that height, cut to an integer.
QString ScaleLabel(const HistogramBuckets& buckets, int tick);

// Slot under x on the bar image, 1..12 or 1..31; positions outside the image go to the nearest bar.
int SlotAt(HistogramView view, int x);

// Label1's text for a pointer at x: "7/2003 : 1234 Mo" or "15/7/2003 : 12 Mo"; empty over a slot of
// the month view that the month does not have (30 February).
QString ReadOut(const HistogramBuckets& buckets, const HistogramSelection& selection, int x);

struct ClickOutcome
{
    enum class Action
    {
        None,
        Redraw,      // redraw with the new selection
        OpenHistory, // open the history graph on historyDate; no redraw
    };
    Action action = Action::None;
    HistogramSelection selection;
    QDate historyDate;
};

// A button released over the bar image at x; the month view's left click uses lastPointerX, the
// position of the last pointer move.
ClickOutcome Click(const HistogramSelection& selection, const HistogramBuckets& buckets, Qt::MouseButton button, int x,
                   int lastPointerX);

// The whole redraw's data step: reads dir's nic.inf (none: no lines) and fills the buckets.
HistogramBuckets LoadBuckets(const QString& dir, const HistogramSelection& selection);
} // namespace reports
