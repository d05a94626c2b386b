#pragma once

#include "updatereader.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Which lines of the conversation are news for a person who is not looking
// at Wispleaf, and how a notification sums them up.
namespace NewMessages {

inline constexpr int kShownLines = 5;
inline constexpr qsizetype kLongestShownLine = 200;

// The one place that decides what is news. News comes only from complete
// updates, compared with the last complete one: what the hub added at the
// end (also after dropping its oldest lines). Not news: the history a hub
// sends at joining, the person's own lines, a conversation replaced whole
// or changed anywhere but at its end, and anything while Wispleaf is
// looked at. Updates shown while still arriving are followed (changing())
// so that their lines are told once, when the update is complete.
class Judge final
{
public:
    // The person joined under `name`: the next complete update is history.
    void joined(const QString &name);
    // A message the person sent: the line that carries their name and it is
    // theirs, in whichever later update it comes back.
    void sent(const QString &message);
    // The conversation `shown` is about to change by `change`.
    void changing(QStringView shown, const UpdateReader::Change &change);
    // A complete update is shown and its conversation is `shown`: the new
    // lines, oldest first, that are news.
    QStringList completed(QStringView shown, bool lookedAt);

private:
    void takeOwnLines(QStringList *lines);
    static qsizetype droppedBefore(QStringView complete, qsizetype from, QStringView tail);

    // Where the last complete conversation ends in what is shown; none
    // when what is shown no longer begins with it.
    std::optional<qsizetype> m_completeEnd = 0;
    bool m_history = false;
    QString m_name;
    QStringList m_sent; // not yet come back, oldest first
};

// A line as a notification shows it: at most kLongestShownLine characters.
QString shortened(QStringView line);

// The lines announced since Wispleaf was last looked at, for the
// notification's body: the last kShownLines kept, earlier ones counted,
// and how the connection ended, if it did.
class Unseen final
{
public:
    void add(const QStringList &lines);
    void setEnding(const QString &words) { m_ending = words; }
    void clear();
    qsizetype count() const { return m_count; }
    bool isEmpty() const { return m_count == 0 && m_ending.isEmpty(); }
    // The last lines, a line that sums up the rest, and the ending.
    QString body() const;

private:
    QStringList m_last;
    qsizetype m_count = 0;
    QString m_ending;
};

} // namespace NewMessages
