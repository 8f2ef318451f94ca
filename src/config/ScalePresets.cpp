// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/ScalePresets.h"

#include "common/ScaleItems.h"

#include <algorithm>

QStringList ScalePresetTexts()
{
    QStringList texts;
    for (const ScaleItem& item : ScaleItems())
        texts.append(item.caption);
    return texts;
}

bool ScalePresetAt(int index, ScalePreset& preset)
{
    if (index < 0 || index >= static_cast<int>(ScaleItems().size()))
        return false;
    const ScaleItem& item = ScaleItems()[static_cast<size_t>(index)];
    preset.fullScale = std::max(item.scale, MinimumFullScale);
    preset.editable = item.editable;
    return true;
}

QString RefreshPeriodText(int tbPosition)
{
    return QString::number(RefreshPeriodMs(tbPosition)) + QLatin1String("ms");
}
