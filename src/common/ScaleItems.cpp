// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ScaleItems.h"

const std::array<ScaleItem, 9>& ScaleItems()
{
    static const std::array<ScaleItem, 9> items{{
        {QStringLiteral("64kbps (RTC, RNIS)"), 64 * 1024 / 8, false},
        {QStringLiteral("128kbps (RNIS double)"), 128 * 1024 / 8, false},
        {QStringLiteral("512kbps (ADSL, cable)"), 512 * 1024 / 8, false},
        {QStringLiteral("1024kbps (ADSL, cable)"), 1024 * 1024 / 8, false},
        {QStringLiteral("10mbps (Ethernet)"), 10 * 1048576 / 8, false},
        {QStringLiteral("100mbps (Fast Ethernet)"), 100 * 1048576 / 8, false},
        {QStringLiteral("1gbps (Gigabit Ethernet)"), 1073741824 / 8, false},
        {QStringLiteral("Automatique"), 0, false},
        {QStringLiteral("Manuel"), 0, true},
    }};
    return items;
}
