// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace store
{
struct Sample
{
    int32_t timeMs = 0; // time of day
    int64_t in = 0;
    int64_t out = 0;
};

// One sample line as the day file reader returns it: the bytes of the line that are digits or one of
// "/", ":", " ", "F", "D", "U", up to its line end: CR LF, or a lone CR or LF in a damaged file.
// A final line without line end is not returned. Works on the whole file read at once.
class SampleLineReader final
{
public:
    explicit SampleLineReader(QByteArrayView data) : m_data(data) {}
    // The view stays valid until the next call.
    std::optional<QByteArrayView> next();
    // The next line as ParseSampleLine parses it (nothing in sample for a line that does not parse); false
    // at the end. Reads the lines the store writes in one pass.
    bool nextSample(std::optional<Sample>& sample);

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    QByteArray m_filtered;
};

// A filtered line: "hh:nn:ss", the received bytes, "U", the sent bytes. Nothing when the time or the
// received amount does not parse; sent bytes that do not parse (or a line without "U") count as 0.
std::optional<Sample> ParseSampleLine(QByteArrayView line);
} // namespace store
