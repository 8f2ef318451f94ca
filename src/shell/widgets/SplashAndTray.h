// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class StatusNotifierItem;

// What the shell's menu and timers act on; each entry is filled by the object that creates the
// windows. An empty show function leaves its menu item disabled.
struct ShellPeers
{
    std::function<bool()> meterVisible;
    std::function<void(bool)> setMeterVisible;
    std::function<void()> showGraph;
    std::function<void()> showHistogram;
    std::function<void()> showTotals;
    std::function<void()> showStopwatch;
    std::function<void()> showConfiguration;
    std::function<void()> showAbout;
    // The close chain: a last sample, every setting written, then the program ends.
    std::function<void()> quit;
    // Hands the picture base name to the history graph, shows it and draws.
    std::function<void(const QString&)> startGraph;
    // The top-most watch's view of the meter.
    std::function<bool()> meterStaysOnTop;
    std::function<QRect()> meterFrame;
    std::function<bool()> meterActive;
    std::function<void()> raiseTopMostWindows;
    // Without a notification area the meter window shows, and its popup menu offers the tray's items.
    std::function<void(QMenu*)> noNotificationArea;
};

// The splash window and the notification-area icon with its menu. The icon is an item on the session bus
// for the panels that take one, else an XEmbed icon on X11. A notification area that appears late, even
// long after start, or that restarts, still gets the icon.
class SplashAndTray final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashAndTray)

public:
    SplashAndTray(std::optional<QString> pictureBase, QWidget* parent = nullptr);

    void setPeers(ShellPeers peers);
    // Starts the splash and the wait for a notification area (trayWaitMs, 30 s at log-in): a panel's
    // watcher on the bus, or on X11 an XEmbed tray. Without one by then, the meter carries the menu, and
    // the watch goes on.
    void start(int trayWaitMs = 30000, QDBusConnection bus = QDBusConnection::sessionBus());
    // Hides the splash, gives the icon its menu and hands the picture base over; only the first call acts.
    void endSplash();
    // What a click on the icon and "&Tachymetre" do: shows or hides the meter, with the check mark.
    void toggleMeter();
    // Once the meter is activated, puts the top-most windows back above it when it loses the focus.
    void startTopMostWatch();

    // The version shown on the splash, which the about box repeats.
    QString versionText() const;
    QMenu* trayMenu() const { return m_trayMenu; }

    // The meter sets them on every tick, whatever its period. Every change reaches the panel as a message
    // it acts on, so the icon takes them at most once a second (kTrayPaceMs), and only when they differ
    // from what it shows.
    static constexpr int kTrayPaceMs = 1000;
    void setTrayHint(const QString& hint);
    const QString& trayHint() const { return m_hint; }
    void setTrayImage(int index);
    // What the icon shows now.
    const QString& shownTrayHint() const { return m_shownHint; }
    int shownTrayImage() const { return m_shownImage; }
    void setMeterChecked(bool checked);

    // A balloon from an XEmbed icon; false when there is none to show it.
    bool showTrayMessage(const QString& title, const QString& text, bool error = true);
    // An icon shows in a notification area.
    bool hasTrayIcon() const;
    StatusNotifierItem* statusNotifierItem() const { return m_item; }
    // Takes the icon away at the end of the close chain.
    void removeTrayIcon();

signals:
    void splashEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void waitForTray();
    void itemShownChanged(bool shown);
    void showXEmbedIcon();
    void showTrayState();
    void restoreTopMost();

    QLabel* m_splashImage = nullptr;
    QLabel* m_versionLabel = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_trayMenu = nullptr;
    QAction* m_meterAction = nullptr;
    QAction* m_graphAction = nullptr;
    QAction* m_histogramAction = nullptr;
    QAction* m_totalsAction = nullptr;
    QAction* m_stopwatchAction = nullptr;
    QAction* m_configurationAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QTimer* m_splashTimer = nullptr;
    QTimer* m_topMostTimer = nullptr;

    StatusNotifierItem* m_item = nullptr;

    ShellPeers m_peers;
    std::optional<QString> m_pictureBase;
    bool m_splashDone = false;
    bool m_closing = false;
    bool m_trayRemoved = false;
    std::array<QIcon, 4> m_trayImages;
    QString m_hint;
    int m_image = 0;
    QString m_shownHint;
    int m_shownImage = 0;
    QTimer m_trayPace;
    QTimer m_trayWait;
    int m_trayWaitLeft = 0;
    bool m_toldNoTray = false;
};
