// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/CommandLine.h"

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    if (arguments.size() != 1)
        return line;
    const QString& arg = arguments.front();
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
        line.action = CommandLine::Action::Help;
    else if (arg == QLatin1String("--version"))
        line.action = CommandLine::Action::Version;
    else
        line.pictureBase = arg;
    return line;
}

QString HelpText(const QString& program)
{
    return QStringLiteral("Utilisation : %1 [NOM]\n"
                          "Tachymètre réseau : vitesses en direct dans la zone de notification,\n"
                          "statistiques enregistrées toutes les cinq minutes.\n\n"
                          "  NOM        nom de base des images du graphique enregistrées automatiquement\n"
                          "  --help     affiche cette aide\n"
                          "  --version  affiche la version\n\n"
                          "Réglages : $XDG_CONFIG_HOME/VORP/VORP.conf\n"
                          "Statistiques : $VORP_HOME, sinon $XDG_DATA_HOME/VORP\n")
        .arg(program);
}

QString VersionText()
{
    return QStringLiteral("VORP Beta4 1.10.11.213\n");
}
