// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/AppIcon.h"
#include "common/widgets/Readable.h"
#include "shell/CommandLine.h"
#include "shell/Pictures.h"
#include "shell/Platform.h"

#include "TestData.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestShell final : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("pictureBase");
        QTest::newRow("no argument") << QStringList{} << int(CommandLine::Action::Run) << QString();
        QTest::newRow("one argument is the base name")
            << QStringList{QStringLiteral("/x/38153.mdf")} << int(CommandLine::Action::Run)
            << QStringLiteral("/x/38153.mdf");
        QTest::newRow("two arguments hand nothing over")
            << QStringList{QStringLiteral("a"), QStringLiteral("b")} << int(CommandLine::Action::Run) << QString();
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << int(CommandLine::Action::Help) << QString();
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << int(CommandLine::Action::Version)
                                 << QString();
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, pictureBase);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.pictureBase.value_or(QString()), pictureBase);
    }

    // The desktop entry's actions name a window; anything else alone is still a picture base name.
    void windowOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("pictureBase");
        QTest::newRow("--meter") << QStringList{QStringLiteral("--meter")} << int(CommandLine::Window::Meter)
                                 << QString();
        QTest::newRow("--graph") << QStringList{QStringLiteral("--graph")} << int(CommandLine::Window::Graph)
                                 << QString();
        QTest::newRow("--totals") << QStringList{QStringLiteral("--totals")} << int(CommandLine::Window::Totals)
                                  << QString();
        QTest::newRow("a base name close to an option")
            << QStringList{QStringLiteral("--graphe")} << int(CommandLine::Window::None) << QStringLiteral("--graphe");
        QTest::newRow("with another argument, nothing") << QStringList{QStringLiteral("--graph"), QStringLiteral("b")}
                                                        << int(CommandLine::Window::None) << QString();
    }
    void windowOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, window);
        QFETCH(QString, pictureBase);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.action), int(CommandLine::Action::Run));
        QCOMPARE(int(line.window), window);
        QCOMPARE(line.pictureBase.value_or(QString()), pictureBase);
    }

    void headlessCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("textfile");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("interface");
        using A = CommandLine::Action;
        const auto args = [](const char* line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
        QTest::newRow("record") << args("--record") << int(A::Record) << QString() << false << QString();
        QTest::newRow("record to a textfile") << args("--record --prometheus-textfile /t/vorp.prom") << int(A::Record)
                                              << QStringLiteral("/t/vorp.prom") << false << QString();
        QTest::newRow("textfile with =, before --record")
            << args("--prometheus-textfile=/t/v.prom --record") << int(A::Record) << QStringLiteral("/t/v.prom")
            << false << QString();
        QTest::newRow("textfile without a file")
            << args("--record --prometheus-textfile") << int(A::Invalid) << QString() << false << QString();
        QTest::newRow("record takes no name")
            << args("--record base") << int(A::Invalid) << QString() << false << QString();
        QTest::newRow("report") << args("--report") << int(A::Report) << QString() << false << QString();
        QTest::newRow("report one interface as JSON")
            << args("--report --json eth0") << int(A::Report) << QString() << true << QStringLiteral("eth0");
        QTest::newRow("report two interfaces")
            << args("--report eth0 lo") << int(A::Invalid) << QString() << false << QString();
        QTest::newRow("report, unknown option")
            << args("--report --csv") << int(A::Invalid) << QString() << false << QString();
        QTest::newRow("both") << args("--record --report") << int(A::Invalid) << QString() << false << QString();
    }
    void headlessCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, textfile);
        QFETCH(bool, json);
        QFETCH(QString, interface);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.prometheusTextfile.value_or(QString()), textfile);
        QCOMPARE(line.json, json);
        QCOMPARE(line.reportInterface.value_or(QString()), interface);
        QCOMPARE(line.invalidText.isEmpty(), action != int(CommandLine::Action::Invalid));
        QVERIFY(!line.pictureBase);
    }

    // Dates as parsed; an invalid date for none.
    void reportOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("pretty");
        QTest::addColumn<bool>("samples");
        QTest::addColumn<QDate>("begin");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<bool>("checkPlans");
        const auto args = [](const char* line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
        QTest::newRow("every option")
            << args("--report --json --pretty --samples --begin 2004-06-01 --end 2004-06-30 eth0") << true << true
            << QDate(2004, 6, 1) << QDate(2004, 6, 30) << QStringLiteral("eth0") << false;
        QTest::newRow("dates with =, one day, 29 February of a leap year")
            << args("--report --begin=2028-02-29 --end=2028-02-29") << false << false << QDate(2028, 2, 29)
            << QDate(2028, 2, 29) << QString() << false;
        QTest::newRow("text report, end alone") << args("--end 2004-06-30 --report lo") << false << false << QDate()
                                                << QDate(2004, 6, 30) << QStringLiteral("lo") << false;
        QTest::newRow("plans checked, one interface") << args("--check-plans eth0 --report") << false << false
                                                      << QDate() << QDate() << QStringLiteral("eth0") << true;
    }
    void reportOptions()
    {
        QFETCH(QStringList, arguments);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(line.invalidText, QString());
        QCOMPARE(int(line.action), int(CommandLine::Action::Report));
        QTEST(line.pretty, "pretty");
        QTEST(line.samples, "samples");
        QTEST(line.begin.value_or(QDate()), "begin");
        QTEST(line.end.value_or(QDate()), "end");
        QTEST(line.reportInterface.value_or(QString()), "interface");
        QTEST(line.checkPlans, "checkPlans");
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto args = [](const char* line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
        QTest::newRow("a date in another form")
            << args("--report --begin 2004-6-1") << "--begin attend une date AAAA-MM-JJ, pas « 2004-6-1 ».";
        QTest::newRow("29 February of a year without one")
            << args("--report --end=2003-02-29") << "--end attend une date AAAA-MM-JJ, pas « 2003-02-29 ».";
        QTest::newRow("no date") << args("--report --begin") << "--begin attend une date AAAA-MM-JJ.";
        QTest::newRow("begin after end") << args("--report --begin 2004-07-01 --end 2004-06-30")
                                         << "--begin (2004-07-01) est après --end (2004-06-30).";
        QTest::newRow("--pretty without --json")
            << args("--report --pretty") << "--pretty ne va qu'avec --report --json.";
        QTest::newRow("--samples without --json")
            << args("--report --samples eth0") << "--samples ne va qu'avec --report --json.";
        QTest::newRow("--samples without --report") << args("--samples") << "--samples ne va qu'avec --report.";
        QTest::newRow("--begin without --report") << args("--begin 2004-06-01") << "--begin ne va qu'avec --report.";
        QTest::newRow("--end= without --report") << args("--end=2004-06-01") << "--end ne va qu'avec --report.";
        QTest::newRow("--check-plans without --report")
            << args("--check-plans") << "--check-plans ne va qu'avec --report.";
        QTest::newRow("--check-plans with --json")
            << args("--report --json --check-plans") << "--check-plans ne va pas avec --json.";
        QTest::newRow("--check-plans with --begin")
            << args("--report --check-plans --begin 2004-06-01") << "--check-plans ne va pas avec --begin.";
        QTest::newRow("--pretty with --record")
            << args("--record --pretty") << "--record ne prend pas l'argument « --pretty ».";
        QTest::newRow("a textfile the collector would not read")
            << args("--record --prometheus-textfile /t/vorp.txt")
            << "--prometheus-textfile : « /t/vorp.txt » ne finit pas par .prom, et le collecteur textfile de "
               "node_exporter ne lit que ces fichiers.";
        QTest::newRow("a textfile in a folder named .prom")
            << args("--prometheus-textfile=/t.prom/vorp --record")
            << "--prometheus-textfile : « /t.prom/vorp » ne finit pas par .prom, et le collecteur textfile de "
               "node_exporter ne lit que ces fichiers.";
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.action), int(CommandLine::Action::Invalid));
        QTEST(line.invalidText, "message");
    }

    // The program itself, with %1 the temporary folder: a report never makes the store root it looks for,
    // and a usage error ends with status 2 before anything is made.
    void programMakesNothing_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // the first line of standard error
        const auto args = [](const char* line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
        QTest::newRow("report on a missing VORP_HOME")
            << "VORP_HOME"
            << "%1/absent/store" << args("--report --json") << 1
            << "VORP : le dossier des statistiques %1/absent/store n'existe pas.";
        QTest::newRow("report under a missing XDG_DATA_HOME")
            << "XDG_DATA_HOME"
            << "%1/absent/share" << args("--report") << 1
            << "VORP : le dossier des statistiques %1/absent/share/VORP n'existe pas.";
        QTest::newRow("a report option that does not parse")
            << "VORP_HOME"
            << "%1/store" << args("--report --json --begin 2004-02-30") << 2
            << "VORP : --begin attend une date AAAA-MM-JJ, pas « 2004-02-30 ».";
        QTest::newRow("a textfile the collector would not read")
            << "VORP_HOME"
            << "%1/store" << args("--record --prometheus-textfile %1/vorp.txt") << 2
            << "VORP : --prometheus-textfile : « %1/vorp.txt » ne finit pas par .prom, et le collecteur textfile "
               "de node_exporter ne lit que ces fichiers.";
    }
    void programMakesNothing()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(QStringList, arguments);
        const QString program = QStringLiteral(VORP_BINARY_DIR "/vorp");
        QVERIFY2(QFileInfo(program).isExecutable(), "the vorp program is built beside the tests");
        QTemporaryDir tmp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("VORP_HOME"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("HOME"), tmp.path());
        const auto inTmp = [&](QString text) { return text.replace(QStringLiteral("%1"), tmp.path()); };
        env.insert(variable, inTmp(value));
        for (QString& argument : arguments)
            argument = inTmp(argument);
        QProcess vorp;
        vorp.setProcessEnvironment(env);
        vorp.start(program, arguments);
        QVERIFY(vorp.waitForFinished(60000));
        QCOMPARE(vorp.exitStatus(), QProcess::NormalExit);
        QTEST(vorp.exitCode(), "status");
        QFETCH(QString, error);
        QCOMPARE(QString::fromLocal8Bit(vorp.readAllStandardError()).section(QLatin1Char('\n'), 0, 0), inTmp(error));
        QCOMPARE(vorp.readAllStandardOutput(), QByteArray());
        QVERIFY(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    }

    void platformChoice_data()
    {
        QTest::addColumn<QByteArray>("qpa");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("chosen"); // empty: the environment's stands
        QTest::addColumn<bool>("displayFound");
        QTest::newRow("X11 session") << QByteArray() << QByteArray(":0") << QByteArray() << QByteArray("xcb;wayland")
                                     << true;
        QTest::newRow("Wayland session with XWayland: X first")
            << QByteArray() << QByteArray(":0") << QByteArray("wayland-0") << QByteArray("xcb;wayland") << true;
        QTest::newRow("Wayland without XWayland")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray("xcb;wayland") << true;
        QTest::newRow("the user's platform stands")
            << QByteArray("offscreen") << QByteArray() << QByteArray() << QByteArray() << true;
        QTest::newRow("no display at all") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false;
    }
    void platformChoice()
    {
        QFETCH(QByteArray, qpa);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, chosen);
        QFETCH(bool, displayFound);
        const PlatformChoice choice = ChoosePlatform({qpa, display, wayland});
        QCOMPARE(choice.qpaPlatform.value_or(QByteArray()), chosen);
        QCOMPARE(choice.displayFound, displayFound);
    }

    // The tray's four images at each size a panel asks for, drawn from one design: the U of sending on 1 and
    // 3 only, the D of receiving on 2 and 3 only, and the U standing out from the dark tile, and so from a
    // dark panel, as much as text must.
    void trayImagesCarryTheirLetters_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : kTrayIconSizes)
            QTest::addRow("%d pixels", size) << size;
    }
    void trayImagesCarryTheirLetters()
    {
        QFETCH(int, size);
        const QImage grid = DrawTrayImage(0, size), up = DrawTrayImage(1, size), down = DrawTrayImage(2, size),
                     both = DrawTrayImage(3, size);
        QCOMPARE(grid.size(), QSize(size, size));
        QHash<QRgb, int> colours;
        auto count = [&colours](const QImage& image, QRect area, auto test) {
            colours.clear();
            int n = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (test(QColor(image.pixel(x, y))))
                    {
                        ++n;
                        ++colours[image.pixel(x, y)];
                    }
            return n;
        };
        auto blue = [](QColor c) { return c.blue() > 200 && c.blue() - c.red() > 100; };
        auto red = [](QColor c) { return c.red() > 200 && c.green() < 100; };
        auto any = [](QColor c) { return c.alpha() == 255; };
        const int half = size / 2, enough = size * size / 25;
        const QRect topLeft(0, 0, half, half), bottomRight(half, half, half, half);
        QCOMPARE(count(grid, grid.rect(), blue) + count(grid, grid.rect(), red), 0);
        QVERIFY(count(up, topLeft, blue) > enough);
        QCOMPARE(count(up, up.rect(), red), 0);
        QVERIFY(count(down, bottomRight, red) > enough);
        QCOMPARE(count(down, down.rect(), blue), 0);
        QVERIFY(count(both, topLeft, blue) > enough && count(both, bottomRight, red) > enough);
        QCOMPARE(DrawTrayImage(7, size), grid);

        // The letter's own colour (its commonest) against the tile's (the commonest of the plain quarter).
        count(up, topLeft, blue);
        const QRgb letter = std::max_element(colours.cbegin(), colours.cend()).key();
        count(grid, topLeft, any);
        const QRgb tile = std::max_element(colours.cbegin(), colours.cend()).key();
        QVERIFY2(ContrastRatio(QColor(letter), QColor(tile)) >= 4.5,
                 qPrintable(QStringLiteral("%1").arg(ContrastRatio(QColor(letter), QColor(tile)))));
    }

    void splashPictureSize() { QCOMPARE(SplashPicture().size(), QSize(286, 169)); }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
