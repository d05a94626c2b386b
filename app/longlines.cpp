#include "longlines.h"

#include <algorithm>

LongLines LongLines::cut(const QString &text, qsizetype maxChars)
{
    LongLines result;
    qsizetype lineStart = 0;
    qsizetype copied = 0;
    auto &shown = result.m_shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            lineStart = i + 1;
            continue;
        }
        if (i - lineStart < maxChars)
            continue;
        qsizetype at = i;
        if (text[at].isLowSurrogate() && text[at - 1].isHighSurrogate() && at - 1 > lineStart)
            --at;
        if (shown.isEmpty())
            shown.reserve(text.size() + text.size() / maxChars + 1);
        shown += QStringView(text).sliced(copied, at - copied);
        result.m_breaks.append(shown.size());
        shown += u'\n';
        copied = at;
        lineStart = at;
        i = at;
    }
    if (result.m_breaks.isEmpty())
        shown = text;
    else
        shown += QStringView(text).sliced(copied);
    return result;
}

qsizetype LongLines::toOriginal(qsizetype shownPosition) const
{
    const auto before = std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), shownPosition);
    return shownPosition - (before - m_breaks.cbegin());
}

qsizetype LongLines::toShown(qsizetype originalPosition) const
{
    // The k-th break stands at shown position b, before original position b - k.
    qsizetype low = 0, high = m_breaks.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_breaks[middle] - middle <= originalPosition)
            low = middle + 1;
        else
            high = middle;
    }
    return originalPosition + low;
}

LongLines::Splice LongLines::replace(qsizetype from, qsizetype to, const QString &lines, qsizetype maxChars)
{
    const LongLines part = cut(lines, maxChars);
    Splice splice{toShown(from), toShown(to), part.m_shown};
    const auto firstAfter = std::lower_bound(m_breaks.begin(), m_breaks.end(), splice.shownTo);
    const qsizetype shift = part.m_shown.size() - (splice.shownTo - splice.shownFrom);
    QList<qsizetype> breaks(m_breaks.cbegin(), std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), splice.shownFrom));
    for (const qsizetype at : part.m_breaks)
        breaks.append(splice.shownFrom + at);
    for (auto it = firstAfter; it != m_breaks.end(); ++it)
        breaks.append(*it + shift);
    m_breaks = std::move(breaks);
    m_shown.replace(splice.shownFrom, splice.shownTo - splice.shownFrom, part.m_shown);
    return splice;
}
