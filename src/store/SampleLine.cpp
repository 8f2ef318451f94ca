// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SampleLine.h"

#include <algorithm>
#include <array>
#include <limits>

namespace store
{
namespace
{
constexpr bool KeptByte(char c)
{
    return (c >= '0' && c <= '9') || c == '/' || c == ':' || c == ' ' || c == 'F' || c == 'D' || c == 'U';
}

// Per byte: 1 kept, 2 a line end, 0 dropped; a table, since every byte of every day file is looked at.
constexpr std::array<unsigned char, 256> kByteKinds = [] {
    std::array<unsigned char, 256> kinds{};
    for (int c = 0; c < 256; ++c)
        kinds[static_cast<size_t>(c)] = c == '\r' || c == '\n' ? 2 : KeptByte(static_cast<char>(c)) ? 1 : 0;
    return kinds;
}();

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Plain decimal digits, at least one, within int64.
std::optional<int64_t> ParseAmount(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    int64_t value = 0;
    // Eighteen digits never pass int64: only a longer text is checked on the way.
    const bool mayOverflow = text.size() > 18;
    for (const char c : text)
    {
        if (!IsDigit(c))
            return std::nullopt;
        const int digit = c - '0';
        if (mayOverflow && value > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<int32_t> ParseTimeOfDay(QByteArrayView t)
{
    if (t.size() != 8 || t[2] != ':' || t[5] != ':')
        return std::nullopt;
    for (const int i : {0, 1, 3, 4, 6, 7})
        if (!IsDigit(t[i]))
            return std::nullopt;
    const int h = (t[0] - '0') * 10 + (t[1] - '0');
    const int m = (t[3] - '0') * 10 + (t[4] - '0');
    const int s = (t[6] - '0') * 10 + (t[7] - '0');
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return ((h * 60 + m) * 60 + s) * 1000;
}
} // namespace

std::optional<QByteArrayView> SampleLineReader::next()
{
    if (m_pos >= m_data.size())
        return std::nullopt;
    const QByteArrayView rest = m_data.sliced(m_pos);
    // A damaged file may end its lines with a lone CR or a lone LF; taking either as a line end keeps
    // the lines of such a file instead of gluing them to their neighbour or eating their first digit.
    // One pass finds the end and whether every byte before it is kept.
    auto end = rest.begin();
    unsigned char kinds = 1;
    for (; end != rest.end(); ++end)
    {
        const unsigned char kind = kByteKinds[static_cast<unsigned char>(*end)];
        if (kind == 2)
            break;
        kinds &= kind;
    }
    if (end == rest.end())
    {
        m_pos = m_data.size();
        return std::nullopt; // a last line without its line end
    }
    const qsizetype cut = end - rest.begin();
    const QByteArrayView raw = rest.first(cut);
    m_pos += cut + 1;
    if (*end == '\r' && m_pos < m_data.size() && m_data[m_pos] == '\n')
        ++m_pos;
    if (kinds == 1)
        return raw;
    m_filtered.resize(0);
    for (const char c : raw)
        if (KeptByte(c))
            m_filtered.append(c);
    return QByteArrayView(m_filtered);
}

bool SampleLineReader::nextSample(std::optional<Sample>& sample)
{
    // "hh:nn:ss", the received digits, then "U" and the sent digits or not, then the line end: taken as it
    // is read. Anything else (other bytes, amounts that could pass int64, a last line without its end)
    // goes the long way, from the start of the line.
    if (m_pos >= m_data.size())
        return false;
    const char* const begin = m_data.data();
    const char* const end = begin + m_data.size();
    const char* p = begin + m_pos;
    if (end - p >= 10 && p[2] == ':' && p[5] == ':')
    {
        const auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
        const unsigned h1 = digit(p[0]), h2 = digit(p[1]), m1 = digit(p[3]), m2 = digit(p[4]), s1 = digit(p[6]),
                       s2 = digit(p[7]);
        const unsigned h = h1 * 10 + h2, m = m1 * 10 + m2, s = s1 * 10 + s2;
        if (h1 <= 9 && h2 <= 9 && m1 <= 9 && m2 <= 9 && s1 <= 9 && s2 <= 9 && h <= 23 && m <= 59 && s <= 59)
        {
            // Unsigned, so that the digits of an amount too long to be taken here wrap harmlessly.
            const char* q = p + 8;
            uint64_t in = 0;
            for (; q != end && digit(*q) <= 9; ++q)
                in = in * 10 + digit(*q);
            const ptrdiff_t inDigits = q - (p + 8);
            uint64_t out = 0;
            ptrdiff_t outDigits = 0;
            if (q != end && *q == 'U')
            {
                const char* const sent = ++q;
                for (; q != end && digit(*q) <= 9; ++q)
                    out = out * 10 + digit(*q);
                outDigits = q - sent;
            }
            if (inDigits >= 1 && inDigits <= 18 && outDigits <= 18 && q != end && (*q == '\r' || *q == '\n'))
            {
                m_pos = q + 1 - begin;
                if (*q == '\r' && m_pos < m_data.size() && m_data[m_pos] == '\n')
                    ++m_pos;
                sample = Sample{static_cast<int32_t>(((h * 60 + m) * 60 + s) * 1000), static_cast<int64_t>(in),
                                static_cast<int64_t>(out)};
                return true;
            }
        }
    }
    const auto line = next();
    if (!line)
        return false;
    sample = ParseSampleLine(*line);
    return true;
}

std::optional<Sample> ParseSampleLine(QByteArrayView line)
{
    if (line.size() < 8)
        return std::nullopt;
    const auto time = ParseTimeOfDay(line.first(8));
    if (!time)
        return std::nullopt;
    const QByteArrayView rest = line.sliced(8);
    const auto found = std::find(rest.begin(), rest.end(), 'U');
    const qsizetype u = found == rest.end() ? -1 : found - rest.begin();
    const QByteArrayView inText = u < 0 ? rest : rest.first(u);
    const auto in = ParseAmount(inText);
    if (!in)
        return std::nullopt;
    int64_t out = 0;
    if (u >= 0)
        out = ParseAmount(rest.sliced(u + 1)).value_or(0);
    return Sample{*time, *in, out};
}
} // namespace store
