#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <span>
#include <variant>

class SettingsStore;

enum class SettingType
{
    Bool,
    Int,
    String,
};

// Which window a value comes from at save time; the configuration window writes its own and asks
// the others for theirs.
enum class SettingOwner
{
    Configuration,
    HistoryGraph,
    Meter,
};

// One row of the master table. A value whose guard exists is read from the store; otherwise, or when
// it is missing, of another type or out of [min, max], it reads as the default. A guard is itself a
// value and may have a guard of its own ("TranspVal" needs "Transp", which needs "lrec").
struct SettingSpec
{
    const char* name;
    SettingType type;
    SettingOwner owner;
    int32_t intDefault;      // Bool (0 or 1) and Int
    const char* textDefault; // String
    const char* guard;       // nullptr: read whenever present
    int32_t min = INT32_MIN;
    int32_t max = INT32_MAX;
};

using SettingValue = std::variant<bool, int32_t, QString>;
// Values handed to the save by name, exactly as in the table.
using SettingValues = std::map<QString, SettingValue>;

// Every value other than the interface marks, in the order SaveSettings writes them.
std::span<const SettingSpec> SettingsTable();
// The row of that name (compared without letter case), or nullptr.
const SettingSpec* FindSetting(const QString& name);

SettingValue DefaultValue(const SettingSpec& spec);
// True when the value's whole guard chain exists in the store.
bool GuardPresent(const SettingsStore& store, const SettingSpec& spec);
// The stored value when readable and valid, otherwise the default.
SettingValue ReadSetting(const SettingsStore& store, const SettingSpec& spec);
bool ReadBoolSetting(const SettingsStore& store, const char* name);
int32_t ReadIntSetting(const SettingsStore& store, const char* name);
QString ReadStringSetting(const SettingsStore& store, const char* name);

void WriteSetting(SettingsStore& store, const SettingSpec& spec, const SettingValue& value);

// The three marks of one listed interface: name (statistics), name + "1" and name + "2" (meter graphs).
struct InterfaceMarks
{
    bool statistics = false;
    bool graph1 = false;
    bool graph2 = false;
};
InterfaceMarks ReadInterfaceMarks(const SettingsStore& store, const QString& displayName);
void WriteInterfaceMarks(SettingsStore& store, const QString& displayName, const InterfaceMarks& marks);
