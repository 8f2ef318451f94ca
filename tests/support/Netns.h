// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>

// Runs iproute2's ip with arguments (network namespaces and their links made by the tests themselves);
// true when it ends normally with status 0.
inline bool RunIp(const QStringList& arguments)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), arguments);
    return ip.waitForFinished(10000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
}
