// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>

#include <vector>

class QIcon;

// The program's icon, drawn from one layout for the windows, the installed bitmaps and the scalable
// copy. The design is the tray image's: a green area graph on a grey grid with a blue U and a red D.

// One shape of the icon: filled when width is 0, else stroked with flat ends and mitred corners.
struct AppIconLayer
{
    QPainterPath path;
    QColor colour;
    double width = 0;
};

// Back to front. Snapping puts every stroke edge on a pixel boundary, so that small bitmaps stay
// sharp; the scalable copy keeps exact proportions.
std::vector<AppIconLayer> AppIconLayers(int size, bool snap);
QImage DrawAppIcon(int size);
// Every window's icon, at the sizes a task list or window switcher asks for.
QIcon AppIcon();

// The tray's four images, from the same design: 0 the graph alone, 1 with the U (sending), 2 with the D
// (receiving), 3 with both; indices outside 0..3 give image 0.
QImage DrawTrayImage(int index, int size);
// The sizes panels ask for: 16, 22, 24 and 32 pixels, and their double on HiDPI screens.
inline constexpr int kTrayIconSizes[] = {16, 22, 24, 32, 44, 48, 64};
// One tray image drawn at each of those sizes, so that no panel scales a bitmap.
QIcon TrayIcon(int index);

// The monochrome (symbolic) variant as one filled shape, for desktops that recolour icons to match
// their panels.
QPainterPath SymbolicIconPath(int size);
