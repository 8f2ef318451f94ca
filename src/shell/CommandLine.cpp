// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/CommandLine.h"

#include <utility>

namespace
{
CommandLine Invalid(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::Invalid;
    line.invalidText = text;
    return line;
}

// arg is the option name, alone or as "name=VALUE".
bool IsOption(const QString& arg, QLatin1StringView name)
{
    return arg.startsWith(name) && (arg.size() == name.size() || arg[name.size()] == QLatin1Char('='));
}

// Whether arguments[i] is the option name, as "name VALUE" (i then moves to the value) or "name=VALUE";
// value is empty when none is given.
bool TakeOption(const QStringList& arguments, qsizetype& i, QLatin1StringView name, QString& value)
{
    const QString& arg = arguments[i];
    if (!IsOption(arg, name))
        return false;
    if (arg.size() > name.size())
        value = arg.mid(name.size() + 1);
    else
        value = ++i < arguments.size() ? arguments[i] : QString();
    return true;
}

// "YYYY-MM-DD" exactly, of a day that exists.
std::optional<QDate> ParseDay(const QString& text)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || date.toString(Qt::ISODate) != text)
        return std::nullopt;
    return date;
}

QString DateExpected(const QString& option, const QString& value)
{
    return value.isEmpty() ? QStringLiteral("%1 attend une date AAAA-MM-JJ.").arg(option)
                           : QStringLiteral("%1 attend une date AAAA-MM-JJ, pas « %2 ».").arg(option, value);
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
        QString file;
        if (TakeOption(arguments, i, QLatin1StringView("--prometheus-textfile"), file))
        {
            if (file.isEmpty())
                return Invalid(QStringLiteral("--prometheus-textfile attend un nom de fichier."));
            // The textfile collector reads no other name: the file would be written for nobody.
            if (!QStringView(file).mid(file.lastIndexOf(QLatin1Char('/')) + 1).endsWith(QLatin1String(".prom")))
                return Invalid(QStringLiteral("--prometheus-textfile : « %1 » ne finit pas par .prom, et le "
                                              "collecteur textfile de node_exporter ne lit que ces fichiers.")
                                   .arg(file));
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
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& arg = arguments[i];
        QString value;
        if (arg == QLatin1String("--report"))
            continue;
        if (arg == QLatin1String("--json"))
            line.json = true;
        else if (arg == QLatin1String("--pretty"))
            line.pretty = true;
        else if (arg == QLatin1String("--samples"))
            line.samples = true;
        else if (arg == QLatin1String("--check-plans"))
            line.checkPlans = true;
        else if (TakeOption(arguments, i, QLatin1StringView("--begin"), value))
        {
            line.begin = ParseDay(value);
            if (!line.begin)
                return Invalid(DateExpected(QStringLiteral("--begin"), value));
        }
        else if (TakeOption(arguments, i, QLatin1StringView("--end"), value))
        {
            line.end = ParseDay(value);
            if (!line.end)
                return Invalid(DateExpected(QStringLiteral("--end"), value));
        }
        else if (arg.startsWith(QLatin1String("--")) || line.reportInterface)
            return Invalid(QStringLiteral("--report ne prend pas l'argument « %1 ».").arg(arg));
        else
            line.reportInterface = arg;
    }
    for (const auto& [given, option] : {std::pair{line.pretty, "--pretty"}, {line.samples, "--samples"}})
        if (given && !line.json)
            return Invalid(QStringLiteral("%1 ne va qu'avec --report --json.").arg(QLatin1String(option)));
    // A check prints its lines and nothing else: no form, no days to list.
    for (const auto& [given, option] :
         {std::pair{line.json, "--json"}, {line.begin.has_value(), "--begin"}, {line.end.has_value(), "--end"}})
        if (given && line.checkPlans)
            return Invalid(QStringLiteral("--check-plans ne va pas avec %1.").arg(QLatin1String(option)));
    if (line.begin && line.end && *line.begin > *line.end)
        return Invalid(QStringLiteral("--begin (%1) est après --end (%2).")
                           .arg(line.begin->toString(Qt::ISODate), line.end->toString(Qt::ISODate)));
    return line;
}

// The options that only a report takes, found without --report.
std::optional<QString> ReportOptionIn(const QStringList& arguments)
{
    for (const QString& arg : arguments)
        for (const char* option : {"--pretty", "--samples", "--begin", "--end", "--check-plans"})
            if (IsOption(arg, QLatin1StringView(option)))
                return QString::fromLatin1(option);
    return std::nullopt;
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
    if (const auto option = ReportOptionIn(arguments))
        return Invalid(QStringLiteral("%1 ne va qu'avec --report.").arg(*option));

    CommandLine line;
    if (arguments.size() != 1)
        return line;
    const QString& arg = arguments.front();
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
        line.action = CommandLine::Action::Help;
    else if (arg == QLatin1String("--version"))
        line.action = CommandLine::Action::Version;
    else if (arg == QLatin1String("--meter"))
        line.window = CommandLine::Window::Meter;
    else if (arg == QLatin1String("--graph"))
        line.window = CommandLine::Window::Graph;
    else if (arg == QLatin1String("--totals"))
        line.window = CommandLine::Window::Totals;
    else
        line.pictureBase = arg;
    return line;
}

QString HelpText(const QString& program)
{
    return QStringLiteral("Utilisation : %1 [NOM | --meter | --graph | --totals]\n"
                          "       %1 --record [--prometheus-textfile FICHIER]\n"
                          "       %1 --report [--json [--pretty] [--samples]] [--begin DATE] [--end DATE] [INTERFACE]\n"
                          "       %1 --report --check-plans [INTERFACE]\n"
                          "Tachymètre réseau : vitesses en direct dans la zone de notification,\n"
                          "statistiques enregistrées toutes les cinq minutes.\n\n"
                          "  NOM        nom de base des images du graphique enregistrées automatiquement\n"
                          "  --meter, --graph, --totals\n"
                          "             montre le tachymètre, le graphique ou les totaux, dans la copie déjà\n"
                          "             lancée s'il y en a une\n"
                          "  --record   enregistre les statistiques sans affichage (service vorp-recorder) ;\n"
                          "             s'arrête sur SIGTERM, SIGINT ou SIGHUP après un dernier relevé\n"
                          "  --prometheus-textfile FICHIER\n"
                          "             avec --record : écrit les compteurs au format texte de Prometheus\n"
                          "             après chaque relevé dans FICHIER, nommé en .prom (collecteur textfile\n"
                          "             de node_exporter)\n"
                          "  --report   affiche les totaux de chaque interface enregistrée, ou d'INTERFACE\n"
                          "             (nom affiché ou nom de dossier), sans rien modifier\n"
                          "  --json     avec --report : la même chose en JSON sur une ligne (voir man vorp)\n"
                          "  --pretty   avec --json : JSON indenté\n"
                          "  --samples  avec --json : les relevés de cinq minutes de chaque jour listé\n"
                          "  --begin DATE, --end DATE\n"
                          "             avec --report : ne liste que les jours (et les mois) du premier au\n"
                          "             dernier jour donnés, AAAA-MM-JJ, inclus\n"
                          "  --check-plans\n"
                          "             avec --report : une ligne par forfait dont un seuil d'alerte est\n"
                          "             atteint, et le code de sortie 1 s'il y en a une (pour cron)\n"
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
