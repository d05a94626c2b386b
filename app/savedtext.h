#pragma once

#include <QDateTime>
#include <QString>

// A copy of a field's text kept in a file.
namespace SavedText {

// The name suggested for a copy made at `when`: <prefix>_YYYY-MM-DD_HHMM.txt.
QString suggestedName(const QString &prefix, const QDateTime &when);

// Writes `text` (LF line breaks) as UTF-8 with the platform's line ends,
// through a new file swapped in whole: a failure leaves nothing half
// written, and says why.
bool write(const QString &path, const QString &text, QString *error);

} // namespace SavedText
