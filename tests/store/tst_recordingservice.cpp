// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "shell/SignalBridge.h"
#include "store/RecordingService.h"
#include "store/StatisticsStore.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

#include <csignal>

namespace
{
// Every snapshot finds 1000 bytes more received and 100 more sent on each row, like live traffic.
class MovingSource final : public TableSource
{
public:
    std::optional<InterfaceTable> fetch() override
    {
        for (InterfaceRow& row : table)
        {
            row.inOctets += 1000;
            row.outOctets += 100;
        }
        return table;
    }
    InterfaceTable table{{"eth0", 0, 0}, {"bad0", 0, 0}};
};

// Like a modal box: runs its own event loop until the service has run `cycles` more cycles, or until
// it is told to stop.
class NestedLoopReporter final : public ErrorReporter
{
public:
    void showError(const QString& message) override
    {
        messages.append(message);
        const int start = service->cycles();
        QEventLoop loop;
        QObject::connect(service, &RecordingService::cycleDone, &loop, [&] {
            if (service->cycles() - start >= cycles)
                loop.quit();
        });
        QObject::connect(this->stop, &QObject::destroyed, &loop, &QEventLoop::quit);
        if (onShow)
            onShow();
        loop.exec();
        cyclesWhileShown += service->cycles() - start;
    }
    RecordingService* service = nullptr;
    QObject* stop = nullptr;
    std::function<void()> onShow;
    int cycles = 3;
    int cyclesWhileShown = 0;
    QStringList messages;
};

struct Rig
{
    explicit Rig(ErrorReporter& errors) : service(sampler, clock, errors, root.path() + QLatin1Char('/'))
    {
        service.setSelection([] {
            return RecordingService::Selection{{QStringLiteral("eth0"), QStringLiteral("bad0")}, {true, true}};
        });
        service.setPeriodMs(20);
    }
    // A folder named nic.inf where the descriptor should be: refused, even as root.
    QString breakInterface(int position, const QString& name)
    {
        const QString dir = *store::StatisticsFolderFor(root.path() + QLatin1Char('/'), position, name);
        QDir().mkpath(store::DescriptorPath(dir));
        return store::DescriptorPath(dir);
    }
    QByteArray dayFile(const QString& name) const
    {
        const QDir dir(root.filePath(name));
        const QStringList days = dir.entryList({QStringLiteral("*.mdf")});
        return days.isEmpty() ? QByteArray() : ReadAll(dir.filePath(days.first()));
    }

    QTemporaryDir root;
    MovingSource source;
    Sampler sampler{source};
    SystemClock clock;
    RecordingService service;
};
} // namespace

class TestRecordingService final : public QObject
{
    Q_OBJECT

private slots:
    void aReporterThatRunsItsOwnLoopNeverHoldsTheSchedule()
    {
        NestedLoopReporter reporter;
        Rig rig(reporter);
        reporter.service = &rig.service;
        const QString bad = rig.breakInterface(1, QStringLiteral("bad0"));
        rig.service.start(*rig.source.fetch());
        QTRY_VERIFY_WITH_TIMEOUT(reporter.cyclesWhileShown >= 3, 60000);
        QCOMPARE(reporter.messages,
                 QStringList{QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(bad)});
        // Every cycle, also those taken while the message was up, wrote its own line for eth0.
        rig.service.setScheduled(false);
        const QByteArray lines = rig.dayFile(QStringLiteral("eth0"));
        QCOMPARE(lines.count("\r\n"), rig.service.cycles());
        QVERIFY(lines.endsWith("1000U100\r\n"));
    }

    void terminationWhileAMessageIsUpEnds()
    {
        NestedLoopReporter reporter;
        Rig rig(reporter);
        reporter.service = &rig.service;
        reporter.cycles = 1000000; // never closed by a user
        rig.breakInterface(1, QStringLiteral("bad0"));
        SignalBridge bridge;
        CollectingErrorReporter closeErrors;
        auto* stop = new QObject;
        reporter.stop = stop;
        reporter.onShow = [] { ::raise(SIGTERM); };
        bool finished = false;
        QObject::connect(&bridge, &SignalBridge::terminationRequested, &rig.service, [&] {
            rig.service.finish(closeErrors);
            finished = true;
            delete stop; // the close chain leaves the box's loop
        });
        rig.service.start(*rig.source.fetch());
        QTRY_VERIFY_WITH_TIMEOUT(finished, 60000);
        QVERIFY(!rig.service.scheduled());
        // The last cycle's bytes are on eth0; bad0's stay unwritten and are told on the close reporter.
        QVERIFY(rig.dayFile(QStringLiteral("eth0")).endsWith("1000U100\r\n"));
        QVERIFY(!closeErrors.messages.isEmpty());
        QVERIFY(closeErrors.messages.last().startsWith(QStringLiteral("bad0 : ")));
        QVERIFY(closeErrors.messages.last().contains(QStringLiteral("n'ont pas pu être enregistrés")));
    }

    void oneBadInterfaceIsReportedOncePerPathUntilWritten()
    {
        CollectingErrorReporter errors;
        Rig rig(errors);
        const QString bad = rig.breakInterface(1, QStringLiteral("bad0"));
        rig.service.start(*rig.source.fetch());
        rig.service.setScheduled(false);
        for (int i = 0; i < 5; ++i)
            rig.service.recordNow();
        // Nothing is shown from inside a cycle: the message waits for the event loop.
        QVERIFY(errors.messages.isEmpty());
        QTRY_COMPARE(errors.messages,
                     QStringList{QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(bad)});
        QCOMPARE(rig.dayFile(QStringLiteral("eth0")).count("\r\n"), 5);

        // Repaired: the samples kept in memory are written, and a new fault is told again.
        QVERIFY(QDir(bad).removeRecursively());
        rig.service.recordNow();
        QCOMPARE(rig.service.recorder().pendingCount(), size_t(0));
        QVERIFY(QFile::remove(bad));
        QVERIFY(QDir().mkpath(bad));
        rig.service.recordNow();
        QTRY_COMPARE(errors.messages.size(), qsizetype(2));
    }

    void checkedAfterAnEarlierOneVanishedStartsFromItsOwnCounters()
    {
        CollectingErrorReporter errors;
        QTemporaryDir root;
        MovingSource source;
        source.table = InterfaceTable{{"ethA", 0, 0}, {"ethB", 0, 0}, {"ethC", 500000, 500000}, {"ethD", 0, 0}};
        Sampler sampler(source);
        SystemClock clock;
        RecordingService service(sampler, clock, errors, root.path());
        std::vector<bool> checked{true, false, false, false};
        service.setSelection([&checked] {
            return RecordingService::Selection{
                {QStringLiteral("ethA"), QStringLiteral("ethB"), QStringLiteral("ethC"), QStringLiteral("ethD")},
                checked};
        });
        service.start(*source.fetch());
        service.setScheduled(false);
        source.table.erase(source.table.begin() + 1); // the lists still show ethB
        checked[2] = true;
        service.interfaceChecked(2);
        service.recordNow();
        // Between its two snapshots ethC moved by what every row moves, nothing more.
        const QDir dir(root.filePath(QStringLiteral("ethC")));
        const QStringList days = dir.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), qsizetype(1));
        QVERIFY(ReadAll(dir.filePath(days.first())).endsWith("1000U100\r\n"));
        QCOMPARE(ReadAll(dir.filePath(days.first())).count("\r\n"), qsizetype(1));
    }

    void finishRunsALastCycleOnceAndTellsWhatStaysUnwritten()
    {
        CollectingErrorReporter errors, closeErrors;
        Rig rig(errors);
        rig.breakInterface(1, QStringLiteral("bad0"));
        rig.service.start(*rig.source.fetch());
        rig.service.recordNow();
        rig.service.finish(closeErrors);
        // Both cycles' bytes of bad0 stay unwritten; the queued message went out at once, not later.
        QCOMPARE(closeErrors.messages.size(), qsizetype(2));
        QCOMPARE(closeErrors.messages.at(1),
                 QStringLiteral("bad0 : 2000 octets reçus et 200 octets envoyés (2 relevés) n'ont pas pu être "
                                "enregistrés"));
        QVERIFY(!rig.service.scheduled());
        const int cycles = rig.service.cycles();
        rig.service.recordNow();
        rig.service.finish(closeErrors);
        rig.service.setScheduled(true);
        QCOMPARE(rig.service.cycles(), cycles);
        QVERIFY(!rig.service.scheduled());
        QCoreApplication::processEvents();
        QVERIFY(errors.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordingService)
#include "tst_recordingservice.moc"
