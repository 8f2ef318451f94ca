// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CommandLineReport.h"

#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "reports/Descriptor.h"
#include "reports/Totals.h"
#include "store/ProfileFile.h"
#include "store/SampleLine.h"
#include "store/StatisticsStore.h"
#include "store/StoreFile.h"
#include "store/StoreLock.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <vector>

namespace reports
{
namespace
{
void AddOnce(QStringList& list, const QString& message)
{
    if (!message.isEmpty() && !list.contains(message))
        list << message;
}

// Whole amounts as integers: QJsonDocument writes a whole double past 2^53 in exponent form (1e+16).
QJsonValue BytesValue(long double v)
{
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9.2e18L)
        return static_cast<qint64>(v);
    return static_cast<double>(v);
}

QJsonObject AmountsObject(long double received, long double sent, bool receivedDamaged = false,
                          bool sentDamaged = false)
{
    return {{QStringLiteral("received"), receivedDamaged ? QJsonValue() : BytesValue(received)},
            {QStringLiteral("sent"), sentDamaged ? QJsonValue() : BytesValue(sent)}};
}

QString LocalTimeText(const QDate& date, int32_t msecsOfDay)
{
    return date.toString(Qt::ISODate) + QLatin1Char('T') + TimeText(QTime::fromMSecsSinceStartOfDay(msecsOfDay));
}

// Whether the walk takes a total as it is written: a number, not negative, within single precision
// (AmountOfText gives 0 beyond it).
bool SoundTotal(const QString& text)
{
    long double value = 0;
    return ParseFloatText(text, value) && value >= 0 && AmountOfText(text) == static_cast<float>(value);
}

struct InterfaceFolder
{
    QString folder; // the sub-folder's name under the store root
    QString dir;
    QString descriptorPath;
    std::optional<QString> name; // "ifname"; nothing when nic.inf lacks it
    QStringList dataLines;       // "key=value", as the walk reads them

    QString title() const { return name.value_or(folder); }
};

// Every sub-folder of storeRoot holding a nic.inf, by code points whatever the locale; the folders and files
// left out are told in warnings.
std::vector<InterfaceFolder> InterfacesOf(const QString& storeRoot, QStringList& warnings)
{
    std::vector<InterfaceFolder> interfaces;
    const QDir root(storeRoot);
    QStringList folders = root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(folders.begin(), folders.end());
    for (const QString& folder : folders)
    {
        InterfaceFolder itf{folder, root.filePath(folder), {}, {}, {}};
        // Store files are never read through a link: neither is a linked folder, as the recorder refuses it.
        if (QFileInfo(itf.dir).isSymLink())
        {
            warnings << QStringLiteral("Dossier ignoré : %1 est un lien symbolique").arg(itf.dir);
            continue;
        }
        const DescriptorText read = ReadDescriptorText(itf.dir);
        AddOnce(warnings, read.message);
        if (!read.bytes)
            continue;
        itf.descriptorPath = DescriptorPathIn(itf.dir);
        for (const ProfileFile::RawEntry& e : ProfileFile::rawEntries(*read.bytes, store::kHeaderSection))
            if (e.keyText().compare(QLatin1String("ifname"), Qt::CaseInsensitive) == 0)
            {
                itf.name = e.valueText();
                break;
            }
        for (const ProfileFile::RawEntry& e : ProfileFile::rawEntries(*read.bytes, store::kDataSection))
            itf.dataLines << e.keyText() + QLatin1Char('=') + e.valueText();
        interfaces.push_back(std::move(itf));
    }
    return interfaces;
}

// The days whose totals are damaged, per direction.
struct Damage
{
    QSet<int> received, sent;
};

// A damaged total becomes 0 before the walk, so that a negative one takes nothing off the sums; each is told.
Damage ZeroDamagedTotals(QStringList& lines, const QString& descriptorPath, QStringList& warnings)
{
    Damage damage;
    for (QString& line : lines)
    {
        if (!IsDayLine(line))
            continue;
        const QChar letter = LetterOfLine(line);
        if ((letter != QLatin1Char('D') && letter != QLatin1Char('U')) || SoundTotal(line.mid(7)))
            continue;
        (letter == QLatin1Char('D') ? damage.received : damage.sent).insert(DayOfLine(line));
        const QString shown = line.size() > 60 ? line.left(57) + QStringLiteral("...") : line;
        warnings << QStringLiteral("Total endommagé dans %1 : %2 (compté 0)").arg(descriptorPath, shown);
        line = line.left(7) + QLatin1Char('0');
    }
    return damage;
}

QStringList DaysWithin(const QStringList& lines, const ReportOptions& options)
{
    const int first = options.begin ? DayNumber(*options.begin) : INT_MIN;
    const int last = options.end ? DayNumber(*options.end) : INT_MAX;
    QStringList kept;
    for (const QString& line : lines)
        if (IsDayLine(line) && DayOfLine(line) >= first && DayOfLine(line) <= last)
            kept << line;
    return kept;
}

// An interface's day files, each read once with the store's bounded reader.
class DayFiles final
{
public:
    DayFiles(const QString& dir, QStringList& warnings) : m_dir(dir), m_warnings(warnings) {}

    // The samples of a day in time order (a sample written late stands after later ones); nothing when the
    // file is refused.
    const std::optional<std::vector<store::Sample>>& samples(int day)
    {
        const auto found = m_read.constFind(day);
        if (found != m_read.constEnd())
            return *found;
        return *m_read.insert(day, read(day));
    }

    // The newest sample of the newest day file that has one.
    std::optional<QString> lastSample()
    {
        QList<int> days;
        const QStringList names =
            QDir(m_dir).entryList({QStringLiteral("*.mdf")}, QDir::Files | QDir::System | QDir::Hidden, QDir::NoSort);
        for (const QString& name : names)
        {
            bool ok = false;
            const int day = QStringView(name).chopped(4).toInt(&ok);
            // Only the names the store gives: "38153.mdf", not "038153.mdf".
            if (ok && day >= 0 && QString::number(day) + QStringLiteral(".mdf") == name)
                days << day;
        }
        std::sort(days.begin(), days.end(), std::greater<>());
        for (const int day : days)
        {
            const auto& list = samples(day);
            if (list && !list->empty())
                return LocalTimeText(DateOfDay(day), list->back().timeMs);
        }
        return std::nullopt;
    }

private:
    std::optional<std::vector<store::Sample>> read(int day)
    {
        const QString path = store::DayFilePath(m_dir, day);
        const store::FileRead file = store::ReadStoreFile(path, store::kDayFileLimit);
        if (file.status == store::FileRead::Status::Missing)
            return std::vector<store::Sample>();
        if (file.status != store::FileRead::Status::Read)
        {
            AddOnce(m_warnings, store::IgnoredFileMessage(path, file, store::kDayFileLimit));
            return std::nullopt;
        }
        std::vector<store::Sample> list;
        int unreadable = 0;
        store::SampleLineReader reader(file.data);
        std::optional<store::Sample> sample;
        while (reader.nextSample(sample))
        {
            if (sample)
                list.push_back(*sample);
            else
                ++unreadable;
        }
        if (unreadable > 0)
            m_warnings << QStringLiteral("Lignes illisibles ignorées dans %1 : %2").arg(path).arg(unreadable);
        std::stable_sort(list.begin(), list.end(),
                         [](const store::Sample& a, const store::Sample& b) { return a.timeMs < b.timeMs; });
        return list;
    }

    QString m_dir;
    QStringList& m_warnings;
    QHash<int, std::optional<std::vector<store::Sample>>> m_read;
};

// What is reported of one interface.
struct InterfaceReport
{
    const InterfaceFolder* itf = nullptr;
    TotalsReport totals; // every day
    TotalsReport listed; // the days within the limits, and their months
    Damage damage;
    std::optional<PlanFigures> plan;
};

QJsonValue SamplesArray(DayFiles& files, const QDate& date)
{
    const auto& samples = files.samples(DayNumber(date));
    if (!samples)
        return QJsonValue();
    QJsonArray array;
    for (const store::Sample& s : *samples)
        array.append(QJsonObject{{QStringLiteral("time"), LocalTimeText(date, s.timeMs)},
                                 {QStringLiteral("received"), static_cast<qint64>(s.in)},
                                 {QStringLiteral("sent"), static_cast<qint64>(s.out)}});
    return array;
}

QString DateTimeText(const QDateTime& t)
{
    return LocalTimeText(t.date(), t.time().msecsSinceStartOfDay());
}

QJsonValue OptionalBytes(const std::optional<long double>& v)
{
    return v ? BytesValue(*v) : QJsonValue();
}

QJsonValue PlanObject(const std::optional<PlanFigures>& f)
{
    if (!f)
        return QJsonValue();
    const auto cut = [](const std::optional<long double>& v) {
        return v ? std::optional<long double>(std::floor(*v)) : std::nullopt;
    };
    QJsonArray crossed;
    for (const int threshold : f->crossed)
        crossed.append(threshold);
    return QJsonObject{
        {QStringLiteral("cycle"), f->plan.cycleText()},
        {QStringLiteral("cycle_start"), DateTimeText(f->cycle.start)},
        {QStringLiteral("cycle_end"), DateTimeText(f->cycle.end)},
        {QStringLiteral("allowance"), f->plan.allowance ? BytesValue(f->plan.allowance) : QJsonValue()},
        {QStringLiteral("count"), PlanCountText(f->plan.count)},
        {QStringLiteral("offpeak"), f->plan.offPeak ? QJsonValue(f->plan.offPeak->text()) : QJsonValue()},
        {QStringLiteral("used"), BytesValue(f->used)},
        {QStringLiteral("percent"), f->percent ? QJsonValue(static_cast<double>(*f->percent)) : QJsonValue()},
        // Cut to whole bytes, as the forecast is.
        {QStringLiteral("expected"), OptionalBytes(cut(f->expected))},
        {QStringLiteral("projected"), BytesValue(std::floor(f->projected))},
        {QStringLiteral("remaining"), OptionalBytes(f->remaining)},
        {QStringLiteral("per_day"), OptionalBytes(cut(f->perDay))},
        {QStringLiteral("thresholds_crossed"), crossed},
        {QStringLiteral("p95_bytes_per_second"), AmountsObject(f->p95.received, f->p95.sent)},
        {QStringLiteral("peak_bytes_per_second"), AmountsObject(f->peak.received, f->peak.sent)},
    };
}

// An amount in the unit the window's groups would give it alone.
QString AmountText(long double v)
{
    AmountUnit unit;
    unit.ChooseUnit(v, v, kGroupUnits);
    return unit.FormatAmount(v);
}

QString PercentText(long double percent)
{
    return FloatText(CutTenths(percent)) + QStringLiteral(" %");
}

QString PlanText(const PlanFigures& f)
{
    static const QString counted[] = {QStringLiteral("reçus et envoyés"), QStringLiteral("reçus"),
                                      QStringLiteral("envoyés")};
    QString what = counted[static_cast<int>(f.plan.count)];
    if (f.plan.offPeak)
        what += QStringLiteral(", hors ") + f.plan.offPeak->text();
    QString text = QStringLiteral("Forfait, cycle du %1 au %2 (%3) :\n")
                       .arg(DateText(f.cycle.first), DateText(f.cycle.last), what);
    if (!f.percent)
        text += QStringLiteral("  Utilisé : %1, sans limite\n").arg(AmountText(f.used));
    else
    {
        text += QStringLiteral("  Utilisé : %1 sur %2 (%3) ; attendu à ce jour : %4\n")
                    .arg(AmountText(f.used), AmountText(f.plan.allowance), PercentText(*f.percent),
                         AmountText(*f.expected));
        text += QStringLiteral("  Reste : %1").arg(AmountText(*f.remaining));
        if (f.perDay)
            text += QStringLiteral(", soit %1 par jour pendant %2 jour%3")
                        .arg(AmountText(*f.perDay))
                        .arg(f.daysLeft)
                        .arg(f.daysLeft > 1 ? QStringLiteral("s") : QString());
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("  Prévision en fin de cycle : %1\n").arg(AmountText(f.projected));
    text += QStringLiteral("  95e centile : reçus %1/s, envoyés %2/s ; pointe : reçus %3/s, envoyés %4/s\n")
                .arg(AmountText(f.p95.received), AmountText(f.p95.sent), AmountText(f.peak.received),
                     AmountText(f.peak.sent));
    if (!f.crossed.empty())
    {
        QStringList crossed;
        for (const int threshold : f.crossed)
            crossed << QString::number(threshold) + QStringLiteral(" %");
        text += QStringLiteral("  Seuils atteints : %1\n").arg(crossed.join(QStringLiteral(", ")));
    }
    return text;
}

// --check-plans: "<interface> : seuil de 80 % atteint, ...", for the highest threshold reached.
QString CheckLine(const QString& title, const PlanFigures& f)
{
    return QStringLiteral("%1 : seuil de %2 % atteint, %3 du forfait utilisé (%4 sur %5), cycle du %6 au %7.\n")
        .arg(title)
        .arg(f.crossed.back())
        .arg(PercentText(*f.percent), AmountText(f.used), AmountText(f.plan.allowance), DateText(f.cycle.first),
             DateText(f.cycle.last));
}

QJsonObject InterfaceObject(const InterfaceReport& r, const ReportOptions& options, const QDate& today, bool recording,
                            QStringList& warnings)
{
    const TotalsReport& t = r.totals;
    DayFiles files(r.itf->dir, warnings);
    QJsonArray days;
    for (const DayBytes& d : r.listed.dailyBytes)
    {
        const int day = DayNumber(d.date);
        QJsonObject object =
            AmountsObject(d.received, d.sent, r.damage.received.contains(day), r.damage.sent.contains(day));
        object.insert(QStringLiteral("date"), d.date.toString(Qt::ISODate));
        if (options.samples)
            object.insert(QStringLiteral("samples"), SamplesArray(files, d.date));
        days.append(object);
    }
    QJsonArray months;
    for (const MonthBytes& m : r.listed.monthlyBytes)
    {
        QJsonObject month = AmountsObject(m.received, m.sent);
        month.insert(
            QStringLiteral("month"),
            QStringLiteral("%1-%2").arg(m.year, 4, 10, QLatin1Char('0')).arg(m.month, 2, 10, QLatin1Char('0')));
        months.append(month);
    }
    const int todayNumber = DayNumber(today);
    const std::optional<QString> lastSample = files.lastSample();
    return {
        {QStringLiteral("name"), r.itf->name ? QJsonValue(*r.itf->name) : QJsonValue()},
        {QStringLiteral("folder"), r.itf->folder},
        {QStringLiteral("first_day"), t.firstDay ? QJsonValue(t.firstDay->toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("today"),
         AmountsObject(t.todayBytes.received, t.todayBytes.sent, r.damage.received.contains(todayNumber),
                       r.damage.sent.contains(todayNumber))},
        {QStringLiteral("month"), AmountsObject(t.monthBytes.received, t.monthBytes.sent)},
        // What the window shows is cut too, only to hundredths of its unit.
        {QStringLiteral("forecast"),
         AmountsObject(std::floor(t.forecastBytes.received), std::floor(t.forecastBytes.sent))},
        {QStringLiteral("since_first_day"), AmountsObject(t.sinceFirstDayBytes.received, t.sinceFirstDayBytes.sent)},
        {QStringLiteral("days"), days},
        {QStringLiteral("months"), months},
        {QStringLiteral("last_sample"), lastSample ? QJsonValue(*lastSample) : QJsonValue()},
        {QStringLiteral("recording"), recording},
        {QStringLiteral("plan"), PlanObject(r.plan)},
    };
}

QString GroupLine(const QString& caption, const TotalsGroup& g)
{
    return caption + QStringLiteral(" : reçus ") + g.received + QStringLiteral(", envoyés ") + g.sent +
           QStringLiteral(", total ") + g.both + QLatin1Char('\n');
}

// The window's header and rows in columns: dates to the left, amounts to the right.
QString Table(const QStringList& header, const std::vector<TotalsRow>& rows)
{
    std::vector<QStringList> lines{header};
    for (const TotalsRow& r : rows)
        lines.push_back({r.label, r.received, r.sent, r.both});
    qsizetype widths[4] = {};
    for (const QStringList& line : lines)
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], line.value(c).size());
    QString text;
    for (const QStringList& line : lines)
    {
        QString row = line.value(0).leftJustified(widths[0]);
        for (int c = 1; c < 4; ++c)
            row += QStringLiteral("  ") + line.value(c).rightJustified(widths[c]);
        text += row + QLatin1Char('\n');
    }
    return text;
}

QString InterfaceText(const InterfaceReport& r)
{
    const TotalsReport& t = r.totals;
    QString text = r.itf->name ? *r.itf->name + QStringLiteral(" (") + r.itf->folder + QStringLiteral(")\n")
                               : r.itf->folder + QLatin1Char('\n');
    text += GroupLine(QStringLiteral("Aujourd'hui"), t.today);
    text += GroupLine(QStringLiteral("Ce mois-ci"), t.month);
    text += GroupLine(QStringLiteral("Prévision du mois"), t.forecast);
    if (!t.firstDay)
    {
        text += GroupLine(QStringLiteral("Depuis le début"), t.sinceFirstDay);
        if (r.plan)
            text += PlanText(*r.plan);
        return text + QStringLiteral("Aucun jour enregistré.\n");
    }
    text += GroupLine(QStringLiteral("Depuis le ") + DateText(*t.firstDay), t.sinceFirstDay);
    if (r.plan)
        text += PlanText(*r.plan);
    if (r.listed.pairs == 0)
        return text + QStringLiteral("\nAucun jour dans les limites données.\n");
    text += QStringLiteral("\nPar jour :\n") + Table(r.listed.header, r.listed.daily);
    text += QStringLiteral("\nPar mois :\n") + Table(r.listed.header, r.listed.monthly);
    return text;
}

// "eth0", or "Wi-Fi (wlan0)" when the name is not the folder's.
QString ShortName(const InterfaceFolder& itf)
{
    return !itf.name || *itf.name == itf.folder ? itf.folder
                                                : *itf.name + QStringLiteral(" (") + itf.folder + QLatin1Char(')');
}

QString KnownNames(const std::vector<InterfaceFolder>& interfaces)
{
    QStringList names;
    for (const InterfaceFolder& itf : interfaces)
        names << ShortName(itf);
    return names.join(QStringLiteral(", "));
}
} // namespace

ReportOutcome RunReport(const QString& storeRoot, const ReportOptions& options, const QDateTime& now)
{
    ReportOutcome outcome;
    const QString root = QDir::toNativeSeparators(QDir::cleanPath(storeRoot));
    // Said as such, and never created: a report only reads.
    if (!QFileInfo::exists(storeRoot))
    {
        outcome.error = QStringLiteral("VORP : le dossier des statistiques %1 n'existe pas.").arg(root);
        outcome.status = 1;
        return outcome;
    }

    QStringList warnings;
    const std::vector<InterfaceFolder> interfaces = InterfacesOf(storeRoot, warnings);
    QString failure;
    std::vector<const InterfaceFolder*> chosen;
    if (interfaces.empty())
        failure = QStringLiteral("VORP : aucune statistique dans %1.").arg(root);
    else if (!options.interfaceName)
        for (const InterfaceFolder& itf : interfaces)
            chosen.push_back(&itf);
    else
    {
        // Folder names are unique; display names need not be, so each interface of that name is shown.
        for (const bool byFolder : {true, false})
        {
            for (const InterfaceFolder& itf : interfaces)
                if (byFolder ? itf.folder == *options.interfaceName : itf.name == options.interfaceName)
                    chosen.push_back(&itf);
            if (!chosen.empty())
                break;
        }
        if (chosen.empty())
            failure = QStringLiteral("VORP : aucune interface « %1 » dans %2. Interfaces connues : %3.")
                          .arg(*options.interfaceName, root, KnownNames(interfaces));
    }
    if (chosen.empty())
    {
        outcome.error = (warnings << failure).join(QLatin1Char('\n'));
        outcome.status = 1;
        return outcome;
    }

    PlanBook plans;
    warnings += plans.update(options.plans);
    // A plan that names no interface of the store is most likely misspelt.
    if (!options.interfaceName)
        for (const DataPlan& plan : plans.plans())
            if (std::none_of(interfaces.begin(), interfaces.end(), [&plan](const InterfaceFolder& itf) {
                    return itf.name.value_or(itf.folder).compare(plan.interfaceName, Qt::CaseInsensitive) == 0 ||
                           itf.folder.compare(plan.interfaceName, Qt::CaseInsensitive) == 0;
                }))
                warnings << QStringLiteral("Forfait de « %1 » : aucune statistique de cette interface dans %2.")
                                .arg(plan.interfaceName, root);

    const QDate today = now.date();
    const bool limited = options.begin || options.end;
    std::vector<InterfaceReport> reports;
    PlanCalculator calculator;
    for (const InterfaceFolder* itf : chosen)
    {
        InterfaceReport r;
        r.itf = itf;
        QStringList lines = itf->dataLines;
        r.damage = ZeroDamagedTotals(lines, itf->descriptorPath, warnings);
        // The walk itself gives the listed days and months, a month with the sums of its days in range.
        r.totals = TotalsWalk::Compute(lines, itf->title(), today);
        r.listed = limited ? TotalsWalk::Compute(DaysWithin(lines, options), itf->title(), today) : r.totals;
        const DataPlan* plan = plans.find(itf->title());
        if (!plan && itf->name)
            plan = plans.find(itf->folder);
        if (plan)
            r.plan = calculator.forCycle(*plan, itf->dir, lines, CycleHolding(*plan, today), now);
        reports.push_back(std::move(r));
    }
    // Told after the report's own reading of the same day files, once.
    const auto planWarnings = [&warnings](const InterfaceReport& r) {
        if (r.plan)
            for (const QString& warning : r.plan->warnings)
                AddOnce(warnings, warning);
    };

    if (options.checkPlans)
    {
        QString lines;
        for (const InterfaceReport& r : reports)
        {
            planWarnings(r);
            if (r.plan && !r.plan->crossed.empty())
                lines += CheckLine(ShortName(*r.itf), *r.plan);
        }
        outcome.out = lines.toUtf8();
        outcome.status = lines.isEmpty() ? 0 : 1;
    }
    else if (options.json)
    {
        const bool recording = StoreLock::IsHeld(storeRoot);
        QJsonArray array;
        for (const InterfaceReport& r : reports)
        {
            array.append(InterfaceObject(r, options, today, recording, warnings));
            planWarnings(r);
        }
        const QJsonObject document{
            {QStringLiteral("version"), 1},
            {QStringLiteral("generated"), LocalTimeText(today, now.time().msecsSinceStartOfDay())},
            {QStringLiteral("interfaces"), array},
            {QStringLiteral("warnings"), QJsonArray::fromStringList(warnings)},
        };
        if (options.pretty)
            outcome.out = QJsonDocument(document).toJson(QJsonDocument::Indented);
        else
            outcome.out = QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n';
    }
    else
    {
        QStringList texts;
        for (const InterfaceReport& r : reports)
        {
            texts << InterfaceText(r);
            planWarnings(r);
        }
        outcome.out = texts.join(QLatin1Char('\n')).toUtf8();
    }
    outcome.error = warnings.join(QLatin1Char('\n'));
    return outcome;
}
} // namespace reports
