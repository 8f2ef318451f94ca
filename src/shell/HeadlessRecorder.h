// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sampling/InterfaceTable.h"
#include "store/RecordingService.h"
#include "store/StoreLock.h"
#include "store/StoreLockWaiter.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class ErrorReporter;
class Sampler;

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
    // The settings file changed and the recorder follows it.
    void settingsFollowed();

private:
    void begin();
    RecordingService::Selection loadSelection();
    void settingsChanged();
    void writeTextfile();

    Options m_options;
    const Clock& m_clock;
    ErrorReporter& m_errors;
    std::unique_ptr<TableSource> m_tableSource;
    std::unique_ptr<Sampler> m_sampler;
    StoreLock m_lock;
    StoreLockWaiter m_waiter;
    std::unique_ptr<RecordingService> m_service;
    QFileSystemWatcher m_settingsWatcher;
    QSet<QString> m_checked; // names checked at the last reading of the settings
    std::optional<qint64> m_lastSample;
    bool m_textfileFailing = false;
    bool m_stopped = false;
};

// The whole `--record` run inside an existing QCoreApplication; returns the exit status.
int RunHeadlessRecorder(const QString& storeRoot, const std::optional<QString>& textfile);
