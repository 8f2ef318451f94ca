#pragma once

#include "common/Clock.h"
#include "meter/MeterTick.h"
#include "meter/RefreshPeriodControl.h"
#include "meter/Stopwatch.h"

#include <QWidget>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

// The stopwatch window ("Chronometre"). The meter feeds it each tick's rates through its
// StopwatchFeed side; it runs while its totals timer Timer2 does.
class StopwatchWindow final : public QWidget, public StopwatchFeed
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopwatchWindow)

public:
    StopwatchWindow(const Clock& clock, RefreshPeriodControl& refresh, QWidget* parent = nullptr);

    bool isRunning() const override;
    void addSample(int32_t in, int32_t out) override;

    const Stopwatch& stopwatch() const { return m_stopwatch; }

    QLabel* h;
    QLabel* m;
    QLabel* s;
    QLabel* cs;
    QPushButton* Button1;
    QGroupBox* GroupBox1; // "Total Transferré"
    QLabel* ti;
    QLabel* tu;
    QGroupBox* GroupBox2; // "Vitesse Maximale"
    QLabel* vd;
    QLabel* vu;
    QGroupBox* GroupBox3; // "Vitesse Moyenne"
    QLabel* md;
    QLabel* mu;
    QGroupBox* GroupBox4; // "Prévisions"
    QRadioButton* rb;
    QRadioButton* rb2;
    QLabel* pd;
    QLabel* pu;
    QTimer* Timer1; // clock, 1000 ms
    QTimer* Timer2; // totals, 1000 ms
    QTimer* Timer3; // tenths, 100 ms

public slots:
    void Button1Click();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    // The close box: stops a running stopwatch; the window then hides.
    bool FormCloseQuery();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Start();
    void Stop();

    const Clock& m_clock;
    RefreshPeriodControl& m_refresh;
    Stopwatch m_stopwatch;
};
