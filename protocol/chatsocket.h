#pragma once

#include "codepage932.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QTcpSocket;

// The chat connection as the main window sees it: set host and port,
// connect asynchronously, send or read whole strings (code page 932 on the
// wire), ask the local address, close.
//
// Qt reports our own close() as well as the peer's, and reports a peer's
// close as both an error and a disconnection. This layer turns that into
// exactly one notification per connection end: closedByPeer() when the
// server closed, errorOccurred() for any other failure, and nothing at all
// after close().
//
// The protocol has no framing, and a display update longer than one TCP
// segment arrives in several reads. Pieces that follow one another within
// kQuietInterval are gathered into one arrival, so dataArrival() means "the
// server has paused": an update cut anywhere is shown whole, at the cost of
// that interval. Data gathered before the server closes or fails is
// delivered before the close or error notification.
class ChatSocket final : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kQuietInterval{40};
    // A stream that never pauses is delivered anyway once this much waits.
    static constexpr qsizetype kMaxGatheredChars = 32 * 1024 * 1024;

    explicit ChatSocket(QObject *parent = nullptr);
    ~ChatSocket() override;

    void setRemoteHost(const QString &host) { m_host = host; }
    QString remoteHost() const { return m_host; }
    void setRemotePort(quint16 port) { m_port = port; }
    quint16 remotePort() const { return m_port; }

    // Starts a connection attempt. Returns false (with a description) only
    // when the request cannot even be made; the outcome of a started attempt
    // arrives as connected() or errorOccurred().
    bool connectToRemote(QString *errorText = nullptr);

    // Hands the whole text to the connection; false when not connected.
    bool sendData(const QString &text, QString *errorText = nullptr);

    // Everything gathered since the last call, decoded with the
    // connection's own decoder.
    QString getData();

    // The local IPv4 address as dotted text.
    QString localIP() const;

    // Closes silently; allowed in any state.
    void close();

    bool isConnected() const;

signals:
    void connected();
    // The server has paused after sending bytesTotal bytes.
    void dataArrival(qint64 bytesTotal);
    void closedByPeer();
    void errorOccurred(const QString &description);

private:
    void gather();
    void deliverGathered();
    // Delivers what is left before an end notification; false when the
    // receiver closed the socket meanwhile.
    bool deliverBeforeEnd();
    void onError();
    void onDisconnected();

    QPointer<QTcpSocket> m_socket;
    Cp932::Decoder m_decoder;
    QTimer m_quiet;
    QString m_gathered;
    qint64 m_gatheredBytes = 0;
    QString m_host;
    quint16 m_port = 0;
    bool m_endReported = false;
};
