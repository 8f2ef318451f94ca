// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterTick.h"

#include "common/NumberText.h"
#include "sampling/Sampler.h"

#include <algorithm>
#include <cmath>

namespace
{
QString CutKiloText(float rate, long double multiplier)
{
    return FloatText(std::floor(static_cast<long double>(rate) * multiplier * 100.0L / 1024.0L) * 0.01L);
}

bool Ticked(const std::vector<bool>& list, int position)
{
    return static_cast<size_t>(position) < list.size() && list[static_cast<size_t>(position)];
}
} // namespace

QString RateText(float downloadRate, float uploadRate, bool octets)
{
    const long double multiplier = octets ? 1.0L : 8.0L;
    const QString unit = octets ? QStringLiteral("ko/s") : QStringLiteral("kbps");
    return QStringLiteral("DL : ") + CutKiloText(downloadRate, multiplier) + unit + QStringLiteral("  UL : ") +
           CutKiloText(uploadRate, multiplier) + unit;
}

int IconIndex(float downloadRate, float uploadRate)
{
    return (downloadRate >= 100.0f ? 2 : 0) + (uploadRate >= 100.0f ? 1 : 0);
}

float PixelScale(int graphHeight, int32_t fullScale)
{
    if (fullScale <= 0)
        return 0.0f;
    return static_cast<float>(static_cast<long double>(graphHeight) / static_cast<long double>(fullScale));
}

int32_t TruncateRate(float rate)
{
    if (std::isnan(rate))
        return 0;
    if (rate >= 2147483648.0f)
        return INT32_MAX;
    if (rate <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(rate);
}

void MeterTick::reset()
{
    m_ring.clear();
    m_rateText = InitialRateText();
    m_prevIn.clear();
    m_prevOut.clear();
    m_prevCounters.clear();
    m_havePrev.clear();
    m_rememberedRefreshPosition = 20;
    m_firstTick = true;
}

MeterTickResult MeterTick::Timer1Timer(const InterfaceTable& table, const MeterSettings& settings, bool& primed,
                                       StopwatchFeed* feed)
{
    MeterTickResult result;
    const int count = std::max(0, settings.positionCount);
    if (m_prevIn.size() < static_cast<size_t>(count))
    {
        m_prevIn.resize(static_cast<size_t>(count), 0);
        m_prevOut.resize(static_cast<size_t>(count), 0);
        m_prevCounters.resize(static_cast<size_t>(count));
        m_havePrev.resize(static_cast<size_t>(count), false);
    }

    // Readings taken with another period than the last ones give no rate: this tick only primes.
    const bool periodChanged = settings.refreshPosition != m_rememberedRefreshPosition;
    // An interface deleted and created again restarts its counters from 0; the wrapping 32-bit
    // difference would read that as a rate of almost 4 GiB/s. Only the 64-bit counters tell a reset
    // from a wrap, and a reset makes the whole tick a priming one, so no graph, text or stopwatch
    // sees it.
    bool counterReset = false;
    for (int i = 0; i < count && !counterReset; ++i)
    {
        const auto index = static_cast<size_t>(i);
        if (!m_havePrev[index] || !(Ticked(settings.graph1, i) || Ticked(settings.graph2, i)))
            continue;
        const auto counters = CountersAt(table, i);
        counterReset =
            counters && (counters->in < m_prevCounters[index].in || counters->out < m_prevCounters[index].out);
    }
    const bool computeRates = primed && !periodChanged && !counterReset;

    auto sample = [&](int i, float& received, float& sent) {
        const auto reading = ScaledCountersAt(table, i, settings.refreshPosition);
        const auto index = static_cast<size_t>(i);
        if (!reading)
        {
            m_havePrev[index] = false;
            return;
        }
        m_prevCounters[index] = *CountersAt(table, i);
        if (computeRates && m_havePrev[index])
        {
            // Wrapping 32-bit differences: a reading that passed 2^31 or 2^32 still gives the true rate.
            const uint32_t dIn = static_cast<uint32_t>(reading->in) - static_cast<uint32_t>(m_prevIn[index]);
            const uint32_t dOut = static_cast<uint32_t>(reading->out) - static_cast<uint32_t>(m_prevOut[index]);
            received = static_cast<float>(static_cast<long double>(received) + dIn);
            sent = static_cast<float>(static_cast<long double>(sent) + dOut);
        }
        m_prevIn[index] = reading->in;
        m_prevOut[index] = reading->out;
        m_havePrev[index] = true;
    };

    for (int i = 0; i < count; ++i)
    {
        if (Ticked(settings.graph1, i))
            sample(i, result.received1, result.sent1);
        if (Ticked(settings.graph2, i))
            sample(i, result.received2, result.sent2);
    }
    primed = true;

    const float download = result.received1 + result.received2;
    const float upload = result.sent1 + result.sent2;

    if (!m_firstTick)
    {
        m_rateText = RateText(download, upload, settings.octets);
        result.rateTextChanged = true;
    }

    if (!m_firstTick && !periodChanged)
    {
        m_ring.push({TruncateRate(result.received1), TruncateRate(result.sent1), TruncateRate(result.received2),
                     TruncateRate(result.sent2)});
    }
    else
    {
        m_ring.push(RingSample{});
        m_rememberedRefreshPosition = settings.refreshPosition;
        m_firstTick = false;
    }

    result.iconIndex = IconIndex(download, upload);

    // A tick that only primed measured nothing: the stopwatch would count it as a second at 0 B/s.
    if (feed && feed->isRunning() && computeRates)
        feed->addSample(TruncateRate(download), TruncateRate(upload));

    if (settings.scaleIndex == kAutomaticScaleIndex)
    {
        // Both graphs and both directions over every drawn age (plus the two undrawn columns).
        int32_t m = 1;
        const int ages = std::clamp(settings.graphWidth, 0, HistoryRing::kSlots);
        for (int a = 0; a < ages; ++a)
        {
            const RingSample& s = m_ring.at(a);
            m = std::max({m, s.received1, s.sent1, s.received2, s.sent2});
        }
        result.fullScale = std::clamp(m, kMinFullScale, kMaxFullScale);
    }
    return result;
}
