// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

// Colour text: six hexadecimal digits read as 0xBBGGRR (low byte red), so "FF0000" is pure blue.
// Text that is not a hexadecimal number gives 0, black.
uint32_t ColourFromText(const QString& text);
// At least six upper-case hexadecimal digits, same byte order.
QString ColourToText(uint32_t bgr);
// 0xBBGGRR to Qt's 0xAARRGGBB, opaque.
uint32_t BgrToArgb(uint32_t bgr);
uint32_t ArgbToBgr(uint32_t argb);
