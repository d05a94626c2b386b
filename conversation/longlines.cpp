#include "longlines.h"

#include <algorithm>

LongLines LongLines::cut(const QString &text, QString *shown, qsizetype maxChars)
{
    LongLines result;
    QString withBreaks;
    qsizetype lineStart = 0;
    qsizetype copied = 0;
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
        if (shown) {
            if (withBreaks.isEmpty())
                withBreaks.reserve(text.size() + text.size() / maxChars + 1);
            withBreaks += QStringView(text).sliced(copied, at - copied);
            withBreaks += u'\n';
        }
        result.m_breaks.append(at + result.m_breaks.size());
        copied = at;
        lineStart = at;
        i = at;
    }
    if (shown) {
        if (result.m_breaks.isEmpty())
            *shown = text;
        else
            *shown = std::move(withBreaks += QStringView(text).sliced(copied));
    }
    return result;
}

qsizetype LongLines::toOriginal(qsizetype shownPosition) const
{
    const auto before = std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), shownPosition);
    return shownPosition - (before - m_breaks.cbegin());
}

qsizetype LongLines::breaksUpTo(qsizetype at) const
{
    // The k-th break stands at shown position b, before original position b - k.
    qsizetype low = 0, high = m_breaks.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_breaks[middle] - middle <= at)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype LongLines::toShown(qsizetype originalPosition) const
{
    return originalPosition + breaksUpTo(originalPosition);
}

qsizetype LongLines::paragraphStart(QStringView text, qsizetype at) const
{
    const qsizetype before = breaksUpTo(at);
    const qsizetype cut = before > 0 ? m_breaks[before - 1] - (before - 1) : 0;
    // Within one piece: never more than kMaxChars to look through.
    const qsizetype newline = text.sliced(cut, at - cut).lastIndexOf(u'\n');
    return newline >= 0 ? cut + newline + 1 : cut;
}

LongLines::Splice LongLines::replace(qsizetype from, qsizetype to, const QString &lines, qsizetype maxChars)
{
    Splice splice{toShown(from), toShown(to), QString()};
    const LongLines part = cut(lines, &splice.shownLines, maxChars);
    const auto firstAfter = std::lower_bound(m_breaks.begin(), m_breaks.end(), splice.shownTo);
    const qsizetype shift = splice.shownLines.size() - (splice.shownTo - splice.shownFrom);
    QList<qsizetype> breaks(m_breaks.cbegin(), std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), splice.shownFrom));
    for (const qsizetype at : part.m_breaks)
        breaks.append(splice.shownFrom + at);
    for (auto it = firstAfter; it != m_breaks.end(); ++it)
        breaks.append(*it + shift);
    m_breaks = std::move(breaks);
    return splice;
}
