// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/CommandLine.h"

namespace
{
CommandLine Invalid(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::Invalid;
    line.invalidText = text;
    return line;
}

CommandLine ParseRecord(const QStringList& arguments)
{
    CommandLine line;
    line.action = CommandLine::Action::Record;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--record"))
            continue;
        static const QLatin1String textfile("--prometheus-textfile");
        if (arg == textfile || arg.startsWith(textfile + QLatin1Char('=')))
        {
            QString file;
            if (arg == textfile)
            {
                if (++i >= arguments.size())
                    return Invalid(QStringLiteral("--prometheus-textfile attend un nom de fichier."));
                file = arguments[i];
            }
            else
                file = arg.mid(textfile.size() + 1);
            if (file.isEmpty())
                return Invalid(QStringLiteral("--prometheus-textfile attend un nom de fichier."));
            line.prometheusTextfile = file;
            continue;
        }
        return Invalid(QStringLiteral("--record ne prend pas l'argument « %1 ».").arg(arg));
    }
    return line;
}

CommandLine ParseReport(const QStringList& arguments)
{
    CommandLine line;
    line.action = CommandLine::Action::Report;
    for (const QString& arg : arguments)
    {
        if (arg == QLatin1String("--report"))
            continue;
        if (arg == QLatin1String("--json"))
            line.json = true;
        else if (arg.startsWith(QLatin1String("--")) || line.reportInterface)
            return Invalid(QStringLiteral("--report ne prend pas l'argument « %1 ».").arg(arg));
        else
            line.reportInterface = arg;
    }
    return line;
}
} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    const bool record = arguments.contains(QLatin1String("--record"));
    const bool report = arguments.contains(QLatin1String("--report"));
    if (record && report)
        return Invalid(QStringLiteral("--record et --report ne vont pas ensemble."));
    if (record)
        return ParseRecord(arguments);
    if (report)
        return ParseReport(arguments);

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
                          "       %1 --record [--prometheus-textfile FICHIER]\n"
                          "       %1 --report [--json] [INTERFACE]\n"
                          "Tachymètre réseau : vitesses en direct dans la zone de notification,\n"
                          "statistiques enregistrées toutes les cinq minutes.\n\n"
                          "  NOM        nom de base des images du graphique enregistrées automatiquement\n"
                          "  --record   enregistre les statistiques sans affichage (service vorp-recorder) ;\n"
                          "             s'arrête sur SIGTERM, SIGINT ou SIGHUP après un dernier relevé\n"
                          "  --prometheus-textfile FICHIER\n"
                          "             avec --record : écrit les compteurs au format texte de Prometheus\n"
                          "             après chaque relevé (collecteur textfile de node_exporter)\n"
                          "  --report   affiche les totaux de chaque interface enregistrée, ou d'INTERFACE\n"
                          "             (nom affiché ou nom de dossier), sans rien modifier\n"
                          "  --json     avec --report : la même chose en JSON (voir man vorp)\n"
                          "  --help     affiche cette aide\n"
                          "  --version  affiche la version\n\n"
                          "Réglages : $XDG_CONFIG_HOME/VORP/VORP.conf\n"
                          "Statistiques : $VORP_HOME, sinon $XDG_DATA_HOME/VORP\n"
                          "Service : systemctl --user enable --now vorp-recorder\n")
        .arg(program);
}

QString VersionText()
{
    return QStringLiteral("VORP Beta4 1.10.11.213\n");
}
