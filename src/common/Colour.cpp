// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Colour.h"

uint32_t ColourFromText(const QString& text)
{
    bool ok = false;
    const qulonglong v = text.trimmed().toULongLong(&ok, 16);
    if (!ok || text.trimmed().startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return 0;
    return static_cast<uint32_t>(v & 0xFFFFFFu);
}

QString ColourToText(uint32_t bgr)
{
    return QString::number(bgr, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

uint32_t BgrToArgb(uint32_t bgr)
{
    const uint32_t r = bgr & 0xFF, g = (bgr >> 8) & 0xFF, b = (bgr >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

uint32_t ArgbToBgr(uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return (b << 16) | (g << 8) | r;
}
