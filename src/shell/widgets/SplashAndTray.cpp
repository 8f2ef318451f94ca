// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/SplashAndTray.h"

#include "common/widgets/Named.h"
#include "shell/Pictures.h"

#include <QCloseEvent>
#include <QCursor>
#include <QScreen>

namespace
{
// After the first wait, a late notification area is looked for at this pace.
constexpr int kLateTrayPollMs = 5000;
} // namespace

SplashAndTray::SplashAndTray(std::optional<QString> pictureBase, QWidget* parent)
    : QWidget(parent), m_pictureBase(std::move(pictureBase))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("VORP beta"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen);
    setFixedSize(286, 169);

    m_splashImage = Named(new QLabel(this), "Image1");
    m_splashImage->setGeometry(0, 0, 286, 169);
    m_splashImage->setPixmap(QPixmap::fromImage(SplashPicture()));
    m_splashImage->installEventFilter(this);

    m_versionLabel = Named(new QLabel(QStringLiteral("1.10.11.213"), this), "Label1");
    QFont font = m_versionLabel->font();
    font.setPixelSize(16);
    m_versionLabel->setFont(font);
    m_versionLabel->setStyleSheet(QStringLiteral("color: red; background: transparent;"));
    m_versionLabel->adjustSize();
    // Kept inside the 169-pixel picture so the whole text shows.
    m_versionLabel->move(72, 169 - m_versionLabel->height());
    m_versionLabel->installEventFilter(this);

    m_splashTimer = Named(new QTimer(this), "Timer1");
    m_splashTimer->setInterval(3000);
    m_splashTimer->setSingleShot(true);
    connect(m_splashTimer, &QTimer::timeout, this, &SplashAndTray::endSplash);

    m_topMostTimer = Named(new QTimer(this), "Timer2");
    m_topMostTimer->setInterval(1000);
    connect(m_topMostTimer, &QTimer::timeout, this, &SplashAndTray::restoreTopMost);

    buildMenu();
    m_trayWait.setInterval(500);
    connect(&m_trayWait, &QTimer::timeout, this, &SplashAndTray::waitForTray);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashAndTray::buildMenu()
{
    m_trayMenu = Named(new QMenu(this), "PopupMenu2");
    auto add = [this](const char* name, const QString& caption) { return Named(m_trayMenu->addAction(caption), name); };
    m_meterAction = add("Meter1", QStringLiteral("&Tachymetre"));
    m_meterAction->setCheckable(true);
    m_graphAction = add("Graphique1", QStringLiteral("&Graphique"));
    m_histogramAction = add("Histogramme1", QStringLiteral("H&istogramme"));
    m_totalsAction = add("Totals1", QStringLiteral("Totau&x"));
    m_stopwatchAction = add("Chronometre1", QStringLiteral("C&hronometre"));
    m_configurationAction = add("MenuItem1", QStringLiteral("&Configuration"));
    m_aboutAction = add("Apropos1", QStringLiteral("A &propos..."));
    Named(m_trayMenu->addSeparator(), "MenuItem2");
    QAction* quitAction = add("Quitter1", QStringLiteral("&Quitter"));

    connect(m_meterAction, &QAction::triggered, this, &SplashAndTray::toggleMeter);
    auto call = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    connect(m_graphAction, &QAction::triggered, this, [this, call] { call(m_peers.showGraph); });
    connect(m_histogramAction, &QAction::triggered, this, [this, call] { call(m_peers.showHistogram); });
    connect(m_totalsAction, &QAction::triggered, this, [this, call] { call(m_peers.showTotals); });
    connect(m_stopwatchAction, &QAction::triggered, this, [this, call] { call(m_peers.showStopwatch); });
    connect(m_configurationAction, &QAction::triggered, this, [this, call] { call(m_peers.showConfiguration); });
    connect(m_aboutAction, &QAction::triggered, this, [this, call] { call(m_peers.showAbout); });
    connect(quitAction, &QAction::triggered, this, [this, call] { call(m_peers.quit); });
}

void SplashAndTray::setPeers(ShellPeers peers)
{
    m_peers = std::move(peers);
    m_graphAction->setEnabled(bool(m_peers.showGraph));
    m_histogramAction->setEnabled(bool(m_peers.showHistogram));
    m_totalsAction->setEnabled(bool(m_peers.showTotals));
    m_stopwatchAction->setEnabled(bool(m_peers.showStopwatch));
    m_configurationAction->setEnabled(bool(m_peers.showConfiguration));
    m_aboutAction->setEnabled(bool(m_peers.showAbout));
    m_meterAction->setEnabled(bool(m_peers.setMeterVisible));
}

void SplashAndTray::start(int trayWaitMs)
{
    show();
    m_splashTimer->start();
    m_trayWaitLeft = trayWaitMs;
    waitForTray();
}

QString SplashAndTray::versionText() const
{
    return m_versionLabel->text();
}

void SplashAndTray::startTopMostWatch()
{
    m_topMostTimer->start();
}

void SplashAndTray::waitForTray()
{
    if (m_trayIcon != nullptr)
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
        m_peers.noNotificationArea(m_trayMenu);
}

bool SplashAndTray::showTrayMessage(const QString& title, const QString& text)
{
    if (m_trayIcon == nullptr || !m_trayIcon->isVisible() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_trayIcon->showMessage(title, text, QSystemTrayIcon::Critical);
    return true;
}

void SplashAndTray::removeTrayIcon()
{
    if (m_trayIcon != nullptr)
        m_trayIcon->hide();
}

void SplashAndTray::createTrayIcon()
{
    m_trayIcon = Named(new QSystemTrayIcon(this), "TrayIcon1");
    m_trayIcon->setIcon(QIcon(QPixmap::fromImage(TrayImage(m_image < 0 ? 0 : m_image))));
    if (m_image < 0)
        m_image = 0;
    m_trayIcon->setToolTip(m_hint);
    // The menu waits for the end of the splash.
    if (m_splashDone)
        m_trayIcon->setContextMenu(m_trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleMeter();
    });
    m_trayIcon->show();
}

void SplashAndTray::endSplash()
{
    if (m_splashDone)
        return;
    m_splashDone = true;
    m_splashTimer->stop();
    if (m_trayIcon != nullptr)
        m_trayIcon->setContextMenu(m_trayMenu);
    hide();
    if (m_pictureBase && m_peers.startGraph)
        m_peers.startGraph(*m_pictureBase);
    emit splashEnded();
}

void SplashAndTray::restoreTopMost()
{
    if (!m_peers.meterStaysOnTop || !m_peers.meterStaysOnTop() || !m_meterAction->isChecked())
        return;
    const QPoint p = QCursor::pos();
    const QRect r = m_peers.meterFrame ? m_peers.meterFrame() : QRect();
    const bool inside =
        p.x() >= r.left() && p.x() <= r.left() + r.width() && p.y() >= r.top() && p.y() <= r.top() + r.height();
    if (inside || (m_peers.meterActive && m_peers.meterActive()))
        return;
    m_topMostTimer->stop();
    if (m_peers.raiseTopMostWindows)
        m_peers.raiseTopMostWindows();
}

void SplashAndTray::toggleMeter()
{
    if (!m_peers.meterVisible || !m_peers.setMeterVisible)
        return;
    const bool show = !m_peers.meterVisible();
    m_peers.setMeterVisible(show);
    m_meterAction->setChecked(show);
}

void SplashAndTray::setMeterChecked(bool checked)
{
    m_meterAction->setChecked(checked);
}

void SplashAndTray::setTrayHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    if (m_trayIcon != nullptr)
        m_trayIcon->setToolTip(hint);
}

void SplashAndTray::setTrayImage(int index)
{
    if (index == m_image)
        return;
    m_image = index;
    if (m_trayIcon != nullptr)
        m_trayIcon->setIcon(QIcon(QPixmap::fromImage(TrayImage(index))));
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
    if ((watched == m_splashImage || watched == m_versionLabel) && event->type() == QEvent::MouseButtonPress &&
        !m_splashDone)
    {
        endSplash();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
