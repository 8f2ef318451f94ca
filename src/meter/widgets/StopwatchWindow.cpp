#include "meter/widgets/StopwatchWindow.h"

#include "common/widgets/Named.h"

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
    {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
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

    h = ClockLabel(QStringLiteral("00"), "h", this);
    m = ClockLabel(QStringLiteral("00"), "m", this);
    s = ClockLabel(QStringLiteral("00"), "s", this);
    cs = ClockLabel(QStringLiteral("0"), "cs", this);
    Button1 = Named(new QPushButton(QStringLiteral("Start"), this), "Button1");

    ti = ResultLabel(QStringLiteral("IN : 0ko"), "ti", this, QColor(0, 128, 0));
    tu = ResultLabel(QStringLiteral("OUT : 0ko"), "tu", this, QColor(0, 0, 128));
    vd = ResultLabel(QStringLiteral("IN : 0ko/s"), "vd", this);
    vu = ResultLabel(QStringLiteral("OUT : 0ko/s"), "vu", this);
    md = ResultLabel(QStringLiteral("IN : 0ko/s"), "md", this);
    mu = ResultLabel(QStringLiteral("OUT : 0ko/s"), "mu", this);
    pd = ResultLabel(QStringLiteral("IN : 0ko"), "pd", this);
    pu = ResultLabel(QStringLiteral("OUT : 0ko"), "pu", this);

    GroupBox1 = Group(QStringLiteral("Total Transferré"), "GroupBox1", ti, tu, this);
    GroupBox2 = Group(QStringLiteral("Vitesse Maximale"), "GroupBox2", vd, vu, this);
    GroupBox3 = Group(QStringLiteral("Vitesse Moyenne"), "GroupBox3", md, mu, this);

    GroupBox4 = Named(new QGroupBox(QStringLiteral("Prévisions"), this), "GroupBox4");
    rb = Named(new QRadioButton(QStringLiteral("Heure"), GroupBox4), "rb");
    rb2 = Named(new QRadioButton(QStringLiteral("Jour"), GroupBox4), "rb2");
    rb->setChecked(true);
    auto* forecast = new QGridLayout(GroupBox4);
    forecast->setContentsMargins(6, 2, 6, 2);
    forecast->setVerticalSpacing(0);
    forecast->addWidget(rb, 0, 0);
    forecast->addWidget(rb2, 0, 1);
    forecast->addWidget(pd, 1, 0);
    forecast->addWidget(pu, 1, 1);

    auto* clockRow = new QHBoxLayout;
    clockRow->addStretch();
    clockRow->addWidget(h);
    clockRow->addWidget(ClockLabel(QStringLiteral(":"), "Label1", this));
    clockRow->addWidget(m);
    clockRow->addWidget(ClockLabel(QStringLiteral(":"), "Label2", this));
    clockRow->addWidget(s);
    clockRow->addWidget(ClockLabel(QStringLiteral("."), "Label3", this));
    clockRow->addWidget(cs);
    clockRow->addStretch();

    // The fixed 281 × 301 client area leaves little room: keep the margins tight.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(3);
    layout->addLayout(clockRow);
    layout->addWidget(Button1);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    layout->addWidget(GroupBox3);
    layout->addWidget(GroupBox4);
    setFixedSize(281, 301);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(1000);
    Timer3 = Named(new QTimer(this), "Timer3");
    Timer3->setInterval(100);

    connect(Button1, &QPushButton::clicked, this, &StopwatchWindow::Button1Click);
    connect(Timer1, &QTimer::timeout, this, &StopwatchWindow::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &StopwatchWindow::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &StopwatchWindow::Timer3Timer);
    connect(rb, &QRadioButton::toggled, this,
            [this](bool checked) { m_stopwatch.setForecast(checked ? ForecastSpan::Hour : ForecastSpan::Day); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool StopwatchWindow::isRunning() const
{
    return Timer2->isActive();
}

void StopwatchWindow::addSample(int32_t in, int32_t out)
{
    if (isRunning())
        m_stopwatch.addSample(in, out);
}

void StopwatchWindow::Button1Click()
{
    if (Button1->text() == QStringLiteral("Start"))
        Start();
    else
        Stop();
}

void StopwatchWindow::Start()
{
    Button1->setText(QStringLiteral("Stop"));
    h->setText(QStringLiteral("00"));
    m->setText(QStringLiteral("00"));
    s->setText(QStringLiteral("00"));
    cs->setText(QStringLiteral("0"));
    m_stopwatch.Start(m_clock.now());
    m_refresh.setRefreshPosition(20);
    m_refresh.setRefreshEnabled(false);
    rb->setEnabled(true);
    Timer1->start();
    Timer2->start();
    Timer3->start();
}

void StopwatchWindow::Stop()
{
    Button1->setText(QStringLiteral("Start"));
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    m_stopwatch.Stop();
    m_refresh.setRefreshEnabled(true);
}

void StopwatchWindow::Timer1Timer()
{
    const ElapsedText elapsed = m_stopwatch.ClockTick(m_clock.now());
    s->setText(elapsed.s);
    m->setText(elapsed.m);
    h->setText(elapsed.h);
    cs->setText(QStringLiteral("0"));
}

void StopwatchWindow::Timer2Timer()
{
    const StopwatchTexts t = m_stopwatch.TotalsTick();
    ti->setText(t.ti);
    tu->setText(t.tu);
    md->setText(t.md);
    mu->setText(t.mu);
    vd->setText(t.vd);
    vu->setText(t.vu);
    pd->setText(t.pd);
    pu->setText(t.pu);
    if (m_stopwatch.forecast() == ForecastSpan::Day && !rb2->isChecked())
        rb2->setChecked(true);
    rb->setEnabled(m_stopwatch.hourEnabled());
}

void StopwatchWindow::Timer3Timer()
{
    cs->setText(Stopwatch::NextTenths(cs->text()));
}

bool StopwatchWindow::FormCloseQuery()
{
    if (Button1->text() == QStringLiteral("Stop"))
        Stop();
    return true;
}

void StopwatchWindow::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}
