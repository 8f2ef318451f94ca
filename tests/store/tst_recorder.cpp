// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "store/DayFile.h"
#include "store/ProfileFile.h"
#include "store/Recorder.h"
#include "store/StatisticsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

#include "support/Loopback.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// The system's calls, but a file the test names refuses to be opened, as another owner's file does (the tests
// run as root, whom permissions never stop).
class DenyingFileOps final : public store::FileOps
{
public:
    QString denied;
    int open(const QString& path, int flags, mode_t mode) override
    {
        if (path == denied)
        {
            errno = EACCES;
            return -1;
        }
        return m_system.open(path, flags, mode);
    }
    int close(int fd) override { return m_system.close(fd); }
    int fstat(int fd, struct stat* st) override { return m_system.fstat(fd, st); }
    int lstat(const QString& path, struct stat* st) override { return m_system.lstat(path, st); }
    ssize_t pread(int fd, void* buffer, size_t size, off_t offset) override
    {
        return m_system.pread(fd, buffer, size, offset);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override
    {
        return m_system.pwrite(fd, data, size, offset);
    }
    int fsync(int fd) override { return m_system.fsync(fd); }
    int ftruncate(int fd, off_t length) override { return m_system.ftruncate(fd, length); }
    int rename(const QString& from, const QString& to) override { return m_system.rename(from, to); }
    int unlink(const QString& path) override { return m_system.unlink(path); }
    int mkdir(const QString& path, mode_t mode) override { return m_system.mkdir(path, mode); }

private:
    store::FileOps& m_system = store::SystemFileOps();
};

// One recorder over a temporary store root, with an exact table and a settable clock.
struct Rig
{
    QTemporaryDir root;
    FixedTableSource source;
    Sampler sampler{source};
    TestClock clock;
    CollectingErrorReporter errors;
    DenyingFileOps ops;
    Recorder recorder{sampler, clock, errors, root.path(), ops};
    QStringList names;
    std::vector<bool> checked;

    explicit Rig(const QByteArray& description = "LAN adapter 10/100: port 1", uint64_t in = 1000, uint64_t out = 2000)
    {
        source.table = InterfaceTable{{description, in, out}};
        names = DisplayNames(*source.table);
        checked = {true};
        recorder.setBaselines(*source.table, names, checked);
    }
    void counters(uint64_t in, uint64_t out, int32_t index = 0)
    {
        (*source.table)[0] = InterfaceRow{(*source.table)[0].description, in, out, index};
    }
    void add(uint64_t in, uint64_t out)
    {
        const InterfaceRow& r = (*source.table)[0];
        counters(r.inOctets + in, r.outOctets + out);
    }
    void cycle() { recorder.RecordCycle(names, checked); }
    QString dir() const { return root.path() + QLatin1Char('/') + names[0]; }
    QByteArray inf() const { return ReadAll(dir() + QStringLiteral("/nic.inf")); }
    QByteArray day(int n) const { return ReadAll(dir() + QStringLiteral("/%1.mdf").arg(n)); }
};

// What can stand in a store in place of one of its files.
enum class Intruder
{
    Link,         // to a file outside the store
    DanglingLink, // to a name outside the store that does not exist
    Fifo,
    Folder,
    Oversized, // a sparse regular file one byte above the limit
};

// Two interfaces over a store root inside a folder that also holds what lies outside the store.
struct TwoInterfaces
{
    QTemporaryDir base;
    QString root = base.filePath(QStringLiteral("store"));
    FixedTableSource source;
    Sampler sampler{source};
    TestClock clock;
    CollectingErrorReporter errors;
    Recorder recorder{sampler, clock, errors, root};
    const QStringList names{QStringLiteral("eth0"), QStringLiteral("wlan0")};

    TwoInterfaces()
    {
        QDir().mkpath(root + QStringLiteral("/eth0"));
        source.table = InterfaceTable{{"eth0", 0, 0}, {"wlan0", 0, 0}};
        recorder.setBaselines(*source.table, names, {true, true});
    }
    void cycle()
    {
        for (InterfaceRow& row : *source.table)
        {
            row.inOctets += row.description == "eth0" ? 10 : 20;
            row.outOctets += row.description == "eth0" ? 1 : 2;
        }
        recorder.RecordCycle(names, {true, true});
        clock.advanceSecs(300);
    }
    QString path(const QString& name) const { return root + QStringLiteral("/eth0/") + name; }
    QString outside() const { return base.filePath(QStringLiteral("outside")); }
};

bool MakeIntruder(Intruder kind, const QString& path, const QString& outside, int64_t limit)
{
    const QByteArray native = QFile::encodeName(path);
    switch (kind)
    {
    case Intruder::Link:
        return ::symlink(QFile::encodeName(outside).constData(), native.constData()) == 0;
    case Intruder::DanglingLink:
        return ::symlink(QFile::encodeName(outside + QStringLiteral(".new")).constData(), native.constData()) == 0;
    case Intruder::Fifo:
        return ::mkfifo(native.constData(), 0644) == 0;
    case Intruder::Folder:
        return QDir().mkdir(path);
    case Intruder::Oversized: {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && ::ftruncate(f.handle(), limit + 1) == 0;
    }
    }
    return false;
}

// The kind of what stands at path, as lstat sees it.
mode_t KindAt(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

mode_t KindOf(Intruder kind)
{
    switch (kind)
    {
    case Intruder::Link:
    case Intruder::DanglingLink:
        return S_IFLNK;
    case Intruder::Fifo:
        return S_IFIFO;
    case Intruder::Folder:
        return S_IFDIR;
    case Intruder::Oversized:
        return S_IFREG;
    }
    return 0;
}

bool RemoveIntruder(const QString& path)
{
    return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink() ? QDir(path).removeRecursively()
                                                                   : ::unlink(QFile::encodeName(path).constData()) == 0;
}
} // namespace

Q_DECLARE_METATYPE(Intruder)

class TestRecorder final : public QObject
{
    Q_OBJECT

private slots:
    void workedExampleByteForByte()
    {
        Rig rig;
        rig.clock.set(QDateTime(QDate(2004, 6, 15), QTime(14, 35, 7)));
        rig.add(123456, 7890);
        rig.cycle();
        QCOMPARE(rig.names[0], QStringLiteral("LAN adapter 10100 port 1"));
        QVERIFY(QFileInfo(rig.dir()).isDir());
        QCOMPARE(rig.inf(),
                 QByteArray("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\n"
                            "ifname=LAN adapter 10100 port 1\r\n[data]\r\n38153D=123456\r\n38153U=7890\r\n"));
        QCOMPARE(rig.day(38153), QByteArray("14:35:07123456U7890\r\n"));

        rig.clock.set(QDateTime(QDate(2004, 6, 15), QTime(14, 40, 7)));
        rig.add(1000, 20);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:35:07123456U7890\r\n14:40:071000U20\r\n"));
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=124456\r\n38153U=7910\r\n"));
        QVERIFY(rig.errors.messages.isEmpty());
    }

    void folderNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("folder");
        QTest::newRow("two characters get the prefix") << "ab" << 5 << "IF05_ab";
        QTest::newRow("empty name") << "" << 0 << "IF00_";
        QTest::newRow("position 12") << "" << 12 << "IF012_";
        QTest::newRow("three characters stand alone") << "eth" << 3 << "eth";
        QTest::newRow("quote and spaces kept") << "My \"NIC\" 1" << 0 << "My \"NIC\" 1";
        QTest::newRow("too long for the file system")
            << QString(300, QLatin1Char('x')) << 1 << QString(255, QLatin1Char('x'));
    }
    void folderNames()
    {
        QFETCH(QString, name);
        QFETCH(int, position);
        QFETCH(QString, folder);
        QTemporaryDir root;
        const auto dir = store::StatisticsFolderFor(root.path() + QLatin1Char('/'), position, name);
        QVERIFY(dir.has_value());
        QCOMPARE(*dir, root.path() + QLatin1Char('/') + folder);
        QVERIFY(QFileInfo(*dir).isDir());
    }

    void existingShorterFolderIsUsed()
    {
        QTemporaryDir root;
        const QString base = root.path() + QLatin1Char('/');
        QVERIFY(QDir().mkdir(base + QString(255, QLatin1Char('y'))));
        QCOMPARE(store::StatisticsFolderFor(base, 0, QString(256, QLatin1Char('y'))),
                 base + QString(255, QLatin1Char('y')));
    }

    void unwritableStoreRootSkipsTheInterface()
    {
        QTemporaryDir tmp;
        const QString notADir = tmp.filePath(QStringLiteral("file"));
        WriteAll(notADir, "x");
        QVERIFY(!store::StatisticsFolderFor(notADir + QLatin1Char('/'), 0, QStringLiteral("eth0")).has_value());

        FixedTableSource source;
        source.table = InterfaceTable{{"eth0", 10, 10}};
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        Recorder recorder(sampler, clock, errors, notADir);
        recorder.setBaselines(*source.table, {QStringLiteral("eth0")}, {true});
        (*source.table)[0] = InterfaceRow{"eth0", 20, 30};
        recorder.RecordCycle({QStringLiteral("eth0")}, {true});
        recorder.RecordCycle({QStringLiteral("eth0")}, {true});
        QCOMPARE(errors.messages.size(), 1);
        QVERIFY(errors.messages[0].startsWith(QStringLiteral("Impossible d'écrire dans ")));
        QCOMPARE(recorder.pendingCount(), size_t(1)); // kept for when the store can be written
    }

    void oneDirectionAloneIsWrittenWithZeroForTheOther()
    {
        Rig rig;
        rig.cycle(); // nothing moved: directory and descriptor exist all the same, no line
        QVERIFY(rig.inf().startsWith("[VORP DB]\r\n"));
        QVERIFY(!rig.inf().contains("[data]"));
        QCOMPARE(rig.day(38153), QByteArray("<missing>"));
        rig.add(500, 0); // a receive-only line
        rig.cycle();
        rig.clock.advanceSecs(300);
        rig.add(0, 7);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:35:07500U0\r\n14:40:070U7\r\n"));
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=500\r\n38153U=7\r\n"));
    }

    // After a reset the counters count from zero again: the new reading is what moved in the interval.
    void counterReset_data()
    {
        QTest::addColumn<int>("indexBefore");
        QTest::addColumn<qulonglong>("in");
        QTest::addColumn<qulonglong>("out");
        QTest::addColumn<int>("indexAfter");
        QTest::addColumn<QByteArray>("firstLine");
        // Baseline 5,000,000,000 each way.
        QTest::newRow("both readings below the baseline") << 0 << 100ULL << 100ULL << 0 << QByteArray("100U100");
        QTest::newRow("one reading below the baseline")
            << 0 << 100ULL << 5000000070ULL << 0 << QByteArray("100U5000000070");
        QTest::newRow("made again: another index, counters already past the old ones")
            << 3 << 6000000000ULL << 5000000001ULL << 9 << QByteArray("6000000000U5000000001");
        QTest::newRow("same index, counters moved on: no reset")
            << 3 << 5000000100ULL << 5000000020ULL << 3 << QByteArray("100U20");
    }
    void counterReset()
    {
        QFETCH(int, indexBefore);
        QFETCH(qulonglong, in);
        QFETCH(qulonglong, out);
        QFETCH(int, indexAfter);
        QFETCH(QByteArray, firstLine);
        Rig rig("eth0", 0, 0);
        rig.counters(5000000000ULL, 5000000000ULL, indexBefore);
        rig.recorder.setBaselines(*rig.source.table, rig.names, rig.checked);
        rig.counters(in, out, indexAfter);
        rig.cycle();
        rig.clock.advanceSecs(300);
        rig.add(50, 70); // the reading after a reset is the new baseline
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:35:07" + firstLine + "\r\n14:40:0750U70\r\n"));
    }

    void exactAmountsAboveSinglePrecision()
    {
        // 64-bit counters: a one-byte change at 2^24 and an amount above 2^32 are both exact in the line.
        Rig rig("eth0", 16777216, 4294967295ULL);
        rig.add(1, 5000000001ULL);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:35:071U5000000001\r\n"));
        QVERIFY(rig.inf().endsWith("38153D=1\r\n38153U=5000000000\r\n")); // totals stay single precision
    }

    void totalsAreSinglePrecisionAndDamageCountsAsZero()
    {
        Rig rig("eth0");
        rig.cycle();
        QFile::remove(rig.dir() + QStringLiteral("/nic.inf"));
        WriteAll(
            rig.dir() + QStringLiteral("/nic.inf"),
            "[VORP "
            "DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n38153D=16777216\r\n38153U=n/a\r\n");
        rig.add(1, 7);
        rig.cycle();
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=16777216\r\n38153U=7\r\n"));
    }

    void sampleAtTwoPastMidnightBelongsToTheNewDay()
    {
        Rig rig("eth0");
        rig.clock.set(QDateTime(QDate(2004, 6, 16), QTime(0, 2, 0)));
        rig.add(300, 400);
        rig.cycle();
        QCOMPARE(rig.day(38154), QByteArray("00:02:00300U400\r\n"));
        QCOMPARE(rig.day(38153), QByteArray("<missing>"));
        QVERIFY(rig.inf().endsWith("[data]\r\n38154D=300\r\n38154U=400\r\n"));
    }

    void tornLastLineIsCutBeforeTheAppend()
    {
        Rig rig("eth0");
        rig.cycle();
        WriteAll(rig.dir() + QStringLiteral("/38153.mdf"), "14:30:07100U5\r\n14:3");
        rig.add(1, 2);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:30:07100U5\r\n14:35:071U2\r\n"));
    }

    void unwritableDescriptorKeepsSamplesAndReportsOnce()
    {
        Rig rig("eth0");
        rig.cycle();
        const QByteArray before = rig.inf();
        {
            FileSizeLimit full(static_cast<rlim_t>(before.size())); // nic.inf cannot grow: the disk is full
            rig.add(100, 200);
            rig.cycle();
            rig.clock.advanceSecs(300);
            rig.add(1, 2);
            rig.cycle();
            QCOMPARE(rig.inf(), before);
            QCOMPARE(rig.errors.messages,
                     QStringList{QStringLiteral("Impossible d'écrire dans %1/nic.inf").arg(rig.dir())});
            QCOMPARE(rig.recorder.pendingCount(), size_t(2));
        }
        rig.clock.advanceSecs(300);
        rig.cycle(); // space is back: both samples land with their own time stamps, nothing twice
        QCOMPARE(rig.day(38153), QByteArray("14:35:07100U200\r\n14:40:071U2\r\n"));
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=101\r\n38153U=202\r\n"));
        QCOMPARE(rig.recorder.pendingCount(), size_t(0));
        QCOMPARE(rig.errors.messages.size(), 1);
    }

    void interfaceCheckedLaterStartsFromItsCounters()
    {
        FixedTableSource source;
        source.table = InterfaceTable{{"eth0", 1000000, 2000000}, {"wlan0", 10, 10}};
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        QTemporaryDir root;
        Recorder recorder(sampler, clock, errors, root.path());
        const QStringList names = DisplayNames(*source.table);
        recorder.setBaselines(*source.table, names, {false, true});
        recorder.interfaceChecked(0, names[0]);
        (*source.table)[0] = InterfaceRow{"eth0", 1000005, 2000006};
        // A list longer than the table: the missing row is skipped, not read.
        recorder.RecordCycle(names + QStringList{QStringLiteral("gone")}, {true, false, true});
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("eth0/38153.mdf"))), QByteArray("14:35:075U6\r\n"));
        QVERIFY(QFileInfo(root.filePath(QStringLiteral("gone"))).isDir());
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("wlan0"))));
    }

    void realLoopbackRun()
    {
        auto source = MakeSystemTableSource();
        Sampler sampler(*source);
        const auto table = sampler.FetchInterfaceTable();
        QVERIFY(table.has_value());
        const QStringList names = DisplayNames(*table);
        const int lo = static_cast<int>(names.indexOf(QStringLiteral("lo")));
        QVERIFY(lo >= 0);
        std::vector<bool> checked(static_cast<size_t>(names.size()), false);
        checked[static_cast<size_t>(lo)] = true;
        QTemporaryDir root;
        TestClock clock(QDateTime(QDate(2026, 12, 10), QTime(9, 15, 0)));
        CollectingErrorReporter errors;
        Recorder recorder(sampler, clock, errors, root.path());
        recorder.setBaselines(*table, names, checked);

        constexpr size_t kSent = 1 << 20;
        QVERIFY(SendOverLoopback(kSent));
        recorder.RecordCycle(names, checked);

        // Names under three characters carry the position prefix.
        const QString dir = root.filePath(QStringLiteral("IF0%1_lo").arg(lo));
        const QByteArray line = ReadAll(dir + QStringLiteral("/46366.mdf"));
        QVERIFY2(line.startsWith("09:15:00") && line.endsWith("\r\n") && line.count("\r\n") == 1, line.constData());
        const qsizetype u = line.indexOf('U');
        QVERIFY(line.mid(8, u - 8).toULongLong() >= kSent);
        QVERIFY(line.mid(u + 1, line.size() - u - 3).toULongLong() >= kSent);
        const QByteArray inf = ReadAll(dir + QStringLiteral("/nic.inf"));
        QVERIFY(inf.startsWith("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=lo\r\n[data]\r\n46366D="));
        const auto file = ProfileFile::parse(inf);
        QVERIFY(file.value(QStringLiteral("data"), QStringLiteral("46366D"))->toDouble() >= kSent);
        QVERIFY(file.value(QStringLiteral("data"), QStringLiteral("46366U"))->toDouble() >= kSent);
        QVERIFY(errors.messages.isEmpty());
    }

    void interfaceBackAtAnotherPosition()
    {
        FixedTableSource source;
        source.table = InterfaceTable{{"eth0", 5000, 6000}, {"wlan0", 900, 800}};
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        QTemporaryDir root;
        Recorder recorder(sampler, clock, errors, root.path());
        const QStringList names = DisplayNames(*source.table);
        recorder.setBaselines(*source.table, names, {true, true});
        // wlan0 went away and came back with fresh counters, counted from zero; the table now starts with it.
        source.table = InterfaceTable{{"wlan0", 3, 4}, {"eth0", 5100, 6010}};
        recorder.RecordCycle(names, {true, true});
        source.table = InterfaceTable{{"wlan0", 8, 10}, {"eth0", 5100, 6010}};
        clock.advanceSecs(300);
        recorder.RecordCycle(names, {true, true});
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("eth0/38153.mdf"))), QByteArray("14:35:07100U10\r\n"));
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("wlan0/38153.mdf"))),
                 QByteArray("14:35:073U4\r\n14:40:075U6\r\n"));
    }

    void moreThanSixteenPositions()
    {
        FixedTableSource source;
        source.table = InterfaceTable{};
        for (int i = 0; i < 20; ++i)
            source.table->push_back(InterfaceRow{"veth" + QByteArray::number(i), 0, 0});
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        QTemporaryDir root;
        Recorder recorder(sampler, clock, errors, root.path());
        const QStringList names = DisplayNames(*source.table);
        const std::vector<bool> all(20, true);
        recorder.setBaselines(*source.table, names, all);
        for (int i = 0; i < 20; ++i)
            (*source.table)[static_cast<size_t>(i)] = InterfaceRow{"veth" + QByteArray::number(i), uint64_t(i + 1), 7};
        recorder.RecordCycle(names, all);
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("veth19/38153.mdf"))), QByteArray("14:35:0720U7\r\n"));
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("veth16/38153.mdf"))), QByteArray("14:35:0717U7\r\n"));
    }

    void refusedFileIsToldOnceAndTheOthersRecord_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Intruder>("kind");
        QTest::addColumn<QString>("message");
        const QString notRegular = QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire");
        QTest::newRow("nic.inf is a link out of the store") << "nic.inf" << Intruder::Link << notRegular;
        QTest::newRow("nic.inf is a dangling link") << "nic.inf" << Intruder::DanglingLink << notRegular;
        QTest::newRow("nic.inf is a FIFO") << "nic.inf" << Intruder::Fifo << notRegular;
        QTest::newRow("nic.inf is a folder") << "nic.inf" << Intruder::Folder << notRegular;
        QTest::newRow("nic.inf is 8 MiB + 1")
            << "nic.inf" << Intruder::Oversized
            << QStringLiteral("Fichier ignoré : %1 est trop grand (8388609 octets, au plus 8388608 attendus)");
        QTest::newRow("day file is a link out of the store") << "38153.mdf" << Intruder::Link << notRegular;
        QTest::newRow("day file is a dangling link") << "38153.mdf" << Intruder::DanglingLink << notRegular;
        QTest::newRow("day file is a FIFO") << "38153.mdf" << Intruder::Fifo << notRegular;
        QTest::newRow("day file is a folder") << "38153.mdf" << Intruder::Folder << notRegular;
        QTest::newRow("day file is 1 MiB + 1")
            << "38153.mdf" << Intruder::Oversized
            << QStringLiteral("Fichier ignoré : %1 est trop grand (1048577 octets, au plus 1048576 attendus)");
    }
    void refusedFileIsToldOnceAndTheOthersRecord()
    {
        QFETCH(QString, file);
        QFETCH(Intruder, kind);
        QFETCH(QString, message);
        TwoInterfaces rig;
        WriteAll(rig.outside(), "outside\r\n");
        const QString path = rig.path(file);
        const int64_t limit = file == QStringLiteral("nic.inf") ? store::kDescriptorLimit : store::kDayFileLimit;
        QVERIFY(MakeIntruder(kind, path, rig.outside(), limit));
        for (int i = 0; i < 3; ++i)
            rig.cycle(); // a FIFO that blocked would hang here
        QCOMPARE(rig.errors.messages, QStringList{message.arg(path)});
        QCOMPARE(ReadAll(rig.root + QStringLiteral("/wlan0/38153.mdf")),
                 QByteArray("14:35:0720U2\r\n14:40:0720U2\r\n14:45:0720U2\r\n"));
        const auto unwritten = rig.recorder.unwritten();
        if (file == QStringLiteral("nic.inf"))
        {
            QCOMPARE(unwritten.size(), size_t(1));
            QCOMPARE(unwritten[0].name, QStringLiteral("eth0"));
            QCOMPARE(unwritten[0].samples, size_t(3));
        }
        else
        {
            // The day's totals hold the samples whose lines wait for the file.
            QVERIFY(unwritten.empty());
            QCOMPARE(rig.recorder.pendingCount(), size_t(3));
            QVERIFY(ReadAll(rig.path(QStringLiteral("nic.inf"))).endsWith("[data]\r\n38153D=30\r\n38153U=3\r\n"));
        }
        // Nothing was written through it, nor put in its place.
        QCOMPARE(ReadAll(rig.outside()), QByteArray("outside\r\n"));
        QVERIFY(!QFileInfo::exists(rig.outside() + QStringLiteral(".new")));
        QCOMPARE(KindAt(path), KindOf(kind));
        QCOMPARE(QDir(rig.base.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("outside"), QStringLiteral("store")}));

        QVERIFY(RemoveIntruder(path));
        rig.cycle();
        QCOMPARE(ReadAll(rig.path(QStringLiteral("38153.mdf"))),
                 QByteArray("14:35:0710U1\r\n14:40:0710U1\r\n14:45:0710U1\r\n14:50:0710U1\r\n"));
        QVERIFY(ReadAll(rig.path(QStringLiteral("nic.inf"))).endsWith("[data]\r\n38153D=40\r\n38153U=4\r\n"));
        QVERIFY(rig.recorder.unwritten().empty());
        QCOMPARE(rig.errors.messages.size(), 1);
    }

    // Today's file refused from 23:50 on: the next day's samples are written at once, the refused day's
    // totals count every sample, and its lines land once the file is usable again.
    void refusedDayHoldsBackNoOtherDay_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("message");
        QTest::newRow("a FIFO") << true << QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire");
        QTest::newRow("another owner's file") << false << QStringLiteral("Impossible d'écrire dans %1");
    }
    void refusedDayHoldsBackNoOtherDay()
    {
        QFETCH(bool, fifo);
        QFETCH(QString, message);
        Rig rig("eth0");
        rig.clock.set(QDateTime(QDate(2004, 6, 15), QTime(23, 50, 0)));
        rig.cycle();
        const QString refused = rig.dir() + QStringLiteral("/38153.mdf");
        if (fifo)
            QVERIFY(::mkfifo(QFile::encodeName(refused).constData(), 0644) == 0);
        else
        {
            WriteAll(refused, QByteArray());
            rig.ops.denied = refused;
        }
        for (int i = 0; i < 4; ++i) // 23:50, 23:55, 00:00, 00:05
        {
            rig.add(100, 10);
            rig.cycle();
            rig.clock.advanceSecs(300);
        }
        QCOMPARE(rig.day(38154), QByteArray("00:00:00100U10\r\n00:05:00100U10\r\n"));
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=200\r\n38153U=20\r\n38154D=200\r\n38154U=20\r\n"));
        QCOMPARE(rig.errors.messages, QStringList{message.arg(refused)});
        QVERIFY(rig.recorder.unwritten().empty());

        QVERIFY(::unlink(QFile::encodeName(refused).constData()) == 0);
        rig.ops.denied.clear();
        rig.add(100, 10);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("23:50:00100U10\r\n23:55:00100U10\r\n"));
        QCOMPARE(rig.day(38154), QByteArray("00:00:00100U10\r\n00:05:00100U10\r\n00:10:00100U10\r\n"));
        // Counted once: the lines written late add nothing to the totals.
        QVERIFY(rig.inf().endsWith("[data]\r\n38153D=200\r\n38153U=20\r\n38154D=300\r\n38154U=30\r\n"));
        QCOMPARE(rig.recorder.pendingCount(), size_t(0));
    }

    // A day file with another name outside the store (a hard link) never has that outside file changed.
    void hardLinkedDayFileIsWrittenAnew()
    {
        Rig rig("eth0");
        rig.cycle();
        const QString day = rig.dir() + QStringLiteral("/38153.mdf");
        WriteAll(day, "14:30:07100U5\r\n");
        const QString outside = rig.root.filePath(QStringLiteral("outside.mdf"));
        QVERIFY(::link(QFile::encodeName(day).constData(), QFile::encodeName(outside).constData()) == 0);
        rig.add(1, 2);
        rig.cycle();
        QCOMPARE(rig.day(38153), QByteArray("14:30:07100U5\r\n14:35:071U2\r\n"));
        QCOMPARE(ReadAll(outside), QByteArray("14:30:07100U5\r\n"));
        struct stat st
        {
        };
        QVERIFY(::stat(QFile::encodeName(day).constData(), &st) == 0);
        QCOMPARE(st.st_nlink, nlink_t(1));
    }

    // A lost nic.inf gets the totals of every day file back, not only the newest day's.
    void lostDescriptorIsRebuiltFromEveryDay()
    {
        Rig rig("eth0");
        rig.cycle();
        WriteAll(rig.dir() + QStringLiteral("/38150.mdf"), "10:00:00100U1\r\n11:00:00200U2\r\n");
        WriteAll(rig.dir() + QStringLiteral("/38151.mdf"), "10:00:0050U5\r\n");
        WriteAll(rig.dir() + QStringLiteral("/38153.mdf"), "10:00:007U7\r\n");
        QVERIFY(QFile::remove(rig.dir() + QStringLiteral("/nic.inf")));
        rig.add(1000, 100);
        rig.cycle();
        QVERIFY(rig.inf().endsWith("[data]\r\n38150D=300\r\n38150U=3\r\n38151D=50\r\n38151U=5\r\n38153D=1007\r\n"
                                   "38153U=107\r\n"));
    }

    // Written past its read limit, nic.inf would be refused by every reader with all its totals.
    void descriptorIsNeverWrittenPastItsReadLimit()
    {
        Rig rig("eth0");
        rig.cycle();
        const QString inf = rig.dir() + QStringLiteral("/nic.inf");
        QByteArray text = rig.inf() + "[data]\r\n";
        text += "padding=" + QByteArray(store::kDescriptorLimit - text.size() - 10, 'x') + "\r\n";
        QCOMPARE(text.size(), store::kDescriptorLimit);
        WriteAll(inf, text);
        rig.add(1, 2);
        rig.cycle();
        QCOMPARE(rig.inf(), text);
        QCOMPARE(rig.errors.messages,
                 QStringList{
                     QStringLiteral("Impossible d'écrire dans %1 : le fichier dépasserait 8388608 octets").arg(inf)});
        QCOMPARE(rig.recorder.pendingCount(), size_t(1));
    }

    void aLinkedInterfaceFolderIsNotWrittenThrough()
    {
        TwoInterfaces rig;
        const QString elsewhere = rig.base.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir(rig.root + QStringLiteral("/eth0")).removeRecursively());
        QVERIFY(QFile::link(elsewhere, rig.root + QStringLiteral("/eth0")));
        for (int i = 0; i < 3; ++i)
            rig.cycle();
        QCOMPARE(rig.errors.messages,
                 QStringList{QStringLiteral("Dossier ignoré : %1/eth0 est un lien symbolique").arg(rig.root)});
        QVERIFY(QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QCOMPARE(ReadAll(rig.root + QStringLiteral("/wlan0/38153.mdf")),
                 QByteArray("14:35:0720U2\r\n14:40:0720U2\r\n14:45:0720U2\r\n"));
        QCOMPARE(rig.recorder.unwritten().size(), size_t(1));
    }

    void firstCycleRaisesTotalsToTheLines_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("totals");
        QTest::addColumn<QByteArray>("expected");
        // Each row then records 1000 received and 100 sent bytes at 14:35:07.
        QTest::newRow("one line ahead, as a kill between the two writes leaves it")
            << QByteArray("14:25:07100U10\r\n14:30:07200U20\r\n") << QByteArray("38153D=100\r\n38153U=10\r\n")
            << QByteArray("38153D=1300\r\n38153U=130\r\n");
        QTest::newRow("totals above the lines are never lowered")
            << QByteArray("14:25:07100U10\r\n") << QByteArray("38153D=500\r\n38153U=50\r\n")
            << QByteArray("38153D=1500\r\n38153U=150\r\n");
        QTest::newRow("a damaged total is raised to the lines")
            << QByteArray("14:25:07100U10\r\n") << QByteArray("38153D=n/a\r\n38153U=10\r\n")
            << QByteArray("38153D=1100\r\n38153U=110\r\n");
        QTest::newRow("no totals at all")
            << QByteArray("14:25:07100U10\r\n") << QByteArray() << QByteArray("38153D=1100\r\n38153U=110\r\n");
        QTest::newRow("lone CR and LF end lines, a torn tail is no line")
            << QByteArray("14:20:07100U10\r14:25:07200U20\n14:30:07400U4") << QByteArray()
            << QByteArray("38153D=1300\r\n38153U=130\r\n");
        // Bytes the readers drop are dropped; a line without "U" sent nothing; a bad time or "kaboum" is no line.
        QTest::newRow("lines count as the readers parse them")
            << QByteArray("14:25:07100U10\r\n25:00:00100U10\r\nkaboum\r\n14:30:07x200U20\r\n14:31:07300\r\n")
            << QByteArray("38153D=0\r\n38153U=0\r\n") << QByteArray("38153D=1600\r\n38153U=130\r\n");
        QTest::newRow("a raise below single precision is no raise")
            << QByteArray("14:25:0716777217U16777217\r\n") << QByteArray("38153D=16777216\r\n38153U=16777216\r\n")
            << QByteArray("38153D=16778216\r\n38153U=16777316\r\n");
    }
    void firstCycleRaisesTotalsToTheLines()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, totals);
        QFETCH(QByteArray, expected);
        const QByteArray header = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n";
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("eth0"))));
        WriteAll(root.filePath(QStringLiteral("eth0/nic.inf")), header + totals);
        WriteAll(root.filePath(QStringLiteral("eth0/38153.mdf")), lines);
        FixedTableSource source;
        source.table = InterfaceTable{{"eth0", 0, 0}};
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        Recorder recorder(sampler, clock, errors, root.path());
        const QStringList names{QStringLiteral("eth0")};
        recorder.setBaselines(*source.table, names, {true});
        (*source.table)[0] = InterfaceRow{"eth0", 1000, 100};
        recorder.RecordCycle(names, {true});
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("eth0/nic.inf"))), header + expected);
        QVERIFY(ReadAll(root.filePath(QStringLiteral("eth0/38153.mdf"))).endsWith("14:35:071000U100\r\n"));
        QVERIFY(errors.messages.isEmpty());
    }

    void checkedAfterAnEarlierOneVanished_data()
    {
        QTest::addColumn<bool>("withFourth");
        QTest::newRow("[a, b, c]: nothing is left at c's position") << false;
        QTest::newRow("[a, b, c, d]: d now stands at c's position") << true;
    }
    void checkedAfterAnEarlierOneVanished()
    {
        QFETCH(bool, withFourth);
        FixedTableSource source;
        source.table = InterfaceTable{{"ethA", 100, 100}, {"ethB", 200, 200}, {"ethC", 5000, 6000}};
        if (withFourth)
            source.table->push_back(InterfaceRow{"ethD", 90, 90});
        Sampler sampler(source);
        TestClock clock;
        CollectingErrorReporter errors;
        QTemporaryDir root;
        Recorder recorder(sampler, clock, errors, root.path());
        const QStringList names = DisplayNames(*source.table); // the lists keep these texts
        std::vector<bool> checked(static_cast<size_t>(names.size()), false);
        checked[0] = true;
        recorder.setBaselines(*source.table, names, checked);
        source.table->erase(source.table->begin() + 1);
        recorder.interfaceChecked(2, names[2]);
        checked[2] = true;
        InterfaceRow& c = (*source.table)[1];
        c.inOctets += 7;
        c.outOctets += 8;
        recorder.RecordCycle(names, checked);
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("ethC/38153.mdf"))), QByteArray("14:35:077U8\r\n"));
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("ethD"))));
    }

    // The recorder keeps nic.inf in memory between cycles; whatever another program does to the file in
    // between is what the next cycle adds to.
    void descriptorChangedBetweenCycles_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("expected"); // nic.inf after the next cycle records 1 and 2 bytes
        const QByteArray header = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n";
        QTest::newRow("a total edited in place: same size, same inode, same times")
            << "in place" << header + "[data]\r\n38153D=901\r\n38153U=202\r\n";
        QTest::newRow("replaced by another file")
            << "replaced" << header + "[data]\r\n38152D=7\r\n38152U=8\r\n38153D=5001\r\n38153U=302\r\n";
        QTest::newRow("a key added by hand is kept")
            << "key added" << header + "note=kept\r\n[data]\r\n38153D=101\r\n38153U=202\r\n";
        QTest::newRow("removed: made again from the day's lines, then the new sample")
            << "removed" << header + "[data]\r\n38153D=101\r\n38153U=202\r\n";
    }
    void descriptorChangedBetweenCycles()
    {
        QFETCH(QString, change);
        Rig rig("eth0");
        rig.cycle();
        rig.add(100, 200);
        rig.cycle();
        const QString path = rig.dir() + QStringLiteral("/nic.inf");
        const QByteArray header = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n";
        QCOMPARE(rig.inf(), header + "[data]\r\n38153D=100\r\n38153U=200\r\n");

        const QByteArray native = QFile::encodeName(path);
        if (change == QLatin1String("in place"))
        {
            struct stat before
            {
            };
            QCOMPARE(::stat(native.constData(), &before), 0);
            const int fd = ::open(native.constData(), O_WRONLY);
            QVERIFY(fd >= 0);
            const qsizetype at = rig.inf().indexOf("38153D=100") + 7;
            QCOMPARE(::pwrite(fd, "900", 3, at), ssize_t(3));
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QCOMPARE(::futimens(fd, times), 0);
            ::close(fd);
            struct stat after
            {
            };
            QCOMPARE(::stat(native.constData(), &after), 0);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_size, before.st_size);
        }
        else if (change == QLatin1String("replaced"))
        {
            const QString other = rig.dir() + QStringLiteral("/other");
            WriteAll(other, header + "[data]\r\n38152D=7\r\n38152U=8\r\n38153D=5000\r\n38153U=300\r\n");
            QCOMPARE(::rename(QFile::encodeName(other).constData(), native.constData()), 0);
        }
        else if (change == QLatin1String("key added"))
            WriteAll(path, header + "note=kept\r\n[data]\r\n38153D=100\r\n38153U=200\r\n");
        else
            QVERIFY(QFile::remove(path));

        rig.add(1, 2);
        rig.cycle();
        QTEST(rig.inf(), "expected");
        QVERIFY(rig.errors.messages.isEmpty());
    }

    void appendLineUndoesAShortWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.mdf"));
        WriteAll(path, "00:00:011U1\r\n");
        {
            FileSizeLimit full(16);
            QCOMPARE(store::AppendDayLine(path, "00:05:0112345U6\r\n").status, store::DayAppend::Status::Failed);
        }
        QCOMPARE(ReadAll(path), QByteArray("00:00:011U1\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
