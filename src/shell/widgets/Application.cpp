#include "shell/widgets/Application.h"

#include "common/StoreRoot.h"
#include "config/RecorderControl.h"
#include "config/SettingsStore.h"
#include "config/widgets/ConfigWindow.h"
#include "graph/widgets/GraphWindow.h"
#include "meter/RefreshPeriodControl.h"
#include "meter/widgets/StopwatchWindow.h"
#include "meter/widgets/MeterWindow.h"
#include "reports/widgets/HistogramWindow.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/TotalsWindow.h"
#include "sampling/Sampler.h"
#include "shell/SignalBridge.h"
#include "shell/widgets/SplashAndTray.h"
#include "shell/widgets/AboutBox.h"
#include "store/Recorder.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <QSlider>
#include <QTabWidget>

void MessageBoxErrorReporter::showError(const QString& message)
{
    QMessageBox::critical(nullptr, QStringLiteral("VORP Beta4"), message);
}

// The stopwatch holds the configuration window's refresh track bar while it runs.
class RefreshTrackBar final : public RefreshPeriodControl
{
public:
    explicit RefreshTrackBar(ConfigWindow& config) : m_config(config) {}
    void setRefreshPosition(int position) override { m_config.tb->setValue(position); }
    void setRefreshEnabled(bool enabled) override { m_config.tb->setEnabled(enabled); }

private:
    ConfigWindow& m_config;
};

namespace
{
void ShowAndRaise(QWidget* w)
{
    w->show();
    w->raise();
    w->activateWindow();
}
}

Application::Application(const CommandLine& commandLine, AppEnvironment environment)
    : m_storeRoot(StoreRoot(environment.executableDir)), m_tableSource(std::move(environment.tableSource))
{
    if (!m_tableSource)
        m_tableSource = MakeSystemTableSource();
    m_sampler = std::make_unique<Sampler>(*m_tableSource);
    m_messages.setRecordOnly(environment.recordMessages);
    m_settings = std::make_unique<SettingsStore>();
    if (!m_settings->keptAside().isEmpty())
        m_messages.information(nullptr, QStringLiteral("Le fichier de réglages %1 était endommagé : il a été mis de côté "
                                                       "sous %2 et les réglages par défaut sont utilisés.")
                                            .arg(m_settings->path(), m_settings->keptAside()));
    m_recorder = std::make_unique<Recorder>(*m_sampler, m_clock, m_errors, m_storeRoot);
    m_recorderControl = std::make_unique<RecorderAdapter>(*m_recorder);

    // The order carries data: the configuration window fills the interface lists and reads its
    // settings before the windows that read theirs from it.
    m_shell = std::make_unique<SplashAndTray>(commandLine.pictureBase);
    m_chooser = std::make_unique<FolderChooser>(m_messages, m_storeRoot);
    m_config = std::make_unique<ConfigWindow>(*m_sampler, *m_recorderControl, *m_settings, m_errors);
    GraphPeers graphPeers = ChooserPeersFor(*m_chooser);
    graphPeers.seriesColours = [this] {
        return std::array<uint32_t, 4>{m_config->colour(1), m_config->colour(2), m_config->colour(3), m_config->colour(4)};
    };
    m_graph = std::make_unique<GraphWindow>(*m_settings, m_messages, m_errors, m_saveDialog, m_clock, m_storeRoot,
                                       std::move(graphPeers));

    // The meter registers itself with the configuration window, which then applies its layout.
    m_meter = std::make_unique<MeterWindow>(*m_config, *m_sampler, *m_settings, m_clock, m_errors, m_storeRoot);
    m_about = std::make_unique<AboutBox>(m_shell->Label1->text());
    m_totals = std::make_unique<TotalsWindow>(*m_chooser, m_clock);
    m_refreshTrackBar = std::make_unique<RefreshTrackBar>(*m_config);
    m_stopwatch = std::make_unique<StopwatchWindow>(m_clock, *m_refreshTrackBar);
    m_histogram = std::make_unique<HistogramWindow>(*m_chooser, m_clock.now().date());

    wire();

    // SIGTERM, SIGINT and the end of the desktop session run the same close chain as "&Quitter".
    m_signals = std::make_unique<SignalBridge>();
    QObject::connect(m_signals.get(), &SignalBridge::terminationRequested, m_shell.get(), [this] { m_shell->close(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_shell.get(),
                     [this](QSessionManager&) { m_shell->close(); });

    m_shell->start(environment.trayWaitMs);
}

Application::~Application() = default;

void Application::wire()
{
    ChooserPeers chooserPeers;
    chooserPeers.monitoredInterfaces = [this] {
        std::vector<bool> checked(static_cast<size_t>(m_config->interfaceCount()));
        for (size_t i = 0; i < checked.size(); ++i)
            checked[i] = m_config->statisticsChecked(static_cast<int>(i));
        return checked;
    };
    chooserPeers.showConfigurationFirstPage = [this] {
        m_config->PageControl1->setCurrentIndex(0);
        m_config->showWindow();
    };
    chooserPeers.setGraphEnabled = [this](bool enabled) { m_graph->setEnabled(enabled); };
    m_chooser->setPeers(chooserPeers);
    QObject::connect(m_config.get(), &ConfigWindow::statisticsFolderRequested, m_graph.get(), [this] { m_graph->Button4Click(); });
    m_config->addSettingsContributor(m_graph.get());
    m_totals->setNavigator(m_graph.get());
    m_histogram->setNavigator(m_graph.get());

    m_meter->setStopwatchFeed(m_stopwatch.get());
    m_meter->setTrayPeer([this](const QString& hint, int image) {
        m_shell->setTrayHint(hint);
        m_shell->setTrayImage(image);
    });
    m_meter->setMeterItemPeer([this](bool checked) { m_shell->setMeterChecked(checked); });
    m_meter->setActivatePeer([this] { m_shell->Timer2->start(); });

    ShellPeers peers;
    peers.meterVisible = [this] { return m_meter->isVisible(); };
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
        m_messages.information(m_meter.get(), QStringLiteral("Aucune zone de notification n'a été trouvée : le tachymètre "
                                                             "reste affiché et son menu (clic droit) donne accès à "
                                                             "toutes les fenêtres."));
    };
    peers.showGraph = [this] { ShowAndRaise(m_graph.get()); };
    peers.startGraph = [this](const QString& base) { m_graph->startFromCommandLine(base); };
    peers.showStopwatch = [this] { ShowAndRaise(m_stopwatch.get()); };
    peers.showConfiguration = [this] { m_config->showWindow(); };
    peers.showAbout = [this] { ShowAndRaise(m_about.get()); };
    peers.showTotals = [this] { ShowAndRaise(m_totals.get()); };
    peers.showHistogram = [this] { ShowAndRaise(m_histogram.get()); };
    peers.saveSettings = [this] { m_config->SaveSettings(); };
    m_shell->setPeers(std::move(peers));
}
