#include "store/Recorder.h"

#include "common/Clock.h"
#include "common/DayNumber.h"
#include "common/ErrorReporter.h"
#include "common/NumberText.h"
#include "store/DayFile.h"
#include "store/ProfileFile.h"
#include "store/StatisticsStore.h"

namespace
{
// A week of five-minute samples; past that, new amounts are merged into the newest pending sample
// so that no byte is dropped, only its time stamp coarsened.
constexpr size_t kMaxPending = 2016;

// The row at the position when it still carries the interface's name; otherwise the row of that
// name wherever it now stands, so a table that changed order never credits another interface.
std::optional<Counters> CountersOf(const InterfaceTable& table, int position, const QString& name)
{
    if (const auto here = CountersAt(table, position))
        if (InterfaceDisplayName(table[static_cast<size_t>(position)]) == name)
            return here;
    for (const InterfaceRow& row : table)
        if (InterfaceDisplayName(row) == name)
            return Counters{row.inOctets, row.outOctets};
    return std::nullopt;
}

long double StoredTotal(const ProfileFile& file, const QString& key)
{
    long double v = 0;
    const auto text = file.value(store::kDataSection, key);
    if (!text || !ParseFloatText(*text, v) || v < 0)
        return 0;
    return v;
}
} // namespace

Recorder::Recorder(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot)
    : m_sampler(sampler), m_clock(clock), m_errors(errors), m_root(std::move(storeRoot))
{
    if (!m_root.endsWith(QLatin1Char('/')))
        m_root += QLatin1Char('/');
}

Recorder::Interface& Recorder::at(int position)
{
    if (static_cast<size_t>(position) >= m_interfaces.size())
        m_interfaces.resize(static_cast<size_t>(position) + 1);
    return m_interfaces[static_cast<size_t>(position)];
}

void Recorder::setBaselines(const InterfaceTable& table, const std::vector<bool>& checked)
{
    for (size_t i = 0; i < checked.size(); ++i)
        if (checked[i])
            if (const auto c = CountersAt(table, static_cast<int>(i)))
                at(static_cast<int>(i)).baseline = Baseline{true, c->in, c->out};
}

void Recorder::interfaceChecked(int position)
{
    if (const auto c = m_sampler.ReadCounters(position))
        at(position).baseline = Baseline{true, c->in, c->out};
}

std::vector<Recorder::Unwritten> Recorder::unwritten() const
{
    std::vector<Unwritten> list;
    for (const Interface& itf : m_interfaces)
    {
        if (itf.pending.empty())
            continue;
        Unwritten u{itf.name, itf.pending.size(), 0, 0};
        for (const PendingSample& s : itf.pending)
        {
            // A sample whose line is written but whose totals are not still counts: nic.inf lacks it.
            u.in += s.in;
            u.out += s.out;
        }
        list.push_back(u);
    }
    return list;
}

size_t Recorder::pendingCount() const
{
    size_t n = 0;
    for (const Interface& itf : m_interfaces)
        n += itf.pending.size();
    return n;
}

void Recorder::RecordCycle(const QStringList& names, const std::vector<bool>& checked)
{
    // One snapshot serves the whole cycle: readings microseconds apart are the same reading.
    const auto table = m_sampler.FetchInterfaceTable();
    const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(names.size()), checked.size()));
    for (int i = 0; i < count; ++i)
    {
        if (!checked[static_cast<size_t>(i)])
            continue;
        Interface& itf = at(i);
        const QString& name = names[i];
        itf.name = name;
        const auto dir = store::StatisticsFolderFor(m_root, i, name);
        bool writable = dir.has_value();
        if (!dir)
            cannotWrite(m_root + name);
        else
        {
            written(m_root + name);
            if (!store::EnsureDescriptor(*dir, name))
            {
                cannotWrite(store::DescriptorPath(*dir));
                writable = false;
            }
        }

        const auto reading = table ? CountersOf(*table, i, name) : std::nullopt;
        if (reading)
        {
            const Baseline& base = itf.baseline;
            // A reading below its baseline is a counter reset: nothing to record, the baseline moves on.
            if (base.known && reading->in >= base.in && reading->out >= base.out)
            {
                const uint64_t dIn = reading->in - base.in;
                const uint64_t dOut = reading->out - base.out;
                if (dIn > 0 && dOut > 0)
                    queue(itf, PendingSample{m_clock.now(), dIn, dOut, false});
            }
            itf.baseline = Baseline{true, reading->in, reading->out};
        }
        if (writable)
            writePending(*dir, itf);
    }
}

void Recorder::queue(Interface& itf, PendingSample sample)
{
    if (itf.pending.size() >= kMaxPending)
    {
        PendingSample& last = itf.pending.back();
        if (!last.lineWritten)
        {
            last.in += sample.in;
            last.out += sample.out;
            return;
        }
    }
    itf.pending.push_back(sample);
}

bool Recorder::writePending(const QString& dir, Interface& itf)
{
    while (!itf.pending.empty())
    {
        PendingSample& s = itf.pending.front();
        const int day = DayNumber(s.when);
        if (!s.lineWritten)
        {
            const QString dayPath = store::DayFilePath(dir, day);
            if (!AppendDayLine(dayPath, store::SampleLine(s.when.time(), s.in, s.out)))
            {
                cannotWrite(dayPath);
                return false;
            }
            written(dayPath);
            s.lineWritten = true;
        }
        const QString infPath = store::DescriptorPath(dir);
        auto file = ProfileFile::load(infPath);
        if (!file)
        {
            cannotWrite(infPath);
            return false;
        }
        const QString keyD = QString::number(day) + QLatin1Char('D');
        const QString keyU = QString::number(day) + QLatin1Char('U');
        // Day totals are single precision, as the store format says.
        const float totalIn = static_cast<float>(StoredTotal(*file, keyD) + static_cast<long double>(s.in));
        const float totalOut = static_cast<float>(StoredTotal(*file, keyU) + static_cast<long double>(s.out));
        file->setValue(store::kDataSection, keyD, FloatText(totalIn));
        file->setValue(store::kDataSection, keyU, FloatText(totalOut));
        if (!file->save(infPath))
        {
            cannotWrite(infPath);
            return false;
        }
        written(infPath);
        itf.pending.pop_front();
    }
    return true;
}

void Recorder::cannotWrite(const QString& path)
{
    // A success elsewhere says nothing about this path: it stays reported until it is written.
    if (m_reported.contains(path))
        return;
    m_reported.insert(path);
    m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(path));
}

void Recorder::written(const QString& path)
{
    m_reported.remove(path);
}
