#include "newmessages.h"

namespace NewMessages {

Verdict judge(const Update &update)
{
    Verdict verdict;
    if (update.windowActive || update.firstAfterJoining)
        return verdict;
    if (!update.added)
        return verdict;
    for (const QStringView line : update.added->split(u'\n', Qt::SkipEmptyParts)) {
        if (!verdict.ownLineSeen && !update.ownMessage.isEmpty() && line.contains(update.ownMessage))
            verdict.ownLineSeen = true;
        else
            verdict.lines << line.toString();
    }
    return verdict;
}

void Unseen::add(const QStringList &lines)
{
    m_count += lines.size();
    m_last += lines;
    if (m_last.size() > kShownLines)
        m_last.remove(0, m_last.size() - kShownLines);
}

void Unseen::clear()
{
    m_last.clear();
    m_count = 0;
}

QString Unseen::body() const
{
    QStringList shown = m_last;
    if (m_count > m_last.size())
        shown << QStringLiteral("ほか %1 行").arg(m_count - m_last.size());
    return shown.join(u'\n');
}

} // namespace NewMessages
