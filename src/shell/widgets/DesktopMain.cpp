// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/StoreRoot.h"
#include "shell/CommandLine.h"
#include "shell/InstanceChannel.h"
#include "shell/Platform.h"
#include "shell/Translation.h"
#include "shell/widgets/Application.h"
#include "store/StoreLock.h"
#include "store/StoreLockWaiter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace
{
// The toolkit ends the process with exit() when the display connection breaks; the close chain still
// records the last sample then. Set from the moment the windows exist until the event loop ends.
Application* g_running = nullptr;

void CloseOnExit()
{
    if (Application* app = g_running)
    {
        g_running = nullptr;
        app->closeChain();
    }
}

int SayNoDisplay()
{
    std::fprintf(stderr, "%s\n", NoDisplayText().toLocal8Bit().constData());
    return 1;
}

// While the platform starts, the toolkit's words are held back: a platform that fails before the next one
// starts says why on its own (the Wayland plugin without the qt.qpa category), and when none starts its
// abort becomes one sentence and status 1. Once a platform runs, what is not about finding one is said.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage>* g_held = nullptr;
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg)
    {
        std::fflush(stdout);
        std::_Exit(SayNoDisplay());
    }
    if (g_held)
        g_held->push_back({type, QByteArray(context.category ? context.category : ""), text});
}

void SayHeldMessages(const std::vector<HeldMessage>& held)
{
    for (const HeldMessage& message : held)
    {
        if (message.category.startsWith("qt.qpa"))
            continue;
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        if (g_previousHandler)
            g_previousHandler(message.type, context, message.text);
        else
            std::fprintf(stderr, "%s\n", message.text.toLocal8Bit().constData());
    }
}

int Refuse(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    // Nobody would see a box on the offscreen platform, and it would never be closed.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::critical(nullptr, kApplicationTitle, text);
    return 1;
}

// Armed on Wayland from the moment the windows exist until the event loop ends; this process, not a child
// forked from it.
std::atomic<bool> g_closeOnToolkitExit{false};
std::atomic<bool> g_closeHandedToMain{false};
std::atomic<bool> g_closedForToolkit{false};
pid_t g_process = 0;
// How long the toolkit's threads wait for the close chain, as a stuck close chain is given on SIGTERM.
constexpr auto kCloseChainWait = std::chrono::seconds(10);
} // namespace

// The Wayland plugin (Qt 6.4) ends the process with _exit() from its event thread the moment the
// compositor's connection breaks: no atexit handler runs and the main thread sees no event first. This
// definition takes the C library's place for the whole process (the executable exports it), so that the
// close chain runs on the main thread before the process ends, as when an X display is lost. Another
// thread asks the main thread for it and waits, no longer than a stuck close chain is given; the main
// thread, which may itself come here meanwhile, runs it at once.
extern "C" [[noreturn]] void _exit(int status)
{
    if (::getpid() == g_process && g_closeOnToolkitExit.load())
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread())
            CloseOnExit();
        else if (app)
        {
            if (!g_closeHandedToMain.exchange(true))
                QMetaObject::invokeMethod(
                    app,
                    [] {
                        CloseOnExit();
                        g_closedForToolkit = true;
                    },
                    Qt::QueuedConnection);
            const auto deadline = std::chrono::steady_clock::now() + kCloseChainWait;
            while (!g_closedForToolkit.load() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::syscall(SYS_exit_group, status);
    __builtin_unreachable();
}

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = ParseCommandLine(arguments);
    // Options are `vorp`'s, which starts this program only for the windows.
    if (line.action != CommandLine::Action::Run)
    {
        std::fputs("VORP : ce programme est lancé par vorp ; voir « vorp --help ».\n", stderr);
        return 2;
    }
    const PlatformChoice platform = ChoosePlatform(CurrentPlatformEnvironment());
    if (!platform.displayFound)
        return SayNoDisplay();
    if (platform.qpaPlatform)
        qputenv("QT_QPA_PLATFORM", *platform.qpaPlatform);

    // Read before the toolkit takes the startup id for its own first window: a second start hands it to the
    // first copy, whose window is the one that shows.
    const ActivationToken token = ActivationToken::fromEnvironment();

    g_process = ::getpid();
    std::vector<HeldMessage> held;
    g_held = &held;
    g_previousHandler = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    g_held = nullptr;
    SayHeldMessages(held);
    QApplication::setApplicationName(QStringLiteral("VORP"));
    QApplication::setApplicationVersion(QStringLiteral("1.10.11.213"));
    QApplication::setDesktopFileName(QStringLiteral("vorp"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (!InstallToolkitTranslation(app))
        std::fputs("VORP : la traduction française de Qt (qtbase_fr.qm) est introuvable, les boîtes standard "
                   "seront en anglais.\n",
                   stderr);

    // The launcher says which program the user started: the autostart entry runs that one, and a portable
    // store sits beside it.
    QString program = QString::fromLocal8Bit(qgetenv("VORP_PROGRAM"));
    qunsetenv("VORP_PROGRAM");
    if (program.isEmpty())
        program = QCoreApplication::applicationFilePath();
    const QString programDir = QFileInfo(program).absolutePath();

    // One copy of the windows per store: a second start hands its argument to the first and ends.
    const QString storeRoot = StoreRoot(programDir);
    StoreLock desktopLock(storeRoot, StoreLock::kDesktopLock);
    if (desktopLock.tryAcquire() == StoreLock::Result::HeldElsewhere)
    {
        // The argument as given, base name or window option, for the first copy to read as a first start.
        const std::optional<QString> argument =
            arguments.size() == 1 ? std::optional<QString>(arguments.front()) : std::nullopt;
        if (InstanceChannel::handOver(storeRoot, argument, 2000, token) == InstanceChannel::HandOver::Accepted)
            return 0;
        return Refuse(QStringLiteral("VORP est déjà lancé pour %1 (processus %2) mais ne répond pas. Fermez-le ou "
                                     "arrêtez ce processus, puis relancez VORP.")
                          .arg(QDir::toNativeSeparators(storeRoot))
                          .arg(desktopLock.holderPid()));
    }
    // Whoever holds the recording lock writes the store; held elsewhere, it is the recorder service's, and
    // this copy takes over when the service ends. A lock that cannot be taken at all is tried again until
    // it can: a full disk or a read-only store root never stops recording for the whole session.
    StoreLock lock(storeRoot);
    const StoreLock::Result locked = lock.tryAcquire();
    StoreLockKeeper keeper(lock);

    std::unique_ptr<Application> vorp;
    try
    {
        AppEnvironment environment;
        environment.executableDir = programDir;
        environment.programPath = program;
        environment.recording = locked == StoreLock::Result::Acquired;
        environment.recordingElsewhere = locked == StoreLock::Result::HeldElsewhere;
        environment.lockError = lock.errorString();
        environment.recordingGuard = [&keeper] { return keeper.check(); };
        vorp = std::make_unique<Application>(line, std::move(environment));
    }
    catch (const std::exception& e)
    {
        // A failure while the windows are created ends the program.
        QMessageBox::critical(nullptr, kApplicationTitle, QString::fromLocal8Bit(e.what()));
        return 1;
    }
    // From here on, a display that goes away still gets the close chain.
    g_running = vorp.get();
    std::atexit(CloseOnExit);
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    g_closeOnToolkitExit = wayland;
    StoreLockWaiter waiter(lock);
    bool lockFailed = locked == StoreLock::Result::Error;
    QObject::connect(&waiter, &StoreLockWaiter::acquired, vorp.get(), [&] {
        if (lockFailed)
            vorp->inform(QStringLiteral("VORP a pu prendre le verrou de %1 : l'enregistrement commence.")
                             .arg(QDir::toNativeSeparators(storeRoot)));
        lockFailed = false;
        vorp->startRecording();
        keeper.start();
    });
    // Queued: the keeper speaks from inside a cycle, which must not lose its service under it.
    QObject::connect(
        &keeper, &StoreLockKeeper::lost, vorp.get(),
        [&](const QString& why) {
            vorp->stopRecording(QStringLiteral("VORP n'enregistre plus : le verrou %1 n'est plus à cette copie (%2). "
                                               "L'enregistrement reprendra dès que le verrou sera libre.")
                                    .arg(QDir::toNativeSeparators(lock.path()), why));
            waiter.start();
        },
        Qt::QueuedConnection);
    QObject::connect(&keeper, &StoreLockKeeper::retaken, vorp.get(), [&] {
        vorp->inform(QStringLiteral("Le verrou %1 avait été supprimé : il a été recréé et l'enregistrement "
                                    "continue.")
                         .arg(QDir::toNativeSeparators(lock.path())));
    });
    if (locked == StoreLock::Result::Acquired)
        keeper.start();
    else
        waiter.start();
    if (locked == StoreLock::Result::Error)
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("VORP ne peut pas prendre le verrou %1 (%2) : l'enregistrement commencera dès "
                                    "qu'il le pourra.")
                         .arg(QDir::toNativeSeparators(lock.path()), lock.errorString())
                         .toLocal8Bit()
                         .constData());

    InstanceChannel channel(storeRoot);
    QObject::connect(&channel, &InstanceChannel::activationRequested, vorp.get(),
                     [&vorp](const std::optional<QString>& argument, const ActivationToken& handed) {
                         vorp->activate(argument, handed);
                     });
    const auto listen = [&channel] {
        if (!channel.listen())
            std::fprintf(stderr, "%s\n",
                         QStringLiteral("VORP ne pourra pas être rappelé par un second lancement : %1")
                             .arg(channel.errorString())
                             .toLocal8Bit()
                             .constData());
    };
    // Only the holder of the desktop lock listens; a store root that refused it is tried again, as the
    // recording lock is.
    StoreLockWaiter desktopWaiter(desktopLock);
    QObject::connect(&desktopWaiter, &StoreLockWaiter::acquired, &channel, listen);
    if (desktopLock.held())
        listen();
    else
        desktopWaiter.start();

    // Stay-on-top, placement and translucency are X11's; say once what a native Wayland start lacks.
    if (wayland)
        vorp->inform(WaylandLimitsText());

    const int status = QApplication::exec();
    g_closeOnToolkitExit = false;
    g_running = nullptr;
    keeper.stop();
    waiter.stop();
    desktopWaiter.stop();
    return status;
}
