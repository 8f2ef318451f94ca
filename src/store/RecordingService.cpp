// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RecordingService.h"

RecordingService::RecordingService(Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot,
                                   QObject* parent)
    : QObject(parent), m_queue(&errors), m_recorder(sampler, clock, m_queue, std::move(storeRoot))
{
    m_timer.setInterval(kPeriodMs);
    // A coarse timer may fire 5 % late; samples keep their five-minute rhythm.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RecordingService::recordNow);
}

void RecordingService::start(const InterfaceTable& table)
{
    if (m_selection)
    {
        const Selection selection = m_selection();
        m_recorder.setBaselines(table, selection.names, selection.checked);
    }
    m_timer.start();
}

void RecordingService::interfaceChecked(int position)
{
    if (!m_selection)
        return;
    const Selection selection = m_selection();
    if (position >= 0 && position < selection.names.size())
        m_recorder.interfaceChecked(position, selection.names[position]);
}

void RecordingService::setScheduled(bool on)
{
    if (on && !m_finished)
        m_timer.start();
    else
        m_timer.stop();
}

void RecordingService::recordNow()
{
    if (m_finished || !m_selection)
        return;
    if (m_guard && !m_guard())
        return;
    const Selection selection = m_selection();
    m_recorder.RecordCycle(selection.names, selection.checked);
    ++m_cycles;
    emit cycleDone();
}

void RecordingService::finish(ErrorReporter& closeErrors)
{
    if (m_finished)
        return;
    m_timer.stop();
    m_queue.setSink(&closeErrors);
    recordNow();
    m_finished = true;
    m_queue.flush();
    for (const QString& line : UnwrittenLines(m_recorder.unwritten()))
        closeErrors.showError(line);
}

QStringList UnwrittenLines(const std::vector<Recorder::Unwritten>& unwritten)
{
    QStringList lines;
    for (const Recorder::Unwritten& u : unwritten)
        lines.append(QStringLiteral("%1 : %2 octets reçus et %3 octets envoyés (%4 relevés) n'ont pas pu être "
                                    "enregistrés")
                         .arg(u.name)
                         .arg(u.in)
                         .arg(u.out)
                         .arg(u.samples));
    return lines;
}
