// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/Application.h"

#include "common/StoreRoot.h"
#include "common/widgets/AppIcon.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/widgets/ConfigWindow.h"
#include "graph/widgets/GraphWindow.h"
#include "meter/RefreshPeriodControl.h"
#include "meter/widgets/MeterWindow.h"
#include "meter/widgets/StopwatchWindow.h"
#include "reports/OpeningCheck.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/HistogramWindow.h"
#include "reports/widgets/TotalsWindow.h"
#include "sampling/DefaultRoute.h"
#include "sampling/Sampler.h"
#include "shell/SignalBridge.h"
#include "shell/widgets/AboutBox.h"
#include "shell/widgets/DesktopNotifications.h"
#include "shell/widgets/LaunchActivation.h"
#include "shell/widgets/SplashAndTray.h"
#include "store/RecordingService.h"
#include "store/StoreLockWaiter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSessionManager>

DesktopErrorReporter::~DesktopErrorReporter()
{
    delete m_box;
}

void DesktopErrorReporter::showError(const QString& message)
{
    show(message, true);
}

void DesktopErrorReporter::showInformation(const QString& message)
{
    show(message, false);
}

void DesktopErrorReporter::setNotifications(DesktopNotifications* notifications)
{
    m_notifications = notifications;
    if (notifications)
        QObject::connect(notifications, &DesktopNotifications::failed, notifications,
                         [this](const QString&, const QString& text, DesktopNotifications::Urgency urgency) {
                             showBox(text, urgency == DesktopNotifications::Urgency::Critical);
                         });
}

void DesktopErrorReporter::show(const QString& message, bool error)
{
    m_shown.append(message);
    if (m_recordOnly)
        return;
    if (m_closingSink)
    {
        m_closingSink->showError(message);
        return;
    }
    if (m_notifications &&
        m_notifications->send(kApplicationTitle, message,
                              error ? DesktopNotifications::Urgency::Critical : DesktopNotifications::Urgency::Normal))
        return;
    if (m_trayMessage && m_trayMessage(message, error))
        return;
    showBox(message, error);
}

void DesktopErrorReporter::showBox(const QString& message, bool error)
{
    if (m_closingSink)
    {
        m_closingSink->showError(message);
        return;
    }
    // One box, not modal, over the active window and above the stay-on-top meter; a new message
    // replaces the text of a box still open rather than stacking boxes.
    const QMessageBox::Icon icon = error ? QMessageBox::Critical : QMessageBox::Information;
    if (!m_box)
    {
        m_box = new QMessageBox(icon, kApplicationTitle, message, QMessageBox::Ok, QApplication::activeWindow());
        m_box->setAttribute(Qt::WA_DeleteOnClose);
        m_box->setWindowModality(Qt::NonModal);
        m_box->setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    else
    {
        m_box->setIcon(icon);
        m_box->setText(message);
    }
    m_box->show();
    m_box->raise();
}

// The stopwatch holds the refresh period of the settings while it runs.
class SettingsRefreshControl final : public RefreshPeriodControl
{
public:
    explicit SettingsRefreshControl(Settings& settings) : m_settings(settings) {}
    void setRefreshPosition(int position) override { m_settings.setRefreshPosition(position); }
    void setRefreshEnabled(bool enabled) override { m_settings.setRefreshLocked(!enabled); }

private:
    Settings& m_settings;
};

namespace
{
void ShowAndRaise(QWidget* w)
{
    // A minimised window comes back too.
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

Application::Application(const CommandLine& commandLine, AppEnvironment environment)
    : m_clock(environment.clock ? *environment.clock : m_systemClock),
      m_storeRoot(StoreRoot(environment.executableDir)), m_tableSource(std::move(environment.tableSource))
{
    const QDBusConnection bus = environment.bus ? *environment.bus : QDBusConnection::sessionBus();
    m_desktopErrors = std::make_unique<DesktopErrorReporter>([this](const QString& text, bool error) {
        return m_shell && m_shell->showTrayMessage(kApplicationTitle, text, error);
    });
    m_notifications = std::make_unique<DesktopNotifications>(bus);
    m_desktopErrors->setNotifications(m_notifications.get());
    m_desktopErrors->setRecordOnly(environment.recordMessages);
    m_errors.setSink(m_desktopErrors.get());
    if (!m_tableSource)
        m_tableSource = MakeSystemTableSource();
    m_sampler = std::make_unique<Sampler>(*m_tableSource);
    m_messages.setRecordOnly(environment.recordMessages);
    // Without a settings file the program has never run for this user.
    const bool firstRun = !QFileInfo::exists(SettingsStore::DefaultPath());
    m_store = std::make_unique<SettingsStore>();
    if (!m_store->keptAside().isEmpty())
        m_messages.notify(nullptr, QStringLiteral("Le fichier de réglages %1 était endommagé : il a été mis de côté "
                                                  "sous %2 et les réglages par défaut sont utilisés.")
                                       .arg(m_store->path(), m_store->keptAside()));
    else if (m_store->fileState() == SettingsStore::FileState::Unreadable)
        m_messages.notify(nullptr, QStringLiteral("Le fichier de réglages %1 ne peut pas être lu (%2) : les réglages "
                                                  "par défaut sont utilisés et ne pourront pas y être enregistrés.")
                                       .arg(m_store->path(), m_store->problem()));

    // The snapshot that lists the interfaces also gives the recorder its baselines.
    const InterfaceTable table = m_sampler->FetchInterfaceTable().value_or(InterfaceTable{});
    m_settings = std::make_unique<Settings>();
    m_settings->load(*m_store, DisplayNames(table));
    if (firstRun)
        MarkDefaultRouteInterface(*m_settings, environment.defaultRoute ? environment.defaultRoute()
                                                                        : SystemDefaultRouteInterface());
    m_settings->setStartWithSession(m_autostart.enabled());
    m_settings->setDebugMode(QFileInfo::exists(QDir::current().filePath(QStringLiteral("debug.txt"))));
    m_refreshControl = std::make_unique<SettingsRefreshControl>(*m_settings);

    // Every window, and the task list and window switcher, show the program's own icon.
    QApplication::setWindowIcon(AppIcon());
    m_shell = std::make_unique<SplashAndTray>(commandLine.pictureBase);
    m_chooser = std::make_unique<FolderChooser>(m_messages, m_storeRoot);
    m_config = std::make_unique<ConfigWindow>(*m_settings);
    GraphPeers graphPeers;
    graphPeers.selectedDirectory = [this] { return m_chooser->selectedDirectory(); };
    graphPeers.setChooserDirectory = [this](const QString& dir) { m_chooser->setStoredDirectory(dir); };
    graphPeers.checkDirectory = [this] {
        return m_chooser->checkSelection(reports::CheckSender::Reader, m_graph.get());
    };
    graphPeers.showChooser = [this] { ShowAndRaise(m_chooser.get()); };
    m_graph = std::make_unique<GraphWindow>(*m_settings, m_messages, m_errors, m_saveDialog, m_clock, m_storeRoot,
                                            std::move(graphPeers));
    m_meter = std::make_unique<MeterWindow>(*m_settings, *m_sampler, m_clock, m_errors, m_storeRoot);
    m_about = std::make_unique<AboutBox>(m_shell->versionText());
    m_totals = std::make_unique<TotalsWindow>(*m_chooser, m_clock);
    m_stopwatch = std::make_unique<StopwatchWindow>(m_clock, *m_refreshControl);
    m_histogram = std::make_unique<HistogramWindow>(*m_chooser, m_clock.now().date());

    wire();
    m_programPath =
        environment.programPath.isEmpty() ? QCoreApplication::applicationFilePath() : environment.programPath;
    m_recordingGuard = std::move(environment.recordingGuard);
    if (environment.recording)
        startRecording(table);
    m_config->setRecordingElsewhere(environment.recordingElsewhere);
    if (environment.recordingElsewhere)
        m_noService = NoService::Service;
    updateRecordingNote();

    // SIGTERM, SIGINT, SIGHUP and the end of the desktop session run the same close chain as "&Quitter".
    m_signals = std::make_unique<SignalBridge>();
    connect(m_signals.get(), &SignalBridge::terminationRequested, this, &Application::closeChain);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { closeChain(); });

    if (!environment.recording && !environment.recordingElsewhere)
        m_errors.showError(QStringLiteral("VORP ne peut pas prendre le verrou de %1 (%2) : cette copie "
                                          "n'enregistre pas pour l'instant et réessaie toutes les %3 secondes.")
                               .arg(QDir::toNativeSeparators(m_storeRoot), environment.lockError)
                               .arg(StoreLockWaiter::kErrorRetryMs / 1000));
    m_shell->start(environment.trayWaitMs, bus);
    if (commandLine.window != CommandLine::Window::None)
    {
        RaiseForLaunch(windowFor(commandLine.window));
        if (commandLine.window == CommandLine::Window::Meter)
            m_shell->setMeterChecked(true);
    }
}

Application::~Application()
{
    // Windows first (they hold references to the settings and the service), in reverse creation order.
    m_histogram.reset();
    m_stopwatch.reset();
    m_totals.reset();
    m_about.reset();
    m_meter.reset();
    m_graph.reset();
    m_config.reset();
    m_chooser.reset();
    m_shell.reset();
}

void Application::wire()
{
    ChooserPeers chooserPeers;
    chooserPeers.monitoredInterfaces = [this] { return m_settings->statisticsMarks(); };
    chooserPeers.interfaceNames = [this] { return m_settings->interfaceNames(); };
    chooserPeers.showConfigurationFirstPage = [this] { m_config->showGeneralPage(); };
    chooserPeers.setGraphEnabled = [this](bool enabled) { m_graph->setEnabled(enabled); };
    chooserPeers.graphWindow = m_graph.get();
    m_chooser->setPeers(chooserPeers);
    connect(m_config.get(), &ConfigWindow::statisticsFolderRequested, m_graph.get(),
            [this] { m_graph->openChooser(); });
    connect(m_config.get(), &ConfigWindow::closed, this, [this] { saveSettings(m_errors); });
    m_config->setRecordingQuery([this] { return m_recording && m_recording->scheduled(); });
    m_totals->setNavigator(m_graph.get());
    m_histogram->setNavigator(m_graph.get());

    m_meter->setStopwatchFeed(m_stopwatch.get());
    m_meter->setTrayPeer([this](const QString& hint, int image) {
        m_lastHint = hint;
        m_shell->setTrayHint(m_recordingNote.isEmpty() ? hint : hint + QLatin1Char('\n') + m_recordingNote);
        m_shell->setTrayImage(image);
    });
    m_meter->setMeterItemPeer([this](bool checked) { m_shell->setMeterChecked(checked); });
    m_meter->setActivatePeer([this] { m_shell->startTopMostWatch(); });
    m_meter->setShowConfigurationPeer([this] { m_config->showMeterPage(); });
    m_meter->setToggleRecordingPeer([this] {
        if (m_recording)
            m_recording->setScheduled(!m_recording->scheduled());
        updateRecordingNote();
    });
    connect(m_meter.get(), &MeterWindow::closed, this, [this] { saveSettings(m_errors); });

    ShellPeers peers;
    peers.meterVisible = [this] { return m_meter->isVisible() && !m_meter->isMinimized(); };
    peers.setMeterVisible = [this](bool visible) {
        if (visible)
            ShowAndRaise(m_meter.get());
        else
            m_meter->hide();
    };
    peers.meterStaysOnTop = [this] { return m_meter->staysOnTop(); };
    peers.meterFrame = [this] { return m_meter->frameGeometry(); };
    peers.meterActive = [this] { return m_meter->isActiveWindow(); };
    peers.raiseTopMostWindows = [this] { m_meter->raiseTopMost(); };
    peers.noNotificationArea = [this](QMenu* trayMenu) {
        m_meter->addTrayMenu(trayMenu);
        ShowAndRaise(m_meter.get());
        m_shell->setMeterChecked(true);
        m_messages.notify(m_meter.get(), QStringLiteral("Aucune zone de notification n'a été trouvée : le tachymètre "
                                                        "reste affiché et son menu (clic droit) donne accès à "
                                                        "toutes les fenêtres. S'il est fermé, lancer VORP à "
                                                        "nouveau le fait revenir."));
    };
    peers.showGraph = [this] { ShowAndRaise(m_graph.get()); };
    peers.startGraph = [this](const QString& base) { m_graph->startFromCommandLine(base); };
    peers.showStopwatch = [this] { ShowAndRaise(m_stopwatch.get()); };
    peers.showConfiguration = [this] { m_config->showWindow(); };
    peers.showAbout = [this] { ShowAndRaise(m_about.get()); };
    peers.showTotals = [this] { ShowAndRaise(m_totals.get()); };
    peers.showHistogram = [this] { ShowAndRaise(m_histogram.get()); };
    peers.quit = [this] { closeChain(); };
    m_shell->setPeers(std::move(peers));
}

void Application::startRecording()
{
    if (m_recording || m_closing)
        return;
    startRecording(m_sampler->FetchInterfaceTable().value_or(InterfaceTable{}));
    m_config->setRecordingElsewhere(false);
}

void Application::startRecording(const InterfaceTable& table)
{
    m_recording = std::make_unique<RecordingService>(*m_sampler, m_clock, m_errors, m_storeRoot);
    m_recording->setWriteGuard(m_recordingGuard);
    m_recording->setSelection([this] {
        return RecordingService::Selection{m_settings->interfaceNames(), m_settings->statisticsMarks()};
    });
    connect(m_settings.get(), &Settings::statisticsChecked, m_recording.get(), &RecordingService::interfaceChecked);
    connect(m_recording.get(), &RecordingService::cycleDone, this, &Application::updateRecordingNote);
    connect(m_settings.get(), &Settings::statisticsChecked, this, &Application::updateRecordingNote);
    m_recording->start(table);
    updateRecordingNote();
}

void Application::stopRecording(const QString& why)
{
    if (!m_recording || m_closing)
        return;
    QStringList lines{why};
    lines += UnwrittenLines(m_recording->recorder().unwritten());
    m_errors.showError(lines.join(QLatin1Char('\n')));
    m_recording.reset();
    m_noService = NoService::Taken;
    updateRecordingNote();
}

void Application::updateRecordingNote()
{
    QString note;
    if (!m_recording)
    {
        switch (m_noService)
        {
        case NoService::Service:
            note = QStringLiteral("N'enregistre pas : le service vorp-recorder enregistre");
            break;
        case NoService::LockError:
            note = QStringLiteral("N'enregistre pas : verrou des statistiques indisponible");
            break;
        case NoService::Taken:
            note = QStringLiteral("N'enregistre pas : une autre copie enregistre");
            break;
        }
    }
    else if (!m_recording->scheduled())
        note = QStringLiteral("N'enregistre pas : enregistrement suspendu");
    else if (!m_recording->recorder().unwritten().empty())
        note = QStringLiteral("N'enregistre pas : statistiques impossibles à écrire");
    else
    {
        // A checked interface that the system does not list records nothing.
        const QStringList present = DisplayNames(m_sampler->FetchInterfaceTable().value_or(InterfaceTable{}));
        const QStringList names = m_settings->interfaceNames();
        const std::vector<bool> marks = m_settings->statisticsMarks();
        bool any = false;
        for (size_t i = 0; i < marks.size() && i < static_cast<size_t>(names.size()) && !any; ++i)
            any = marks[i] && present.contains(names[static_cast<qsizetype>(i)]);
        if (!any)
            note = QStringLiteral("N'enregistre pas : aucune interface cochée présente");
    }
    if (note == m_recordingNote)
        return;
    m_recordingNote = note;
    if (!m_lastHint.isEmpty())
        m_shell->setTrayHint(note.isEmpty() ? m_lastHint : m_lastHint + QLatin1Char('\n') + note);
}

void Application::inform(const QString& text)
{
    if (m_closing)
        m_standardError.showError(text);
    else
        m_desktopErrors->showInformation(text);
}

QWidget* Application::windowFor(CommandLine::Window window) const
{
    switch (window)
    {
    case CommandLine::Window::Graph:
        return m_graph.get();
    case CommandLine::Window::Totals:
        return m_totals.get();
    case CommandLine::Window::None:
    case CommandLine::Window::Meter:
        break;
    }
    return m_meter.get();
}

void Application::activate(const std::optional<QString>& argument, const ActivationToken& token)
{
    // Read as this copy's own command line would be.
    const CommandLine asked = ParseCommandLine(argument ? QStringList{*argument} : QStringList{});
    QWidget* window = windowFor(asked.window);
    RaiseForLaunch(window, token);
    if (window == m_meter.get())
        m_shell->setMeterChecked(true);
    if (asked.pictureBase)
        m_graph->startFromCommandLine(*asked.pictureBase);
}

bool Application::saveSettings(ErrorReporter& errors)
{
    return SaveSettingsAndAutostart(*m_settings, *m_store, m_autostart, m_programPath, errors);
}

void Application::closeChain()
{
    if (m_closing)
        return;
    m_closing = true;
    // Nothing is shown from here on: what cannot be written goes to standard error.
    m_errors.setSink(&m_standardError);
    m_desktopErrors->setClosing(&m_standardError);
    m_errors.flush();
    if (m_recording)
        m_recording->finish(m_standardError);
    saveSettings(m_standardError);
    m_shell->removeTrayIcon();
    QCoreApplication::quit();
}
