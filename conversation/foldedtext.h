#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A text as find compares it: Latin case ignored, full-width and half-width
// forms made one (ＡＢＣ = ABC, １２ = 12, ｶﾞｲﾄﾞ = ガイド), hiragana and
// katakana kept apart. Folding keeps one character for one, except that a
// half-width kana and its voiced mark become one character; those places
// are kept, so a folded position maps back to the text. The folded copy
// follows the text's changes at its ends without folding it all again.
class FoldedText final
{
public:
    // The folded form of a text to look for.
    static QString fold(QStringView text);

    void reset(QStringView text);
    const QString &folded() const { return m_folded; }
    // A folded position as a position in the text.
    qsizetype toOriginal(qsizetype folded) const;
    // A position in the text as a folded one; inside a joined pair, its start.
    qsizetype toFolded(qsizetype original) const;

    // The text is now `now`: its first `headSize` characters came in front,
    // the old text's first `dropped` went, and its next `kept` stayed at the
    // start of what follows; the rest is new. Only that much is folded again.
    struct Changed
    {
        bool whole = false;    // folded anew: every position moved
        qsizetype cut = 0;     // folded characters that went at the front
        qsizetype newFrom = 0; // where the folded text is new at its end
    };
    Changed change(QStringView now, qsizetype headSize, qsizetype dropped, qsizetype kept);

private:
    void append(QStringView text);

    QString m_folded;
    QList<qsizetype> m_joins; // folded positions of the joined pairs, ascending
};
