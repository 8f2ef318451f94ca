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
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TOKBottomDlg;
class TdlBrowse;
class Thisto;

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
class VorpApp final
{
public:
    VorpApp(const CommandLine& commandLine, AppEnvironment environment);
    ~VorpApp();
    VorpApp(const VorpApp&) = delete;
    VorpApp& operator=(const VorpApp&) = delete;

    const QString& storeRoot() const { return m_storeRoot; }
    MessageBoxes& messages() { return m_messages; }
    TForm4& shell() { return *m_shell; }
    TdlBrowse& chooser() { return *m_chooser; }
    TForm1& configuration() { return *m_config; }
    TForm2& graph() { return *m_graph; }
    TForm3& meter() { return *m_meter; }
    TForm6& stopwatch() { return *m_stopwatch; }
    TOKBottomDlg& about() { return *m_about; }
    TForm5& totals() { return *m_totals; }
    Thisto& histogram() { return *m_histogram; }

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
    std::unique_ptr<TForm4> m_shell;
    std::unique_ptr<TdlBrowse> m_chooser;
    std::unique_ptr<TForm1> m_config;
    std::unique_ptr<TForm2> m_graph;
    std::unique_ptr<TForm3> m_meter;
    std::unique_ptr<TOKBottomDlg> m_about;
    std::unique_ptr<TForm5> m_totals;
    std::unique_ptr<RefreshTrackBar> m_refreshTrackBar;
    std::unique_ptr<TForm6> m_stopwatch;
    std::unique_ptr<Thisto> m_histogram;

    std::unique_ptr<SignalBridge> m_signals;
};
