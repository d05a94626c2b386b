#include "displayfield.h"

#include "lineedits.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

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
        replaceAll(text);
        return true;
    }
    if (edits->isEmpty())
        return false;

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
        const LongLines::Splice splice = m_lines.replace(edit.from, edit.to, lines);
        m_text.replace(edit.from, edit.to - edit.from, lines);
        cursor.setPosition(int(splice.shownFrom));
        cursor.setPosition(int(splice.shownTo), QTextCursor::KeepAnchor);
        cursor.insertText(splice.shownLines);
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

QMimeData *DisplayField::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    const qsizetype from = m_lines.toOriginal(cursor.selectionStart());
    const qsizetype to = m_lines.toOriginal(cursor.selectionEnd());
    auto *data = new QMimeData;
    data->setText(m_text.mid(from, to - from));
    return data;
}
