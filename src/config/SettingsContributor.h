#pragma once

#include "config/SettingsTable.h"

// A window whose values SaveSettings writes with the others (the history graph, the meter): it puts
// its current values into the map under their table names.
class SettingsContributor
{
public:
    virtual ~SettingsContributor() = default;
    virtual void contributeSettings(SettingValues& values) const = 0;
};
