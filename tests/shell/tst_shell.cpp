// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/CommandLine.h"
#include "shell/Pictures.h"
#include "shell/Platform.h"

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

    void trayImagesCarryTheirLetters()
    {
        const QImage grid = TrayImage(0), up = TrayImage(1), down = TrayImage(2), both = TrayImage(3);
        QCOMPARE(grid.size(), QSize(16, 16));
        auto count = [](const QImage& image, QRect area, auto test) {
            int n = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    n += test(QColor(image.pixel(x, y))) ? 1 : 0;
            return n;
        };
        auto blue = [](QColor c) { return c.blue() > 200 && c.red() < 100; };
        auto red = [](QColor c) { return c.red() > 200 && c.green() < 100; };
        const QRect topLeft(0, 0, 8, 8), bottomRight(8, 8, 8, 8);
        QCOMPARE(count(grid, grid.rect(), blue) + count(grid, grid.rect(), red), 0);
        QVERIFY(count(up, topLeft, blue) > 10);
        QCOMPARE(count(up, up.rect(), red), 0);
        QVERIFY(count(down, bottomRight, red) > 10);
        QCOMPARE(count(down, down.rect(), blue), 0);
        QVERIFY(count(both, topLeft, blue) > 10 && count(both, bottomRight, red) > 10);
        QCOMPARE(TrayImage(7), grid);
    }

    void splashPictureSize() { QCOMPARE(SplashPicture().size(), QSize(286, 169)); }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
