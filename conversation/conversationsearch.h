#pragma once

#include "foldedtext.h"

#include <QList>
#include <QString>

#include <utility>

// Where a text is found in the conversation, as find compares (FoldedText):
// every match, not overlapping, kept up to date as the conversation
// changes at its ends, so new lines are searched as they come.
class ConversationSearch final
{
public:
    using Range = std::pair<qsizetype, qsizetype>; // [from, to) in the conversation

    void setText(QStringView text);
    // The conversation changed as FoldedText::change() describes.
    void change(QStringView now, qsizetype headSize, qsizetype dropped, qsizetype kept);
    void setNeedle(QStringView needle);
    bool hasNeedle() const { return !m_needle.isEmpty(); }

    qsizetype count() const { return m_at.size(); }
    Range match(qsizetype index) const;
    // The first match that begins at or after `position`, wrapping round to
    // the first; the last that begins before it, wrapping to the last. -1: none.
    qsizetype next(qsizetype position) const;
    qsizetype previous(qsizetype position) const;
    // The matches that overlap the conversation's [from, to).
    QList<Range> within(qsizetype from, qsizetype to) const;

private:
    void findFrom(qsizetype folded);

    FoldedText m_text;
    QString m_needle; // folded
    QList<qsizetype> m_at; // folded positions, ascending
};
