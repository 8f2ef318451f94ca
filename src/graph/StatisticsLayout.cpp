// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/StatisticsLayout.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>

namespace graph
{
namespace
{
int Widest(const QFontMetrics& metrics, const QStringList& texts)
{
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest;
}
} // namespace

StatisticsLayout LayoutStatistics(const QFont& font, const QStringList& captions, const QStringList& values,
                                  int minWidth, int maxWidth)
{
    StatisticsLayout layout;
    layout.font = font;
    int pixels = QFontInfo(font).pixelSize();
    for (;;)
    {
        const QFontMetrics metrics(layout.font);
        layout.valueLeft = kStatisticsInset + Widest(metrics, captions) + kStatisticsGap;
        const int rows = layout.valueLeft + Widest(metrics, values) + kStatisticsInset;
        if (rows <= maxWidth || pixels <= 1)
        {
            layout.width = std::clamp(rows, minWidth, std::max(minWidth, maxWidth));
            return layout;
        }
        // Text width does not scale exactly with the size (hinting): step down until it fits.
        --pixels;
        layout.font.setPixelSize(pixels);
    }
}
} // namespace graph
