// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling/LinuxTableSource.h"

#include "sampling/Sampler.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace
{
// The kernel never hands a dump datagram larger than 32 KiB to a reader whose buffer is that big.
constexpr size_t kReceiveSize = 64 * 1024;

// Walks the messages of one datagram; onMessage(header, payload, payloadSize) returns false for a
// malformed message.
template <typename OnMessage> DumpStep WalkDatagram(const char* data, size_t size, uint32_t seq, OnMessage onMessage)
{
    size_t offset = 0;
    while (offset < size)
    {
        const size_t left = size - offset;
        if (left < sizeof(nlmsghdr))
            return DumpStep::Failed;
        nlmsghdr header;
        std::memcpy(&header, data + offset, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > left)
            return DumpStep::Failed;
        const char* payload = data + offset + NLMSG_HDRLEN;
        const size_t payloadSize = header.nlmsg_len - NLMSG_HDRLEN;
        offset += std::min<size_t>(NLMSG_ALIGN(header.nlmsg_len), left);
        if (header.nlmsg_seq != seq)
            continue;
        if (header.nlmsg_type == NLMSG_DONE)
        {
            // A dump that went wrong in the kernel ends with a negative error code.
            int error = 0;
            if (payloadSize >= sizeof error)
                std::memcpy(&error, payload, sizeof error);
            return error < 0 ? DumpStep::Failed : DumpStep::Done;
        }
        if (header.nlmsg_type == NLMSG_ERROR)
        {
            int error = -EIO;
            if (payloadSize >= sizeof error)
                std::memcpy(&error, payload, sizeof error);
            if (error != 0)
                return DumpStep::Failed;
            continue;
        }
        if (header.nlmsg_type == NLMSG_NOOP || header.nlmsg_type == NLMSG_OVERRUN)
            continue;
        if (!onMessage(header, payload, payloadSize))
            return DumpStep::Failed;
    }
    return DumpStep::More;
}

// Calls onAttribute(type, data, size) for each attribute; false when one overruns the message.
template <typename OnAttribute> bool WalkAttributes(const char* data, size_t size, OnAttribute onAttribute)
{
    size_t offset = 0;
    while (size - offset >= sizeof(rtattr))
    {
        rtattr attribute;
        std::memcpy(&attribute, data + offset, sizeof attribute);
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > size - offset)
            return false;
        onAttribute(attribute.rta_type & NLA_TYPE_MASK, data + offset + RTA_LENGTH(0),
                    attribute.rta_len - RTA_LENGTH(0));
        offset += std::min<size_t>(RTA_ALIGN(attribute.rta_len), size - offset);
    }
    return true;
}

int RetryOnInterrupt(auto call)
{
    for (;;)
    {
        const auto result = call();
        if (result >= 0 || errno != EINTR)
            return static_cast<int>(result);
    }
}
} // namespace

DumpStep ParseStatsDatagram(const char* data, size_t size, uint32_t seq, std::vector<IndexedCounters>& out)
{
    return WalkDatagram(data, size, seq, [&out](const nlmsghdr& header, const char* payload, size_t payloadSize) {
        if (header.nlmsg_type != RTM_NEWSTATS)
            return true;
        if (payloadSize < sizeof(if_stats_msg))
            return false;
        if_stats_msg message;
        std::memcpy(&message, payload, sizeof message);
        const size_t attributesAt = NLMSG_ALIGN(sizeof(if_stats_msg));
        if (attributesAt > payloadSize)
            return false;
        bool found = false;
        IndexedCounters counters;
        counters.ifindex = static_cast<int>(message.ifindex);
        const bool whole = WalkAttributes(payload + attributesAt, payloadSize - attributesAt,
                                          [&](unsigned type, const char* value, size_t valueSize) {
                                              // Older kernels send a shorter structure; the byte counters are always in
                                              // it.
                                              if (type != IFLA_STATS_LINK_64 ||
                                                  valueSize < offsetof(rtnl_link_stats64, tx_bytes) + sizeof(uint64_t))
                                                  return;
                                              rtnl_link_stats64 stats{};
                                              std::memcpy(&stats, value, std::min(valueSize, sizeof stats));
                                              counters.inOctets = stats.rx_bytes;
                                              counters.outOctets = stats.tx_bytes;
                                              found = true;
                                          });
        if (!whole)
            return false;
        if (found)
            out.push_back(counters);
        return true;
    });
}

DumpStep ParseLinkDatagram(const char* data, size_t size, uint32_t seq, std::vector<std::pair<int, QByteArray>>& out)
{
    return WalkDatagram(data, size, seq, [&out](const nlmsghdr& header, const char* payload, size_t payloadSize) {
        if (header.nlmsg_type != RTM_NEWLINK)
            return true;
        if (payloadSize < sizeof(ifinfomsg))
            return false;
        ifinfomsg message;
        std::memcpy(&message, payload, sizeof message);
        const size_t attributesAt = NLMSG_ALIGN(sizeof(ifinfomsg));
        if (attributesAt > payloadSize)
            return false;
        QByteArray name;
        bool found = false;
        const bool whole = WalkAttributes(payload + attributesAt, payloadSize - attributesAt,
                                          [&](unsigned type, const char* value, size_t valueSize) {
                                              if (type != IFLA_IFNAME)
                                                  return;
                                              name =
                                                  QByteArray(value, static_cast<qsizetype>(strnlen(value, valueSize)));
                                              found = true;
                                          });
        if (!whole)
            return false;
        if (found)
            out.emplace_back(message.ifi_index, name);
        return true;
    });
}

std::vector<NamedCounters> ParseProcNetDev(const char* data, size_t size)
{
    std::vector<NamedCounters> rows;
    const char* const end = data + size;
    const char* line = data;
    while (line < end)
    {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
        if (!lineEnd)
            lineEnd = end;
        // Names never hold a colon, and the header lines have none.
        const char* colon = static_cast<const char*>(std::memchr(line, ':', static_cast<size_t>(lineEnd - line)));
        if (colon)
        {
            const char* nameStart = line;
            while (nameStart < colon && *nameStart == ' ')
                ++nameStart;
            uint64_t fields[9] = {};
            int count = 0;
            bool sound = nameStart < colon;
            const char* p = colon + 1;
            while (sound && count < 9)
            {
                while (p < lineEnd && *p == ' ')
                    ++p;
                if (p == lineEnd || *p < '0' || *p > '9')
                {
                    sound = false;
                    break;
                }
                uint64_t value = 0;
                for (; p < lineEnd && *p >= '0' && *p <= '9'; ++p)
                {
                    const uint64_t digit = static_cast<uint64_t>(*p - '0');
                    if (value > (UINT64_MAX - digit) / 10)
                    {
                        sound = false;
                        break;
                    }
                    value = value * 10 + digit;
                }
                fields[count++] = value;
            }
            if (sound)
                rows.push_back({QByteArray(nameStart, colon - nameStart), fields[0], fields[8]});
        }
        line = lineEnd + 1;
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------

NetlinkTableSource::NetlinkTableSource() : m_buffer(kReceiveSize)
{
    ensureOpen();
}

NetlinkTableSource::~NetlinkTableSource()
{
    closeSockets();
}

void NetlinkTableSource::closeSockets()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_eventFd >= 0)
        ::close(m_eventFd);
    m_fd = -1;
    m_eventFd = -1;
    m_namesValid = false;
}

bool NetlinkTableSource::ensureOpen()
{
    if (m_fd >= 0)
        return true;
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (m_fd < 0)
        return false;
    // Without the announcements a rename would go unseen; the index check still catches the rest.
    m_eventFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (m_eventFd >= 0)
    {
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = RTMGRP_LINK;
        if (::bind(m_eventFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        {
            ::close(m_eventFd);
            m_eventFd = -1;
        }
    }
    m_namesValid = false;
    return true;
}

bool NetlinkTableSource::request(uint16_t type, const void* payload, size_t payloadSize, uint32_t& seq)
{
    alignas(nlmsghdr) char message[NLMSG_SPACE(std::max(sizeof(if_stats_msg), sizeof(ifinfomsg)))] = {};
    if (payloadSize > sizeof message - NLMSG_HDRLEN)
        return false;
    nlmsghdr header{};
    header.nlmsg_len = static_cast<uint32_t>(NLMSG_LENGTH(payloadSize));
    header.nlmsg_type = type;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    seq = ++m_seq;
    header.nlmsg_seq = seq;
    std::memcpy(message, &header, sizeof header);
    std::memcpy(message + NLMSG_HDRLEN, payload, payloadSize);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const int sent = RetryOnInterrupt([&] {
        return ::sendto(m_fd, message, header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    });
    return sent == static_cast<int>(header.nlmsg_len);
}

template <typename Parse> bool NetlinkTableSource::readDump(uint32_t seq, Parse parse)
{
    for (;;)
    {
        sockaddr_nl from{};
        iovec vector{m_buffer.data(), m_buffer.size()};
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &vector;
        header.msg_iovlen = 1;
        const int received = RetryOnInterrupt([&] { return ::recvmsg(m_fd, &header, 0); });
        if (received <= 0 || (header.msg_flags & MSG_TRUNC))
            return false;
        if (from.nl_pid != 0)
            continue; // only the kernel answers
        switch (parse(m_buffer.data(), static_cast<size_t>(received), seq))
        {
        case DumpStep::More:
            break;
        case DumpStep::Done:
            return true;
        case DumpStep::Failed:
            return false;
        }
    }
}

bool NetlinkTableSource::linksChanged()
{
    if (m_eventFd < 0)
        return false;
    bool changed = false;
    for (;;)
    {
        const int received = RetryOnInterrupt([&] { return ::recv(m_eventFd, m_buffer.data(), m_buffer.size(), 0); });
        if (received > 0)
        {
            changed = true;
            continue;
        }
        // An overflow (ENOBUFS) lost announcements: assume a change.
        return changed || (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

bool NetlinkTableSource::refreshNames()
{
    m_namesValid = false;
    ifinfomsg message{};
    message.ifi_family = AF_UNSPEC;
    uint32_t seq = 0;
    if (!request(RTM_GETLINK, &message, sizeof message, seq))
        return false;
    std::vector<std::pair<int, QByteArray>> names;
    if (!readDump(seq, [&names](const char* data, size_t size, uint32_t s) {
            return ParseLinkDatagram(data, size, s, names);
        }))
        return false;
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_names = std::move(names);
    m_namesValid = true;
    return true;
}

std::optional<std::vector<IndexedCounters>> NetlinkTableSource::fetchCounters()
{
    if (!ensureOpen())
        return std::nullopt;
    if_stats_msg message{};
    message.family = AF_UNSPEC;
    message.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    uint32_t seq = 0;
    std::vector<IndexedCounters> rows;
    const bool whole = request(RTM_GETSTATS, &message, sizeof message, seq) &&
                       readDump(seq, [&rows](const char* data, size_t size, uint32_t s) {
                           return ParseStatsDatagram(data, size, s, rows);
                       });
    if (!whole)
    {
        // Whatever is left of the dump must not be read as the next answer.
        closeSockets();
        return std::nullopt;
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.ifindex < b.ifindex; });
    // A dump that raced with a change can repeat an interface.
    rows.erase(
        std::unique(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.ifindex == b.ifindex; }),
        rows.end());
    return rows;
}

std::optional<InterfaceTable> NetlinkTableSource::fetch()
{
    // Announcements are drained before the dump so that a change during it is seen next time.
    const bool announced = linksChanged();
    const auto counters = fetchCounters();
    if (!counters)
        return std::nullopt;
    const bool sameIndexes =
        m_namesValid && std::equal(counters->begin(), counters->end(), m_names.begin(), m_names.end(),
                                   [](const IndexedCounters& c, const auto& n) { return c.ifindex == n.first; });
    if ((announced || !sameIndexes) && !refreshNames())
    {
        closeSockets();
        return std::nullopt;
    }
    InterfaceTable table;
    table.reserve(counters->size());
    auto name = m_names.begin();
    for (const IndexedCounters& c : *counters)
    {
        name =
            std::lower_bound(name, m_names.end(), c.ifindex, [](const auto& n, int index) { return n.first < index; });
        // Gone between the two dumps: it has no row.
        if (name == m_names.end() || name->first != c.ifindex)
            continue;
        table.push_back({name->second, c.inOctets, c.outOctets, static_cast<int32_t>(c.ifindex)});
    }
    return table;
}

// ---------------------------------------------------------------------------------------------

ProcNetDevTableSource::ProcNetDevTableSource(std::string path) : m_path(std::move(path)), m_buffer(16 * 1024)
{
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
}

ProcNetDevTableSource::~ProcNetDevTableSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ProcNetDevTableSource::readAll()
{
    if (m_fd < 0)
    {
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return false;
    }
    size_t filled = 0;
    for (;;)
    {
        if (filled == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        const auto got = ::pread(m_fd, m_buffer.data() + filled, m_buffer.size() - filled, static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
        {
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    m_filled = filled;
    return true;
}

int ProcNetDevTableSource::indexOf(const QByteArray& name)
{
    auto it = std::lower_bound(m_indexes.begin(), m_indexes.end(), name,
                               [](const auto& entry, const QByteArray& n) { return entry.first < n; });
    if (it != m_indexes.end() && it->first == name)
        return it->second;
    const int index = static_cast<int>(::if_nametoindex(name.constData()));
    if (index > 0)
        m_indexes.insert(it, {name, index});
    return index;
}

std::optional<InterfaceTable> ProcNetDevTableSource::fetch()
{
    if (!readAll())
        return std::nullopt;
    const auto lines = ParseProcNetDev(m_buffer.data(), m_filled);
    std::vector<std::pair<int, size_t>> order; // (ifindex, line)
    order.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
    {
        // Zero: the interface went away since the file was read.
        if (const int index = indexOf(lines[i].name); index > 0)
            order.emplace_back(index, i);
    }
    // Forget interfaces that are gone, so that a new one reusing the name is looked up afresh.
    if (m_indexes.size() > order.size())
    {
        std::erase_if(m_indexes, [&lines](const auto& entry) {
            return std::none_of(lines.begin(), lines.end(),
                                [&entry](const NamedCounters& l) { return l.name == entry.first; });
        });
    }
    std::sort(order.begin(), order.end());
    InterfaceTable table;
    table.reserve(order.size());
    for (const auto& [index, i] : order)
        table.push_back({lines[i].name, lines[i].inOctets, lines[i].outOctets, static_cast<int32_t>(index)});
    return table;
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TableSource> MakeSystemTableSource()
{
    if (auto netlink = std::make_unique<NetlinkTableSource>(); netlink->fetch())
        return netlink;
    if (auto proc = std::make_unique<ProcNetDevTableSource>(); proc->fetch())
        return proc;
    return std::make_unique<UnavailableTableSource>();
}
