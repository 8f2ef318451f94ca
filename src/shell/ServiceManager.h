// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ErrorReporter.h"

#include <QByteArray>
#include <QString>

#include <utility>

// The user's service manager, spoken to through the two variables it sets for a service: readiness and
// status lines go as datagrams to $NOTIFY_SOCKET, and lines on standard error carry a priority when
// standard error is the journal ($JOURNAL_STREAM). Nothing is linked for it, and without the variables
// it does nothing, so the program runs the same by hand.
class ServiceManager final
{
public:
    // The journal's priorities (syslog levels) for a line of standard error.
    enum class Priority
    {
        Error = 3,
        Warning = 4,
        Information = 6,
    };

    // notifySocket: a path, or an abstract name written with a leading '@'; empty for none.
    // journalStream: "DEVICE:INODE" of the journal's stream; it counts when standard error is that stream now.
    ServiceManager(const QByteArray& notifySocket, const QByteArray& journalStream);
    // Reads the variables now; unsets neither, so whoever runs children decides what they inherit.
    static ServiceManager fromEnvironment();

    // Sends one datagram ("READY=1", "STATUS=...", "STOPPING=1"). Never waits: false when there is no
    // socket or the datagram could not go at once.
    bool notify(const QByteArray& state) const;

    bool standardErrorIsJournal() const { return m_journal; }
    // Each line of text with the journal's "<N>" priority prefix when standard error is the journal,
    // otherwise text unchanged.
    QString journalLine(Priority priority, const QString& text) const;

private:
    QByteArray m_notifySocket;
    bool m_journal = false;
};

// Writes each message to standard error as one or more lines of the given priority.
class JournalErrorReporter final : public ErrorReporter
{
public:
    explicit JournalErrorReporter(ServiceManager manager,
                                  ServiceManager::Priority priority = ServiceManager::Priority::Error)
        : m_manager(std::move(manager)), m_priority(priority)
    {
    }
    void showError(const QString& message) override;

private:
    ServiceManager m_manager;
    ServiceManager::Priority m_priority;
};
