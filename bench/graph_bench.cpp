// SPDX-License-Identifier: GPL-3.0-or-later
// History graph: loading the day files and drawing the graph, warm file cache.
#include "common/DayNumber.h"
#include "graph/GifWriter.h"
#include "graph/GraphRender.h"
#include "graph/HistoryLoader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "FloorRead.h"

#include <charconv>
#include <cstdio>
#include <vector>

using namespace graph;

namespace
{
const QDate kSelected(2004, 6, 15);

// Day files of 288 five-minute samples each, ending on the selected date.
void WriteStore(const QString& dir, int days)
{
    const int last = DayNumber(kSelected);
    for (int day = last - days + 1; day <= last; ++day)
    {
        QByteArray bytes;
        for (int i = 0; i < 288; ++i)
        {
            const int seconds = i * 300 + 7;
            char line[64];
            const int n = std::snprintf(line, sizeof line, "%02d:%02d:%02d%dU%d\r\n", seconds / 3600, seconds / 60 % 60,
                                        seconds % 60, 1000000 + (i * 7919 + day) % 900000, 20000 + i * 13);
            bytes.append(line, n);
        }
        QFile file(dir + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf"));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the benchmark store");
    }
}

LoadRequest Request(const QString& dir, Period period, int width)
{
    LoadRequest r;
    r.directory = dir;
    r.date = kSelected;
    r.timeOfDay = QTime(14, 37);
    r.secondsPerColumn = SecondsPerColumn(period);
    r.width = width;
    r.height = 200;
    r.bitsMultiplier = 8;
    r.automaticScale = true;
    return r;
}

QImage Render(const HistoryLoader& loader, const LoadResult& result, const LoadRequest& r, Period period)
{
    GraphOptions options;
    options.period = period;
    options.axesSize = QSize(r.width + 100, r.height + 35);
    const GraphLayers layers = DrawGraph(loader.columns(), r, result, options);
    return ComposeGraph(layers.plot, layers.axes);
}

void LoadAndRender(benchmark::State& state, const QString& dir, Period period, int width)
{
    HistoryLoader loader;
    const LoadRequest request = Request(dir, period, width);
    for (auto _ : state)
    {
        const auto result = loader.load(request);
        benchmark::DoNotOptimize(Render(loader, *result, request, period));
    }
}

void LoadOnly(benchmark::State& state, const QString& dir, Period period, int width)
{
    HistoryLoader loader;
    const LoadRequest request = Request(dir, period, width);
    for (auto _ : state)
        benchmark::DoNotOptimize(loader.load(request));
}

void RenderOnly(benchmark::State& state, const QString& dir, Period period, int width)
{
    HistoryLoader loader;
    const LoadRequest request = Request(dir, period, width);
    const auto result = loader.load(request);
    for (auto _ : state)
        benchmark::DoNotOptimize(Render(loader, *result, request, period));
}

// The least the year's load costs: each of its day files opened, read whole and closed with plain system
// calls, and every line's time and amounts taken with std::from_chars.
void Floor_ReadFromChars(benchmark::State& state, const QString& dir, int days)
{
    const QByteArray folder = QFile::encodeName(dir);
    const int last = DayNumber(kSelected);
    std::vector<char> buffer;
    for (auto _ : state)
    {
        int64_t in = 0, out = 0, seconds = 0;
        for (int day = last; day > last - days; --day)
        {
            char path[4096];
            std::snprintf(path, sizeof path, "%s/%d.mdf", folder.constData(), day);
            const ptrdiff_t size = ReadWhole(path, buffer);
            if (size < 0)
            {
                state.SkipWithError("cannot read the day files");
                return;
            }
            const char* p = buffer.data();
            const char* const end = p + size;
            while (p < end)
            {
                int h = 0, m = 0, s = 0;
                int64_t received = 0, sent = 0;
                std::from_chars(p, p + 2, h);
                std::from_chars(p + 3, p + 5, m);
                std::from_chars(p + 6, p + 8, s);
                p = std::from_chars(p + 8, end, received).ptr;
                p = std::from_chars(p + 1, end, sent).ptr;
                seconds += (h * 60 + m) * 60 + s;
                in += received;
                out += sent;
                p += 2; // CR LF
            }
        }
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(out);
        benchmark::DoNotOptimize(seconds);
    }
}

void WritePicture(benchmark::State& state, const QString& dir)
{
    HistoryLoader loader;
    const LoadRequest request = Request(dir, Period::Year, 1000);
    const auto result = loader.load(request);
    const QImage image = Render(loader, *result, request, Period::Year);
    const QString path = dir + QStringLiteral("/bench Année.gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteGif(image, path));
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    WriteStore(dir.path(), 1000);
    const QString path = dir.path();
    // "Année" 1000 columns wide opens the 1000 day files; "Journée" 600 wide opens three.
    benchmark::RegisterBenchmark("Year/load+render", LoadAndRender, path, Period::Year, 1000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("YearLoad1000Days", LoadOnly, path, Period::Year, 1000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Floor_ReadFromChars1000Days", Floor_ReadFromChars, path, 1000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Year/render", RenderOnly, path, Period::Year, 1000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Day/load+render", LoadAndRender, path, Period::Day, 600)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Day/load", LoadOnly, path, Period::Day, 600)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Day/render", RenderOnly, path, Period::Day, 600)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Year/write GIF", WritePicture, path)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
