// Totals load and histogram redraw on ten years of days (7300 "data" lines).
#include "reports/Histogram.h"
#include "reports/Totals.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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

void BM_TotalsLoad(benchmark::State& state)
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
BENCHMARK(BM_TotalsLoad)->Unit(benchmark::kMillisecond);

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
