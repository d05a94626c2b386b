#include "lineedits.h"

#include <algorithm>

namespace LineEdits {

namespace {
// The start of the line that holds position `at`.
qsizetype lineStart(QStringView text, qsizetype at)
{
    return at == 0 ? 0 : text.lastIndexOf(u'\n', at - 1) + 1;
}

// The first line start after position `at` - 1, or the text's end: the
// line break before it lies at or after `at`.
qsizetype lineStartFrom(QStringView text, qsizetype at)
{
    const qsizetype newline = text.indexOf(u'\n', at);
    return newline < 0 ? text.size() : newline + 1;
}

qsizetype commonPrefix(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    return std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin();
}

qsizetype commonSuffix(QStringView a, QStringView b, qsizetype limit)
{
    const qsizetype n = std::min({a.size(), b.size(), limit});
    return std::mismatch(a.rbegin(), a.rbegin() + n, b.rbegin()).first - a.rbegin();
}

// Below this size an edit is always applied, so that a screen reader hears
// only what changed; above it, a full replace is as cheap as an edit that
// touches more than a quarter of the text.
constexpr qsizetype kAlwaysEdited = 16 * 1024;

bool cheap(qsizetype changed, QStringView old, QStringView now, qsizetype before)
{
    const qsizetype larger = before + std::max(old.size(), now.size());
    return larger <= kAlwaysEdited || changed <= larger / 4;
}

// Lines dropped at the front and lines added at the back: where the new
// text's first line begins the rest of the old one.
std::optional<QList<Edit>> shifted(QStringView old, QStringView now, qsizetype before)
{
    const qsizetype firstLineEnd = now.indexOf(u'\n');
    if (firstLineEnd < 0)
        return std::nullopt;
    // Without its line break: the old text's last line may be unended.
    const QStringView firstLine = now.first(firstLineEnd);
    qsizetype dropped = old.indexOf(firstLine);
    for (int tries = 0; dropped > 0 && tries < 3; ++tries, dropped = old.indexOf(firstLine, dropped + 1)) {
        const qsizetype kept = old.size() - dropped;
        if (old[dropped - 1] != u'\n' || kept > now.size() || old.sliced(dropped) != now.first(kept))
            continue;
        // The old last line may be unfinished: it is replaced whole.
        const qsizetype tail = std::max(dropped, lineStart(old, old.size()));
        if (!cheap(dropped + (now.size() - (tail - dropped)), old, now, before))
            return std::nullopt;
        return QList<Edit>{{tail, old.size(), tail - dropped, now.size()}, {0, dropped, 0, 0}};
    }
    return std::nullopt;
}
} // namespace

std::optional<QList<Edit>> between(QStringView old, QStringView now, qsizetype before)
{
    if (old == now)
        return QList<Edit>{};
    if (before == 0 && (old.isEmpty() || now.isEmpty()))
        return std::nullopt;
    // One run of lines replaced anywhere: at the end, at the front, or
    // inside when the texts agree around it.
    const qsizetype prefix = commonPrefix(old, now);
    const qsizetype suffix = commonSuffix(old, now, std::min(old.size(), now.size()) - prefix);
    // Both ends at line starts of both texts: the line breaks that decide
    // them lie inside the parts the texts share.
    const qsizetype from = lineStart(old, prefix);
    const qsizetype to = std::max(from, lineStartFrom(old, old.size() - suffix));
    const qsizetype newTo = now.size() - (old.size() - to);
    const bool oneRun = newTo >= from && (before > 0 || from > 0 || to < old.size()); // something stays
    const qsizetype changed = (to - from) + (newTo - from);
    if (oneRun && changed <= (before + std::max(old.size(), now.size())) / 4)
        return QList<Edit>{{from, to, from, newTo}};
    if (std::optional<QList<Edit>> edits = shifted(old, now, before))
        return edits;
    if (oneRun && cheap(changed, old, now, before))
        return QList<Edit>{{from, to, from, newTo}};
    return std::nullopt;
}

} // namespace LineEdits
