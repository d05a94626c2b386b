#pragma once

#include <QStatusBar>

class QLabel;

// A status bar in "simple" style: one text area, shown as plain text and
// never replaced by Qt's transient messages.
class SimpleStatusBar final : public QStatusBar
{
    Q_OBJECT
public:
    explicit SimpleStatusBar(QWidget *parent = nullptr);

    QString simpleText() const;
    void setSimpleText(const QString &text);

signals:
    void simpleTextChanged(const QString &text);

private:
    QLabel *m_text = nullptr;
};
