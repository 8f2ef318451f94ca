// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The log-in autostart entry: an XDG desktop file whose Exec is the program's absolute path.
// It is on when the file exists and the desktop has not turned it off (Hidden=true or
// X-GNOME-Autostart-enabled=false, written by the desktop's own start-up settings).
class AutostartEntry final
{
public:
    // $XDG_CONFIG_HOME/autostart/vorp.desktop, or ~/.config/autostart/vorp.desktop.
    static QString DefaultPath();

    explicit AutostartEntry(QString path = DefaultPath()) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }
    bool exists() const;
    bool enabled() const;
    // Both return false when the file could not be written or removed.
    bool enable(const QString& executablePath) const;
    bool disable() const;

private:
    QString m_path;
};

// The desktop file's Exec value for one program path, quoted and escaped when it needs to be.
QString DesktopExecValue(const QString& executablePath);
// The whole desktop file.
QByteArray AutostartFileText(const QString& executablePath);
