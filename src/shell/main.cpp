// SPDX-License-Identifier: GPL-3.0-or-later
// The program the user runs. Recording and reports run here on QtCore alone, so a recorder service loads
// no display code; the windows are another executable, which this one becomes.
#include "common/StoreRoot.h"
#include "config/SettingsStore.h"
#include "reports/CommandLineReport.h"
#include "shell/CommandLine.h"
#include "shell/HeadlessRecorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#ifndef VORP_DESKTOP_RELATIVE
#define VORP_DESKTOP_RELATIVE "../libexec/vorp/vorp-desktop"
#endif

namespace
{
void Say(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// This executable's path, links resolved.
QByteArray SelfPath()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? QByteArray(path, n) : QByteArray();
}

// Beside this executable in a build folder, under libexec once installed.
QByteArray DesktopPath(const QByteArray& self)
{
    const QByteArray dir = self.left(self.lastIndexOf('/') + 1);
    for (const QByteArray& candidate : {dir + "vorp-desktop", dir + VORP_DESKTOP_RELATIVE})
        if (access(candidate.constData(), X_OK) == 0)
            return candidate;
    return {};
}

int RunDesktop(char** argv)
{
    const QByteArray self = SelfPath();
    const QByteArray desktop = DesktopPath(self);
    if (desktop.isEmpty())
    {
        Say(QStringLiteral("VORP : la partie bureau du programme (vorp-desktop) est introuvable près de %1.")
                .arg(QString::fromLocal8Bit(self)));
        return 1;
    }
    setenv("VORP_PROGRAM", self.constData(), 1);
    execv(desktop.constData(), argv);
    Say(QStringLiteral("VORP : impossible de lancer %1 : %2")
            .arg(QString::fromLocal8Bit(desktop), QString::fromLocal8Bit(std::strerror(errno))));
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action)
    {
    case CommandLine::Action::Help:
        std::fputs(HelpText(QString::fromLocal8Bit(argv[0])).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Invalid:
        Say(QStringLiteral("VORP : %1\nVoir « %2 --help ».").arg(line.invalidText, QString::fromLocal8Bit(argv[0])));
        return 2;
    case CommandLine::Action::Run:
        return RunDesktop(argv);
    case CommandLine::Action::Record:
    case CommandLine::Action::Report:
        break;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VORP"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.10.11.213"));
    if (line.action == CommandLine::Action::Record)
        return RunHeadlessRecorder(StoreRoot(QCoreApplication::applicationDirPath()), line.prometheusTextfile);

    reports::ReportOptions options;
    options.interfaceName = line.reportInterface;
    options.json = line.json;
    options.pretty = line.pretty;
    options.samples = line.samples;
    options.begin = line.begin;
    options.end = line.end;
    options.checkPlans = line.checkPlans;
    const SettingsStore settings(SettingsStore::DefaultPath(), SettingsStore::Access::ReadOnly);
    options.plans = settings.readSection(QStringLiteral("Plans"));
    const reports::ReportOutcome outcome = reports::RunReport(StoreRootPath(QCoreApplication::applicationDirPath()),
                                                              options, QDateTime::currentDateTime());
    std::fwrite(outcome.out.constData(), 1, static_cast<size_t>(outcome.out.size()), stdout);
    if (!outcome.error.isEmpty())
        Say(outcome.error);
    if (settings.fileState() == SettingsStore::FileState::Unreadable)
    {
        Say(QStringLiteral("VORP : impossible de lire le fichier de réglages %1 (%2) ; les forfaits sont laissés de "
                           "côté.")
                .arg(QDir::toNativeSeparators(settings.path()), settings.problem()));
        // A check that could not look at the plans must not pass for one that found nothing.
        if (line.checkPlans)
            return std::max(outcome.status, 1);
    }
    return outcome.status;
}
