// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "store/Recorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

#include <sys/mount.h>

namespace
{
// A small tmpfs of the test's own, so the disk can really fill up or turn read-only.
class SmallDisk final
{
public:
    SmallDisk() { m_ok = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=96k") == 0; }
    ~SmallDisk()
    {
        if (m_ok)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    bool remount(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags, "size=96k") == 0;
    }
    // Takes every free byte.
    void fill()
    {
        QFile filler(m_dir.filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush())
        {
        }
    }
    void free() { QFile::remove(m_dir.filePath(QStringLiteral("filler"))); }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

struct Rig
{
    explicit Rig(const QString& root) : recorder(sampler, clock, errors, root)
    {
        source.table = InterfaceTable{{"eth0", 0, 0}};
        recorder.setBaselines(*source.table, {QStringLiteral("eth0")}, {true});
    }
    void cycle(uint64_t in, uint64_t out)
    {
        auto& row = (*source.table)[0];
        row.inOctets += in;
        row.outOctets += out;
        recorder.RecordCycle({QStringLiteral("eth0")}, {true});
        clock.advanceSecs(300);
    }

    FixedTableSource source;
    Sampler sampler{source};
    TestClock clock{QDateTime(QDate(2004, 6, 15), QTime(23, 50, 0))};
    CollectingErrorReporter errors;
    Recorder recorder;
};
} // namespace

class TestFaults final : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsSamplesAndTheDescriptor()
    {
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP("cannot mount a tmpfs here (needs root or a user namespace): full-disk test skipped");
        Rig rig(disk.path());
        rig.cycle(10, 1); // 23:50 on 38153
        const QString dir = disk.path() + QStringLiteral("/eth0");
        const QByteArray inf = ReadAll(dir + QStringLiteral("/nic.inf"));
        disk.fill();
        rig.cycle(20, 2); // 23:55, pending
        rig.cycle(30, 3); // 00:00 the next day, pending
        QCOMPARE(ReadAll(dir + QStringLiteral("/nic.inf")), inf);
        QCOMPARE(rig.errors.messages.size(), 1);
        QVERIFY(rig.errors.messages[0].startsWith(QStringLiteral("Impossible d'écrire dans ")));
        QCOMPARE(rig.recorder.pendingCount(), size_t(2));
        disk.free();
        rig.cycle(40, 4); // 00:05
        QCOMPARE(ReadAll(dir + QStringLiteral("/38153.mdf")), QByteArray("23:50:0010U1\r\n23:55:0020U2\r\n"));
        QCOMPARE(ReadAll(dir + QStringLiteral("/38154.mdf")), QByteArray("00:00:0030U3\r\n00:05:0040U4\r\n"));
        QVERIFY(ReadAll(dir + QStringLiteral("/nic.inf"))
                    .endsWith("[data]\r\n38153D=30\r\n38153U=3\r\n38154D=70\r\n38154U=7\r\n"));
        QCOMPARE(rig.recorder.pendingCount(), size_t(0));
        QCOMPARE(rig.errors.messages.size(), 1);
    }

    void readOnlyStoreIsLeftUntouched()
    {
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP("cannot mount a tmpfs here (needs root or a user namespace): read-only test skipped");
        Rig rig(disk.path());
        rig.cycle(10, 1);
        const QString dir = disk.path() + QStringLiteral("/eth0");
        const QByteArray inf = ReadAll(dir + QStringLiteral("/nic.inf"));
        const QByteArray day = ReadAll(dir + QStringLiteral("/38153.mdf"));
        QVERIFY(disk.remount(true));
        rig.cycle(20, 2);
        rig.cycle(30, 3);
        QCOMPARE(ReadAll(dir + QStringLiteral("/nic.inf")), inf);
        QCOMPARE(ReadAll(dir + QStringLiteral("/38153.mdf")), day);
        QCOMPARE(rig.errors.messages.size(), 1);
        QVERIFY(disk.remount(false));
        rig.cycle(40, 4);
        QCOMPARE(ReadAll(dir + QStringLiteral("/38153.mdf")), QByteArray("23:50:0010U1\r\n23:55:0020U2\r\n"));
        QCOMPARE(ReadAll(dir + QStringLiteral("/38154.mdf")), QByteArray("00:00:0030U3\r\n00:05:0040U4\r\n"));
        QCOMPARE(rig.recorder.pendingCount(), size_t(0));
    }

    void clockGoingBackAndJumpingForward()
    {
        QTemporaryDir root;
        Rig rig(root.path());
        rig.cycle(10, 1);                   // 23:50
        rig.clock.advanceSecs(-3600 - 300); // back an hour: 22:50
        rig.cycle(20, 2);
        rig.clock.advanceSecs(86400); // forward a day
        rig.cycle(30, 3);
        const QString dir = root.filePath(QStringLiteral("eth0"));
        // Day files stay append-only; each sample goes under the day of its own time stamp.
        QCOMPARE(ReadAll(dir + QStringLiteral("/38153.mdf")), QByteArray("23:50:0010U1\r\n22:50:0020U2\r\n"));
        QCOMPARE(ReadAll(dir + QStringLiteral("/38154.mdf")), QByteArray("22:55:0030U3\r\n"));
        QVERIFY(rig.errors.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
