// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ErrorQueue.h"
#include "sampling/InterfaceTable.h"
#include "store/Recorder.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class Clock;
class Sampler;

// The five-minute recording schedule. It owns the recorder, its baselines and pending samples, and
// the queue its errors wait in; it runs whatever the windows do, and nothing it reports is shown
// from inside a cycle.
class RecordingService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordingService)

public:
    static constexpr int kPeriodMs = 300000;

    // Which interfaces to record: names[i] is the interface at position i, checked[i] its mark.
    struct Selection
    {
        QStringList names;
        std::vector<bool> checked;
    };

    // errors receives the messages from the event loop, after the cycle that raised them.
    RecordingService(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot,
                     QObject* parent = nullptr);

    void setSelection(std::function<Selection()> selection) { m_selection = std::move(selection); }
    // Asked before each cycle writes: false when this copy no longer holds the store (its lock was taken
    // by another copy), and the cycle then writes nothing.
    void setWriteGuard(std::function<bool()> guard) { m_guard = std::move(guard); }
    // Baselines from the snapshot that listed the interfaces, then the schedule starts.
    void start(const InterfaceTable& table);
    // An interface checked while running starts from its counters at that moment; its name is the
    // selection's item at that position.
    void interfaceChecked(int position);
    // One cycle now, outside the schedule.
    void recordNow();
    // The close chain: the schedule stops, a last cycle runs, and its errors and what stays unwritten
    // go to closeErrors at once (standard error): nothing waits for a window.
    void finish(ErrorReporter& closeErrors);

    bool scheduled() const { return m_timer.isActive(); }
    void setScheduled(bool on);
    int periodMs() const { return m_timer.interval(); }
    void setPeriodMs(int ms) { m_timer.setInterval(ms); }
    int cycles() const { return m_cycles; }
    const Recorder& recorder() const { return m_recorder; }
    ErrorQueue& errors() { return m_queue; }

signals:
    void cycleDone();

private:
    std::function<Selection()> m_selection;
    std::function<bool()> m_guard;
    ErrorQueue m_queue;
    Recorder m_recorder;
    QTimer m_timer;
    int m_cycles = 0;
    bool m_finished = false;
};

// "<name> : N octets reçus et M octets envoyés (k relevés) n'ont pas pu être enregistrés": one line per
// interface that still has pending samples.
QStringList UnwrittenLines(const std::vector<Recorder::Unwritten>& unwritten);
