// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Platform.h"

#include <QtGlobal>

PlatformChoice ChoosePlatform(const PlatformEnvironment& env)
{
    if (!env.qpaPlatform.isEmpty())
        return {};
    if (env.display.isEmpty() && env.waylandDisplay.isEmpty())
        return {std::nullopt, false};
    // The toolkit tries the platforms in turn and takes the first that starts.
    return {QByteArray("xcb;wayland"), true};
}

PlatformEnvironment CurrentPlatformEnvironment()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
}

QString NoDisplayText()
{
    return QStringLiteral("VORP ne peut pas démarrer : aucun affichage graphique n'est accessible (ni X11 ni "
                          "Wayland ; voyez DISPLAY et WAYLAND_DISPLAY).");
}

QString WaylandLimitsText()
{
    return QStringLiteral("VORP fonctionne sous Wayland sans XWayland : le tachymètre ne peut pas rester au-dessus "
                          "des autres fenêtres, ni se placer ou retrouver sa position, ni devenir transparent. "
                          "Installez XWayland (paquet xwayland) pour en profiter.");
}
