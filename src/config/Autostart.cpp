#include "config/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool AutostartEntry::enable(const QString& executablePath) const
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    const QByteArray text = AutostartFileText(executablePath);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text) != text.size() || !file.flush())
    {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
    text += QStringLiteral("\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}
