// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/Totals.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// "vorp --report [--json] [INTERFACE]": the totals window's figures of every interface of a store, read
// only, as text or JSON on standard output.
namespace reports
{
struct InterfaceFolder
{
    QString folder; // the sub-folder's name under the store root
    TotalsReport totals;
};

struct StoreInterfaces
{
    std::vector<InterfaceFolder> interfaces; // sorted by folder name
    QStringList ignoredFiles;                // the nic.inf files there that were refused, and why
};

// Every sub-folder of storeRoot holding a nic.inf, loaded as the totals window loads it.
StoreInterfaces InterfacesOf(const QString& storeRoot, const QDate& today);

struct ReportOutcome
{
    QByteArray out; // UTF-8, for standard output
    QString error;  // for standard error, without a final line end; may be set beside a report
    int status = 0; // the process's exit status
};

// interfaceName matches an interface's folder name or, failing that, its display name, exactly; every
// interface without it. Amounts in JSON are bytes: the walk's sums, the forecast cut to whole bytes.
ReportOutcome RunReport(const QString& storeRoot, const std::optional<QString>& interfaceName, bool json,
                        const QDate& today);
} // namespace reports
