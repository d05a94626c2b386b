#include "displayfield.h"

#include <QMimeData>
#include <QTextCursor>

DisplayField::DisplayField(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
}

void DisplayField::setText(const QString &text)
{
    m_lines = LongLines::cut(text);
    setPlainText(m_lines.shown());
}

QString DisplayField::text() const
{
    if (m_lines.breaks().isEmpty())
        return m_lines.shown();
    const QStringView shown = m_lines.shown();
    QString original;
    original.reserve(shown.size() - m_lines.breaks().size());
    qsizetype from = 0;
    for (const qsizetype at : m_lines.breaks()) {
        original += shown.sliced(from, at - from);
        from = at + 1;
    }
    original += shown.sliced(from);
    return original;
}

QMimeData *DisplayField::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    const qsizetype from = m_lines.toOriginal(cursor.selectionStart());
    const qsizetype to = m_lines.toOriginal(cursor.selectionEnd());
    auto *data = new QMimeData;
    data->setText(text().mid(from, to - from));
    return data;
}
