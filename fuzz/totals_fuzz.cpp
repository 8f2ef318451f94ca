// SPDX-License-Identifier: GPL-3.0-or-later
// The totals walk over whatever a nic.inf holds: the bytes read where they stand give what the parsed
// file's lines give.
#include "reports/Descriptor.h"
#include "reports/Totals.h"
#include "store/ProfileFile.h"

#include <cstdlib>

namespace
{
QStringList Cells(const reports::TotalsReport& r)
{
    QStringList cells{r.interfaceName, QString::number(r.pairs), r.sinceFirstDayCaption};
    for (const reports::TotalsGroup& g : {r.today, r.forecast, r.sinceFirstDay})
        cells << g.received << g.sent << g.both;
    for (const auto* rows : {&r.daily, &r.monthly})
        for (const reports::TotalsRow& row : *rows)
            cells << row.label << row.received << row.sent << row.both;
    return cells;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto contents = reports::ContentsOf(ProfileFile::parse(text));
    const QDate today(2004, 6, 15);
    const reports::TotalsReport lines =
        reports::TotalsWalk::Compute(contents.dataLines, contents.ifname.value_or(QStringLiteral("ERR")), today);
    if (Cells(reports::TotalsWalk::LoadText(text, today)) != Cells(lines))
        std::abort();
    return 0;
}
