#include "newmessages.h"

namespace NewMessages {

namespace {
// What follows `before` in `after` when `after` starts with the whole of
// `before`, or with its end from a line start on; the added part starts a
// line of its own.
std::optional<QStringView> addedPart(QStringView before, QStringView after)
{
    qsizetype kept = 0; // where the part of `before` that `after` keeps starts
    if (!after.startsWith(before)) {
        const qsizetype firstBreak = after.indexOf(u'\n');
        if (firstBreak < 0)
            return std::nullopt;
        const QStringView firstLine = after.first(firstBreak);
        // The hub dropped its oldest lines: `after` starts at a line start of
        // `before` (whose last line may be unended). A few tries: a log of
        // repeated lines is not searched whole.
        kept = before.indexOf(firstLine);
        for (int tries = 0; kept > 0 && tries < 3; ++tries, kept = before.indexOf(firstLine, kept + 1)) {
            if (before[kept - 1] == u'\n' && after.startsWith(before.sliced(kept)))
                break;
        }
        if (kept <= 0 || before[kept - 1] != u'\n' || !after.startsWith(before.sliced(kept)))
            return std::nullopt;
    }
    const QStringView added = after.sliced(before.size() - kept);
    const bool atLineStart = before.size() == kept || before.endsWith(u'\n') || added.startsWith(u'\n');
    if (!atLineStart)
        return std::nullopt; // the last line changed: not a line of its own
    return added;
}
} // namespace

std::optional<QStringList> linesAddedAtEnd(QStringView before, QStringView after)
{
    if (before.isEmpty())
        return std::nullopt; // a conversation shown for the first time
    const std::optional<QStringView> added = addedPart(before, after);
    if (!added)
        return std::nullopt;
    QStringList lines;
    for (const QStringView line : added->split(u'\n', Qt::SkipEmptyParts))
        lines << line.toString();
    return lines;
}

Verdict judge(const Update &update)
{
    Verdict verdict;
    if (update.windowActive || update.firstAfterJoining)
        return verdict;
    std::optional<QStringList> lines = linesAddedAtEnd(update.before, update.after);
    if (!lines)
        return verdict;
    if (!update.ownMessage.isEmpty()) {
        for (qsizetype i = 0; i < lines->size(); ++i) {
            if (lines->at(i).contains(update.ownMessage)) {
                lines->removeAt(i);
                verdict.ownLineSeen = true;
                break;
            }
        }
    }
    verdict.lines = *lines;
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
