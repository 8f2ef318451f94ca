// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/OpeningCheck.h"

#include "reports/Descriptor.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace reports
{
bool CheckMonitoredInterfaces(const std::vector<bool>& lbChecked)
{
    return std::any_of(lbChecked.begin(), lbChecked.end(), [](bool b) { return b; });
}

QString NormalisedPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(QDir::fromNativeSeparators(path));
    QString result = info.exists() ? info.canonicalFilePath() : QString();
    if (result.isEmpty())
        result = QDir::cleanPath(info.absoluteFilePath());
    return result;
}

bool SamePath(const QString& a, const QString& b)
{
    return !a.isEmpty() && !b.isEmpty() && NormalisedPath(a) == NormalisedPath(b);
}

CheckOutcome EvaluateOkBtnClick(CheckSender sender, const QString& selectedDir, const QString& storeRoot,
                                bool anyInterfaceChecked)
{
    CheckOutcome out;
    out.enableGraph = true;

    const DescriptorRead read = selectedDir.isEmpty() ? DescriptorRead() : ReadDescriptor(selectedDir);
    if (!read.missing())
    {
        if (read.contents && read.contents->ifname)
        {
            if (sender == CheckSender::OkButton)
            {
                out.messages << kOpening + QLatin1Char('\n') + *read.contents->ifname;
                out.closeChooser = true;
            }
            return out;
        }
        // A file that was not read (a link, a folder, a FIFO, too large) cannot show its "ifname" either:
        // invalid like one without the key, after the reason.
        if (!read.message.isEmpty())
            out.messages << read.message;
        out.messages << kInvalidDescriptor;
        out.clearReady = true;
        return out;
    }

    out.clearReady = true;
    const bool atProgramFolder = selectedDir.isEmpty() || SamePath(selectedDir, storeRoot);
    if (!selectedDir.isEmpty())
    {
        // The folder where nic.inf was looked for, once (the selected directory is already absolute).
        const QString folder = selectedDir.endsWith(QLatin1Char('/')) ? selectedDir : selectedDir + QLatin1Char('/');
        out.messages << kLookedIn.arg(QDir::toNativeSeparators(folder));
        out.question = kSearchByHand;
    }
    if (atProgramFolder)
    {
        if (anyInterfaceChecked)
            out.question = kSelectFirst;
        else
        {
            out.chooseInterfacesNotice = true;
            out.question.clear();
        }
    }
    return out;
}

CheckOutcome EvaluateOpeningCheck(const QString& selectedDir, const QString& storeRoot, bool anyInterfaceChecked)
{
    if (selectedDir.isEmpty() || !QFileInfo(selectedDir).isDir())
    {
        CheckOutcome out;
        out.messages << kBaseMissing;
        out.clearReady = true;
        return out;
    }
    return EvaluateOkBtnClick(CheckSender::Reader, selectedDir, storeRoot, anyInterfaceChecked);
}

bool IsStatisticsFolder(const QString& dir)
{
    const DescriptorRead read = ReadDescriptor(dir);
    return read.contents && read.contents->ifname;
}

std::optional<QString> RecordedInterfaceFolder(const QString& storeRoot, const QStringList& names,
                                               const std::vector<bool>& marks)
{
    // Every folder of the store that the check accepts, with the interface its nic.inf names; a linked
    // folder is no store folder, as the recorder refuses it. Code-point order, whatever the locale.
    const QDir root(storeRoot);
    QStringList entries = root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(entries.begin(), entries.end());
    std::vector<std::pair<QString, QString>> folders; // path, "ifname"
    for (const QString& entry : entries)
    {
        const QString path = QDir::cleanPath(root.filePath(entry));
        if (QFileInfo(path).isSymLink())
            continue;
        const DescriptorRead read = ReadDescriptor(path);
        if (read.contents && read.contents->ifname)
            folders.emplace_back(path, *read.contents->ifname);
    }
    for (qsizetype i = 0; i < names.size() && i < static_cast<qsizetype>(marks.size()); ++i)
    {
        if (!marks[static_cast<size_t>(i)])
            continue;
        for (const auto& [path, ifname] : folders)
            if (ifname == names[i])
                return path;
    }
    if (folders.empty())
        return std::nullopt;
    return folders.front().first;
}

CheckOutcome EvaluateNothingRecorded(const QStringList& names, const std::vector<bool>& marks)
{
    CheckOutcome out;
    out.enableGraph = true;
    out.clearReady = true;
    for (qsizetype i = 0; i < names.size() && i < static_cast<qsizetype>(marks.size()); ++i)
        if (marks[static_cast<size_t>(i)])
        {
            out.messages << kNotRecordedYet.arg(names[i]);
            return out;
        }
    out.chooseInterfacesNotice = true;
    return out;
}
} // namespace reports
