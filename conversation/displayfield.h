#pragma once

#include "lineedits.h"
#include "longlines.h"

#include <QPlainTextEdit>
#include <QTextEdit>

#include <utility>

// A read-only field for the server's texts: plain text only, never markup.
// Very long lines are shown cut into shorter paragraphs (see LongLines) so
// the window stays responsive, while text() and a copy give back exactly
// the text that was set. A new text that only adds or removes lines at the
// ends of the old one is applied as that change: the rest stays laid out,
// and the reader keeps their place and selection.
class DisplayField final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DisplayField(QWidget *parent = nullptr);

    // False when the field already showed exactly this text.
    bool setText(const QString &text);
    // The same for a new text given by how it differs from the shown one:
    // `head` (whole lines) comes in front, the first `dropped` characters
    // go, the next `kept` stay, and `tail` follows them. Only the lines from
    // the one holding the end of the kept part are compared.
    bool changeText(const QString &head, qsizetype dropped, qsizetype kept, const QString &tail);
    const QString &text() const { return m_text; }

    // Ranges of text() marked over the text (found matches): only the
    // visible ones are given; `current` stands out.
    using Range = std::pair<qsizetype, qsizetype>;
    void setMarks(const QList<Range> &ranges, Range current);
    // Ranges of text() shown as links: underlined, in the link colour.
    void setLinkRanges(const QList<Range> &ranges);
    // The place in text() under a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;
    // Selects a range of text() and scrolls it into view.
    void selectRange(Range range);
    // The part of text() on screen, whole lines.
    Range visibleRange() const;
    // Where the person left off: a line drawn over the text before the
    // line that begins at `at` in text() (-1: none); the accessible
    // description says which line that is.
    void setLeftOffAt(qsizetype at);
    qsizetype leftOffAt() const { return m_leftOffAt; }
    // Scrolls so that the line where the person left off is at the top.
    void scrollToLeftOff();

signals:
    // The text changed as FoldedText::change() describes it: `kept`
    // characters stayed as they were, from the first not dropped.
    void textChanged(qsizetype headSize, qsizetype dropped, qsizetype kept);
    // What is on screen moved.
    void viewMoved();

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void paintEvent(QPaintEvent *event) override;

private:
    void replaceAll(const QString &text);
    bool changeEnd(qsizetype dropped, qsizetype kept, const QString &tail);
    void applyEdits(const QList<LineEdits::Edit> &edits, qsizetype offset, QStringView source, qsizetype dropped);

    void showExtraSelections();

    QString m_text;
    LongLines m_lines;
    QList<QTextEdit::ExtraSelection> m_marks, m_links;
    // What they were made of.
    QList<Range> m_markRanges, m_linkRanges;
    Range m_currentMark{-1, -1};
    qsizetype m_leftOffAt = -1;
    qsizetype m_unchanged = 0; // of the last change: the old text's part that stayed, after what was dropped
};
