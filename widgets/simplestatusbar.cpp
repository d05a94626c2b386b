#include "simplestatusbar.h"

#include <QLabel>

SimpleStatusBar::SimpleStatusBar(QWidget *parent)
    : QStatusBar(parent)
    , m_text(new QLabel(this))
{
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::NoTextInteraction);
    addWidget(m_text, 1);
    setSizeGripEnabled(false);
}

QString SimpleStatusBar::simpleText() const
{
    return m_text->text();
}

void SimpleStatusBar::setSimpleText(const QString &text)
{
    m_text->setText(text);
    // A screen reader names the bar by what it says.
    setAccessibleName(text);
    emit simpleTextChanged(text);
}
