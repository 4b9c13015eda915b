#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// The running instance's door for later starts. The shared-memory guard
// says whether an instance runs; this local socket, named after the same
// key and the user, carries the files a later start was given to it, so
// that "Open with" in a file manager reaches the window already open.
//
// A request is the absolute paths, one per line in UTF-8, closed by an
// empty line; the server answers "ok" once it has taken them.
class InstanceServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceServer)

public:
    explicit InstanceServer(const QString &key, QObject *parent = nullptr);
    ~InstanceServer() override;

    // Starts listening, taking over a socket file left by a crashed
    // instance. False when the socket cannot be made.
    bool listen();
    QString serverName() const { return m_name; }

    // The socket name for a key: the key and the user's name, so that two
    // users of one machine do not reach each other's player.
    static QString nameFor(const QString &key);

    // Hands files (possibly none: the running instance only comes to the
    // front) to the instance listening under key. False when none answers
    // within timeoutMs.
    static bool handOver(const QString &key, const QStringList &files, int timeoutMs = 5000);

Q_SIGNALS:
    // A later start asked for these files (absolute paths, maybe none).
    void filesRequested(const QStringList &files);

private:
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString m_name;
    QLocalServer *m_server = nullptr;
};
