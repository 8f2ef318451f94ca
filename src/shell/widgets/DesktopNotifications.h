// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

// Messages as desktop notifications (org.freedesktop.Notifications on the session bus). Whether a service
// is there is known from the bus (running, or one the bus starts on demand), and every call's answer is
// watched: a message that no service takes comes back through failed(), so that it is shown another way
// rather than lost.
class DesktopNotifications final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifications)

public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    // The values of the "urgency" hint.
    enum class Urgency : uchar
    {
        Normal = 1,
        Critical = 2
    };

    explicit DesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

    // False at once when the bus has no notification service; otherwise sent, and a refusal or a call
    // left without answer is told through failed().
    bool send(const QString& title, const QString& text, Urgency urgency);
    // Calls still waiting for their answer, and whether the service reads markup (tests).
    int pending() const { return m_pending; }
    bool readsMarkup() const { return m_bodyMarkup; }

    // How long a service has to answer.
    static constexpr int kAnswerMs = 10000;

signals:
    void failed(const QString& title, const QString& text, DesktopNotifications::Urgency urgency);

private:
    bool available() const;

    QDBusConnection m_bus;
    std::optional<bool> m_running;
    std::optional<bool> m_activatable;
    bool m_bodyMarkup = false;
    int m_pending = 0;
};
