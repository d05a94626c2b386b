#include "sentmessages.h"

#include <utility>

void SentMessages::add(const QString &userText, qint64 streamEnd, qint64 sentAtMs)
{
    m_sent.append({userText, streamEnd, sentAtMs});
}

void SentMessages::acknowledgedUpTo(qint64 offset)
{
    m_sent.removeIf([offset](const Sent &sent) { return sent.streamEnd <= offset; });
}

void SentMessages::forgetSentBefore(qint64 ms)
{
    m_sent.removeIf([ms](const Sent &sent) { return sent.sentAtMs < ms; });
}

void SentMessages::hubDataArrived()
{
    for (Sent &sent : m_sent)
        sent.followedByHubData = true;
}

void SentMessages::connectionEnded(End end, qint64 unacknowledged, qint64 handedToSystem)
{
    if (end == End::ClosedByPeer)
        m_sent.clear();
    else if (unacknowledged != kCannotTell)
        acknowledgedUpTo(handedToSystem - unacknowledged);
    else
        m_sent.removeIf([](const Sent &sent) { return sent.followedByHubData; });
}

QStringList SentMessages::take()
{
    QStringList texts;
    for (const Sent &sent : std::as_const(m_sent))
        texts << sent.text;
    m_sent.clear();
    return texts;
}
