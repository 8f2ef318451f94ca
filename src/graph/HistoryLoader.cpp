// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/HistoryLoader.h"

#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "store/StoreFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace graph
{
namespace
{
constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kMsPerFiveMinutes = 300000;

// max(fiveMinutes / unitsPerColumn, 0), in 32 bits when it fits: a 64-bit division per sample is a good
// part of a year's load.
int64_t ColumnOf(int64_t fiveMinutes, int64_t unitsPerColumn)
{
    if (fiveMinutes <= 0)
        return 0;
    if (fiveMinutes <= UINT32_MAX && unitsPerColumn <= UINT32_MAX)
        return static_cast<uint32_t>(fiveMinutes) / static_cast<uint32_t>(unitsPerColumn);
    return fiveMinutes / unitsPerColumn;
}

QString StatisticText(long double value, long double percent, const QString& suffix)
{
    return FloatText(value) + suffix + QStringLiteral("/s (") + FloatText(percent) + QStringLiteral("%)");
}
} // namespace

QString PeriodText(Period period)
{
    switch (period)
    {
    case Period::Day:
        return QStringLiteral("Journée");
    case Period::Week:
        return QStringLiteral("Semaine");
    case Period::Month:
        return QStringLiteral("Mois");
    case Period::Year:
        return QStringLiteral("Année");
    }
    return {};
}

int32_t SecondsPerColumn(Period period)
{
    switch (period)
    {
    case Period::Day:
        return 300;
    case Period::Week:
        return 1800;
    case Period::Month:
        return 7200;
    case Period::Year:
        return 86400;
    }
    return 300;
}

DirectionParams DirectionParamsFor(Direction direction, int32_t width)
{
    if (direction == Direction::LeftToRight)
        return {width, 1, 1};
    return {0, 2, -1};
}

void Unit::update(int64_t scale, int32_t bitsMultiplier)
{
    const int64_t shown = scale * bitsMultiplier;
    if (shown > 1024)
    {
        divisor = 1024;
        suffix = QStringLiteral(" K");
    }
    if (shown > 1048576)
    {
        divisor = 1048576;
        suffix = QStringLiteral(" M");
    }
}

Statistics ComputeStatistics(const ColumnBuffer& columns, const StatisticsInput& in)
{
    const int32_t w = std::clamp(in.width, 1, kColumnCount);
    const DirectionParams d = DirectionParamsFor(in.direction, w);
    const int current = std::clamp(w - d.x0 + d.sigma, 0, kColumnCount - 1);
    float sumIn = 0;
    float sumOut = 0;
    for (int c = 1; c < w; ++c)
    {
        sumIn += columns[c].sumIn;
        sumOut += columns[c].sumOut;
    }
    const long double s = in.secondsPerColumn;
    const long double u = in.unitDivisor;
    const long double m = in.bitsMultiplier;
    const long double v = in.scale;
    const long double width = w;

    const auto actual = [&](long double sum) {
        return StatisticValue{std::floor(sum / s / u * m * 100) * 0.01L, std::floor(sum / s / v * 100), {}};
    };
    const auto peak = [&](long double max) {
        return StatisticValue{std::floor(max / u * m * 100 / 300) * 0.01L, std::floor(max / 300 / v * 100), {}};
    };
    const auto mean = [&](long double sum) {
        return StatisticValue{
            std::floor(sum / width / u * m * 100 / s) * 0.01L, std::floor(sum / width / s / v * 100), {}};
    };
    Statistics stats{actual(columns[current].sumIn),
                     actual(columns[current].sumOut),
                     peak(static_cast<long double>(in.maxIn)),
                     peak(static_cast<long double>(in.maxOut)),
                     mean(sumIn),
                     mean(sumOut)};
    for (StatisticValue& value : stats)
        value.text = StatisticText(value.value, value.percent, in.unitSuffix);
    return stats;
}

std::optional<LoadResult> HistoryLoader::load(const LoadRequest& request, const ProgressFn& progress)
{
    if (m_loading)
        return std::nullopt;
    m_loading = true;
    struct Release
    {
        bool& flag;
        ~Release() { flag = false; }
    } release{m_loading};

    LoadResult result;
    const int32_t w = std::clamp(request.width, 1, kColumnCount);
    const int32_t s = std::max(request.secondsPerColumn, 300);
    const int64_t columnsPerDay = 86400 / s;
    const int64_t unitsPerColumn = s / 300;
    const DirectionParams dir = DirectionParamsFor(request.direction, w);
    result.direction = dir;

    // Every column, not only the plot's, so that nothing of an earlier draw lingers.
    m_columns.fill(Column{});

    const int selectedDay = DayNumber(request.date);
    const int64_t reference = int64_t(selectedDay) * kMsPerDay + request.timeOfDay.msecsSinceStartOfDay();
    // (R − D − 1) × C >= W: the end of day D lies outside the plot.
    const auto beyondPlot = [&](int day) {
        const int64_t endAge = reference - (int64_t(day) + 1) * kMsPerDay;
        return endAge * columnsPerDay >= int64_t(w) * kMsPerDay;
    };

    for (int day = selectedDay; request.readDayFiles && !beyondPlot(day); --day)
    {
        const QString path = request.directory + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf");
        // Never through a link, never a FIFO (it would block the draw) nor more than a day file can hold.
        // Opened straight away, rather than looked for first: a missing day is the open that fails.
        const store::FileRead read = store::ReadStoreFile(path, store::kDayFileLimit);
        if (read.status == store::FileRead::Status::Missing)
            continue;
        // What the open refused counts as a day file only when something is there (not a dangling link).
        if (read.status != store::FileRead::Status::Read && !QFileInfo::exists(path))
            continue;
        const QString ignored = store::IgnoredFileMessage(path, read, store::kDayFileLimit);
        if (!ignored.isEmpty())
            result.ignoredFiles.append(ignored);
        result.daysRead.append(day);
        if (progress)
        {
            const int64_t startAge = reference - int64_t(day) * kMsPerDay;
            const int64_t percent = RoundHalfEven(100 * startAge * columnsPerDay, kMsPerDay) / w;
            progress(static_cast<int>(std::clamp<int64_t>(percent, 0, 100)));
        }

        SampleLineReader reader(read.data);
        bool anyLine = false;
        std::optional<Sample> sample;
        while (reader.nextSample(sample))
        {
            anyLine = true;
            if (!sample)
            {
                ++result.skippedLines;
                continue;
            }
            const int64_t age = reference - (int64_t(day) * kMsPerDay + sample->timeMs);
            const int64_t k = ColumnOf(RoundHalfEven(age, kMsPerFiveMinutes), unitsPerColumn);
            result.automaticMax = std::max(result.automaticMax, sample->out / 300);
            result.automaticMax = std::max(result.automaticMax, sample->in / 300);
            result.maxIn = std::max(result.maxIn, sample->in);
            result.maxOut = std::max(result.maxOut, sample->out);
            const int64_t c = request.direction == Direction::LeftToRight ? k : w - k;
            if (c < 0 || c >= kColumnCount)
                continue;
            Column& column = m_columns[static_cast<size_t>(c)];
            column.sumIn = static_cast<float>(static_cast<double>(column.sumIn) + static_cast<double>(sample->in));
            column.sumOut = static_cast<float>(static_cast<double>(column.sumOut) + static_cast<double>(sample->out));
            if (static_cast<float>(sample->in) > column.peakIn)
                column.peakIn = static_cast<float>(sample->in);
            if (static_cast<float>(sample->out) > column.peakOut)
                column.peakOut = static_cast<float>(sample->out);
        }
        if (!anyLine)
            ++result.skippedFiles;
    }

    constexpr int64_t kMaxScale = std::numeric_limits<int32_t>::max();
    result.scale = request.automaticScale ? static_cast<int32_t>(std::clamp<int64_t>(result.automaticMax, 1, kMaxScale))
                                          : std::clamp(request.scale, 1, static_cast<int32_t>(kMaxScale));
    m_unit.update(result.scale, request.bitsMultiplier);
    result.unit = m_unit;
    result.pixelsPerRate = static_cast<float>(request.height) / static_cast<float>(result.scale);

    StatisticsInput stats;
    stats.width = w;
    stats.secondsPerColumn = s;
    stats.direction = request.direction;
    stats.bitsMultiplier = request.bitsMultiplier;
    stats.scale = result.scale;
    stats.unitDivisor = m_unit.divisor;
    stats.unitSuffix = m_unit.suffix;
    stats.maxIn = result.maxIn;
    stats.maxOut = result.maxOut;
    result.statistics = ComputeStatistics(m_columns, stats);
    return result;
}

DrawScope::DrawScope(BusyMarker& marker, std::function<void()> onExit) : m_marker(marker), m_onExit(std::move(onExit))
{
    if (m_marker.m_drawing)
        return;
    m_marker.m_drawing = true;
    m_acquired = true;
}

DrawScope::~DrawScope()
{
    if (!m_acquired)
        return;
    m_marker.m_drawing = false;
    if (m_onExit)
        m_onExit();
}
} // namespace graph
