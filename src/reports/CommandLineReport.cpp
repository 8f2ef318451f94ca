// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CommandLineReport.h"

#include "common/DayNumber.h"
#include "reports/Descriptor.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace reports
{
namespace
{
// Whole amounts as integers: QJsonDocument writes a whole double past 2^53 in exponent form (1e+16).
QJsonValue BytesValue(long double v)
{
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9.2e18L)
        return static_cast<qint64>(v);
    return static_cast<double>(v);
}

QJsonObject AmountsObject(long double received, long double sent)
{
    return {{QStringLiteral("received"), BytesValue(received)}, {QStringLiteral("sent"), BytesValue(sent)}};
}

QJsonObject InterfaceObject(const InterfaceFolder& itf)
{
    const TotalsReport& t = itf.totals;
    QJsonArray days;
    for (const DayBytes& d : t.dailyBytes)
    {
        QJsonObject day = AmountsObject(d.received, d.sent);
        day.insert(QStringLiteral("date"), d.date.toString(Qt::ISODate));
        days.append(day);
    }
    QJsonArray months;
    for (const MonthBytes& m : t.monthlyBytes)
    {
        QJsonObject month = AmountsObject(m.received, m.sent);
        month.insert(
            QStringLiteral("month"),
            QStringLiteral("%1-%2").arg(m.year, 4, 10, QLatin1Char('0')).arg(m.month, 2, 10, QLatin1Char('0')));
        months.append(month);
    }
    return {
        {QStringLiteral("name"), t.interfaceName},
        {QStringLiteral("folder"), itf.folder},
        {QStringLiteral("first_day"), t.firstDay ? QJsonValue(t.firstDay->toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("today"), AmountsObject(t.todayBytes.received, t.todayBytes.sent)},
        {QStringLiteral("month"), AmountsObject(t.monthBytes.received, t.monthBytes.sent)},
        // What the window shows is cut too, only to hundredths of its unit.
        {QStringLiteral("forecast"),
         AmountsObject(std::floor(t.forecastBytes.received), std::floor(t.forecastBytes.sent))},
        {QStringLiteral("since_first_day"), AmountsObject(t.sinceFirstDayBytes.received, t.sinceFirstDayBytes.sent)},
        {QStringLiteral("days"), days},
        {QStringLiteral("months"), months},
    };
}

QString GroupLine(const QString& caption, const TotalsGroup& g)
{
    return caption + QStringLiteral(" : reçus ") + g.received + QStringLiteral(", envoyés ") + g.sent +
           QStringLiteral(", total ") + g.both + QLatin1Char('\n');
}

// The window's header and rows in columns: dates to the left, amounts to the right.
QString Table(const QStringList& header, const std::vector<TotalsRow>& rows)
{
    std::vector<QStringList> lines{header};
    for (const TotalsRow& r : rows)
        lines.push_back({r.label, r.received, r.sent, r.both});
    qsizetype widths[4] = {};
    for (const QStringList& line : lines)
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], line.value(c).size());
    QString text;
    for (const QStringList& line : lines)
    {
        QString row = line.value(0).leftJustified(widths[0]);
        for (int c = 1; c < 4; ++c)
            row += QStringLiteral("  ") + line.value(c).rightJustified(widths[c]);
        text += row + QLatin1Char('\n');
    }
    return text;
}

QString InterfaceText(const InterfaceFolder& itf)
{
    const TotalsReport& t = itf.totals;
    QString text = t.interfaceName + QStringLiteral(" (") + itf.folder + QStringLiteral(")\n");
    text += GroupLine(QStringLiteral("Aujourd'hui"), t.today);
    text += GroupLine(QStringLiteral("Ce mois-ci"), t.month);
    text += GroupLine(QStringLiteral("Prévision du mois"), t.forecast);
    if (!t.firstDay)
    {
        text += GroupLine(QStringLiteral("Depuis le début"), t.sinceFirstDay);
        return text + QStringLiteral("Aucun jour enregistré.\n");
    }
    text += GroupLine(QStringLiteral("Depuis le ") + DateText(*t.firstDay), t.sinceFirstDay);
    text += QStringLiteral("\nPar jour :\n") + Table(t.header, t.daily);
    text += QStringLiteral("\nPar mois :\n") + Table(t.header, t.monthly);
    return text;
}

QString KnownNames(const std::vector<InterfaceFolder>& interfaces)
{
    QStringList names;
    for (const InterfaceFolder& itf : interfaces)
        names << (itf.totals.interfaceName == itf.folder
                      ? itf.folder
                      : itf.totals.interfaceName + QStringLiteral(" (") + itf.folder + QLatin1Char(')'));
    return names.join(QStringLiteral(", "));
}
} // namespace

StoreInterfaces InterfacesOf(const QString& storeRoot, const QDate& today)
{
    StoreInterfaces store;
    const QDir root(storeRoot);
    QStringList folders = root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    // By code points, whatever the locale.
    std::sort(folders.begin(), folders.end());
    for (const QString& folder : folders)
    {
        const DescriptorText read = ReadDescriptorText(root.filePath(folder));
        if (read.bytes)
            store.interfaces.push_back({folder, TotalsWalk::LoadText(*read.bytes, today)});
        else if (!read.message.isEmpty())
            store.ignoredFiles << read.message;
    }
    return store;
}

ReportOutcome RunReport(const QString& storeRoot, const std::optional<QString>& interfaceName, bool json,
                        const QDate& today)
{
    StoreInterfaces store = InterfacesOf(storeRoot, today);
    ReportOutcome outcome;
    QStringList errors = store.ignoredFiles;
    const QString root = QDir::toNativeSeparators(QDir::cleanPath(storeRoot));
    std::vector<InterfaceFolder> chosen;
    if (store.interfaces.empty())
        errors << QStringLiteral("VORP : aucune statistique dans %1.").arg(root);
    else if (!interfaceName)
        chosen = std::move(store.interfaces);
    else
    {
        // Folder names are unique; display names need not be, so each interface of that name is shown.
        for (const bool byFolder : {true, false})
        {
            for (const InterfaceFolder& itf : store.interfaces)
                if ((byFolder ? itf.folder : itf.totals.interfaceName) == *interfaceName)
                    chosen.push_back(itf);
            if (!chosen.empty())
                break;
        }
        if (chosen.empty())
            errors << QStringLiteral("VORP : aucune interface « %1 » dans %2. Interfaces connues : %3.")
                          .arg(*interfaceName, root, KnownNames(store.interfaces));
    }
    outcome.error = errors.join(QLatin1Char('\n'));
    if (chosen.empty())
    {
        outcome.status = 1;
        return outcome;
    }

    if (json)
    {
        QJsonArray interfaces;
        for (const InterfaceFolder& itf : chosen)
            interfaces.append(InterfaceObject(itf));
        outcome.out = QJsonDocument(QJsonObject{{QStringLiteral("interfaces"), interfaces}}).toJson();
    }
    else
    {
        QStringList texts;
        for (const InterfaceFolder& itf : chosen)
            texts << InterfaceText(itf);
        outcome.out = texts.join(QLatin1Char('\n')).toUtf8();
    }
    return outcome;
}
} // namespace reports
