#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The chat messages of one connection that the server may not have
// received yet, each with the place in the byte stream where it ends, so
// that a connection lost with them still in flight gives them back to the
// user instead of losing them, and one the server had is never sent twice.
//
// Which messages come back when the connection ends:
//   the hub closed its side in order         none: its program read them all
//                                            (a program that closes with
//                                            data unread resets instead)
//   the hub reset its side                   those not followed by data from
//                                            the hub: acknowledged or not,
//                                            its program may never have
//                                            read them
//   an error, the system tells what is       those beyond the acknowledged
//     unacknowledged (zero included)         part of the stream
//   an error, the system cannot tell         those not followed by data
//                                            from the hub, nor older than
//                                            the poll's limit
class SentMessages final
{
public:
    enum class End { ClosedByPeer, ResetByPeer, Failed };
    static constexpr qint64 kCannotTell = -1;

    void add(const QString &userText, qint64 streamEnd, qint64 sentAtMs);
    // The peer's system has acknowledged the stream up to `offset` (its
    // program may still never read it).
    void acknowledgedUpTo(qint64 offset);
    // Where the system cannot tell what was acknowledged: messages sent
    // before `ms` count as received (a connection that had lost them would
    // have ended by now).
    void forgetSentBefore(qint64 ms);
    // The hub sent data: the connection still carried data after the
    // messages sent so far.
    void hubDataArrived();
    // Keeps only the messages the hub may not have had when the connection
    // ended. unacknowledged: bytes of the stream the system says are not
    // acknowledged, or kCannotTell; handedToSystem: the stream's length.
    void connectionEnded(End end, qint64 unacknowledged, qint64 handedToSystem);

    bool isEmpty() const { return m_sent.isEmpty(); }
    QStringList take();
    void clear() { m_sent.clear(); }

private:
    struct Sent
    {
        QString text;
        qint64 streamEnd;
        qint64 sentAtMs;
        bool acknowledged = false; // by the system, or old enough to count so
        bool followedByHubData = false;
    };
    void forgetSafe();
    QList<Sent> m_sent;
};
