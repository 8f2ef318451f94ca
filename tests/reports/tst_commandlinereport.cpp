// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CommandLineReport.h"
#include "reports/Totals.h"
#include "store/StoreLock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <utility>

#include <sys/stat.h>

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

// A report made at noon of today.
ReportOutcome Report(const QString& root, const ReportOptions& options, const QDate& today)
{
    return RunReport(root, options, QDateTime(today, QTime(12, 0)));
}

std::optional<QString> Optional(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// A copy of a store of tests/data, for a test to change or lock.
bool CopyFixture(const QString& from, const QString& to)
{
    if (from.isEmpty())
        return false;
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(file);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

// Everything under dir, hidden or not, to tell that nothing was made there.
QStringList Entries(const QString& dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    entries.sort();
    return entries;
}

QJsonObject Document(const ReportOutcome& outcome)
{
    return QJsonDocument::fromJson(outcome.out).object();
}

QJsonObject OnlyInterface(const ReportOutcome& outcome)
{
    const QJsonArray interfaces =
        QJsonDocument::fromJson(outcome.out).object().value(QStringLiteral("interfaces")).toArray();
    return interfaces.size() == 1 ? interfaces.first().toObject() : QJsonObject();
}

QString Text(const QJsonValue& v)
{
    return v.isNull() ? QStringLiteral("null") : v.toVariant().toString();
}

// "received sent" of an amounts object, for one comparison per figure.
QString Pair(const QJsonValue& amounts)
{
    const QJsonObject o = amounts.toObject();
    return Text(o.value(QStringLiteral("received"))) + QLatin1Char(' ') + Text(o.value(QStringLiteral("sent")));
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
        const ReportOutcome outcome = Report(tmp.path(), {.json = true}, today);
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
        const ReportOutcome outcome =
            Report(tmp.path(), {.interfaceName = Optional(argument), .json = true}, QDate(2004, 6, 15));
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
        QTest::newRow("missing store") << "absent" << QString() << 1
                                       << "VORP : le dossier des statistiques %1 n'existe pas.";
        QTest::newRow("missing store and parents")
            << "absent/share/VORP" << QString() << 1 << "VORP : le dossier des statistiques %1 n'existe pas.";
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
        const QStringList before = Entries(tmp.path());
        for (const bool json : {false, true})
        {
            const ReportOutcome outcome =
                Report(root, {.interfaceName = Optional(argument), .json = json, .samples = json}, QDate(2004, 6, 15));
            QTEST(outcome.status, "status");
            QFETCH(QString, error);
            QCOMPARE(outcome.error, error.arg(root));
            QCOMPARE(outcome.out.isEmpty(), outcome.status != 0);
        }
        // A report only reads: not even a missing store root is made.
        QCOMPARE(Entries(tmp.path()), before);
    }

    void textForm()
    {
        QTemporaryDir tmp;
        // 30 June and 1 July 2004, today.
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("eth0"), "Carte réseau",
                               S({"38168D=2097152", "38168U=0", "38169D=1536", "38169U=512"})));
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("lo0"), "lo0", {}));
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/reportstore/noname"), tmp.filePath(QStringLiteral("noname"))));
        const ReportOutcome outcome = Report(tmp.path(), {}, QDate(2004, 7, 1));
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
                     // Without "ifname", the folder alone.
                     "noname",
                     "Aujourd'hui : reçus 10 octets, envoyés 20 octets, total 30 octets",
                     "Ce mois-ci : reçus 10 octets, envoyés 20 octets, total 30 octets",
                     "Prévision du mois : reçus 310 octets, envoyés 620 octets, total 930 octets",
                     "Depuis le 01/07/2004 : reçus 10 octets, envoyés 20 octets, total 30 octets",
                     "",
                     "Par jour :",
                     "Date               DL         UL      Total",
                     "01/07/2004  10 octets  20 octets  30 octets",
                     "",
                     "Par mois :",
                     "Date           DL         UL      Total",
                     "7/2004  10 octets  20 octets  30 octets",
                     "",
                 }));
    }

    // tests/data/reportstore at 14:35:07 on 2 July 2004: eth0 with its day files, and a folder whose nic.inf
    // has no "ifname".
    void jsonForm_data()
    {
        QTest::addColumn<bool>("pretty");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("generated");
        QTest::newRow("compact") << false << QDateTime(QDate(2004, 7, 2), QTime(14, 35, 7)) << "2004-07-02T14:35:07";
        QTest::newRow("pretty, milliseconds cut")
            << true << QDateTime(QDate(2004, 7, 2), QTime(9, 5, 3, 999)) << "2004-07-02T09:05:03";
    }
    void jsonForm()
    {
        QFETCH(bool, pretty);
        QFETCH(QDateTime, now);
        QTemporaryDir tmp;
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/reportstore"), tmp.path()));
        const ReportOutcome outcome = RunReport(tmp.path(), {.json = true, .pretty = pretty}, now);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.error, QString());
        const QJsonObject document = Document(outcome);
        QCOMPARE(outcome.out, pretty ? QJsonDocument(document).toJson(QJsonDocument::Indented)
                                     : QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n');
        QCOMPARE(outcome.out.count('\n') > 1, pretty);

        QCOMPARE(document.keys(), S({"generated", "interfaces", "version", "warnings"}));
        QCOMPARE(document.value(QStringLiteral("version")), QJsonValue(1));
        QTEST(document.value(QStringLiteral("generated")).toString(), "generated");
        QCOMPARE(document.value(QStringLiteral("warnings")), QJsonValue(QJsonArray()));
        const QJsonArray interfaces = document.value(QStringLiteral("interfaces")).toArray();
        QCOMPARE(interfaces.size(), 2);
        const QJsonObject eth0 = interfaces[0].toObject(), noname = interfaces[1].toObject();
        QCOMPARE(eth0.value(QStringLiteral("name")), QJsonValue(QStringLiteral("Carte réseau")));
        QCOMPARE(eth0.value(QStringLiteral("last_sample")), QJsonValue(QStringLiteral("2004-07-02T14:30:07")));
        QCOMPARE(eth0.value(QStringLiteral("recording")), QJsonValue(false));
        QVERIFY(!eth0.value(QStringLiteral("days")).toArray().first().toObject().contains(QStringLiteral("samples")));
        QCOMPARE(noname.value(QStringLiteral("folder")), QJsonValue(QStringLiteral("noname")));
        QCOMPARE(noname.value(QStringLiteral("name")), QJsonValue(QJsonValue::Null));
        QCOMPARE(noname.value(QStringLiteral("last_sample")), QJsonValue(QJsonValue::Null));
        QCOMPARE(Pair(noname.value(QStringLiteral("today"))), QStringLiteral("0 0"));
    }

    // eth0 of tests/data/reportstore, today 2 July 2004: 31 May, 30 June (2^33 bytes received, in two samples
    // of 2^32), 1 July (its samples written out of order), 2 July.
    void limitsAndSamples_data()
    {
        QTest::addColumn<QDate>("begin"); // invalid for none
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QStringList>("months");
        QTest::addColumn<QStringList>("samples"); // of every day listed, in order

        const QStringList may = S({"2004-05-31 1000 100"}), june = S({"2004-06-30 8589934592 300"}),
                          july1 = S({"2004-07-01 5000 500"}), july2 = S({"2004-07-02 7000 700"});
        const QStringList juneSamples = S({"2004-06-30T23:50:07 4294967296 100", "2004-06-30T23:55:07 4294967296 200"});
        const QStringList july1Samples = S({"2004-07-01T00:00:07 3000 300", "2004-07-01T00:05:07 2000 200"});
        const QStringList july2Samples = S({"2004-07-02T14:25:07 4000 400", "2004-07-02T14:30:07 3000 300"});
        QTest::newRow("no limits") << QDate() << QDate() << may + june + july1 + july2
                                   << S({"2004-05 1000 100", "2004-06 8589934592 300", "2004-07 12000 1200"})
                                   << juneSamples + july1Samples + july2Samples;
        QTest::newRow("across a month end: each month with its days in range")
            << QDate(2004, 6, 30) << QDate(2004, 7, 1) << june + july1
            << S({"2004-06 8589934592 300", "2004-07 5000 500"}) << juneSamples + july1Samples;
        QTest::newRow("begin alone, on the last day")
            << QDate(2004, 7, 2) << QDate() << july2 << S({"2004-07 7000 700"}) << july2Samples;
        QTest::newRow("end alone, on the first day, which has no day file")
            << QDate() << QDate(2004, 5, 31) << may << S({"2004-05 1000 100"}) << QStringList();
        QTest::newRow("a range between the days lists none")
            << QDate(2004, 6, 1) << QDate(2004, 6, 29) << QStringList() << QStringList() << QStringList();
    }
    void limitsAndSamples()
    {
        QFETCH(QDate, begin);
        QFETCH(QDate, end);
        QFETCH(QStringList, days);
        QTemporaryDir tmp;
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/reportstore"), tmp.path()));
        ReportOptions options{.interfaceName = QStringLiteral("eth0"), .json = true, .samples = true};
        if (begin.isValid())
            options.begin = begin;
        if (end.isValid())
            options.end = end;
        const ReportOutcome outcome = Report(tmp.path(), options, QDate(2004, 7, 2));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.error, QString());
        const QJsonObject itf = OnlyInterface(outcome);
        QCOMPARE(Rows(itf.value(QStringLiteral("days")), QStringLiteral("date")), days);
        QTEST(Rows(itf.value(QStringLiteral("months")), QStringLiteral("month")), "months");
        QStringList samples;
        for (const QJsonValue& day : itf.value(QStringLiteral("days")).toArray())
        {
            QVERIFY(day.toObject().value(QStringLiteral("samples")).isArray());
            samples += Rows(day.toObject().value(QStringLiteral("samples")), QStringLiteral("time"));
        }
        QTEST(samples, "samples");
        // The other figures are those of every day.
        QCOMPARE(itf.value(QStringLiteral("first_day")), QJsonValue(QStringLiteral("2004-05-31")));
        QCOMPARE(Pair(itf.value(QStringLiteral("today"))), QStringLiteral("7000 700"));
        QCOMPARE(Pair(itf.value(QStringLiteral("month"))), QStringLiteral("12000 1200"));

        // The text lists the same days.
        options.json = options.samples = false;
        const QString text = QString::fromUtf8(Report(tmp.path(), options, QDate(2004, 7, 2)).out);
        QStringList textDays;
        static const QRegularExpression dayRow(QStringLiteral("^(\\d\\d)/(\\d\\d)/(\\d{4}) "),
                                               QRegularExpression::MultilineOption);
        for (auto it = dayRow.globalMatch(text); it.hasNext();)
        {
            const QRegularExpressionMatch m = it.next();
            textDays << m.captured(3) + QLatin1Char('-') + m.captured(2) + QLatin1Char('-') + m.captured(1);
        }
        QStringList dates;
        for (const QString& day : days)
            dates << day.section(QLatin1Char(' '), 0, 0);
        QCOMPARE(textDays, dates);
        QCOMPARE(text.contains(QStringLiteral("Aucun jour dans les limites données.")), days.isEmpty());
    }

    // tests/data/damagedstore, today 2 July 2004: damaged totals in nic.inf, an unreadable sample line, and
    // files and a folder the store never reads.
    void damagedStore()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath(QStringLiteral("store"));
        const QString dir = root + QStringLiteral("/eth0");
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/damagedstore"), root));
        QFile large(dir + QStringLiteral("/38167.mdf"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.write(QByteArray(1048577, '\n')) == 1048577);
        large.close();
        QFile outside(tmp.filePath(QStringLiteral("outside.mdf")));
        QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write("00:00:071U1\r\n") == 13);
        outside.close();
        QVERIFY(QFile::link(outside.fileName(), dir + QStringLiteral("/38168.mdf")));
        QCOMPARE(mkfifo(QFile::encodeName(dir + QStringLiteral("/38170.mdf")).constData(), 0600), 0);
        QVERIFY(WriteInterface(tmp.path(), QStringLiteral("elsewhere"), "eth1", S({"38170D=1", "38170U=1"})));
        QVERIFY(QFile::link(tmp.filePath(QStringLiteral("elsewhere")), root + QStringLiteral("/eth1")));

        const ReportOutcome outcome = Report(root, {.json = true, .samples = true}, QDate(2004, 7, 2));
        QCOMPARE(outcome.status, 0);
        const QJsonObject document = Document(outcome);
        const QStringList warnings = {
            QStringLiteral("Dossier ignoré : %1/eth1 est un lien symbolique").arg(root),
            QStringLiteral("Total endommagé dans %1/nic.inf : 38168D=-5 (compté 0)").arg(dir),
            QStringLiteral("Total endommagé dans %1/nic.inf : 38169D=nan (compté 0)").arg(dir),
            QStringLiteral("Total endommagé dans %1/nic.inf : 38169U=1e39 (compté 0)").arg(dir),
            QStringLiteral("Total endommagé dans %1/nic.inf : 38170U=n/a (compté 0)").arg(dir),
            QStringLiteral("Fichier ignoré : %1/38167.mdf est trop grand (1048577 octets, au plus 1048576 attendus)")
                .arg(dir),
            QStringLiteral("Fichier ignoré : %1/38168.mdf n'est pas un fichier ordinaire").arg(dir),
            QStringLiteral("Lignes illisibles ignorées dans %1/38169.mdf : 1").arg(dir),
            QStringLiteral("Fichier ignoré : %1/38170.mdf n'est pas un fichier ordinaire").arg(dir),
        };
        QCOMPARE(document.value(QStringLiteral("warnings")).toVariant().toStringList(), warnings);
        QCOMPARE(outcome.error, warnings.join(QLatin1Char('\n')));

        // A damaged day's figure is null; the sums count it as 0, so -5 takes nothing off June.
        const QJsonObject itf = OnlyInterface(outcome);
        QCOMPARE(itf.value(QStringLiteral("folder")), QJsonValue(QStringLiteral("eth0")));
        QCOMPARE(Rows(itf.value(QStringLiteral("days")), QStringLiteral("date")),
                 S({"2004-06-29 2000 200", "2004-06-30 null 300", "2004-07-01 null null", "2004-07-02 7000 null"}));
        QCOMPARE(Rows(itf.value(QStringLiteral("months")), QStringLiteral("month")),
                 S({"2004-06 2000 500", "2004-07 7000 0"}));
        QCOMPARE(Pair(itf.value(QStringLiteral("today"))), QStringLiteral("7000 null"));
        QCOMPARE(Pair(itf.value(QStringLiteral("month"))), QStringLiteral("7000 0"));
        QCOMPARE(Pair(itf.value(QStringLiteral("forecast"))), QStringLiteral("108500 0"));
        QCOMPARE(Pair(itf.value(QStringLiteral("since_first_day"))), QStringLiteral("9000 500"));
        // A refused day file has null samples; the newest sample is that of the newest file read.
        QStringList samples;
        for (const QJsonValue& day : itf.value(QStringLiteral("days")).toArray())
        {
            const QJsonValue list = day.toObject().value(QStringLiteral("samples"));
            samples << (list.isNull() ? QStringLiteral("null")
                                      : Rows(list, QStringLiteral("time")).join(QStringLiteral(", ")));
        }
        QCOMPARE(samples, S({"null", "null", "2004-07-01T00:05:07 5000 500", "null"}));
        QCOMPARE(itf.value(QStringLiteral("last_sample")), QJsonValue(QStringLiteral("2004-07-01T00:05:07")));
    }

    // tests/data/planstore at midnight on 4 June 2027: eth0 used 50 000 000 bytes in 1 to 3 June (and 2 000 000
    // on 31 May), 3 June's day file holds 44 samples of 500 B/s received and 100 B/s sent and one of 5000 and
    // 600; wlan0 has no plan.
    void planInTheReport()
    {
        QTemporaryDir tmp;
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/planstore"), tmp.path()));
        ReportOptions options{.json = true};
        options.plans = {{QStringLiteral("eth0/cycle"), QStringLiteral("month:1")},
                         {QStringLiteral("eth0/allowance"), QStringLiteral("60000000")},
                         {QStringLiteral("eth0/warn"), QStringLiteral("50,80")},
                         {QStringLiteral("ppp0/cycle"), QStringLiteral("day")}};
        const QDateTime now(QDate(2027, 6, 4), QTime(0, 0));
        ReportOutcome outcome = RunReport(tmp.path(), options, now);
        QCOMPARE(outcome.status, 0);
        const QString unknown =
            QStringLiteral("Forfait de « ppp0 » : aucune statistique de cette interface dans %1.").arg(tmp.path());
        QCOMPARE(outcome.error, unknown);
        const QJsonObject document = Document(outcome);
        QCOMPARE(document.value(QStringLiteral("warnings")).toVariant().toStringList(), QStringList{unknown});
        const QJsonArray interfaces = document.value(QStringLiteral("interfaces")).toArray();
        QCOMPARE(interfaces.size(), 2);
        QCOMPARE(interfaces[1].toObject().value(QStringLiteral("plan")), QJsonValue(QJsonValue::Null));

        QJsonObject plan = interfaces[0].toObject().value(QStringLiteral("plan")).toObject();
        // 50 000 000 of 60 000 000; 3 of 30 days gone, 27 left with today; 864 slots of which the top 43 go.
        QCOMPARE(plan.take(QStringLiteral("percent")).toDouble(), 250.0 / 3);
        const QJsonObject expected{
            {QStringLiteral("cycle"), QStringLiteral("month:1")},
            {QStringLiteral("cycle_start"), QStringLiteral("2027-06-01T00:00:00")},
            {QStringLiteral("cycle_end"), QStringLiteral("2027-07-01T00:00:00")},
            {QStringLiteral("allowance"), 60000000},
            {QStringLiteral("count"), QStringLiteral("both")},
            {QStringLiteral("offpeak"), QJsonValue()},
            {QStringLiteral("used"), 50000000},
            {QStringLiteral("expected"), 6000000},
            {QStringLiteral("projected"), 500000000},
            {QStringLiteral("remaining"), 10000000},
            {QStringLiteral("per_day"), 370370},
            {QStringLiteral("thresholds_crossed"), QJsonArray{50, 80}},
            {QStringLiteral("p95_bytes_per_second"),
             QJsonObject{{QStringLiteral("received"), 500}, {QStringLiteral("sent"), 100}}},
            {QStringLiteral("peak_bytes_per_second"),
             QJsonObject{{QStringLiteral("received"), 5000}, {QStringLiteral("sent"), 600}}},
        };
        QCOMPARE(plan, expected);

        // The text gives the same figures in the window's units, after the totals since the first day.
        options.json = false;
        outcome = RunReport(tmp.path(), options, now);
        const QStringList lines = QString::fromUtf8(outcome.out).split(QLatin1Char('\n'));
        const qsizetype at =
            lines.indexOf(QStringLiteral("Forfait, cycle du 01/06/2027 au 30/06/2027 (reçus et envoyés) :"));
        QVERIFY(at > 0 && lines[at - 1].startsWith(QStringLiteral("Depuis le 31/05/2027 : ")));
        QCOMPARE(
            lines.mid(at + 1, 6),
            S({"  Utilisé : 47,68Mo sur 57,22Mo (83,3 %) ; attendu à ce jour : 5,72Mo",
               "  Reste : 9,53Mo, soit 361,68Ko par jour pendant 27 jours", "  Prévision en fin de cycle : 476,83Mo",
               "  95e centile : reçus 500 octets/s, envoyés 100 octets/s ; pointe : reçus 4,88Ko/s, envoyés 600 "
               "octets/s",
               "  Seuils atteints : 50 %, 80 %", ""}));
        QCOMPARE(outcome.error, unknown);
    }

    // --check-plans on tests/data/planstore at midnight on 4 June 2027 (eth0: 50 000 000 bytes, 41 500 000 of
    // them received).
    void checkPlans_data()
    {
        QTest::addColumn<QStringList>("plan"); // eth0's settings
        QTest::addColumn<QString>("interface");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("error");
        const QStringList allowance{QStringLiteral("cycle=month:1"), QStringLiteral("allowance=60000000")};
        QTest::newRow("past 80 %: the highest threshold reached")
            << allowance + S({"warn=50,80"}) << QString() << 1
            << "eth0 : seuil de 80 % atteint, 83,3 % du forfait utilisé (47,68Mo sur 57,22Mo), cycle du 01/06/2027 "
               "au 30/06/2027.\n"
            << QString();
        QTest::newRow("received only: past 50 %")
            << allowance + S({"warn=50,80", "count=received"}) << QString() << 1
            << "eth0 : seuil de 50 % atteint, 69,1 % du forfait utilisé (39,57Mo sur 57,22Mo), cycle du 01/06/2027 "
               "au 30/06/2027.\n"
            << QString();
        QTest::newRow("under every threshold")
            << allowance + S({"warn=90"}) << QString() << 0 << QString() << QString();
        QTest::newRow("no threshold at all") << allowance + S({"warn="}) << QString() << 0 << QString() << QString();
        QTest::newRow("no allowance") << S({"cycle=month:1"}) << QString() << 0 << QString() << QString();
        QTest::newRow("no plan") << QStringList() << QString() << 0 << QString() << QString();
        QTest::newRow("another interface asked for")
            << allowance << QStringLiteral("wlan0") << 0 << QString() << QString();
        QTest::newRow("a bad value: told, and the plan not checked")
            << S({"cycle=month:1", "allowance=60 Mo"}) << QString() << 0 << QString()
            << "Forfait de « eth0 » ignoré : allowance=60 Mo n'est pas valide (attendu : un nombre entier d'octets "
               "par cycle, 0 pour aucun).";
    }
    void checkPlans()
    {
        QFETCH(QStringList, plan);
        QFETCH(QString, interface);
        QTemporaryDir tmp;
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/planstore"), tmp.path()));
        ReportOptions options{.interfaceName = Optional(interface)};
        options.checkPlans = true;
        for (const QString& setting : plan)
            options.plans.insert(QStringLiteral("eth0/") + setting.section(QLatin1Char('='), 0, 0),
                                 setting.section(QLatin1Char('='), 1));
        const ReportOutcome outcome = RunReport(tmp.path(), options, QDateTime(QDate(2027, 6, 4), QTime(0, 0)));
        QTEST(outcome.status, "status");
        QTEST(QString::fromUtf8(outcome.out), "out");
        QTEST(outcome.error, "error");
    }

    void recordingFollowsTheStoreLock()
    {
        QTemporaryDir tmp;
        QVERIFY(CopyFixture(QFINDTESTDATA("../data/reportstore"), tmp.path()));
        const auto recording = [&] {
            QList<bool> flags;
            const ReportOutcome outcome = Report(tmp.path(), {.json = true}, QDate(2004, 7, 2));
            for (const QJsonValue& itf : Document(outcome).value(QStringLiteral("interfaces")).toArray())
                flags << itf.toObject().value(QStringLiteral("recording")).toBool();
            return flags;
        };
        QCOMPARE(recording(), (QList<bool>{false, false}));
        StoreLock lock(tmp.path());
        QCOMPARE(lock.tryAcquire(), StoreLock::Result::Acquired);
        QCOMPARE(recording(), (QList<bool>{true, true}));
        lock.release();
        QCOMPARE(recording(), (QList<bool>{false, false}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLineReport)
#include "tst_commandlinereport.moc"
