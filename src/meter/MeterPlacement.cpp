// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace
{
bool EnoughShows(const QRect& frame, const QRect& screen)
{
    const QRect shown = frame.intersected(screen);
    return shown.width() >= std::min(frame.width(), kMinVisibleWidth) &&
           shown.height() >= std::min(frame.height(), kMinVisibleHeight) && !shown.isEmpty();
}

// Squared gap between two rectangles; 0 when they overlap.
int64_t Gap(const QRect& a, const QRect& b)
{
    const int64_t dx = std::max<int64_t>({0, int64_t(b.left()) - a.right(), int64_t(a.left()) - b.right()});
    const int64_t dy = std::max<int64_t>({0, int64_t(b.top()) - a.bottom(), int64_t(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

// The nearest position to from at which a window of this length lies within [start, start + span).
int Inside(int from, int length, int start, int span)
{
    if (length >= span)
        return start;
    return std::clamp(from, start, start + span - length);
}
} // namespace

QPoint BringOntoScreens(const QRect& frame, const QList<QRect>& screens)
{
    if (screens.isEmpty() ||
        std::any_of(screens.cbegin(), screens.cend(), [&frame](const QRect& s) { return EnoughShows(frame, s); }))
        return frame.topLeft();
    const QRect* nearest = nullptr;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (const QRect& s : screens)
    {
        const int64_t gap = Gap(frame, s);
        if (gap < best)
        {
            best = gap;
            nearest = &s;
        }
    }
    return {Inside(frame.x(), frame.width(), nearest->x(), nearest->width()),
            Inside(frame.y(), frame.height(), nearest->y(), nearest->height())};
}
