// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sampling/InterfaceTable.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// The exact 64-bit counters of one row (the recorder's reading).
struct Counters
{
    uint64_t in = 0;
    uint64_t out = 0;
    int32_t index = 0; // the interface index, 0 when unknown
};

// floor(counter ÷ period), low 32 bits as signed values (the meter's reading).
struct ScaledCounters
{
    int32_t in = 0;
    int32_t out = 0;
};

// The description with / \ : * ? < > | 0x18 0x01 dropped, ending at the first zero byte.
QByteArray DisplayNameBytes(const QByteArray& description);
QString InterfaceDisplayName(const InterfaceRow& row);

// Readings from a snapshot already taken; nothing for a position at or beyond the row count.
std::optional<Counters> CountersAt(const InterfaceTable& table, int position);
// period = tbPosition × 50 × 0.001 seconds, in extended precision.
std::optional<ScaledCounters> ScaledCountersAt(const InterfaceTable& table, int position, int tbPosition);

// The display names of every row, in row order.
QStringList DisplayNames(const InterfaceTable& table);

// The platform's best source: rtnetlink, with /proc/net/dev as the fallback.
std::unique_ptr<TableSource> MakeSystemTableSource();

class Sampler final
{
public:
    explicit Sampler(TableSource& source) : m_source(source) {}

    std::optional<InterfaceTable> FetchInterfaceTable() { return m_source.fetch(); }
    // The display names of every row of one snapshot, in row order; empty when there is no table.
    QStringList FillInterfaceLists();
    std::optional<Counters> ReadCounters(int position);
    std::optional<ScaledCounters> ReadScaledCounters(int position, int tbPosition);

private:
    TableSource& m_source;
};
