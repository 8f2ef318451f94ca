// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "graph/HistoryLoader.h"
#include "store/ProfileFile.h"
#include "store/Recorder.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "FaultyFileOps.h"
#include "support/Files.h"

#include <algorithm>
#include <unistd.h>

// One record cycle, with samples pending from before and a store that a kill left one line ahead of its
// totals, is run again and again with its 1st, 2nd, 3rd... file operation failing, until a run meets no
// fault. Whatever failed, the store stays whole, and the next cycle writes everything.
namespace
{
const QByteArray kHeader = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n";
const QByteArray kDay38152 = "12:00:00100U10\n";
// The second line ends with a lone CR; a torn line follows it.
const QByteArray kDay38153 = "23:40:001000U100\r\n23:45:002000U200\r23:4";
const QByteArray kOlder = "38152D=100\r\n38152U=10\r\n";
const QByteArray kReconciled = kOlder + "38153D=3000\r\n38153U=300\r\n";
const QByteArray kWith2355 = kOlder + "38153D=13000\r\n38153U=1300\r\n";

// Every text nic.inf may hold, in the order the cycles write them: as the kill left it (38153 one line
// behind), raised to its lines, then one sample at a time: 23:55 (10000/1000), 00:00 (20000/2000) and
// 00:05 (30000/3000) of the faulted cycle, 00:10 (40000/4000) of the next.
const QList<QByteArray> kDescriptors{
    kHeader + kOlder + "38153D=1000\r\n38153U=100\r\n",
    kHeader + kReconciled,
    kHeader + kWith2355,
    kHeader + kWith2355 + "38154D=20000\r\n38154U=2000\r\n",
    kHeader + kWith2355 + "38154D=50000\r\n38154U=5000\r\n",
    kHeader + kWith2355 + "38154D=90000\r\n38154U=9000\r\n",
};
const QList<QByteArray> kLines38153{"23:40:001000U100", "23:45:002000U200", "23:55:0010000U1000"};
const QList<QByteArray> kLines38154{"00:00:0020000U2000", "00:05:0030000U3000", "00:10:0040000U4000"};

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The lines a reader takes from a day file, and what follows the last of them.
struct DayLines
{
    QList<QByteArray> lines;
    QByteArray tail;
    int64_t in = 0;
    int64_t out = 0;
};
DayLines Read(const QByteArray& data)
{
    DayLines day;
    graph::SampleLineReader reader(data);
    while (const auto line = reader.next())
    {
        day.lines.append(line->toByteArray());
        if (const auto sample = graph::ParseSampleLine(*line))
        {
            day.in += sample->in;
            day.out += sample->out;
        }
    }
    const qsizetype end = std::max(data.lastIndexOf('\r'), data.lastIndexOf('\n')) + 1;
    day.tail = data.mid(end);
    return day;
}

// A store root beside a sentinel and a file that a link of the store points at.
struct Fixture
{
    QTemporaryDir base;
    QString root = base.filePath(QStringLiteral("store"));
    QString eth0 = root + QStringLiteral("/eth0");
    QString wlan0 = root + QStringLiteral("/wlan0");
    FaultyFileOps ops;
    FixedTableSource source;
    Sampler sampler{source};
    TestClock clock{QDateTime(QDate(2004, 6, 15), QTime(23, 50, 0))};
    CollectingErrorReporter errors;
    Recorder recorder{sampler, clock, errors, root, ops};
    const QStringList names{QStringLiteral("eth0"), QStringLiteral("wlan0")};

    Fixture()
    {
        QDir().mkpath(eth0);
        QDir().mkpath(wlan0);
        WriteAll(base.filePath(QStringLiteral("sentinel")), "sentinel\r\n");
        WriteAll(base.filePath(QStringLiteral("outside")), "[VORP DB]\r\nifname=outside\r\n");
        ::symlink(QFile::encodeName(base.filePath(QStringLiteral("outside"))).constData(),
                  QFile::encodeName(wlan0 + QStringLiteral("/nic.inf")).constData());
        WriteAll(eth0 + QStringLiteral("/nic.inf"), kDescriptors[0]);
        WriteAll(eth0 + QStringLiteral("/38152.mdf"), kDay38152);
        WriteAll(eth0 + QStringLiteral("/38153.mdf"), kDay38153);
        source.table = InterfaceTable{{"eth0", 0, 0}, {"wlan0", 0, 0}};
        recorder.setBaselines(*source.table, names, {true, true});
    }
    // Five minutes later, a cycle after eth0 moved by in and out (wlan0 by a little).
    void cycle(uint64_t in, uint64_t out)
    {
        clock.advanceSecs(300);
        (*source.table)[0].inOctets += in;
        (*source.table)[0].outOctets += out;
        (*source.table)[1].inOctets += 7;
        (*source.table)[1].outOctets += 7;
        recorder.RecordCycle(names, {true, true});
    }
    QByteArray file(const QString& name) const { return ReadAll(eth0 + QLatin1Char('/') + name); }
};

// What lies outside eth0 is as it was: the sentinel, the link's target, the link itself.
void CheckOutside(const Fixture& f)
{
    QCOMPARE(ReadAll(f.base.filePath(QStringLiteral("sentinel"))), QByteArray("sentinel\r\n"));
    QCOMPARE(ReadAll(f.base.filePath(QStringLiteral("outside"))), QByteArray("[VORP DB]\r\nifname=outside\r\n"));
    QCOMPARE(QFileInfo(f.wlan0 + QStringLiteral("/nic.inf")).symLinkTarget(),
             f.base.filePath(QStringLiteral("outside")));
    QCOMPARE(Entries(f.base.path()),
             (QStringList{QStringLiteral("outside"), QStringLiteral("sentinel"), QStringLiteral("store")}));
    QCOMPARE(Entries(f.root), (QStringList{QStringLiteral("eth0"), QStringLiteral("wlan0")}));
    QCOMPARE(Entries(f.wlan0), QStringList{QStringLiteral("nic.inf")});
}

// The lines of a day file are the ones it had, then some of the expected new ones, in order, each whole.
void CheckLines(const DayLines& day, const QList<QByteArray>& expected, qsizetype kept)
{
    QVERIFY2(day.lines.size() >= kept && day.lines.size() <= expected.size(), day.lines.join('|').constData());
    QCOMPARE(day.lines, expected.first(day.lines.size()));
}
} // namespace

Q_DECLARE_METATYPE(FaultyFileOps::Fault)

class TestFaultPoints final : public QObject
{
    Q_OBJECT

private slots:
    void everyFailingOperation_data()
    {
        QTest::addColumn<FaultyFileOps::Fault>("fault");
        QTest::addColumn<bool>("sticky");
        QTest::newRow("one call fails with ENOSPC") << FaultyFileOps::Fault::NoSpace << false;
        QTest::newRow("one call fails with EIO") << FaultyFileOps::Fault::IoError << false;
        QTest::newRow("every call from there fails with ENOSPC") << FaultyFileOps::Fault::NoSpace << true;
        QTest::newRow("every call from there fails with EIO") << FaultyFileOps::Fault::IoError << true;
        QTest::newRow("a short write, then a full disk") << FaultyFileOps::Fault::ShortWrite << true;
    }
    void everyFailingOperation()
    {
        QFETCH(FaultyFileOps::Fault, fault);
        QFETCH(bool, sticky);
        int points = 0;
        for (int nth = 1;; ++nth)
        {
            QVERIFY(nth < 1000);
            const QByteArray where = "fault point " + QByteArray::number(nth);
            const auto tell = qScopeGuard([&where] {
                if (QTest::currentTestFailed())
                    qWarning("%s", where.constData());
            });
            Fixture f;
            // Two samples that could not be written, on either side of midnight.
            f.ops.arm(FaultyFileOps::Fault::IoError, 1, true);
            f.cycle(10000, 1000); // 23:55
            f.cycle(20000, 2000); // 00:00, the next day
            f.ops.disarm();
            QCOMPARE(f.file(QStringLiteral("nic.inf")), kDescriptors[0]);

            f.ops.arm(fault, nth, sticky);
            f.cycle(30000, 3000); // 00:05
            const bool hit = f.ops.hit();
            f.ops.disarm();

            const QByteArray inf = f.file(QStringLiteral("nic.inf"));
            QVERIFY2(kDescriptors.first(5).contains(inf), (where + ": nic.inf is\n" + inf).constData());
            const auto profile = ProfileFile::parse(inf);
            QVERIFY(profile.hasSection(QStringLiteral("VORP DB")) && profile.hasSection(QStringLiteral("data")));
            QCOMPARE(f.file(QStringLiteral("38152.mdf")), kDay38152);
            const DayLines day38153 = Read(f.file(QStringLiteral("38153.mdf")));
            CheckLines(day38153, kLines38153, 2);
            const QByteArray data38154 = f.file(QStringLiteral("38154.mdf"));
            const DayLines day38154 = data38154 == "<missing>" ? DayLines{} : Read(data38154);
            QVERIFY2(!data38154.isEmpty(), where.constData()); // never left empty
            CheckLines(day38154, kLines38154.first(2), 0);
            // A torn tail is the one the kill left, or, when the undo failed as well, a torn part of a new line.
            const auto torn = [sticky](const QByteArray& tail, const QList<QByteArray>& added, const QByteArray& old) {
                return tail.isEmpty() || tail == old ||
                       (sticky && std::any_of(added.begin(), added.end(),
                                              [&tail](const QByteArray& line) { return line.startsWith(tail); }));
            };
            QVERIFY2(torn(day38153.tail, {kLines38153[2]}, "23:4"), (where + ": " + day38153.tail).constData());
            QVERIFY2(torn(day38154.tail, kLines38154, {}), (where + ": " + day38154.tail).constData());
            // Totals are never ahead of the lines.
            const auto total = [&profile](const char* key) {
                return profile.value(QStringLiteral("data"), QLatin1String(key))
                    .value_or(QStringLiteral("0"))
                    .toLongLong();
            };
            QVERIFY2(total("38153D") <= day38153.in && total("38153U") <= day38153.out, where.constData());
            QVERIFY2(total("38154D") <= day38154.in && total("38154U") <= day38154.out, where.constData());
            CheckOutside(f);
            QStringList files = Entries(f.eth0);
            if (sticky) // a temporary file that could not be removed either
                files.removeIf([](const QString& name) { return IsAtomicWriteLeftover(name); });
            files.removeOne(QStringLiteral("38154.mdf"));
            QCOMPARE(files, (QStringList{QStringLiteral("38152.mdf"), QStringLiteral("38153.mdf"),
                                         QStringLiteral("nic.inf")}));
            if (QTest::currentTestFailed())
                return;

            // The fault is gone: every sample lands with its own time stamp, totals exact.
            f.cycle(40000, 4000); // 00:10
            QCOMPARE(f.file(QStringLiteral("38152.mdf")), kDay38152);
            QCOMPARE(f.file(QStringLiteral("38153.mdf")),
                     QByteArray("23:40:001000U100\r\n23:45:002000U200\r23:55:0010000U1000\r\n"));
            QCOMPARE(f.file(QStringLiteral("38154.mdf")),
                     QByteArray("00:00:0020000U2000\r\n00:05:0030000U3000\r\n00:10:0040000U4000\r\n"));
            QCOMPARE(f.file(QStringLiteral("nic.inf")), kDescriptors[5]);
            const auto unwritten = f.recorder.unwritten();
            QCOMPARE(unwritten.size(), size_t(1)); // wlan0 only: its nic.inf is a link
            QCOMPARE(unwritten[0].name, QStringLiteral("wlan0"));
            CheckOutside(f);
            if (QTest::currentTestFailed())
                return;
            if (!hit)
                break;
            ++points;
        }
        qInfo("%s: %d fault points walked through", QTest::currentDataTag(), points);
        QVERIFY(points > 0);
    }
};

QTEST_GUILESS_MAIN(TestFaultPoints)
#include "tst_faultpoints.moc"
