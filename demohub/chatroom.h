#pragma once

#include <QList>
#include <QMap>
#include <QString>

// The stand-in hub's state: who is in the room and the latest lines said.
// Its display update is what every client is sent after each change:
// member names one per line, "/*/", then the chat lines, newest last.
class ChatRoom final
{
public:
    static constexpr int kMaxLines = 200;

    // Each returns true when the room changed or asked for an update.
    bool join(int connection, const QString &name);
    bool say(int connection, const QString &text);
    bool leave(int connection);
    bool isMember(int connection) const { return m_members.contains(connection); }

    QString displayUpdate() const;

private:
    void addLine(const QString &line);

    QMap<int, QString> m_members; // by connection, in joining order of ids
    QList<QString> m_lines;
};
