#pragma once

#include <QList>
#include <QStringView>

#include <optional>

// How a new text differs from the one a field shows, when lines were only
// added or removed at its ends (a chat log that grows at one end and, once
// full, drops its oldest line at the other). Each edit replaces whole lines
// of the old text with whole lines of the new one, so the rest can stay
// laid out as it is.
namespace LineEdits {

struct Edit
{
    qsizetype from;       // in the old text, at a line start
    qsizetype to;         // in the old text, at a line start or its end
    qsizetype newFrom;    // the replacement: the new text's [newFrom, newTo)
    qsizetype newTo;
};

// The edits that turn `old` into `now`, last first (so that applying them
// in order keeps the positions of the next valid); empty when the texts are
// equal. None when the change is anything else, or touches more than a
// quarter of a long text: then a full replace is as cheap. `old` and `now`
// may be the ends of longer texts that share their first `before`
// characters, which then count as staying.
std::optional<QList<Edit>> between(QStringView old, QStringView now, qsizetype before = 0);

} // namespace LineEdits
