// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

class ProfileFile;

namespace reports
{
// What the readers need of an interface's nic.inf.
struct DescriptorContents
{
    // Value of "ifname" in "VORP DB"; nothing when the key is missing.
    std::optional<QString> ifname;
    // The key=value lines of section "data", in file order.
    QStringList dataLines;
};

struct DescriptorRead
{
    // Nothing when the file is missing or was not read.
    std::optional<DescriptorContents> contents;
    // Why a nic.inf that is there was not read ("Fichier ignoré : ... n'est pas un fichier ordinaire");
    // empty when it was read or is missing.
    QString message;

    bool missing() const { return !contents && message.isEmpty(); }
};

// Reads dir + "/nic.inf" as every store file is read: not through a link, only a regular file, bounded.
DescriptorRead ReadDescriptor(const QString& dir);
// The same read, handing out the file's bytes (nothing when it is missing or refused).
struct DescriptorText
{
    std::optional<QByteArray> bytes;
    QString message; // as in DescriptorRead
};
DescriptorText ReadDescriptorText(const QString& dir);
DescriptorContents ContentsOf(const ProfileFile& profile);
QString DescriptorPathIn(const QString& dir);

// A "data" line starts with a five-digit day number; the readers skip every other line.
bool IsDayLine(const QString& line);
// Day number of a line for which IsDayLine holds.
int DayOfLine(const QString& line);
// The letter after the day number ('D' received, 'U' sent), or a null QChar.
QChar LetterOfLine(const QString& line);
// The amount after "<day><letter>=", 0 when it does not parse.
float AmountOfLine(const QString& line);
// The same for the text after "<day><letter>=".
float AmountOfText(const QString& text);
// More than any link carries in a day: a day total above it is damaged, not traffic.
inline constexpr long double kMostBytesInADay = 1152921504606846976.0L; // 2^60
// Whether the text after "<day><letter>=" is a day total as the recorder writes one: a number, not negative,
// not above kMostBytesInADay. Anything else is a damaged total, which the totals count as 0.
bool IsSoundTotal(const QString& text);
// amount, or 0 when adding it would carry one of the float sums it goes into past the largest float:
// only a damaged total gets there, and an infinite sum would show as nothing at all.
float AmountFitting(float amount, std::initializer_list<float> sums);
} // namespace reports
