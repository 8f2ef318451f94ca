// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sampling/Sampler.h"
#include "store/FileOps.h"
#include "store/ProfileFile.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class Clock;
class ErrorReporter;

// Every five minutes, turns the counters of each interface checked for statistics into a sample line
// of its day file and two day totals of its nic.inf. The line is appended before the totals are saved,
// so a crash between the two leaves the newest day file one line ahead of its totals, never behind;
// the first cycle of each interface raises those totals to the lines.
class Recorder final
{
public:
    // Every file of the store is opened, written and renamed through ops.
    Recorder(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot,
             store::FileOps& ops = store::SystemFileOps());

    // Start-up: baselines of the checked interfaces from the snapshot that filled the lists (names[i] is
    // the text of item i), each found by its name.
    void setBaselines(const InterfaceTable& table, const QStringList& names, const std::vector<bool>& checked);
    // An interface checked while running starts from its counters at that moment, found by its name in a
    // fresh snapshot: the lists may be older than the table.
    void interfaceChecked(int position, const QString& name);

    // One cycle over the list: names[i] is the text of item i, checked[i] its check mark.
    void RecordCycle(const QStringList& names, const std::vector<bool>& checked);

    const QString& storeRoot() const { return m_root; }
    // Samples that could not be written yet, kept in order.
    size_t pendingCount() const;
    // What stays unwritten, per interface that has anything pending.
    struct Unwritten
    {
        QString name;
        size_t samples = 0;
        uint64_t in = 0;
        uint64_t out = 0;
    };
    std::vector<Unwritten> unwritten() const;
    // Bytes taken from the counters since this recorder started, per interface it has recorded (the
    // pending ones included: they are written at a later cycle, never dropped).
    struct Taken
    {
        int position = 0;
        QString name;
        uint64_t in = 0;
        uint64_t out = 0;
        size_t pending = 0; // samples not yet whole in the store (line and totals)
    };
    std::vector<Taken> taken() const;
    // Writes of store files that failed or were refused, since this recorder started.
    uint64_t writeErrors() const { return m_writeErrors; }
    // The reading time of the newest sample whose line and totals are both in the store.
    const std::optional<QDateTime>& lastStored() const { return m_lastStored; }

private:
    struct Baseline
    {
        bool known = false;
        uint64_t in = 0;
        uint64_t out = 0;
        int32_t index = 0; // the interface index the counters belong to, 0 when unknown
    };
    struct PendingSample
    {
        QDateTime when;
        uint64_t in = 0;
        uint64_t out = 0;
        bool lineWritten = false; // the day file has it; only the totals are still owed
        bool counted = false;     // nic.inf has it; only the line is still owed (its day file was refused)
        int64_t uncertainAt = -1; // where a failed append may have left its line all the same
    };
    struct Interface
    {
        QString name; // as last recorded
        Baseline baseline;
        std::deque<PendingSample> pending;
        uint64_t takenIn = 0, takenOut = 0;
        bool reconciled = false; // its totals were brought in step with its lines in this process
        bool rebuilt = false;    // its nic.inf was made anew: every day file's lines count, not the newest only
        // nic.inf as this process last read or wrote it, parsed again only when the file holds other bytes:
        // ten years of totals are not parsed and compared key by key at every cycle.
        std::optional<ProfileFile> descriptor;
        QString descriptorPath;
        QByteArray descriptorText;
    };

    Interface& at(int position);
    void queue(Interface& itf, PendingSample sample);
    // The interface's nic.inf in dir, read, or made when missing; nothing when it is refused.
    ProfileFile* descriptor(const QString& dir, Interface& itf);
    // Writes the interface's nic.inf; on failure it is dropped from memory and reported.
    bool saveDescriptor(Interface& itf);
    bool reconcile(const QString& dir, Interface& itf);
    void writePending(const QString& dir, Interface& itf);
    // Adds a sample to its day's totals and saves nic.inf.
    bool count(Interface& itf, PendingSample& s);
    // A message about path, once until that path is written again.
    void report(const QString& path, const QString& message);
    void cannotWrite(const QString& path);
    void written(const QString& path);

    Sampler& m_sampler;
    const Clock& m_clock;
    ErrorReporter& m_errors;
    store::FileOps& m_ops;
    QString m_root;
    std::vector<Interface> m_interfaces;
    QSet<QString> m_reported;
    uint64_t m_writeErrors = 0;
    std::optional<QDateTime> m_lastStored;
};
