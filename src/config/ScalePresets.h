// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The meter's scale presets: item texts of the list, in item order.
QStringList ScalePresetTexts();

constexpr int AutomaticScaleIndex = 7;
constexpr int ManualScaleIndex = 8;
constexpr int32_t MinimumFullScale = 1025;

struct ScalePreset
{
    int32_t fullScale; // bytes per second, already raised to MinimumFullScale
    bool editable;     // the speed spin is enabled for the user
};
// Item index 0 .. 8; an index outside gives nothing to apply.
bool ScalePresetAt(int index, ScalePreset& preset);

// "1000ms" for position 20: the refresh period label.
QString RefreshPeriodText(int tbPosition);
inline int RefreshPeriodMs(int tbPosition)
{
    return tbPosition * 50;
}
