// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

// One row of the interface table: the description bytes (their size is the description length),
// the kernel's 64-bit byte counters and the interface index (0 when unknown): an interface deleted and
// made again under the same name comes back with another index and counters that started afresh.
struct InterfaceRow
{
    QByteArray description;
    uint64_t inOctets = 0;
    uint64_t outOctets = 0;
    int32_t index = 0;
};

// Rows in ascending interface index; a row's number is the interface position.
using InterfaceTable = std::vector<InterfaceRow>;

// The one platform operation the sampler needs.
class TableSource
{
public:
    virtual ~TableSource() = default;
    // A fresh snapshot, or nothing when the table cannot be had.
    virtual std::optional<InterfaceTable> fetch() = 0;
};

// Hands out an exact table; tests set it between readings.
class FixedTableSource final : public TableSource
{
public:
    std::optional<InterfaceTable> fetch() override { return table; }
    std::optional<InterfaceTable> table = InterfaceTable{};
};
