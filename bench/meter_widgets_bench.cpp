// The meter window's whole timer tick at its widest, graph shown: snapshot, rates, ring, automatic
// scale and legend, title fitting and the graph repaint. At the fastest period it runs every 50 ms.
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "meter/MeterTick.h"
#include "meter/widgets/MeterWindow.h"
#include "sampling/Sampler.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace
{
void BM_MeterWindowTick(benchmark::State& state)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("VORP.conf")));
    WriteInterfaceMarks(store, QStringLiteral("lo"), {false, true, false});
    WriteInterfaceMarks(store, QStringLiteral("eth0"), {false, false, true});
    store.sync();
    FixedTableSource source;
    source.table = InterfaceTable{{QByteArray("lo"), 0, 0}, {QByteArray("eth0"), 0, 0}};
    Sampler sampler(source);
    Settings model;
    model.load(store, DisplayNames(*source.table));
    // The automatic scale, so that every tick also works out the scale and the legend.
    model.set(settings::MeterScaleIndex, kAutomaticScaleIndex);
    CollectingErrorReporter errors;
    TestClock clock;
    MeterWindow form3(model, sampler, clock, errors, dir.path() + QLatin1Char('/'));
    form3.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    form3.resize(1024, 300);
    form3.show();
    form3.findChild<QAction*>(QStringLiteral("Reception1"))->trigger();

    uint64_t k = 0;
    for (auto _ : state)
    {
        ++k;
        auto& rows = *source.table;
        rows[0].inOctets += 1000 + (k * 7919) % 50000;
        rows[0].outOctets += 300 + (k * 104729) % 9000;
        rows[1].inOctets += (k * 31) % 20000;
        rows[1].outOctets += (k * 17) % 4000;
        form3.tick();
    }
}
BENCHMARK(BM_MeterWindowTick)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
