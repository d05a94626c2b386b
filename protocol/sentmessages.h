#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The chat messages of one connection that the server may not have
// received yet, each with the place in the byte stream where it ends, so
// that a connection lost with them still in flight gives them back to the
// user instead of losing them.
class SentMessages final
{
public:
    void add(const QString &userText, qint64 streamEnd, qint64 sentAtMs);
    // The peer has acknowledged the stream up to `offset`.
    void acknowledgedUpTo(qint64 offset);
    // Where the system cannot tell what was acknowledged: messages sent
    // before `ms` count as received (a connection that had lost them would
    // have ended by now).
    void forgetSentBefore(qint64 ms);
    bool isEmpty() const { return m_sent.isEmpty(); }
    QStringList take();
    void clear() { m_sent.clear(); }

private:
    struct Sent
    {
        QString text;
        qint64 streamEnd;
        qint64 sentAtMs;
    };
    QList<Sent> m_sent;
};
