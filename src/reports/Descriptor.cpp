// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/Descriptor.h"

#include "common/NumberText.h"
#include "store/ProfileFile.h"
#include "store/StatisticsStore.h"
#include "store/StoreFile.h"

#include <cmath>

namespace reports
{
QString DescriptorPathIn(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + QStringLiteral("nic.inf") : dir + QStringLiteral("/nic.inf");
}

DescriptorText ReadDescriptorText(const QString& dir)
{
    const QString path = DescriptorPathIn(dir);
    store::FileRead read = store::ReadStoreFile(path, store::kDescriptorLimit);
    DescriptorText result;
    if (read.status == store::FileRead::Status::Read)
        result.bytes = std::move(read.data);
    else
        result.message = store::IgnoredFileMessage(path, read, store::kDescriptorLimit);
    return result;
}

DescriptorRead ReadDescriptor(const QString& dir)
{
    DescriptorText text = ReadDescriptorText(dir);
    DescriptorRead result;
    if (text.bytes)
        result.contents = ContentsOf(ProfileFile::parse(*text.bytes));
    result.message = std::move(text.message);
    return result;
}

DescriptorContents ContentsOf(const ProfileFile& profile)
{
    DescriptorContents contents;
    contents.ifname = profile.value(store::kHeaderSection, QStringLiteral("ifname"));
    // The lines as the profile functions hand out a section, "key=value" in file order.
    const auto& entries = profile.entries(store::kDataSection);
    contents.dataLines.reserve(static_cast<qsizetype>(entries.size()));
    for (const ProfileFile::Entry& e : entries)
        contents.dataLines.append(e.key + QLatin1Char('=') + e.value);
    return contents;
}

bool IsDayLine(const QString& line)
{
    if (line.size() < 5)
        return false;
    for (int i = 0; i < 5; ++i)
        if (line[i] < QLatin1Char('0') || line[i] > QLatin1Char('9'))
            return false;
    return true;
}

int DayOfLine(const QString& line)
{
    return QStringView(line).left(5).toInt();
}

QChar LetterOfLine(const QString& line)
{
    return line.size() > 5 ? line[5] : QChar();
}

float AmountOfLine(const QString& line)
{
    return line.size() <= 7 ? 0.0f : AmountOfText(line.mid(7));
}

float AmountOfText(const QString& text)
{
    long double value = 0;
    if (!ParseFloatText(text, value))
        return 0.0f;
    // Beyond single precision the amount is no day total at all.
    if (std::fabs(value) > 3.0e38L)
        return 0.0f;
    return static_cast<float>(value);
}

bool IsSoundTotal(const QString& text)
{
    long double value = 0;
    return ParseFloatText(text, value) && value >= 0 && value <= kMostBytesInADay;
}

float AmountFitting(float amount, std::initializer_list<float> sums)
{
    for (const float sum : sums)
        if (!std::isfinite(sum + amount))
            return 0.0f;
    return amount;
}
} // namespace reports
