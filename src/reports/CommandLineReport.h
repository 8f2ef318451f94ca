// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/DataPlan.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// "vorp --report [--json] [INTERFACE]": the totals window's figures of every interface of a store, read
// only, as text or JSON on standard output.
namespace reports
{
struct ReportOptions
{
    // Matches an interface's folder name or, failing that, its display name, exactly; every interface
    // without it.
    std::optional<QString> interfaceName = std::nullopt;
    bool json = false;
    bool pretty = false;  // JSON indented rather than on one line
    bool samples = false; // JSON: each listed day's five-minute samples
    // The days and months listed, both inclusive; the other figures stay those of every day.
    std::optional<QDate> begin = std::nullopt, end = std::nullopt;
    // The settings file's [Plans] section: an interface with a plan is reported with its plan's figures.
    PlanSection plans = {};
    // Instead of the report, one line per plan past one of its thresholds, and status 1 when there is one.
    bool checkPlans = false;
};

struct ReportOutcome
{
    QByteArray out; // UTF-8, for standard output
    QString error;  // for standard error, without a final line end; may be set beside a report
    int status = 0; // the process's exit status
};

// Creates nothing: a missing store root is an error. now is the local time the report is made at; its
// date is "today". Amounts in JSON are bytes: the walk's sums, the forecast cut to whole bytes.
ReportOutcome RunReport(const QString& storeRoot, const ReportOptions& options, const QDateTime& now);
} // namespace reports
