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
