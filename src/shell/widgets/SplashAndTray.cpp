#include "shell/widgets/SplashAndTray.h"

#include "shell/Pictures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMessageBox>
#include <QScreen>

namespace
{
// After the first wait, a late notification area is looked for at this pace.
constexpr int kLateTrayPollMs = 5000;
}

SplashAndTray::SplashAndTray(std::optional<QString> pictureBase, QWidget* parent)
    : QWidget(parent), m_pictureBase(std::move(pictureBase))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("VORP beta"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen);
    setFixedSize(286, 169);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 286, 169);
    Image1->setPixmap(QPixmap::fromImage(SplashPicture()));
    Image1->installEventFilter(this);

    Label1 = new QLabel(QStringLiteral("1.10.11.213"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont font = Label1->font();
    font.setPixelSize(16);
    Label1->setFont(font);
    Label1->setStyleSheet(QStringLiteral("color: red; background: transparent;"));
    Label1->adjustSize();
    // Kept inside the 169-pixel picture so the whole text shows.
    Label1->move(72, 169 - Label1->height());
    Label1->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &SplashAndTray::Timer1Timer);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &SplashAndTray::Timer2Timer);

    buildMenu();
    m_trayWait.setInterval(500);
    connect(&m_trayWait, &QTimer::timeout, this, &SplashAndTray::waitForTray);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashAndTray::buildMenu()
{
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto add = [this](const char* name, const QString& caption) {
        QAction* a = PopupMenu2->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    Meter1 = add("Meter1", QStringLiteral("&Tachymetre"));
    Meter1->setCheckable(true);
    Graphique1 = add("Graphique1", QStringLiteral("&Graphique"));
    Histogramme1 = add("Histogramme1", QStringLiteral("H&istogramme"));
    Totals1 = add("Totals1", QStringLiteral("Totau&x"));
    Chronometre1 = add("Chronometre1", QStringLiteral("C&hronometre"));
    MenuItem1 = add("MenuItem1", QStringLiteral("&Configuration"));
    Apropos1 = add("Apropos1", QStringLiteral("A &propos..."));
    MenuItem2 = PopupMenu2->addSeparator();
    MenuItem2->setObjectName(QStringLiteral("MenuItem2"));
    Quitter1 = add("Quitter1", QStringLiteral("&Quitter"));

    connect(Meter1, &QAction::triggered, this, &SplashAndTray::Meter1Click);
    auto call = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    connect(Graphique1, &QAction::triggered, this, [this, call] { call(m_peers.showGraph); });
    connect(Histogramme1, &QAction::triggered, this, [this, call] { call(m_peers.showHistogram); });
    connect(Totals1, &QAction::triggered, this, [this, call] { call(m_peers.showTotals); });
    connect(Chronometre1, &QAction::triggered, this, [this, call] { call(m_peers.showStopwatch); });
    connect(MenuItem1, &QAction::triggered, this, [this, call] { call(m_peers.showConfiguration); });
    connect(Apropos1, &QAction::triggered, this, [this, call] { call(m_peers.showAbout); });
    connect(Quitter1, &QAction::triggered, this, [this, call] { call(m_peers.quit); });
}

void SplashAndTray::setPeers(ShellPeers peers)
{
    m_peers = std::move(peers);
    Graphique1->setEnabled(bool(m_peers.showGraph));
    Histogramme1->setEnabled(bool(m_peers.showHistogram));
    Totals1->setEnabled(bool(m_peers.showTotals));
    Chronometre1->setEnabled(bool(m_peers.showStopwatch));
    MenuItem1->setEnabled(bool(m_peers.showConfiguration));
    Apropos1->setEnabled(bool(m_peers.showAbout));
    Meter1->setEnabled(bool(m_peers.setMeterVisible));
}

void SplashAndTray::start(int trayWaitMs)
{
    show();
    Timer1->start();
    m_trayWaitLeft = trayWaitMs;
    waitForTray();
}

void SplashAndTray::waitForTray()
{
    if (TrayIcon1 != nullptr)
        return;
    if (QSystemTrayIcon::isSystemTrayAvailable())
    {
        m_trayWait.stop();
        createTrayIcon();
        return;
    }
    if (m_trayWaitLeft > 0)
    {
        m_trayWaitLeft -= m_trayWait.interval();
        if (!m_trayWait.isActive())
            m_trayWait.start();
        return;
    }
    if (m_toldNoTray)
        return;
    // No notification area yet: the meter window carries the menu, and the watch goes on slowly
    // for a panel that starts late or is restarted.
    m_toldNoTray = true;
    m_trayWait.setInterval(kLateTrayPollMs);
    m_trayWait.start();
    if (m_peers.noNotificationArea)
        m_peers.noNotificationArea(PopupMenu2);
}

bool SplashAndTray::showTrayMessage(const QString& title, const QString& text)
{
    if (TrayIcon1 == nullptr || !TrayIcon1->isVisible() || !QSystemTrayIcon::supportsMessages())
        return false;
    TrayIcon1->showMessage(title, text, QSystemTrayIcon::Critical);
    return true;
}

void SplashAndTray::removeTrayIcon()
{
    if (TrayIcon1 != nullptr)
        TrayIcon1->hide();
}

void SplashAndTray::createTrayIcon()
{
    TrayIcon1 = new QSystemTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setIcon(QIcon(QPixmap::fromImage(TrayImage(m_image < 0 ? 0 : m_image))));
    if (m_image < 0)
        m_image = 0;
    TrayIcon1->setToolTip(m_hint);
    if (m_splashDone)
        TrayIcon1->setContextMenu(PopupMenu2);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            TrayIcon1Click();
    });
    TrayIcon1->show();
    emit trayReady();
}

void SplashAndTray::Timer1Timer()
{
    if (m_splashDone)
        return;
    m_splashDone = true;
    Timer1->stop();
    if (TrayIcon1 != nullptr)
        TrayIcon1->setContextMenu(PopupMenu2);
    hide();
    if (m_pictureBase && m_peers.startGraph)
        m_peers.startGraph(*m_pictureBase);
    emit splashEnded();
}

void SplashAndTray::Timer2Timer()
{
    if (!m_peers.meterStaysOnTop || !m_peers.meterStaysOnTop() || !Meter1->isChecked())
        return;
    const QPoint p = QCursor::pos();
    const QRect r = m_peers.meterFrame ? m_peers.meterFrame() : QRect();
    const bool inside = p.x() >= r.left() && p.x() <= r.left() + r.width() && p.y() >= r.top() &&
                        p.y() <= r.top() + r.height();
    if (inside || (m_peers.meterActive && m_peers.meterActive()))
        return;
    Timer2->stop();
    if (m_peers.raiseTopMostWindows)
        m_peers.raiseTopMostWindows();
}

void SplashAndTray::TrayIcon1Click()
{
    Meter1Click();
}

void SplashAndTray::Meter1Click()
{
    if (!m_peers.meterVisible || !m_peers.setMeterVisible)
        return;
    const bool show = !m_peers.meterVisible();
    m_peers.setMeterVisible(show);
    Meter1->setChecked(show);
}

void SplashAndTray::setMeterChecked(bool checked)
{
    Meter1->setChecked(checked);
}

void SplashAndTray::setTrayHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    if (TrayIcon1 != nullptr)
        TrayIcon1->setToolTip(hint);
}

void SplashAndTray::setTrayImage(int index)
{
    if (index == m_image)
        return;
    m_image = index;
    if (TrayIcon1 != nullptr)
        TrayIcon1->setIcon(QIcon(QPixmap::fromImage(TrayImage(index))));
}

void SplashAndTray::closeEvent(QCloseEvent* event)
{
    // Closing the splash window ends the program, as "&Quitter" does.
    event->accept();
    if (!m_closing)
    {
        m_closing = true;
        if (m_peers.quit)
            m_peers.quit();
    }
}

bool SplashAndTray::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == Image1 || watched == Label1) && event->type() == QEvent::MouseButtonPress && !m_splashDone)
    {
        Timer1Timer();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
