// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Colour.h"
#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "common/StoreRoot.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestCommon final : public QObject
{
    Q_OBJECT

private slots:
    void dayNumbers_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("day");
        QTest::newRow("day zero") << QDate(1899, 12, 30) << 0;
        QTest::newRow("15 June 2004") << QDate(2004, 6, 15) << 38153;
        QTest::newRow("first five-digit day") << QDate(1927, 5, 18) << 10000;
        QTest::newRow("last five-digit day") << QDate(2173, 10, 13) << 99999;
    }
    void dayNumbers()
    {
        QFETCH(QDate, date);
        QFETCH(int, day);
        QCOMPARE(DayNumber(date), day);
        QCOMPARE(DateOfDay(day), date);
    }

    void februaryHas29DaysInEveryLeapYear()
    {
        QCOMPARE(DaysInMonth(2004, 2), 29);
        QCOMPARE(DaysInMonth(2028, 2), 29);
        QCOMPARE(DaysInMonth(2100, 2), 28);
        QCOMPARE(DaysInMonth(2000, 2), 29);
        QCOMPARE(DaysInMonth(2026, 4), 30);
    }

    void timeAndDateTexts()
    {
        QCOMPARE(TimeText(QTime(0, 2, 0)), QStringLiteral("00:02:00"));
        QCOMPARE(TimeText(QTime(14, 35, 7)), QStringLiteral("14:35:07"));
        QCOMPARE(DateText(QDate(2004, 6, 5)), QStringLiteral("05/06/2004"));
    }

    void dateText_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("day and month padded") << QDate(2004, 6, 5) << "05/06/2004";
        QTest::newRow("last day of a year") << QDate(1999, 12, 31) << "31/12/1999";
        QTest::newRow("a year of three digits padded to four") << QDate(999, 1, 2) << "02/01/0999";
        QTest::newRow("a year of five digits") << QDate(10000, 1, 1) << "01/01/10000";
        QTest::newRow("no date") << QDate() << "00/00/0000";
    }
    void dateText()
    {
        QFETCH(QDate, date);
        QTEST(DateText(date), "text");
    }

    void parseFloatText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<double>("value");
        QTest::newRow("a total as the store writes it") << "123456789" << true << 123456789.0;
        QTest::newRow("leading zeros") << "007" << true << 7.0;
        QTest::newRow("fifteen digits") << "999999999999999" << true << 999999999999999.0;
        QTest::newRow("sixteen digits") << "1234567890123456" << true << 1234567890123456.0;
        QTest::newRow("twenty digits, rounded to double") << "12345678901234567890" << true << 12345678901234567890.0;
        QTest::newRow("comma as the separator") << "1,5" << true << 1.5;
        QTest::newRow("blanks around") << " 42 " << true << 42.0;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("below zero") << "-7" << true << -7.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("a letter after digits") << "12a" << false << 0.0;
        QTest::newRow("not a number") << "nan" << false << 0.0;
    }
    void parseFloatText()
    {
        QFETCH(QString, text);
        QFETCH(bool, parses);
        QFETCH(double, value);
        long double read = -1;
        QCOMPARE(ParseFloatText(text, read), parses);
        if (parses)
            QCOMPARE(static_cast<double>(read), value);
    }

    void floatText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole number") << "fr_FR" << 123456.0 << "123456";
        QTest::newRow("single-precision total") << "fr_FR" << 1000000128.0 << "1000000128";
        QTest::newRow("French separator") << "fr_FR" << 1.95 << "1,95";
        QTest::newRow("English separator") << "en_US" << 1.95 << "1.95";
        QTest::newRow("15 significant digits") << "en_US" << 0.1 + 0.2 << "0.3";
        QTest::newRow("zero") << "en_US" << 0.0 << "0";
    }
    void floatText()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(FloatText(value), text);
        QLocale::setDefault(QLocale::c());
    }

    void cutNeverRounds()
    {
        QLocale::setDefault(QLocale::c());
        // 2000 B/s in ko/s is 1.953125: cut to 1.95, and 15.625 kbps to 15.62.
        QCOMPARE(FloatText(CutHundredths(2000.0L / 1024.0L)), QStringLiteral("1.95"));
        QCOMPARE(FloatText(CutHundredths(2000.0L * 8 / 1024.0L)), QStringLiteral("15.62"));
        QCOMPARE(FloatText(CutTenths(1.99L)), QStringLiteral("1.9"));
    }

    void colourText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("argb");
        QTest::newRow("FF0000 is pure blue") << "FF0000" << 0xFF0000FFu;
        QTest::newRow("0000FF is pure red") << "0000FF" << 0xFFFF0000u;
        QTest::newRow("01E5DD") << "01E5DD" << 0xFFDDE501u;
        QTest::newRow("ZZ is black") << "ZZ" << 0xFF000000u;
        QTest::newRow("empty is black") << "" << 0xFF000000u;
    }
    void colourText()
    {
        QFETCH(QString, text);
        QFETCH(uint, argb);
        QCOMPARE(BgrToArgb(ColourFromText(text)), argb);
    }

    void colourWrittenBack()
    {
        QCOMPARE(ColourToText(ArgbToBgr(0xFF00FF00u)), QStringLiteral("00FF00"));
        QCOMPARE(ColourToText(0x0000FFu), QStringLiteral("0000FF"));
    }

    void storeRootFollowsEnvironment()
    {
        QTemporaryDir home, exe, data;
        qputenv("VORP_HOME", home.path().toUtf8());
        QCOMPARE(StoreRoot(exe.path()), home.path() + QStringLiteral("/"));
        qunsetenv("VORP_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        QCOMPARE(StoreRoot(exe.path()), data.path() + QStringLiteral("/VORP/"));
        // A relative base folder is ignored, as the base-directory rules say.
        QTemporaryDir home2;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home2.path().toUtf8());
        qputenv("XDG_DATA_HOME", "relative/data");
        QCOMPARE(StoreRoot(exe.path()), home2.path() + QStringLiteral("/.local/share/VORP/"));
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        QFile portable(exe.path() + QStringLiteral("/portable"));
        QVERIFY(portable.open(QIODevice::WriteOnly));
        portable.close();
        QCOMPARE(StoreRoot(exe.path()), exe.path() + QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
