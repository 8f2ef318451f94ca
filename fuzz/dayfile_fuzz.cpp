// SPDX-License-Identifier: GPL-3.0-or-later
// The day-file line reader and sample parser: any bytes, no crash, only sane samples.
#include "graph/HistoryLoader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    graph::SampleLineReader reader(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    while (const auto line = reader.next())
        if (const auto sample = graph::ParseSampleLine(*line))
            if (sample->timeMs < 0 || sample->timeMs >= 86400000)
                std::abort();
    return 0;
}
