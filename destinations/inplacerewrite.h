#pragma once

#include <QByteArray>
#include <QString>

class DiskWriter;

// Rewrites a file in place, for a folder that lets the user write the file
// but not create the new one an atomic replace needs. The new content goes
// first, complete and synced, to a journal in the user's own data folder;
// only then is the file overwritten, and the journal removed. A rewrite cut
// short (the program killed, the power lost) is finished from the journal by
// finishUnfinished(), which every opening of the file runs. A rewrite that
// fails and is reported as failed leaves the old content: untouched when
// the file could not even be opened, else put back at once, or through a
// journal at the next opening. Such a journal notes the file as the failed
// write left it and is applied only while the file is still so: a list
// someone changed since (a shared one) is never overwritten with it.
class InPlaceRewrite final
{
public:
    // journalFolder: where journals are kept; empty for the user's data
    // folder (also the tests' way to keep theirs apart).
    explicit InPlaceRewrite(const QString &path, const QString &journalFolder = QString());
    InPlaceRewrite(const QString &path, const QString &journalFolder, DiskWriter &writer);

    bool run(const QByteArray &content, QString *error);

    // The first step of run(), for a caller that must stop after it.
    bool writeJournal(const QByteArray &content, QString *error);
    // Rewrites the file from a complete journal and removes it; true when
    // there was none. A journal that is not complete is dropped (the file
    // was never touched); one that cannot be read fails and changes nothing.
    // One that would put old content back over a file changed since is
    // dropped, and `notice` says the list was left as it is.
    bool finishUnfinished(QString *error, QString *notice = nullptr);

    QString journalPath() const { return m_journal; }

private:
    // The file as a failed write left it.
    struct FileState
    {
        qint64 size = -1;
        qint64 modifiedMs = -1;
        QByteArray digest; // empty where it could not be read
        bool operator==(const FileState &other) const;
    };
    FileState stateNow() const;
    bool writeJournal(const QByteArray &content, const FileState *left, QString *error);

    QString m_path;
    QString m_journal;
    DiskWriter &m_writer;
};
