#include "unreadcount.h"

void UnreadCount::set(int count)
{
    if (count == m_count || !m_window)
        return;
    m_count = count;
    show(count);
}
