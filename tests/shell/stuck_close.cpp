// SPDX-License-Identifier: GPL-3.0-or-later
// Stands for a program whose close chain never returns (a store whose writes hang): it prints "ready",
// and on a termination signal blocks for good inside its handler.
#include "shell/SignalBridge.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::terminationRequested, [] {
        for (;;)
            ::pause();
    });
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
