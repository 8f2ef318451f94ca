// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NumberText.h"
#include "reports/Totals.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using namespace reports;

namespace
{
// nic.inf as the recorder leaves it, with the given "data" lines.
QString WriteDescriptor(const QTemporaryDir& tmp, const QStringList& dataLines,
                        const QByteArray& ifname = "LAN adapter 10100 port 1")
{
    QByteArray text = "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=" + ifname + "\r\n\r\n[data]\r\n";
    for (const QString& line : dataLines)
        text += line.toUtf8() + "\r\n";
    QFile f(tmp.path() + QStringLiteral("/nic.inf"));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return {};
    return tmp.path();
}

QStringList S(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

QStringList Row(const TotalsRow& r)
{
    return {r.label, r.received, r.sent, r.both};
}
QStringList Group(const TotalsGroup& g)
{
    return {g.received, g.sent, g.both};
}
} // namespace

class TestTotals final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void chooseUnitAndFormat_data()
    {
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<bool>("table");
        QTest::addColumn<QString>("text");
        QTest::newRow("999 bytes at the start of a load") << 999.0 << 0.0 << true << "999 octets";
        QTest::newRow("1024 on both sides stays in octets") << 1024.0 << 1024.0 << true << "1024 octets";
        QTest::newRow("1025 received switches to Ko") << 1025.0 << 0.0 << true << "1 Ko";
        QTest::newRow("1025 sent switches to Ko") << 0.0 << 1025.0 << true << "0 Ko";
        QTest::newRow("1536 in a table") << 1536.0 << 0.0 << true << "1,5 Ko";
        QTest::newRow("1536 in a group") << 1536.0 << 0.0 << false << "1,5Ko";
        QTest::newRow("cut, not rounded: 1 MiB - 1") << 1048575.0 << 0.0 << true << "1023,99 Ko";
        QTest::newRow("1 MiB + 1 is Mo") << 1048577.0 << 0.0 << true << "1 Mo";
        QTest::newRow("3 GiB is Go") << 3221225472.0 << 0.0 << false << "3Go";
    }
    void chooseUnitAndFormat()
    {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(bool, table);
        QFETCH(QString, text);
        AmountUnit unit;
        unit.ChooseUnit(a, b, table ? kTableUnits : kGroupUnits);
        QCOMPARE(unit.FormatAmount(a), text);
    }

    // Amounts are written straight from their hundredths; what they stand for is FloatText of the cut
    // value. Each row sweeps count amounts from first by step, in the unit that the amount unit sets.
    void amountsAsTheGeneralFloatText_data()
    {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("unit"); // an amount that sets the unit
        QTest::newRow("bytes, by a third") << 0.0 << 1.0 / 3 << 30000 << 0.0;
        QTest::newRow("Ko, by 7 bytes") << 1025.0 << 7.0 << 30000 << 1025.0;
        QTest::newRow("Mo, by a little more than 1 KiB") << 1048577.0 << 1031.0 << 30000 << 1048577.0;
        QTest::newRow("Go, from 2^31 by 3 MiB and some") << 2147483648.0 << 3145735.0 << 30000 << 2147483648.0;
        QTest::newRow("damaged totals below zero") << -5000.0 << 0.37 << 30000 << 0.0;
        QTest::newRow("hundredths up to 10^13, written directly") << 99999999999.0 << 0.0013 << 30000 << 0.0;
        QTest::newRow("hundredths above 10^13, converted") << 100000000000.0 << 0.0123 << 30000 << 0.0;
        QTest::newRow("more than fifteen digits, rounded") << 12345678901234.0 << 0.01 << 30000 << 0.0;
        QTest::newRow("float totals near their largest") << 3.0e38 << 1.0e33 << 1000 << 0.0;
    }
    void amountsAsTheGeneralFloatText()
    {
        QFETCH(double, first);
        QFETCH(double, step);
        QFETCH(int, count);
        QFETCH(double, unit);
        AmountUnit amounts;
        amounts.ChooseUnit(unit, 0, kTableUnits);
        const long double divisor = amounts.divisor();
        for (int i = 0; i < count; ++i)
        {
            const long double v = static_cast<long double>(first) + static_cast<long double>(step) * i;
            const QString expected = FloatText(std::floor(v * 100.0L / divisor) * 0.01L) + amounts.text();
            if (amounts.FormatAmount(v) != expected)
                QFAIL(qPrintable(
                    QStringLiteral("%1 gives %2, not %3")
                        .arg(QString::number(static_cast<double>(v), 'g', 17), amounts.FormatAmount(v), expected)));
        }
    }

    void amountsOutsideNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("not a number shows 0") << std::nan("") << "0 octets";
        QTest::newRow("infinity shows 0") << std::numeric_limits<double>::infinity() << "0 octets";
        QTest::newRow("below zero keeps its sign") << -1.5 << "-1,5 octets";
        QTest::newRow("a quarter below zero") << -0.25 << "-0,25 octets";
    }
    void amountsOutsideNumbers()
    {
        QFETCH(double, value);
        QTEST(AmountUnit().FormatAmount(value), "text");
    }

    void unitCarriesOver()
    {
        AmountUnit unit;
        unit.ChooseUnit(5 * 1048576.0, 0, kTableUnits);
        unit.ChooseUnit(500, 0, kTableUnits);
        QCOMPARE(unit.FormatAmount(500), QStringLiteral("0 Mo"));
        unit.reset();
        QCOMPARE(unit.FormatAmount(500), QStringLiteral("500 octets"));
    }

    void twoDaysAcrossMonthEnd()
    {
        QTemporaryDir tmp;
        // 30 June 2003 (2 MiB received) then 1 July 2003 (3 MiB), its U line first.
        const QString dir = WriteDescriptor(tmp, {QStringLiteral("37802D=2097152"), QStringLiteral("37802U=0"),
                                                  QStringLiteral("37803U=0"), QStringLiteral("37803D=3145728")});
        QStringList progress;
        const TotalsReport r = TotalsWalk::Load(dir, QDate(2003, 7, 1), [&](const QString& text) { progress << text; });

        QCOMPARE(progress, (QStringList{QStringLiteral("Chargement en cours : 0%"),
                                        QStringLiteral("Chargement en cours : 50%")}));
        QCOMPARE(r.pairs, 2);
        QCOMPARE(r.interfaceName, QStringLiteral("LAN adapter 10100 port 1"));
        QCOMPARE(r.header, (S({"Date", "DL", "UL", "Total"})));
        QCOMPARE(r.daily.size(), size_t(2));
        QCOMPARE(Row(r.daily[0]), (S({"30/06/2003", "2 Mo", "0 Mo", "2 Mo"})));
        QCOMPARE(Row(r.daily[1]), (S({"01/07/2003", "3 Mo", "0 Mo", "3 Mo"})));
        QCOMPARE(r.monthly.size(), size_t(2));
        QCOMPARE(Row(r.monthly[0]), (S({"6/2003", "2 Mo", "0 Mo", "2 Mo"})));
        QCOMPARE(Row(r.monthly[1]), (S({"7/2003", "3 Mo", "0 Mo", "3 Mo"})));
        QCOMPARE(Group(r.today), (S({"3Mo", "0Mo", "3Mo"})));
        // 3 MiB on the 1st of a 31-day month.
        QCOMPARE(Group(r.forecast), (S({"93Mo", "0Mo", "93Mo"})));
        QCOMPARE(r.sinceFirstDayCaption, QStringLiteral("Transferts depuis le 30/6/2003"));
        QCOMPARE(Group(r.sinceFirstDay), (S({"5Mo", "0Mo", "5Mo"})));
    }

    void forecastOnThe15thOfA30DayMonth()
    {
        QTemporaryDir tmp;
        // 1 and 15 June 2004: 10 MiB received and 1 MiB sent so far.
        const QString dir = WriteDescriptor(tmp, {QStringLiteral("38139D=4194304"), QStringLiteral("38139U=524288"),
                                                  QStringLiteral("38153D=6291456"), QStringLiteral("38153U=524288")});
        const TotalsReport r = TotalsWalk::Load(dir, QDate(2004, 6, 15));
        QCOMPARE(Group(r.today), (S({"6Mo", "0,5Mo", "6,5Mo"})));
        QCOMPARE(Group(r.forecast), (S({"20Mo", "2Mo", "22Mo"})));
        QCOMPARE(Group(r.sinceFirstDay), (S({"10Mo", "1Mo", "11Mo"})));
    }

    void forecastUsesTheCurrentMonth_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("forecast");
        // A file whose last month is May says nothing about June.
        QTest::newRow("no day of the current month gives 0")
            << S({"38127D=10485760", "38127U=1048576"}) << QDate(2004, 6, 15) << S({"0 Mo", "0 Mo", "0 Mo"});
        QTest::newRow("February 2028 has 29 days")
            << S({"46783D=1048576", "46783U=1048576", "46784D=1048576", "46784U=0"}) << QDate(2028, 2, 1)
            << S({"29Mo", "0Mo", "29Mo"});
    }
    void forecastUsesTheCurrentMonth()
    {
        QFETCH(QStringList, lines);
        QFETCH(QDate, today);
        QFETCH(QStringList, forecast);
        QTemporaryDir tmp;
        const TotalsReport r = TotalsWalk::Load(WriteDescriptor(tmp, lines), today);
        QCOMPARE(Group(r.forecast), forecast);
    }

    void pairingSkipsStrayLines()
    {
        QTemporaryDir tmp;
        // A stray line before the first pair, a short key, and a last line without partner.
        const QString dir =
            WriteDescriptor(tmp, {QStringLiteral("junk=12"), QStringLiteral("37690D=100"), QStringLiteral("37690U=200"),
                                  QStringLiteral("3769D=5"), QStringLiteral("37691D=300"), QStringLiteral("37691U=400"),
                                  QStringLiteral("37692D=99999")});
        QStringList progress;
        const TotalsReport r =
            TotalsWalk::Load(dir, QDate(2003, 3, 11), [&](const QString& text) { progress << text; });
        QCOMPARE(progress,
                 (QStringList{QStringLiteral("Chargement en cours : 0%"), QStringLiteral("Chargement en cours : 42%"),
                              QStringLiteral("Chargement en cours : 85%")}));
        QCOMPARE(r.pairs, 2);
        QCOMPARE(r.daily.size(), size_t(2));
        QCOMPARE(Row(r.daily[0]), (S({"10/03/2003", "100 octets", "200 octets", "300 octets"})));
        QCOMPARE(Row(r.daily[1]), (S({"11/03/2003", "300 octets", "400 octets", "700 octets"})));
        QCOMPARE(r.monthly.size(), size_t(1));
        QCOMPARE(Group(r.today), (S({"300 octets", "400 octets", "700 octets"})));
        // 400 bytes by the 11th of a 31-day month forecast 1127 bytes: the groups switch to Ko, and the
        // last monthly row, written after them, keeps their unit.
        QCOMPARE(Group(r.forecast), (S({"1,1Ko", "1,65Ko", "2,75Ko"})));
        QCOMPARE(Row(r.monthly[0]), (S({"3/2003", "0,39Ko", "0,58Ko", "0,97Ko"})));
    }

    void smallDayAfterLargeDayKeepsTheUnit()
    {
        QTemporaryDir tmp;
        const QString dir = WriteDescriptor(tmp, {QStringLiteral("37690D=5242880"), QStringLiteral("37690U=0"),
                                                  QStringLiteral("37691D=500"), QStringLiteral("37691U=0")});
        const TotalsReport r = TotalsWalk::Load(dir, QDate(2003, 3, 11));
        QCOMPARE(Row(r.daily[0]), (S({"10/03/2003", "5 Mo", "0 Mo", "5 Mo"})));
        QCOMPARE(Row(r.daily[1]), (S({"11/03/2003", "0 Mo", "0 Mo", "0 Mo"})));
        // Today (500 bytes) is shown in the unit the last row chose, with its leading blank.
        QCOMPARE(Group(r.today), (S({"0 Mo", "0 Mo", "0 Mo"})));
    }

    void emptyDataSection()
    {
        QTemporaryDir tmp;
        QStringList progress;
        const TotalsReport r = TotalsWalk::Load(WriteDescriptor(tmp, {}, "eth0"), QDate(2003, 3, 11),
                                                [&](const QString& text) { progress << text; });
        QVERIFY(progress.isEmpty());
        QCOMPARE(r.pairs, 0);
        QVERIFY(r.daily.empty());
        QCOMPARE(r.monthly.size(), size_t(1));
        QCOMPARE(Row(r.monthly[0]), (S({"", "0 octets", "0 octets", "0 octets"})));
        QCOMPARE(Group(r.today), (S({"0 octets", "0 octets", "0 octets"})));
        QCOMPARE(Group(r.forecast), (S({"0 octets", "0 octets", "0 octets"})));
        QCOMPARE(Group(r.sinceFirstDay), (S({"0 octets", "0 octets", "0 octets"})));
        QCOMPARE(r.sinceFirstDayCaption, QStringLiteral("Transferts depuis le"));
        QCOMPARE(r.interfaceName, QStringLiteral("eth0"));
    }

    // A damaged day total (not a number, negative, beyond what a day carries) is shown as damaged in its day's
    // row, never as a figure that looks real, and counts as 0 in every sum; the load says how many there were.
    void damagedTotals_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("daily"); // every row, cells joined by "|"
        QTest::addColumn<QStringList>("sinceFirstDay");
        QTest::addColumn<int>("damaged");
        const QStringList oneDay{QStringLiteral("10/03/2003|endommagé|1,5 Ko|endommagé")};
        const QStringList sum = S({"0Ko", "1,5Ko", "1,5Ko"});
        for (const char* value : {"abc", "-5000", "1e39", "2e30", "12345678901234567890", "nan", ""})
            QTest::addRow("received %s", *value ? value : "empty")
                << QStringList{QStringLiteral("37690D=") + QLatin1String(value), QStringLiteral("37690U=1536")}
                << oneDay << sum << 1;
        QTest::newRow("2^60, the most a day carries, is a figure")
            << S({"37690D=1152921504606846976", "37690U=0"}) << S({"10/03/2003|1073741824 Go|0 Go|1073741824 Go"})
            << S({"1073741824Go", "0Go", "1073741824Go"}) << 0;
        QTest::newRow("two damaged days, then one of traffic")
            << S({"37689D=2e38", "37689U=0", "37690D=1024", "37690U=-2e38", "37691D=1048576", "37691U=0"})
            << S({"09/03/2003|endommagé|0 octets|endommagé", "10/03/2003|1024 octets|endommagé|endommagé",
                  "11/03/2003|1024 Ko|0 Ko|1024 Ko"})
            << S({"1Mo", "0Mo", "1Mo"}) << 2;
    }
    void damagedTotals()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, daily);
        QFETCH(QStringList, sinceFirstDay);
        QFETCH(int, damaged);
        QTemporaryDir tmp;
        const TotalsReport r = TotalsWalk::Load(WriteDescriptor(tmp, lines), QDate(2003, 3, 11));
        QStringList rows;
        for (const TotalsRow& row : r.daily)
            rows << Row(row).join(QLatin1Char('|'));
        QCOMPARE(rows, daily);
        QCOMPARE(Group(r.sinceFirstDay), sinceFirstDay);
        QCOMPARE(r.damagedTotals, damaged);
        // The text walk gives the same.
        const TotalsReport fromText = TotalsWalk::Compute(lines, QStringLiteral("eth0"), QDate(2003, 3, 11));
        QCOMPARE(fromText.damagedTotals, damaged);
        QCOMPARE(Row(fromText.daily.front()), Row(r.daily.front()));
    }

    void missingDescriptorLoadsNothing()
    {
        QTemporaryDir tmp;
        const TotalsReport r = TotalsWalk::Load(tmp.path(), QDate(2003, 3, 10));
        QCOMPARE(r.interfaceName, QStringLiteral("ERR"));
        QCOMPARE(r.pairs, 0);
    }

    void rightClickDate_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QDate>("date");
        QTest::newRow("05/07/2003 draws from 6 July") << "05/07/2003" << QDate(2003, 7, 6);
        QTest::newRow("31/12/2002 draws from 1 January") << "31/12/2002" << QDate(2003, 1, 1);
        QTest::newRow("header row") << "Date" << QDate();
        QTest::newRow("below the last row") << "" << QDate();
    }
    void rightClickDate()
    {
        QFETCH(QString, cell);
        QFETCH(QDate, date);
        const auto got = HistoryDateForDailyRow(cell);
        QCOMPARE(got.value_or(QDate()), date);
    }
};

QTEST_GUILESS_MAIN(TestTotals)
#include "tst_totals.moc"
