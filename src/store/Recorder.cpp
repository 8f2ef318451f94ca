// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Recorder.h"

#include "common/Clock.h"
#include "common/DayNumber.h"
#include "common/ErrorReporter.h"
#include "common/NumberText.h"
#include "store/DayFile.h"
#include "store/ProfileFile.h"
#include "store/StatisticsStore.h"
#include "store/StoreFile.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

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
            return Counters{row.inOctets, row.outOctets, row.index};
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

// A total below the sum of its day's lines is raised to it, in single precision like every total; a total
// at or above it stays: lines are only ever missing from a day file, never from its totals.
bool RaiseTotal(ProfileFile& file, const QString& key, uint64_t sum)
{
    const float raised = static_cast<float>(sum);
    if (static_cast<long double>(raised) <= StoredTotal(file, key))
        return false;
    file.setValue(store::kDataSection, key, FloatText(raised));
    return true;
}

// The day of "<day>.mdf", spelt as DayFilePath spells it.
std::optional<int> DayOfFileName(const QString& name)
{
    if (!name.endsWith(QLatin1String(".mdf")))
        return std::nullopt;
    bool ok = false;
    const int day = QStringView(name).chopped(4).toInt(&ok);
    if (!ok || day < 0 || name != QString::number(day) + QLatin1String(".mdf"))
        return std::nullopt;
    return day;
}

bool Later(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}
} // namespace

Recorder::Recorder(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot, store::FileOps& ops)
    : m_sampler(sampler), m_clock(clock), m_errors(errors), m_ops(ops), m_root(std::move(storeRoot))
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

void Recorder::setBaselines(const InterfaceTable& table, const QStringList& names, const std::vector<bool>& checked)
{
    const size_t count = std::min<size_t>(checked.size(), static_cast<size_t>(names.size()));
    for (size_t i = 0; i < count; ++i)
        if (checked[i])
            if (const auto c = CountersOf(table, static_cast<int>(i), names[static_cast<qsizetype>(i)]))
                at(static_cast<int>(i)).baseline = Baseline{true, c->in, c->out, c->index};
}

void Recorder::interfaceChecked(int position, const QString& name)
{
    if (position < 0)
        return;
    // By name: a position of the lists may now hold another interface, whose counters would make a
    // first sample of traffic this one never had.
    const auto table = m_sampler.FetchInterfaceTable();
    const auto c = table ? CountersOf(*table, position, name) : std::nullopt;
    // Not there: the first cycle that finds it only takes its baseline.
    at(position).baseline = c ? Baseline{true, c->in, c->out, c->index} : Baseline{};
}

std::vector<Recorder::Unwritten> Recorder::unwritten() const
{
    std::vector<Unwritten> list;
    for (const Interface& itf : m_interfaces)
    {
        if (itf.pending.empty())
            continue;
        Unwritten u{itf.name, 0, 0, 0};
        for (const PendingSample& s : itf.pending)
        {
            // A sample whose line is written but whose totals are not still counts: nic.inf lacks it. One in
            // the totals whose line waits for its refused day file does not: the store holds its bytes.
            if (s.counted)
                continue;
            ++u.samples;
            u.in += s.in;
            u.out += s.out;
        }
        if (u.samples > 0)
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
    // A store folder deleted by hand (to reset the statistics) is made again: nothing waits for a restart.
    struct stat root
    {
    };
    if (m_ops.lstat(m_root, &root) != 0 && errno == ENOENT)
        QDir().mkpath(m_root);
    const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(names.size()), checked.size()));
    for (int i = 0; i < count; ++i)
    {
        if (!checked[static_cast<size_t>(i)])
        {
            // Its totals stay on disk, not in memory, while it is not recorded.
            if (static_cast<size_t>(i) < m_interfaces.size())
                m_interfaces[static_cast<size_t>(i)].descriptor.reset();
            continue;
        }
        Interface& itf = at(i);
        const QString& name = names[i];
        itf.name = name;

        const auto reading = table ? CountersOf(*table, i, name) : std::nullopt;
        if (reading)
        {
            const Baseline& base = itf.baseline;
            if (base.known)
            {
                // Counters below their baseline, or another interface index under the same name (deleted and
                // made again, a VPN reconnecting): the counters started again from zero within the interval,
                // so the reading itself is what moved since.
                const bool reset = reading->in < base.in || reading->out < base.out ||
                                   (reading->index != 0 && base.index != 0 && reading->index != base.index);
                const uint64_t dIn = reset ? reading->in : reading->in - base.in;
                const uint64_t dOut = reset ? reading->out : reading->out - base.out;
                // One direction alone moves on a receive-only line or a capture port: it is written with 0
                // for the other.
                if (dIn > 0 || dOut > 0)
                {
                    queue(itf, PendingSample{m_clock.now(), dIn, dOut});
                    itf.takenIn += dIn;
                    itf.takenOut += dOut;
                }
            }
            itf.baseline = Baseline{true, reading->in, reading->out, reading->index};
        }

        const auto dir = store::StatisticsFolderFor(m_root, i, name, m_ops);
        if (!dir)
        {
            cannotWrite(m_root + name);
            continue;
        }
        // A folder that is a link leads out of the store: nothing is written through it.
        struct stat folder
        {
        };
        if (m_ops.lstat(*dir, &folder) == 0 && S_ISLNK(folder.st_mode))
        {
            report(*dir, QStringLiteral("Dossier ignoré : %1 est un lien symbolique").arg(*dir));
            continue;
        }
        written(m_root + name);
        // An interface whose nic.inf is refused records nothing: its samples wait, the others go on.
        if (descriptor(*dir, itf) && reconcile(*dir, itf))
            writePending(*dir, itf);
    }
}

std::vector<Recorder::Taken> Recorder::taken() const
{
    std::vector<Taken> all;
    for (size_t i = 0; i < m_interfaces.size(); ++i)
    {
        const Interface& itf = m_interfaces[i];
        if (!itf.name.isEmpty())
            all.push_back({static_cast<int>(i), itf.name, itf.takenIn, itf.takenOut, itf.pending.size()});
    }
    return all;
}

void Recorder::queue(Interface& itf, PendingSample sample)
{
    if (itf.pending.size() >= kMaxPending)
    {
        // A sample already in its day's totals owes only its line: that line goes first.
        const auto countedOnly = std::find_if(itf.pending.begin(), itf.pending.end(),
                                              [](const PendingSample& s) { return s.counted && !s.lineWritten; });
        if (countedOnly != itf.pending.end())
        {
            itf.pending.erase(countedOnly);
        }
        else
        {
            PendingSample& last = itf.pending.back();
            // A sample that may stand in its day file or its totals already keeps its amounts as they are.
            if (!last.lineWritten && !last.counted && last.uncertainAt < 0)
            {
                last.in += sample.in;
                last.out += sample.out;
                return;
            }
        }
    }
    itf.pending.push_back(sample);
}

ProfileFile* Recorder::descriptor(const QString& dir, Interface& itf)
{
    const QString path = store::DescriptorPath(dir);
    const store::FileRead read = store::ReadStoreFile(path, store::kDescriptorLimit, m_ops);
    if (read.status == store::FileRead::Status::Read)
    {
        // Another program may have changed the file, or the interface's folder may be another one.
        if (!itf.descriptor || itf.descriptorPath != path || itf.descriptorText != read.data)
        {
            itf.descriptor = ProfileFile::parse(read.data);
            itf.descriptorPath = path;
            itf.descriptorText = read.data;
        }
        return &*itf.descriptor;
    }
    itf.descriptor.reset();
    if (read.status != store::FileRead::Status::Missing)
    {
        report(path, store::IgnoredFileMessage(path, read, store::kDescriptorLimit));
        return nullptr;
    }
    itf.descriptor = store::NewDescriptor(itf.name);
    itf.descriptorPath = path;
    if (!saveDescriptor(itf))
        return nullptr;
    // A lost nic.inf: the totals of every day file are taken from its lines again, not the newest day's only.
    itf.reconciled = false;
    itf.rebuilt = true;
    return &*itf.descriptor;
}

bool Recorder::saveDescriptor(Interface& itf)
{
    QByteArray text = itf.descriptor->toText();
    if (text.size() > store::kDescriptorLimit)
    {
        // Past its read limit the file would be refused by every reader, and every total with it.
        itf.descriptor.reset();
        itf.descriptorText.clear();
        report(itf.descriptorPath, QStringLiteral("Impossible d'écrire dans %1 : le fichier dépasserait %2 octets")
                                       .arg(itf.descriptorPath)
                                       .arg(store::kDescriptorLimit));
        return false;
    }
    if (!WriteFileAtomically(itf.descriptorPath, text, m_ops))
    {
        // What the file holds now is not what is in memory: the next cycle reads it again.
        itf.descriptor.reset();
        itf.descriptorText.clear();
        cannotWrite(itf.descriptorPath);
        return false;
    }
    itf.descriptorText = std::move(text);
    written(itf.descriptorPath);
    return true;
}

bool Recorder::reconcile(const QString& dir, Interface& itf)
{
    if (itf.reconciled)
        return true;
    ProfileFile& file = *itf.descriptor;
    // Only the day file appended to last can be ahead of its totals: the newest by its number, or by its
    // time of change when the clock went back. Nothing is appended here before this is done.
    int highest = -1;
    int changedLast = -1;
    timespec changedAt{};
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries)
    {
        const QString path = dir + QLatin1Char('/') + entry;
        if (IsAtomicWriteLeftover(entry))
        {
            m_ops.unlink(path); // left by a crash during a save
            continue;
        }
        const auto day = DayOfFileName(entry);
        if (!day)
            continue;
        highest = std::max(highest, *day);
        struct stat st
        {
        };
        if (m_ops.lstat(path, &st) == 0 && S_ISREG(st.st_mode) && (changedLast < 0 || Later(st.st_mtim, changedAt)))
        {
            changedLast = *day;
            changedAt = st.st_mtim;
        }
    }
    std::vector<int> days;
    if (itf.rebuilt)
    {
        for (const QString& entry : entries)
            if (const auto day = DayOfFileName(entry))
                days.push_back(*day);
    }
    else
    {
        if (highest >= 0)
            days.push_back(highest);
        if (changedLast >= 0 && changedLast != highest)
            days.push_back(changedLast);
    }
    bool raised = false;
    for (const int day : days)
    {
        const QString path = store::DayFilePath(dir, day);
        const store::FileRead read = store::ReadStoreFile(path, store::kDayFileLimit, m_ops);
        if (read.status == store::FileRead::Status::Failed)
        {
            report(path, store::IgnoredFileMessage(path, read, store::kDayFileLimit));
            return false;
        }
        // A file the readers ignore holds no line for them.
        if (read.status != store::FileRead::Status::Read)
            continue;
        const store::DaySums sums = store::SumDayLines(read.data);
        raised |= RaiseTotal(file, QString::number(day) + QLatin1Char('D'), sums.in);
        raised |= RaiseTotal(file, QString::number(day) + QLatin1Char('U'), sums.out);
    }
    if (raised && !saveDescriptor(itf))
        return false;
    itf.reconciled = true;
    itf.rebuilt = false;
    return true;
}

void Recorder::writePending(const QString& dir, Interface& itf)
{
    // Lines keep their order within a day; a day whose file is refused (a link, a FIFO, at its size limit,
    // another owner's) holds back its own later samples only, never another day's: it stays so until someone
    // changes it, so its day's totals take the samples meanwhile and the lines follow when the file can be
    // written. A failure that may pass and hits the whole store (a full disk, an I/O error, a read-only
    // mount) stops the writing until the next cycle, totals waiting with their line.
    QSet<int> heldBack;
    for (PendingSample& s : itf.pending)
    {
        const int day = DayNumber(s.when);
        if (heldBack.contains(day))
        {
            if (!s.counted && !count(itf, s))
                break;
            continue;
        }
        if (!s.lineWritten)
        {
            const QString dayPath = store::DayFilePath(dir, day);
            const store::DayAppend append =
                store::AppendDayLine(dayPath, store::SampleLine(s.when.time(), s.in, s.out), m_ops, s.uncertainAt);
            s.uncertainAt = append.mayRemainAt;
            if (append.status == store::DayAppend::Status::Appended)
            {
                written(dayPath);
                s.lineWritten = true;
            }
            else
            {
                if (append.status == store::DayAppend::Status::Ignored)
                    report(dayPath, store::IgnoredFileMessage(dayPath, append.ignored, store::kDayFileLimit));
                else
                    cannotWrite(dayPath);
                if (append.status != store::DayAppend::Status::Ignored && !append.refused)
                    break;
                heldBack.insert(day);
            }
        }
        if (!s.counted && !count(itf, s))
            break;
    }
    std::erase_if(itf.pending, [this](const PendingSample& s) {
        if (!s.lineWritten || !s.counted)
            return false;
        if (!m_lastStored || s.when > *m_lastStored)
            m_lastStored = s.when;
        return true;
    });
}

bool Recorder::count(Interface& itf, PendingSample& s)
{
    if (!itf.descriptor)
        return false;
    ProfileFile& file = *itf.descriptor;
    const int day = DayNumber(s.when);
    const QString keyD = QString::number(day) + QLatin1Char('D');
    const QString keyU = QString::number(day) + QLatin1Char('U');
    // Day totals are single precision, as the store format says.
    const float totalIn = static_cast<float>(StoredTotal(file, keyD) + static_cast<long double>(s.in));
    const float totalOut = static_cast<float>(StoredTotal(file, keyU) + static_cast<long double>(s.out));
    file.setValue(store::kDataSection, keyD, FloatText(totalIn));
    file.setValue(store::kDataSection, keyU, FloatText(totalOut));
    // On failure the file in memory is dropped; the next cycle reads nic.inf again.
    if (!saveDescriptor(itf))
        return false;
    s.counted = true;
    return true;
}

void Recorder::report(const QString& path, const QString& message)
{
    ++m_writeErrors;
    // A success elsewhere says nothing about this path: it stays reported until it is written.
    if (m_reported.contains(path))
        return;
    m_reported.insert(path);
    m_errors.showError(message);
}

void Recorder::cannotWrite(const QString& path)
{
    report(path, QStringLiteral("Impossible d'écrire dans %1").arg(path));
}

void Recorder::written(const QString& path)
{
    m_reported.remove(path);
}
