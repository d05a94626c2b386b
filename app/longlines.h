#pragma once

#include <QList>
#include <QString>

// A text field lays out each paragraph whole, and one line of megabytes
// takes seconds to shape. For display only, lines longer than kMaxChars are
// cut into paragraphs of at most kMaxChars characters; the cut positions
// map what is selected back to the text itself, so a copy is exact.
class LongLines final
{
public:
    static constexpr qsizetype kMaxChars = 4096;

    // The text with a line break after every kMaxChars characters of a
    // line (never between the halves of a surrogate pair).
    static LongLines cut(const QString &text, qsizetype maxChars = kMaxChars);

    const QString &shown() const { return m_shown; }
    // Where the added breaks stand in shown(), ascending.
    const QList<qsizetype> &breaks() const { return m_breaks; }
    // A position in shown() as a position in the original text, and back.
    qsizetype toOriginal(qsizetype shownPosition) const;
    qsizetype toShown(qsizetype originalPosition) const;

    // Replaces the original text's [from, to) with `lines`; from and to lie
    // at line starts (or the end), and `lines` is whole lines, so the rest
    // keeps its cuts. Gives the part of shown() that was replaced, and
    // what it became.
    struct Splice
    {
        qsizetype shownFrom;
        qsizetype shownTo;
        QString shownLines;
    };
    Splice replace(qsizetype from, qsizetype to, const QString &lines, qsizetype maxChars = kMaxChars);

private:
    QString m_shown;
    QList<qsizetype> m_breaks;
};
