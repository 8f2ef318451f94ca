// SPDX-License-Identifier: GPL-3.0-or-later
// Totals load and histogram redraw on ten years of days (7300 "data" lines).
#include "reports/Histogram.h"
#include "reports/Totals.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "FloorRead.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <vector>

namespace
{
constexpr int kFirstDay = 40000; // 6 July 2009
constexpr int kDays = 3650;

const QString& StatisticsDir()
{
    static QTemporaryDir tmp;
    static const bool written = [] {
        QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n";
        for (int d = kFirstDay; d < kFirstDay + kDays; ++d)
        {
            text += QByteArray::number(d) + "D=" + QByteArray::number(1000000 + d * 37) + "\r\n";
            text += QByteArray::number(d) + "U=" + QByteArray::number(200000 + d * 11) + "\r\n";
        }
        QFile f(tmp.path() + QStringLiteral("/nic.inf"));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }();
    static const QString path = written ? tmp.path() : QString();
    return path;
}

void TotalsLoadTenYears(benchmark::State& state)
{
    const QString dir = StatisticsDir();
    int progressCalls = 0;
    for (auto _ : state)
    {
        reports::TotalsReport r =
            reports::TotalsWalk::Load(dir, QDate(2019, 5, 15), [&](const QString&) { ++progressCalls; });
        benchmark::DoNotOptimize(r);
    }
    benchmark::DoNotOptimize(progressCalls);
}
BENCHMARK(TotalsLoadTenYears)->Unit(benchmark::kMillisecond);

// The least a totals load costs: the same nic.inf read whole with plain system calls, and the day, letter
// and amount of each of its data lines taken with std::from_chars.
void Floor_HandParseNicInf(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(StatisticsDir() + QStringLiteral("/nic.inf"));
    std::vector<char> buffer;
    for (auto _ : state)
    {
        const ptrdiff_t read = ReadWhole(path.constData(), buffer);
        if (read < 0)
        {
            state.SkipWithError("cannot read nic.inf");
            return;
        }
        const size_t size = static_cast<size_t>(read);
        const std::string_view text(buffer.data(), size);
        size_t at = text.find("[data]\r\n");
        double received = 0, sent = 0;
        int lastDay = 0;
        for (at = at == std::string_view::npos ? size : at + 8; at < size;)
        {
            const size_t end = text.find("\r\n", at);
            const char* p = text.data() + at;
            const char* const e = text.data() + (end == std::string_view::npos ? size : end);
            int day = 0;
            int64_t amount = 0;
            p = std::from_chars(p, e, day).ptr;
            const char letter = p < e ? *p : '\0';
            std::from_chars(p + 2, e, amount);
            lastDay = day;
            (letter == 'D' ? received : sent) += static_cast<double>(amount);
            at = end == std::string_view::npos ? size : end + 2;
        }
        benchmark::DoNotOptimize(received);
        benchmark::DoNotOptimize(sent);
        benchmark::DoNotOptimize(lastDay);
    }
}
BENCHMARK(Floor_HandParseNicInf)->Unit(benchmark::kMillisecond);

void BM_HistogramRedraw(benchmark::State& state)
{
    const QString dir = StatisticsDir();
    reports::HistogramSelection s;
    s.year = 2014;
    s.month = 3;
    s.view = state.range(0) == 0 ? reports::HistogramView::Year : reports::HistogramView::Month;
    s.direction = reports::Direction::DLUL;
    const QFont font(QStringLiteral("DejaVu Sans"), 8);
    for (auto _ : state)
    {
        const reports::HistogramBuckets b = reports::LoadBuckets(dir, s);
        reports::HistogramImages images = reports::RenderHistogram(b, s, font);
        benchmark::DoNotOptimize(images);
    }
}
BENCHMARK(BM_HistogramRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // text measuring needs the font database
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
