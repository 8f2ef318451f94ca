// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The interface that carries the default route, the one a first run records and shows: IPv4 first,
// else IPv6; among several default routes the lowest metric wins. Nothing when there is none.
// The texts are the kernel's route tables as /proc/net/route and /proc/net/ipv6_route show them.
std::optional<QString> DefaultRouteInterface(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes);

// The system's, from /proc; nothing when the tables cannot be read.
std::optional<QString> SystemDefaultRouteInterface();
