// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/SettingsStore.h"
#include "reports/DataPlan.h"
#include "sampling/InterfaceTable.h"
#include "store/RecordingService.h"
#include "store/StoreLock.h"
#include "store/StoreLockWaiter.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class ErrorReporter;
class Sampler;

// The user's login name, for the textfile's series.
QString LoginName();

// `vorp --record`: the recording service without the desktop. It follows the interfaces checked in the
// settings file, which it only reads, and writes the same store files as the desktop program.
class HeadlessRecorder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HeadlessRecorder)

public:
    struct Options
    {
        QString storeRoot;
        QString settingsPath;
        std::optional<QString> textfile;          // --prometheus-textfile
        std::unique_ptr<TableSource> tableSource; // the system's when empty
        // The interface of the default route, recorded when no settings file exists yet.
        std::function<std::optional<QString>()> defaultRoute;
        // Where the recorder's own lines go by their weight (what it records and follows; what keeps it from
        // recording); both to the errors' reporter when not given.
        ErrorReporter* notices = nullptr;
        ErrorReporter* warnings = nullptr;
        // The service manager's datagrams ("READY=1", "STATUS=...", "STOPPING=1"); nothing when empty.
        std::function<void(const QByteArray&)> notify;
    };

    HeadlessRecorder(Options options, const Clock& clock, ErrorReporter& errors, QObject* parent = nullptr);
    ~HeadlessRecorder() override;

    // Takes the store's lock, or says who holds it and waits for it; then records.
    void start();
    // A last sample and the textfile, then the lock is let go. Runs once.
    void stop();

    bool recording() const { return m_service != nullptr; }
    RecordingService* service() { return m_service.get(); }

signals:
    // The settings file changed and the recorder follows what it now reads there.
    void settingsFollowed();

private:
    void begin();
    // Another copy took the store: this one stops recording, says what it could not write, and waits.
    void lockLost(const QString& why);
    RecordingService::Selection loadSelection();
    // Reads the settings file unless it is the one read last; says once what keeps it from being read.
    SettingsStore::FileState readSettings();
    void watchSettings();
    void settingsChanged();
    void writeTextfile();
    // The service manager's status line: what is recorded, or why nothing is; ready once it is first told.
    void tellStatus();
    // Checked in the settings and recorded here before, but not present in the system now.
    QStringList AbsentCheckedInterfaces() const;
    // What the textfile keeps across a service that goes (the lock lost) and comes back.
    void keepTotals();

    Options m_options;
    const Clock& m_clock;
    ErrorReporter& m_errors;
    ErrorReporter& m_notices;
    ErrorReporter& m_warnings;
    std::unique_ptr<TableSource> m_tableSource;
    std::unique_ptr<Sampler> m_sampler;
    StoreLock m_lock;
    StoreLockWaiter m_waiter;
    StoreLockKeeper m_keeper;
    std::unique_ptr<RecordingService> m_service;
    QFileSystemWatcher m_settingsWatcher;
    QSet<QString> m_checked; // names checked at the last reading of the settings
    // What tells a version of the settings file from the next without reading it.
    struct FileStamp
    {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNs = 0;
        int64_t changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    // The last settings file read; it stands while the file is missing or cannot be read.
    std::unique_ptr<SettingsStore> m_settings;
    FileStamp m_settingsStamp;
    bool m_settingsTrouble = false;     // said, until the file is read again
    bool m_selected = false;            // the first selection, which sets every baseline, was made
    std::optional<qint64> m_lastSample; // the reading time of the last sample stored, of an earlier service
    QSet<QString> m_absent;             // checked, followed, then gone from the system
    QString m_user = LoginName();
    uint64_t m_writeErrorsBefore = 0; // of earlier services
    uint64_t m_textfileErrors = 0;
    bool m_textfileFailing = false;
    bool m_ready = false;
    // The data plans of the settings file, and what computes their figures for the textfile.
    reports::PlanBook m_plans;
    reports::PlanCalculator m_planCalculator;
    QString m_lockWait; // why the lock is being waited for, while it is
    bool m_stopped = false;
};

// The whole `--record` run inside an existing QCoreApplication; returns the exit status.
int RunHeadlessRecorder(const QString& storeRoot, const std::optional<QString>& textfile);
