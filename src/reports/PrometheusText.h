// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

// The textfile the headless recorder leaves for a node exporter's textfile collector.
namespace reports
{
struct PlanFigures;

// An interface's data plan, in the current cycle.
struct PlanMetrics
{
    uint64_t allowance = 0; // 0: no allowance, and no allowance series (a ratio to it would be infinite)
    long double used = 0;
    long double projected = 0;
    qint64 cycleEndSeconds = 0;               // Unix time of the cycle's end, the next one's start
    long double p95Received = 0, p95Sent = 0; // bytes per second
};
PlanMetrics PlanMetricsOf(const PlanFigures& figures);

struct InterfaceMetrics
{
    QString name; // the display name, label "interface": one series per interface folder
    // Bytes recorded since the recorder started.
    uint64_t receivedSinceStart = 0;
    uint64_t sentSinceStart = 0;
    long double todayReceived = 0;
    long double todaySent = 0;
    long double monthReceived = 0;
    long double monthSent = 0;
    long double monthForecast = 0; // both directions, bytes
    uint64_t pendingSamples = 0;   // taken from the counters, not yet in the store
    std::optional<PlanMetrics> plan = std::nullopt;
};

// What tells a recording machine from a stuck one.
struct RecorderHealth
{
    QString user;    // the login name, label "user" on every series (empty: no label)
    QString version; // label of vorp_build_info (empty: no such series)
    bool recording = false;
    uint64_t writeErrors = 0;
    // The reading time (Unix seconds) of the last sample actually stored.
    std::optional<qint64> lastSampleSeconds;
};

// The exposition text (text format 0.0.4): every metric's HELP and TYPE lines even with no interface,
// one sample per interface in the order given, the plan series of the interfaces with a plan (their HELP
// and TYPE only when one has), the health series, and the last sample's time only once there is one. Whole
// numbers are written in full; others with enough digits to read back the same value; NaN and infinities as
// NaN, +Inf and -Inf.
QByteArray PrometheusText(const std::vector<InterfaceMetrics>& interfaces, const RecorderHealth& health);
// Without health series (no user, no version, not recording, no error).
QByteArray PrometheusText(const std::vector<InterfaceMetrics>& interfaces, std::optional<qint64> lastSampleSeconds);

// Replaces path by bytes through a new file beside it, so that the collector never reads half a file;
// the new file's name does not end in ".prom", so that the collector never reads it either. The result
// is readable by all (mode 0644), as the collector runs as another user. On failure path is left as it
// was, the new file is removed and *error (when given) says "Impossible d'écrire dans <path> : <reason>".
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// New files left beside path by a recorder killed while writing it are removed once they are older than
// this: no write takes that long.
inline constexpr qint64 kLeftoverAgeSecs = 3600;
void SweepLeftovers(const QString& path, const QDateTime& now);
} // namespace reports
