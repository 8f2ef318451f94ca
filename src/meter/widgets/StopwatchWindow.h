// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Clock.h"
#include "meter/MeterTick.h"
#include "meter/RefreshPeriodControl.h"
#include "meter/Stopwatch.h"

#include <QWidget>

class QCloseEvent;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

// The stopwatch window ("Chronometre"). The meter feeds it each tick's rates through its
// StopwatchFeed side; it runs while its totals timer does.
class StopwatchWindow final : public QWidget, public StopwatchFeed
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopwatchWindow)

public:
    StopwatchWindow(const Clock& clock, RefreshPeriodControl& refresh, QWidget* parent = nullptr);

    bool isRunning() const override;
    void addSample(int32_t in, int32_t out) override;

    // The timers' slots: the elapsed time every second, the totals, peaks, averages and forecast every
    // second, the tenths digit every 100 ms.
    void showElapsed();
    void showTotals();
    void countTenths();

protected:
    // The close box stops a running stopwatch; the window then hides.
    void closeEvent(QCloseEvent* event) override;

private:
    void startOrStop();
    void start();
    void stop();

    // Controls; each keeps its original name as objectName.
    QLabel* m_hoursLabel = nullptr;           // "h"
    QLabel* m_minutesLabel = nullptr;         // "m"
    QLabel* m_secondsLabel = nullptr;         // "s"
    QLabel* m_tenthsLabel = nullptr;          // "cs"
    QPushButton* m_startStopButton = nullptr; // "Button1", "Start" or "Stop"
    QLabel* m_totalInLabel = nullptr;         // "ti"
    QLabel* m_totalOutLabel = nullptr;        // "tu"
    QLabel* m_peakInLabel = nullptr;          // "vd"
    QLabel* m_peakOutLabel = nullptr;         // "vu"
    QLabel* m_averageInLabel = nullptr;       // "md"
    QLabel* m_averageOutLabel = nullptr;      // "mu"
    QRadioButton* m_hourButton = nullptr;     // "rb"
    QRadioButton* m_dayButton = nullptr;      // "rb2"
    QLabel* m_forecastInLabel = nullptr;      // "pd"
    QLabel* m_forecastOutLabel = nullptr;     // "pu"
    QTimer* m_elapsedTimer = nullptr;         // "Timer1", 1000 ms
    QTimer* m_totalsTimer = nullptr;          // "Timer2", 1000 ms
    QTimer* m_tenthsTimer = nullptr;          // "Timer3", 100 ms

    const Clock& m_clock;
    RefreshPeriodControl& m_refresh;
    Stopwatch m_stopwatch;
};
