#pragma once

#include "longlines.h"

#include <QPlainTextEdit>

// A read-only field for the server's texts: plain text only, never markup.
// Very long lines are shown cut into shorter paragraphs (see LongLines) so
// the window stays responsive, while text() and a copy give back exactly
// the text that was set.
class DisplayField final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DisplayField(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    // The text as laid out; equal exactly when text() is.
    const QString &shownText() const { return m_lines.shown(); }

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    LongLines m_lines;
};
