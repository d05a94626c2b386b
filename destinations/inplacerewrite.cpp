#include "inplacerewrite.h"

#include "diskwriter.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr char kMagic[] = "Wispleaf rewrite journal 1\n";
// A journal that puts old content back: the file's state as the failed
// write left it follows the content.
constexpr char kPutBackMagic[] = "Wispleaf rewrite journal 2\n";
constexpr qsizetype kDigestSize = 32;
constexpr qsizetype kStateSize = 8 + 8 + kDigestSize;

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
    const DiskWriter::Outcome written = m_writer.overwrite(m_path, content, &why);
    if (written == DiskWriter::Outcome::Written) {
        QFile::remove(m_journal);
        return true;
    }
    if (error)
        *error = QStringLiteral("「%1」に書き込めません（%2）").arg(m_path, why);
    // Reported as failed, so the file must end as it was. Not opened, it is.
    if (written == DiskWriter::Outcome::Untouched
        || m_writer.overwrite(m_path, before, nullptr) == DiskWriter::Outcome::Written) {
        QFile::remove(m_journal);
        return false;
    }
    const FileState left = stateNow();
    if (!writeJournal(before, &left, nullptr)) {
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
    return writeJournal(content, nullptr, error);
}

bool InPlaceRewrite::FileState::operator==(const FileState &other) const
{
    return size == other.size && modifiedMs == other.modifiedMs
           && (digest.isEmpty() || other.digest.isEmpty() || digest == other.digest);
}

InPlaceRewrite::FileState InPlaceRewrite::stateNow() const
{
    const QFileInfo info(m_path);
    FileState state{info.exists() ? info.size() : -1, info.lastModified().toMSecsSinceEpoch(), {}};
    QByteArray bytes;
    if (readWhole(m_path, &bytes, nullptr))
        state.digest = digest(bytes);
    return state;
}

bool InPlaceRewrite::writeJournal(const QByteArray &content, const FileState *left, QString *error)
{
    QDir().mkpath(QFileInfo(m_journal).absolutePath());
    QByteArray bytes = left ? kPutBackMagic : kMagic;
    bytes += m_path.toUtf8() + '\n';
    QDataStream(&bytes, QIODevice::Append) << qint64(content.size());
    bytes += content + digest(content);
    if (left) {
        QByteArray state;
        QDataStream(&state, QIODevice::WriteOnly) << left->size << left->modifiedMs;
        state += left->digest.isEmpty() ? QByteArray(kDigestSize, '\0') : left->digest;
        bytes += state + digest(state);
    }
    // Complete and on disk before the file is touched.
    QString why;
    if (m_writer.replace(m_journal, bytes, &why) != DiskWriter::Outcome::Written) {
        if (error)
            *error = QStringLiteral("「%1」を書き換えるための控えを作れません（%2）").arg(m_journal, why);
        return false;
    }
    return true;
}

bool InPlaceRewrite::finishUnfinished(QString *error, QString *notice)
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
    const bool putBack = bytes.startsWith(kPutBackMagic);
    const QByteArray head = QByteArray(putBack ? kPutBackMagic : kMagic) + m_path.toUtf8() + '\n';
    const qsizetype at = head.size() + 8;
    const qsizetype trailer = kDigestSize + (putBack ? kStateSize + kDigestSize : 0);
    qint64 size = -1;
    if (bytes.startsWith(head) && bytes.size() >= at + trailer)
        QDataStream(bytes.mid(head.size(), 8)) >> size;
    // Compared without adding to the size read: it may be anything.
    const bool complete = size >= 0 && size == bytes.size() - at - trailer
                          && digest(bytes.mid(at, size)) == bytes.mid(at + size, kDigestSize);
    const QByteArray state = complete && putBack ? bytes.mid(at + size + kDigestSize, kStateSize) : QByteArray();
    if (!complete || (putBack && digest(state) != bytes.right(kDigestSize))) {
        // Never complete: the file itself was not touched.
        QFile::remove(m_journal);
        return true;
    }
    if (putBack) {
        FileState left;
        QDataStream(state) >> left.size >> left.modifiedMs;
        left.digest = state.right(kDigestSize);
        if (left.digest == QByteArray(kDigestSize, '\0'))
            left.digest.clear();
        if (!(left == stateNow())) {
            // Someone wrote the list since: theirs stays.
            QFile::remove(m_journal);
            if (notice)
                *notice = QStringLiteral("前回書き込めなかった「%1」は、その後ほかで変更されていたため、そのままにしました")
                              .arg(QDir::toNativeSeparators(m_path));
            return true;
        }
    }
    if (m_writer.overwrite(m_path, bytes.mid(at, size), &why) != DiskWriter::Outcome::Written) {
        if (error)
            *error = QStringLiteral("「%1」に書き込めません（%2）").arg(m_path, why);
        return false;
    }
    QFile::remove(m_journal);
    return true;
}
