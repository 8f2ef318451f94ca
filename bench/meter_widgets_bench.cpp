// SPDX-License-Identifier: GPL-3.0-or-later
// The meter window at work. BM_MeterWindowTick is its whole timer tick at its widest, graph shown:
// snapshot, rates, ring, automatic scale and legend, title fitting and the graph drawing.
// MeterFrame is one tick at the fastest period followed by the repaint it causes; Floor_BareWindowFrame is
// the least a window of the same size can cost per frame for the same visible work (the graph moved by one
// column, one fitted and centred line of text; BareWindow.h), so that MeterFrame / Floor_BareWindowFrame per
// size tells what the meter adds.
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "meter/MeterTick.h"
#include "meter/widgets/MeterWindow.h"
#include "sampling/Sampler.h"

#include "BareWindow.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <memory>

namespace
{
// A meter showing lo in graph 1 and eth0 in graph 2 over a fixed table; its own timer is stopped, the
// benchmarks tick it. Settings are changed before make().
struct MeterRig
{
    QTemporaryDir dir;
    FixedTableSource source;
    Sampler sampler{source};
    Settings model;
    CollectingErrorReporter errors;
    TestClock clock;
    std::unique_ptr<MeterWindow> form3;

    MeterRig()
    {
        SettingsStore store(dir.filePath(QStringLiteral("VORP.conf")));
        WriteInterfaceMarks(store, QStringLiteral("lo"), {false, true, false});
        WriteInterfaceMarks(store, QStringLiteral("eth0"), {false, false, true});
        store.sync();
        source.table = InterfaceTable{{QByteArray("lo"), 0, 0}, {QByteArray("eth0"), 0, 0}};
        model.load(store, DisplayNames(*source.table));
    }
    MeterWindow& make()
    {
        form3 = std::make_unique<MeterWindow>(model, sampler, clock, errors, dir.path() + QLatin1Char('/'));
        form3->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        return *form3;
    }
};

void BM_MeterWindowTick(benchmark::State& state)
{
    MeterRig rig;
    // The automatic scale, so that every tick also works out the scale and the legend.
    rig.model.set(settings::MeterScaleIndex, kAutomaticScaleIndex);
    MeterWindow& form3 = rig.make();
    FixedTableSource& source = rig.source;
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

// Counts the update requests a top-level window has handled, each one a repaint of its dirty region.
class RepaintCounter final : public QObject
{
public:
    explicit RepaintCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            ++count;
        return false;
    }
};

bool ShowAndWaitExposed(QWidget& window)
{
    window.show();
    for (int k = 0; k < 1000 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++k)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return window.windowHandle() && window.windowHandle()->isExposed();
}

// Delivers the posted events until the window has repainted what the frame made dirty.
bool PaintPending(const RepaintCounter& counter)
{
    const int before = counter.count;
    for (int k = 0; k < 100 && counter.count == before; ++k)
        QCoreApplication::processEvents();
    return counter.count != before;
}

// The rate text a frame shows: changing every frame, as with traffic.
QString FrameText(uint64_t k)
{
    return QStringLiteral("DL : %1kbps  UL : %2kbps").arg(double(k % 90000) / 100.0).arg(double(k % 7000) / 100.0);
}

void MeterFrame(benchmark::State& state)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    MeterRig rig;
    rig.model.setRefreshPosition(1); // 50 ms
    MeterWindow& form3 = rig.make();
    FixedTableSource& source = rig.source;
    form3.resize(size);
    const RepaintCounter repaints(&form3);
    if (!ShowAndWaitExposed(form3) || form3.size() != size)
    {
        state.SkipWithError("the meter was not shown at its size");
        return;
    }

    // Traffic within the default full scale (64 KiB/s), different on every tick.
    uint64_t k = 0;
    auto traffic = [&] {
        ++k;
        auto& rows = *source.table;
        rows[0].inOctets += 500 + (k * 7919) % 2500;
        rows[0].outOctets += 50 + (k * 104729) % 450;
        rows[1].inOctets += (k * 31) % 1000;
        rows[1].outOctets += (k * 17) % 200;
    };
    // A graph full of history first, so that every column has something to draw.
    for (int n = 0; n < size.width(); ++n)
    {
        traffic();
        form3.tick();
    }
    PaintPending(repaints);

    for (auto _ : state)
    {
        traffic();
        form3.tick();
        if (!PaintPending(repaints))
        {
            state.SkipWithError("a tick with traffic repainted nothing");
            return;
        }
    }
}
BENCHMARK(MeterFrame)->Args({403, 189})->Args({1024, 300})->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The floor: a plain window of the same size doing the same visible work (BareWindow.h).
void Floor_BareWindowFrame(benchmark::State& state)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    BareWindow window(size);
    const RepaintCounter repaints(&window);
    if (!ShowAndWaitExposed(window) || window.size() != size)
    {
        state.SkipWithError("the window was not shown at its size");
        return;
    }
    uint64_t k = 0;
    for (auto _ : state)
    {
        ++k;
        window.frame(double(k * 7919 % 1000) / 1000.0, FrameText(k));
        if (!PaintPending(repaints))
        {
            state.SkipWithError("a frame repainted nothing");
            return;
        }
    }
}
BENCHMARK(Floor_BareWindowFrame)
    ->Args({403, 189})
    ->Args({1024, 300})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
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
