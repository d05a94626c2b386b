#include "savedtext.h"

#include <QSaveFile>

namespace SavedText {

QString suggestedName(const QString &prefix, const QDateTime &when)
{
    return prefix + when.toString(QStringLiteral("_yyyy-MM-dd_HHmm")) + QStringLiteral(".txt");
}

bool write(const QString &path, const QString &text, QString *error)
{
#ifdef Q_OS_WIN
    const QByteArray bytes = QString(text).replace(u'\n', QStringLiteral("\r\n")).toUtf8();
#else
    const QByteArray bytes = text.toUtf8();
#endif
    QSaveFile file(path);
    // Qt can report a short write as a whole one: the size is checked too.
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
        && file.size() == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace SavedText
