// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/Totals.h"

#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "reports/Descriptor.h"
#include "store/ProfileFile.h"
#include "store/StatisticsStore.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdint>

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

// FloatText(floor(hundredths) × 0.01) + suffix without the general conversion, for the amounts a table
// shows. Below 10^13 the product is within 2^-52 of the exact value, much nearer than half a unit of
// FloatText's fifteenth digit, so FloatText rounds it back to the same digits: those of the whole number
// of hundredths with the point before the last two, trailing zeros dropped.
QString HundredthsText(long double hundredths, QChar point, const QString& suffix)
{
    if (!(std::fabs(hundredths) < 1e13L))
        return FloatText(std::floor(hundredths) * 0.01L) + suffix;
    // floor without the rounding mode switches std::floor and integer conversions take on long double
    // (a third of a load's time): the integer rounded either way, taken down by one when above.
    int64_t n = std::llrintl(hundredths);
    if (static_cast<long double>(n) > hundredths)
        --n;
    const uint64_t magnitude = static_cast<uint64_t>(n < 0 ? -n : n);
    uint64_t whole = magnitude / 100;
    const int cents = static_cast<int>(magnitude % 100);
    char16_t digits[20];
    int count = 0;
    do
    {
        digits[count++] = static_cast<char16_t>(u'0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    const int fraction = cents == 0 ? 0 : cents % 10 == 0 ? 2 : 3;
    QString text((n < 0 ? 1 : 0) + count + fraction + suffix.size(), Qt::Uninitialized);
    QChar* out = text.data();
    if (n < 0)
        *out++ = QLatin1Char('-');
    while (count > 0)
        *out++ = QChar(digits[--count]);
    if (fraction > 0)
    {
        *out++ = point;
        *out++ = QChar(static_cast<char16_t>(u'0' + cents / 10));
        if (fraction == 3)
            *out++ = QChar(static_cast<char16_t>(u'0' + cents % 10));
    }
    std::copy(suffix.begin(), suffix.end(), out);
    return text;
}

int MonthIndex(int year, int month)
{
    return year * 12 + month;
}

// The walk's view of "data" lines given as texts.
class TextLines final
{
public:
    explicit TextLines(const QStringList& lines) : m_lines(lines) {}
    qsizetype size() const { return m_lines.size(); }
    bool isDay(qsizetype i) const { return IsDayLine(m_lines[i]); }
    int day(qsizetype i) const { return DayOfLine(m_lines[i]); }
    QChar letter(qsizetype i) const { return LetterOfLine(m_lines[i]); }
    float amount(qsizetype i) const { return AmountOfLine(m_lines[i]); }
    bool sound(qsizetype i) const { return IsSoundTotal(m_lines[i].mid(7)); }

private:
    const QStringList& m_lines;
};

// The same lines as they stand in nic.inf's "data" section, read as their texts "key=value" would be read,
// without making the texts. UTF-8 decodes to an ASCII character only from that byte, so a key whose first
// six bytes are ASCII starts with the same characters once decoded; any other key is decoded.
class RawLines final
{
public:
    explicit RawLines(const std::vector<ProfileFile::RawEntry>& entries) : m_entries(entries) {}
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    bool isDay(qsizetype i) const
    {
        const QByteArrayView key = at(i).key;
        return key.size() >= 5 && std::all_of(key.begin(), key.begin() + 5, IsDigit);
    }
    int day(qsizetype i) const
    {
        if (!isDay(i))
            return DayOfLine(text(i));
        int day = 0;
        for (const char c : at(i).key.first(5))
            day = day * 10 + (c - '0');
        return day;
    }
    QChar letter(qsizetype i) const
    {
        const QByteArrayView key = at(i).key;
        if (!isDay(i) || (key.size() > 5 && !IsAscii(key[5])))
            return LetterOfLine(text(i));
        return key.size() > 5 ? QLatin1Char(key[5]) : QLatin1Char('=');
    }
    float amount(qsizetype i) const
    {
        const ProfileFile::RawEntry& e = at(i);
        if (!isDay(i) || e.key.size() != 6 || !IsAscii(e.key[5]))
            return AmountOfLine(text(i));
        // Plain digits, as the store writes every total, read as ParseFloatText reads them.
        const QByteArrayView value = e.value;
        if (value.size() >= 1 && value.size() <= 15 && std::all_of(value.begin(), value.end(), IsDigit))
        {
            int64_t digits = 0;
            for (const char c : value)
                digits = digits * 10 + (c - '0');
            return static_cast<float>(static_cast<double>(digits));
        }
        return AmountOfText(e.valueText());
    }
    bool sound(qsizetype i) const
    {
        // Plain digits as the store writes them, fifteen at most, are below any bound.
        const ProfileFile::RawEntry& e = at(i);
        const QByteArrayView value = e.value;
        if (isDay(i) && e.key.size() == 6 && value.size() >= 1 && value.size() <= 15 &&
            std::all_of(value.begin(), value.end(), IsDigit))
            return true;
        return IsSoundTotal(text(i).mid(7));
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }
    const ProfileFile::RawEntry& at(qsizetype i) const { return m_entries[static_cast<size_t>(i)]; }
    QString text(qsizetype i) const { return at(i).keyText() + QLatin1Char('=') + at(i).valueText(); }

    const std::vector<ProfileFile::RawEntry>& m_entries;
};
} // namespace

AmountUnit::AmountUnit() : m_point(QLocale().decimalPoint().at(0)) {}

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
    return HundredthsText(v * 100.0L / static_cast<long double>(m_divisor), m_point, m_text);
}

TotalsReport TotalsWalk::Compute(const QStringList& dataLines, const QString& interfaceName, const QDate& today,
                                 const Progress& progress)
{
    TotalsWalk walk(today);
    walk.run(TextLines(dataLines), progress);
    walk.finish(interfaceName);
    return std::move(walk.m_report);
}

TotalsReport TotalsWalk::Load(const QString& dir, const QDate& today, const Progress& progress)
{
    const DescriptorText read = ReadDescriptorText(dir);
    TotalsReport report = LoadText(read.bytes.value_or(QByteArray()), today, progress);
    if (!read.message.isEmpty())
        report.ignoredFiles << read.message;
    return report;
}

TotalsReport TotalsWalk::LoadText(const QByteArray& text, const QDate& today, const Progress& progress)
{
    // Ten years of totals are not made into strings to be read once.
    QString name = QStringLiteral("ERR");
    for (const ProfileFile::RawEntry& e : ProfileFile::rawEntries(text, store::kHeaderSection))
        if (e.keyText().compare(QLatin1String("ifname"), Qt::CaseInsensitive) == 0)
        {
            name = e.valueText();
            break;
        }
    TotalsWalk walk(today);
    walk.run(RawLines(ProfileFile::rawEntries(text, store::kDataSection)), progress);
    walk.finish(name);
    return std::move(walk.m_report);
}

void TotalsWalk::appendRow(std::vector<TotalsRow>& table, const QString& label, float received, float sent,
                           bool receivedDamaged, bool sentDamaged)
{
    m_unit.ChooseUnit(received, sent, kTableUnits);
    table.push_back({label, receivedDamaged ? kDamagedTotal : m_unit.FormatAmount(received),
                     sentDamaged ? kDamagedTotal : m_unit.FormatAmount(sent),
                     receivedDamaged || sentDamaged ? kDamagedTotal : m_unit.FormatAmount(Both(received, sent))});
}

void TotalsWalk::appendDay()
{
    appendRow(m_report.daily, DateText(m_dayDate), m_dayReceived, m_daySent, m_dayReceivedDamaged, m_daySentDamaged);
    m_report.dailyBytes.push_back({m_dayDate, m_dayReceived, m_daySent});
}

void TotalsWalk::appendMonth()
{
    appendRow(m_report.monthly, MonthKey(m_monthDate), m_monthReceived, m_monthSent);
    m_report.monthlyBytes.push_back({m_monthDate.year(), m_monthDate.month(), m_monthReceived, m_monthSent});
}

template <typename Lines> void TotalsWalk::run(const Lines& lines, const Progress& progress)
{
    const qsizetype n = lines.size();
    // A row per day at most, so the rows are never moved while the table grows.
    m_report.daily.reserve(static_cast<size_t>(n / 2 + 1));
    m_report.dailyBytes.reserve(static_cast<size_t>(n / 2 + 1));
    const int thisMonth = MonthIndex(m_today.year(), m_today.month());
    int rememberedMonth = 0;
    qsizetype percent = -1;
    QString progressText;
    qsizetype i = 0;
    while (i < n)
    {
        if (progress)
        {
            // Made again only when the percentage moves; still handed out once per pair.
            if (i * 100 / n != percent)
            {
                percent = i * 100 / n;
                progressText = QStringLiteral("Chargement en cours : ") + QString::number(percent) + QLatin1Char('%');
            }
            progress(progressText);
        }
        while (i < n && !lines.isDay(i))
            ++i;
        // The partner is the next day line: a damaged line between a day's D and U lines would
        // otherwise shift every later pair and file each sent total under the next day.
        qsizetype j = i + 1;
        while (j < n && !lines.isDay(j))
            ++j;
        if (j >= n)
            break;
        // A line whose partner is of another day or has the same letter has no partner: it is left
        // out, like a last line without one, so the pairs after it stay whole.
        const int day = lines.day(j);
        if (lines.day(i) != day || lines.letter(i) == lines.letter(j))
        {
            i = j;
            continue;
        }

        float received = 0, sent = 0;
        bool receivedDamaged = false, sentDamaged = false;
        for (const qsizetype k : {i, j})
        {
            const QChar letter = lines.letter(k);
            if (letter != QLatin1Char('D') && letter != QLatin1Char('U'))
                continue;
            // A damaged total is no traffic: it counts as 0 and its day says so.
            const bool sound = lines.sound(k);
            m_report.damagedTotals += sound ? 0 : 1;
            (letter == QLatin1Char('D') ? received : sent) = sound ? lines.amount(k) : 0.0f;
            (letter == QLatin1Char('D') ? receivedDamaged : sentDamaged) = !sound;
        }
        const QDate date = DateOfDay(day);
        int year = 0, month = 0;
        date.getDate(&year, &month, nullptr);
        const int monthIndex = MonthIndex(year, month);
        const bool sameMonth = m_report.pairs > 0 && monthIndex == rememberedMonth;

        // Day and month keys are compared as dates: the same test, without building texts per pair.
        if (m_report.pairs == 0)
        {
            m_dayDate = date;
            m_monthDate = date;
            rememberedMonth = monthIndex;
            m_firstDayKey = DayKey(date);
            m_report.firstDay = date;
        }
        else
        {
            if (date != m_dayDate)
            {
                appendDay();
                m_dayReceived = m_daySent = 0;
                m_dayReceivedDamaged = m_daySentDamaged = false;
                m_dayDate = date;
            }
            if (!sameMonth)
            {
                appendMonth();
                m_monthReceived = m_monthSent = 0;
                m_monthDate = date;
                rememberedMonth = monthIndex;
            }
        }

        const bool isToday = date == m_today;
        const bool isThisMonth = monthIndex == thisMonth;
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
        m_dayReceivedDamaged = m_dayReceivedDamaged || receivedDamaged;
        m_daySentDamaged = m_daySentDamaged || sentDamaged;
        m_monthReceived += received;
        m_monthSent += sent;
        ++m_report.pairs;
        i = j + 1;
    }
}

void TotalsWalk::finish(const QString& interfaceName)
{
    if (m_report.pairs > 0)
        appendDay();
    m_report.interfaceName = interfaceName;

    m_unit.ChooseUnit(m_todayReceived, m_todaySent, kGroupUnits);
    m_report.today = {m_unit.FormatAmount(m_todayReceived), m_unit.FormatAmount(m_todaySent),
                      m_unit.FormatAmount(Both(m_todayReceived, m_todaySent))};
    m_report.todayBytes = {m_todayReceived, m_todaySent};

    // Shown only by the command-line report, between today and the forecast: its unit is chosen as if
    // it stood there, without moving the unit the window's later amounts carry over.
    AmountUnit monthUnit = m_unit;
    monthUnit.ChooseUnit(m_thisMonthReceived, m_thisMonthSent, kGroupUnits);
    m_report.month = {monthUnit.FormatAmount(m_thisMonthReceived), monthUnit.FormatAmount(m_thisMonthSent),
                      monthUnit.FormatAmount(Both(m_thisMonthReceived, m_thisMonthSent))};
    m_report.monthBytes = {m_thisMonthReceived, m_thisMonthSent};

    // The forecast extends the current month's sums, not those of the file's last month.
    const long double d = m_today.day();
    const long double days = DaysInMonth(m_today.year(), m_today.month());
    const long double r = m_thisMonthReceived / d * days;
    const long double s = m_thisMonthSent / d * days;
    const long double both = Both(m_thisMonthReceived, m_thisMonthSent) / d * days;
    m_unit.ChooseUnit(r, s, kGroupUnits);
    m_report.forecast = {m_unit.FormatAmount(r), m_unit.FormatAmount(s), m_unit.FormatAmount(both)};
    // The texts keep their order of operations; in bytes the product comes first: a float times at most
    // 31 is exact in a long double, so the one rounding is the division's and a forecast that is a whole
    // number of bytes (25 bytes by the 3rd of a 30-day month: 250) is not 249.999... before its cut.
    m_report.forecastBytes = {m_thisMonthReceived * days / d, m_thisMonthSent * days / d};

    m_report.sinceFirstDayCaption = m_report.pairs > 0 ? QStringLiteral("Transferts depuis le ") + m_firstDayKey
                                                       : QStringLiteral("Transferts depuis le");
    m_unit.ChooseUnit(m_totalReceived, m_totalSent, kGroupUnits);
    m_report.sinceFirstDay = {m_unit.FormatAmount(m_totalReceived), m_unit.FormatAmount(m_totalSent),
                              m_unit.FormatAmount(Both(m_totalReceived, m_totalSent))};
    m_report.sinceFirstDayBytes = {m_totalReceived, m_totalSent};

    m_report.header = {QStringLiteral("Date"), QStringLiteral("DL"), QStringLiteral("UL"), QStringLiteral("Total")};
    // The window shows one empty monthly row even without a pair; it stands for no month.
    if (m_report.pairs > 0)
        appendMonth();
    else
        appendRow(m_report.monthly, QString(), m_monthReceived, m_monthSent);
}

std::optional<QDate> HistoryDateForDailyRow(const QString& firstCell)
{
    const QDate date = QDate::fromString(firstCell, QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid())
        return std::nullopt;
    return date.addDays(1);
}
} // namespace reports
