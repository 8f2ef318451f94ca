// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StatisticsStore.h"

#include "common/DayNumber.h"

#include <QFileInfo>

namespace store
{
std::optional<QString> StatisticsFolderFor(const QString& root, int position, const QString& displayName, FileOps& ops)
{
    const qsizetype length = displayName.size();
    for (qsizetype cut = 0;; ++cut)
    {
        QString candidate = length - cut > 0 ? displayName.left(length - cut) : QString();
        if (candidate.size() < 3)
            candidate = QStringLiteral("IF0") + QString::number(position) + QLatin1Char('_') + candidate;
        const QString path = root + candidate;
        if (QFileInfo(path).isDir() || ops.mkdir(path, 0777) == 0)
            return path;
        // The prefix alone is the last distinct candidate.
        if (length - cut <= 0)
            return std::nullopt;
    }
}

QString DescriptorPath(const QString& dir)
{
    return dir + QLatin1Char('/') + kDescriptorName;
}

QString DayFilePath(const QString& dir, int dayNumber)
{
    return dir + QLatin1Char('/') + QString::number(dayNumber) + QStringLiteral(".mdf");
}

ProfileFile NewDescriptor(const QString& displayName)
{
    ProfileFile file;
    file.setValue(kHeaderSection, QStringLiteral("version"), QStringLiteral("1.0"));
    file.setValue(kHeaderSection, QStringLiteral("vorp_version"), QStringLiteral("beta4"));
    file.setValue(kHeaderSection, QStringLiteral("ifname"), displayName);
    return file;
}

QByteArray SampleLine(const QTime& time, uint64_t received, uint64_t sent)
{
    return TimeText(time).toLatin1() + QByteArray::number(static_cast<qulonglong>(received)) + 'U' +
           QByteArray::number(static_cast<qulonglong>(sent)) + "\r\n";
}
} // namespace store
