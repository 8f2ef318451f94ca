// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterDrawing.h"
#include "meter/MeterTick.h"

#include <QFont>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr int kGraphWidth = 1024;
constexpr int kGraphHeight = 170;

// One timer tick on the widest graph: two interfaces per graph, automatic scale, then the graph
// with both received areas, both sent lines and the average line.
void BM_MeterTickAndGraph(benchmark::State& state)
{
    InterfaceTable table;
    for (int i = 0; i < 4; ++i)
        table.push_back(InterfaceRow{QByteArrayLiteral("eth"), 1000000, 500000});
    MeterSettings settings;
    settings.positionCount = 4;
    settings.graph1 = {true, true, false, false};
    settings.graph2 = {false, false, true, true};
    settings.octets = false;
    settings.scaleIndex = kAutomaticScaleIndex;
    settings.graphWidth = kGraphWidth;
    MeterTick tick;
    bool primed = false;
    QImage image;
    HistoryPainter painter;
    const MeterColours colours;
    uint64_t n = 0;
    // Fill the ring with traffic first so the graph is not a flat line.
    auto step = [&] {
        ++n;
        for (size_t i = 0; i < table.size(); ++i)
        {
            table[i].inOctets += uint64_t(20000 + 15000 * std::sin(double(n + i * 7) / 13.0));
            table[i].outOctets += uint64_t(3000 + 2000 * std::cos(double(n + i * 3) / 5.0));
        }
        const MeterTickResult r = tick.Timer1Timer(table, settings, primed, nullptr);
        const float scale = PixelScale(kGraphHeight, r.fullScale.value_or(65536));
        return painter.DrawHistory(image, QSize(kGraphWidth, kGraphHeight), tick.ring(), scale, colours,
                                   AverageChoice::Received);
    };
    for (int k = 0; k < HistoryRing::kSlots; ++k)
        step();
    for (auto _ : state)
        benchmark::DoNotOptimize(step());
}
BENCHMARK(BM_MeterTickAndGraph)->Unit(benchmark::kMicrosecond);

// One tick of the meter's graph as the window keeps it: one new sample slides the graph alone (the legend
// is laid over it when the window copies it out, counted in MeterFrame), at the designed size and the widest.
void BM_ScrollingGraphTick(benchmark::State& state)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    const LegendInput input{65536, 4, 30, 8, size, font};
    ScrollingGraph graph;
    graph.setLegend(DrawLegend(input));
    HistoryRing ring;
    const MeterColours colours;
    const float scale = PixelScale(size.height(), 65536);
    uint64_t n = 0;
    auto step = [&] {
        ++n;
        const auto value = [&](double phase) { return int32_t(30000 + 25000 * std::sin(double(n) / 7.0 + phase)); };
        ring.push({value(0), value(1), value(2) / 8, value(3) / 8});
        return graph.update(size, ring, scale, colours, AverageChoice::Received).average;
    };
    for (int k = 0; k < size.width(); ++k)
        step();
    for (auto _ : state)
        benchmark::DoNotOptimize(step());
}
BENCHMARK(BM_ScrollingGraphTick)->Args({355, 170})->Args({976, 281})->Unit(benchmark::kMicrosecond);

void BM_DrawLegend(benchmark::State& state)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    const LegendInput input{65536, 4, 30, 8, QSize(kGraphWidth, kGraphHeight), font};
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLegend(input));
}
BENCHMARK(BM_DrawLegend)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
