#include "sentmessages.h"

#include <utility>

void SentMessages::add(const QString &userText, qint64 streamEnd, qint64 sentAtMs)
{
    m_sent.append({userText, streamEnd, sentAtMs});
}

// The system's acknowledgement says the hub's system has a message, and data
// from the hub that its program read on: only with both is it safe at every end.
void SentMessages::forgetSafe()
{
    m_sent.removeIf([](const Sent &sent) { return sent.acknowledged && sent.followedByHubData; });
}

void SentMessages::acknowledgedUpTo(qint64 offset)
{
    for (Sent &sent : m_sent)
        sent.acknowledged = sent.acknowledged || sent.streamEnd <= offset;
    forgetSafe();
}

void SentMessages::forgetSentBefore(qint64 ms)
{
    for (Sent &sent : m_sent)
        sent.acknowledged = sent.acknowledged || sent.sentAtMs < ms;
    forgetSafe();
}

void SentMessages::hubDataArrived()
{
    for (Sent &sent : m_sent)
        sent.followedByHubData = true;
    forgetSafe();
}

void SentMessages::connectionEnded(End end, qint64 unacknowledged, qint64 handedToSystem)
{
    switch (end) {
    case End::ClosedByPeer:
        m_sent.clear();
        break;
    case End::ResetByPeer:
        m_sent.removeIf([](const Sent &sent) { return sent.followedByHubData; });
        break;
    case End::Failed:
        if (unacknowledged != kCannotTell) {
            acknowledgedUpTo(handedToSystem - unacknowledged);
            m_sent.removeIf([](const Sent &sent) { return sent.acknowledged; });
        } else {
            m_sent.removeIf([](const Sent &sent) { return sent.followedByHubData || sent.acknowledged; });
        }
        break;
    }
}

QStringList SentMessages::take()
{
    QStringList texts;
    for (const Sent &sent : std::as_const(m_sent))
        texts << sent.text;
    m_sent.clear();
    return texts;
}
