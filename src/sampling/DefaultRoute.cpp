// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling/DefaultRoute.h"

#include <QFile>
#include <QList>

#include <cstdint>
#include <limits>

namespace
{
// Route flags of <linux/route.h>; included by value, the header drags in kernel types.
constexpr uint32_t kRouteUp = 0x0001;
constexpr uint32_t kRouteReject = 0x0200;

struct Best
{
    std::optional<QString> name;
    uint64_t metric = std::numeric_limits<uint64_t>::max();

    void offer(const QByteArray& iface, uint64_t m)
    {
        if (iface.isEmpty() || iface == "lo" || m >= metric)
            return;
        name = QString::fromUtf8(iface);
        metric = m;
    }
};

QList<QByteArray> Fields(const QByteArray& line)
{
    return line.simplified().split(' ');
}

// Iface Destination Gateway Flags RefCnt Use Metric Mask ...; numbers in hex but the metric.
std::optional<QString> FromIpv4(const QByteArray& text)
{
    Best best;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
    {
        const QList<QByteArray> f = Fields(lines[i]);
        if (f.size() < 8)
            continue;
        bool flagsOk = false, metricOk = false, destOk = false, maskOk = false;
        const uint32_t flags = f[3].toUInt(&flagsOk, 16);
        const uint64_t metric = f[6].toULongLong(&metricOk, 10);
        const uint32_t destination = f[1].toUInt(&destOk, 16);
        const uint32_t mask = f[7].toUInt(&maskOk, 16);
        if (flagsOk && metricOk && destOk && maskOk && destination == 0 && mask == 0 && (flags & kRouteUp) &&
            !(flags & kRouteReject))
            best.offer(f[0], metric);
    }
    return best.name;
}

// Destination PrefixLength Source SourcePrefixLength NextHop Metric RefCnt Use Flags Iface, in hex.
std::optional<QString> FromIpv6(const QByteArray& text)
{
    Best best;
    for (const QByteArray& line : text.split('\n'))
    {
        const QList<QByteArray> f = Fields(line);
        if (f.size() < 10)
            continue;
        bool prefixOk = false, metricOk = false, flagsOk = false;
        const uint32_t prefix = f[1].toUInt(&prefixOk, 16);
        const uint64_t metric = f[5].toULongLong(&metricOk, 16);
        const uint32_t flags = f[8].toUInt(&flagsOk, 16);
        const bool anyDestination = f[0].count('0') == f[0].size() && !f[0].isEmpty();
        if (prefixOk && metricOk && flagsOk && anyDestination && prefix == 0 && (flags & kRouteUp) &&
            !(flags & kRouteReject))
            best.offer(f[9], metric);
    }
    return best.name;
}

QByteArray ReadProc(const char* path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Route tables are small; the bound keeps a strange /proc from costing anything. Read in small
    // pieces: one read of the whole bound would reserve all of it at once.
    QByteArray text;
    char chunk[4096];
    while (text.size() < (1 << 20))
    {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, n);
    }
    return text;
}
} // namespace

std::optional<QString> DefaultRouteInterface(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes)
{
    if (auto name = FromIpv4(ipv4Routes))
        return name;
    return FromIpv6(ipv6Routes);
}

std::optional<QString> SystemDefaultRouteInterface()
{
    return DefaultRouteInterface(ReadProc("/proc/net/route"), ReadProc("/proc/net/ipv6_route"));
}
