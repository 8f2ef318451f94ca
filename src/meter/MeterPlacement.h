// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// How much of a window must lie on one screen for it to count as reachable: the meter's minimum
// width and its title bar's height (all of it for a smaller window).
inline constexpr int kMinVisibleWidth = 60;
inline constexpr int kMinVisibleHeight = 19;

// Where a window with this frame goes, given the available areas of the screens (task bars left
// out). A window that shows enough of itself on a screen stays; one that does not (its screen was
// unplugged, or a stored position is far off) moves the least it can to lie inside the screen nearest
// to it. Without screens nothing moves.
QPoint BringOntoScreens(const QRect& frame, const QList<QRect>& screens);
