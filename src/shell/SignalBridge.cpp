// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SignalBridge.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
// Written only from the signal handler, which may do nothing but write() to it.
int g_signalFd[2] = {-1, -1};
// Wakes the watchdog; made once per process, never closed.
int g_watchdogFd[2] = {-1, -1};

// A store whose writes never return (a dead network share, a failing disk) must not keep a termination
// request from ending the program: past this, it ends without the rest of its close chain.
constexpr int kCloseChainSecs = 10;

void OnSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalFd[0], &byte, 1);
    [[maybe_unused]] const ssize_t w = ::write(g_watchdogFd[1], &byte, 1);
}

void Watchdog()
{
    unsigned char byte = 0;
    while (::read(g_watchdogFd[0], &byte, 1) < 0 && errno == EINTR)
    {
    }
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += kCloseChainSecs;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR)
    {
    }
    static const char message[] = "VORP : l'arrêt n'a pas abouti en 10 secondes, le stockage ne répond plus ; le "
                                  "programme s'arrête sans attendre et ce qui n'était pas encore écrit est perdu.\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, message, sizeof message - 1);
    std::_Exit(1);
}

void StartWatchdog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(g_watchdogFd, O_CLOEXEC) != 0)
            return;
        std::thread(Watchdog).detach();
    });
}
} // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFd) != 0)
        return;
    StartWatchdog();
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
