#include "store/SampleLine.h"

#include <algorithm>
#include <limits>

namespace store
{
namespace
{
bool KeptByte(char c)
{
    return (c >= '0' && c <= '9') || c == '/' || c == ':' || c == ' ' || c == 'F' || c == 'D' || c == 'U';
}

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
    for (const char c : text)
    {
        if (!IsDigit(c))
            return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
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
    const auto end = std::find_if(rest.begin(), rest.end(), [](char c) { return c == '\r' || c == '\n'; });
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
    if (std::all_of(raw.begin(), raw.end(), KeptByte))
        return raw;
    m_filtered.resize(0);
    for (const char c : raw)
        if (KeptByte(c))
            m_filtered.append(c);
    return QByteArrayView(m_filtered);
}

std::optional<Sample> ParseSampleLine(QByteArrayView line)
{
    if (line.size() < 8)
        return std::nullopt;
    const auto time = ParseTimeOfDay(line.first(8));
    if (!time)
        return std::nullopt;
    const QByteArrayView rest = line.sliced(8);
    const qsizetype u = rest.indexOf('U');
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
