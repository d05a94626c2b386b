#include "displayfield.h"

#include "displayfieldaccessible.h"

#include <QPainter>

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
    DisplayFieldAccessible::install();
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DisplayField::viewMoved);
}

void DisplayField::replaceAll(const QString &text)
{
    m_text = text;
    QString shown;
    m_lines = LongLines::cut(text, &shown);
    setPlainText(shown);
    // A new document: marks and links are made anew.
    m_markRanges.clear();
    m_linkRanges.clear();
    m_marks.clear();
    m_links.clear();
    setExtraSelections({});
}

bool DisplayField::setText(const QString &text)
{
    return changeText(QString(), 0, 0, text);
}

bool DisplayField::changeText(const QString &head, qsizetype dropped, qsizetype kept, const QString &tail)
{
    m_unchanged = kept;
    const bool changed = changeEnd(dropped, kept, tail);
    if (!head.isEmpty())
        applyEdits({{0, 0, 0, head.size()}}, 0, head, 0);
    if (!changed && head.isEmpty())
        return false;
    emit textChanged(head.size(), dropped, m_unchanged);
    return true;
}

void DisplayField::setMarks(const QList<Range> &ranges, Range current)
{
    // Setting them again repaints the whole view: only when they moved
    // (the marks made before follow the document's own edits).
    if (ranges == m_markRanges && current == m_currentMark)
        return;
    m_markRanges = ranges;
    m_currentMark = current;
    QList<QTextEdit::ExtraSelection> &marks = m_marks;
    marks.clear();
    marks.reserve(ranges.size());
    QTextCharFormat found;
    found.setBackground(QColor(0xff, 0xe0, 0x70));
    found.setForeground(QColor(Qt::black));
    QTextCharFormat chosen = found;
    chosen.setBackground(QColor(0xff, 0x96, 0x32));
    for (const Range &range : ranges) {
        QTextCursor cursor(document());
        cursor.setPosition(int(m_lines.toShown(range.first)));
        cursor.setPosition(int(m_lines.toShown(range.second)), QTextCursor::KeepAnchor);
        marks.append({cursor, range == current ? chosen : found});
    }
    showExtraSelections();
}

void DisplayField::setLinkRanges(const QList<Range> &ranges)
{
    if (ranges == m_linkRanges)
        return;
    m_linkRanges = ranges;
    m_links.clear();
    QTextCharFormat link;
    link.setForeground(palette().link());
    link.setFontUnderline(true);
    for (const Range &range : ranges) {
        QTextCursor cursor(document());
        cursor.setPosition(int(m_lines.toShown(range.first)));
        cursor.setPosition(int(m_lines.toShown(range.second)), QTextCursor::KeepAnchor);
        m_links.append({cursor, link});
    }
    showExtraSelections();
}

void DisplayField::showExtraSelections()
{
    // Found text over links.
    setExtraSelections(m_links + m_marks);
}

qsizetype DisplayField::positionAt(const QPoint &point) const
{
    return m_lines.toOriginal(cursorForPosition(point).position());
}

void DisplayField::selectRange(Range range)
{
    QTextCursor cursor(document());
    cursor.setPosition(int(m_lines.toShown(range.first)));
    cursor.setPosition(int(m_lines.toShown(range.second)), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

DisplayField::Range DisplayField::visibleRange() const
{
    const QTextBlock first = firstVisibleBlock();
    const QTextCursor last = cursorForPosition(viewport()->rect().bottomRight());
    const QTextBlock lastBlock = last.block();
    return {m_lines.toOriginal(first.position()), m_lines.toOriginal(lastBlock.position() + lastBlock.length() - 1)};
}

bool DisplayField::changeEnd(qsizetype dropped, qsizetype kept, const QString &tail)
{
    const qsizetype at = dropped + kept;
    if (dropped == 0 && at == m_text.size() && tail.isEmpty())
        return false;
    // Compared from the start of the paragraph that holds `at`. A long
    // line's piece is cut there again only if the line goes on there.
    qsizetype from = std::max(dropped, m_lines.paragraphStart(m_text, at));
    const bool atCut = from == at && at > dropped && m_text[at - 1] != u'\n';
    if (atCut && (tail.isEmpty() || tail[0] == u'\n' || (tail[0].isLowSurrogate() && m_text[at - 1].isHighSurrogate())))
        from = std::max(dropped, m_lines.paragraphStart(m_text, at - 1));
    const QString window = from == at ? tail : m_text.sliced(from, at - from) + tail;
    const QStringView oldWindow = QStringView(m_text).sliced(from);
    const qsizetype windowInNew = from - dropped;
    const std::optional<QList<LineEdits::Edit>> edits = LineEdits::between(oldWindow, window, windowInNew);
    if (!edits) {
        // Too large a change to apply in place.
        m_unchanged = windowInNew;
        replaceAll(from == dropped ? window : m_text.sliced(dropped, windowInNew) + window);
        return true;
    }
    if (edits->isEmpty() && dropped == 0)
        return false;
    m_unchanged = m_text.size() - dropped;
    for (const LineEdits::Edit &edit : *edits)
        m_unchanged = std::min(m_unchanged, windowInNew + edit.from);
    applyEdits(*edits, from, window, dropped);
    return true;
}

void DisplayField::applyEdits(const QList<LineEdits::Edit> &edits, qsizetype offset, QStringView source,
                              qsizetype dropped)
{
    // Where the reader is: at the very end (new lines come into view), or
    // on a line that is to stay at the top of the view.
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const QTextBlock top = firstVisibleBlock();
    const int linesIntoTop = bar->value() - top.firstLineNumber();
    qsizetype topPosition = top.position();

    // Each edit is a change of its own: the document would report edits
    // made together as one change of everything between them, and a
    // screen reader would hear all of that again.
    QTextCursor cursor(document());
    auto replace = [&](qsizetype from, qsizetype to, const QString &lines) {
        QString replaced;
        LongLines::cut(m_text.sliced(from, to - from), &replaced);
        const LongLines::Splice splice = m_lines.replace(from, to, lines);
        if (lines.isEmpty())
            m_text.remove(from, to - from);
        else
            m_text.replace(from, to - from, lines);
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
    };
    for (const LineEdits::Edit &edit : edits)
        replace(offset + edit.from, offset + edit.to, source.sliced(edit.newFrom, edit.newTo - edit.newFrom).toString());
    if (dropped > 0)
        replace(0, dropped, QString());

    if (atEnd) {
        bar->setValue(bar->maximum());
    } else {
        const QTextBlock kept = document()->findBlock(int(topPosition));
        bar->setValue(kept.firstLineNumber() + std::min(linesIntoTop, std::max(0, kept.lineCount() - 1)));
    }
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

void DisplayField::setLeftOffAt(qsizetype at)
{
    if (at >= m_text.size())
        at = -1;
    if (at == m_leftOffAt)
        return;
    m_leftOffAt = at;
    // Counted only when the place moved: an appended line costs nothing.
    setAccessibleDescription(at < 0 ? QString()
                                    : QStringLiteral("未読は %1 行目から").arg(QStringView(m_text).first(at).count(u'\n') + 1));
    viewport()->update();
}

void DisplayField::scrollToLeftOff()
{
    if (m_leftOffAt < 0)
        return;
    QTextCursor at(document());
    at.setPosition(int(m_lines.toShown(m_leftOffAt)));
    verticalScrollBar()->setValue(at.block().firstLineNumber());
}

void DisplayField::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (m_leftOffAt < 0)
        return;
    // Over the text, not in it: a line two pixels high at the top of the
    // first unread line, the full width.
    QTextCursor at(document());
    at.setPosition(int(m_lines.toShown(m_leftOffAt)));
    const QRect place = cursorRect(at);
    if (place.bottom() < 0 || place.top() > viewport()->height())
        return;
    QPainter painter(viewport());
    painter.fillRect(QRect(0, place.top() - 1, viewport()->width(), 2), palette().highlight());
}
