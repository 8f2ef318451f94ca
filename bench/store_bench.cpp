// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/DayNumber.h"
#include "common/ErrorReporter.h"
#include "store/ProfileFile.h"
#include "store/Recorder.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace
{
const QDate kToday(2026, 12, 10);

// The nic.inf of one interface recorded for ten years (7300 day totals).
ProfileFile TenYearsDescriptor()
{
    ProfileFile inf;
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("version"), QStringLiteral("1.0"));
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("vorp_version"), QStringLiteral("beta4"));
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("ifname"), QStringLiteral("eth0"));
    const int today = DayNumber(kToday);
    for (int d = today - 3649; d <= today; ++d)
    {
        inf.setValue(QStringLiteral("data"), QString::number(d) + QLatin1Char('D'), QStringLiteral("123456789"));
        inf.setValue(QStringLiteral("data"), QString::number(d) + QLatin1Char('U'), QStringLiteral("12345678"));
    }
    return inf;
}

// One cycle for one interface whose nic.inf already holds ten years of days.
void RecordCycleTenYears(benchmark::State& state)
{
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("eth0"));
    QDir().mkdir(dir);
    TenYearsDescriptor().save(dir + QStringLiteral("/nic.inf"));

    FixedTableSource source;
    source.table = InterfaceTable{{"eth0", 1000, 1000}};
    Sampler sampler(source);
    TestClock clock(QDateTime(kToday, QTime(12, 0, 0)));
    CollectingErrorReporter errors;
    Recorder recorder(sampler, clock, errors, root.path());
    const QStringList names{QStringLiteral("eth0")};
    recorder.setBaselines(*source.table, names, {true});
    for (auto _ : state)
    {
        auto& row = (*source.table)[0];
        row.inOctets += 1500;
        row.outOctets += 300;
        clock.advanceSecs(1);
        recorder.RecordCycle(names, {true});
    }
    if (!errors.messages.isEmpty())
        state.SkipWithError("the store could not be written");
}
BENCHMARK(RecordCycleTenYears)->Unit(benchmark::kMillisecond);

// The least a cycle's nic.inf rewrite costs: the same bytes written to a new file, synced, renamed over
// the old one, with plain system calls.
void Floor_RewriteFsyncRename(benchmark::State& state)
{
    QTemporaryDir root;
    const QByteArray text = TenYearsDescriptor().toText();
    const QByteArray path = QFile::encodeName(root.filePath(QStringLiteral("nic.inf")));
    const QByteArray temporary = QFile::encodeName(root.filePath(QStringLiteral(".nic.inf.tmp")));
    for (auto _ : state)
    {
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size() &&
                        ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok || ::rename(temporary.constData(), path.constData()) != 0)
        {
            state.SkipWithError("cannot write the file");
            break;
        }
    }
}
BENCHMARK(Floor_RewriteFsyncRename)->Unit(benchmark::kMillisecond);

// The least a cycle's sample line costs: appended to its day file and synced.
void Floor_AppendFdatasync(benchmark::State& state)
{
    QTemporaryDir root;
    const QByteArray path = QFile::encodeName(root.filePath(QStringLiteral("46000.mdf")));
    const QByteArray line = "12:00:001500U300\r\n";
    for (auto _ : state)
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && ::write(fd, line.constData(), static_cast<size_t>(line.size())) == line.size() &&
                        ::fdatasync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok)
        {
            state.SkipWithError("cannot append to the file");
            break;
        }
    }
}
BENCHMARK(Floor_AppendFdatasync)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
