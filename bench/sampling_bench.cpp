// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling/LinuxTableSource.h"

#include <benchmark/benchmark.h>

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace
{
void NetlinkSnapshot(benchmark::State& state)
{
    NetlinkTableSource source;
    for (auto _ : state)
    {
        auto table = source.fetch();
        if (!table)
        {
            state.SkipWithError("no netlink table");
            break;
        }
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(NetlinkSnapshot);

void ProcNetDevSnapshot(benchmark::State& state)
{
    ProcNetDevTableSource source;
    for (auto _ : state)
    {
        auto table = source.fetch();
        if (!table)
        {
            state.SkipWithError("no /proc/net/dev table");
            break;
        }
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(ProcNetDevSnapshot);

// The floor a snapshot is measured against: the request and the datagrams of one RTM_GETSTATS
// dump, looking at nothing but the message types.
void BareStatsDump(benchmark::State& state)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
    {
        state.SkipWithError("no netlink socket");
        return;
    }
    struct
    {
        nlmsghdr header;
        if_stats_msg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(if_stats_msg));
    request.header.nlmsg_type = RTM_GETSTATS;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    std::vector<char> buffer(64 * 1024);
    uint32_t seq = 0;
    for (auto _ : state)
    {
        request.header.nlmsg_seq = ++seq;
        ::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
        bool done = false;
        while (!done)
        {
            const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (got <= 0)
                break;
            size_t left = static_cast<size_t>(got);
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left))
                done = done || h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    ::close(fd);
}
BENCHMARK(BareStatsDump);
} // namespace

BENCHMARK_MAIN();
