#pragma once

#include "diskwriter.h"
#include "pciprecord.h"

#include <QFile>
#include <QList>
#include <QString>

// "PCIP.dat": a flat file of 37-byte records, resolved against the current
// working directory at each operation. A trailing partial record is not a
// record; the next append overwrites it.
//
// An open PcipFile keeps the file open until close() or destruction. The
// connect procedure reads the records and closes the file before its wait,
// so that the destination window can replace the file meanwhile.
class PcipFile final
{
public:
    static constexpr const char *kFileName = "PCIP.dat";
    // Record numbers are 16-bit and loops step one past the last record.
    static constexpr qint64 kMaxRecords = 32766;

    explicit PcipFile(const QString &path = QString::fromLatin1(kFileName));
    ~PcipFile() = default;
    Q_DISABLE_COPY_MOVE(PcipFile)

    // Opens for reading and writing, creating an empty file when missing.
    bool open();
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

    qint64 size() const { return m_file.size(); }
    // Whole records only; fails when the count is beyond kMaxRecords.
    bool count(qint64 *records);
    bool readRecord(qint64 number, PCIPRecord *record);
    bool readAll(QList<PCIPRecord> *records);
    // The whole records exactly as stored (a trailing partial one left out).
    bool readWholeRecords(QByteArray *bytes);
    bool append(const PCIPRecord &record);
    bool writeRecord(qint64 number, const PCIPRecord &record);

    // Description of the last failure, for the user.
    QString errorString() const { return m_error; }
    // What the user should know of an opening that went well: a failed
    // rewrite that was not put back, as the list had changed since.
    QString notice() const { return m_notice; }

    // Replaces the whole file with the given records (whole 37-byte records,
    // written as they are) atomically: either the old list or the complete
    // new one is left behind, never a torn file. Where the folder takes no
    // new file, the file is rewritten in place through a journal.
    static bool replaceAll(const QString &path, const QByteArray &records, QString *error,
                           DiskWriter &writer = DiskWriter::system());

private:
    bool fail(const QString &what);
    bool writeAt(qint64 offset, const PCIPRecord &record);

    QFile m_file;
    QString m_error;
    QString m_notice;
};
