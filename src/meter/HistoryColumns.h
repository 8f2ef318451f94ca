// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One column of the meter's graph, as both the whole drawing and the scrolling one paint it. Column x of
// a graph w wide shows the sample of age w - 2 - x; columns 0 and w - 1 and row 0 are never painted.
// The move-to/line-to sequence of the graph leaves in column x its own areas and sent-line steps, the
// second half of the diagonal coming from column x + 1 and the first half of the one going to column
// x - 1, so a column is a function of three neighbouring samples.

#include "meter/HistoryRing.h"
#include "meter/MeterTick.h"

#include <QRgb>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace history_columns
{
// trunc(y) as a row. A value far above the full scale lands far outside the image; the bound
// only keeps that arithmetic in range. Rounding to nearest and stepping back toward zero avoids
// the truncating conversion, which on x87 reloads the control word twice and dominated a tick.
inline int64_t Row(long double y)
{
    constexpr long double kLimit = 1e15L;
    y = std::clamp(y, -kLimit, kLimit);
    int64_t n = std::llrint(y);
    const long double back = static_cast<long double>(n);
    if (y >= 0 ? back > y : back < y)
        n += y >= 0 ? -1 : 1;
    return n;
}

struct Colours
{
    QRgb received1 = 0;
    QRgb received2 = 0;
    QRgb sent1 = 0;
    QRgb sent2 = 0;
    QRgb intersection = 0;
    QRgb background = 0;
};

// The rows one sample's values reach.
struct AgeRows
{
    bool firstAbove = false; // received 1 above received 2
    int64_t received1 = 0;
    int64_t received2 = 0;
    int64_t above1 = 0; // one row above sent 1: the sent lines are two pixels high
    int64_t sent1 = 0;
    int64_t above2 = 0;
    int64_t sent2 = 0;
};

inline AgeRows RowsOf(const RingSample& sample, int h, long double s)
{
    auto y = [&](int32_t v) { return Row(h - v * s); };
    AgeRows rows;
    rows.firstAbove = sample.received1 > sample.received2;
    rows.received1 = y(sample.received1);
    rows.received2 = y(sample.received2);
    rows.above1 = Row(h - sample.sent1 * s - 1);
    rows.sent1 = y(sample.sent1);
    rows.above2 = Row(h - sample.sent2 * s - 1);
    rows.sent2 = y(sample.sent2);
    return rows;
}

// A sink takes run(x, top, bottom, colour): rows top to bottom included, clipped by the sink.

// Rows from (included) towards to (excluded), as a line-to along one column.
template <class Sink> void Segment(Sink& sink, int x, int64_t from, int64_t to, QRgb colour)
{
    if (from < to)
        sink.run(x, from, to - 1, colour);
    else if (from > to)
        sink.run(x, to + 1, from, colour);
}

// The line-to from (x + 1, from) to (x, to) keeps the first half of its rows (the odd middle one
// included) in column x + 1, its head; the rest, its tail, lies in column x.
template <class Sink> void DiagonalHead(Sink& sink, int headColumn, int64_t from, int64_t to, QRgb colour)
{
    const int64_t n = to > from ? to - from : from - to;
    if (n == 0)
    {
        sink.run(headColumn, from, from, colour);
        return;
    }
    const int64_t firstHalf = (n + 1) / 2;
    if (to > from)
        sink.run(headColumn, from, from + firstHalf - 1, colour);
    else
        sink.run(headColumn, from - firstHalf + 1, from, colour);
}

template <class Sink> void DiagonalTail(Sink& sink, int tailColumn, int64_t from, int64_t to, QRgb colour)
{
    const int64_t n = to > from ? to - from : from - to;
    if (n == 0)
        return;
    const int64_t firstHalf = (n + 1) / 2;
    if (to > from)
        sink.run(tailColumn, from + firstHalf, to - 1, colour);
    else
        sink.run(tailColumn, to + 1, from - firstHalf, colour);
}

// Column x of a graph w × h, without the average line; rows(age) gives the AgeRows of an age. The areas
// come first, then sent 1, then sent 2, as in the whole drawing, so the column ends up the same.
template <class Sink, class Rows> void PaintColumn(Sink& sink, int x, int w, int h, const Rows& rows, const Colours& c)
{
    const int columns = w - 2;
    const int i = w - 2 - x;
    if (i < 0 || i >= columns)
        return;
    const AgeRows own = rows(i);
    if (own.firstAbove)
    {
        Segment(sink, x, h, own.received2, c.intersection);
        Segment(sink, x, own.received2, own.received1, c.received1);
        Segment(sink, x, own.received1, 0, c.background);
    }
    else
    {
        Segment(sink, x, h, own.received1, c.intersection);
        Segment(sink, x, own.received1, own.received2, c.received2);
        Segment(sink, x, own.received2, 0, c.background);
    }
    const bool hasNewer = i > 0, hasOlder = i + 1 < columns;
    const AgeRows newer = hasNewer ? rows(i - 1) : AgeRows{};
    const AgeRows older = hasOlder ? rows(i + 1) : AgeRows{};
    auto sentLine = [&](int64_t AgeRows::*above, int64_t AgeRows::*value, QRgb colour) {
        // The newest sample rises from the bottom edge.
        if (hasNewer)
            DiagonalTail(sink, x, newer.*value, own.*above, colour);
        else
            Segment(sink, x, h, own.*above, colour);
        Segment(sink, x, own.*above, own.*value, colour);
        if (hasOlder)
            DiagonalHead(sink, x, own.*value, older.*above, colour);
    };
    sentLine(&AgeRows::above1, &AgeRows::sent1, c.sent1);
    sentLine(&AgeRows::above2, &AgeRows::sent2, c.sent2);
}

// Vertical runs into a column-major buffer, where each run is contiguous memory; writing the
// columns of a row-major image directly would touch one cache line per pixel.
class ColumnSink
{
public:
    ColumnSink(QRgb* columns, int width, int height) : m_bits(columns), m_width(width), m_height(height) {}

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

    // Copies the columns into row-major pixels, in tiles that stay in cache.
    void transposeInto(QRgb* out, qsizetype stride) const
    {
        constexpr int kTile = 16;
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

// Every column of a graph w × h, without the average line; rows is working space.
template <class Sink>
void PaintColumns(Sink& sink, int w, int h, const HistoryRing& ring, long double s, const Colours& colours,
                  std::vector<AgeRows>& rows)
{
    const int columns = std::max(0, w - 2);
    rows.resize(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i)
        rows[static_cast<size_t>(i)] = RowsOf(ring.at(i), h, s);
    const auto rowsOf = [&rows](int age) -> const AgeRows& { return rows[static_cast<size_t>(age)]; };
    for (int x = 1; x <= columns; ++x)
        PaintColumn(sink, x, w, h, rowsOf, colours);
}

// The average line across columns 2 to w - 2: the mean of the drawn samples, summed in single
// precision from the newest. The value is computed whether the line is drawn or not.
struct AverageLine
{
    int32_t value = 0;
    int64_t row = -1; // -1: no line
};

inline AverageLine AverageOf(const HistoryRing& ring, int w, int h, long double s, AverageChoice average)
{
    const int columns = w - 2;
    // The sum is a whole number far below 2^53, so each addition is exact in double as in long double and
    // rounds to the same float; double keeps the loop off the x87 unit.
    float sum = 0;
    for (int i = 0; i < columns; ++i)
        sum = static_cast<float>(static_cast<double>(sum) + AverageSeriesValue(ring.at(i), average));
    const long double mean = columns > 0 ? static_cast<long double>(sum) / columns : 0.0L;
    AverageLine line;
    line.value = static_cast<int32_t>(std::clamp(std::trunc(mean), -2147483648.0L, 2147483647.0L));
    if (average != AverageChoice::None && columns > 0)
    {
        const int64_t row = Row(h - mean * s);
        if (row >= 0 && row < h)
            line.row = row;
    }
    return line;
}
} // namespace history_columns
