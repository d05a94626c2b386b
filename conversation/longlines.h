#pragma once

#include <QList>
#include <QString>

// A text field lays out each paragraph whole, and one line of megabytes
// takes seconds to shape. For display only, lines longer than kMaxChars are
// cut into paragraphs of at most kMaxChars characters; the cut positions
// map what is selected back to the text itself, so a copy is exact. Only
// the positions are kept here: the shown text lives in the field.
class LongLines final
{
public:
    static constexpr qsizetype kMaxChars = 4096;

    // Where text is cut: a line break after every kMaxChars characters of a
    // line (never between the halves of a surrogate pair). `shown`, when
    // given, receives the text with those breaks.
    static LongLines cut(const QString &text, QString *shown = nullptr, qsizetype maxChars = kMaxChars);

    // Where the added breaks stand in the shown text, ascending.
    const QList<qsizetype> &breaks() const { return m_breaks; }
    // A position in the shown text as a position in the original text, and back.
    qsizetype toOriginal(qsizetype shownPosition) const;
    qsizetype toShown(qsizetype originalPosition) const;

    // Where the paragraph that holds position `at` of text begins: the start
    // of its line, or of the last cut piece of a long line at or before `at`.
    qsizetype paragraphStart(QStringView text, qsizetype at) const;

    // Replaces the original text's [from, to) with `lines`: from lies at a
    // paragraph start and the new text has a character of that line there
    // (or from is a line start), to at a line start or the end, and `lines`
    // is whole lines, so the rest keeps its cuts. Gives the part of the
    // shown text that was replaced, and what it became.
    struct Splice
    {
        qsizetype shownFrom;
        qsizetype shownTo;
        QString shownLines;
    };
    Splice replace(qsizetype from, qsizetype to, const QString &lines, qsizetype maxChars = kMaxChars);

private:
    // How many breaks stand before original position `at` (a break belongs
    // before the character it is cut at).
    qsizetype breaksUpTo(qsizetype at) const;

    QList<qsizetype> m_breaks;
};
