#include "newmessages.h"

#include "codepage932.h"

#include <algorithm>
#include <utility>

namespace NewMessages {

namespace {
// Messages that never come back (a hub that lost them) are forgotten after this many.
constexpr qsizetype kRememberedSent = 32;

// Text as it comes back from the hub: the code page's round trip turns the
// JIS forms that Linux input methods type into Windows' (〜 into ～).
QString asTheHubSpellsIt(const QString &text)
{
    return Cp932::decode(Cp932::encode(text));
}
} // namespace

void Judge::joined(const QString &name)
{
    m_history = true;
    m_completeEnd = 0;
    m_openLine = 0;
    m_openOwn.clear();
    m_lostInUpdate = false;
    m_name = asTheHubSpellsIt(name);
    m_sent.clear();
}

void Judge::sent(const QString &message)
{
    m_sent.append({asTheHubSpellsIt(message)});
    if (m_sent.size() > kRememberedSent)
        m_sent.removeFirst();
}

void Judge::lose()
{
    m_completeEnd.reset();
    m_openLine = 0;
    m_openOwn.clear();
    // What comes of the same update later is no news either.
    m_lostInUpdate = true;
}

void Judge::changing(QStringView shown, const UpdateReader::Change &change)
{
    m_marker.changing(shown, change);
    if (m_history || !m_completeEnd)
        return;
    const qsizetype end = *m_completeEnd;
    if (end == 0)
        return; // an empty conversation begins any other
    // Lines in front, or all of it dropped: another conversation.
    if (!change.head.isEmpty() || change.dropped >= end) {
        lose();
        return;
    }
    // The rest of the last complete conversation must begin the tail,
    // maybe after whole lines dropped at its front.
    const QStringView tail(change.tail);
    qsizetype keptTo = change.dropped + change.kept;
    if (end > keptTo && !tail.startsWith(shown.sliced(keptTo, end - keptTo)))
        keptTo = change.kept == 0 ? droppedBefore(shown.first(end), keptTo, tail) : -1;
    if (keptTo < 0) {
        lose();
        return;
    }
    const qsizetype dropped = keptTo - change.kept;
    if (dropped > end - m_openLine)
        m_openLine = 0;
    m_completeEnd = end - dropped;
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

News Judge::completed(QStringView shown, bool lookedAt)
{
    const std::optional<qsizetype> end = std::exchange(m_completeEnd, shown.size());
    const qsizetype openLine = std::exchange(m_openLine, 0);
    const QString openOwn = std::exchange(m_openOwn, QString());
    if (m_history || m_lostInUpdate || !end || *end > shown.size())
        return {}; // the history at joining, or another conversation
    if (*end == shown.size() && !lookedAt) {
        // Nothing came: the line told last may still go on.
        m_openLine = openLine;
        m_openOwn = openOwn;
        return {};
    }
    News news;
    qsizetype from = *end;
    if (from > 0 && from < shown.size() && shown[from - 1] != u'\n') {
        if (openLine > 0 && shown[from] != u'\n') {
            // The last line went on: a pause had cut it short.
            from -= openLine;
            news.takesBackLast = openOwn.isNull();
        } else {
            // A line that was there went on or ended: no news.
            const qsizetype lineEnd = shown.indexOf(u'\n', from);
            from = lineEnd < 0 ? shown.size() : lineEnd + 1;
            forgetSent(openOwn);
        }
    }
    QStringList lines;
    QList<qsizetype> starts;
    for (qsizetype at = from; at < shown.size();) {
        qsizetype end = shown.indexOf(u'\n', at);
        end = end < 0 ? shown.size() : end;
        if (end > at) {
            lines << shown.sliced(at, end - at).toString();
            starts << at;
        }
        at = end + 1;
    }
    const bool lastOpen = !lines.isEmpty() && !shown.endsWith(u'\n');
    QString ownOpen;
    const QList<bool> own = takeOwnLines(lines, lastOpen, &ownOpen);
    if (lookedAt)
        return {};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (own[i])
            continue;
        if (news.lines.isEmpty())
            news.firstAt = starts[i];
        news.lines << lines[i];
    }
    if (!news.lines.isEmpty())
        m_marker.news(news.firstAt);
    // A last line without its line break may yet go on.
    if (lastOpen) {
        m_openLine = lines.last().size();
        m_openOwn = ownOpen;
    }
    return news;
}

void Judge::finished()
{
    m_history = false;
    m_lostInUpdate = false;
    // A last line of the person's is whole now.
    forgetSent(std::exchange(m_openOwn, QString()));
    // The first update after sending may have been on its way already; a
    // message missing from the second never came back.
    for (Sent &sent : m_sent) {
        if (std::exchange(sent.missedNow, false))
            ++sent.missed;
    }
    m_sent.removeIf([](const Sent &sent) { return sent.missed >= 2; });
}

void Judge::forgetSent(const QString &message)
{
    if (message.isNull())
        return;
    const auto sent = std::find_if(m_sent.begin(), m_sent.end(), [&](const Sent &s) { return s.message == message; });
    if (sent != m_sent.end())
        m_sent.erase(sent);
}

QList<bool> Judge::takeOwnLines(const QStringList &lines, bool lastOpen, QString *openOwn)
{
    QList<bool> own(lines.size(), false);
    for (auto sent = m_sent.begin(); sent != m_sent.end();) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < lines.size() && found < 0; ++i) {
            if (!own[i] && isOwnLine(lines[i], m_name, sent->message))
                found = i;
        }
        if (found < 0) {
            sent->missedNow = true;
            ++sent;
            continue;
        }
        own[found] = true;
        if (lastOpen && found == lines.size() - 1 && openOwn->isNull()) {
            *openOwn = sent->message; // kept until the line is whole
            ++sent;
        } else {
            sent = m_sent.erase(sent);
        }
    }
    return own;
}

bool Judge::isOwnLine(QStringView line, QStringView name, QStringView message)
{
    if (name.isEmpty() || !line.endsWith(message))
        return false;
    const auto isSeparator = [](QChar c) {
        return c == u':' || c == u'：' || c == u'>' || c == u'＞' || c == u' ' || c == u'　';
    };
    const auto mayComeBefore = [](QChar c) {
        return c.isSpace() || QStringView(u")]}）］｝」』】〉》").contains(c);
    };
    const qsizetype messageAt = line.size() - message.size();
    // The separators run back from the message; the name ends where they
    // begin, or inside them (a name may end in a space).
    qsizetype runFrom = messageAt;
    while (runFrom > 0 && isSeparator(line[runFrom - 1]))
        --runFrom;
    for (qsizetype nameEnd = messageAt - 1; nameEnd >= runFrom; --nameEnd) {
        const qsizetype nameAt = nameEnd - name.size();
        if (nameAt >= 0 && line.sliced(nameAt, name.size()) == name && (nameAt == 0 || mayComeBefore(line[nameAt - 1])))
            return true;
    }
    return false;
}

QString shortened(QStringView line, qsizetype longest)
{
    if (line.size() <= longest)
        return line.toString();
    if (longest <= 0)
        return QString();
    // Never half a surrogate pair.
    qsizetype keep = longest - 1;
    if (keep > 0 && line[keep - 1].isHighSurrogate())
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

void Unseen::takeBackLast()
{
    if (m_count == 0)
        return;
    --m_count;
    if (!m_last.isEmpty())
        m_last.removeLast();
}

void Unseen::clear()
{
    m_last.clear();
    m_count = 0;
    m_ending.clear();
}

QString Unseen::body(qsizetype longest) const
{
    QStringList last = m_last;
    const auto compose = [&] {
        QStringList shown = last;
        if (m_count > last.size())
            shown << QStringLiteral("ほか %1 行").arg(m_count - last.size());
        if (!m_ending.isEmpty())
            shown << m_ending;
        return shown.join(u'\n');
    };
    QString body = compose();
    while (longest >= 0 && body.size() > longest && last.size() > 1) {
        last.removeFirst();
        body = compose();
    }
    if (longest < 0 || body.size() <= longest)
        return body;
    // Only the newest line is left: it gives way to the ending.
    if (!last.isEmpty()) {
        const qsizetype room = longest - (body.size() - last.first().size());
        if (room >= 2) {
            last.first() = shortened(last.first(), room);
            body = compose();
        }
    }
    return shortened(body, longest);
}

} // namespace NewMessages
