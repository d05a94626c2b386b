#include "hubserver.h"

#include "codepage932.h"

#include <QTcpSocket>
#include <QTimer>

HubServer::HubServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HubServer::accept);
    m_broadcastTimer.setSingleShot(true);
    m_broadcastTimer.setInterval(kBroadcastDelayMs);
    connect(&m_broadcastTimer, &QTimer::timeout, this, &HubServer::broadcast);
}

HubServer::~HubServer()
{
    const auto sockets = m_clients.keys();
    for (QTcpSocket *socket : sockets) {
        disconnect(socket, nullptr, this, nullptr);
        delete socket;
    }
}

bool HubServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void HubServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto *quiet = new QTimer(socket);
        quiet->setSingleShot(true);
        quiet->setInterval(kQuietMs);
        m_clients.insert(socket, Client{m_nextId++, HubStreamParser(), quiet});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(quiet, &QTimer::timeout, this, [this, socket] {
            if (m_clients.contains(socket))
                handle(socket, m_clients[socket].parser.flush());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    }
}

void HubServer::read(QTcpSocket *socket)
{
    auto client = m_clients.find(socket);
    if (client == m_clients.end())
        return;
    const QList<HubStreamParser::Message> messages = client->parser.feed(socket->readAll());
    client->quiet->start(); // an address at the very end completes when the stream goes quiet
    handle(socket, messages);
}

void HubServer::handle(QTcpSocket *socket, const QList<HubStreamParser::Message> &messages)
{
    const auto client = m_clients.constFind(socket);
    if (client == m_clients.constEnd())
        return;
    const int id = client->id;
    bool changed = false;
    for (const HubStreamParser::Message &message : messages) {
        emit messageReceived(message);
        switch (message.kind) {
        case HubStreamParser::Kind::Entry:
            changed |= m_room.join(id, message.payload);
            break;
        case HubStreamParser::Kind::Chat:
            changed |= m_room.say(id, message.payload);
            break;
        case HubStreamParser::Kind::Refresh:
            changed |= m_room.isMember(id);
            break;
        }
    }
    if (changed)
        scheduleBroadcast();
}

void HubServer::scheduleBroadcast()
{
    // Updates sent back to back would reach a client as one read, which it
    // shows as a single garbled update; changes close together share one.
    if (!m_broadcastTimer.isActive())
        m_broadcastTimer.start();
}

void HubServer::drop(QTcpSocket *socket)
{
    const auto client = m_clients.constFind(socket);
    if (client == m_clients.constEnd())
        return;
    const int id = client->id;
    m_clients.erase(client);
    disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    if (m_room.leave(id))
        scheduleBroadcast();
}

void HubServer::broadcast()
{
    const QByteArray update = Cp932::encode(m_room.displayUpdate());
    QList<QTcpSocket *> stalled;
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        QTcpSocket *socket = it.key();
        if (socket->bytesToWrite() > kMaxUnsent)
            stalled << socket; // a client that does not read must not hold the others up
        else
            socket->write(update);
    }
    for (QTcpSocket *socket : stalled) {
        socket->abort();
        drop(socket);
    }
}
