// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Data plans: each interface's billing cycle, allowance, pace and 95th percentile. The totals window, the
// alerts, the command-line report and the textfile all take their figures from here.
namespace reports
{
// What the allowance counts.
enum class PlanCount
{
    Both,
    Received,
    Sent,
};

// Samples stamped in [start, end) of the local time of day are not counted; an end before the start
// makes a window across midnight.
struct OffPeak
{
    int32_t startMs = 0, endMs = 0;
    bool contains(int32_t timeMs) const;
    QString text() const; // "02:00-08:00"
    bool operator==(const OffPeak&) const = default;
};

// One interface's plan, as the settings file's [Plans] section gives it.
struct DataPlan
{
    enum class Period
    {
        Month,
        Week,
        Day,
    };
    QString interfaceName; // the display name the group is named after
    Period period = Period::Month;
    // Month: the day of the month a cycle starts on, 1..31 (the month's last day when it has fewer);
    // Week: the day of the week, 1 = Monday .. 7 = Sunday.
    int startDay = 1;
    uint64_t allowance = 0; // bytes per cycle; 0: none
    PlanCount count = PlanCount::Both;
    std::optional<OffPeak> offPeak;
    std::vector<int> thresholds{80, 100}; // percentages of the allowance, ascending, each once

    QString cycleText() const; // "month:15", "week:1", "day", as the settings write it
    bool operator==(const DataPlan&) const = default;
};

// "both", "received", "sent".
QString PlanCountText(PlanCount count);

// The [Plans] section of the settings file: value texts by "<interface>/<key>".
using PlanSection = QMap<QString, QString>;

struct PlansRead
{
    std::vector<DataPlan> plans; // by interface name
    QStringList messages;        // in French, one per bad value or unknown key
};
// A plan with a bad value is left out whole; an unknown key is told and skipped.
PlansRead ReadPlans(const PlanSection& section);

// The plans of the settings file as it is read again and again (each recording cycle): a message is told
// once, and again only after a read where it no longer held.
class PlanBook final
{
public:
    // Returns the messages that are new since the last update.
    QStringList update(const PlanSection& section);
    const std::vector<DataPlan>& plans() const { return m_plans; }
    // By display name; failing that, by the name without regard to letter case.
    const DataPlan* find(const QString& interfaceName) const;

private:
    std::vector<DataPlan> m_plans;
    QStringList m_told;
};

// One billing cycle in local time.
struct BillingCycle
{
    QDate first, last;    // its days, both included
    QDateTime start, end; // the local start of first and of the day after last
    // Tells one cycle of a plan from another: "2027-03-15/2027-04-14". An alert remembered for it is not
    // raised again in it.
    QString id() const;
    int days() const { return static_cast<int>(first.daysTo(last)) + 1; }
    bool operator==(const BillingCycle&) const = default;
};

// The cycle of plan that holds day, and the one before a cycle.
BillingCycle CycleHolding(const DataPlan& plan, const QDate& day);
BillingCycle CycleBefore(const DataPlan& plan, const BillingCycle& cycle);

struct DirectionAmounts
{
    long double received = 0, sent = 0;
};

struct PlanFigures
{
    DataPlan plan;
    BillingCycle cycle;
    QDateTime now;      // the moment the figures are for
    double elapsed = 0; // the fraction of the cycle's time gone by, 0..1
    // Days left in the cycle, today included; 0 once it is over.
    int daysLeft = 0;
    // Bytes of each direction in the cycle so far (without the off-peak window's samples when the plan has
    // one), and of what the allowance counts.
    DirectionAmounts usedBytes;
    long double used = 0;
    // used ÷ elapsed × the cycle's length; used itself before any time has gone by.
    long double projected = 0;
    // Without an allowance, these have no value.
    std::optional<long double> percent;   // used × 100 ÷ allowance
    std::optional<long double> remaining; // allowance − used, never below 0
    std::optional<long double> expected;  // allowance × elapsed
    std::optional<long double> perDay;    // remaining ÷ daysLeft; none once the cycle is over
    // The 95th percentile of each direction's five-minute rate and the peak rate, bytes per second, over the
    // five-minute slots of the cycle begun so far (a slot without a sample counts as 0).
    DirectionAmounts p95, peak;
    int slotCount = 0;
    // The plan's thresholds reached (used ≥ threshold % of the allowance), ascending.
    std::vector<int> crossed;
    bool projectedOver = false; // projected > allowance
    // Day files left out, unreadable lines: as the report tells them.
    QStringList warnings;
};

// Every figure of a plan for one interface folder, read from its nic.inf (the cycle's days only) and the
// day files of the cycle, as of now: a past cycle counts whole, a cycle not begun counts nothing. now is
// local time, a parameter so that tests can take any moment. The calculator keeps its slot buffers from
// one call to the next, as a recorder computes the same plans every cycle.
class PlanCalculator final
{
public:
    // The cycle that holds now.
    PlanFigures current(const DataPlan& plan, const QString& dir, const QDateTime& now);
    PlanFigures forCycle(const DataPlan& plan, const QString& dir, const BillingCycle& cycle, const QDateTime& now);
    // The same with nic.inf's "data" lines ("key=value") already read.
    PlanFigures forCycle(const DataPlan& plan, const QString& dir, const QStringList& dataLines,
                         const BillingCycle& cycle, const QDateTime& now);

private:
    PlanFigures compute(const DataPlan& plan, const QString& dir, const QStringList* dataLines,
                        const BillingCycle& cycle, const QDateTime& now);

    // Bytes per five-minute slot of the cycle so far.
    std::vector<int64_t> m_received, m_sent;
};
} // namespace reports
