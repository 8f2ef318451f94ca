#pragma once

#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "common/widgets/MessageBoxes.h"
#include "graph/widgets/SaveFileDialog.h"
#include "sampling/InterfaceTable.h"
#include "shell/CommandLine.h"

#include <QString>

#include <memory>

class Recorder;
class RecorderAdapter;
class Sampler;
class SettingsStore;
class SignalBridge;

class RefreshTrackBar;
class ConfigWindow;
class GraphWindow;
class MeterWindow;
class SplashAndTray;
class TotalsWindow;
class StopwatchWindow;
class AboutBox;
class FolderChooser;
class HistogramWindow;

// Shows failures in the application's error box; the program goes on.
class MessageBoxErrorReporter final : public ErrorReporter
{
public:
    void showError(const QString& message) override;
};

// Where the program finds its platform parts; tests hand in a fixed table and a short tray wait.
struct AppEnvironment
{
    QString executableDir;
    std::unique_ptr<TableSource> tableSource;  // the system's when empty
    int trayWaitMs = 30000;
    // Tests: message boxes are recorded in messages() instead of being shown.
    bool recordMessages = false;
};

// Creates the windows once, hidden, in their start-up order, and hands each the peers it uses.
class Application final
{
public:
    Application(const CommandLine& commandLine, AppEnvironment environment);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    const QString& storeRoot() const { return m_storeRoot; }
    MessageBoxes& messages() { return m_messages; }
    SplashAndTray& shell() { return *m_shell; }
    FolderChooser& chooser() { return *m_chooser; }
    ConfigWindow& configuration() { return *m_config; }
    GraphWindow& graph() { return *m_graph; }
    MeterWindow& meter() { return *m_meter; }
    StopwatchWindow& stopwatch() { return *m_stopwatch; }
    AboutBox& about() { return *m_about; }
    TotalsWindow& totals() { return *m_totals; }
    HistogramWindow& histogram() { return *m_histogram; }

private:
    void wire();

    SystemClock m_clock;
    MessageBoxErrorReporter m_errors;
    MessageBoxes m_messages;
    SaveFileDialog m_saveDialog;
    QString m_storeRoot;
    std::unique_ptr<TableSource> m_tableSource;
    std::unique_ptr<Sampler> m_sampler;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<RecorderAdapter> m_recorderControl;

    // In creation order; destroyed in reverse.
    std::unique_ptr<SplashAndTray> m_shell;
    std::unique_ptr<FolderChooser> m_chooser;
    std::unique_ptr<ConfigWindow> m_config;
    std::unique_ptr<GraphWindow> m_graph;
    std::unique_ptr<MeterWindow> m_meter;
    std::unique_ptr<AboutBox> m_about;
    std::unique_ptr<TotalsWindow> m_totals;
    std::unique_ptr<RefreshTrackBar> m_refreshTrackBar;
    std::unique_ptr<StopwatchWindow> m_stopwatch;
    std::unique_ptr<HistogramWindow> m_histogram;

    std::unique_ptr<SignalBridge> m_signals;
};
