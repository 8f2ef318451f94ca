// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Clock.h"
#include "common/ErrorQueue.h"
#include "common/widgets/MessageBoxes.h"
#include "config/Autostart.h"
#include "graph/widgets/SaveFileDialog.h"
#include "sampling/InterfaceTable.h"
#include "shell/CommandLine.h"
#include "shell/InstanceChannel.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QMessageBox;
class QWidget;
class RecordingService;
class Sampler;
class Settings;
class SettingsStore;
class SignalBridge;

class AboutBox;
class ConfigWindow;
class DesktopNotifications;
class FolderChooser;
class GraphWindow;
class HistogramWindow;
class MeterWindow;
class SettingsRefreshControl;
class SplashAndTray;
class StopwatchWindow;
class TotalsWindow;

// Shows messages without a modal loop: a desktop notification (errors critical, notices normal) where a
// notification service takes it, else a balloon from an XEmbed tray icon, otherwise one box that is not
// modal and stays above the meter; a notification that the service then refuses falls back to the box.
// Tests record the messages instead.
class DesktopErrorReporter final : public ErrorReporter
{
public:
    explicit DesktopErrorReporter(std::function<bool(const QString& text, bool error)> trayMessage)
        : m_trayMessage(std::move(trayMessage))
    {
    }
    ~DesktopErrorReporter() override;
    void showError(const QString& message) override;
    void showInformation(const QString& message);
    void setNotifications(DesktopNotifications* notifications);
    // From the close chain on, whatever is still to be shown (a notification refused late) goes here.
    void setClosing(ErrorReporter* sink) { m_closingSink = sink; }
    void setRecordOnly(bool on) { m_recordOnly = on; }
    const QStringList& shown() const { return m_shown; }
    // The box in use, if any (tests).
    QMessageBox* box() const { return m_box; }

private:
    void show(const QString& message, bool error);
    void showBox(const QString& message, bool error);

    std::function<bool(const QString&, bool)> m_trayMessage;
    DesktopNotifications* m_notifications = nullptr;
    ErrorReporter* m_closingSink = nullptr;
    QPointer<QMessageBox> m_box;
    QStringList m_shown;
    bool m_recordOnly = false;
};

// Where the program finds its platform parts; tests hand in a fixed table and a short tray wait.
struct AppEnvironment
{
    QString executableDir;
    std::unique_ptr<TableSource> tableSource; // the system's when empty
    int trayWaitMs = 30000;
    // Tests: message boxes and error messages are recorded instead of being shown.
    bool recordMessages = false;
    // False when this copy does not hold the store's lock: it records only once startRecording() is called.
    bool recording = true;
    // The lock is held by the recorder service (`vorp --record`), which records for this copy.
    bool recordingElsewhere = false;
    // Why the lock could not be taken, when neither this copy nor another holds it.
    QString lockError;
    // Asked before each recording cycle writes: false once another copy holds the store.
    std::function<bool()> recordingGuard;
    // The program the user starts (the autostart entry's Exec); this executable's when empty.
    QString programPath;
    // The time of samples and windows; the system's when empty.
    const Clock* clock = nullptr;
    // The interface of the default route, which a first run checks; the system's when empty.
    std::function<std::optional<QString>()> defaultRoute;
    // Where the tray's panel and the notification service are looked for; the session bus when empty.
    std::optional<QDBusConnection> bus;
};

// The application object: owns the settings model, the recording service and the nine windows,
// created once, hidden, in their start-up order, each handed the peers it uses; runs the close chain.
class Application final : public QObject
{
    Q_OBJECT

public:
    Application(const CommandLine& commandLine, AppEnvironment environment);
    ~Application() override;
    Q_DISABLE_COPY_MOVE(Application)

    const QString& storeRoot() const { return m_storeRoot; }
    MessageBoxes& messages() { return m_messages; }
    DesktopErrorReporter& desktopErrors() { return *m_desktopErrors; }
    Settings& settings() { return *m_settings; }
    RecordingService* recording() { return m_recording.get(); }
    SplashAndTray& shell() { return *m_shell; }
    FolderChooser& chooser() { return *m_chooser; }
    ConfigWindow& configuration() { return *m_config; }
    GraphWindow& graph() { return *m_graph; }
    MeterWindow& meter() { return *m_meter; }
    StopwatchWindow& stopwatch() { return *m_stopwatch; }
    AboutBox& about() { return *m_about; }
    TotalsWindow& totals() { return *m_totals; }
    HistogramWindow& histogram() { return *m_histogram; }

    // A second start handed over: shows the meter, or the window its option asks for (--graph, --totals),
    // and with a base name draws the graph as a first start would. The launcher's token goes to the window
    // shown.
    void activate(const std::optional<QString>& argument, const ActivationToken& token = {});
    // The one way out ("&Quitter", signals, the session's end, the loss of the display): a last sample
    // and every setting written, failures on standard error, then the event loop ends. Runs once.
    void closeChain();
    // Writes the settings file and the autostart entry; false when something could not be written.
    bool saveSettings(ErrorReporter& errors);
    // The store's lock has become this copy's (the recorder service ended): recording starts, from the
    // counters of now.
    void startRecording();
    // The store's lock was taken by another copy: recording stops at once, without a last sample, and what
    // it could not write is told; startRecording() begins again once the lock is back.
    void stopRecording(const QString& why);
    // Asked before each recording cycle writes (the store lock's keeper).
    void setRecordingGuard(std::function<bool()> guard) { m_recordingGuard = std::move(guard); }
    // The tray hint's last line while this copy does not record, and why; empty while it records.
    const QString& recordingNote() const { return m_recordingNote; }
    // A notice for the user, shown as failures are but with a normal urgency.
    void inform(const QString& text);

private:
    void wire();
    void startRecording(const InterfaceTable& table);
    void updateRecordingNote();
    QWidget* windowFor(CommandLine::Window window) const;

    SystemClock m_systemClock;
    const Clock& m_clock;
    MessageBoxes m_messages;
    SaveFileDialog m_saveDialog;
    QString m_storeRoot;
    std::unique_ptr<DesktopErrorReporter> m_desktopErrors;
    // After the reporter: it goes first, and with it the fallbacks it calls.
    std::unique_ptr<DesktopNotifications> m_notifications;
    // Every window's failures wait here, so that none is shown from inside a timer.
    ErrorQueue m_errors;
    StandardErrorReporter m_standardError;
    std::unique_ptr<TableSource> m_tableSource;
    std::unique_ptr<Sampler> m_sampler;
    std::unique_ptr<SettingsStore> m_store;
    AutostartEntry m_autostart;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<RecordingService> m_recording;
    std::function<bool()> m_recordingGuard;
    // Why this copy does not record while it has no recording service.
    enum class NoService
    {
        Service,   // the recorder service holds the store
        LockError, // the lock cannot be taken
        Taken      // another copy took the lock
    };
    NoService m_noService = NoService::LockError;
    QString m_recordingNote;
    QString m_lastHint;
    std::unique_ptr<SettingsRefreshControl> m_refreshControl;

    // In creation order; destroyed in reverse.
    std::unique_ptr<SplashAndTray> m_shell;
    std::unique_ptr<FolderChooser> m_chooser;
    std::unique_ptr<ConfigWindow> m_config;
    std::unique_ptr<GraphWindow> m_graph;
    std::unique_ptr<MeterWindow> m_meter;
    std::unique_ptr<AboutBox> m_about;
    std::unique_ptr<TotalsWindow> m_totals;
    std::unique_ptr<StopwatchWindow> m_stopwatch;
    std::unique_ptr<HistogramWindow> m_histogram;

    std::unique_ptr<SignalBridge> m_signals;
    QString m_programPath;
    bool m_closing = false;
};
