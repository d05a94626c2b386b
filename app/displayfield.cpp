#include "displayfield.h"

#include "lineedits.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace {
// How much two texts share at their front and, after it, at their back.
struct Trim
{
    qsizetype front;
    qsizetype back;
};

Trim trimmed(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const qsizetype front = std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin();
    const qsizetype rest = n - front;
    const qsizetype back = std::mismatch(a.rbegin(), a.rbegin() + rest, b.rbegin()).first - a.rbegin();
    return {front, back};
}
} // namespace

DisplayField::DisplayField(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
}

void DisplayField::replaceAll(const QString &text)
{
    m_text = text;
    m_lines = LongLines::cut(text);
    setPlainText(m_lines.shown());
}

bool DisplayField::setText(const QString &text)
{
    const std::optional<QList<LineEdits::Edit>> edits = LineEdits::between(m_text, text);
    if (!edits) {
        // Too large a change to apply in place, yet maybe only lines added.
        m_addedFrom = !m_text.isEmpty() && text.startsWith(m_text)
                          ? LineEdits::addedAtEnd(m_text, text, {{m_text.size(), m_text.size(), m_text.size(), text.size()}})
                          : std::nullopt;
        replaceAll(text);
        return true;
    }
    if (edits->isEmpty())
        return false;
    m_addedFrom = LineEdits::addedAtEnd(m_text, text, *edits);

    // Where the reader is: at the very end (new lines come into view), or
    // on a line that is to stay at the top of the view.
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const QTextBlock top = firstVisibleBlock();
    const int linesIntoTop = bar->value() - top.firstLineNumber();
    qsizetype topPosition = top.position();

    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (const LineEdits::Edit &edit : *edits) {
        const QString lines = text.sliced(edit.newFrom, edit.newTo - edit.newFrom);
        const qsizetype replacedFrom = m_lines.toShown(edit.from);
        const QString replaced = m_lines.shown().sliced(replacedFrom, m_lines.toShown(edit.to) - replacedFrom);
        const LongLines::Splice splice = m_lines.replace(edit.from, edit.to, lines);
        m_text.replace(edit.from, edit.to - edit.from, lines);
        // Only the characters that differ are touched, so assistive
        // technology hears of a new line as that line inserted.
        const Trim trim = trimmed(replaced, splice.shownLines);
        cursor.setPosition(int(splice.shownFrom + trim.front));
        cursor.setPosition(int(splice.shownTo - trim.back), QTextCursor::KeepAnchor);
        cursor.insertText(splice.shownLines.sliced(trim.front, splice.shownLines.size() - trim.front - trim.back));
        // The top line moves with the text before it.
        if (topPosition >= splice.shownTo)
            topPosition += splice.shownLines.size() - (splice.shownTo - splice.shownFrom);
        else if (topPosition > splice.shownFrom)
            topPosition = splice.shownFrom;
    }
    cursor.endEditBlock();

    if (atEnd) {
        bar->setValue(bar->maximum());
    } else {
        const QTextBlock kept = document()->findBlock(int(topPosition));
        bar->setValue(kept.firstLineNumber() + std::min(linesIntoTop, std::max(0, kept.lineCount() - 1)));
    }
    return true;
}

std::optional<QStringView> DisplayField::addedAtEnd() const
{
    if (!m_addedFrom)
        return std::nullopt;
    return QStringView(m_text).sliced(*m_addedFrom);
}

QMimeData *DisplayField::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    const qsizetype from = m_lines.toOriginal(cursor.selectionStart());
    const qsizetype to = m_lines.toOriginal(cursor.selectionEnd());
    auto *data = new QMimeData;
    data->setText(m_text.mid(from, to - from));
    return data;
}
