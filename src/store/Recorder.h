#pragma once

#include "sampling/Sampler.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <vector>

class Clock;
class ErrorReporter;

// Every five minutes, turns the counters of each interface checked for statistics into a sample line
// of its day file and two day totals of its nic.inf.
class Recorder final
{
public:
    Recorder(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot);

    // Start-up: baselines of the checked positions from the snapshot that filled the lists.
    void setBaselines(const InterfaceTable& table, const std::vector<bool>& checked);
    // An interface checked while running starts from its counters at that moment.
    void interfaceChecked(int position);

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

private:
    struct Baseline
    {
        bool known = false;
        uint64_t in = 0;
        uint64_t out = 0;
    };
    struct PendingSample
    {
        QDateTime when;
        uint64_t in = 0;
        uint64_t out = 0;
        bool lineWritten = false; // the day file has it; only the totals are still owed
    };
    struct Interface
    {
        QString name; // as last recorded
        Baseline baseline;
        std::deque<PendingSample> pending;
    };

    Interface& at(int position);
    void queue(Interface& itf, PendingSample sample);
    bool writePending(const QString& dir, Interface& itf);
    // "Impossible d'écrire dans" path, once until that path is written again.
    void cannotWrite(const QString& path);
    void written(const QString& path);

    Sampler& m_sampler;
    const Clock& m_clock;
    ErrorReporter& m_errors;
    QString m_root;
    std::vector<Interface> m_interfaces;
    QSet<QString> m_reported;
};
