#include "foldedtext.h"

#include "codepage932.h"

#include <algorithm>

namespace {
bool isVoicedMark(QChar c)
{
    return c.unicode() == 0xFF9E || c.unicode() == 0xFF9F;
}

// One character as find compares it.
QChar folded(QChar c)
{
    // Most of a conversation: ASCII, and kana and kanji, which have no
    // other width or case.
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'A' && u <= u'Z' ? QChar(u + 0x20) : c;
    if (u >= 0x3041 && u < 0xF900)
        return c;
    // What a Linux keyboard types and what the hub gives back are one.
    c = QChar(Cp932::windowsForm(u));
    const QChar::Decomposition tag = c.decompositionTag();
    if (tag == QChar::Wide || tag == QChar::Narrow) {
        const QString plain = c.decomposition();
        if (plain.size() == 1)
            c = plain[0];
    }
    return c.isSurrogate() ? c : QChar(QChar::toCaseFolded(c.unicode()));
}

// Folds `text` onto `out`; where two characters become one, `join(at)` is
// told the folded position.
template <typename Join>
void foldOnto(QStringView text, QString &out, Join join)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    QChar *const base = out.data();
    QChar *to = base + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A half-width kana with its voiced mark: the one full-width kana.
        if (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9D && i + 1 < text.size() && isVoicedMark(text[i + 1])) {
            const QString pair = QString(folded(c)) + text[i + 1].decomposition();
            const QString composed = pair.normalized(QString::NormalizationForm_C);
            if (composed.size() == 1) {
                join(to - base);
                *to++ = composed[0];
                ++i;
                continue;
            }
        }
        *to++ = folded(c);
    }
    out.truncate(to - base);
}
} // namespace

QString FoldedText::fold(QStringView text)
{
    QString out;
    foldOnto(text, out, [](qsizetype) {});
    return out;
}

void FoldedText::reset(QStringView text)
{
    m_folded.clear();
    m_joins.clear();
    append(text);
}

void FoldedText::append(QStringView text)
{
    foldOnto(text, m_folded, [this](qsizetype at) { m_joins.append(at); });
}

qsizetype FoldedText::toOriginal(qsizetype folded) const
{
    return folded + (std::lower_bound(m_joins.cbegin(), m_joins.cend(), folded) - m_joins.cbegin());
}

qsizetype FoldedText::toFolded(qsizetype original) const
{
    // The k-th join stands at original position joins[k] + k.
    qsizetype before = 0;
    qsizetype low = 0, high = m_joins.size();
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (m_joins[mid] + mid < original)
            low = mid + 1;
        else
            high = mid;
    }
    before = low; // joins wholly or partly before `original`
    if (before > 0 && m_joins[before - 1] + (before - 1) + 1 == original)
        return m_joins[before - 1]; // inside the pair
    return original - before;
}

FoldedText::Changed FoldedText::change(QStringView now, qsizetype headSize, qsizetype dropped, qsizetype kept)
{
    // The end first, from one character before it: a pair may join there now.
    const qsizetype keptEnd = dropped + kept;
    const qsizetype from = std::max<qsizetype>(0, toFolded(keptEnd) - 1);
    const qsizetype fromOriginal = toOriginal(from);
    if (fromOriginal < dropped || headSize > 0) {
        reset(now); // lines in front: rare, and all positions move
        return {true, 0, 0};
    }
    m_joins.erase(std::lower_bound(m_joins.begin(), m_joins.end(), from), m_joins.end());
    m_folded.truncate(from);
    append(now.sliced(fromOriginal - dropped));
    // Then the front: whole lines dropped.
    const qsizetype cut = dropped > 0 ? toFolded(dropped) : 0;
    if (cut > 0) {
        m_folded.remove(0, cut);
        m_joins.erase(m_joins.begin(), std::lower_bound(m_joins.begin(), m_joins.end(), cut));
        for (qsizetype &join : m_joins)
            join -= cut;
    }
    return {false, cut, from - cut};
}
