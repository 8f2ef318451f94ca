// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ErrorReporter.h"

#include <QObject>

#include <deque>

// Queues messages and hands them to a sink from the event loop, one at a time: whatever the sink does
// (a box that runs its own event loop, a tray message), the code that reported has already gone on.
class ErrorQueue final : public QObject, public ErrorReporter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ErrorQueue)

public:
    explicit ErrorQueue(ErrorReporter* sink = nullptr, QObject* parent = nullptr);

    void setSink(ErrorReporter* sink) { m_sink = sink; }
    void showError(const QString& message) override;
    // Hands every queued message to the sink now; a call from inside the sink returns at once.
    void flush();
    size_t queued() const { return m_queue.size(); }

private:
    ErrorReporter* m_sink;
    std::deque<QString> m_queue;
    bool m_scheduled = false;
    bool m_delivering = false;
};

// Writes each message on its own line to standard error: the close chain and the headless modes.
class StandardErrorReporter final : public ErrorReporter
{
public:
    void showError(const QString& message) override;
};
