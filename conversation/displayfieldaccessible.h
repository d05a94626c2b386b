#pragma once

#include <QAccessibleWidget>

class DisplayField;

// What assistive technology reads of a display field. Qt's own interface
// for a plain-text field places every character as if its paragraph were
// the first (each paragraph's layout starts at the top), which sends a
// magnifier that follows the caret, or "read what is under the pointer",
// to the wrong row. This one gives the places the field itself draws at;
// text and offsets are the document's, as Qt's text events count them.
class DisplayFieldAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit DisplayFieldAccessible(DisplayField *field);
    // Makes the fields use it; once per process.
    static void install();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text which) const override;

    void selection(int index, int *start, int *end) const override;
    int selectionCount() const override;
    void addSelection(int start, int end) override;
    void removeSelection(int index) override;
    void setSelection(int index, int start, int end) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int start, int end) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int *start, int *end) const override;

private:
    DisplayField *field() const;
};
