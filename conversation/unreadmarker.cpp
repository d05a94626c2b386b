#include "unreadmarker.h"

void UnreadMarker::news(qsizetype at)
{
    if (!m_movable)
        return;
    m_at = at;
    m_movable = false;
}

void UnreadMarker::changing(QStringView shown, const UpdateReader::Change &change)
{
    if (!m_at)
        return;
    const qsizetype at = *m_at;
    // The new text is head + shown[dropped, dropped + kept) + tail. The line
    // the marker stands before must be there as it was, and what comes
    // before it from the kept part on too.
    const qsizetype keptEnd = change.dropped + change.kept;
    qsizetype lineEnd = shown.indexOf(u'\n', at);
    lineEnd = lineEnd < 0 ? shown.size() : lineEnd + 1;
    const bool stays = at >= change.dropped && at <= shown.size()
                       && (lineEnd <= keptEnd || QStringView(change.tail).startsWith(shown.sliced(keptEnd, lineEnd - keptEnd)));
    if (!stays) {
        m_at.reset();
        return;
    }
    m_at = change.head.size() + at - change.dropped;
}
