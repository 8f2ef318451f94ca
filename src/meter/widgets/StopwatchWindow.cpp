// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/widgets/StopwatchWindow.h"

#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
QLabel* ClockLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = Named(new QLabel(text, parent), name);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    label->setFont(font);
    return label;
}

QLabel* ResultLabel(const QString& text, const char* name, QWidget* parent, const QColor& colour = QColor())
{
    auto* label = Named(new QLabel(text, parent), name);
    if (colour.isValid())
        SetDesignedTextColour(label, colour);
    return label;
}

QGroupBox* Group(const QString& title, const char* name, QLabel* in, QLabel* out, QWidget* parent)
{
    auto* group = Named(new QGroupBox(title, parent), name);
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(in);
    layout->addWidget(out);
    return group;
}
} // namespace

StopwatchWindow::StopwatchWindow(const Clock& clock, RefreshPeriodControl& refresh, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_clock(clock), m_refresh(refresh)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Chronometre"));

    m_hoursLabel = ClockLabel(QStringLiteral("00"), "h", this);
    m_minutesLabel = ClockLabel(QStringLiteral("00"), "m", this);
    m_secondsLabel = ClockLabel(QStringLiteral("00"), "s", this);
    m_tenthsLabel = ClockLabel(QStringLiteral("0"), "cs", this);
    m_startStopButton = Named(new QPushButton(QStringLiteral("Start"), this), "Button1");

    m_totalInLabel = ResultLabel(QStringLiteral("IN : 0ko"), "ti", this, QColor(0, 128, 0));
    m_totalOutLabel = ResultLabel(QStringLiteral("OUT : 0ko"), "tu", this, QColor(0, 0, 128));
    m_peakInLabel = ResultLabel(QStringLiteral("IN : 0ko/s"), "vd", this);
    m_peakOutLabel = ResultLabel(QStringLiteral("OUT : 0ko/s"), "vu", this);
    m_averageInLabel = ResultLabel(QStringLiteral("IN : 0ko/s"), "md", this);
    m_averageOutLabel = ResultLabel(QStringLiteral("OUT : 0ko/s"), "mu", this);
    m_forecastInLabel = ResultLabel(QStringLiteral("IN : 0ko"), "pd", this);
    m_forecastOutLabel = ResultLabel(QStringLiteral("OUT : 0ko"), "pu", this);

    QGroupBox* totals = Group(QStringLiteral("Total Transferré"), "GroupBox1", m_totalInLabel, m_totalOutLabel, this);
    QGroupBox* peaks = Group(QStringLiteral("Vitesse Maximale"), "GroupBox2", m_peakInLabel, m_peakOutLabel, this);
    QGroupBox* averages =
        Group(QStringLiteral("Vitesse Moyenne"), "GroupBox3", m_averageInLabel, m_averageOutLabel, this);

    auto* forecasts = Named(new QGroupBox(QStringLiteral("Prévisions"), this), "GroupBox4");
    m_hourButton = Named(new QRadioButton(QStringLiteral("Heure"), forecasts), "rb");
    m_dayButton = Named(new QRadioButton(QStringLiteral("Jour"), forecasts), "rb2");
    m_hourButton->setChecked(true);
    auto* forecast = new QGridLayout(forecasts);
    forecast->setContentsMargins(6, 2, 6, 2);
    forecast->setVerticalSpacing(0);
    forecast->addWidget(m_hourButton, 0, 0);
    forecast->addWidget(m_dayButton, 0, 1);
    forecast->addWidget(m_forecastInLabel, 1, 0);
    forecast->addWidget(m_forecastOutLabel, 1, 1);

    auto* clockRow = new QHBoxLayout;
    clockRow->addStretch();
    clockRow->addWidget(m_hoursLabel);
    clockRow->addWidget(ClockLabel(QStringLiteral(":"), "Label1", this));
    clockRow->addWidget(m_minutesLabel);
    clockRow->addWidget(ClockLabel(QStringLiteral(":"), "Label2", this));
    clockRow->addWidget(m_secondsLabel);
    clockRow->addWidget(ClockLabel(QStringLiteral("."), "Label3", this));
    clockRow->addWidget(m_tenthsLabel);
    clockRow->addStretch();

    // The fixed 281 × 301 client area leaves little room: keep the margins tight.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(3);
    layout->addLayout(clockRow);
    layout->addWidget(m_startStopButton);
    layout->addWidget(totals);
    layout->addWidget(peaks);
    layout->addWidget(averages);
    layout->addWidget(forecasts);
    setFixedSize(281, 301);

    m_elapsedTimer = Named(new QTimer(this), "Timer1");
    m_elapsedTimer->setInterval(1000);
    // A coarse timer may fire up to 5 % early, which showed the second before for a whole second.
    m_elapsedTimer->setTimerType(Qt::PreciseTimer);
    m_totalsTimer = Named(new QTimer(this), "Timer2");
    m_totalsTimer->setInterval(1000);
    m_tenthsTimer = Named(new QTimer(this), "Timer3");
    m_tenthsTimer->setInterval(100);

    connect(m_startStopButton, &QPushButton::clicked, this, &StopwatchWindow::startOrStop);
    connect(m_elapsedTimer, &QTimer::timeout, this, &StopwatchWindow::showElapsed);
    connect(m_totalsTimer, &QTimer::timeout, this, &StopwatchWindow::showTotals);
    connect(m_tenthsTimer, &QTimer::timeout, this, &StopwatchWindow::countTenths);
    connect(m_hourButton, &QRadioButton::toggled, this,
            [this](bool checked) { m_stopwatch.setForecast(checked ? ForecastSpan::Hour : ForecastSpan::Day); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool StopwatchWindow::isRunning() const
{
    return m_totalsTimer->isActive();
}

void StopwatchWindow::addSample(int32_t in, int32_t out)
{
    if (isRunning())
        m_stopwatch.addSample(in, out);
}

void StopwatchWindow::startOrStop()
{
    if (isRunning())
        stop();
    else
        start();
}

void StopwatchWindow::start()
{
    m_startStopButton->setText(QStringLiteral("Stop"));
    m_hoursLabel->setText(QStringLiteral("00"));
    m_minutesLabel->setText(QStringLiteral("00"));
    m_secondsLabel->setText(QStringLiteral("00"));
    m_tenthsLabel->setText(QStringLiteral("0"));
    m_stopwatch.Start(m_clock.steadyMs());
    m_refresh.setRefreshPosition(20);
    m_refresh.setRefreshEnabled(false);
    m_hourButton->setEnabled(true);
    m_elapsedTimer->start(1000);
    m_totalsTimer->start();
    m_tenthsTimer->start();
}

void StopwatchWindow::stop()
{
    m_startStopButton->setText(QStringLiteral("Start"));
    m_elapsedTimer->stop();
    m_totalsTimer->stop();
    m_tenthsTimer->stop();
    m_stopwatch.Stop();
    m_refresh.setRefreshEnabled(true);
}

void StopwatchWindow::showElapsed()
{
    const qint64 now = m_clock.steadyMs();
    const ElapsedText elapsed = m_stopwatch.ClockTick(now);
    m_secondsLabel->setText(elapsed.s);
    m_minutesLabel->setText(elapsed.m);
    m_hoursLabel->setText(elapsed.h);
    m_tenthsLabel->setText(QStringLiteral("0"));
    // The next tick lands on the next whole second, also after a tick that came late.
    if (m_elapsedTimer->isActive())
        m_elapsedTimer->start(m_stopwatch.MsToNextSecond(now));
}

void StopwatchWindow::showTotals()
{
    const StopwatchTexts t = m_stopwatch.TotalsTick();
    m_totalInLabel->setText(t.ti);
    m_totalOutLabel->setText(t.tu);
    m_averageInLabel->setText(t.md);
    m_averageOutLabel->setText(t.mu);
    m_peakInLabel->setText(t.vd);
    m_peakOutLabel->setText(t.vu);
    m_forecastInLabel->setText(t.pd);
    m_forecastOutLabel->setText(t.pu);
    if (m_stopwatch.forecast() == ForecastSpan::Day && !m_dayButton->isChecked())
        m_dayButton->setChecked(true);
    m_hourButton->setEnabled(m_stopwatch.hourEnabled());
}

void StopwatchWindow::countTenths()
{
    m_tenthsLabel->setText(Stopwatch::NextTenths(m_tenthsLabel->text()));
}

void StopwatchWindow::closeEvent(QCloseEvent* event)
{
    if (isRunning())
        stop();
    event->accept();
}
