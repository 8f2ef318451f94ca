// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Settings.h"

#include "common/Colour.h"
#include "common/ErrorReporter.h"
#include "config/Autostart.h"
#include "config/SettingsStore.h"
#include "sampling/Sampler.h"

#include <algorithm>

Settings::Settings(QObject* parent) : QObject(parent)
{
    m_values.reserve(kSettingsTable.size());
    for (const SettingSpec& spec : kSettingsTable)
        m_values.push_back(DefaultValue(spec));
    m_stored.assign(kSettingsTable.size(), false);
}

void Settings::load(const SettingsStore& store, const QStringList& interfaceNames)
{
    for (size_t i = 0; i < kSettingsTable.size(); ++i)
    {
        m_values[i] = ReadSetting(store, kSettingsTable[i]);
        m_stored[i] =
            GuardPresent(store, kSettingsTable[i]) && store.exists(QString::fromLatin1(kSettingsTable[i].name));
    }
    // Compact mode always comes with the graph hidden.
    if (value(settings::MeterCompact))
        m_values[index(settings::MeterGraphShown.row)] = false;
    m_names = interfaceNames;
    m_marks.assign(static_cast<size_t>(m_names.size()), InterfaceMarks{});
    for (int i = 0; i < m_names.size(); ++i)
    {
        // A folded mark of a file written before is read only when it cannot be another interface's.
        const QString folded = m_names[i].toCaseFolded();
        const bool alone = std::count_if(m_names.cbegin(), m_names.cend(),
                                         [&folded](const QString& n) { return n.toCaseFolded() == folded; }) == 1;
        InterfaceMarks marks = ReadInterfaceMarks(store, m_names[i], alone);
        // Graph 2 gives way, as a click in graph 1 would.
        marks.graph2 = marks.graph2 && !marks.graph1;
        m_marks[static_cast<size_t>(i)] = marks;
    }
}

bool Settings::save(SettingsStore& store)
{
    emit aboutToSave();
    for (int i = 0; i < m_names.size(); ++i)
        WriteInterfaceMarks(store, m_names[i], m_marks[static_cast<size_t>(i)]);
    for (size_t i = 0; i < kSettingsTable.size(); ++i)
        WriteSetting(store, kSettingsTable[i], m_values[i]);
    return store.sync();
}

void Settings::put(int row, SettingValue value)
{
    SettingValue& slot = m_values[index(row)];
    if (slot == value)
        return;
    slot = std::move(value);
    emit changed(row);
}

void Settings::set(SettingKey<bool> key, bool on)
{
    put(key.row, on);
    if (key.row == settings::MeterCompact.row)
        put(settings::MeterGraphShown.row, !on);
}

void Settings::set(SettingKey<int32_t> key, int32_t number)
{
    const SettingSpec& spec = kSettingsTable[index(key.row)];
    put(key.row, std::clamp(number, spec.min, spec.max));
}

void Settings::set(SettingKey<QString> key, const QString& text)
{
    put(key.row, text);
}

uint32_t Settings::colour(int n) const
{
    return ColourFromText(value(settings::Colours.at(static_cast<size_t>(n - 1))));
}

InterfaceMarks Settings::marks(int position) const
{
    if (position < 0 || position >= interfaceCount())
        return {};
    return m_marks[static_cast<size_t>(position)];
}

void Settings::setMarks(int position, InterfaceMarks marks)
{
    if (position < 0 || position >= interfaceCount())
        return;
    InterfaceMarks& slot = m_marks[static_cast<size_t>(position)];
    // The mark just set wins; graph 1 when both are new.
    if (marks.graph1 && marks.graph2)
    {
        if (slot.graph1 && !slot.graph2)
            marks.graph1 = false;
        else
            marks.graph2 = false;
    }
    if (slot.statistics == marks.statistics && slot.graph1 == marks.graph1 && slot.graph2 == marks.graph2)
        return;
    if (slot.graph1 != marks.graph1 || slot.graph2 != marks.graph2)
        m_primed = false;
    const bool newlyRecorded = marks.statistics && !slot.statistics;
    slot = marks;
    emit marksChanged(position);
    if (newlyRecorded)
        emit statisticsChecked(position);
}

std::vector<bool> Settings::statisticsMarks() const
{
    std::vector<bool> marks(m_marks.size());
    for (size_t i = 0; i < m_marks.size(); ++i)
        marks[i] = m_marks[i].statistics;
    return marks;
}

int Settings::refreshPeriodMs() const
{
    return m_refreshPosition * 50;
}

void Settings::setRefreshPosition(int position)
{
    position = std::clamp(position, 1, 100);
    if (position == m_refreshPosition)
        return;
    m_refreshPosition = position;
    // Readings taken at the old period give no rate at the new one.
    m_primed = false;
    emit refreshPositionChanged(position);
}

void Settings::setRefreshLocked(bool locked)
{
    if (locked == m_refreshLocked)
        return;
    m_refreshLocked = locked;
    emit refreshLockChanged(locked);
}

void Settings::setStartWithSession(bool on)
{
    if (on == m_startWithSession)
        return;
    m_startWithSession = on;
    emit startWithSessionChanged(on);
}

bool SaveSettingsAndAutostart(Settings& settings, SettingsStore& store, const AutostartEntry& autostart,
                              const QString& executablePath, ErrorReporter& errors)
{
    bool ok = true;
    const auto cannotWrite = [&ok, &errors](const QString& path) {
        ok = false;
        errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(path));
    };
    if (!(settings.startWithSession() ? autostart.enable(executablePath) : autostart.disable()))
        cannotWrite(autostart.path());
    if (!settings.save(store))
        cannotWrite(store.path());
    return ok;
}

void MarkDefaultRouteInterface(Settings& settings, const std::optional<QString>& interfaceName)
{
    if (!interfaceName)
        return;
    const int position =
        settings.interfaceNames().indexOf(InterfaceDisplayName(InterfaceRow{interfaceName->toUtf8(), 0, 0}));
    if (position >= 0)
        settings.setMarks(position, InterfaceMarks{true, true, false});
}
