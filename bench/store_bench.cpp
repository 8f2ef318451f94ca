#include "common/Clock.h"
#include "common/DayNumber.h"
#include "common/ErrorReporter.h"
#include "store/ProfileFile.h"
#include "store/Recorder.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// One cycle for one interface whose nic.inf already holds ten years of days (7300 keys).
static void RecordCycleTenYears(benchmark::State& state)
{
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("eth0"));
    QDir().mkdir(dir);
    ProfileFile inf;
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("version"), QStringLiteral("1.0"));
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("vorp_version"), QStringLiteral("beta4"));
    inf.setValue(QStringLiteral("VORP DB"), QStringLiteral("ifname"), QStringLiteral("eth0"));
    const int today = DayNumber(QDate(2026, 12, 10));
    for (int d = today - 3649; d <= today; ++d)
    {
        inf.setValue(QStringLiteral("data"), QString::number(d) + QLatin1Char('D'), QStringLiteral("123456789"));
        inf.setValue(QStringLiteral("data"), QString::number(d) + QLatin1Char('U'), QStringLiteral("12345678"));
    }
    inf.save(dir + QStringLiteral("/nic.inf"));

    FixedTableSource source;
    source.table = InterfaceTable{{"eth0", 1000, 1000}};
    Sampler sampler(source);
    TestClock clock(QDateTime(QDate(2026, 12, 10), QTime(12, 0, 0)));
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

BENCHMARK_MAIN();
