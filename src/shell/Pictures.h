// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The four 16 × 16 tray images: 0 an area graph on a grid, 1 with a blue U (sending), 2 with a red D
// (receiving), 3 with both. Indices outside 0..3 give image 0.
QImage TrayImage(int index);
// The 286 × 169 splash picture, shared with the about box.
QImage SplashPicture();
