// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/SettingsTable.h"

#include "config/SettingsStore.h"

namespace
{
QString Name(const char* name)
{
    return QString::fromLatin1(name);
}
} // namespace

std::span<const SettingSpec> SettingsTable()
{
    return kSettingsTable;
}

const SettingSpec* FindSetting(const QString& name)
{
    for (const SettingSpec& spec : kSettingsTable)
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

InterfaceMarks ReadInterfaceMarks(const SettingsStore& store, const QString& displayName, bool foldedFallback)
{
    // A mark counts only when it exists and holds a non-zero integer.
    const auto read = [&](const QString& name) {
        if (const auto exact = store.readBoolExact(name))
            return *exact;
        return foldedFallback && store.readBool(name).value_or(false);
    };
    InterfaceMarks marks;
    marks.statistics = read(displayName);
    marks.graph1 = read(displayName + QLatin1Char('1'));
    marks.graph2 = read(displayName + QLatin1Char('2'));
    return marks;
}

void WriteInterfaceMarks(SettingsStore& store, const QString& displayName, const InterfaceMarks& marks)
{
    store.writeBoolExact(displayName, marks.statistics);
    store.writeBoolExact(displayName + QLatin1Char('1'), marks.graph1);
    store.writeBoolExact(displayName + QLatin1Char('2'), marks.graph2);
}
