#include "chatroom.h"

namespace {
const QString kLineBreak = QStringLiteral("\r\n");
}

bool ChatRoom::join(int connection, const QString &name)
{
    if (name.isEmpty() || m_members.contains(connection))
        return false;
    m_members.insert(connection, name);
    addLine(QStringLiteral("（%1さんが入室しました）").arg(name));
    return true;
}

bool ChatRoom::say(int connection, const QString &text)
{
    const auto member = m_members.constFind(connection);
    if (member == m_members.constEnd())
        return false;
    // One chat line per line of the update, whatever the text holds.
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    addLine(*member + QStringLiteral("：") + flat);
    return true;
}

bool ChatRoom::leave(int connection)
{
    const QString name = m_members.take(connection);
    if (name.isNull())
        return false;
    addLine(QStringLiteral("（%1さんが退室しました）").arg(name));
    return true;
}

void ChatRoom::addLine(const QString &line)
{
    m_lines.append(line);
    while (m_lines.size() > kMaxLines)
        m_lines.removeFirst();
}

QString ChatRoom::displayUpdate() const
{
    return QStringList(m_members.values()).join(kLineBreak) + QStringLiteral("/*/") + QStringList(m_lines).join(kLineBreak);
}
