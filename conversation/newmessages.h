#pragma once

#include "unreadmarker.h"
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

// What a complete update brings: the new lines that are news, oldest
// first. When the line told last was cut short by a pause (it went on in
// this update), it is taken back, and comes again whole among the lines
// unless it turned out to be the person's own.
struct News
{
    bool takesBackLast = false;
    QStringList lines;
    qsizetype firstAt = -1; // where the first of them begins in the conversation
};

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
    // The person joined under `name`: nothing is shown yet, and the
    // update that comes first is history, however long it takes to come.
    void joined(const QString &name);
    // A message the person sent: the line that carries their name and it
    // is theirs, in whichever of the next two updates it comes back (the
    // first may have been on its way already).
    void sent(const QString &message);
    // The conversation `shown` is about to change by `change`.
    void changing(QStringView shown, const UpdateReader::Change &change);
    // An update most likely whole is shown, and its conversation is
    // `shown`; more of it may yet come.
    News completed(QStringView shown, bool lookedAt);
    // Nothing more of the update last completed can come.
    void finished();
    // The person looks at Wispleaf.
    void looked() { m_marker.looked(); }
    // Where the person left off: before the first line of news of their
    // last absence.
    const UnreadMarker &marker() const { return m_marker; }

    // Whether `line` is the person's: their whole name (at the line's
    // start, or after a space or a closing bracket), a separator, and
    // `message` as the hub spells it ending the line.
    static bool isOwnLine(QStringView line, QStringView name, QStringView message);

private:
    struct Sent
    {
        QString message;          // as the hub gives it back
        int missed = 0;           // updates that ended without it
        bool missedNow = false;   // the update under way came without it so far
    };
    void lose();
    // Which lines are the person's; a last line that may yet go on takes
    // no message away, it names it in `*openOwn`.
    QList<bool> takeOwnLines(const QStringList &lines, bool lastOpen, QString *openOwn);
    void forgetSent(const QString &message);
    static qsizetype droppedBefore(QStringView complete, qsizetype from, QStringView tail);

    bool m_history = true; // the update at joining, until it is finished
    // Where the last complete conversation ends in what is shown; none
    // when what is shown no longer begins with it.
    std::optional<qsizetype> m_completeEnd = 0;
    // The last line of the last complete conversation when it was told
    // without its line break: its length, else 0.
    qsizetype m_openLine = 0;
    QString m_openOwn;          // the message that line ends with, when it is the person's
    bool m_lostInUpdate = false; // the update under way replaced the conversation
    QString m_name;
    QList<Sent> m_sent; // not yet come back, oldest first
    UnreadMarker m_marker;
};

// A line as a notification shows it: at most `longest` characters, cut
// ones ending in "…".
QString shortened(QStringView line, qsizetype longest = kLongestShownLine);

// The lines announced since Wispleaf was last looked at, for the
// notification's body: the last kShownLines kept, earlier ones counted,
// and how the connection ended, if it did.
class Unseen final
{
public:
    void add(const QStringList &lines);
    // The line added last was cut short: it is no longer counted or shown.
    void takeBackLast();
    void setEnding(const QString &words) { m_ending = words; }
    void clear();
    qsizetype count() const { return m_count; }
    bool isEmpty() const { return m_count == 0 && m_ending.isEmpty(); }
    // The last lines, a line that sums up the rest, and the ending; within
    // `longest` characters if given: older lines go first (counted in the
    // sum), the newest line and the ending always stay.
    QString body(qsizetype longest = -1) const;

private:
    QStringList m_last;
    qsizetype m_count = 0;
    QString m_ending;
};

} // namespace NewMessages
