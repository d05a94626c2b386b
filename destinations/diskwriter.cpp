#include "diskwriter.h"

#include <QFile>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// A list that several users share stays theirs: the new file takes the old
// one's owner, group and mode. Short of root, it keeps what one may: the
// group, when one belongs to it. (On Windows the new file takes the
// folder's permissions.)
void keepOwnership(const QString &path, int handle)
{
    struct stat old = {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0)
        return;
    if (::fchown(handle, old.st_uid, old.st_gid) != 0 && ::fchown(handle, uid_t(-1), old.st_gid) != 0) {
        // Neither: the file stays this user's, as any new file would.
    }
    ::fchmod(handle, old.st_mode & 07777);
}
#endif

bool syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    return FlushFileBuffers(HANDLE(_get_osfhandle(file.handle())));
#else
    return ::fsync(file.handle()) == 0;
#endif
}
} // namespace

DiskWriter &DiskWriter::system()
{
    static DiskWriter writer;
    return writer;
}

DiskWriter::Outcome DiskWriter::replace(const QString &path, const QByteArray &bytes, QString *error)
{
    // QSaveFile syncs the new file before it renames it into place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return Outcome::CannotCreate;
    }
#ifdef Q_OS_UNIX
    keepOwnership(path, file.handle());
#endif
    // Qt can report a short write (a file-size limit, a full disk) as a
    // whole one, so the size on disk is checked before the swap.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return Outcome::Failed;
    }
    return Outcome::Written;
}

DiskWriter::Outcome DiskWriter::overwrite(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadWrite);
    // The size is checked too: Qt can report a short write as a whole one.
    const bool written = opened && file.write(bytes) == bytes.size() && file.resize(bytes.size()) && file.flush()
                         && file.size() == bytes.size() && syncToDisk(file);
    if (!written && error)
        *error = file.errorString();
    return written ? Outcome::Written : opened ? Outcome::Failed : Outcome::Untouched;
}
