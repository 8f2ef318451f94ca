// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/Stopwatch.h"

#include "common/NumberText.h"

#include <algorithm>
#include <cmath>

QString FormatStopwatchAmount(const QString& prefix, long double value, long double divisor, const QString& unit)
{
    return prefix + FloatText(std::floor(value * 100.0L / divisor) * 0.01L) + unit;
}

StopwatchUnit ChooseStopwatchUnit(long double a, long double b, const std::array<QString, 4>& units)
{
    const long double larger = std::max(a, b);
    if (larger > kGiga)
        return {kGiga, units[3]};
    if (larger > kMega)
        return {kMega, units[2]};
    if (larger > kKilo)
        return {kKilo, units[1]};
    return {1.0L, units[0]};
}

void Stopwatch::Start(qint64 steadyMs)
{
    m_startMs = steadyMs;
    m_running = true;
    m_elapsedCount = 1;
    m_samples = 0;
    m_totalIn = m_totalOut = m_maxIn = m_maxOut = 0;
    m_hourEnabled = true;
}

void Stopwatch::addSample(int32_t in, int32_t out)
{
    if (!m_running)
        return;
    m_totalIn += static_cast<float>(in);
    m_totalOut += static_cast<float>(out);
    m_maxIn = std::max(m_maxIn, static_cast<float>(in));
    m_maxOut = std::max(m_maxOut, static_cast<float>(out));
    ++m_samples;
}

ElapsedText Stopwatch::ClockTick(qint64 steadyMs)
{
    const qint64 seconds = std::max<qint64>(0, steadyMs - m_startMs) / 1000;
    if (m_elapsedCount < INT32_MAX)
        ++m_elapsedCount;
    auto two = [](qint64 v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); };
    return {two((seconds / 3600) % 24), two((seconds / 60) % 60), two(seconds % 60)};
}

StopwatchTexts Stopwatch::TotalsTick()
{
    static const std::array<QString, 4> amountUnits{QStringLiteral("o"), QStringLiteral("Ko"), QStringLiteral("Mo"),
                                                    QStringLiteral("Go")};
    static const std::array<QString, 4> meanUnits{QStringLiteral("o/s"), QStringLiteral("Ko/s"), QStringLiteral("Mo/S"),
                                                  QStringLiteral("Go/s")};
    static const std::array<QString, 4> maxUnits{QStringLiteral("o/s"), QStringLiteral("Ko/s"), QStringLiteral("Mo/s"),
                                                 QStringLiteral("Go/s")};
    const QString in = QStringLiteral("IN : ");
    const QString out = QStringLiteral("OUT : ");
    StopwatchTexts t;

    auto group = [&](long double a, long double b, const std::array<QString, 4>& units, QString& ta, QString& tb) {
        const StopwatchUnit u = ChooseStopwatchUnit(a, b, units);
        ta = FormatStopwatchAmount(in, a, u.divisor, u.text);
        tb = FormatStopwatchAmount(out, b, u.divisor, u.text);
    };

    group(m_totalIn, m_totalOut, amountUnits, t.ti, t.tu);

    // The mean of the samples gathered, each one second of traffic.
    const long double meanIn = m_samples > 0 ? m_totalIn / static_cast<long double>(m_samples) : 0.0L;
    const long double meanOut = m_samples > 0 ? m_totalOut / static_cast<long double>(m_samples) : 0.0L;
    group(meanIn, meanOut, meanUnits, t.md, t.mu);
    group(m_maxIn, m_maxOut, maxUnits, t.vd, t.vu);

    const long double span = m_forecast == ForecastSpan::Hour ? 3600.0L : 3600.0L * 24.0L;
    group(meanIn * span, meanOut * span, amountUnits, t.pd, t.pu);
    if (m_forecast == ForecastSpan::Hour && m_elapsedCount > 3600)
    {
        m_hourEnabled = false;
        m_forecast = ForecastSpan::Day;
    }
    return t;
}

int Stopwatch::MsToNextSecond(qint64 steadyMs) const
{
    return static_cast<int>(1000 - std::max<qint64>(0, steadyMs - m_startMs) % 1000);
}

QString Stopwatch::NextTenths(const QString& current)
{
    const int next = current.toInt() + 1;
    return next >= 10 ? QStringLiteral("0") : QString::number(next);
}
