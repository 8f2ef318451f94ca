// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The totals window's figures, computed from the "data" lines of nic.inf.
namespace reports
{
struct UnitTexts
{
    QString kilo, mega, giga;
};
inline const UnitTexts kTableUnits{QStringLiteral(" Ko"), QStringLiteral(" Mo"), QStringLiteral(" Go")};
inline const UnitTexts kGroupUnits{QStringLiteral("Ko"), QStringLiteral("Mo"), QStringLiteral("Go")};

// The current unit of a load. Only ChooseUnit changes it, so a unit carries over from one amount
// to the next when both of the next amounts are at most 1024 bytes.
class AmountUnit final
{
public:
    AmountUnit();
    void reset();
    void ChooseUnit(long double a, long double b, const UnitTexts& texts);
    // v × 100 / divisor, cut to an integer, × 0.01, then the unit text; the decimal separator is that of
    // the default locale when the unit was made.
    QString FormatAmount(long double v) const;

    const QString& text() const { return m_text; }
    float divisor() const { return m_divisor; }

private:
    QString m_text = QStringLiteral(" octets");
    float m_divisor = 1.0f;
    QChar m_point;
};

// What a table shows in place of a damaged day total (and of that day's sum of both directions).
inline const QString kDamagedTotal = QStringLiteral("endommagé");

struct TotalsRow
{
    QString label, received, sent, both;
};

struct TotalsGroup
{
    QString received, sent, both;
};

// The amounts behind the texts, in bytes: the walk's own sums, before any unit or cut.
struct ByteAmounts
{
    long double received = 0, sent = 0;
};

struct DayBytes
{
    QDate date;
    float received = 0, sent = 0;
};

struct MonthBytes
{
    int year = 0, month = 0;
    float received = 0, sent = 0;
};

struct TotalsReport
{
    QString interfaceName;          // Label14 after the load
    TotalsGroup today;              // AujD, AujU, AujB
    TotalsGroup month;              // the current month so far; no control shows it
    TotalsGroup forecast;           // pd, pu, pdu
    TotalsGroup sinceFirstDay;      // Label7, Label8, Label9
    QString sinceFirstDayCaption;   // GroupBox2
    QStringList header;             // the fixed header row of both tables
    std::vector<TotalsRow> daily;   // grid1's rows
    std::vector<TotalsRow> monthly; // grid2's rows
    int pairs = 0;
    // Day totals that are no traffic (not a number, negative, beyond what a day carries): counted as 0,
    // shown as kDamagedTotal in the daily table.
    int damagedTotals = 0;

    ByteAmounts todayBytes;
    ByteAmounts monthBytes;    // the current month so far
    ByteAmounts forecastBytes; // monthBytes × days of the month ÷ today's day, not cut
    ByteAmounts sinceFirstDayBytes;
    std::optional<QDate> firstDay;        // nothing without a pair
    std::vector<DayBytes> dailyBytes;     // one per row of daily, in the same order
    std::vector<MonthBytes> monthlyBytes; // one per row of monthly; none without a pair
    // Why nic.inf was not read although it is there (a link, not a regular file, too large); the
    // windows' opening check reads the same file and shows the same message.
    QStringList ignoredFiles;
};

// One load: the walk over the "data" lines in pairs, in file order.
class TotalsWalk final
{
public:
    // Receives "Chargement en cours : <percent>%" once per pair, before the pair is read.
    using Progress = std::function<void(const QString& text)>;

    static TotalsReport Compute(const QStringList& dataLines, const QString& interfaceName, const QDate& today,
                                const Progress& progress = {});
    // Reads dir's nic.inf ("ERR" for a missing "ifname"); a missing or ignored file gives no lines.
    static TotalsReport Load(const QString& dir, const QDate& today, const Progress& progress = {});
    // The same from the bytes of a nic.inf, read where they stand: the lines give what Compute gives.
    static TotalsReport LoadText(const QByteArray& text, const QDate& today, const Progress& progress = {});

private:
    TotalsWalk(const QDate& today) : m_today(today) {}
    // Lines: the "data" lines as texts or as the entries of nic.inf.
    template <typename Lines> void run(const Lines& lines, const Progress& progress);
    void appendRow(std::vector<TotalsRow>& table, const QString& label, float received, float sent,
                   bool receivedDamaged = false, bool sentDamaged = false);
    void appendDay();
    void appendMonth();
    void finish(const QString& interfaceName);

    QDate m_today;
    TotalsReport m_report;
    AmountUnit m_unit;
    float m_todayReceived = 0, m_todaySent = 0;
    float m_totalReceived = 0, m_totalSent = 0;
    float m_dayReceived = 0, m_daySent = 0;
    bool m_dayReceivedDamaged = false, m_daySentDamaged = false;
    float m_monthReceived = 0, m_monthSent = 0;
    // The month of today, wherever its days stand in the file.
    float m_thisMonthReceived = 0, m_thisMonthSent = 0;
    QDate m_dayDate, m_monthDate; // the remembered day and month
    QString m_firstDayKey;
};

// The history graph's date for a right click on a daily row: the row's date plus one day; nothing
// for the header or an empty row.
std::optional<QDate> HistoryDateForDailyRow(const QString& firstCell);
} // namespace reports
