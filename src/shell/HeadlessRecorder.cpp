// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HeadlessRecorder.h"

#include "common/Clock.h"
#include "common/ErrorQueue.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "reports/PrometheusText.h"
#include "reports/Totals.h"
#include "sampling/DefaultRoute.h"
#include "sampling/Sampler.h"
#include "shell/SignalBridge.h"
#include "store/StatisticsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

HeadlessRecorder::HeadlessRecorder(Options options, const Clock& clock, ErrorReporter& errors, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_clock(clock), m_errors(errors),
      m_tableSource(std::move(m_options.tableSource)), m_lock(m_options.storeRoot), m_waiter(m_lock)
{
    if (!m_tableSource)
        m_tableSource = MakeSystemTableSource();
    m_sampler = std::make_unique<Sampler>(*m_tableSource);
    connect(&m_waiter, &StoreLockWaiter::acquired, this, &HeadlessRecorder::begin);
    connect(&m_settingsWatcher, &QFileSystemWatcher::directoryChanged, this, &HeadlessRecorder::settingsChanged);
}

HeadlessRecorder::~HeadlessRecorder() = default;

void HeadlessRecorder::start()
{
    const StoreLock::Result locked = m_lock.tryAcquire();
    if (locked == StoreLock::Result::Acquired)
    {
        begin();
        return;
    }
    if (locked == StoreLock::Result::HeldElsewhere)
        m_errors.showError(QStringLiteral("VORP : une autre copie (processus %1) enregistre déjà dans %2 ; "
                                          "l'enregistrement commencera ici dès qu'elle s'arrêtera.")
                               .arg(m_lock.holderPid())
                               .arg(QDir::toNativeSeparators(m_options.storeRoot)));
    else
        m_errors.showError(QStringLiteral("VORP : impossible de prendre le verrou %1 ; nouvel essai dans une "
                                          "minute.")
                               .arg(QDir::toNativeSeparators(m_lock.path())));
    m_waiter.start();
}

void HeadlessRecorder::begin()
{
    if (m_stopped || m_service)
        return;
    m_service = std::make_unique<RecordingService>(*m_sampler, m_clock, m_errors, m_options.storeRoot);
    m_service->setSelection([this] { return loadSelection(); });
    connect(m_service.get(), &RecordingService::cycleDone, this, [this] {
        m_lastSample = m_clock.now().toSecsSinceEpoch();
        writeTextfile();
    });
    // The desktop program replaces the settings file as a whole: its folder is what can be watched.
    const QString settingsDir = QFileInfo(m_options.settingsPath).absolutePath();
    QDir().mkpath(settingsDir);
    m_settingsWatcher.addPath(settingsDir);
    m_service->start(m_sampler->FetchInterfaceTable().value_or(InterfaceTable{}));
    // One line for the journal: what is recorded where, or why nothing is.
    QStringList recorded = m_checked.values();
    recorded.sort();
    if (recorded.isEmpty())
        m_errors.showError(QStringLiteral("VORP : aucune interface n'est cochée pour les statistiques dans %1 ; rien "
                                          "n'est enregistré pour l'instant.")
                               .arg(QDir::toNativeSeparators(m_options.settingsPath)));
    else
        m_errors.showError(
            QStringLiteral("VORP enregistre %1 dans %2.")
                .arg(recorded.join(QStringLiteral(", ")), QDir::toNativeSeparators(m_options.storeRoot)));
    writeTextfile();
}

RecordingService::Selection HeadlessRecorder::loadSelection()
{
    const InterfaceTable table = m_sampler->FetchInterfaceTable().value_or(InterfaceTable{});
    const QStringList names = DisplayNames(table);
    Settings settings;
    if (QFileInfo::exists(m_options.settingsPath))
    {
        const SettingsStore store(m_options.settingsPath, SettingsStore::Access::ReadOnly);
        settings.load(store, names);
    }
    else
    {
        // Before any settings file, the desktop program's first run would check the default route's
        // interface: a recorder installed first records it too, without writing the file.
        const SettingsStore none(QString(), SettingsStore::Access::ReadOnly);
        settings.load(none, names);
        MarkDefaultRouteInterface(settings,
                                  m_options.defaultRoute ? m_options.defaultRoute() : SystemDefaultRouteInterface());
    }
    RecordingService::Selection selection{names, settings.statisticsMarks()};
    m_checked.clear();
    for (qsizetype i = 0; i < names.size(); ++i)
        if (selection.checked[static_cast<size_t>(i)])
            m_checked.insert(names[i]);
    return selection;
}

void HeadlessRecorder::settingsChanged()
{
    if (!m_service || m_stopped)
        return;
    // An interface checked now starts from its counters now, as a check in the desktop's window does.
    const QSet<QString> before = m_checked;
    const RecordingService::Selection selection = loadSelection();
    for (qsizetype i = 0; i < selection.names.size(); ++i)
        if (selection.checked[static_cast<size_t>(i)] && !before.contains(selection.names[i]))
            m_service->interfaceChecked(static_cast<int>(i));
    emit settingsFollowed();
}

void HeadlessRecorder::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_settingsWatcher.removePaths(m_settingsWatcher.directories());
    if (m_service)
    {
        m_service->finish(m_errors);
        writeTextfile();
    }
}

void HeadlessRecorder::writeTextfile()
{
    if (!m_options.textfile || !m_service)
        return;
    const QDate today = m_clock.now().date();
    std::vector<reports::InterfaceMetrics> metrics;
    for (const Recorder::Taken& taken : m_service->recorder().taken())
    {
        reports::InterfaceMetrics m;
        m.name = taken.name;
        m.receivedSinceStart = taken.in;
        m.sentSinceStart = taken.out;
        if (const auto dir = store::StatisticsFolderFor(m_service->recorder().storeRoot(), taken.position, taken.name))
        {
            const reports::TotalsReport totals = reports::TotalsWalk::Load(*dir, today);
            m.todayReceived = totals.todayBytes.received;
            m.todaySent = totals.todayBytes.sent;
            m.monthReceived = totals.monthBytes.received;
            m.monthSent = totals.monthBytes.sent;
            m.monthForecast = totals.forecastBytes.received + totals.forecastBytes.sent;
        }
        metrics.push_back(std::move(m));
    }
    QString error;
    if (reports::WriteFileAtomically(*m_options.textfile, reports::PrometheusText(metrics, m_lastSample), &error))
        m_textfileFailing = false;
    else if (!m_textfileFailing)
    {
        // Once until the file can be written again.
        m_textfileFailing = true;
        m_errors.showError(error);
    }
}

int RunHeadlessRecorder(const QString& storeRoot, const std::optional<QString>& textfile)
{
    SystemClock clock;
    StandardErrorReporter errors;
    HeadlessRecorder::Options options;
    options.storeRoot = storeRoot;
    options.settingsPath = SettingsStore::DefaultPath();
    if (textfile)
        options.textfile = QFileInfo(*textfile).absoluteFilePath();
    HeadlessRecorder recorder(std::move(options), clock, errors);
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::terminationRequested, &recorder, [&recorder] {
        recorder.stop();
        QCoreApplication::quit();
    });
    recorder.start();
    return QCoreApplication::exec();
}
