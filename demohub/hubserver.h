#pragma once

#include "chatroom.h"
#include "hubstreamparser.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

// The stand-in chat hub: accepts clients, parses their messages and after
// every join, chat line, refresh and leave sends each client the room's
// display update in code page 932.
class HubServer final : public QObject
{
    Q_OBJECT
public:
    // A client that reads so slowly that this much piles up is dropped.
    static constexpr qint64 kMaxUnsent = 4 * 1024 * 1024;
    // Changes within this many milliseconds go out as one update.
    static constexpr int kBroadcastDelayMs = 60;
    // A message whose address ends the data so far is complete after this
    // much silence.
    static constexpr int kQuietMs = 30;

    explicit HubServer(QObject *parent = nullptr);
    ~HubServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    quint16 port() const { return m_server.serverPort(); }
    int clientCount() const { return int(m_clients.size()); }

signals:
    // Every message a client sent, as parsed (for the hub's --log).
    void messageReceived(const HubStreamParser::Message &message);

private:
    struct Client
    {
        int id;
        HubStreamParser parser;
        QTimer *quiet;
    };

    void accept();
    void read(QTcpSocket *socket);
    void handle(QTcpSocket *socket, const QList<HubStreamParser::Message> &messages);
    void drop(QTcpSocket *socket);
    void scheduleBroadcast();
    void broadcast();

    QTcpServer m_server;
    QHash<QTcpSocket *, Client> m_clients;
    ChatRoom m_room;
    QTimer m_broadcastTimer;
    int m_nextId = 1;
};
