// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace
{
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    const QString service = QLatin1String(kService);
    // Whether the service supports markup, so that a path's "<" or "&" shows as it is.
    const auto askCapabilities = [this] {
        auto* call = new QDBusPendingCallWatcher(
            m_bus.asyncCall(QDBusMessage::createMethodCall(QLatin1String(kService), kPath, kInterface,
                                                           QStringLiteral("GetCapabilities"))),
            this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QStringList> reply = *call;
            if (!reply.isError())
                m_bodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
        });
    };
    auto* watch = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this, askCapabilities](const QString&, const QString&, const QString& owner) {
                m_running = !owner.isEmpty();
                if (*m_running)
                    askCapabilities();
            });
    auto* running =
        new QDBusPendingCallWatcher(m_bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), service), this);
    connect(running, &QDBusPendingCallWatcher::finished, this, [this, askCapabilities](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        if (m_running)
            return; // the watch answered first
        m_running = !reply.isError() && reply.value();
        if (*m_running)
            askCapabilities();
    });
    auto* activatable =
        new QDBusPendingCallWatcher(m_bus.interface()->asyncCall(QStringLiteral("ListActivatableNames")), this);
    connect(activatable, &QDBusPendingCallWatcher::finished, this, [this, service](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        m_activatable = !reply.isError() && reply.value().contains(service);
    });
}

bool DesktopNotifications::available() const
{
    // Before the bus has answered, the call itself tells.
    return m_bus.isConnected() && (m_running.value_or(true) || m_activatable.value_or(true));
}

bool DesktopNotifications::send(const QString& title, const QString& text, Urgency urgency)
{
    if (!available())
        return false;
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kService), kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(urgency))},
                            {QStringLiteral("desktop-entry"), QStringLiteral("vorp")}};
    message << QStringLiteral("VORP") << uint(0) << QStringLiteral("vorp") << title
            << (m_bodyMarkup ? text.toHtmlEscaped() : text) << QStringList() << hints << int(-1);
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kAnswerMs), this);
    ++m_pending;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, title, text, urgency](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                --m_pending;
                if (call->isError())
                    emit failed(title, text, urgency);
            });
    return true;
}
