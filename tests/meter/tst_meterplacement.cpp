// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/MeterPlacement.h"

#include <QTest>

class TestMeterPlacement final : public QObject
{
    Q_OBJECT

private slots:
    void bringOntoScreens_data()
    {
        QTest::addColumn<QList<QRect>>("screens"); // available areas
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("placed");

        // One 1280 × 800 screen with a 24 pixel panel at the top.
        const QList<QRect> one{QRect(0, 24, 1280, 776)};
        // Two side by side; the right one is shorter.
        const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 720)};

        QTest::newRow("on screen: stays") << one << QRect(197, 123, 403, 189) << QPoint(197, 123);
        QTest::newRow("80 pixels past the right edge still show: stays")
            << one << QRect(1200, 300, 403, 189) << QPoint(1200, 300);
        QTest::newRow("13 pixels showing: back inside, the least move")
            << one << QRect(1267, 300, 403, 189) << QPoint(877, 300);
        QTest::newRow("left=99999 top=-99999: top right corner")
            << one << QRect(99999, -99999, 403, 189) << QPoint(877, 24);
        QTest::newRow("far left and down: bottom left corner") << one << QRect(-5000, 5000, 403, 189) << QPoint(0, 611);
        QTest::newRow("its title bar's height below the panel's edge: stays")
            << one << QRect(500, -146, 403, 189) << QPoint(500, -146);
        QTest::newRow("compact window showing half its height: back inside")
            << one << QRect(500, 14, 123, 21) << QPoint(500, 24);
        QTest::newRow("on the second screen: stays") << two << QRect(2200, 100, 403, 189) << QPoint(2200, 100);
        QTest::newRow("second screen unplugged: onto the one left")
            << QList<QRect>{two.first()} << QRect(2200, 100, 403, 189) << QPoint(1517, 100);
        QTest::newRow("below the shorter screen: onto the nearer one")
            << two << QRect(2000, 900, 403, 189) << QPoint(1517, 891);
        QTest::newRow("off a screen smaller than the window: its top left corner")
            << QList<QRect>{QRect(0, 0, 800, 600)} << QRect(5000, 5000, 1024, 700) << QPoint(0, 0);
        QTest::newRow("no screen known: unchanged") << QList<QRect>{} << QRect(99999, 5, 403, 189) << QPoint(99999, 5);
    }
    void bringOntoScreens()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, frame);
        QFETCH(QPoint, placed);
        QCOMPARE(BringOntoScreens(frame, screens), placed);
    }
};

QTEST_GUILESS_MAIN(TestMeterPlacement)
#include "tst_meterplacement.moc"
