// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sampling/InterfaceTable.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The byte counters of one interface, keyed by its interface index.
struct IndexedCounters
{
    int ifindex = 0;
    uint64_t inOctets = 0;
    uint64_t outOctets = 0;
};

// What one datagram of an rtnetlink dump told us.
enum class DumpStep
{
    More,  // keep reading
    Done,  // NLMSG_DONE seen
    Failed // NLMSG_ERROR, a malformed or truncated message
};

// Walks the messages of one received datagram of an RTM_GETSTATS dump with sequence number seq,
// appending each interface's 64-bit byte counters. Messages of another sequence (left over from
// an earlier, abandoned dump) are ignored.
DumpStep ParseStatsDatagram(const char* data, size_t size, uint32_t seq, std::vector<IndexedCounters>& out);

// Same for an RTM_GETLINK dump: appends (ifindex, interface name).
DumpStep ParseLinkDatagram(const char* data, size_t size, uint32_t seq, std::vector<std::pair<int, QByteArray>>& out);

// One line of /proc/net/dev.
struct NamedCounters
{
    QByteArray name;
    uint64_t inOctets = 0;
    uint64_t outOctets = 0;
};

// The interface lines of /proc/net/dev text, in file order; lines that do not parse are skipped.
std::vector<NamedCounters> ParseProcNetDev(const char* data, size_t size);

// rtnetlink: one RTM_GETSTATS dump (IFLA_STATS_LINK_64 only) per snapshot on a socket kept open.
// Names come from a cache filled by an RTM_GETLINK dump, refreshed only when the set of interface
// indexes changes or the kernel announces a link change, so a steady snapshot costs one dump.
class NetlinkTableSource final : public TableSource
{
public:
    NetlinkTableSource();
    ~NetlinkTableSource() override;
    NetlinkTableSource(const NetlinkTableSource&) = delete;
    NetlinkTableSource& operator=(const NetlinkTableSource&) = delete;

    std::optional<InterfaceTable> fetch() override;

    // The counters of every interface in ascending interface index, without names.
    std::optional<std::vector<IndexedCounters>> fetchCounters();

private:
    bool ensureOpen();
    void closeSockets();
    bool request(uint16_t type, const void* payload, size_t payloadSize, uint32_t& seq);
    template <typename Parse> bool readDump(uint32_t seq, Parse parse);
    bool refreshNames();
    bool linksChanged();

    int m_fd = -1;
    int m_eventFd = -1; // subscribed to link announcements (renames, index reuse)
    uint32_t m_seq = 0;
    std::vector<char> m_buffer;
    std::vector<std::pair<int, QByteArray>> m_names; // ascending ifindex
    bool m_namesValid = false;
};

// /proc/net/dev read with pread on a descriptor kept open; rows ordered by interface index so that
// positions match the rtnetlink source.
class ProcNetDevTableSource final : public TableSource
{
public:
    explicit ProcNetDevTableSource(std::string path = "/proc/net/dev");
    ~ProcNetDevTableSource() override;
    ProcNetDevTableSource(const ProcNetDevTableSource&) = delete;
    ProcNetDevTableSource& operator=(const ProcNetDevTableSource&) = delete;

    std::optional<InterfaceTable> fetch() override;

private:
    bool readAll();
    int indexOf(const QByteArray& name);

    std::string m_path;
    int m_fd = -1;
    std::vector<char> m_buffer;
    size_t m_filled = 0;
    std::vector<std::pair<QByteArray, int>> m_indexes; // name -> ifindex, sorted by name
};

// No table at all: empty lists and skipped readings.
class UnavailableTableSource final : public TableSource
{
public:
    std::optional<InterfaceTable> fetch() override { return std::nullopt; }
};
