#pragma once

#include "conversationsearch.h"

#include <QTimer>
#include <QWidget>

class DisplayField;
class QLabel;
class QLineEdit;

// The slim bar under the conversation that finds text in it: matches
// marked where they are on screen, Enter or F3 to the next, Shift with
// them to the one before (round at the ends), 「3 / 17」 or 「見つかりません」,
// Esc to close. New lines are searched as they come; the reader's place
// moves only when they ask for the next match.
class FindBar final : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(DisplayField *field, QWidget *parent = nullptr);

    void open();
    void close();
    // To the next match (or the one before) and into view.
    void step(bool forward);
    QString countText() const;

signals:
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void followChange(qsizetype headSize, qsizetype dropped, qsizetype kept);
    void showMarks();
    void showCount();

    DisplayField *m_field;
    QLineEdit *m_input = nullptr;
    QLabel *m_count = nullptr;
    QTimer m_pause; // typing: search once it pauses
    ConversationSearch m_search;
    qsizetype m_current = -1; // the match moved to last
    QMetaObject::Connection m_following;
};
