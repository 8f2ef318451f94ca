// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <variant>

class SettingsStore;

enum class SettingType
{
    Bool,
    Int,
    String,
};

// One row of the master table. A value whose guard exists is read from the store; otherwise, or when
// it is missing, of another type or out of [min, max], it reads as the default. A guard is itself a
// value and may have a guard of its own ("TranspVal" needs "Transp", which needs "lrec").
struct SettingSpec
{
    const char* name;
    SettingType type;
    int32_t intDefault;      // Bool (0 or 1) and Int
    const char* textDefault; // String
    const char* guard;       // nullptr: read whenever present
    int32_t min = INT32_MIN;
    int32_t max = INT32_MAX;
};

using SettingValue = std::variant<bool, int32_t, QString>;
// Values handed to the save by name, exactly as in the table.
using SettingValues = std::map<QString, SettingValue>;

// Every value other than the interface marks, in the order a save writes them. The typed keys of
// Settings.h are checked against it when they are compiled.
// clang-format off
inline constexpr std::array<SettingSpec, 30> kSettingsTable{{
    {"Graphfile", SettingType::String, 0, "", nullptr},
    {"Autorec", SettingType::Bool, 0, nullptr, "Legende", 0, 1},
    {"Transp", SettingType::Bool, 0, nullptr, "lrec", 0, 1},
    {"TranspVal", SettingType::Int, 255, nullptr, "Transp", 0, 255},
    {"Legende", SettingType::Bool, 0, nullptr, "Graphfile", 0, 1},
    {"Tous", SettingType::Bool, 0, nullptr, "Legende", 0, 1},
    {"Vmax", SettingType::Bool, 1, nullptr, "Graphfile", 0, 1},
    {"aot", SettingType::Bool, 1, nullptr, "lrec", 0, 1},
    {"Unite", SettingType::Bool, 0, nullptr, "Graphfile", 0, 1},
    {"Unite2", SettingType::Bool, 0, nullptr, "lrec", 0, 1},
    {"tracegraph", SettingType::Bool, 1, nullptr, "lrec", 0, 1},
    {"micro", SettingType::Bool, 0, nullptr, "lrec", 0, 1},
    {"Gradu", SettingType::Int, 8, nullptr, "Graphfile", 1, 999},
    {"Echelle", SettingType::Int, 2, nullptr, "Graphfile", 0, 8},
    {"Vitesse", SettingType::Int, 65536, nullptr, "Graphfile", 1, INT32_MAX},
    {"Gradu2", SettingType::Int, 4, nullptr, "lrec", 0, 999},
    {"Gradu3", SettingType::Int, 30, nullptr, "lrec", 1, 3600},
    {"Echelle2", SettingType::Int, -1, nullptr, "lrec", -1, 8},
    {"Vitesse2", SettingType::Int, 65536, nullptr, "lrec", 1025, INT32_MAX},
    {"Type", SettingType::Int, 0, nullptr, nullptr, 0, 3},
    {"width", SettingType::Int, 403, nullptr, "lrec"},
    {"height", SettingType::Int, 189, nullptr, "lrec"},
    {"top", SettingType::Int, 123, nullptr, "lrec"},
    {"left", SettingType::Int, 197, nullptr, "lrec"},
    {"lrec", SettingType::String, 0, "00CC00", nullptr},
    {"lenv", SettingType::String, 0, "FF0000", "lrec"},
    {"lrep", SettingType::String, 0, "006600", "lrec"},
    {"lenp", SettingType::String, 0, "FF00FF", "lrec"},
    {"lint", SettingType::String, 0, "01E5DD", "lrec"},
    {"Type moyenne", SettingType::Int, 0, nullptr, "lrec", 0, 2},
}};
// clang-format on

std::span<const SettingSpec> SettingsTable();
// The row of that name (compared without letter case), or nullptr.
const SettingSpec* FindSetting(const QString& name);

SettingValue DefaultValue(const SettingSpec& spec);
// True when the value's whole guard chain exists in the store.
bool GuardPresent(const SettingsStore& store, const SettingSpec& spec);
// The stored value when readable and valid, otherwise the default.
SettingValue ReadSetting(const SettingsStore& store, const SettingSpec& spec);

void WriteSetting(SettingsStore& store, const SettingSpec& spec, const SettingValue& value);

// The three marks of one listed interface: name (statistics), name + "1" and name + "2" (meter graphs).
struct InterfaceMarks
{
    bool statistics = false;
    bool graph1 = false;
    bool graph2 = false;
};
// Marks are kept under the name's exact spelling, so interfaces that differ only in letter case stay
// apart. A file written before holds them case-folded: with foldedFallback, a mark missing under the
// exact spelling is read from the folded one (only right when no other listed interface folds alike).
InterfaceMarks ReadInterfaceMarks(const SettingsStore& store, const QString& displayName, bool foldedFallback = true);
void WriteInterfaceMarks(SettingsStore& store, const QString& displayName, const InterfaceMarks& marks);
