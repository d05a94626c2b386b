#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Which lines of a conversation update are news for a person who is not
// looking at the window, and how a notification sums them up. News is only
// what the hub added at the end (also after dropping its oldest lines);
// history at joining, the person's own line and a conversation replaced
// whole are not.
namespace NewMessages {

inline constexpr int kShownLines = 5;

struct Update
{
    // The lines the update added at the end of the conversation
    // (LF-separated), or none when it changed the conversation otherwise.
    std::optional<QStringView> added;
    bool windowActive = false;
    bool firstAfterJoining = false; // the history a hub sends to a newcomer
    QString ownMessage;             // what the person sent last, if not yet seen
};

struct Verdict
{
    QStringList lines;       // to announce, oldest first; empty: nothing
    bool ownLineSeen = false; // the person's own message came back
};

Verdict judge(const Update &update);

// The lines announced since the window was last active, for the
// notification's body: the last kShownLines kept, earlier ones counted.
class Unseen final
{
public:
    void add(const QStringList &lines);
    void clear();
    qsizetype count() const { return m_count; }
    // The last lines, and a last line that sums up the rest.
    QString body() const;

private:
    QStringList m_last;
    qsizetype m_count = 0;
};

} // namespace NewMessages
