// SPDX-License-Identifier: GPL-3.0-or-later
// The totals walk over whatever a nic.inf holds.
#include "reports/Descriptor.h"
#include "reports/Totals.h"
#include "store/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto contents = reports::ContentsOf(
        ProfileFile::parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))));
    reports::TotalsWalk::Compute(contents.dataLines, contents.ifname.value_or(QString()), QDate(2004, 6, 15));
    return 0;
}
