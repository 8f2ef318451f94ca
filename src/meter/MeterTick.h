// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "meter/HistoryRing.h"
#include "sampling/InterfaceTable.h"
#include "sampling/Sampler.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The meter's full scale limits, those of the configuration window's speed spin.
inline constexpr int32_t kMinFullScale = 1025;
inline constexpr int32_t kMaxFullScale = 2147483647;
// Index of "Automatique" in the scale combo.
inline constexpr int kAutomaticScaleIndex = 7;

// "Vitesse Moyenne": "Aucun", "Reception", "Envoi".
enum class AverageChoice
{
    None,
    Received,
    Sent,
};

// The configuration window's controls that a tick reads, taken at the moment of the tick.
struct MeterSettings
{
    int positionCount = 0;    // item count of lb; bounds the position loop
    std::vector<bool> graph1; // lb1 ticks by position (missing entries are unticked)
    std::vector<bool> graph2; // lb2 ticks by position
    int refreshPosition = 20; // tb, period = position × 50 ms
    bool octets = false;      // rb1 "Octets" rather than rb2 "Bits"
    int scaleIndex = -1;      // cb item index, -1 when none is selected
    int graphWidth = 355;     // width of im2 in pixels
};

// Receives each timer tick's download and upload rate while the stopwatch runs.
class StopwatchFeed
{
public:
    virtual ~StopwatchFeed() = default;
    virtual bool isRunning() const = 0;
    virtual void addSample(int32_t in, int32_t out) = 0;
};

struct MeterTickResult
{
    float received1 = 0;
    float sent1 = 0;
    float received2 = 0;
    float sent2 = 0;
    bool rateTextChanged = false;     // the rate text (and the tray hint) was rebuilt
    int iconIndex = 0;                // tray image 0..3
    std::optional<int32_t> fullScale; // in automatic mode: the new value for spdspin
};

// The rate text for a download and an upload rate in bytes per second, cut to hundredths of ko/s
// (or of kbit/s with "Bits"), 1 ko = 1024 bytes.
QString RateText(float downloadRate, float uploadRate, bool octets);
// 0: both below 100 B/s, 1: upload only, 2: download only, 3: both.
int IconIndex(float downloadRate, float uploadRate);
// Graph pixels per byte per second.
float PixelScale(int graphHeight, int32_t fullScale);
// The sample of the ring that the average line follows.
inline int32_t AverageSeriesValue(const RingSample& sample, AverageChoice choice)
{
    return choice == AverageChoice::Sent ? sample.sent1 : sample.received1;
}
// A rate truncated toward zero, saturating at the limits of int32_t instead of overflowing.
int32_t TruncateRate(float rate);

// The meter's rate logic: one call per timer tick with a fresh snapshot of the interface table.
class MeterTick final
{
public:
    static QString InitialRateText() { return QStringLiteral("DL : 0ko/s  UL : 0ko/s"); }

    // primed is the flag the configuration window clears on every click in lb1 or lb2; a tick
    // with it cleared only stores readings, and sets it. So does a tick after a change of period or
    // after a counter reset (a ticked interface's counter below its last value). feed may be null.
    MeterTickResult Timer1Timer(const InterfaceTable& table, const MeterSettings& settings, bool& primed,
                                StopwatchFeed* feed);

    const QString& rateText() const { return m_rateText; }
    const HistoryRing& ring() const { return m_ring; }

    // Back to the start-up state (ring, readings, text); the primed flag is owned elsewhere.
    void reset();

private:
    HistoryRing m_ring;
    QString m_rateText = InitialRateText();
    std::vector<int32_t> m_prevIn;
    std::vector<int32_t> m_prevOut;
    std::vector<Counters> m_prevCounters; // the 64-bit counters behind those readings
    std::vector<bool> m_havePrev;         // a position whose row was missing primes again
    int m_rememberedRefreshPosition = 20;
    bool m_firstTick = true;
};
