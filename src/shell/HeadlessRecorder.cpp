// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HeadlessRecorder.h"

#include "common/Clock.h"
#include "common/ErrorQueue.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "reports/PrometheusText.h"
#include "reports/Totals.h"
#include "sampling/DefaultRoute.h"
#include "sampling/Sampler.h"
#include "shell/ServiceManager.h"
#include "shell/SignalBridge.h"
#include "store/ProfileFile.h"
#include "store/StatisticsStore.h"
#include "store/StoreFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

HeadlessRecorder::HeadlessRecorder(Options options, const Clock& clock, ErrorReporter& errors, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_clock(clock), m_errors(errors),
      m_notices(m_options.notices ? *m_options.notices : errors),
      m_warnings(m_options.warnings ? *m_options.warnings : errors), m_tableSource(std::move(m_options.tableSource)),
      m_lock(m_options.storeRoot), m_waiter(m_lock), m_keeper(m_lock)
{
    if (!m_tableSource)
        m_tableSource = MakeSystemTableSource();
    m_sampler = std::make_unique<Sampler>(*m_tableSource);
    connect(&m_waiter, &StoreLockWaiter::acquired, this, &HeadlessRecorder::begin);
    // Queued: the keeper speaks from inside a cycle, which must not lose its service under it.
    connect(&m_keeper, &StoreLockKeeper::lost, this, &HeadlessRecorder::lockLost, Qt::QueuedConnection);
    connect(&m_keeper, &StoreLockKeeper::retaken, this, [this] {
        m_warnings.showError(QStringLiteral("VORP : le verrou %1 avait été supprimé ; il a été recréé et "
                                            "l'enregistrement continue.")
                                 .arg(QDir::toNativeSeparators(m_lock.path())));
    });
    connect(&m_settingsWatcher, &QFileSystemWatcher::directoryChanged, this, &HeadlessRecorder::settingsChanged);
    // The file itself too: an edit in place changes nothing in its folder.
    connect(&m_settingsWatcher, &QFileSystemWatcher::fileChanged, this, &HeadlessRecorder::settingsChanged);
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
    m_lockWait = locked == StoreLock::Result::HeldElsewhere
                     ? QStringLiteral("une autre copie (processus %1) enregistre").arg(m_lock.holderPid())
                     : QStringLiteral("verrou impossible à prendre : %1").arg(m_lock.errorString());
    if (locked == StoreLock::Result::HeldElsewhere)
        m_warnings.showError(QStringLiteral("VORP : une autre copie (processus %1) enregistre déjà dans %2 ; "
                                            "l'enregistrement commencera ici dès qu'elle s'arrêtera.")
                                 .arg(m_lock.holderPid())
                                 .arg(QDir::toNativeSeparators(m_options.storeRoot)));
    else
        m_errors.showError(QStringLiteral("VORP : impossible de prendre le verrou %1 (%2) ; rien n'est enregistré, "
                                          "nouvel essai toutes les %3 secondes.")
                               .arg(QDir::toNativeSeparators(m_lock.path()), m_lock.errorString())
                               .arg(StoreLockWaiter::kErrorRetryMs / 1000));
    m_waiter.start();
    // A fleet sees a waiting recorder from its first second.
    writeTextfile();
    tellStatus();
}

void HeadlessRecorder::begin()
{
    if (m_stopped || m_service)
        return;
    m_service = std::make_unique<RecordingService>(*m_sampler, m_clock, m_errors, m_options.storeRoot);
    m_service->setWriteGuard([this] { return m_keeper.check(); });
    m_keeper.start();
    m_service->setSelection([this] { return loadSelection(); });
    m_lockWait.clear();
    connect(m_service.get(), &RecordingService::cycleDone, this, [this] {
        writeTextfile();
        tellStatus();
    });
    // The desktop program replaces the settings file as a whole: its folder is what can be watched.
    const QString settingsDir = QFileInfo(m_options.settingsPath).absolutePath();
    QDir().mkpath(settingsDir);
    if (!m_settingsWatcher.directories().contains(settingsDir))
        m_settingsWatcher.addPath(settingsDir);
    m_service->start(m_sampler->FetchInterfaceTable().value_or(InterfaceTable{}));
    // One line for the journal: what is recorded where, or why nothing is.
    QStringList recorded = m_checked.values();
    recorded.sort();
    const QStringList absent = AbsentCheckedInterfaces();
    for (const QString& name : absent)
        m_absent.insert(name);
    const QString waiting = absent.isEmpty() ? QString()
                                             : QStringLiteral(" ; cochée(s) mais absente(s) pour l'instant : %1, "
                                                              "enregistrée(s) dès leur retour")
                                                   .arg(absent.join(QStringLiteral(", ")));
    if (!recorded.isEmpty())
        m_notices.showError(
            QStringLiteral("VORP enregistre %1 dans %2%3.")
                .arg(recorded.join(QStringLiteral(", ")), QDir::toNativeSeparators(m_options.storeRoot), waiting));
    else if (!absent.isEmpty())
        m_warnings.showError(QStringLiteral("VORP : aucune interface cochée n'est présente, rien n'est enregistré pour "
                                            "l'instant%1.")
                                 .arg(waiting));
    else
        m_warnings.showError(QStringLiteral("VORP : aucune interface n'est cochée pour les statistiques dans %1 ; rien "
                                            "n'est enregistré pour l'instant.")
                                 .arg(QDir::toNativeSeparators(m_options.settingsPath)));
    writeTextfile();
    tellStatus();
}

RecordingService::Selection HeadlessRecorder::loadSelection()
{
    const InterfaceTable table = m_sampler->FetchInterfaceTable().value_or(InterfaceTable{});
    const QStringList names = DisplayNames(table);
    readSettings();
    Settings settings;
    if (m_settings)
        settings.load(*m_settings, names);
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
    const QSet<QString> before = std::exchange(m_checked, {});
    std::vector<int> checkedNow;
    for (qsizetype i = 0; i < names.size(); ++i)
    {
        if (!selection.checked[static_cast<size_t>(i)])
            continue;
        m_checked.insert(names[i]);
        if (!before.contains(names[i]))
            checkedNow.push_back(static_cast<int>(i));
    }
    const bool first = !std::exchange(m_selected, true);
    // Each interface followed or left is said once; the first selection is said by begin().
    for (const QString& name : before)
    {
        if (m_checked.contains(name))
            continue;
        if (names.contains(name))
            m_notices.showError(QStringLiteral("VORP n'enregistre plus %1 : elle n'est plus cochée.").arg(name));
        else
        {
            // Gone from the system (unplugged, a VPN down): still checked, recorded again when it is back.
            m_absent.insert(name);
            m_warnings.showError(
                QStringLiteral("VORP n'enregistre plus %1 pour l'instant : elle est absente du système.").arg(name));
        }
    }
    for (const int position : checkedNow)
    {
        const QString& name = names[position];
        // An interface back after an absence keeps its baseline: the recorder tells a restarted counter by
        // itself, and counts what moved since. One checked now starts from its counters now, as a check in
        // the desktop's window does, whether the watcher saw the change or a cycle finds it. The first
        // selection sets every baseline.
        if (m_absent.remove(name))
        {
            m_notices.showError(QStringLiteral("VORP enregistre de nouveau %1.").arg(name));
            continue;
        }
        if (first || !m_service)
            continue;
        m_notices.showError(QStringLiteral("VORP enregistre aussi %1.").arg(name));
        m_service->interfaceChecked(position);
    }
    return selection;
}

SettingsStore::FileState HeadlessRecorder::readSettings()
{
    const QString& path = m_options.settingsPath;
    std::optional<FileStamp> stamp;
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
        stamp = FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                          st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
    if (!m_settings || !stamp || *stamp != m_settingsStamp)
    {
        auto store = std::make_unique<SettingsStore>(path, SettingsStore::Access::ReadOnly);
        const SettingsStore::FileState state = store->fileState();
        if (state != SettingsStore::FileState::Read)
        {
            // The last selection read stands, and with it every baseline: a file replaced by hand, or unreadable
            // for a while, loses no interval. Before any file, its absence is a first run, not a fault.
            if ((state == SettingsStore::FileState::Missing && !m_settings) || std::exchange(m_settingsTrouble, true))
                return state;
            const QString file = QDir::toNativeSeparators(path);
            const QString kept = m_settings ? QStringLiteral("les interfaces cochées jusqu'ici restent enregistrées")
                                            : QStringLiteral("l'interface de la route par défaut est enregistrée en "
                                                             "attendant");
            if (state == SettingsStore::FileState::Missing)
                m_warnings.showError(
                    QStringLiteral("VORP : le fichier de réglages %1 a disparu ; %2.").arg(file, kept));
            else
                m_warnings.showError(QStringLiteral("VORP : impossible de lire le fichier de réglages %1 (%2) ; %3.")
                                         .arg(file, store->problem(), kept));
            return state;
        }
        m_settings = std::move(store);
        // Stamped before the read: a file replaced meanwhile only costs one more read.
        m_settingsStamp = stamp.value_or(FileStamp{});
    }
    m_settingsTrouble = false;
    watchSettings();
    return SettingsStore::FileState::Read;
}

void HeadlessRecorder::watchSettings()
{
    if (m_stopped)
        return;
    // A watch ends with its file or folder: a replaced settings file, a folder made again.
    const QString& path = m_options.settingsPath;
    const QFileInfo file(path);
    const QString dir = file.absolutePath();
    if (!m_settingsWatcher.directories().contains(dir) && QFileInfo(dir).isDir())
        m_settingsWatcher.addPath(dir);
    if (!m_settingsWatcher.files().contains(path) && file.isFile() && !file.isSymLink())
        m_settingsWatcher.addPath(path);
}

void HeadlessRecorder::settingsChanged()
{
    if (!m_service || m_stopped)
        return;
    watchSettings();
    // Newly checked interfaces take their baselines in there.
    loadSelection();
    if (m_settings && !m_settingsTrouble)
        emit settingsFollowed();
}

void HeadlessRecorder::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_waiter.stop();
    // Quietly: an empty list draws a warning.
    const QStringList watched = m_settingsWatcher.directories() + m_settingsWatcher.files();
    if (!watched.isEmpty())
        m_settingsWatcher.removePaths(watched);
    if (m_options.notify)
        m_options.notify("STOPPING=1");
    if (m_service)
        m_service->finish(m_errors);
    m_keeper.stop();
    m_lock.release();
    // Left saying that this machine no longer records.
    writeTextfile();
}

void HeadlessRecorder::lockLost(const QString& why)
{
    if (!m_service || m_stopped)
        return;
    m_warnings.showError(QStringLiteral("VORP : le verrou %1 n'est plus à cette copie (%2) ; l'enregistrement "
                                        "s'arrête ici pour ne rien compter deux fois et reprendra dès que le "
                                        "verrou sera libre.")
                             .arg(QDir::toNativeSeparators(m_lock.path()), why));
    for (const QString& line : UnwrittenLines(m_service->recorder().unwritten()))
        m_errors.showError(line);
    keepTotals();
    m_service.reset();
    m_lockWait = QStringLiteral("le verrou a été pris par une autre copie");
    m_waiter.start();
    writeTextfile();
    tellStatus();
}

void HeadlessRecorder::tellStatus()
{
    if (!m_options.notify || m_stopped)
        return;
    QString status;
    if (!m_service)
        status = QStringLiteral("N'enregistre pas : %1 ; reprise dès que le verrou sera libre").arg(m_lockWait);
    else if (const auto unwritten = m_service->recorder().unwritten(); !unwritten.empty())
    {
        size_t samples = 0;
        for (const Recorder::Unwritten& u : unwritten)
            samples += u.samples;
        status =
            QStringLiteral("N'enregistre pas : %1 relevé(s) en attente, le stockage refuse l'écriture").arg(samples);
    }
    else if (m_checked.isEmpty())
        status = QStringLiteral("N'enregistre pas : aucune interface cochée présente");
    else
    {
        QStringList recorded = m_checked.values();
        recorded.sort();
        status = QStringLiteral("Enregistre %1 dans %2")
                     .arg(recorded.join(QStringLiteral(", ")), QDir::toNativeSeparators(m_options.storeRoot));
    }
    m_options.notify("STATUS=" + status.toUtf8());
    // Ready once it has said what it does: recording, or waiting for the store.
    if (!std::exchange(m_ready, true))
        m_options.notify("READY=1");
}

QStringList HeadlessRecorder::AbsentCheckedInterfaces() const
{
    // The settings mark every interface ever checked, present or not; the store's folders name those recorded
    // before, which is where an absent one is found.
    QStringList absent;
    if (!m_settings)
        return absent;
    const QDir root(m_options.storeRoot);
    for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
    {
        const store::FileRead read =
            store::ReadStoreFile(store::DescriptorPath(root.filePath(folder)), store::kDescriptorLimit);
        if (read.status != store::FileRead::Status::Read)
            continue;
        const auto name = ProfileFile::parse(read.data).value(store::kHeaderSection, QStringLiteral("ifname"));
        if (name && !name->isEmpty() && !m_checked.contains(*name) && !absent.contains(*name) &&
            ReadInterfaceMarks(*m_settings, *name).statistics)
            absent.append(*name);
    }
    return absent;
}

void HeadlessRecorder::keepTotals()
{
    if (!m_service)
        return;
    const Recorder& recorder = m_service->recorder();
    m_writeErrorsBefore += recorder.writeErrors();
    if (recorder.lastStored() && (!m_lastSample || recorder.lastStored()->toSecsSinceEpoch() > *m_lastSample))
        m_lastSample = recorder.lastStored()->toSecsSinceEpoch();
}

void HeadlessRecorder::writeTextfile()
{
    if (!m_options.textfile)
        return;
    const QDate today = m_clock.now().date();
    reports::RecorderHealth health;
    health.user = m_user;
    health.version = QCoreApplication::applicationVersion();
    health.recording = m_service && !m_stopped;
    health.writeErrors = m_writeErrorsBefore + m_textfileErrors;
    health.lastSampleSeconds = m_lastSample;
    // One series per interface folder: interfaces sharing a display name share a folder, and their figures
    // are summed; the checked ones are listed from the start, with the store's totals.
    std::vector<reports::InterfaceMetrics> metrics;
    const auto entry = [&metrics](const QString& name) -> reports::InterfaceMetrics* {
        for (reports::InterfaceMetrics& m : metrics)
            if (m.name == name)
                return &m;
        return nullptr;
    };
    std::vector<std::pair<QString, int>> folders; // name, a position to find its folder by
    if (m_service)
    {
        const Recorder& recorder = m_service->recorder();
        health.writeErrors += recorder.writeErrors();
        if (recorder.lastStored() && (!m_lastSample || recorder.lastStored()->toSecsSinceEpoch() > *m_lastSample))
            health.lastSampleSeconds = recorder.lastStored()->toSecsSinceEpoch();
        for (const Recorder::Taken& taken : recorder.taken())
        {
            reports::InterfaceMetrics* m = entry(taken.name);
            if (!m)
            {
                metrics.push_back({});
                m = &metrics.back();
                m->name = taken.name;
                folders.emplace_back(taken.name, taken.position);
            }
            m->receivedSinceStart += taken.in;
            m->sentSinceStart += taken.out;
            m->pendingSamples += taken.pending;
        }
    }
    QStringList checked = m_checked.values();
    checked.sort();
    for (const QString& name : checked)
        if (!entry(name))
        {
            metrics.push_back({});
            metrics.back().name = name;
            folders.emplace_back(name, -1);
        }
    if (m_settings)
        for (const QString& message : m_plans.update(m_settings->readSection(QStringLiteral("Plans"))))
            m_warnings.showError(message);
    // The store's folder names are joined to the root as the recorder joins them.
    QString root = m_options.storeRoot;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    for (size_t i = 0; i < metrics.size(); ++i)
    {
        reports::InterfaceMetrics& m = metrics[i];
        // Only read here: the folder of an interface never recorded yet is not made for the textfile.
        const QString dir = QDir(m_options.storeRoot).filePath(folders[i].first);
        const auto found = folders[i].second >= 0
                               ? store::StatisticsFolderFor(root, folders[i].second, folders[i].first)
                               : (QFileInfo(dir).isDir() ? std::optional<QString>(dir) : std::nullopt);
        if (!found)
            continue;
        const reports::TotalsReport totals = reports::TotalsWalk::Load(*found, today);
        m.todayReceived = totals.todayBytes.received;
        m.todaySent = totals.todayBytes.sent;
        m.monthReceived = totals.monthBytes.received;
        m.monthSent = totals.monthBytes.sent;
        m.monthForecast = totals.forecastBytes.received + totals.forecastBytes.sent;
        if (const reports::DataPlan* plan = m_plans.find(m.name))
            m.plan = reports::PlanMetricsOf(m_planCalculator.current(*plan, *found, m_clock.now()));
    }
    QString error;
    if (reports::WriteFileAtomically(*m_options.textfile, reports::PrometheusText(metrics, health), &error))
        m_textfileFailing = false;
    else
    {
        ++m_textfileErrors;
        // Once until the file can be written again.
        if (!std::exchange(m_textfileFailing, true))
            m_errors.showError(error);
    }
}

QString LoginName()
{
    // The account, not $USER, which a service or a sudo may leave out or carry over.
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(::geteuid());
}

int RunHeadlessRecorder(const QString& storeRoot, const std::optional<QString>& textfile)
{
    SystemClock clock;
    // Under the service manager, each line reaches the journal with its weight: `journalctl -p err` shows
    // what could not be written.
    const ServiceManager manager = ServiceManager::fromEnvironment();
    JournalErrorReporter errors(manager, ServiceManager::Priority::Error);
    JournalErrorReporter warnings(manager, ServiceManager::Priority::Warning);
    JournalErrorReporter notices(manager, ServiceManager::Priority::Information);
    HeadlessRecorder::Options options;
    options.notices = &notices;
    options.warnings = &warnings;
    options.notify = [&manager](const QByteArray& state) { manager.notify(state); };
    options.storeRoot = storeRoot;
    options.settingsPath = SettingsStore::DefaultPath();
    if (textfile)
    {
        options.textfile = QFileInfo(*textfile).absoluteFilePath();
        reports::SweepLeftovers(*options.textfile, clock.now());
    }
    HeadlessRecorder recorder(std::move(options), clock, errors);
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::terminationRequested, &recorder, [&recorder] {
        recorder.stop();
        QCoreApplication::quit();
    });
    recorder.start();
    return QCoreApplication::exec();
}
