// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The 286 × 169 splash picture, shared with the about box.
QImage SplashPicture();
