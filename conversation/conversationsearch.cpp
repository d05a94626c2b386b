#include "conversationsearch.h"

#include <QStringMatcher>

#include <algorithm>

void ConversationSearch::setText(QStringView text)
{
    m_text.reset(text);
    m_at.clear();
    findFrom(0);
}

void ConversationSearch::change(QStringView now, qsizetype headSize, qsizetype dropped, qsizetype kept)
{
    const FoldedText::Changed changed = m_text.change(now, headSize, dropped, kept);
    if (changed.whole) {
        m_at.clear();
        findFrom(0);
        return;
    }
    m_at.erase(m_at.begin(), std::lower_bound(m_at.begin(), m_at.end(), changed.cut));
    for (qsizetype &at : m_at)
        at -= changed.cut;
    // Matches that reach into the new end go and are looked for again;
    // before them nothing changed.
    const qsizetype reach = std::max<qsizetype>(0, changed.newFrom - m_needle.size() + 1);
    m_at.erase(std::lower_bound(m_at.begin(), m_at.end(), reach), m_at.end());
    findFrom(m_at.isEmpty() ? reach : std::max(reach, m_at.last() + m_needle.size()));
}

void ConversationSearch::setNeedle(QStringView needle)
{
    m_needle = FoldedText::fold(needle);
    m_at.clear();
    findFrom(0);
}

void ConversationSearch::findFrom(qsizetype folded)
{
    if (m_needle.isEmpty())
        return;
    const QStringMatcher matcher(m_needle);
    const QStringView text(m_text.folded());
    for (qsizetype at = matcher.indexIn(text, folded); at >= 0; at = matcher.indexIn(text, at + m_needle.size()))
        m_at.append(at);
}

ConversationSearch::Range ConversationSearch::match(qsizetype index) const
{
    const qsizetype at = m_at.at(index);
    return {m_text.toOriginal(at), m_text.toOriginal(at + m_needle.size())};
}

qsizetype ConversationSearch::next(qsizetype position) const
{
    if (m_at.isEmpty())
        return -1;
    const auto found = std::lower_bound(m_at.cbegin(), m_at.cend(), m_text.toFolded(position));
    return found == m_at.cend() ? 0 : found - m_at.cbegin();
}

qsizetype ConversationSearch::previous(qsizetype position) const
{
    if (m_at.isEmpty())
        return -1;
    const auto found = std::lower_bound(m_at.cbegin(), m_at.cend(), m_text.toFolded(position));
    return found == m_at.cbegin() ? m_at.size() - 1 : (found - m_at.cbegin()) - 1;
}

QList<ConversationSearch::Range> ConversationSearch::within(qsizetype from, qsizetype to) const
{
    QList<Range> ranges;
    const qsizetype foldedFrom = m_text.toFolded(from);
    const qsizetype foldedTo = m_text.toFolded(to);
    auto it = std::lower_bound(m_at.cbegin(), m_at.cend(), foldedFrom - m_needle.size() + 1);
    for (; it != m_at.cend() && *it < foldedTo; ++it)
        ranges.append({m_text.toOriginal(*it), m_text.toOriginal(*it + m_needle.size())});
    return ranges;
}
