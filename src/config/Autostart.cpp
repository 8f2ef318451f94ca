// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Autostart.h"

#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString AutostartEntry::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/autostart/vorp.desktop");
}

bool AutostartEntry::exists() const
{
    return QFileInfo::exists(m_path);
}

bool AutostartEntry::enabled() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inEntry = false;
    while (!file.atEnd())
    {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('['))
            inEntry = line == "[Desktop Entry]";
        else if (inEntry)
        {
            const qsizetype eq = line.indexOf('=');
            const QByteArray key = line.left(eq).trimmed();
            const QByteArray value = line.mid(eq + 1).trimmed().toLower();
            if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
                return false;
        }
    }
    return true;
}

bool AutostartEntry::enable(const QString& executablePath) const
{
    return QDir().mkpath(QFileInfo(m_path).absolutePath()) &&
           WriteFileAtomically(m_path, AutostartFileText(executablePath));
}

bool AutostartEntry::disable() const
{
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}

QString DesktopExecValue(const QString& executablePath)
{
    // Desktop entry rules: an argument with reserved characters is double-quoted, and inside the
    // quotes " ` $ \ take a backslash; '%' is doubled as it starts field codes. The value itself
    // is then a string value, whose own escape for a backslash is "\\".
    static constexpr QLatin1StringView Reserved(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    QString arg;
    for (const QChar c : executablePath)
    {
        if (Reserved.contains(c))
            quote = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            arg += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            arg += QLatin1Char('%');
        arg += c;
    }
    if (quote)
        arg = QLatin1Char('"') + arg + QLatin1Char('"');
    QString value;
    for (const QChar c : arg)
    {
        if (c == QLatin1Char('\\'))
            value += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            value += QLatin1String("\\t");
        else
            value += c;
    }
    return value;
}

QByteArray AutostartFileText(const QString& executablePath)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=VORP\n"
                                  "Comment=Compteur de trafic réseau\n"
                                  "Exec=");
    text += DesktopExecValue(executablePath);
    // Started after the panel, so that the notification area is there for the icon.
    text += QStringLiteral("\nIcon=vorp\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"
                           "X-GNOME-Autostart-Delay=5\nX-KDE-autostart-after=panel\n");
    return text.toUtf8();
}
