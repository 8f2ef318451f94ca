// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;

// The icon as an item of the StatusNotifierItem protocol on the session bus, with its menu exported
// over com.canonical.dbusmenu: what Plasma, GNOME with the AppIndicator extension and most Wayland bars
// show. The toolkit's own item decides once per process whether a panel exists; this one watches for
// the StatusNotifierWatcher's name and registers each time a watcher appears, so a panel that starts
// late, or restarts, gets the item.
class StatusNotifierItem final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusNotifierItem)

public:
    static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

    enum class Watcher
    {
        Unknown, // the bus has not answered yet
        Absent,
        Present
    };

    // The menu is exported as it is; its items are offered once setMenuOffered(true) is called.
    StatusNotifierItem(QDBusConnection bus, QMenu* menu, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Exports the item and starts watching for a watcher; false without a session bus.
    bool start();
    // Leaves the bus, so that the panel drops the item at once.
    void stop();

    Watcher watcher() const { return m_watcher; }
    // Registered with a watcher whose panel shows items.
    bool shown() const { return m_registered && m_hostPresent; }
    const QString& serviceName() const { return m_serviceName; }

    void setToolTip(const QString& text);
    void setIcon(const QIcon& icon);
    void setMenuOffered(bool offered);

    // What the D-Bus side reads.
    const QString& toolTip() const { return m_toolTip; }
    const QIcon& icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }
    bool menuOffered() const { return m_menuOffered; }
    void popUpMenu(int x, int y);

signals:
    void shownChanged(bool shown);
    // The first answer about the watcher, or a change of it.
    void watcherChanged(Watcher watcher);
    // A click on the item (Activate).
    void activated();

private slots:
    // A panel came or went while the watcher stayed.
    void hostsChanged();

private:
    void setWatcher(Watcher watcher);
    void registerWithWatcher();
    void readHostPresence();
    void setRegistered(bool registered, bool hostPresent);

    QDBusConnection m_bus;
    QMenu* m_menu;
    QObject* m_itemAdaptor = nullptr;
    QObject* m_menuObject = nullptr;
    QString m_serviceName;
    QString m_toolTip;
    QIcon m_icon;
    bool m_menuOffered = false;
    bool m_started = false;
    Watcher m_watcher = Watcher::Unknown;
    bool m_registered = false;
    bool m_hostPresent = false;
    // Answers to calls made for an earlier watcher are ignored.
    quint64 m_watcherGeneration = 0;
};
