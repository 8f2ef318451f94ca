// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SignalBridge.h"

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// Written only from the signal handler, which may do nothing but write() to it.
int g_signalFd[2] = {-1, -1};

void OnSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalFd[0], &byte, 1);
}
} // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFd) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalFd[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalBridge::readSignal);
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

SignalBridge::~SignalBridge()
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
    for (int& fd : g_signalFd)
        if (fd >= 0)
        {
            ::close(fd);
            fd = -1;
        }
}

void SignalBridge::readSignal()
{
    unsigned char byte = 0;
    while (::read(g_signalFd[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}
