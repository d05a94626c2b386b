#pragma once

#include "updatereader.h"

#include <QStringView>

#include <optional>

// Where the person left off: the place in the conversation before the
// first line of news that came while they were away. It stays when they
// come back, and moves only with the first news of their next absence. It
// follows the text when the hub drops old lines at the front, and goes
// when the line it stands before goes (dropped, or the conversation
// replaced). Its place is always one in the text shown, so nothing grows
// however long Wispleaf runs.
class UnreadMarker final
{
public:
    // The person looks at Wispleaf: the next news while away moves it.
    void looked() { m_movable = true; }
    // News came while the person was away; its first line begins at `at`.
    void news(qsizetype at);
    // The conversation `shown` is about to change by `change`.
    void changing(QStringView shown, const UpdateReader::Change &change);
    // Where it stands, if anywhere.
    std::optional<qsizetype> at() const { return m_at; }

private:
    std::optional<qsizetype> m_at;
    bool m_movable = true;
};
