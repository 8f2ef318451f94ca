// SPDX-License-Identifier: GPL-3.0-or-later
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

template <typename T = QLabel> T* Find(const QWidget& window, const char* name)
{
    T* control = window.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

QString Text(const QWidget& window, const char* name)
{
    return Find(window, name)->text();
}

bool AnyTimerActive(const QWidget& window)
{
    return Find<QTimer>(window, "Timer1")->isActive() || Find<QTimer>(window, "Timer2")->isActive() ||
           Find<QTimer>(window, "Timer3")->isActive();
}
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
        QCOMPARE(Text(w, "ti"), QStringLiteral("IN : 0ko"));
        QVERIFY(!AnyTimerActive(w));
        QVERIFY(!w.isRunning());
    }

    void startFeedStopAndClose()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        auto* startStop = Find<QPushButton>(w, "Button1");
        w.addSample(5000, 5000); // not running: ignored
        QTest::mouseClick(startStop, Qt::LeftButton);
        QCOMPARE(startStop->text(), QStringLiteral("Stop"));
        QVERIFY(w.isRunning());
        QCOMPARE(tb.position, 20);
        QVERIFY(!tb.enabled);
        QCOMPARE(Find<QTimer>(w, "Timer1")->interval(), 1000);
        QCOMPARE(Find<QTimer>(w, "Timer3")->interval(), 100);

        for (int k = 1; k <= 10; ++k)
        {
            w.addSample(2000, 0);
            clock.advanceSecs(1);
            w.showElapsed();
            w.showTotals();
        }
        QCOMPARE(Text(w, "ti"), QStringLiteral("IN : 19.53Ko"));
        QCOMPARE(Text(w, "tu"), QStringLiteral("OUT : 0Ko"));
        QCOMPARE(Text(w, "vd"), QStringLiteral("IN : 1.95Ko/s"));
        QCOMPARE(Text(w, "s"), QStringLiteral("10"));
        QCOMPARE(Text(w, "m"), QStringLiteral("00"));

        w.countTenths();
        QCOMPARE(Text(w, "cs"), QStringLiteral("1"));

        // The close box stops it and frees the track bar; the labels keep their values.
        w.show();
        w.close();
        QVERIFY(!w.isRunning());
        QVERIFY(!AnyTimerActive(w));
        QCOMPARE(startStop->text(), QStringLiteral("Start"));
        QVERIFY(tb.enabled);
        QCOMPARE(Text(w, "ti"), QStringLiteral("IN : 19.53Ko"));
    }

    void clockShowsTheTrueElapsedSeconds()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        auto* timer = Find<QTimer>(w, "Timer1");
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        Find<QPushButton>(w, "Button1")->click();

        // A tick that comes early shows the second before, and the next one is set for the second itself.
        clock.advanceMSecs(950);
        w.showElapsed();
        QCOMPARE(Text(w, "s"), QStringLiteral("00"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 50);
        clock.advanceMSecs(50);
        w.showElapsed();
        QCOMPARE(Text(w, "s"), QStringLiteral("01"));
        QCOMPARE(timer->interval(), 1000);

        // A late tick shows what has elapsed, not a count of ticks, and brings the next one back on time.
        clock.advanceMSecs(2700);
        w.showElapsed();
        QCOMPARE(Text(w, "s"), QStringLiteral("03"));
        QCOMPARE(timer->interval(), 300);

        // Setting the time of day back an hour does not move the stopwatch.
        clock.set(clock.now().addSecs(-3600));
        clock.advanceMSecs(300);
        w.showElapsed();
        QCOMPARE(Text(w, "h") + Text(w, "m") + Text(w, "s"), QStringLiteral("000004"));
    }

    void forecastMovesToDayAfterAnHour()
    {
        TestClock clock;
        FakeTrackBar tb;
        StopwatchWindow w(clock, tb);
        auto* startStop = Find<QPushButton>(w, "Button1");
        auto* hour = Find<QRadioButton>(w, "rb");
        startStop->click();
        w.addSample(1000, 0);
        for (int k = 0; k < 3600; ++k)
            w.showElapsed();
        w.showTotals();
        QCOMPARE(Text(w, "pd"), QStringLiteral("IN : 3.43Mo"));
        QVERIFY(Find<QRadioButton>(w, "rb2")->isChecked());
        QVERIFY(!hour->isEnabled());
        w.showTotals();
        QCOMPARE(Text(w, "pd"), QStringLiteral("IN : 82.39Mo"));

        // A new Start makes "Heure" usable again; choosing it brings the hourly figures back.
        startStop->click();
        startStop->click();
        QVERIFY(hour->isEnabled());
        hour->click();
        w.addSample(1000, 0);
        w.showTotals();
        QCOMPARE(Text(w, "pd"), QStringLiteral("IN : 3.43Mo"));
    }
};

QTEST_MAIN(TestChrono)
#include "tst_stopwatchwindow.moc"
