// SPDX-License-Identifier: GPL-3.0-or-later
// The histogram buckets over whatever a nic.inf holds, in every view and direction.
#include "reports/Descriptor.h"
#include "reports/Histogram.h"
#include "store/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto contents = reports::ContentsOf(
        ProfileFile::parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))));
    for (const auto view : {reports::HistogramView::Year, reports::HistogramView::Month})
        for (const auto direction : {reports::Direction::DL, reports::Direction::UL, reports::Direction::DLUL})
        {
            reports::HistogramBuckets buckets;
            buckets.fill(contents.dataLines, reports::HistogramSelection{2004, 6, view, direction});
            for (int x = -5; x < 800; x += 37)
                reports::SlotAt(view, x);
        }
    return 0;
}
