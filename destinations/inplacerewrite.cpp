#include "inplacerewrite.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
constexpr char kMagic[] = "Wispleaf rewrite journal 1\n";

QByteArray digest(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256);
}
} // namespace

InPlaceRewrite::InPlaceRewrite(const QString &path, const QString &journalFolder)
    : m_path(QFileInfo(path).absoluteFilePath())
{
    const QString folder = journalFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                     + QStringLiteral("/Wispleaf/journals")
                               : journalFolder;
    // One journal per file, named after its full path.
    const QByteArray id = QCryptographicHash::hash(m_path.toUtf8(), QCryptographicHash::Sha1).toHex();
    m_journal = folder + QLatin1Char('/') + QString::fromLatin1(id) + QStringLiteral(".journal");
}

bool InPlaceRewrite::run(const QByteArray &content, QString *error)
{
    if (!writeJournal(content, error) || !overwrite(content, error))
        return false;
    QFile::remove(m_journal);
    return true;
}

bool InPlaceRewrite::writeJournal(const QByteArray &content, QString *error)
{
    QDir().mkpath(QFileInfo(m_journal).absolutePath());
    // Atomic in its own folder: the journal is complete or not there.
    QSaveFile journal(m_journal);
    QByteArray bytes = kMagic;
    bytes += m_path.toUtf8() + '\n';
    QDataStream(&bytes, QIODevice::Append) << qint64(content.size());
    bytes += content + digest(content);
    if (!journal.open(QIODevice::WriteOnly) || journal.write(bytes) != bytes.size() || !journal.commit()) {
        if (error)
            *error = QStringLiteral("「%1」を書き換えるための控えを作れません（%2）").arg(m_journal, journal.errorString());
        return false;
    }
    return true;
}

bool InPlaceRewrite::finishUnfinished(QString *error)
{
    QFile journal(m_journal);
    if (!journal.exists())
        return true;
    QByteArray content;
    if (journal.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = journal.readAll();
        const QByteArray head = QByteArray(kMagic) + m_path.toUtf8() + '\n';
        qint64 size = -1;
        if (bytes.startsWith(head) && bytes.size() >= head.size() + 8) {
            QDataStream(bytes.mid(head.size(), 8)) >> size;
            const qsizetype at = head.size() + 8;
            if (size >= 0 && bytes.size() == at + size + 32
                && digest(bytes.mid(at, size)) == bytes.right(32))
                content = bytes.mid(at, size);
            else
                size = -1;
        }
        journal.close();
        if (size < 0) { // never complete: the file itself was not touched
            journal.remove();
            return true;
        }
    }
    if (!overwrite(content, error))
        return false;
    journal.remove();
    return true;
}

bool InPlaceRewrite::overwrite(const QByteArray &content, QString *error)
{
    QFile file(m_path);
    // Qt can report a short write as a whole one: the size is checked too.
    if (!file.open(QIODevice::ReadWrite) || file.write(content) != content.size() || !file.resize(content.size())
        || !file.flush() || file.size() != content.size()) {
        if (error)
            *error = QStringLiteral("「%1」に書き込めません（%2）").arg(m_path, file.errorString());
        return false;
    }
    return true;
}
