// SPDX-License-Identifier: GPL-3.0-or-later
// The day-file line reader and sample parser: any bytes, no crash, only sane samples, and the one-pass
// reading gives what the lines give once parsed.
#include "graph/HistoryLoader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    graph::SampleLineReader reader(bytes);
    graph::SampleLineReader onePass(bytes);
    std::optional<graph::Sample> sample;
    while (const auto line = reader.next())
    {
        const auto parsed = graph::ParseSampleLine(*line);
        if (parsed && (parsed->timeMs < 0 || parsed->timeMs >= 86400000))
            std::abort();
        if (!onePass.nextSample(sample) || sample.has_value() != parsed.has_value() ||
            (parsed && (sample->timeMs != parsed->timeMs || sample->in != parsed->in || sample->out != parsed->out)))
            std::abort();
    }
    if (onePass.nextSample(sample))
        std::abort();
    return 0;
}
