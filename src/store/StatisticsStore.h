// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileOps.h"
#include "store/ProfileFile.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// The on-disk statistics store: one directory per interface under the store root, holding nic.inf
// (section "VORP DB" then "data" with <day>D / <day>U totals) and one <day>.mdf file of sample lines
// per day.
namespace store
{
inline const QString kDescriptorName = QStringLiteral("nic.inf");
inline const QString kHeaderSection = QStringLiteral("VORP DB");
inline const QString kDataSection = QStringLiteral("data");

// The directory of the interface at position p named n, found or created under root (which ends
// with "/"); nothing when even the prefix-only candidate cannot be made.
std::optional<QString> StatisticsFolderFor(const QString& root, int position, const QString& displayName,
                                           FileOps& ops = SystemFileOps());

// The nic.inf of a new folder: its "VORP DB" section alone.
ProfileFile NewDescriptor(const QString& displayName);

// "hh:nn:ss" + received + "U" + sent + CR LF.
QByteArray SampleLine(const QTime& time, uint64_t received, uint64_t sent);

// "<day>.mdf" in dir.
QString DayFilePath(const QString& dir, int dayNumber);
QString DescriptorPath(const QString& dir);
} // namespace store
