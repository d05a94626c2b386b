#pragma once

#include <QByteArray>
#include <QString>

// The two ways the destination list and its rewrite journal reach the disk.
// Rewrites take one of these so that tests can watch which way each step
// went, and in which order.
class DiskWriter
{
public:
    enum class Outcome { Written, CannotCreate, Untouched, Failed };

    DiskWriter() = default;
    virtual ~DiskWriter() = default;
    Q_DISABLE_COPY_MOVE(DiskWriter)

    // A new file with all the bytes, synced to disk, then swapped in for
    // the old one: afterwards the path holds the old bytes or all the new
    // ones, even after a power cut. An existing file's owner, group and mode
    // are kept where the system allows it. CannotCreate when the folder
    // takes no new file; never falls back to writing over the old one.
    virtual Outcome replace(const QString &path, const QByteArray &bytes, QString *error);
    // Straight over the existing file, then cut to the new length and
    // synced: a cut short leaves it torn (Failed). Untouched when the file
    // could not even be opened: it is as it was.
    virtual Outcome overwrite(const QString &path, const QByteArray &bytes, QString *error);

    static DiskWriter &system();
};
