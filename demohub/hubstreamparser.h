#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Takes the client messages out of one connection's byte stream. The
// protocol has no framing: a message is a keyword, a payload, "/*/~" and
// the sender's dotted address, and the next message follows at once. So a
// message is complete when its address is followed by anything that cannot
// be part of an address, or when the stream goes quiet (flush()).
class HubStreamParser final
{
public:
    enum class Kind { Entry, Chat, Refresh };
    struct Message
    {
        Kind kind;
        QString payload; // name or chat text, decoded from code page 932
        QString address;
    };

    // Bytes waiting for the rest of their message are capped; a message
    // that outgrows the cap is dropped.
    static constexpr qsizetype kMaxPending = 64 * 1024;

    QList<Message> feed(const QByteArray &bytes);
    // The stream went quiet: a message whose address reached the end of the
    // data so far is complete.
    QList<Message> flush();

    qsizetype pendingBytes() const { return m_buffer.size(); }

private:
    QList<Message> parse(bool atQuietEnd);

    QByteArray m_buffer;
};
