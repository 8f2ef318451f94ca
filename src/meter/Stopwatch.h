// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "meter/MeterTick.h"

#include <QString>

#include <array>
#include <cstdint>

// prefix + the value cut to hundredths of the unit + unit, with no space before the unit.
QString FormatStopwatchAmount(const QString& prefix, long double value, long double divisor, const QString& unit);

// The unit of a result group, chosen from the larger of its two values with strict thresholds:
// above 1024 the second unit, above 1048576 the third, above 1073741824 the fourth.
struct StopwatchUnit
{
    long double divisor = 1;
    QString text;
};
StopwatchUnit ChooseStopwatchUnit(long double a, long double b, const std::array<QString, 4>& units);

// "Heure" or "Jour".
enum class ForecastSpan
{
    Hour,
    Day,
};

struct ElapsedText
{
    QString h, m, s;
};

// Texts of the result labels.
struct StopwatchTexts
{
    QString ti, tu; // "Total Transferré"
    QString vd, vu; // "Vitesse Maximale"
    QString md, mu; // "Vitesse Moyenne"
    QString pd, pu; // "Prévisions"
};

// The stopwatch's arithmetic. The meter hands it each sample once (the refresh period is held at
// 1000 ms while it runs, so one sample is one second of traffic); the clock and totals ticks
// only read what has been gathered. Times are steady milliseconds (Clock::steadyMs), so setting
// the time of day does not move the elapsed time.
class Stopwatch final : public StopwatchFeed
{
public:
    void Start(qint64 steadyMs);
    void Stop() { m_running = false; }
    bool isRunning() const override { return m_running; }
    // Ignored while stopped.
    void addSample(int32_t in, int32_t out) override;

    // The one-second clock: the whole hours (whole days dropped), minutes and seconds elapsed since Start.
    ElapsedText ClockTick(qint64 steadyMs);
    // How long until the elapsed time reaches its next whole second: the clock's next tick.
    int MsToNextSecond(qint64 steadyMs) const;
    // The one-second refresh of the results; past an hour it leaves "Heure" for "Jour" for good
    // (this call still shows the hourly forecast).
    StopwatchTexts TotalsTick();
    // The tenths digit after current: "0" follows "9".
    static QString NextTenths(const QString& current);

    ForecastSpan forecast() const { return m_forecast; }
    void setForecast(ForecastSpan span) { m_forecast = span; }
    bool hourEnabled() const { return m_hourEnabled; }

    float totalIn() const { return m_totalIn; }
    float totalOut() const { return m_totalOut; }
    float maxIn() const { return m_maxIn; }
    float maxOut() const { return m_maxOut; }
    int32_t elapsedCount() const { return m_elapsedCount; }
    int64_t sampleCount() const { return m_samples; }

private:
    qint64 m_startMs = 0;
    bool m_running = false;
    int32_t m_elapsedCount = 0;
    int64_t m_samples = 0;
    float m_totalIn = 0;
    float m_totalOut = 0;
    float m_maxIn = 0;
    float m_maxOut = 0;
    ForecastSpan m_forecast = ForecastSpan::Hour;
    bool m_hourEnabled = true;
};
