#include "reports/Totals.h"

#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "reports/Descriptor.h"

#include <cmath>

namespace reports
{
namespace
{
// "5/7/2003" and "7/2003": plain integers without leading zeros.
QString DayKey(const QDate& date)
{
    return QString::number(date.day()) + QLatin1Char('/') + QString::number(date.month()) + QLatin1Char('/') +
           QString::number(date.year());
}

QString MonthKey(const QDate& date)
{
    return QString::number(date.month()) + QLatin1Char('/') + QString::number(date.year());
}

// Both directions added in single precision, like every sum of the walk; two large but sound
// amounts whose float sum overflows are added wider rather than shown as nothing.
long double Both(float received, float sent)
{
    const float both = received + sent;
    return std::isfinite(both) ? both : static_cast<long double>(received) + sent;
}
} // namespace

void AmountUnit::reset()
{
    m_text = QStringLiteral(" octets");
    m_divisor = 1.0f;
}

void AmountUnit::ChooseUnit(long double a, long double b, const UnitTexts& texts)
{
    if (a > kKilo || b > kKilo)
    {
        m_text = texts.kilo;
        m_divisor = 1024.0f;
    }
    if (a > kMega || b > kMega)
    {
        m_text = texts.mega;
        m_divisor = 1048576.0f;
    }
    if (a > kGiga || b > kGiga)
    {
        m_text = texts.giga;
        m_divisor = 1073741824.0f;
    }
}

QString AmountUnit::FormatAmount(long double v) const
{
    const long double cut = std::floor(v * 100.0L / static_cast<long double>(m_divisor)) * 0.01L;
    return FloatText(cut) + m_text;
}

TotalsReport TotalsWalk::Compute(const QStringList& dataLines, const QString& interfaceName, const QDate& today,
                                 const Progress& progress)
{
    TotalsWalk walk(today);
    walk.run(dataLines, progress);
    walk.finish(interfaceName);
    return std::move(walk.m_report);
}

TotalsReport TotalsWalk::Load(const QString& dir, const QDate& today, const Progress& progress)
{
    const DescriptorRead read = ReadDescriptor(dir);
    const auto& contents = read.contents;
    const QStringList lines = contents ? contents->dataLines : QStringList();
    const QString name = contents && contents->ifname ? *contents->ifname : QStringLiteral("ERR");
    TotalsReport report = Compute(lines, name, today, progress);
    if (!read.message.isEmpty())
        report.ignoredFiles << read.message;
    return report;
}

void TotalsWalk::appendRow(std::vector<TotalsRow>& table, const QString& label, float received, float sent)
{
    m_unit.ChooseUnit(received, sent, kTableUnits);
    table.push_back(
        {label, m_unit.FormatAmount(received), m_unit.FormatAmount(sent), m_unit.FormatAmount(Both(received, sent))});
}

void TotalsWalk::run(const QStringList& lines, const Progress& progress)
{
    const qsizetype n = lines.size();
    qsizetype i = 0;
    while (i < n)
    {
        if (progress)
            progress(QStringLiteral("Chargement en cours : ") + QString::number(i * 100 / n) + QLatin1Char('%'));
        while (i < n && !IsDayLine(lines[i]))
            ++i;
        // The partner is the next day line: a damaged line between a day's D and U lines would
        // otherwise shift every later pair and file each sent total under the next day.
        qsizetype j = i + 1;
        while (j < n && !IsDayLine(lines[j]))
            ++j;
        if (j >= n)
            break;
        // A line whose partner is of another day or has the same letter has no partner: it is left
        // out, like a last line without one, so the pairs after it stay whole.
        if (DayOfLine(lines[i]) != DayOfLine(lines[j]) || LetterOfLine(lines[i]) == LetterOfLine(lines[j]))
        {
            i = j;
            continue;
        }

        float received = 0, sent = 0;
        for (const QString& line : {lines[i], lines[j]})
        {
            const QChar letter = LetterOfLine(line);
            if (letter == QLatin1Char('D'))
                received = AmountOfLine(line);
            else if (letter == QLatin1Char('U'))
                sent = AmountOfLine(line);
        }
        const QDate date = DateOfDay(DayOfLine(lines[j]));
        const bool sameMonth =
            m_report.pairs > 0 && date.year() == m_monthDate.year() && date.month() == m_monthDate.month();

        // Day and month keys are compared as dates: the same test, without building texts per pair.
        if (m_report.pairs == 0)
        {
            m_dayDate = date;
            m_monthDate = date;
            m_firstDayKey = DayKey(date);
        }
        else
        {
            if (date != m_dayDate)
            {
                appendRow(m_report.daily, DateText(m_dayDate), m_dayReceived, m_daySent);
                m_dayReceived = m_daySent = 0;
                m_dayDate = date;
            }
            if (!sameMonth)
            {
                appendRow(m_report.monthly, MonthKey(m_monthDate), m_monthReceived, m_monthSent);
                m_monthReceived = m_monthSent = 0;
                m_monthDate = date;
            }
        }

        const bool isToday = date == m_today;
        const bool isThisMonth = date.year() == m_today.year() && date.month() == m_today.month();
        received =
            AmountFitting(received, {m_totalReceived, m_dayReceived, m_monthReceived, isToday ? m_todayReceived : 0.0f,
                                     isThisMonth ? m_thisMonthReceived : 0.0f});
        sent = AmountFitting(sent, {m_totalSent, m_daySent, m_monthSent, isToday ? m_todaySent : 0.0f,
                                    isThisMonth ? m_thisMonthSent : 0.0f});
        m_totalReceived += received;
        m_totalSent += sent;
        if (isToday)
        {
            m_todayReceived += received;
            m_todaySent += sent;
        }
        if (isThisMonth)
        {
            m_thisMonthReceived += received;
            m_thisMonthSent += sent;
        }
        m_dayReceived += received;
        m_daySent += sent;
        m_monthReceived += received;
        m_monthSent += sent;
        ++m_report.pairs;
        i = j + 1;
    }
}

void TotalsWalk::finish(const QString& interfaceName)
{
    if (m_report.pairs > 0)
        appendRow(m_report.daily, DateText(m_dayDate), m_dayReceived, m_daySent);
    m_report.interfaceName = interfaceName;

    m_unit.ChooseUnit(m_todayReceived, m_todaySent, kGroupUnits);
    m_report.today = {m_unit.FormatAmount(m_todayReceived), m_unit.FormatAmount(m_todaySent),
                      m_unit.FormatAmount(Both(m_todayReceived, m_todaySent))};

    // The forecast extends the current month's sums, not those of the file's last month.
    const long double d = m_today.day();
    const long double days = DaysInMonth(m_today.year(), m_today.month());
    const long double r = m_thisMonthReceived / d * days;
    const long double s = m_thisMonthSent / d * days;
    const long double both = Both(m_thisMonthReceived, m_thisMonthSent) / d * days;
    m_unit.ChooseUnit(r, s, kGroupUnits);
    m_report.forecast = {m_unit.FormatAmount(r), m_unit.FormatAmount(s), m_unit.FormatAmount(both)};

    m_report.sinceFirstDayCaption = m_report.pairs > 0 ? QStringLiteral("Transferts depuis le ") + m_firstDayKey
                                                       : QStringLiteral("Transferts depuis le");
    m_unit.ChooseUnit(m_totalReceived, m_totalSent, kGroupUnits);
    m_report.sinceFirstDay = {m_unit.FormatAmount(m_totalReceived), m_unit.FormatAmount(m_totalSent),
                              m_unit.FormatAmount(Both(m_totalReceived, m_totalSent))};

    m_report.header = {QStringLiteral("Date"), QStringLiteral("DL"), QStringLiteral("UL"), QStringLiteral("Total")};
    appendRow(m_report.monthly, m_report.pairs > 0 ? MonthKey(m_monthDate) : QString(), m_monthReceived, m_monthSent);
}

std::optional<QDate> HistoryDateForDailyRow(const QString& firstCell)
{
    const QDate date = QDate::fromString(firstCell, QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid())
        return std::nullopt;
    return date.addDays(1);
}
} // namespace reports
