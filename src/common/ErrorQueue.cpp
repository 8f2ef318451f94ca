// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ErrorQueue.h"

#include <QMetaObject>

#include <cstdio>

ErrorQueue::ErrorQueue(ErrorReporter* sink, QObject* parent) : QObject(parent), m_sink(sink) {}

void ErrorQueue::showError(const QString& message)
{
    m_queue.push_back(message);
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scheduled = false;
            flush();
        },
        Qt::QueuedConnection);
}

void ErrorQueue::flush()
{
    if (m_delivering || !m_sink)
        return;
    m_delivering = true;
    while (!m_queue.empty())
    {
        const QString message = m_queue.front();
        m_queue.pop_front();
        m_sink->showError(message);
    }
    m_delivering = false;
}

void StandardErrorReporter::showError(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}
