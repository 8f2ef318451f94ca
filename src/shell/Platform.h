// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Which windowing platform the program starts on. Stay-on-top, tool windows, translucency and
// placing its own windows need X11, so X (XWayland in a Wayland session) comes first; Wayland
// itself only when X cannot start.
struct PlatformEnvironment
{
    QByteArray qpaPlatform; // QT_QPA_PLATFORM
    QByteArray display;     // DISPLAY
    QByteArray waylandDisplay;
};

struct PlatformChoice
{
    // The QT_QPA_PLATFORM to set; nothing when the user's own stands.
    std::optional<QByteArray> qpaPlatform;
    // False when there is no display at all to start on.
    bool displayFound = true;
};

PlatformChoice ChoosePlatform(const PlatformEnvironment& env);
PlatformEnvironment CurrentPlatformEnvironment();

// The one line said when no display can be opened.
QString NoDisplayText();
// Said once at start on native Wayland: what does not work there.
QString WaylandLimitsText();
