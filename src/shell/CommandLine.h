// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version
    };
    Action action = Action::Run;
    // Exactly one argument other than --help and --version: the history graph's picture base name.
    std::optional<QString> pictureBase;
};

// arguments without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);
QString HelpText(const QString& program);
QString VersionText();
