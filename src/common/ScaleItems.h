// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The nine scale items shared by the meter's and the history graph's lists: caption, nominal line
// rate in bytes per second (multiples of 1024: kbit × 1024 ÷ 8 and so on; 0 for "Automatique" and
// "Manuel") and whether the speed spin becomes editable.
struct ScaleItem
{
    QString caption;
    int32_t scale = 0;
    bool editable = false;
};
const std::array<ScaleItem, 9>& ScaleItems();
