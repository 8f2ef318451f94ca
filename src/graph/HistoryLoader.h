// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/SampleLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// Loading the five-minute samples of the day files into pixel columns, and the figures shown beside
// the history graph.
namespace graph
{
// Periods in the order of the period list.
enum class Period
{
    Day = 0,   // "Journée"
    Week = 1,  // "Semaine"
    Month = 2, // "Mois"
    Year = 3,  // "Année"
};
inline constexpr int kPeriodCount = 4;
QString PeriodText(Period period);
int32_t SecondsPerColumn(Period period); // 300, 1800, 7200, 86400

enum class Direction
{
    LeftToRight, // "Gauche à Droite": newest data at the left edge
    RightToLeft, // "Droite à Gauche": newest data at the right edge
};

// Origin offset x0, first received column s0 and step sign σ of a direction for a plot W pixels wide.
struct DirectionParams
{
    int32_t x0 = 0;
    int32_t s0 = 1;
    int32_t sigma = 1;
};
DirectionParams DirectionParamsFor(Direction direction, int32_t width);

inline constexpr int kColumnCount = 1024;

struct Column
{
    float sumIn = 0;
    float sumOut = 0;
    float peakIn = 0;
    float peakOut = 0;
};
using ColumnBuffer = std::array<Column, kColumnCount>;

// The day file's line reader and sample parser live with the store, which sums lines the same way.
using store::ParseSampleLine;
using store::Sample;
using store::SampleLineReader;

// round(num / den) with ties to even; den > 0. Inline: with a constant den the divisions become
// multiplications, once per sample of a load.
inline int64_t RoundHalfEven(int64_t num, int64_t den)
{
    int64_t q = num / den;
    int64_t r = num % den;
    if (r < 0)
    {
        --q;
        r += den;
    }
    // now num = q × den + r with 0 <= r < den
    if (2 * r > den || (2 * r == den && (q & 1) != 0))
        ++q;
    return q;
}

// The value and percentage of one label of the group "Statistiques", and its text
// "<value><unit>/s (<percent>%)".
struct StatisticValue
{
    long double value = 0;
    long double percent = 0;
    QString text;
};
enum StatisticIndex
{
    ActualIn = 0,  // actueld
    ActualOut = 1, // actuelu
    MaxIn = 2,     // maxd
    MaxOut = 3,    // maxu
    MeanIn = 4,    // moyd
    MeanOut = 5,   // moyu
};
using Statistics = std::array<StatisticValue, 6>;

struct StatisticsInput
{
    int32_t width = 0;              // W
    int32_t secondsPerColumn = 300; // S
    Direction direction = Direction::LeftToRight;
    int32_t bitsMultiplier = 1; // M
    int32_t scale = 1;          // V
    float unitDivisor = 1;      // U
    QString unitSuffix = QStringLiteral(" B");
    int64_t maxIn = 0;
    int64_t maxOut = 0;
};
Statistics ComputeStatistics(const ColumnBuffer& columns, const StatisticsInput& input);

// The unit of the labels: only ever moves up from " B" to " K" or " M", never back.
struct Unit
{
    QString suffix = QStringLiteral(" B");
    float divisor = 1;
    // V × M above 1024 gives " K", above 1048576 " M"; otherwise the unit stays as it was.
    void update(int64_t scale, int32_t bitsMultiplier);
};

struct LoadRequest
{
    QString directory; // the selected statistics directory
    QDate date;        // the selected date
    QTime timeOfDay;   // the current local time of day
    int32_t secondsPerColumn = 300;
    Direction direction = Direction::LeftToRight;
    int32_t width = 600;  // W, kept within 1 to 1024
    int32_t height = 200; // H
    int32_t bitsMultiplier = 1;
    bool automaticScale = false;
    int32_t scale = 65536;    // the scale when not automatic, 1 to 2147483647
    bool readDayFiles = true; // false when the opening check failed: the graph comes out empty
};

struct LoadResult
{
    int64_t maxIn = 0;
    int64_t maxOut = 0;
    int64_t automaticMax = 0;  // A: largest byte count div 300 of any sample read
    int32_t scale = 1;         // V after the automatic scale
    float pixelsPerRate = 0;   // P = H / V
    DirectionParams direction; // x0, s0, σ of the draw
    Unit unit;                 // the unit after this draw
    Statistics statistics;
    QList<int> daysRead;  // day numbers of the day files found, newest first, ignored ones included
    int skippedFiles = 0; // empty, incomplete, unreadable or ignored day files
    int skippedLines = 0; // lines that did not parse
    // One message per day file found but not read (a link, not a regular file, too large, unreadable).
    QStringList ignoredFiles;
};

// Called once for every day file found, with the progress in percent (0 to 100); the window lets
// pending events run there.
using ProgressFn = std::function<void(int percent)>;

// The draw action's reading: walks the day files backwards from the reference instant (the selected
// date plus the elapsed part of the current day) until the next older day ends outside the plot.
// Holds the column buffer and the unit for the life of the window.
class HistoryLoader final
{
public:
    HistoryLoader() = default;
    HistoryLoader(const HistoryLoader&) = delete;
    HistoryLoader& operator=(const HistoryLoader&) = delete;

    // Nothing when a load is already running (a request made from the progress callback).
    std::optional<LoadResult> load(const LoadRequest& request, const ProgressFn& progress = {});

    const ColumnBuffer& columns() const { return m_columns; }
    const Unit& unit() const { return m_unit; }
    bool loading() const { return m_loading; }

private:
    ColumnBuffer m_columns{};
    Unit m_unit;
    bool m_loading = false;
};

// The busy marker of the graph window: idle when no draw runs. A DrawScope takes it for one draw and
// gives it back (running its exit action: hide the progress panel) on every way out.
class BusyMarker final
{
public:
    bool idle() const { return !m_drawing; }

private:
    friend class DrawScope;
    bool m_drawing = false;
};

class DrawScope final
{
public:
    explicit DrawScope(BusyMarker& marker, std::function<void()> onExit = {});
    ~DrawScope();
    DrawScope(const DrawScope&) = delete;
    DrawScope& operator=(const DrawScope&) = delete;
    // False when a draw was already running: this request is refused.
    bool acquired() const { return m_acquired; }

private:
    BusyMarker& m_marker;
    std::function<void()> m_onExit;
    bool m_acquired = false;
};
} // namespace graph
