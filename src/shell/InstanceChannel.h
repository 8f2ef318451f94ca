// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

// What a launcher gives the program it starts so that its window may take the focus and the launch
// feedback end: the X11 startup id and the Wayland activation token. A second start hands them to the
// first copy, whose window is the one that shows.
struct ActivationToken
{
    QByteArray x11;     // DESKTOP_STARTUP_ID
    QByteArray wayland; // XDG_ACTIVATION_TOKEN
    bool isEmpty() const { return x11.isEmpty() && wayland.isEmpty(); }
    static ActivationToken fromEnvironment();
};
Q_DECLARE_METATYPE(ActivationToken)

// Lets a second start of the program hand its command-line argument to the copy that holds the
// store, over a local socket that only this user can reach and that is named after the store. Both
// ends check that the other runs as this user.
class InstanceChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceChannel)

public:
    enum class HandOver
    {
        Accepted,
        NoAnswer
    };

    // Connections served at once; further ones are closed as soon as they are accepted.
    static constexpr int kMaxConnections = 16;
    // Longest request line, its line end included: room for an argument of PATH_MAX bytes once encoded.
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;

    explicit InstanceChannel(QString storeRoot, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Full socket path, one per user and store, in $XDG_RUNTIME_DIR when that is a folder of this user's
    // closed to others, else in a folder "vorp-<uid>" of the temporary folder, or of the cache folder when
    // the former is not ours alone; that folder is made (0700) when missing. Empty when none will do.
    static QString ServerName(const QString& storeRoot);

    // Only the copy holding the store lock may listen: a socket already at the name is taken over.
    // The socket file goes with this object, unless another listener has replaced it meanwhile.
    bool listen();
    QString errorString() const;
    // A connection that has not sent a whole request within this time is dropped.
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }

    // Blocking, for a second start: retries until the first copy listens, and reports Accepted only
    // once that copy has confirmed the request. A token that does not fit, or that a first copy of an
    // older version refuses, is left out rather than the request.
    static HandOver handOver(const QString& storeRoot, const std::optional<QString>& argument, int timeoutMs = 2000,
                             const ActivationToken& token = {});
    // Longest token taken, per kind; a launcher's are far shorter.
    static constexpr qsizetype kMaxTokenBytes = 512;

signals:
    void activationRequested(std::optional<QString> argument, ActivationToken token);

private:
    class Connection;

    void acceptConnections();
    void readRequest(Connection* connection);
    void drop(Connection* connection);

    QString m_storeRoot;
    QString m_errorString;
    int m_listener = -1;
    QSocketNotifier* m_listenerNotifier = nullptr;
    // What listen() bound, so that only our own socket file is removed.
    QByteArray m_socketPath;
    quint64 m_socketDevice = 0;
    quint64 m_socketInode = 0;
    int m_requestTimeoutMs = 5000;
    int m_connections = 0;
};
