#pragma once

#include "connectionending.h"
#include "sentmessages.h"
#include "updateassembly.h"

#include <QElapsedTimer>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
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
// kQuietInterval are gathered into one burst; a stream that never pauses
// is cut into bursts every kLongestBurst, so its first text shows early and
// stays current. Bursts of one update (a lost segment resent later, maybe
// seconds later) are joined by UpdateAssembly, and dataArrival() then
// means "this is the whole update so far"; an update whose "/*/" has not
// come yet is never delivered. After kSeemsWhole without more of it,
// updateComplete() says that the update is most likely whole; it may still
// have been cut short by a longer pause. updateFinal() follows once nothing
// more of it can come: the next update has begun, the hub closed the
// connection in order after its last words, or kFinalQuiet passed. An
// update cut short by a failed connection is neither. Data gathered before
// the server closes or fails is delivered before the close or error
// notification.
//
// A hub that vanishes without a word (power lost, cable pulled) is noticed
// through SocketLiveness and reported as an error; chat messages it may
// not have received can then be taken back with takeUndelivered()
// (SentMessages decides which).
class ChatSocket final : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kQuietInterval{40};
    static constexpr std::chrono::milliseconds kLongestBurst{400};
    // After this long without more of it, an update seems whole: a segment
    // lost once or twice on a LAN is resent sooner. One that took longer
    // may have been cut short (see updateFinal()).
    static constexpr std::chrono::milliseconds kSeemsWhole{700};
    // Longer than a segment lost five times is held back (0.2 + 0.4 + 0.8
    // + 1.6 + 3.2 s of retransmission backoff).
    static constexpr std::chrono::milliseconds kFinalQuiet{10000};
    // An update never grows beyond this many bytes: a stream without end
    // starts a new one instead, so memory stays bounded.
    static constexpr qsizetype kMaxUpdateBytes = 20 * 1024 * 1024;
    static constexpr qint64 kReadBuffer = 1024 * 1024;

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
    // A chat message passes the user's text as userText, to be given back
    // by takeUndelivered() if the connection is lost before the server
    // acknowledged it.
    bool sendData(const QString &text, QString *errorText = nullptr, const QString &userText = QString());

    // The whole display update so far, decoded; and its bytes, as they came
    // (UpdateReader decodes only what changed since the last update).
    QString getData() const;
    const QByteArray &updateBytes() const { return m_assembly.update(); }

    // The user texts of chat messages the server may not have received when
    // the connection ended, oldest first; taken once.
    QStringList takeUndelivered();

    // The local IPv4 address as dotted text.
    QString localIP() const;

    // Closes silently; allowed in any state.
    void close();

    bool isConnected() const;

signals:
    void connected();
    // The server has paused after sending bytesTotal bytes.
    void dataArrival(qint64 bytesTotal);
    // The update last delivered is most likely whole: still there as
    // updateBytes().
    void updateComplete();
    // Nothing more of the update last delivered can come; always after
    // updateComplete() for the same update.
    void updateFinal();
    void closedByPeer();
    void errorOccurred(const QString &description);

private:
    void onReadyRead();
    void gather();
    void endBurst();
    void deliverUpdate();
    void settle();
    void finish();
    // Delivers what is left before an end notification; false when the
    // receiver closed the socket meanwhile.
    bool deliverBeforeEnd();
    void onConnected();
    void onError();
    void onDisconnected();
    ConnectionEnding::Report endReport(QAbstractSocket::SocketError error) const;
    // One notification per connection end, in the words of ConnectionEnding.
    void reportEnd(QAbstractSocket::SocketError error);
    void checkAcknowledged();
    qint64 nowMs() const { return m_clock.elapsed(); }

    QPointer<QTcpSocket> m_socket;
    QElapsedTimer m_clock;
    QTimer m_quiet;    // the server paused: the burst ends
    QTimer m_ackPoll;  // while sent messages are unacknowledged
    QTimer m_settle;   // the update delivered last is most likely whole after this
    QTimer m_final;    // and certainly whole after this
    QByteArray m_burst;
    qint64 m_burstFirstMs = 0;
    qint64 m_burstLastMs = 0;
    UpdateAssembly m_assembly;
    SentMessages m_sent;
    qint64 m_streamEnd = 0;     // bytes handed to the socket
    qint64 m_handedToSystem = 0; // of those, written to the system
    QString m_host;
    quint16 m_port = 0;
    bool m_endReported = false;
    bool m_unsettled = false;   // an update was delivered, not yet called complete
    bool m_unfinished = false;  // an update was delivered, not yet called final
    bool m_wasConnected = false;
    qintptr m_descriptor = -1;       // our own handle (SocketLiveness::keepHandle), until the end is read
    qint64 m_unansweredSinceMs = -1; // the first send since the hub last sent anything
};
