// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>

// Turns SIGTERM, SIGINT and SIGHUP (the terminal or the session going away) into a Qt signal on the event loop, so they
// run the normal close chain instead of killing the process between two writes.
class SignalBridge final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignalBridge)

public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested(int signal);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
