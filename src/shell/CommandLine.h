// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Record,  // --record [--prometheus-textfile FILE]: recording alone, without the desktop
        Report,  // --report [--json [--pretty] [--samples]] [--begin DATE] [--end DATE] [INTERFACE],
                 // or --report --check-plans [INTERFACE]
        Invalid, // a headless command with arguments it does not take, or a report option without --report
    };
    Action action = Action::Run;
    // Exactly one argument other than the options: the history graph's picture base name.
    std::optional<QString> pictureBase;
    // The window the desktop entry's actions open, in the running copy when there is one.
    enum class Window
    {
        None,
        Meter,  // --meter
        Graph,  // --graph
        Totals, // --totals
    };
    Window window = Window::None;
    std::optional<QString> prometheusTextfile;
    bool json = false;
    bool pretty = false;
    bool samples = false;
    bool checkPlans = false;
    std::optional<QDate> begin, end; // the days a report lists, inclusive
    std::optional<QString> reportInterface;
    QString invalidText; // why the line is Invalid
};

// arguments without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);
QString HelpText(const QString& program);
QString VersionText();
