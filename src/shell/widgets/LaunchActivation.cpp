// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/LaunchActivation.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    const auto cookie = xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The startup-notification protocol's quoting of a value.
QByteArray Quoted(const QByteArray& value)
{
    if (!value.contains(' ') && !value.contains('"') && !value.contains('\\'))
        return value;
    QByteArray quoted = "\"";
    for (const char c : value)
    {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// X11: the window takes the launch's id and time (its user time, where the window manager reads it),
// and the launch feedback is told to end.
void EndX11Launch(QWidget* window, const QByteArray& id)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    const auto w = xcb_window_t(window->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, Atom(c, "_NET_STARTUP_ID"), Atom(c, "UTF8_STRING"), 8,
                        uint32_t(id.size()), id.constData());

    bool timed = false;
    const qsizetype at = id.lastIndexOf("_TIME");
    const uint32_t time = at >= 0 ? id.mid(at + 5).toUInt(&timed) : 0;
    if (timed)
    {
        // The toolkit keeps the user time on a window of its own when it has one.
        xcb_window_t timeWindow = w;
        const auto cookie = xcb_get_property(c, 0, w, Atom(c, "_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW, 0, 1);
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c, cookie, nullptr), &std::free);
        if (reply && reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply.get()) == 4)
            timeWindow = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, timeWindow, Atom(c, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32,
                            1, &time);
    }

    const auto geometry = xcb_get_geometry(c, w);
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> where(
        xcb_get_geometry_reply(c, geometry, nullptr), &std::free);
    if (!where)
        return;
    // The message with its NUL, 20 bytes an event, the first one marked as the beginning.
    const QByteArray message = "remove: ID=" + Quoted(id) + '\0';
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN"), more = Atom(c, "_NET_STARTUP_INFO");
    for (qsizetype sent = 0; sent < message.size(); sent += 20)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = where->root;
        event.type = sent == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + sent,
                    size_t(std::min<qsizetype>(20, message.size() - sent)));
        xcb_send_event(c, 0, where->root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}
} // namespace

void RaiseForLaunch(QWidget* window, const ActivationToken& token)
{
    // A minimised window comes back too.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") && !token.x11.isEmpty())
        EndX11Launch(window, token.x11);
    // The toolkit activates a Wayland window with the token it finds there (Qt 6.5 and later).
    if (platform == QLatin1String("wayland") && !token.wayland.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.wayland);
    window->raise();
    window->activateWindow();
}
