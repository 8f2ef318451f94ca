#pragma once

#include <QLabel>
#include <QMenu>
#include <QPointer>
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
    // RestoreTopMost's view of the meter.
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

    // The meter sets them on every tick; the icon is only touched when they change.
    void setTrayHint(const QString& hint);
    void setTrayImage(int index);
    void setMeterChecked(bool checked);

    bool splashDone() const { return m_splashDone; }
    // A message from the tray icon; false when there is no icon to show it.
    bool showTrayMessage(const QString& title, const QString& text);
    bool hasTrayIcon() const { return TrayIcon1 != nullptr; }
    // Hides the icon at the end of the close chain.
    void removeTrayIcon();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Meter1 = nullptr;
    QAction* Graphique1 = nullptr;
    QAction* Histogramme1 = nullptr;
    QAction* Totals1 = nullptr;
    QAction* Chronometre1 = nullptr;
    QAction* MenuItem1 = nullptr;
    QAction* Apropos1 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* Quitter1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

public slots:
    void Timer1Timer();
    void Timer2Timer();
    void TrayIcon1Click();
    void Meter1Click();

signals:
    void splashEnded();
    void trayReady();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void waitForTray();
    void createTrayIcon();

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
