// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/SplashAndTray.h"

#include "common/widgets/AppIcon.h"
#include "common/widgets/Named.h"
#include "shell/Pictures.h"
#include "shell/widgets/StatusNotifierItem.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace
{
// After the first wait, a late XEmbed tray is looked for at this pace; a panel's watcher on the bus is
// seen the moment it appears.
constexpr int kLateTrayPollMs = 5000;

bool OnX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}
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
    connect(&m_trayWait, &QTimer::timeout, this, [this] {
        m_trayWaitLeft -= std::min(m_trayWaitLeft, m_trayWait.interval());
        waitForTray();
    });
    m_trayPace.setSingleShot(true);
    m_trayPace.setTimerType(Qt::PreciseTimer);
    m_trayPace.setInterval(kTrayPaceMs);
    connect(&m_trayPace, &QTimer::timeout, this, &SplashAndTray::showTrayState);
    for (int i = 0; i < int(m_trayImages.size()); ++i)
        m_trayImages[size_t(i)] = TrayIcon(i);

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

void SplashAndTray::start(int trayWaitMs, QDBusConnection bus)
{
    show();
    m_splashTimer->start();
    m_trayWaitLeft = trayWaitMs;
    if (bus.isConnected())
    {
        m_item = new StatusNotifierItem(bus, m_trayMenu, this);
        m_item->setIcon(m_trayImages[size_t(m_shownImage)]);
        m_item->setToolTip(m_shownHint);
        m_item->setMenuOffered(m_splashDone);
        connect(m_item, &StatusNotifierItem::shownChanged, this, &SplashAndTray::itemShownChanged);
        // Once the bus says no panel takes items, an XEmbed tray may be looked for.
        connect(m_item, &StatusNotifierItem::watcherChanged, this, &SplashAndTray::waitForTray);
        connect(m_item, &StatusNotifierItem::activated, this, &SplashAndTray::toggleMeter);
        if (!m_item->start())
        {
            delete m_item;
            m_item = nullptr;
        }
    }
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

bool SplashAndTray::hasTrayIcon() const
{
    return (m_item && m_item->shown()) || (m_trayIcon && m_trayIcon->isVisible());
}

void SplashAndTray::waitForTray()
{
    if (m_trayRemoved)
        return;
    if (hasTrayIcon())
    {
        m_trayWait.stop();
        return;
    }
    // XEmbed only while the bus has no panel's watcher: the toolkit settles for the life of the process,
    // at its first look, whether its icon goes over the bus, and this keeps it on XEmbed.
    if (OnX11() && (!m_item || m_item->watcher() == StatusNotifierItem::Watcher::Absent) &&
        QSystemTrayIcon::isSystemTrayAvailable())
    {
        m_trayWait.stop();
        showXEmbedIcon();
        return;
    }
    if (!m_trayWait.isActive())
        m_trayWait.start();
    if (m_trayWaitLeft > 0)
        return;
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

void SplashAndTray::itemShownChanged(bool shown)
{
    if (m_trayRemoved)
        return;
    // The panel's item wins over an XEmbed icon, which comes back if that panel goes for good.
    if (shown)
    {
        m_trayWait.stop();
        if (m_trayIcon)
            m_trayIcon->hide();
    }
    else if (m_trayIcon)
        m_trayIcon->show();
    else
        waitForTray();
}

bool SplashAndTray::showTrayMessage(const QString& title, const QString& text, bool error)
{
    if (m_trayIcon == nullptr || !m_trayIcon->isVisible() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_trayIcon->showMessage(title, text, error ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information);
    return true;
}

void SplashAndTray::removeTrayIcon()
{
    m_trayRemoved = true;
    m_trayWait.stop();
    if (m_trayIcon != nullptr)
        m_trayIcon->hide();
    if (m_item)
        m_item->stop();
}

void SplashAndTray::showXEmbedIcon()
{
    if (m_trayIcon == nullptr)
    {
        m_trayIcon = Named(new QSystemTrayIcon(this), "TrayIcon1");
        m_trayIcon->setIcon(m_trayImages[size_t(m_shownImage)]);
        m_trayIcon->setToolTip(m_shownHint);
        // The menu waits for the end of the splash.
        if (m_splashDone)
            m_trayIcon->setContextMenu(m_trayMenu);
        connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                toggleMeter();
        });
    }
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
    if (m_item)
        m_item->setMenuOffered(true);
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
    m_hint = hint;
    if (!m_trayPace.isActive())
        showTrayState();
}

void SplashAndTray::setTrayImage(int index)
{
    m_image = index >= 0 && index < int(m_trayImages.size()) ? index : 0;
    if (!m_trayPace.isActive())
        showTrayState();
}

void SplashAndTray::showTrayState()
{
    if (m_hint == m_shownHint && m_image == m_shownImage)
        return;
    if (m_hint != m_shownHint)
    {
        m_shownHint = m_hint;
        if (m_trayIcon)
            m_trayIcon->setToolTip(m_shownHint);
        if (m_item)
            m_item->setToolTip(m_shownHint);
    }
    if (m_image != m_shownImage)
    {
        m_shownImage = m_image;
        if (m_trayIcon)
            m_trayIcon->setIcon(m_trayImages[size_t(m_shownImage)]);
        if (m_item)
            m_item->setIcon(m_trayImages[size_t(m_shownImage)]);
    }
    // What changes before the pace allows waits for it.
    m_trayPace.start();
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
