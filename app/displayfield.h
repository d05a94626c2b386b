#pragma once

#include "longlines.h"

#include <QPlainTextEdit>

#include <optional>

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
    const QString &text() const { return m_text; }
    // The lines the last change added at the end of the text (after any
    // dropped at its front); none when it changed the text otherwise.
    std::optional<QStringView> addedAtEnd() const;

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    void replaceAll(const QString &text);

    QString m_text;
    LongLines m_lines;
    std::optional<qsizetype> m_addedFrom;
};
