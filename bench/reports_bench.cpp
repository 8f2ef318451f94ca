// SPDX-License-Identifier: GPL-3.0-or-later
// Totals load and histogram redraw on ten years of days (7300 "data" lines); a data plan's figures for a
// 31-day cycle beside them.
#include "common/DayNumber.h"
#include "reports/DataPlan.h"
#include "reports/Histogram.h"
#include "reports/Totals.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "FloorRead.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace
{
constexpr int kFirstDay = 40000; // 6 July 2009
constexpr int kDays = 3650;

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray TenYearsNicInf()
{
    QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n";
    for (int d = kFirstDay; d < kFirstDay + kDays; ++d)
    {
        text += QByteArray::number(d) + "D=" + QByteArray::number(1000000 + d * 37) + "\r\n";
        text += QByteArray::number(d) + "U=" + QByteArray::number(200000 + d * 11) + "\r\n";
    }
    return text;
}

const QString& StatisticsDir()
{
    static QTemporaryDir tmp;
    static const bool written = WriteFile(tmp.path() + QStringLiteral("/nic.inf"), TenYearsNicInf());
    static const QString path = written ? tmp.path() : QString();
    return path;
}

// May 2019, the last full month of the ten years: 31 day files of 288 five-minute samples.
const QDate kPlanMonth(2019, 5, 1);
constexpr int kPlanDays = 31;

const QString& PlanDir()
{
    static QTemporaryDir tmp;
    static const bool written = [] {
        if (!WriteFile(tmp.path() + QStringLiteral("/nic.inf"), TenYearsNicInf()))
            return false;
        for (int day = DayNumber(kPlanMonth); day < DayNumber(kPlanMonth) + kPlanDays; ++day)
        {
            QByteArray bytes;
            for (int i = 0; i < 288; ++i)
            {
                const int seconds = i * 300 + 7;
                char line[64];
                const int n =
                    std::snprintf(line, sizeof line, "%02d:%02d:%02d%dU%d\r\n", seconds / 3600, seconds / 60 % 60,
                                  seconds % 60, 1000000 + (i * 7919 + day) % 900000, 20000 + i * 13);
                bytes.append(line, n);
            }
            if (!WriteFile(tmp.path() + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf"), bytes))
                return false;
        }
        return true;
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

// The figures of a 31-day cycle at its last minute: its days' totals in the ten-year nic.inf and its 31 day
// files (range 0); with an off-peak window the day files alone (range 1).
void PlanFigures31Days(benchmark::State& state)
{
    reports::DataPlan plan;
    plan.allowance = 100000000000;
    if (state.range(0) == 1)
        plan.offPeak = reports::OffPeak{2 * 3600000, 8 * 3600000};
    const QDateTime now(kPlanMonth.addDays(kPlanDays - 1), QTime(23, 59));
    const QString dir = PlanDir();
    reports::PlanCalculator calculator;
    for (auto _ : state)
    {
        reports::PlanFigures f = calculator.current(plan, dir, now);
        if (f.slotCount < kPlanDays * 288 - 1 || f.used <= 0)
        {
            state.SkipWithError("the plan did not read the month");
            return;
        }
        benchmark::DoNotOptimize(f);
    }
}

// The least the plan's reading costs, as the year load's floor: its 31 day files opened, read whole and closed
// with plain system calls, every line's time and amounts taken with std::from_chars; with range 0 also nic.inf
// read whole and its data lines taken as Floor_HandParseNicInf takes them.
void Floor_ReadFromChars31Days(benchmark::State& state)
{
    const QByteArray folder = QFile::encodeName(PlanDir());
    const QByteArray nicInf = folder + "/nic.inf";
    const int first = DayNumber(kPlanMonth);
    std::vector<char> buffer;
    for (auto _ : state)
    {
        int64_t in = 0, out = 0, seconds = 0;
        for (int day = first; day < first + kPlanDays; ++day)
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
        if (state.range(0) == 0)
        {
            const ptrdiff_t read = ReadWhole(nicInf.constData(), buffer);
            if (read < 0)
            {
                state.SkipWithError("cannot read nic.inf");
                return;
            }
            const std::string_view text(buffer.data(), static_cast<size_t>(read));
            for (size_t at = text.find("[data]\r\n") + 8; at < text.size();)
            {
                const size_t lineEnd = std::min(text.find("\r\n", at), text.size());
                const char* p = text.data() + at;
                const char* const e = text.data() + lineEnd;
                int day = 0;
                int64_t amount = 0;
                p = std::from_chars(p, e, day).ptr;
                const char letter = p < e ? *p : '\0';
                std::from_chars(p + 2, e, amount);
                if (day >= first && day < first + kPlanDays)
                    (letter == 'D' ? in : out) += amount;
                at = lineEnd + 2;
            }
        }
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(out);
        benchmark::DoNotOptimize(seconds);
    }
}
// Each beside its floor, so that a load on the machine weighs on both alike.
BENCHMARK(PlanFigures31Days)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor_ReadFromChars31Days)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(PlanFigures31Days)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor_ReadFromChars31Days)->Arg(1)->Unit(benchmark::kMillisecond);

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
