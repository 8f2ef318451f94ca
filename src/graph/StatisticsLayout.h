// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QStringList>

// The group "Statistiques": six captions in a column, each value beside its caption. The group is
// also the legend of a saved picture, where it has exactly its design width, so its rows must fit
// whatever the font and however long a value gets (a rate far above the scale).
namespace graph
{
inline constexpr int kStatisticsInset = 6; // left of the captions, and right of the values
inline constexpr int kStatisticsGap = 6;   // between the caption column and the value column

struct StatisticsLayout
{
    QFont font;        // the given font, or a smaller size of it when the rows would not fit otherwise
    int valueLeft = 0; // left edge of the value column
    int width = 0;     // of the group: the rows' width, at least minWidth and at most maxWidth
};

// Lays out the rows in the given font, between minWidth and maxWidth; only when the widest row is
// wider than maxWidth does the font get smaller, until it fits.
StatisticsLayout LayoutStatistics(const QFont& font, const QStringList& captions, const QStringList& values,
                                  int minWidth, int maxWidth);
} // namespace graph
