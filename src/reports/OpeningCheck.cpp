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
        out.messages << (selectedDir.endsWith(QLatin1Char('/')) ? selectedDir : selectedDir + QLatin1Char('/'));
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
} // namespace reports
