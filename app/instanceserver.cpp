#include "app/instanceserver.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr char answer[] = "ok\n";

QString userName()
{
    const QString name = qEnvironmentVariable("USER");
    return name.isEmpty() ? qEnvironmentVariable("LOGNAME") : name;
}

} // namespace

InstanceServer::InstanceServer(const QString &key, QObject *parent)
    : QObject(parent)
    , m_name(nameFor(key))
{
}

InstanceServer::~InstanceServer() = default;

QString InstanceServer::nameFor(const QString &key)
{
    return key + QLatin1Char('-') + userName();
}

bool InstanceServer::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
    if (m_server->listen(m_name))
        return true;
    // The shared-memory guard is ours, so a socket of that name belongs to
    // an instance that died without removing it.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void InstanceServer::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void InstanceServer::readRequest(QLocalSocket *socket)
{
    // The request is complete once its closing empty line has arrived.
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    if (!pending.startsWith('\n') && !pending.contains("\n\n"))
        return;
    const QByteArray request = socket->readAll();
    QStringList files;
    for (const QByteArray &line : request.split('\n')) {
        if (line.isEmpty())
            break;
        files.append(QString::fromUtf8(line));
    }
    socket->write(answer);
    socket->flush();
    Q_EMIT filesRequested(files);
}

bool InstanceServer::handOver(const QString &key, const QStringList &files, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(nameFor(key));
    if (!socket.waitForConnected(deadline.remainingTime()))
        return false;
    QByteArray request;
    for (const QString &file : files)
        request += file.toUtf8() + '\n';
    request += '\n';
    socket.write(request);
    // The socket may have sent it all at once, and then there is nothing
    // to wait for.
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(deadline.remainingTime()))
            return false;
    // The answer may be in before the wait begins, with the connection
    // already closed behind it.
    QByteArray reply = socket.readAll();
    while (!reply.contains('\n')) {
        const bool more = socket.waitForReadyRead(deadline.remainingTime());
        reply += socket.readAll();
        if (!more && !reply.contains('\n'))
            return false;
    }
    return reply == answer;
}
