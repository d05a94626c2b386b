#include "updatereader.h"

#include "chatmessages.h"
#include "codepage932.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr QByteArrayView kSeparator = ChatMessages::kUpdateSeparatorBytes;


// Decoding goes in pieces of about this many bytes; where a piece ends
// inside no character, the next update can start decoding again.
constexpr qsizetype kPiece = 16 * 1024;

qsizetype commonPrefix(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    constexpr qsizetype kBlock = 4096;
    qsizetype at = 0;
    while (at + kBlock <= n && std::memcmp(a.data() + at, b.data() + at, kBlock) == 0)
        at += kBlock;
    return std::mismatch(a.begin() + at, a.begin() + n, b.begin() + at).first - a.begin();
}

// Where `before`, without some lines at its front, begins what `now`
// begins with: the new text's first line is found after a line break of
// the old one. Zero when it is not, or when that shares no more than
// `*shared` bytes; else `*shared` becomes what it shares.
qsizetype droppedLines(QByteArrayView before, QByteArrayView now, qsizetype *shared)
{
    const qsizetype firstLineEnd = now.indexOf('\n');
    if (firstLineEnd < 0)
        return 0;
    const QByteArrayView firstLine = now.first(firstLineEnd + 1);
    qsizetype at = before.indexOf(firstLine, 1);
    for (int tries = 0; at > 0 && tries < 3; ++tries, at = before.indexOf(firstLine, at + 1)) {
        if (before[at - 1] != '\n')
            continue;
        if (const qsizetype rest = commonPrefix(before.sliced(at), now); rest > *shared) {
            *shared = rest;
            return at;
        }
    }
    return 0;
}
} // namespace

UpdateReader::Texts UpdateReader::texts(const QByteArray &update, qsizetype separator) const
{
    const QByteArrayView now(update);
    const QByteArrayView before(m_update);
    const bool hadTexts = m_secondFrom >= 0;
    return {hadTexts ? before.first(m_secondFrom - kSeparator.size()) : QByteArrayView(),
            separator >= 0 ? now.first(separator) : QByteArrayView(),
            hadTexts ? before.sliced(m_secondFrom) : QByteArrayView(),
            separator >= 0 ? now.sliced(separator + kSeparator.size()) : QByteArrayView()};
}

UpdateReader::Changes UpdateReader::read(const QByteArray &update)
{
    // The same bytes read again (the update was found complete): nothing changed.
    if (m_secondFrom >= 0 && update.size() == m_update.size() && update.constData() == m_update.constData())
        return {m_first.unchanged(), m_second.unchanged()};
    const qsizetype separator = update.indexOf(kSeparator);
    const Texts t = texts(update, separator);
    return readTexts(update, separator, t, m_second.compare(t.secondBefore, t.secondNow));
}

std::optional<UpdateReader::Changes> UpdateReader::readIfAdding(const QByteArray &update)
{
    const qsizetype separator = update.indexOf(kSeparator);
    if (separator < 0)
        return std::nullopt;
    const Texts t = texts(update, separator);
    const Text::Difference second = m_second.compare(t.secondBefore, t.secondNow);
    const bool adds = m_secondFrom < 0 || second.dropped + second.shared == t.secondBefore.size();
    if (!adds)
        return std::nullopt;
    return readTexts(update, separator, t, second);
}

bool UpdateReader::endsInsideLast(const QByteArray &update) const
{
    if (m_secondFrom < 0 || (update.size() == m_update.size() && update.constData() == m_update.constData()))
        return false;
    const qsizetype separator = update.indexOf(kSeparator);
    if (separator < 0)
        return false;
    const Texts t = texts(update, separator);
    return Text::endsInside(t.secondBefore, t.secondNow, m_second.compare(t.secondBefore, t.secondNow));
}

UpdateReader::Changes UpdateReader::readTexts(const QByteArray &update, qsizetype separator, const Texts &t,
                                              const Text::Difference &second)
{
    Changes changes{m_first.read(t.firstBefore, t.firstNow, true, m_first.compare(t.firstBefore, t.firstNow)),
                    m_second.read(t.secondBefore, t.secondNow, false, second)};
    m_update = separator >= 0 ? update : QByteArray();
    m_secondFrom = separator >= 0 ? separator + kSeparator.size() : -1;
    return changes;
}

void UpdateReader::reset()
{
    m_update.clear();
    m_secondFrom = -1;
    m_first.reset();
    m_second.reset();
}

std::pair<QString, QString> UpdateReader::readWhole(QByteArrayView update)
{
    const QString text = Cp932::Decoder().decode(update);
    const ChatMessages::DisplayUpdate split = ChatMessages::splitDisplayUpdate(text);
    return {ChatMessages::forDisplay(split.first), ChatMessages::forDisplay(split.second)};
}

UpdateReader::Text::Difference UpdateReader::Text::compare(QByteArrayView before, QByteArrayView now) const
{
    Difference difference;
    difference.shared = commonPrefix(before, now);
    if (difference.shared == before.size())
        return difference;
    difference.inFront = addedInFront(before, now);
    if (difference.inFront == 0)
        difference.dropped = droppedLines(before, now, &difference.shared);
    return difference;
}

bool UpdateReader::Text::endsInside(QByteArrayView before, QByteArrayView now, const Difference &difference)
{
    if (difference.inFront > 0 || difference.dropped + difference.shared >= before.size())
        return false;
    if (difference.shared == now.size())
        return true;
    // Cut inside its first line: the lines dropped in front are not found
    // by that line, so look for the piece at a line start.
    return !now.contains('\n') && before.indexOf(QByteArray("\n").append(now)) >= 0;
}

UpdateReader::Change UpdateReader::Text::read(QByteArrayView before, QByteArrayView now, bool flushEnd,
                                              const Difference &difference)
{
    Change change;
    change.oldSize = m_chars;
    if (difference.shared == before.size() && difference.shared == now.size()) {
        change.kept = m_chars;
        return change;
    }
    if (const qsizetype added = difference.inFront; added > 0) {
        // The head ends with a line break, a place to restart at; the old
        // text's places follow it.
        QList<Restart> restarts{{0, 0}};
        change.head = decodeFrom(now.first(added), {0, 0}, false, &restarts);
        for (const Restart &restart : m_restarts.sliced(1))
            restarts.append({added + restart.byte, change.head.size() + restart.chars});
        m_restarts = std::move(restarts);
        change.kept = m_chars;
        m_chars += change.head.size();
        return change;
    }
    const qsizetype dropped = difference.dropped;
    const qsizetype shared = difference.shared;
    // The last place to restart at, among the bytes both read the same way.
    const auto last = std::upper_bound(m_restarts.cbegin(), m_restarts.cend(), dropped + shared,
                                       [](qsizetype byte, const Restart &restart) { return byte < restart.byte; }) - 1;
    const Restart from = *last;
    if (dropped == 0) {
        m_restarts.resize(last - m_restarts.cbegin() + 1);
        change.kept = from.chars;
        change.tail = decodeFrom(now, from, flushEnd, &m_restarts);
    } else {
        // A line start: decoding starts afresh after a line break.
        change.dropped = charsBefore(before, dropped);
        QList<Restart> kept{{0, 0}};
        for (auto it = m_restarts.cbegin(); it != last + 1; ++it) {
            if (it->byte > dropped)
                kept.append({it->byte - dropped, it->chars - change.dropped});
        }
        m_restarts = std::move(kept);
        change.kept = m_restarts.last().chars;
        change.tail = decodeFrom(now, m_restarts.last(), flushEnd, &m_restarts);
    }
    m_chars = change.kept + change.tail.size();
    return change;
}

UpdateReader::Change UpdateReader::Text::unchanged() const
{
    Change change;
    change.oldSize = m_chars;
    change.kept = m_chars;
    return change;
}

void UpdateReader::Text::reset()
{
    m_restarts = {{0, 0}};
    m_chars = 0;
}

qsizetype UpdateReader::Text::charsBefore(QByteArrayView before, qsizetype byte) const
{
    const auto last = std::upper_bound(m_restarts.cbegin(), m_restarts.cend(), byte,
                                       [](qsizetype at, const Restart &restart) { return at < restart.byte; }) - 1;
    return last->chars
           + ChatMessages::forDisplay(Cp932::Decoder().decode(before.sliced(last->byte, byte - last->byte))).size();
}

qsizetype UpdateReader::Text::addedInFront(QByteArrayView before, QByteArrayView now) const
{
    // Whole lines: decoding starts afresh after their last line break, as
    // it did at the old text's start.
    const qsizetype added = now.size() - before.size();
    if (before.isEmpty() || added <= 0 || now[added - 1] != '\n')
        return 0;
    return std::memcmp(now.data() + added, before.data(), before.size()) == 0 ? added : 0;
}

QString UpdateReader::Text::decodeFrom(QByteArrayView now, Restart from, bool flushEnd, QList<Restart> *restarts)
{
    QString shown;
    Cp932::Decoder decoder;
    qsizetype at = from.byte;
    while (at < now.size()) {
        qsizetype next = std::min(now.size(), at + kPiece);
        // CR LF is one line break: a piece never ends between them.
        while (next < now.size() && now[next - 1] == '\r')
            ++next;
        shown += ChatMessages::forDisplay(decoder.decode(now.sliced(at, next - at)));
        if (!decoder.isWaiting() && now[next - 1] != '\r')
            restarts->append({next, from.chars + shown.size()});
        at = next;
    }
    if (flushEnd && decoder.isWaiting()) // followed by "/*/": the lead byte stands alone
        shown += QChar(QChar::ReplacementCharacter);
    return shown;
}
