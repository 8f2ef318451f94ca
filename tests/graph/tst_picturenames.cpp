// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/PictureNames.h"

#include <QTest>

using namespace graph;

Q_DECLARE_METATYPE(graph::Period)

class TestPictureNames final : public QObject
{
    Q_OBJECT

private slots:
    void proposedName_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<graph::Period>("period");
        QTest::addColumn<QString>("name");
        QTest::newRow("Semaine") << QDate(2004, 6, 15) << Period::Week << QStringLiteral("2004-06-15 Semaine.gif");
        QTest::newRow("Journée") << QDate(2004, 1, 5) << Period::Day << QStringLiteral("2004-01-05 Journée.gif");
        QTest::newRow("Année") << QDate(2028, 12, 31) << Period::Year << QStringLiteral("2028-12-31 Année.gif");
    }
    void proposedName()
    {
        QFETCH(QDate, date);
        QFETCH(graph::Period, period);
        QTEST(ProposedPictureName(date, period), "name");
    }

    void automaticName()
    {
        QCOMPARE(AutomaticPictureName(QString(), Period::Day), QStringLiteral(" Journée.gif"));
        QCOMPARE(AutomaticPictureName(QString(), Period::Month), QStringLiteral(" Mois.gif"));
        QCOMPARE(AutomaticPictureName(QStringLiteral("/x/38153.mdf"), Period::Year),
                 QStringLiteral("/x/38153.mdf Année.gif"));
    }

    void everyPeriodSequence()
    {
        PictureSequence sequence;
        QCOMPARE(sequence.start(), Period::Day);
        QVERIFY(sequence.running());
        // A draw still running: nothing happens at this tick.
        QCOMPARE(sequence.tick(false).kind, PictureSequence::Step::Wait);
        QCOMPARE(sequence.counter(), 1.0f);
        QList<Period> drawn;
        for (int i = 0; i < 3; ++i)
        {
            const PictureSequence::Step step = sequence.tick(true);
            QCOMPARE(step.kind, PictureSequence::Step::SaveAndDraw);
            drawn.append(step.period);
        }
        // Saves after the day, week and month graphs; the year graph is drawn last and not saved.
        QCOMPARE(drawn, (QList<Period>{Period::Week, Period::Month, Period::Year}));
        QCOMPARE(sequence.tick(true).kind, PictureSequence::Step::Finished);
        QVERIFY(!sequence.running());
        QCOMPARE(sequence.tick(true).kind, PictureSequence::Step::Finished);

        // A new five-minute tick starts again from "Journée".
        QCOMPARE(sequence.start(), Period::Day);
        QCOMPARE(sequence.tick(true).period, Period::Week);
    }
};

QTEST_GUILESS_MAIN(TestPictureNames)
#include "tst_picturenames.moc"
