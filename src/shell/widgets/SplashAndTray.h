// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

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

// The splash window and the notification-area icon with its menu. A notification area that appears late,
// even long after start, still gets the icon.
class SplashAndTray final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashAndTray)

public:
    SplashAndTray(std::optional<QString> pictureBase, QWidget* parent = nullptr);

    void setPeers(ShellPeers peers);
    // Starts the splash and the wait for a notification area (trayWaitMs, 30 s at log-in).
    void start(int trayWaitMs = 30000);
    // Hides the splash, gives the icon its menu and hands the picture base over; only the first call acts.
    void endSplash();
    // What a click on the icon and "&Tachymetre" do: shows or hides the meter, with the check mark.
    void toggleMeter();
    // Once the meter is activated, puts the top-most windows back above it when it loses the focus.
    void startTopMostWatch();

    // The version shown on the splash, which the about box repeats.
    QString versionText() const;
    QMenu* trayMenu() const { return m_trayMenu; }

    // The meter sets them on every tick; the icon is only touched when they change.
    void setTrayHint(const QString& hint);
    const QString& trayHint() const { return m_hint; }
    void setTrayImage(int index);
    void setMeterChecked(bool checked);

    // A message from the tray icon; false when there is no icon to show it.
    bool showTrayMessage(const QString& title, const QString& text);
    bool hasTrayIcon() const { return m_trayIcon != nullptr; }
    // Hides the icon at the end of the close chain.
    void removeTrayIcon();

signals:
    void splashEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void waitForTray();
    void createTrayIcon();
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

    ShellPeers m_peers;
    std::optional<QString> m_pictureBase;
    bool m_splashDone = false;
    bool m_closing = false;
    QString m_hint;
    int m_image = -1;
    QTimer m_trayWait;
    int m_trayWaitLeft = 0;
    bool m_toldNoTray = false;
};
