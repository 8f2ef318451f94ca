// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/StatusNotifierItem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMenu>
#include <QtEndian>

namespace sni
{
// a(iiay): ARGB32 pixels in network byte order.
struct Pixmap
{
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using Pixmaps = QList<Pixmap>;

// (sa(iiay)ss)
struct ToolTip
{
    QString iconName;
    Pixmaps pixmaps;
    QString title;
    QString text;
};

// (ia{sv}av): an item, its properties and its children, each child a variant holding the same structure.
struct MenuLayout
{
    int id = 0;
    QVariantMap properties;
    QList<MenuLayout> children;
};

// (ia{sv})
struct MenuItem
{
    int id = 0;
    QVariantMap properties;
};
using MenuItems = QList<MenuItem>;

// (ias)
struct MenuItemKeys
{
    int id = 0;
    QStringList names;
};
using MenuItemKeysList = QList<MenuItemKeys>;

// (isvu)
struct MenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEvents = QList<MenuEvent>;

QDBusArgument& operator<<(QDBusArgument& a, const Pixmap& p)
{
    a.beginStructure();
    a << p.width << p.height << p.bytes;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Pixmap& p)
{
    a.beginStructure();
    a >> p.width >> p.height >> p.bytes;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const ToolTip& t)
{
    a.beginStructure();
    a << t.iconName << t.pixmaps << t.title << t.text;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, ToolTip& t)
{
    a.beginStructure();
    a >> t.iconName >> t.pixmaps >> t.title >> t.text;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuLayout& m)
{
    a.beginStructure();
    a << m.id << m.properties;
    a.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const MenuLayout& child : m.children)
        a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuLayout& m)
{
    a.beginStructure();
    a >> m.id >> m.properties;
    m.children.clear();
    a.beginArray();
    while (!a.atEnd())
    {
        QDBusVariant child;
        a >> child;
        m.children.append(qdbus_cast<MenuLayout>(child.variant()));
    }
    a.endArray();
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuItem& m)
{
    a.beginStructure();
    a << m.id << m.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuItem& m)
{
    a.beginStructure();
    a >> m.id >> m.properties;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuItemKeys& m)
{
    a.beginStructure();
    a << m.id << m.names;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuItemKeys& m)
{
    a.beginStructure();
    a >> m.id >> m.names;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& e)
{
    a.beginStructure();
    a << e.id << e.eventId << e.data << e.timestamp;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent& e)
{
    a.beginStructure();
    a >> e.id >> e.eventId >> e.data >> e.timestamp;
    a.endStructure();
    return a;
}
} // namespace sni

Q_DECLARE_METATYPE(sni::Pixmap)
Q_DECLARE_METATYPE(sni::ToolTip)
Q_DECLARE_METATYPE(sni::MenuLayout)
Q_DECLARE_METATYPE(sni::MenuItem)
Q_DECLARE_METATYPE(sni::MenuItemKeys)
Q_DECLARE_METATYPE(sni::MenuEvent)

namespace
{
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

void RegisterTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<sni::Pixmap>();
        qDBusRegisterMetaType<sni::Pixmaps>();
        qDBusRegisterMetaType<sni::ToolTip>();
        qDBusRegisterMetaType<sni::MenuLayout>();
        qDBusRegisterMetaType<sni::MenuItem>();
        qDBusRegisterMetaType<sni::MenuItems>();
        qDBusRegisterMetaType<sni::MenuItemKeys>();
        qDBusRegisterMetaType<sni::MenuItemKeysList>();
        qDBusRegisterMetaType<sni::MenuEvent>();
        qDBusRegisterMetaType<sni::MenuEvents>();
        // The adaptors' signatures name the lists by these names.
        qRegisterMetaType<sni::Pixmaps>("sni::Pixmaps");
        qRegisterMetaType<sni::MenuItems>("sni::MenuItems");
        qRegisterMetaType<sni::MenuItemKeysList>("sni::MenuItemKeysList");
        qRegisterMetaType<sni::MenuEvents>("sni::MenuEvents");
        return true;
    }();
    Q_UNUSED(registered);
}

sni::Pixmaps PixmapsOf(const QIcon& icon)
{
    sni::Pixmaps pixmaps;
    for (const QSize& size : icon.availableSizes())
    {
        const QImage image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        sni::Pixmap p{image.width(), image.height(), QByteArray(image.width() * image.height() * 4, Qt::Uninitialized)};
        auto* out = reinterpret_cast<quint32*>(p.bytes.data());
        for (int y = 0; y < image.height(); ++y)
        {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(quint32(line[x]));
        }
        pixmaps.append(p);
    }
    return pixmaps;
}

// The menu's mnemonic marker is "_" on the bus, "&" in Qt.
QString BusLabel(const QString& text)
{
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const QChar c = text[i];
        if (c == QLatin1Char('_'))
            label += QStringLiteral("__");
        else if (c == QLatin1Char('&') && i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
        {
            label += QLatin1Char('&');
            ++i;
        }
        else if (c == QLatin1Char('&'))
            label += QLatin1Char('_');
        else
            label += c;
    }
    return label;
}

QVariantMap ItemProperties(const QAction* action, const QStringList& wanted)
{
    QVariantMap p;
    if (action->isSeparator())
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    else
    {
        p.insert(QStringLiteral("label"), BusLabel(action->text()));
        if (action->isCheckable())
        {
            p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
            p.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
        }
    }
    p.insert(QStringLiteral("enabled"), action->isEnabled());
    p.insert(QStringLiteral("visible"), action->isVisible());
    if (!wanted.isEmpty())
        for (auto it = p.begin(); it != p.end();)
            it = wanted.contains(it.key()) ? std::next(it) : p.erase(it);
    return p;
}
} // namespace

// org.kde.StatusNotifierItem at /StatusNotifierItem.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ none)
    Q_PROPERTY(QString IconName READ none)
    Q_PROPERTY(sni::Pixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(sni::Pixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(sni::Pixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(sni::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), m_item(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("vorp"); }
    QString title() const { return QStringLiteral("VORP"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString none() const { return {}; }
    sni::Pixmaps iconPixmap()
    {
        // Converted once per image: the icon changes at most once a second, among four images.
        const qint64 key = m_item->icon().cacheKey();
        auto it = m_pixmaps.constFind(key);
        if (it == m_pixmaps.constEnd())
            it = m_pixmaps.insert(key, PixmapsOf(m_item->icon()));
        return *it;
    }
    sni::Pixmaps noPixmaps() const { return {}; }
    sni::ToolTip toolTip() const
    {
        // Hosts read the text as a little HTML.
        QString text = m_item->toolTip().toHtmlEscaped();
        text.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        return sni::ToolTip{QString(), {}, title(), text};
    }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(kMenuPath); }

public slots:
    void Activate(int, int) { emit m_item->activated(); }
    void SecondaryActivate(int, int) {}
    void ContextMenu(int x, int y) { m_item->popUpMenu(x, y); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* m_item;
    QHash<qint64, sni::Pixmaps> m_pixmaps;
};

// com.canonical.dbusmenu at /MenuBar: the tray menu's actions, numbered from 1 in their order; 0 is the root.
class DBusMenuAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    DBusMenuAdaptor(QObject* exported, StatusNotifierItem* item) : QDBusAbstractAdaptor(exported), m_item(item)
    {
        const QList<QAction*> actions = item->menu()->actions();
        for (qsizetype i = 0; i < actions.size(); ++i)
        {
            QAction* action = actions[i];
            const int id = int(i) + 1;
            connect(action, &QAction::changed, this, [this, action, id] {
                if (m_item->shown() && m_item->menuOffered())
                    emit ItemsPropertiesUpdated({sni::MenuItem{id, ItemProperties(action, {})}}, {});
            });
        }
    }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    void layoutChanged() { emit LayoutUpdated(++m_revision, 0); }

public slots:
    uint GetLayout(int parentId, int, const QStringList& propertyNames, sni::MenuLayout& layout)
    {
        QAction* action = actionOf(parentId);
        if (action)
            layout = sni::MenuLayout{parentId, ItemProperties(action, propertyNames), {}};
        else
        {
            layout = sni::MenuLayout{0, {{QStringLiteral("children-display"), QStringLiteral("submenu")}}, {}};
            const QList<QAction*> actions = offered();
            for (qsizetype i = 0; i < actions.size(); ++i)
                layout.children.append(sni::MenuLayout{int(i) + 1, ItemProperties(actions[i], propertyNames), {}});
        }
        return m_revision;
    }
    sni::MenuItems GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        sni::MenuItems items;
        const QList<QAction*> actions = offered();
        for (qsizetype i = 0; i < actions.size(); ++i)
            if (ids.isEmpty() || ids.contains(int(i) + 1))
                items.append(sni::MenuItem{int(i) + 1, ItemProperties(actions[i], propertyNames)});
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name)
    {
        const QAction* action = actionOf(id);
        return QDBusVariant(action ? ItemProperties(action, {name}).value(name) : QVariant());
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint)
    {
        // After the answer has gone: "&Quitter" ends the program.
        if (eventId == QLatin1String("clicked"))
            if (QAction* action = actionOf(id); action && action->isEnabled() && !action->isSeparator())
                QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    }
    QList<int> EventGroup(const sni::MenuEvents& events)
    {
        QList<int> unknown;
        for (const sni::MenuEvent& e : events)
        {
            if (actionOf(e.id))
                Event(e.id, e.eventId, e.data, e.timestamp);
            else
                unknown.append(e.id);
        }
        return unknown;
    }
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>&, QList<int>& idErrors)
    {
        idErrors.clear();
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const sni::MenuItems& updatedProps, const sni::MenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    QList<QAction*> offered() const { return m_item->menuOffered() ? m_item->menu()->actions() : QList<QAction*>(); }
    QAction* actionOf(int id) const
    {
        const QList<QAction*> actions = offered();
        return id >= 1 && id <= actions.size() ? actions[id - 1] : nullptr;
    }

    StatusNotifierItem* m_item;
    uint m_revision = 1;
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QMenu* menu, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_menu(menu)
{
    RegisterTypes();
    m_itemAdaptor = new StatusNotifierItemAdaptor(this);
    m_menuObject = new QObject(this);
    new DBusMenuAdaptor(m_menuObject, this);
}

StatusNotifierItem::~StatusNotifierItem()
{
    // Whoever listens may be going away with this item.
    blockSignals(true);
    stop();
}

bool StatusNotifierItem::start()
{
    if (m_started)
        return true;
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors) ||
        !m_bus.registerObject(kMenuPath, m_menuObject, QDBusConnection::ExportAdaptors))
    {
        m_bus.unregisterObject(kItemPath);
        return false;
    }
    m_started = true;
    // The name panels expect; the connection's own name does when another took it.
    m_serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    if (!m_bus.registerService(m_serviceName))
        m_serviceName = m_bus.baseService();

    // Watched before the first question, so that no change falls between the two.
    auto* watch =
        new QDBusServiceWatcher(QLatin1String(kWatcherService), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                ++m_watcherGeneration;
                setRegistered(false, false);
                setWatcher(owner.isEmpty() ? Watcher::Absent : Watcher::Present);
                if (!owner.isEmpty())
                    registerWithWatcher();
            });
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(QLatin1String(kWatcherService), kWatcherPath, kWatcherInterface, QLatin1String(signal), this,
                      SLOT(hostsChanged()));

    const quint64 generation = m_watcherGeneration;
    auto* asked = new QDBusPendingCallWatcher(
        m_bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), QLatin1String(kWatcherService)), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        if (generation != m_watcherGeneration || m_watcher != Watcher::Unknown)
            return;
        const bool present = !reply.isError() && reply.value();
        setWatcher(present ? Watcher::Present : Watcher::Absent);
        if (present)
            registerWithWatcher();
    });
    return true;
}

void StatusNotifierItem::stop()
{
    if (!m_started)
        return;
    m_started = false;
    ++m_watcherGeneration;
    if (m_serviceName != m_bus.baseService())
        m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(kMenuPath);
    m_bus.unregisterObject(kItemPath);
    setRegistered(false, false);
}

void StatusNotifierItem::setWatcher(Watcher watcher)
{
    if (watcher == m_watcher)
        return;
    m_watcher = watcher;
    emit watcherChanged(watcher);
}

void StatusNotifierItem::registerWithWatcher()
{
    const quint64 generation = m_watcherGeneration;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(kWatcherService), kWatcherPath, kWatcherInterface, QStringLiteral("RegisterStatusNotifierItem"));
    message << m_serviceName;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (generation != m_watcherGeneration || !m_started)
            return;
        if (call->isError())
        {
            qWarning("VORP : le gestionnaire d'icônes de notification a refusé l'icône : %s",
                     qPrintable(call->error().message()));
            return;
        }
        m_registered = true;
        readHostPresence();
    });
}

void StatusNotifierItem::hostsChanged()
{
    if (m_registered)
        readHostPresence();
}

void StatusNotifierItem::readHostPresence()
{
    const quint64 generation = m_watcherGeneration;
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kWatcherService), kWatcherPath,
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (generation != m_watcherGeneration || !m_registered)
            return;
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // A watcher that cannot say is taken to have its panel.
        setRegistered(true, reply.isError() || reply.value().variant().toBool());
    });
}

void StatusNotifierItem::setRegistered(bool registered, bool hostPresent)
{
    const bool was = shown();
    m_registered = registered;
    m_hostPresent = hostPresent;
    if (shown() != was)
        emit shownChanged(shown());
}

void StatusNotifierItem::setToolTip(const QString& text)
{
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    if (m_registered)
        emit static_cast<StatusNotifierItemAdaptor*>(m_itemAdaptor)->NewToolTip();
}

void StatusNotifierItem::setIcon(const QIcon& icon)
{
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    if (m_registered)
        emit static_cast<StatusNotifierItemAdaptor*>(m_itemAdaptor)->NewIcon();
}

void StatusNotifierItem::setMenuOffered(bool offered)
{
    if (offered == m_menuOffered)
        return;
    m_menuOffered = offered;
    if (auto* menu = m_menuObject->findChild<DBusMenuAdaptor*>())
        menu->layoutChanged();
}

void StatusNotifierItem::popUpMenu(int x, int y)
{
    if (m_menuOffered)
        m_menu->popup(QPoint(x, y));
}

#include "StatusNotifierItem.moc"
