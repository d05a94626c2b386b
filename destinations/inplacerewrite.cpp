#include "inplacerewrite.h"

#include "diskwriter.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr char kMagic[] = "Wispleaf rewrite journal 1\n";
constexpr qsizetype kDigestSize = 32;

QByteArray digest(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256);
}

bool readWhole(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        *bytes = file.readAll();
        if (bytes->size() == file.size())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}
} // namespace

InPlaceRewrite::InPlaceRewrite(const QString &path, const QString &journalFolder)
    : InPlaceRewrite(path, journalFolder, DiskWriter::system())
{
}

InPlaceRewrite::InPlaceRewrite(const QString &path, const QString &journalFolder, DiskWriter &writer)
    : m_path(QFileInfo(path).absoluteFilePath())
    , m_writer(writer)
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
    // What the file holds now, to put back if the rewrite fails.
    QByteArray before;
    QString why;
    if (!readWhole(m_path, &before, &why)) {
        if (error)
            *error = QStringLiteral("「%1」を読めません（%2）").arg(m_path, why);
        return false;
    }
    if (!writeJournal(content, error))
        return false;
    if (m_writer.overwrite(m_path, content, &why)) {
        QFile::remove(m_journal);
        return true;
    }
    if (error)
        *error = QStringLiteral("「%1」に書き込めません（%2）").arg(m_path, why);
    // Reported as failed, so the file must end as it was.
    if (m_writer.overwrite(m_path, before, nullptr)) {
        QFile::remove(m_journal);
    } else if (!writeJournal(before, nullptr)) {
        // Neither: the file may be torn, and nothing the user was told
        // failed may be applied later.
        QFile::remove(m_journal);
        if (error)
            *error += QStringLiteral("。接続先リストが壊れているかもしれません");
    } // else the next opening puts the old content back.
    return false;
}

bool InPlaceRewrite::writeJournal(const QByteArray &content, QString *error)
{
    QDir().mkpath(QFileInfo(m_journal).absolutePath());
    QByteArray bytes = kMagic;
    bytes += m_path.toUtf8() + '\n';
    QDataStream(&bytes, QIODevice::Append) << qint64(content.size());
    bytes += content + digest(content);
    // Complete and on disk before the file is touched.
    QString why;
    if (m_writer.replace(m_journal, bytes, &why) != DiskWriter::Outcome::Written) {
        if (error)
            *error = QStringLiteral("「%1」を書き換えるための控えを作れません（%2）").arg(m_journal, why);
        return false;
    }
    return true;
}

bool InPlaceRewrite::finishUnfinished(QString *error)
{
    // A folder where the journal should be counts as a journal that cannot
    // be read.
    if (!QFileInfo::exists(m_journal))
        return true;
    QByteArray bytes;
    QString why;
    if (!readWhole(m_journal, &bytes, &why)) {
        if (error)
            *error = QStringLiteral("書き換えの控え「%1」を読めません（%2）。「%3」は変更していません")
                         .arg(QDir::toNativeSeparators(m_journal), why, QDir::toNativeSeparators(m_path));
        return false;
    }
    const QByteArray head = QByteArray(kMagic) + m_path.toUtf8() + '\n';
    const qsizetype at = head.size() + 8;
    qint64 size = -1;
    if (bytes.startsWith(head) && bytes.size() >= at)
        QDataStream(bytes.mid(head.size(), 8)) >> size;
    if (size < 0 || bytes.size() != at + size + kDigestSize
        || digest(bytes.mid(at, size)) != bytes.right(kDigestSize)) {
        // Never complete: the file itself was not touched.
        QFile::remove(m_journal);
        return true;
    }
    if (!m_writer.overwrite(m_path, bytes.mid(at, size), &why)) {
        if (error)
            *error = QStringLiteral("「%1」に書き込めません（%2）").arg(m_path, why);
        return false;
    }
    QFile::remove(m_journal);
    return true;
}
