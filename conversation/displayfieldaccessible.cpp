#include "displayfieldaccessible.h"

#include "displayfield.h"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
QAccessibleInterface *forDisplayField(const QString &, QObject *object)
{
    auto *field = qobject_cast<DisplayField *>(object);
    return field ? new DisplayFieldAccessible(field) : nullptr;
}
} // namespace

DisplayFieldAccessible::DisplayFieldAccessible(DisplayField *field)
    : QAccessibleWidget(field, QAccessible::EditableText)
{
}

void DisplayFieldAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(forDisplayField);
        return true;
    }();
    Q_UNUSED(installed);
}

DisplayField *DisplayFieldAccessible::field() const
{
    return static_cast<DisplayField *>(widget());
}

void *DisplayFieldAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State DisplayFieldAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString DisplayFieldAccessible::text(QAccessible::Text which) const
{
    if (which == QAccessible::Value)
        return field()->toPlainText();
    return QAccessibleWidget::text(which);
}

void DisplayFieldAccessible::selection(int index, int *start, int *end) const
{
    const QTextCursor cursor = field()->textCursor();
    *start = *end = 0;
    if (index == 0 && cursor.hasSelection()) {
        *start = cursor.selectionStart();
        *end = cursor.selectionEnd();
    }
}

int DisplayFieldAccessible::selectionCount() const
{
    return field()->textCursor().hasSelection() ? 1 : 0;
}

void DisplayFieldAccessible::addSelection(int start, int end)
{
    setSelection(0, start, end);
}

void DisplayFieldAccessible::removeSelection(int index)
{
    if (index != 0)
        return;
    QTextCursor cursor = field()->textCursor();
    cursor.clearSelection();
    field()->setTextCursor(cursor);
}

void DisplayFieldAccessible::setSelection(int index, int start, int end)
{
    if (index != 0)
        return;
    const int last = characterCount();
    QTextCursor cursor = field()->textCursor();
    cursor.setPosition(qBound(0, start, last));
    cursor.setPosition(qBound(0, end, last), QTextCursor::KeepAnchor);
    field()->setTextCursor(cursor);
}

int DisplayFieldAccessible::cursorPosition() const
{
    return field()->textCursor().position();
}

void DisplayFieldAccessible::setCursorPosition(int position)
{
    QTextCursor cursor = field()->textCursor();
    cursor.setPosition(qBound(0, position, characterCount()));
    field()->setTextCursor(cursor);
}

QString DisplayFieldAccessible::text(int start, int end) const
{
    const int last = characterCount();
    QTextCursor range(field()->document());
    range.setPosition(qBound(0, start, last));
    range.setPosition(qBound(0, end, last), QTextCursor::KeepAnchor);
    return range.selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

int DisplayFieldAccessible::characterCount() const
{
    return field()->document()->characterCount() - 1; // the document's own last paragraph end
}

QRect DisplayFieldAccessible::characterRect(int offset) const
{
    if (offset < 0 || offset >= characterCount())
        return QRect();
    // Where the field draws the caret before the character, as wide as
    // the character's advance.
    QTextCursor at(field()->document());
    at.setPosition(offset);
    const QRect caret = field()->cursorRect(at);
    const QChar c = field()->document()->characterAt(offset);
    const int width = c == QChar::ParagraphSeparator ? 1 : QFontMetrics(field()->font()).horizontalAdvance(c);
    const QRect place(caret.left(), caret.top(), std::max(1, width), caret.height());
    return QRect(field()->viewport()->mapToGlobal(place.topLeft()), place.size());
}

int DisplayFieldAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint inside = field()->viewport()->mapFromGlobal(point);
    if (!field()->viewport()->rect().contains(inside))
        return -1;
    const QTextCursor nearest = field()->cursorForPosition(inside);
    const QRect caret = field()->cursorRect(nearest);
    if (inside.y() < caret.top() || inside.y() > caret.bottom())
        return -1; // below the last line
    // The character under the point: the one before the nearest place when
    // the point lies left of it.
    const int offset = nearest.position() - (inside.x() < caret.left() ? 1 : 0);
    return offset < characterCount() ? offset : -1;
}

void DisplayFieldAccessible::scrollToSubstring(int start, int end)
{
    setSelection(0, start, end);
    field()->ensureCursorVisible();
}

QString DisplayFieldAccessible::attributes(int offset, int *start, int *end) const
{
    *start = *end = offset;
    return QString();
}
