#pragma once

#include <QPointer>
#include <QWidget>

// The number of unread lines where the desktop shows counts: the launcher
// entry's badge on Linux docks, an overlay on the Windows task-bar button.
// Nothing where the desktop shows none.
class UnreadCount final
{
public:
    explicit UnreadCount(QWidget *window) : m_window(window) {}
    void set(int count);

private:
    void show(int count); // the platform's part

    QPointer<QWidget> m_window;
    int m_count = 0;
};
