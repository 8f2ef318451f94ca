// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling/Sampler.h"

#include <cmath>

QByteArray DisplayNameBytes(const QByteArray& description)
{
    QByteArray name;
    name.reserve(description.size());
    for (const char c : description)
    {
        if (c == '\0')
            break;
        switch (c)
        {
        case '/':
        case '\\':
        case ':':
        case '*':
        case '?':
        case '<':
        case '>':
        case '|':
        case 0x18:
        case 0x01:
            continue;
        default:
            name.append(c);
        }
    }
    return name;
}

QString InterfaceDisplayName(const InterfaceRow& row)
{
    return QString::fromUtf8(DisplayNameBytes(row.description));
}

QStringList DisplayNames(const InterfaceTable& table)
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(table.size()));
    for (const InterfaceRow& row : table)
        names.append(InterfaceDisplayName(row));
    return names;
}

std::optional<Counters> CountersAt(const InterfaceTable& table, int position)
{
    if (position < 0 || static_cast<size_t>(position) >= table.size())
        return std::nullopt;
    const InterfaceRow& row = table[static_cast<size_t>(position)];
    return Counters{row.inOctets, row.outOctets, row.index};
}

namespace
{
int32_t Scaled(uint64_t counter, long double period)
{
    const long double q = std::floor(static_cast<long double>(counter) / period);
    // Keep the low 32 bits of the quotient, read as a signed value.
    return static_cast<int32_t>(static_cast<uint32_t>(std::fmod(q, 4294967296.0L)));
}
} // namespace

std::optional<ScaledCounters> ScaledCountersAt(const InterfaceTable& table, int position, int tbPosition)
{
    const auto counters = CountersAt(table, position);
    if (!counters || tbPosition <= 0)
        return std::nullopt;
    const long double period = (static_cast<long double>(tbPosition) * 50.0L) * 0.001L;
    return ScaledCounters{Scaled(counters->in, period), Scaled(counters->out, period)};
}

QStringList Sampler::FillInterfaceLists()
{
    const auto table = m_source.fetch();
    return table ? DisplayNames(*table) : QStringList{};
}

std::optional<Counters> Sampler::ReadCounters(int position)
{
    const auto table = m_source.fetch();
    return table ? CountersAt(*table, position) : std::nullopt;
}

std::optional<ScaledCounters> Sampler::ReadScaledCounters(int position, int tbPosition)
{
    const auto table = m_source.fetch();
    return table ? ScaledCountersAt(*table, position, tbPosition) : std::nullopt;
}
