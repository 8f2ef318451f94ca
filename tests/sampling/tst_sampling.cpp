// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling/DefaultRoute.h"
#include "sampling/LinuxTableSource.h"
#include "sampling/Sampler.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/Loopback.h"

#include <arpa/inet.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace
{
QByteArray Bytes(const void* data, size_t size)
{
    return QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
}

QByteArray Padded(QByteArray bytes)
{
    while (bytes.size() % 4 != 0)
        bytes.append('\0');
    return bytes;
}

QByteArray Message(uint16_t type, uint32_t seq, const QByteArray& payload)
{
    nlmsghdr header{};
    header.nlmsg_len = static_cast<uint32_t>(NLMSG_HDRLEN + payload.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = NLM_F_MULTI;
    header.nlmsg_seq = seq;
    return Padded(Bytes(&header, sizeof header) + payload);
}

QByteArray Attribute(uint16_t type, const QByteArray& value)
{
    rtattr attribute{};
    attribute.rta_len = static_cast<unsigned short>(RTA_LENGTH(value.size()));
    attribute.rta_type = type;
    return Padded(Bytes(&attribute, sizeof attribute) + value);
}

QByteArray StatsMessage(uint32_t seq, int ifindex, uint64_t rx, uint64_t tx)
{
    if_stats_msg message{};
    message.ifindex = static_cast<uint32_t>(ifindex);
    message.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    rtnl_link_stats64 stats{};
    stats.rx_bytes = rx;
    stats.tx_bytes = tx;
    stats.rx_packets = 7; // neighbours must not leak into the byte counters
    stats.tx_packets = 9;
    return Message(RTM_NEWSTATS, seq,
                   Bytes(&message, sizeof message) + Attribute(IFLA_STATS_LINK_64, Bytes(&stats, sizeof stats)));
}

QByteArray IntMessage(uint16_t type, uint32_t seq, int value)
{
    return Message(type, seq, Bytes(&value, sizeof value));
}

DumpStep ParseStats(const QByteArray& datagram, uint32_t seq, std::vector<IndexedCounters>& out)
{
    return ParseStatsDatagram(datagram.constData(), static_cast<size_t>(datagram.size()), seq, out);
}

int PositionOf(const QStringList& names, const QString& name)
{
    return static_cast<int>(names.indexOf(name));
}

} // namespace

class TestSampling final : public QObject
{
    Q_OBJECT

private slots:
    void displayName_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("slash and colon dropped")
            << QByteArray("LAN adapter 10/100: port 1") << QByteArray("LAN adapter 10100 port 1");
        QTest::newRow("only forbidden bytes gives empty") << QByteArray("/\\:*?<>|\x18\x01") << QByteArray();
        QTest::newRow("double quote, spaces and dots kept")
            << QByteArray("Carte \"Wi-Fi\" v1.2") << QByteArray("Carte \"Wi-Fi\" v1.2");
        QTest::newRow("stops at the zero byte") << QByteArray("eth0\0/tail", 10) << QByteArray("eth0");
        QTest::newRow("control bytes 0x18 and 0x01 dropped, 0x02 kept") << QByteArray("a\x18"
                                                                                      "b\x01"
                                                                                      "c\x02"
                                                                                      "d")
                                                                        << QByteArray("abc\x02"
                                                                                      "d");
        QTest::newRow("empty description") << QByteArray() << QByteArray();
    }
    void displayName()
    {
        QFETCH(QByteArray, description);
        QFETCH(QByteArray, name);
        QCOMPARE(DisplayNameBytes(description), name);
        QCOMPARE(InterfaceDisplayName(InterfaceRow{description, 0, 0}), QString::fromUtf8(name));
    }

    void readings_data()
    {
        QTest::addColumn<quint64>("in");
        QTest::addColumn<quint64>("out");
        QTest::addColumn<int>("tb");
        QTest::addColumn<qint32>("scaledIn");
        QTest::addColumn<qint32>("scaledOut");
        QTest::newRow("tb 20 (1 s) gives the counters") << quint64(1000) << quint64(123456) << 20 << 1000 << 123456;
        QTest::newRow("tb 10 (0.5 s) gives twice") << quint64(1001) << quint64(3) << 10 << 2002 << 6;
        QTest::newRow("2^32-1 reads -1") << quint64(4294967295u) << quint64(2147483647) << 20 << -1 << 2147483647;
        QTest::newRow("2^31 reads the lowest int32")
            << quint64(2147483648u) << quint64(0) << 20 << qint32(-2147483647 - 1) << 0;
        QTest::newRow("above 2^32 keeps the low 32 bits")
            << quint64(4294967296ull + 5) << quint64(3 * 4294967296ull + 2147483648ull) << 20 << 5
            << qint32(-2147483647 - 1);
        QTest::newRow("doubling past 2^32 wraps")
            << quint64(2147483648u + 10) << quint64(4294967295u) << 10 << 20 << -2;
        QTest::newRow("tb 100 (5 s) floors") << quint64(14) << quint64(4) << 100 << 2 << 0;
    }
    void readings()
    {
        QFETCH(quint64, in);
        QFETCH(quint64, out);
        QFETCH(int, tb);
        QFETCH(qint32, scaledIn);
        QFETCH(qint32, scaledOut);
        FixedTableSource source;
        source.table = InterfaceTable{{"lo", 1, 2}, {"eth0", in, out}};
        Sampler sampler(source);
        const auto counters = sampler.ReadCounters(1);
        QVERIFY(counters);
        QCOMPARE(counters->in, uint64_t(in)); // the recorder gets the exact 64-bit counters
        QCOMPARE(counters->out, uint64_t(out));
        const auto scaled = sampler.ReadScaledCounters(1, tb);
        QVERIFY(scaled);
        QCOMPARE(scaled->in, scaledIn);
        QCOMPARE(scaled->out, scaledOut);
    }

    void positionsOutsideTheTable()
    {
        FixedTableSource source;
        source.table = InterfaceTable{{"lo", 1, 2}, {"eth0", 3, 4}};
        Sampler sampler(source);
        QCOMPARE(sampler.FillInterfaceLists(), (QStringList{QStringLiteral("lo"), QStringLiteral("eth0")}));
        for (const int position : {2, 3, -1})
        {
            QVERIFY(!sampler.ReadCounters(position));
            QVERIFY(!sampler.ReadScaledCounters(position, 20));
        }
        // An interface that went away leaves the next one at its position.
        source.table = InterfaceTable{{"eth0", 3, 4}};
        QCOMPARE(sampler.ReadCounters(0)->in, uint64_t(3));
        QVERIFY(!sampler.ReadCounters(1));
    }

    void noTable()
    {
        FixedTableSource fixed;
        fixed.table = std::nullopt;
        UnavailableTableSource unavailable;
        for (TableSource* source : std::initializer_list<TableSource*>{&fixed, &unavailable})
        {
            Sampler sampler(*source);
            QVERIFY(sampler.FillInterfaceLists().isEmpty());
            QVERIFY(!sampler.ReadCounters(0));
            QVERIFY(!sampler.ReadScaledCounters(0, 20));
        }
    }

    void statsDumpInParts()
    {
        std::vector<IndexedCounters> rows;
        // A message of an abandoned earlier dump is not part of this one.
        const QByteArray first =
            StatsMessage(41, 9, 111, 222) + StatsMessage(42, 1, 4294967296ull + 7, 5) + StatsMessage(42, 3, 100, 200);
        QCOMPARE(ParseStats(first, 42, rows), DumpStep::More);
        QCOMPARE(ParseStats(StatsMessage(42, 2, 10, 20), 42, rows), DumpStep::More);
        QCOMPARE(ParseStats(IntMessage(NLMSG_DONE, 42, 0), 42, rows), DumpStep::Done);
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].ifindex, 1);
        QCOMPARE(rows[0].inOctets, 4294967296ull + 7);
        QCOMPARE(rows[0].outOctets, uint64_t(5));
        QCOMPARE(rows[1].ifindex, 3);
        QCOMPARE(rows[2].ifindex, 2);
        QCOMPARE(rows[2].outOctets, uint64_t(20));
    }

    void statsDumpFailures_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray good = StatsMessage(5, 1, 1, 1);
        QTest::newRow("error message") << good + IntMessage(NLMSG_ERROR, 5, -EINVAL);
        QTest::newRow("done with an error code") << IntMessage(NLMSG_DONE, 5, -EMSGSIZE);
        QTest::newRow("message cut short") << good + StatsMessage(5, 2, 1, 1).left(30);
        QTest::newRow("header cut short") << good + good.left(8);
        QByteArray overrun = StatsMessage(5, 2, 1, 1);
        // The counters attribute claims more bytes than its message holds.
        const int attributeAt = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(if_stats_msg));
        overrun[attributeAt] = char(0xff);
        overrun[attributeAt + 1] = char(0x0f);
        QTest::newRow("attribute past its message") << overrun;
        QByteArray tooLong = good;
        tooLong[0] = char(tooLong[0] + 8);
        QTest::newRow("length past the datagram") << tooLong;
    }
    void statsDumpFailures()
    {
        QFETCH(QByteArray, datagram);
        std::vector<IndexedCounters> rows;
        QCOMPARE(ParseStats(datagram, 5, rows), DumpStep::Failed);
    }

    void linkDump()
    {
        ifinfomsg message{};
        message.ifi_index = 4;
        const QByteArray link = Message(RTM_NEWLINK, 8,
                                        Bytes(&message, sizeof message) + Attribute(IFLA_MTU, QByteArray(4, '\1')) +
                                            Attribute(IFLA_IFNAME, QByteArray("wlan0", 6)));
        std::vector<std::pair<int, QByteArray>> names;
        QCOMPARE(ParseLinkDatagram(link.constData(), size_t(link.size()), 8, names), DumpStep::More);
        const QByteArray done = IntMessage(NLMSG_DONE, 8, 0);
        QCOMPARE(ParseLinkDatagram(done.constData(), size_t(done.size()), 8, names), DumpStep::Done);
        QCOMPARE(names.size(), size_t(1));
        QCOMPARE(names[0].first, 4);
        QCOMPARE(names[0].second, QByteArray("wlan0"));
    }

    void procNetDevText()
    {
        const QByteArray text = "Inter-|   Receive                                                |  Transmit\n"
                                " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
                                "errs drop fifo colls carrier compressed\n"
                                "    lo:    3267      29    0    0    0     0          0         0     3268      30    "
                                "0    0    0     0       0          0\n"
                                "  eth0:18446744073709551615 1 0 0 0 0 0 0 5000000000 2 0 0 0 0 0 0\n"
                                "  bad0: 12 x\n"
                                "  wg-vpn.1:1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";
        const auto rows = ParseProcNetDev(text.constData(), size_t(text.size()));
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].name, QByteArray("lo"));
        QCOMPARE(rows[0].inOctets, uint64_t(3267));
        QCOMPARE(rows[0].outOctets, uint64_t(3268));
        QCOMPARE(rows[1].name, QByteArray("eth0"));
        QCOMPARE(rows[1].inOctets, uint64_t(18446744073709551615ull));
        QCOMPARE(rows[1].outOctets, uint64_t(5000000000ull));
        QCOMPARE(rows[2].name, QByteArray("wg-vpn.1"));
        QCOMPARE(rows[2].inOctets, uint64_t(1));
        QCOMPARE(rows[2].outOctets, uint64_t(9));
    }

    void procNetDevFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("dev"));
        // Longer than the first read buffer; names that are no interface here have no row.
        QByteArray text = "Inter-|   Receive\n face |bytes\n";
        for (int i = 0; i < 400; ++i)
            text += "  nosuch" + QByteArray::number(i) + ": 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n";
        const auto write = [&path](const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(text + "    lo: 70000 1 0 0 0 0 0 0 80000 1 0 0 0 0 0 0\n"));
        ProcNetDevTableSource source(QFile::encodeName(path).toStdString());
        auto table = source.fetch();
        QVERIFY(table);
        QCOMPARE(table->size(), size_t(1));
        QCOMPARE((*table)[0].description, QByteArray("lo"));
        QCOMPARE((*table)[0].inOctets, uint64_t(70000));
        QCOMPARE((*table)[0].outOctets, uint64_t(80000));
        // The kept descriptor is read afresh each time.
        QVERIFY(write("    lo: 70001 1 0 0 0 0 0 0 80002 1 0 0 0 0 0 0\n"));
        table = source.fetch();
        QVERIFY(table);
        QCOMPARE(table->size(), size_t(1));
        QCOMPARE((*table)[0].inOctets, uint64_t(70001));
        QCOMPARE((*table)[0].outOctets, uint64_t(80002));

        ProcNetDevTableSource missing(QFile::encodeName(dir.filePath(QStringLiteral("none"))).toStdString());
        QVERIFY(!missing.fetch());
    }

    void systemSourcesAgree()
    {
        NetlinkTableSource netlink;
        ProcNetDevTableSource proc;
        const auto fromNetlink = netlink.fetch();
        const auto fromProc = proc.fetch();
        QVERIFY(fromNetlink);
        QVERIFY(fromProc);
        const QStringList names = DisplayNames(*fromNetlink);
        QVERIFY2(names.contains(QStringLiteral("lo")), qPrintable(names.join(u' ')));
        QCOMPARE(DisplayNames(*fromProc), names);
        // Both carry the kernel's interface index, which tells an interface made again under its old name.
        for (size_t i = 0; i < fromNetlink->size(); ++i)
        {
            const int index = static_cast<int>(::if_nametoindex((*fromNetlink)[i].description.constData()));
            QCOMPARE((*fromNetlink)[i].index, index);
            QCOMPARE((*fromProc)[i].index, index);
        }
        // A steady second snapshot keeps the same rows.
        QCOMPARE(DisplayNames(*netlink.fetch()), names);
        QCOMPARE(DisplayNames(*proc.fetch()), names);
        const auto system = MakeSystemTableSource()->fetch();
        QVERIFY(system);
        QCOMPARE(DisplayNames(*system), names);
    }

    void renameSeenWithoutNewIndex()
    {
        // A network namespace of its own (this thread only) lets the test rename its loopback.
        QStringList before;
        QStringList after;
        bool isolated = false;
        std::thread([&] {
            if (::unshare(CLONE_NEWNET) != 0)
                return;
            isolated = true;
            NetlinkTableSource source;
            if (const auto table = source.fetch())
                before = DisplayNames(*table);
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            ifreq request{};
            std::strcpy(request.ifr_name, "lo");
            std::strcpy(request.ifr_newname, "vorp0");
            if (fd >= 0 && ::ioctl(fd, SIOCSIFNAME, &request) == 0)
            {
                if (const auto table = source.fetch())
                    after = DisplayNames(*table);
            }
            if (fd >= 0)
                ::close(fd);
        }).join();
        if (!isolated)
            QSKIP("no permission to make a network namespace");
        QCOMPARE(before, QStringList{QStringLiteral("lo")});
        QCOMPARE(after, QStringList{QStringLiteral("vorp0")});
    }

    void defaultRoute_data()
    {
        QTest::addColumn<QByteArray>("ipv4");
        QTest::addColumn<QByteArray>("ipv6");
        QTest::addColumn<QString>("name");
        const QByteArray header =
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
        const QByteArray eth0 = "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
        const QByteArray wlan0 = "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
        const QByteArray subnet = "eth1\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
        const QByteArray down = "eth2\t00000000\t0103A8C0\t0002\t0\t0\t1\t00000000\t0\t0\t0\n";
        const QByteArray ppp = "ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n";
        const QByteArray v6 = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                              "fe800000000000000000000000000001 00000400 00000001 00000000 00000003     wg0\n";
        const QByteArray v6link = "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 "
                                  "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth0\n";
        const QByteArray v6reject = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                    "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
        QTest::newRow("one IPv4 default route") << header + subnet + eth0 << QByteArray() << "eth0";
        QTest::newRow("the lowest metric wins") << header + wlan0 + eth0 << v6 << "eth0";
        QTest::newRow("a route that is not up is no route") << header + down + wlan0 << QByteArray() << "wlan0";
        QTest::newRow("a default route without gateway") << header + ppp << QByteArray() << "ppp0";
        QTest::newRow("IPv6 when IPv4 has none") << header + subnet << v6link + v6reject + v6 << "wg0";
        QTest::newRow("loopback's reject route is none") << header << v6reject << QString();
        QTest::newRow("no route at all") << header + subnet << v6link << QString();
        QTest::newRow("unreadable tables") << QByteArray() << QByteArray() << QString();
    }
    void defaultRoute()
    {
        QFETCH(QByteArray, ipv4);
        QFETCH(QByteArray, ipv6);
        QFETCH(QString, name);
        QCOMPARE(DefaultRouteInterface(ipv4, ipv6).value_or(QString()), name);
    }

    void loopbackCountersGrow()
    {
        NetlinkTableSource netlink;
        ProcNetDevTableSource proc;
        Sampler fromNetlink(netlink);
        Sampler fromProc(proc);
        const int position = PositionOf(fromNetlink.FillInterfaceLists(), QStringLiteral("lo"));
        QVERIFY(position >= 0);
        QCOMPARE(PositionOf(fromProc.FillInterfaceLists(), QStringLiteral("lo")), position);
        const auto netlinkBefore = fromNetlink.ReadCounters(position);
        const auto procBefore = fromProc.ReadCounters(position);
        QVERIFY(netlinkBefore && procBefore);
        constexpr size_t sent = 256 * 1024;
        QVERIFY(SendOverLoopback(sent));
        const auto netlinkAfter = fromNetlink.ReadCounters(position);
        const auto procAfter = fromProc.ReadCounters(position);
        QVERIFY(netlinkAfter && procAfter);
        QVERIFY(netlinkAfter->in - netlinkBefore->in >= sent);
        QVERIFY(netlinkAfter->out - netlinkBefore->out >= sent);
        QVERIFY(procAfter->in - procBefore->in >= sent);
        QVERIFY(procAfter->out - procBefore->out >= sent);
    }
};

QTEST_GUILESS_MAIN(TestSampling)
#include "tst_sampling.moc"
