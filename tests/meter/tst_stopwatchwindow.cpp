#include "meter/widgets/StopwatchWindow.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace
{
class FakeTrackBar final : public RefreshPeriodControl
{
public:
    void setRefreshPosition(int p) override { position = p; }
    void setRefreshEnabled(bool e) override { enabled = e; }
    int position = 7;
    bool enabled = true;
};
} // namespace

class TestChrono final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void controlsAtCreation()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        QCOMPARE(w.windowTitle(), QStringLiteral("Chronometre"));
        for (const char* name : {"h", "m", "s", "cs", "ti", "tu", "vd", "vu", "md", "mu", "pd", "pu"})
            QVERIFY2(w.findChild<QLabel*>(QLatin1String(name)), name);
        QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("Button1"))->text(), QStringLiteral("Start"));
        QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("rb"))->isChecked());
        QCOMPARE(w.ti->text(), QStringLiteral("IN : 0ko"));
        QVERIFY(!w.Timer1->isActive() && !w.Timer2->isActive() && !w.Timer3->isActive());
        QVERIFY(!w.isRunning());
    }

    void startFeedStopAndClose()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        w.addSample(5000, 5000); // not running: ignored
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        QCOMPARE(w.Button1->text(), QStringLiteral("Stop"));
        QVERIFY(w.isRunning());
        QCOMPARE(tb.position, 20);
        QVERIFY(!tb.enabled);
        QCOMPARE(w.Timer1->interval(), 1000);
        QCOMPARE(w.Timer3->interval(), 100);

        for (int k = 1; k <= 10; ++k)
        {
            w.addSample(2000, 0);
            clock.advanceSecs(1);
            w.Timer1Timer();
            w.Timer2Timer();
        }
        QCOMPARE(w.ti->text(), QStringLiteral("IN : 19.53Ko"));
        QCOMPARE(w.tu->text(), QStringLiteral("OUT : 0Ko"));
        QCOMPARE(w.vd->text(), QStringLiteral("IN : 1.95Ko/s"));
        QCOMPARE(w.s->text(), QStringLiteral("10"));
        QCOMPARE(w.m->text(), QStringLiteral("00"));

        w.Timer3Timer();
        QCOMPARE(w.cs->text(), QStringLiteral("1"));

        // The close box stops it and frees the track bar; the labels keep their values.
        w.show();
        w.close();
        QVERIFY(!w.isRunning());
        QVERIFY(!w.Timer1->isActive() && !w.Timer3->isActive());
        QCOMPARE(w.Button1->text(), QStringLiteral("Start"));
        QVERIFY(tb.enabled);
        QCOMPARE(w.ti->text(), QStringLiteral("IN : 19.53Ko"));
    }

    void forecastMovesToDayAfterAnHour()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        w.Button1Click();
        w.addSample(1000, 0);
        for (int k = 0; k < 3600; ++k)
            w.Timer1Timer();
        w.Timer2Timer();
        QCOMPARE(w.pd->text(), QStringLiteral("IN : 3.43Mo"));
        QVERIFY(w.rb2->isChecked());
        QVERIFY(!w.rb->isEnabled());
        w.Timer2Timer();
        QCOMPARE(w.pd->text(), QStringLiteral("IN : 82.39Mo"));

        // A new Start makes "Heure" usable again; choosing it brings the hourly figures back.
        w.Button1Click();
        w.Button1Click();
        QVERIFY(w.rb->isEnabled());
        w.rb->click();
        w.addSample(1000, 0);
        w.Timer2Timer();
        QCOMPARE(w.pd->text(), QStringLiteral("IN : 3.43Mo"));
    }
};

QTEST_MAIN(TestChrono)
#include "tst_stopwatchwindow.moc"
