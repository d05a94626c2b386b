#include "newmessages.h"

#include <algorithm>
#include <utility>

namespace NewMessages {

namespace {
// Messages that never come back (a hub that lost them) are forgotten after this many.
constexpr qsizetype kRememberedSent = 32;
} // namespace

void Judge::joined(const QString &name)
{
    m_history = true;
    m_name = name;
    m_sent.clear();
}

void Judge::sent(const QString &message)
{
    m_sent << message;
    if (m_sent.size() > kRememberedSent)
        m_sent.removeFirst();
}

void Judge::changing(QStringView shown, const UpdateReader::Change &change)
{
    if (!m_completeEnd)
        return;
    const qsizetype end = *m_completeEnd;
    if (end == 0)
        return; // nothing shown yet: all that comes is new
    // Lines in front, or all of it dropped: another conversation.
    if (!change.head.isEmpty() || change.dropped >= end) {
        m_completeEnd.reset();
        return;
    }
    // The rest of the last complete conversation must begin the tail,
    // maybe after whole lines dropped at its front.
    const QStringView tail(change.tail);
    qsizetype keptTo = change.dropped + change.kept;
    if (end > keptTo && !tail.startsWith(shown.sliced(keptTo, end - keptTo)))
        keptTo = change.kept == 0 ? droppedBefore(shown.first(end), keptTo, tail) : -1;
    if (keptTo < 0) {
        m_completeEnd.reset();
        return;
    }
    m_completeEnd = end - (keptTo - change.kept);
}

qsizetype Judge::droppedBefore(QStringView complete, qsizetype from, QStringView tail)
{
    // Where the tail's first line begins a line of what stays, and the
    // rest follows (the reader tells such a drop only where the old text
    // went on after that line). A few tries, as lines may repeat.
    const QStringView firstLine = tail.first(tail.indexOf(u'\n') < 0 ? tail.size() : tail.indexOf(u'\n'));
    qsizetype at = complete.indexOf(firstLine, from + 1);
    for (int tries = 0; at > 0 && tries < 3; ++tries, at = complete.indexOf(firstLine, at + 1)) {
        if (complete[at - 1] == u'\n' && tail.startsWith(complete.sliced(at)))
            return at;
    }
    return -1;
}

QStringList Judge::completed(QStringView shown, bool lookedAt)
{
    const std::optional<qsizetype> end = std::exchange(m_completeEnd, shown.size());
    const bool history = std::exchange(m_history, false);
    if (!end || *end > shown.size() || history || (lookedAt && m_sent.isEmpty()))
        return {};
    // New lines follow a line break; a last line that went on is no news.
    qsizetype from = *end;
    if (from > 0 && from < shown.size() && shown[from - 1] != u'\n') {
        if (shown[from] != u'\n')
            return {};
        ++from;
    }
    QStringList lines;
    for (const QStringView line : shown.sliced(from).split(u'\n', Qt::SkipEmptyParts))
        lines << line.toString();
    takeOwnLines(&lines);
    return lookedAt ? QStringList() : lines;
}

void Judge::takeOwnLines(QStringList *lines)
{
    QList<bool> own(lines->size(), false);
    for (auto message = m_sent.begin(); message != m_sent.end();) {
        // Their line carries their name before the message; if several do,
        // the one that ends with it.
        qsizetype best = -1;
        for (qsizetype i = 0; i < lines->size(); ++i) {
            const QString &line = lines->at(i);
            const qsizetype named = line.indexOf(m_name);
            if (own[i] || named < 0 || line.indexOf(*message, named + m_name.size()) < 0)
                continue;
            if (best < 0 || (line.endsWith(*message) && !lines->at(best).endsWith(*message)))
                best = i;
        }
        if (best < 0) {
            ++message;
            continue;
        }
        own[best] = true;
        message = m_sent.erase(message);
    }
    for (qsizetype i = lines->size() - 1; i >= 0; --i) {
        if (own[i])
            lines->removeAt(i);
    }
}

QString shortened(QStringView line)
{
    if (line.size() <= kLongestShownLine)
        return line.toString();
    // Never half a surrogate pair.
    qsizetype keep = kLongestShownLine - 1;
    if (line[keep - 1].isHighSurrogate())
        --keep;
    return line.first(keep).toString() + u'…';
}

void Unseen::add(const QStringList &lines)
{
    m_count += lines.size();
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - kShownLines); i < lines.size(); ++i)
        m_last << shortened(lines[i]);
    if (m_last.size() > kShownLines)
        m_last.remove(0, m_last.size() - kShownLines);
}

void Unseen::clear()
{
    m_last.clear();
    m_count = 0;
    m_ending.clear();
}

QString Unseen::body() const
{
    QStringList shown = m_last;
    if (m_count > m_last.size())
        shown << QStringLiteral("ほか %1 行").arg(m_count - m_last.size());
    if (!m_ending.isEmpty())
        shown << m_ending;
    return shown.join(u'\n');
}

} // namespace NewMessages
