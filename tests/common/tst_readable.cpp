// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/Readable.h"

#include <QTest>

// The designed caption colours stay as they are on the light background they were made for, and
// become readable, with their hue, on a dark one.
class TestReadable final : public QObject
{
    Q_OBJECT

private slots:
    void readableOn_data()
    {
        QTest::addColumn<QColor>("designed");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("unchanged");
        const QColor light(0xef, 0xef, 0xef), dark(0x2a, 0x2e, 0x32);
        for (const char* name : {"maroon", "navy", "green", "purple", "black"})
        {
            QTest::addRow("%s on light grey", name) << QColor::fromString(name) << light << true;
            QTest::addRow("%s on dark grey", name) << QColor::fromString(name) << dark << false;
        }
        QTest::newRow("white on black stays") << QColor(Qt::white) << QColor(Qt::black) << true;
        QTest::newRow("yellow on white darkens") << QColor(Qt::yellow) << QColor(Qt::white) << false;
    }
    void readableOn()
    {
        QFETCH(QColor, designed);
        QFETCH(QColor, background);
        QFETCH(bool, unchanged);
        const QColor shown = ReadableOn(designed, background);
        QVERIFY2(ContrastRatio(shown, background) >= 3.0, qPrintable(shown.name()));
        QCOMPARE(shown == designed, unchanged);
        if (designed.hslSaturation() > 0)
            QVERIFY(qAbs(shown.hslHue() - designed.hslHue()) <= 2);
    }
};

QTEST_MAIN(TestReadable)
#include "tst_readable.moc"
