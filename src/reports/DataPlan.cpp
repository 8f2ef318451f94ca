// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/DataPlan.h"

#include "common/DayNumber.h"
#include "reports/Descriptor.h"
#include "reports/Totals.h"
#include "store/ProfileFile.h"
#include "store/SampleLine.h"
#include "store/StatisticsStore.h"
#include "store/StoreFile.h"

#include <QTimeZone>

#include <algorithm>
#include <cstring>
#include <limits>

namespace reports
{
namespace
{
constexpr int32_t kDayMs = 86400000;
constexpr qint64 kSlotMs = 300000;
constexpr int kMaxThreshold = 1000;

// Plain decimal digits, at least one, within uint64.
std::optional<uint64_t> Digits(QStringView text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    return ok ? std::optional<uint64_t>(value) : std::nullopt;
}

// "H:MM" or "HH:MM"; "24:00" only as the end of a window.
std::optional<int32_t> TimeOfDayMs(QStringView text, bool end)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1 || colon > 2 || text.size() - colon != 3)
        return std::nullopt;
    const auto hours = Digits(text.first(colon)), minutes = Digits(text.sliced(colon + 1));
    if (!hours || !minutes || *minutes > 59 || *hours > 24 || (*hours == 24 && (!end || *minutes != 0)))
        return std::nullopt;
    return static_cast<int32_t>((*hours * 60 + *minutes) * 60000);
}

bool ReadCycle(const QString& text, DataPlan& plan)
{
    const QString value = text.toLower();
    if (value == QLatin1String("day"))
    {
        plan.period = DataPlan::Period::Day;
        return true;
    }
    for (const auto& [prefix, period, most] : {std::tuple{QLatin1String("month:"), DataPlan::Period::Month, 31},
                                               {QLatin1String("week:"), DataPlan::Period::Week, 7}})
    {
        if (!value.startsWith(prefix))
            continue;
        const auto day = Digits(QStringView(value).sliced(prefix.size()));
        if (!day || *day < 1 || *day > static_cast<uint64_t>(most))
            return false;
        plan.period = period;
        plan.startDay = static_cast<int>(*day);
        return true;
    }
    return false;
}

bool ReadCount(const QString& text, DataPlan& plan)
{
    for (const PlanCount count : {PlanCount::Both, PlanCount::Received, PlanCount::Sent})
        if (text.compare(PlanCountText(count), Qt::CaseInsensitive) == 0)
        {
            plan.count = count;
            return true;
        }
    return false;
}

bool ReadOffPeak(const QString& text, DataPlan& plan)
{
    if (text.isEmpty())
    {
        plan.offPeak.reset();
        return true;
    }
    const QStringList ends = text.split(QLatin1Char('-'));
    if (ends.size() != 2)
        return false;
    const auto start = TimeOfDayMs(QStringView(ends[0]).trimmed(), false);
    const auto end = TimeOfDayMs(QStringView(ends[1]).trimmed(), true);
    // An empty window, or one of the whole day, is no window a plan has.
    if (!start || !end || *start == *end % kDayMs)
        return false;
    plan.offPeak = OffPeak{*start, *end};
    return true;
}

bool ReadThresholds(const QString& text, DataPlan& plan)
{
    plan.thresholds.clear();
    if (text.trimmed().isEmpty())
        return true; // no alerts
    for (const QString& item : text.split(QLatin1Char(',')))
    {
        const auto percent = Digits(QStringView(item).trimmed());
        if (!percent || *percent < 1 || *percent > kMaxThreshold)
            return false;
        plan.thresholds.push_back(static_cast<int>(*percent));
    }
    std::sort(plan.thresholds.begin(), plan.thresholds.end());
    plan.thresholds.erase(std::unique(plan.thresholds.begin(), plan.thresholds.end()), plan.thresholds.end());
    return true;
}

struct Key
{
    const char* name;
    bool (*read)(const QString& text, DataPlan& plan);
    const char* expected;
};

const Key kKeys[] = {
    {"cycle", ReadCycle, "month:J (J de 1 à 31), week:J (J de 1 = lundi à 7 = dimanche) ou day"},
    {"allowance",
     [](const QString& text, DataPlan& plan) {
         const auto bytes = text.isEmpty() ? std::optional<uint64_t>(0) : Digits(text);
         plan.allowance = bytes.value_or(0);
         return bytes.has_value();
     },
     "un nombre entier d'octets par cycle, 0 pour aucun"},
    {"count", ReadCount, "both, received ou sent"},
    {"offpeak", ReadOffPeak, "HH:MM-HH:MM, par exemple 02:00-08:00"},
    {"warn", ReadThresholds, "des pourcentages entiers de 1 à 1000 séparés par des virgules, par exemple 80,100"},
};

qint64 Ms(const QDateTime& t)
{
    return t.toMSecsSinceEpoch();
}

void AddOnce(QStringList& list, const QString& message)
{
    if (!message.isEmpty() && !list.contains(message))
        list << message;
}

// The day totals of days first..last summed by the totals walk, over the lines of those days only: a
// cycle's pairs are read, not years of them. A damaged (negative) day counts 0.
DirectionAmounts TotalsOf(const QStringList& lines, int first, int last)
{
    DirectionAmounts sum;
    if (lines.isEmpty())
        return sum;
    for (const DayBytes& d : TotalsWalk::Compute(lines, QString(), DateOfDay(last)).dailyBytes)
    {
        const int day = DayNumber(d.date);
        if (day < first || day > last)
            continue;
        sum.received += d.received > 0 ? d.received : 0.0f;
        sum.sent += d.sent > 0 ? d.sent : 0.0f;
    }
    return sum;
}

QStringList DataLinesOf(const QStringList& lines, int first, int last)
{
    QStringList kept;
    for (const QString& line : lines)
        if (IsDayLine(line) && DayOfLine(line) >= first && DayOfLine(line) <= last)
            kept << line;
    return kept;
}

bool IsDayDigits(const char* p)
{
    return std::all_of(p, p + 5, [](char c) { return c >= '0' && c <= '9'; });
}

int DayOfDigits(const char* p)
{
    int day = 0;
    for (const char* q = p; q != p + 5; ++q)
        day = day * 10 + (*q - '0');
    return day;
}

// The lines of text the profile parser needs for the days first..last: section headers and the lines that
// start with one of those days, split where it splits them (CR, LF or both). Ten years of totals are not
// made into 7300 entries for a cycle's 62.
QByteArray CandidateLines(const QByteArray& text, int first, int last)
{
    QByteArray kept;
    const char* p = text.constData();
    const char* const end = p + text.size();
    if (text.startsWith("\xEF\xBB\xBF"))
        p += 3;
    const auto consider = [&](const char* begin, const char* lineEnd) {
        const char* s = begin;
        while (s < lineEnd && (*s == ' ' || *s == '\t' || *s == '\v' || *s == '\f'))
            ++s;
        const bool header = s < lineEnd && *s == '[';
        if (header || (lineEnd - s >= 5 && IsDayDigits(s) && DayOfDigits(s) >= first && DayOfDigits(s) <= last))
        {
            kept.append(begin, lineEnd - begin);
            kept.append('\n');
        }
    };
    while (p < end)
    {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* const lineEnd = lf ? lf : end;
        for (const char* q = p;;)
        {
            const char* cr = static_cast<const char*>(std::memchr(q, '\r', static_cast<size_t>(lineEnd - q)));
            consider(q, cr ? cr : lineEnd);
            if (!cr)
                break;
            q = cr + 1;
        }
        p = lineEnd + 1;
    }
    return kept;
}

// nic.inf's lines of days first..last, "key=value" as the profile parser reads them.
QStringList DataLinesIn(const QString& dir, int first, int last, QStringList& warnings)
{
    const DescriptorText read = ReadDescriptorText(dir);
    AddOnce(warnings, read.message);
    QStringList kept;
    if (!read.bytes)
        return kept;
    const QByteArray lines = CandidateLines(*read.bytes, first, last);
    for (const ProfileFile::RawEntry& e : ProfileFile::rawEntries(lines, store::kDataSection))
        if (e.key.size() >= 5 && IsDayDigits(e.key.data()) && DayOfDigits(e.key.data()) >= first &&
            DayOfDigits(e.key.data()) <= last)
            kept << e.keyText() + QLatin1Char('=') + e.valueText();
    return kept;
}

void AddSaturating(int64_t& sum, int64_t amount)
{
    if (__builtin_add_overflow(sum, amount, &sum))
        sum = std::numeric_limits<int64_t>::max();
}

// The highest value left once the top 5 % (rounded down) are dropped, and the highest of all.
std::pair<int64_t, int64_t> Percentile95(std::vector<int64_t>& values)
{
    if (values.empty())
        return {0, 0};
    const size_t kept = values.size() - values.size() * 5 / 100;
    const auto at = values.begin() + static_cast<ptrdiff_t>(kept - 1);
    std::nth_element(values.begin(), at, values.end());
    return {*at, *std::max_element(at, values.end())};
}
} // namespace

bool OffPeak::contains(int32_t timeMs) const
{
    return startMs < endMs ? timeMs >= startMs && timeMs < endMs : timeMs >= startMs || timeMs < endMs;
}

QString OffPeak::text() const
{
    const auto hhmm = [](int32_t ms) {
        const int minutes = ms / 60000;
        return QStringLiteral("%1:%2")
            .arg(minutes / 60, 2, 10, QLatin1Char('0'))
            .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    };
    return hhmm(startMs) + QLatin1Char('-') + hhmm(endMs);
}

QString DataPlan::cycleText() const
{
    switch (period)
    {
    case Period::Month:
        return QStringLiteral("month:%1").arg(startDay);
    case Period::Week:
        return QStringLiteral("week:%1").arg(startDay);
    case Period::Day:
        break;
    }
    return QStringLiteral("day");
}

QString PlanCountText(PlanCount count)
{
    switch (count)
    {
    case PlanCount::Received:
        return QStringLiteral("received");
    case PlanCount::Sent:
        return QStringLiteral("sent");
    case PlanCount::Both:
        break;
    }
    return QStringLiteral("both");
}

PlansRead ReadPlans(const PlanSection& section)
{
    PlansRead read;
    // Each interface's keys, gathered first: a display name may hold a '/' and sort among another's keys.
    QMap<QString, std::vector<std::pair<QString, QString>>> groups;
    for (auto it = section.constBegin(); it != section.constEnd(); ++it)
    {
        const qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            read.messages << QStringLiteral("Réglage %1 de la section [Plans] laissé de côté : il ne nomme pas "
                                            "d'interface (interface\\clé attendu).")
                                 .arg(it.key());
        else
            groups[it.key().first(slash)].emplace_back(it.key().sliced(slash + 1), it.value());
    }
    for (auto group = groups.constBegin(); group != groups.constEnd(); ++group)
    {
        const QString& name = group.key();
        DataPlan plan;
        plan.interfaceName = name;
        bool bad = false;
        for (const auto& entry : *group)
        {
            // Named, not bound: clang 14 cannot capture a structured binding in a lambda.
            const QString& key = entry.first;
            const QString& value = entry.second;
            const Key* known = std::find_if(std::begin(kKeys), std::end(kKeys), [&key](const Key& k) {
                return key.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0;
            });
            if (known == std::end(kKeys))
                read.messages << QStringLiteral("Forfait de « %1 » : le réglage %2 est inconnu et laissé de côté "
                                                "(réglages connus : cycle, allowance, count, offpeak, warn).")
                                     .arg(name, key);
            else if (!known->read(value.trimmed(), plan))
            {
                read.messages << QStringLiteral("Forfait de « %1 » ignoré : %2=%3 n'est pas valide (attendu : %4).")
                                     .arg(name, key, value, QString::fromUtf8(known->expected));
                bad = true;
            }
        }
        if (!bad)
            read.plans.push_back(std::move(plan));
    }
    return read;
}

QStringList PlanBook::update(const PlanSection& section)
{
    PlansRead read = ReadPlans(section);
    m_plans = std::move(read.plans);
    QStringList fresh;
    for (const QString& message : read.messages)
        if (!m_told.contains(message))
            fresh << message;
    m_told = std::move(read.messages);
    return fresh;
}

const DataPlan* PlanBook::find(const QString& interfaceName) const
{
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (const DataPlan& plan : m_plans)
            if (plan.interfaceName.compare(interfaceName, cs) == 0)
                return &plan;
    return nullptr;
}

QString BillingCycle::id() const
{
    return first.toString(Qt::ISODate) + QLatin1Char('/') + last.toString(Qt::ISODate);
}

BillingCycle CycleHolding(const DataPlan& plan, const QDate& day)
{
    QDate first = day, next = day.addDays(1);
    if (plan.period == DataPlan::Period::Week)
    {
        first = day.addDays(-((day.dayOfWeek() - plan.startDay + 7) % 7));
        next = first.addDays(7);
    }
    else if (plan.period == DataPlan::Period::Month)
    {
        // A month without the start day starts its cycle on its last day.
        const auto startIn = [&plan](const QDate& month) {
            return QDate(month.year(), month.month(),
                         std::min(plan.startDay, DaysInMonth(month.year(), month.month())));
        };
        const QDate month(day.year(), day.month(), 1);
        first = startIn(month);
        if (first > day)
            first = startIn(month.addMonths(-1));
        next = startIn(QDate(first.year(), first.month(), 1).addMonths(1));
    }
    return {first, next.addDays(-1), first.startOfDay(), next.startOfDay()};
}

BillingCycle CycleBefore(const DataPlan& plan, const BillingCycle& cycle)
{
    return CycleHolding(plan, cycle.first.addDays(-1));
}

PlanFigures PlanCalculator::current(const DataPlan& plan, const QString& dir, const QDateTime& now)
{
    return forCycle(plan, dir, CycleHolding(plan, now.date()), now);
}

PlanFigures PlanCalculator::forCycle(const DataPlan& plan, const QString& dir, const BillingCycle& cycle,
                                     const QDateTime& now)
{
    return compute(plan, dir, nullptr, cycle, now);
}

PlanFigures PlanCalculator::forCycle(const DataPlan& plan, const QString& dir, const QStringList& dataLines,
                                     const BillingCycle& cycle, const QDateTime& now)
{
    return compute(plan, dir, &dataLines, cycle, now);
}

PlanFigures PlanCalculator::compute(const DataPlan& plan, const QString& dir, const QStringList* dataLines,
                                    const BillingCycle& cycle, const QDateTime& now)
{
    PlanFigures f;
    f.plan = plan;
    f.cycle = cycle;
    f.now = now;
    const qint64 startMs = Ms(cycle.start), endMs = Ms(cycle.end);
    const qint64 lengthMs = std::max<qint64>(endMs - startMs, 1);
    // Each local time conversion may cost the C library a look at the zone file: without a change of time in
    // the cycle, its days start 24 hours apart.
    const bool plainCycle = lengthMs == qint64(cycle.days()) * kDayMs &&
                            QTimeZone::systemTimeZone()
                                .transitions(QDateTime::fromMSecsSinceEpoch(startMs, Qt::UTC),
                                             QDateTime::fromMSecsSinceEpoch(endMs - 1, Qt::UTC))
                                .isEmpty();
    const qint64 nowMs = Ms(now);
    const qint64 elapsedMs = std::clamp<qint64>(nowMs - startMs, 0, lengthMs);
    f.elapsed = static_cast<double>(elapsedMs) / static_cast<double>(lengthMs);
    const QDate today = now.date();
    f.daysLeft = today < cycle.first ? cycle.days() : today > cycle.last ? 0 : int(today.daysTo(cycle.last)) + 1;

    // Days after today have nothing yet; a clock set back does not count them.
    const int first = DayNumber(cycle.first);
    const int last = std::min(DayNumber(cycle.last), DayNumber(today));
    f.slotCount = static_cast<int>((elapsedMs + kSlotMs - 1) / kSlotMs);
    m_received.assign(static_cast<size_t>(f.slotCount), 0);
    m_sent.assign(static_cast<size_t>(f.slotCount), 0);
    int64_t offPeakReceived = 0, offPeakSent = 0; // whole bytes: a long double sum per sample costs more
    // Kept out of memory the reader's calls could change.
    const qint64 slotCount = f.slotCount;
    int64_t* const received = m_received.data();
    int64_t* const sent = m_sent.data();
    const std::optional<OffPeak> offPeak = plan.offPeak;
    qint64 dayStartMs = startMs;
    for (int day = first; day <= last; ++day)
    {
        const QDate date = DateOfDay(day);
        const qint64 nextStartMs = plainCycle ? dayStartMs + kDayMs : Ms(date.addDays(1).startOfDay());
        // A day of 23 or 25 hours places its samples through the time zone's rules.
        const bool plainDay = nextStartMs - dayStartMs == kDayMs;
        const QString path = store::DayFilePath(dir, day);
        const store::FileRead file = store::ReadStoreFile(path, store::kDayFileLimit);
        if (file.status != store::FileRead::Status::Read)
            AddOnce(f.warnings, store::IgnoredFileMessage(path, file, store::kDayFileLimit));
        int unreadable = 0;
        store::SampleLineReader reader(file.data);
        std::optional<store::Sample> sample;
        while (reader.nextSample(sample))
        {
            if (!sample)
            {
                ++unreadable;
                continue;
            }
            qint64 at = dayStartMs + sample->timeMs;
            if (!plainDay)
            {
                const QDateTime stamp(date, QTime::fromMSecsSinceStartOfDay(sample->timeMs));
                if (!stamp.isValid())
                    continue;
                at = Ms(stamp);
            }
            if (at < startMs || at > nowMs)
                continue;
            const qint64 slot = (at - startMs) / kSlotMs;
            if (slot < slotCount)
            {
                AddSaturating(received[slot], sample->in);
                AddSaturating(sent[slot], sample->out);
            }
            if (offPeak && !offPeak->contains(sample->timeMs))
            {
                AddSaturating(offPeakReceived, sample->in);
                AddSaturating(offPeakSent, sample->out);
            }
        }
        if (unreadable > 0)
            AddOnce(f.warnings, QStringLiteral("Lignes illisibles ignorées dans %1 : %2").arg(path).arg(unreadable));
        dayStartMs = nextStartMs;
    }
    for (auto [values, p95, peak] :
         {std::tuple{&m_received, &f.p95.received, &f.peak.received}, std::tuple{&m_sent, &f.p95.sent, &f.peak.sent}})
    {
        const auto [high, top] = Percentile95(*values);
        *p95 = static_cast<long double>(high) / (kSlotMs / 1000);
        *peak = static_cast<long double>(top) / (kSlotMs / 1000);
    }

    if (plan.offPeak)
        f.usedBytes = {static_cast<long double>(offPeakReceived), static_cast<long double>(offPeakSent)};
    else if (dataLines)
        f.usedBytes = TotalsOf(DataLinesOf(*dataLines, first, last), first, last);
    else if (first <= last)
        f.usedBytes = TotalsOf(DataLinesIn(dir, first, last, f.warnings), first, last);
    f.used = plan.count == PlanCount::Received ? f.usedBytes.received
             : plan.count == PlanCount::Sent   ? f.usedBytes.sent
                                               : f.usedBytes.received + f.usedBytes.sent;
    f.projected = elapsedMs > 0 ? f.used * lengthMs / elapsedMs : f.used;

    if (plan.allowance == 0)
        return f;
    const long double allowance = plan.allowance;
    f.percent = f.used * 100 / allowance;
    f.remaining = std::max(allowance - f.used, 0.0L);
    f.expected = allowance * elapsedMs / lengthMs;
    if (f.daysLeft > 0)
        f.perDay = *f.remaining / f.daysLeft;
    for (const int threshold : plan.thresholds)
        if (f.used * 100 >= allowance * threshold)
            f.crossed.push_back(threshold);
    f.projectedOver = f.projected > allowance;
    return f;
}

} // namespace reports
