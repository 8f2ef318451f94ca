// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// One meter sample in bytes per second.
struct RingSample
{
    int32_t received1 = 0;
    int32_t sent1 = 0;
    int32_t received2 = 0;
    int32_t sent2 = 0;
};

// The meter's history: a fixed ring of 1024 samples whose head walks downward, so the sample of
// age a sits in slot (head + a) mod 1024.
class HistoryRing final
{
public:
    static constexpr int kSlots = 1024;

    int head() const { return m_head; }
    int RingSlot(int age) const { return (m_head + age) & (kSlots - 1); }
    const RingSample& at(int age) const { return m_slots[static_cast<size_t>(RingSlot(age))]; }
    const RingSample& slot(int index) const { return m_slots[static_cast<size_t>(index)]; }

    // Counts the changes: one per push, more for a clear, so that whoever follows the ring one push at
    // a time sees that it must start over.
    uint64_t changes() const { return m_changes; }

    // Moves the head one slot down and stores the newest sample there.
    void push(const RingSample& sample)
    {
        m_head = (m_head + kSlots - 1) & (kSlots - 1);
        m_slots[static_cast<size_t>(m_head)] = sample;
        ++m_changes;
    }

    void clear()
    {
        m_slots.fill(RingSample{});
        m_head = 0;
        m_changes += 2;
    }

private:
    std::array<RingSample, kSlots> m_slots{};
    int m_head = 0;
    uint64_t m_changes = 0;
};
