#include "updateassembly.h"

#include "chatmessages.h"

UpdateAssembly::Next UpdateAssembly::add(const QString &burst, qint64 bytes, qint64 firstPieceMs,
                                         qint64 lastPieceMs, qsizetype maxChars)
{
    const bool couldBeWhole = burst.contains(ChatMessages::kUpdateSeparator);
    const bool continues = m_lastPieceMs >= 0 && firstPieceMs - m_lastPieceMs <= kContinuation.count()
                           && (!couldBeWhole || !m_hasSeparator) && m_update.size() + burst.size() <= maxChars;
    if (continues) {
        // A separator may also be made of the two ends that meet here.
        const qsizetype seam = std::max<qsizetype>(0, m_update.size() - (ChatMessages::kUpdateSeparator.size() - 1));
        m_update += burst;
        m_bytes += bytes;
        m_hasSeparator = m_hasSeparator || m_update.indexOf(ChatMessages::kUpdateSeparator, seam) >= 0;
    } else {
        m_update = burst;
        m_bytes = bytes;
        m_hasSeparator = couldBeWhole;
    }
    m_lastPieceMs = lastPieceMs;
    return m_hasSeparator ? Next::Show : Next::Wait;
}

void UpdateAssembly::clear()
{
    m_update.clear();
    m_bytes = 0;
    m_lastPieceMs = -1;
    m_hasSeparator = false;
}
