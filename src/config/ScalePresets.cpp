#include "config/ScalePresets.h"

#include <algorithm>
#include <array>

namespace
{
// Nominal line rates in bytes per second, with 1 kbit = 1024 bits: kbit × 1024 ÷ 8 and so on.
constexpr std::array<int32_t, 9> FullScales{64 * 1024 / 8,
                                            128 * 1024 / 8,
                                            512 * 1024 / 8,
                                            1024 * 1024 / 8,
                                            10 * 1048576 / 8,
                                            100 * 1048576 / 8,
                                            1073741824 / 8,
                                            0,
                                            0};
} // namespace

QStringList ScalePresetTexts()
{
    return {
        QStringLiteral("64kbps (RTC, RNIS)"),
        QStringLiteral("128kbps (RNIS double)"),
        QStringLiteral("512kbps (ADSL, cable)"),
        QStringLiteral("1024kbps (ADSL, cable)"),
        QStringLiteral("10mbps (Ethernet)"),
        QStringLiteral("100mbps (Fast Ethernet)"),
        QStringLiteral("1gbps (Gigabit Ethernet)"),
        QStringLiteral("Automatique"),
        QStringLiteral("Manuel"),
    };
}

bool ScalePresetAt(int index, ScalePreset& preset)
{
    if (index < 0 || index >= static_cast<int>(FullScales.size()))
        return false;
    preset.fullScale = std::max(FullScales[static_cast<size_t>(index)], MinimumFullScale);
    preset.editable = index == ManualScaleIndex;
    return true;
}

QString RefreshPeriodText(int tbPosition)
{
    return QString::number(RefreshPeriodMs(tbPosition)) + QLatin1String("ms");
}
