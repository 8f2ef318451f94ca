// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CommandLineReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <utility>

using namespace reports;

namespace
{
// A folder of the store with nic.inf as the recorder leaves it.
bool WriteInterface(const QString& root, const QString& folder, const QByteArray& ifname, const QStringList& dataLines)
{
    QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=" + ifname + "\r\n\r\n[data]\r\n";
    for (const QString& line : dataLines)
        text += line.toUtf8() + "\r\n";
    QFile f(root + QLatin1Char('/') + folder + QStringLiteral("/nic.inf"));
    return QDir(root).mkpath(folder) && f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QStringList S(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

QJsonObject OnlyInterface(const ReportOutcome& outcome)
{
    const QJsonArray interfaces =
        QJsonDocument::fromJson(outcome.out).object().value(QStringLiteral("interfaces")).toArray();
    return interfaces.size() == 1 ? interfaces.first().toObject() : QJsonObject();
}

// "received sent" of an amounts object, for one comparison per figure.
QString Pair(const QJsonValue& amounts)
{
    const QJsonObject o = amounts.toObject();
    return o.value(QStringLiteral("received")).toVariant().toString() + QLatin1Char(' ') +
           o.value(QStringLiteral("sent")).toVariant().toString();
}

QStringList Rows(const QJsonValue& rows, const QString& key)
{
    QStringList list;
    for (const QJsonValue& row : rows.toArray())
        list << row.toObject().value(key).toString() + QLatin1Char(' ') + Pair(row);
    return list;
}

// Whether a text the window shows ("1,5 Ko", "2Mo", "999 octets") stands for bytes: shown amounts are cut
// to hundredths of their unit. slack widens the range by that many bytes.
bool Shows(const QString& text, const QJsonValue& bytes, double slack = 0)
{
    double unit = 1;
    QString number = text;
    for (const auto& [suffix, size] :
         {std::pair{"octets", 1.0}, {"Ko", 1024.0}, {"Mo", 1048576.0}, {"Go", 1073741824.0}})
        if (text.endsWith(QLatin1String(suffix)))
        {
            unit = size;
            number.chop(qsizetype(std::strlen(suffix)));
        }
    const double shown = number.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * unit;
    const double v = bytes.toDouble();
    return bytes.isDouble() && shown - slack <= v && v < shown + 0.01 * unit + slack;
}
} // namespace

class TestCommandLineReport final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    // Each figure as "received sent" in bytes, worked out by hand from the lines.
    void jsonGivesTheWindowsNumbers_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("todayBytes");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("forecast");
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("firstDay"); // empty for null
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QStringList>("months");

        QTest::newRow("empty data section") << QStringList() << QDate(2003, 3, 11) << "0 0"
                                            << "0 0"
                                            << "0 0"
                                            << "0 0" << QString() << QStringList() << QStringList();
        // 15 June 2004 is day 38153.
        QTest::newRow("one day, today, the 15th of a 30-day month")
            << S({"38153D=1536", "38153U=512"}) << QDate(2004, 6, 15) << "1536 512"
            << "1536 512"
            << "3072 1024"
            << "1536 512"
            << "2004-06-15" << S({"2004-06-15 1536 512"}) << S({"2004-06 1536 512"});
        QTest::newRow("across a month end, today the day after the last")
            << S({"38168D=2097152", "38168U=0", "38169D=1000", "38169U=3000"}) << QDate(2004, 7, 2) << "0 0"
            << "1000 3000"
            << "15500 46500"
            << "2098152 3000"
            << "2004-06-30" << S({"2004-06-30 2097152 0", "2004-07-01 1000 3000"})
            << S({"2004-06 2097152 0", "2004-07 1000 3000"});
        // Day 46812 is 29 February 2028; the 1 March after it is not of today's month.
        QTest::newRow("leap day, today, with 1 March after it")
            << S({"46811D=1048576", "46811U=100", "46812D=2097153", "46812U=7", "46813D=9", "46813U=9"})
            << QDate(2028, 2, 29) << "2097153 7"
            << "3145729 107"
            << "3145729 107"
            << "3145738 116"
            << "2028-02-28" << S({"2028-02-28 1048576 100", "2028-02-29 2097153 7", "2028-03-01 9 9"})
            << S({"2028-02 3145729 107", "2028-03 9 9"});
        QTest::newRow("today in a month without days")
            << S({"46783D=5000", "46783U=6000"}) << QDate(2028, 2, 29) << "0 0"
            << "0 0"
            << "0 0"
            << "5000 6000"
            << "2028-01-31" << S({"2028-01-31 5000 6000"}) << S({"2028-01 5000 6000"});
        // 25 / 3 × 30 is 249.999... when divided first.
        QTest::newRow("a forecast of whole bytes is not cut below them")
            << S({"38141D=25", "38141U=50"}) << QDate(2004, 6, 3) << "25 50"
            << "25 50"
            << "250 500"
            << "25 50"
            << "2004-06-03" << S({"2004-06-03 25 50"}) << S({"2004-06 25 50"});
        // 10^16 is kept as the float 10000000272564224, which a double would write as 1.0000000272564224e+16.
        QTest::newRow("amounts past 2^53 written whole")
            << S({"38153D=10000000000000000", "38153U=0"}) << QDate(2004, 6, 15) << "10000000272564224 0"
            << "10000000272564224 0"
            << "20000000545128448 0"
            << "10000000272564224 0"
            << "2004-06-15" << S({"2004-06-15 10000000272564224 0"}) << S({"2004-06 10000000272564224 0"});
        QTest::newRow("sums past 2^24 are the window's float sums")
            << S({"38168D=16777216", "38168U=0", "38169D=1", "38169U=0"}) << QDate(2004, 7, 1) << "1 0"
            << "1 0"
            << "31 0"
            << "16777216 0"
            << "2004-06-30" << S({"2004-06-30 16777216 0", "2004-07-01 1 0"})
            << S({"2004-06 16777216 0", "2004-07 1 0"});
    }
    void jsonGivesTheWindowsNumbers()
    {
        QFETCH(QStringList, lines);
        QFETCH(QDate, today);
        QTemporaryDir tmp;
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("eth0"), "Carte réseau", lines));
        const ReportOutcome outcome = RunReport(tmp.path(), std::nullopt, true, today);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.error, QString());
        const QJsonObject itf = OnlyInterface(outcome);
        QCOMPARE(itf.value(QStringLiteral("name")).toString(), QStringLiteral("Carte réseau"));
        QCOMPARE(itf.value(QStringLiteral("folder")).toString(), QStringLiteral("eth0"));
        QTEST(Pair(itf.value(QStringLiteral("today"))), "todayBytes");
        QTEST(Pair(itf.value(QStringLiteral("month"))), "month");
        QTEST(Pair(itf.value(QStringLiteral("forecast"))), "forecast");
        QTEST(Pair(itf.value(QStringLiteral("since_first_day"))), "since");
        QFETCH(QString, firstDay);
        QCOMPARE(itf.value(QStringLiteral("first_day")).toString(), firstDay);
        QCOMPARE(itf.value(QStringLiteral("first_day")).isNull(), firstDay.isEmpty());
        QTEST(Rows(itf.value(QStringLiteral("days")), QStringLiteral("date")), "days");
        QTEST(Rows(itf.value(QStringLiteral("months")), QStringLiteral("month")), "months");

        // The same numbers are what the window's texts show.
        const TotalsReport window = TotalsWalk::Load(tmp.path() + QStringLiteral("/eth0"), today);
        const auto shows = [](const TotalsGroup& g, const QJsonValue& v, double slack = 0) {
            const QJsonObject o = v.toObject();
            return Shows(g.received, o.value(QStringLiteral("received")), slack) &&
                   Shows(g.sent, o.value(QStringLiteral("sent")), slack);
        };
        QVERIFY(shows(window.today, itf.value(QStringLiteral("today"))));
        QVERIFY(shows(window.month, itf.value(QStringLiteral("month"))));
        QVERIFY(shows(window.forecast, itf.value(QStringLiteral("forecast")), 1));
        QVERIFY(shows(window.sinceFirstDay, itf.value(QStringLiteral("since_first_day"))));
        const QJsonArray days = itf.value(QStringLiteral("days")).toArray();
        QCOMPARE(days.size(), qsizetype(window.daily.size()));
        for (qsizetype i = 0; i < days.size(); ++i)
        {
            const TotalsRow& row = window.daily[size_t(i)];
            const QJsonObject day = days[i].toObject();
            QCOMPARE(QDate::fromString(day.value(QStringLiteral("date")).toString(), Qt::ISODate),
                     QDate::fromString(row.label, QStringLiteral("dd/MM/yyyy")));
            QVERIFY(shows({row.received, row.sent, row.both}, day));
        }
        const QJsonArray months = itf.value(QStringLiteral("months")).toArray();
        QCOMPARE(months.size(), window.pairs > 0 ? qsizetype(window.monthly.size()) : 0);
        for (qsizetype i = 0; i < months.size(); ++i)
        {
            const TotalsRow& row = window.monthly[size_t(i)];
            const QJsonObject month = months[i].toObject();
            QCOMPARE(QDate::fromString(month.value(QStringLiteral("month")).toString(), QStringLiteral("yyyy-MM")),
                     QDate::fromString(row.label, QStringLiteral("M/yyyy")));
            QVERIFY(shows({row.received, row.sent, row.both}, month));
        }
    }

    // Folders sorted by name; an interface is chosen by its folder, else by its display name.
    void interfacesOfAStore_data()
    {
        QTest::addColumn<QString>("argument"); // empty for every interface
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("every interface, by folder name")
            << QString() << S({"IF01_lo", "eth0", "eth0-old", "wlan0", "wlan1"});
        QTest::newRow("by display name") << "lo" << S({"IF01_lo"});
        QTest::newRow("by folder name") << "IF01_lo" << S({"IF01_lo"});
        QTest::newRow("a folder's name before another's display name") << "eth0" << S({"eth0"});
        QTest::newRow("one display name, two folders") << "Wi-Fi" << S({"wlan0", "wlan1"});
    }
    void interfacesOfAStore()
    {
        QFETCH(QString, argument);
        QTemporaryDir tmp;
        for (const auto& [folder, name] : {std::pair{"wlan1", "Wi-Fi"},
                                           {"eth0", "eth0"},
                                           {"IF01_lo", "lo"},
                                           {"eth0-old", "eth0"},
                                           {"wlan0", "Wi-Fi"}})
            QVERIFY(WriteInterface(tmp.path(), QString::fromUtf8(folder), name, {}));
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("no descriptor")));
        const ReportOutcome outcome = RunReport(tmp.path(), argument.isEmpty() ? std::nullopt : std::optional(argument),
                                                true, QDate(2004, 6, 15));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.error, QString());
        QStringList shown;
        for (const QJsonValue& itf :
             QJsonDocument::fromJson(outcome.out).object().value(QStringLiteral("interfaces")).toArray())
            shown << itf.toObject().value(QStringLiteral("folder")).toString();
        QTEST(shown, "folders");
    }

    // %1 in error stands for the store root.
    void errors_data()
    {
        QTest::addColumn<QString>("store"); // under the temporary folder
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing store") << "absent" << QString() << 1 << "VORP : aucune statistique dans %1.";
        QTest::newRow("store without a nic.inf") << "bare" << QString() << 1 << "VORP : aucune statistique dans %1.";
        QTest::newRow("unknown interface")
            << "store"
            << "wlan9" << 1 << "VORP : aucune interface « wlan9 » dans %1. Interfaces connues : lo (IF01_lo), eth0.";
        QTest::newRow("a refused nic.inf is told, the others shown")
            << "refusing" << QString() << 0 << "Fichier ignoré : %1/refused/nic.inf n'est pas un fichier ordinaire";
    }
    void errors()
    {
        QFETCH(QString, store);
        QFETCH(QString, argument);
        QTemporaryDir tmp;
        const QString root = tmp.path() + QLatin1Char('/') + store;
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("bare/eth0")));
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("store/eth0"), "eth0", {}));
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("store/IF01_lo"), "lo", {}));
        // A folder where nic.inf should be a file.
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("refusing/refused/nic.inf")));
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("refusing/eth0"), "eth0", {}));
        for (const bool json : {false, true})
        {
            const ReportOutcome outcome =
                RunReport(root, argument.isEmpty() ? std::nullopt : std::optional(argument), json, QDate(2004, 6, 15));
            QTEST(outcome.status, "status");
            QFETCH(QString, error);
            QCOMPARE(outcome.error, error.arg(root));
            QCOMPARE(outcome.out.isEmpty(), outcome.status != 0);
        }
    }

    void textForm()
    {
        QTemporaryDir tmp;
        // 30 June and 1 July 2004, today.
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("eth0"), "Carte réseau",
                               S({"38168D=2097152", "38168U=0", "38169D=1536", "38169U=512"})));
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("lo0"), "lo0", {}));
        const ReportOutcome outcome = RunReport(tmp.path(), std::nullopt, false, QDate(2004, 7, 1));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(QString::fromUtf8(outcome.out).split(QLatin1Char('\n')),
                 S({
                     "Carte réseau (eth0)",
                     "Aujourd'hui : reçus 1,5Ko, envoyés 0,5Ko, total 2Ko",
                     "Ce mois-ci : reçus 1,5Ko, envoyés 0,5Ko, total 2Ko",
                     "Prévision du mois : reçus 46,5Ko, envoyés 15,5Ko, total 62Ko",
                     "Depuis le 30/06/2004 : reçus 2Mo, envoyés 0Mo, total 2Mo",
                     "",
                     "Par jour :",
                     "Date            DL      UL  Total",
                     "30/06/2004    2 Mo    0 Mo   2 Mo",
                     "01/07/2004  1,5 Ko  0,5 Ko   2 Ko",
                     "",
                     "Par mois :",
                     "Date        DL      UL  Total",
                     "6/2004    2 Mo    0 Mo   2 Mo",
                     "7/2004  1,5 Ko  0,5 Ko   2 Ko",
                     "",
                     "lo0 (lo0)",
                     "Aujourd'hui : reçus 0 octets, envoyés 0 octets, total 0 octets",
                     "Ce mois-ci : reçus 0 octets, envoyés 0 octets, total 0 octets",
                     "Prévision du mois : reçus 0 octets, envoyés 0 octets, total 0 octets",
                     "Depuis le début : reçus 0 octets, envoyés 0 octets, total 0 octets",
                     "Aucun jour enregistré.",
                     "",
                 }));
    }
};

QTEST_GUILESS_MAIN(TestCommandLineReport)
#include "tst_commandlinereport.moc"
