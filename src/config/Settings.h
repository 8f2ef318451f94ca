// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/SettingsTable.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

class AutostartEntry;
class ErrorReporter;
class SettingsStore;

// A typed key: the row of the settings table and the type of its value. Made only by Key(), which
// refuses at compile time a name that is not in the table or a type that is not the row's.
template <typename T> struct SettingKey
{
    int row;
};

namespace settings_detail
{
template <typename T> consteval SettingType TypeOf()
{
    if constexpr (std::is_same_v<T, bool>)
        return SettingType::Bool;
    else if constexpr (std::is_same_v<T, int32_t>)
        return SettingType::Int;
    else
    {
        static_assert(std::is_same_v<T, QString>, "settings hold bool, int32_t or QString");
        return SettingType::String;
    }
}

template <typename T> consteval SettingKey<T> Key(std::string_view name)
{
    for (size_t i = 0; i < kSettingsTable.size(); ++i)
    {
        if (name == std::string_view(kSettingsTable[i].name))
        {
            if (kSettingsTable[i].type != TypeOf<T>())
                throw "the key's type is not its row's type";
            return SettingKey<T>{static_cast<int>(i)};
        }
    }
    throw "no such value in the settings table";
}
} // namespace settings_detail

// Every value of the settings file, by role.
namespace settings
{
using settings_detail::Key;
// History graph window.
inline constexpr auto GraphFolder = Key<QString>("Graphfile");
inline constexpr auto GraphAutoSave = Key<bool>("Autorec");
inline constexpr auto GraphLegend = Key<bool>("Legende");
inline constexpr auto GraphAllPeriods = Key<bool>("Tous");
inline constexpr auto GraphPeakScale = Key<bool>("Vmax");
inline constexpr auto GraphUnitOctets = Key<bool>("Unite");
inline constexpr auto GraphGradations = Key<int32_t>("Gradu");
inline constexpr auto GraphScaleIndex = Key<int32_t>("Echelle");
inline constexpr auto GraphFullScale = Key<int32_t>("Vitesse");
inline constexpr auto GraphPeriod = Key<int32_t>("Type");
// Meter window.
inline constexpr auto MeterTranslucent = Key<bool>("Transp");
inline constexpr auto MeterOpacity = Key<int32_t>("TranspVal");
inline constexpr auto MeterStayOnTop = Key<bool>("aot");
inline constexpr auto MeterUnitOctets = Key<bool>("Unite2");
inline constexpr auto MeterGraphShown = Key<bool>("tracegraph");
inline constexpr auto MeterCompact = Key<bool>("micro");
inline constexpr auto MeterGradations = Key<int32_t>("Gradu2");
inline constexpr auto MeterGradationSeconds = Key<int32_t>("Gradu3");
inline constexpr auto MeterScaleIndex = Key<int32_t>("Echelle2");
inline constexpr auto MeterFullScale = Key<int32_t>("Vitesse2");
inline constexpr auto MeterWidth = Key<int32_t>("width");
inline constexpr auto MeterHeight = Key<int32_t>("height");
inline constexpr auto MeterTop = Key<int32_t>("top");
inline constexpr auto MeterLeft = Key<int32_t>("left");
inline constexpr auto MeterAverage = Key<int32_t>("Type moyenne");
// Series colours "RRGGBB", shared by the meter and the history graph: received 1, sent 1, received 2
// (peaks), sent 2 (peaks), intersection.
inline constexpr std::array<SettingKey<QString>, 5> Colours{
    Key<QString>("lrec"), Key<QString>("lenv"), Key<QString>("lrep"), Key<QString>("lenp"), Key<QString>("lint")};
} // namespace settings

// The application's settings, owned by the application object: every value of the table, the three
// marks of each listed interface, and the live values that are not stored (refresh period, primed
// flag, start with the session). Windows edit it and subscribe to its signals; none reads another
// window's controls.
class Settings final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Settings)

public:
    // Every value at its default, no interface listed.
    explicit Settings(QObject* parent = nullptr);

    // The interfaces of the start-up snapshot, in table order, with their stored marks, and every value
    // of the table as ReadSetting gives it. Emits nothing: subscribers read after loading.
    void load(const SettingsStore& store, const QStringList& interfaceNames);
    // Asks the subscribers for their last values (aboutToSave), then writes the marks and every value
    // in table order and syncs. False when the file could not be written.
    bool save(SettingsStore& store);

    bool value(SettingKey<bool> key) const { return std::get<bool>(m_values[index(key.row)]); }
    int32_t value(SettingKey<int32_t> key) const { return std::get<int32_t>(m_values[index(key.row)]); }
    QString value(SettingKey<QString> key) const { return std::get<QString>(m_values[index(key.row)]); }
    // True when the file held the value (and its guards) at load time.
    template <typename T> bool wasStored(SettingKey<T> key) const { return m_stored[index(key.row)]; }
    // Out-of-range integers are brought into the row's range. Emits changed() when the value moves.
    void set(SettingKey<bool> key, bool value);
    void set(SettingKey<int32_t> key, int32_t value);
    void set(SettingKey<QString> key, const QString& value);
    template <typename T> static bool is(int row, SettingKey<T> key) { return row == key.row; }

    // Series colour n = 1 .. 5 as 0xBBGGRR.
    uint32_t colour(int n) const;

    const QStringList& interfaceNames() const { return m_names; }
    int interfaceCount() const { return static_cast<int>(m_names.size()); }
    // Nothing marked for a position outside the list.
    InterfaceMarks marks(int position) const;
    // The two meter graphs never share an interface: a mark for one graph clears the other's.
    // A change of graph marks clears the primed flag (the next tick only primes).
    void setMarks(int position, InterfaceMarks marks);
    std::vector<bool> statisticsMarks() const;

    // Refresh track bar position 1 .. 100 (x 50 ms). A change clears the primed flag.
    int refreshPosition() const { return m_refreshPosition; }
    int refreshPeriodMs() const;
    void setRefreshPosition(int position);
    // The stopwatch holds the period while it runs.
    bool refreshLocked() const { return m_refreshLocked; }
    void setRefreshLocked(bool locked);

    // Cleared by a change of the meter graphs' marks or of the period; the meter sets it once it has
    // stored a reading.
    bool primed() const { return m_primed; }
    void setPrimed(bool primed) { m_primed = primed; }

    // The autostart entry's state as the user wants it; written with the rest at save time.
    bool startWithSession() const { return m_startWithSession; }
    void setStartWithSession(bool on);

    // A file named debug.txt in the working folder shows the debug controls.
    bool debugMode() const { return m_debugMode; }
    void setDebugMode(bool on) { m_debugMode = on; }

signals:
    // row: the table row (Settings::is(row, settings::MeterStayOnTop)).
    void changed(int row);
    void marksChanged(int position);
    // A statistics mark went on: the recorder takes that interface's counters as its baseline.
    void statisticsChecked(int position);
    void refreshPositionChanged(int position);
    void refreshLockChanged(bool locked);
    void startWithSessionChanged(bool on);
    // Just before a save: windows that keep a value in their own state (geometry) store it now.
    void aboutToSave();

private:
    static size_t index(int row) { return static_cast<size_t>(row); }
    void put(int row, SettingValue value);

    std::vector<SettingValue> m_values;
    std::vector<bool> m_stored;
    QStringList m_names;
    std::vector<InterfaceMarks> m_marks;
    int m_refreshPosition = 20;
    bool m_refreshLocked = false;
    bool m_primed = false;
    bool m_startWithSession = false;
    bool m_debugMode = false;
};

// Writes the settings file and the autostart entry (whose Exec is executablePath). Each failure is
// reported as "Impossible d'écrire dans" its path; false when there was one.
bool SaveSettingsAndAutostart(Settings& settings, SettingsStore& store, const AutostartEntry& autostart,
                              const QString& executablePath, ErrorReporter& errors);

// A first run records and shows the interface that carries the traffic, rather than nothing: the
// interface named (the default route's) is checked for statistics and shown in graph 1.
void MarkDefaultRouteInterface(Settings& settings, const std::optional<QString>& interfaceName);
