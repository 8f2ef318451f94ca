#include "config/SettingsTable.h"

#include "config/SettingsStore.h"

#include <array>

namespace
{
using enum SettingType;
using enum SettingOwner;

constexpr std::array<SettingSpec, 30> Table{{
    {"Graphfile", String, HistoryGraph, 0, "", nullptr},
    {"Autorec", Bool, HistoryGraph, 0, nullptr, "Legende", 0, 1},
    {"Transp", Bool, Configuration, 0, nullptr, "lrec", 0, 1},
    {"TranspVal", Int, Configuration, 255, nullptr, "Transp", 0, 255},
    {"Legende", Bool, HistoryGraph, 0, nullptr, "Graphfile", 0, 1},
    {"Tous", Bool, HistoryGraph, 0, nullptr, "Legende", 0, 1},
    {"Vmax", Bool, HistoryGraph, 1, nullptr, "Graphfile", 0, 1},
    {"aot", Bool, Configuration, 1, nullptr, "lrec", 0, 1},
    {"Unite", Bool, HistoryGraph, 0, nullptr, "Graphfile", 0, 1},
    {"Unite2", Bool, Configuration, 0, nullptr, "lrec", 0, 1},
    {"tracegraph", Bool, Configuration, 1, nullptr, "lrec", 0, 1},
    {"micro", Bool, Configuration, 0, nullptr, "lrec", 0, 1},
    {"Gradu", Int, HistoryGraph, 8, nullptr, "Graphfile", 1, 999},
    {"Echelle", Int, HistoryGraph, 2, nullptr, "Graphfile", 0, 8},
    {"Vitesse", Int, HistoryGraph, 65536, nullptr, "Graphfile", 1, INT32_MAX},
    {"Gradu2", Int, Configuration, 4, nullptr, "lrec", 0, 999},
    {"Gradu3", Int, Configuration, 30, nullptr, "lrec", 1, 3600},
    {"Echelle2", Int, Configuration, -1, nullptr, "lrec", -1, 8},
    {"Vitesse2", Int, Configuration, 65536, nullptr, "lrec", 1025, INT32_MAX},
    {"Type", Int, HistoryGraph, 0, nullptr, nullptr, 0, 3},
    {"width", Int, Meter, 403, nullptr, "lrec"},
    {"height", Int, Meter, 189, nullptr, "lrec"},
    {"top", Int, Meter, 123, nullptr, "lrec"},
    {"left", Int, Meter, 197, nullptr, "lrec"},
    {"lrec", String, Configuration, 0, "00CC00", nullptr},
    {"lenv", String, Configuration, 0, "FF0000", "lrec"},
    {"lrep", String, Configuration, 0, "006600", "lrec"},
    {"lenp", String, Configuration, 0, "FF00FF", "lrec"},
    {"lint", String, Configuration, 0, "01E5DD", "lrec"},
    {"Type moyenne", Int, Meter, 0, nullptr, "lrec", 0, 2},
}};

QString Name(const char* name)
{
    return QString::fromLatin1(name);
}
} // namespace

std::span<const SettingSpec> SettingsTable()
{
    return Table;
}

const SettingSpec* FindSetting(const QString& name)
{
    for (const SettingSpec& spec : Table)
    {
        if (name.compare(Name(spec.name), Qt::CaseInsensitive) == 0)
            return &spec;
    }
    return nullptr;
}

SettingValue DefaultValue(const SettingSpec& spec)
{
    switch (spec.type)
    {
    case SettingType::Bool:
        return spec.intDefault != 0;
    case SettingType::Int:
        return spec.intDefault;
    case SettingType::String:
        break;
    }
    return Name(spec.textDefault);
}

bool GuardPresent(const SettingsStore& store, const SettingSpec& spec)
{
    // The chain is short (at most three links) and acyclic by construction of the table.
    const char* guard = spec.guard;
    while (guard)
    {
        if (!store.exists(Name(guard)))
            return false;
        const SettingSpec* next = FindSetting(Name(guard));
        guard = next ? next->guard : nullptr;
    }
    return true;
}

SettingValue ReadSetting(const SettingsStore& store, const SettingSpec& spec)
{
    if (!GuardPresent(store, spec))
        return DefaultValue(spec);
    const QString name = Name(spec.name);
    switch (spec.type)
    {
    case SettingType::Bool:
        if (const auto v = store.readInt(name))
            return *v != 0;
        break;
    case SettingType::Int:
        if (const auto v = store.readInt(name); v && *v >= spec.min && *v <= spec.max)
            return *v;
        break;
    case SettingType::String:
        if (const auto v = store.readString(name))
            return *v;
        break;
    }
    return DefaultValue(spec);
}

namespace
{
const SettingSpec& Spec(const char* name)
{
    const SettingSpec* spec = FindSetting(Name(name));
    Q_ASSERT(spec);
    return *spec;
}
} // namespace

bool ReadBoolSetting(const SettingsStore& store, const char* name)
{
    return std::get<bool>(ReadSetting(store, Spec(name)));
}

int32_t ReadIntSetting(const SettingsStore& store, const char* name)
{
    return std::get<int32_t>(ReadSetting(store, Spec(name)));
}

QString ReadStringSetting(const SettingsStore& store, const char* name)
{
    return std::get<QString>(ReadSetting(store, Spec(name)));
}

void WriteSetting(SettingsStore& store, const SettingSpec& spec, const SettingValue& value)
{
    const QString name = Name(spec.name);
    switch (spec.type)
    {
    case SettingType::Bool:
        store.writeBool(name, std::holds_alternative<bool>(value) ? std::get<bool>(value) : spec.intDefault != 0);
        return;
    case SettingType::Int:
        store.writeInt(name, std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : spec.intDefault);
        return;
    case SettingType::String:
        store.writeString(name,
                          std::holds_alternative<QString>(value) ? std::get<QString>(value) : Name(spec.textDefault));
        return;
    }
}

InterfaceMarks ReadInterfaceMarks(const SettingsStore& store, const QString& displayName)
{
    // A mark counts only when it exists and holds a non-zero integer.
    InterfaceMarks marks;
    marks.statistics = store.readBool(displayName).value_or(false);
    marks.graph1 = store.readBool(displayName + QLatin1Char('1')).value_or(false);
    marks.graph2 = store.readBool(displayName + QLatin1Char('2')).value_or(false);
    return marks;
}

void WriteInterfaceMarks(SettingsStore& store, const QString& displayName, const InterfaceMarks& marks)
{
    store.writeBool(displayName, marks.statistics);
    store.writeBool(displayName + QLatin1Char('1'), marks.graph1);
    store.writeBool(displayName + QLatin1Char('2'), marks.graph2);
}
