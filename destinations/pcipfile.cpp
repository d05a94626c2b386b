#include "pcipfile.h"

#include "inplacerewrite.h"

PcipFile::PcipFile(const QString &path)
    : m_file(path)
{
}

bool PcipFile::fail(const QString &what)
{
    m_error = QStringLiteral("「%1」%2（%3）").arg(m_file.fileName(), what, m_file.errorString());
    return false;
}

bool PcipFile::open()
{
    // A rewrite in place that was cut short is finished first.
    QString unfinished;
    if (!InPlaceRewrite(m_file.fileName()).finishUnfinished(&unfinished, &m_notice)) {
        m_error = unfinished;
        return false;
    }
    // ReadWrite creates a missing file, as every operation on the list does.
    if (!m_file.open(QIODevice::ReadWrite))
        return fail(QStringLiteral("を開けません"));
    return true;
}

bool PcipFile::count(qint64 *records)
{
    const qint64 whole = m_file.size() / PCIPRecord::kSize;
    if (whole > kMaxRecords) {
        m_error = QStringLiteral("「%1」の接続先が多すぎます（%2件。扱えるのは%3件までです）")
                      .arg(m_file.fileName())
                      .arg(whole)
                      .arg(kMaxRecords);
        return false;
    }
    *records = whole;
    return true;
}

bool PcipFile::readRecord(qint64 number, PCIPRecord *record)
{
    if (!m_file.seek((number - 1) * PCIPRecord::kSize))
        return fail(QStringLiteral("を読めません"));
    const QByteArray bytes = m_file.read(PCIPRecord::kSize);
    if (bytes.size() != PCIPRecord::kSize)
        return fail(QStringLiteral("を読めません"));
    *record = PCIPRecord::fromBytes(bytes);
    return true;
}

bool PcipFile::readWholeRecords(QByteArray *bytes)
{
    qint64 total = 0;
    if (!count(&total))
        return false;
    if (!m_file.seek(0))
        return fail(QStringLiteral("を読めません"));
    *bytes = m_file.read(total * PCIPRecord::kSize);
    if (bytes->size() != total * PCIPRecord::kSize)
        return fail(QStringLiteral("を読めません"));
    return true;
}

bool PcipFile::readAll(QList<PCIPRecord> *records)
{
    QByteArray bytes;
    if (!readWholeRecords(&bytes))
        return false;
    const qsizetype total = bytes.size() / PCIPRecord::kSize;
    records->clear();
    records->reserve(total);
    for (qsizetype i = 0; i < total; ++i)
        records->append(PCIPRecord::fromBytes(QByteArrayView(bytes).sliced(i * PCIPRecord::kSize, PCIPRecord::kSize)));
    return true;
}

bool PcipFile::writeAt(qint64 offset, const PCIPRecord &record)
{
    const QByteArray bytes = record.toBytes();
    // The size check catches short writes that Qt reports as whole ones.
    if (!m_file.seek(offset) || m_file.write(bytes) != bytes.size() || !m_file.flush()
        || m_file.size() < offset + bytes.size())
        return fail(QStringLiteral("に書き込めません"));
    return true;
}

bool PcipFile::append(const PCIPRecord &record)
{
    const qint64 whole = m_file.size() / PCIPRecord::kSize;
    if (whole >= kMaxRecords) {
        m_error = QStringLiteral("接続先は%1件までしか登録できません").arg(kMaxRecords);
        return false;
    }
    return writeAt(whole * PCIPRecord::kSize, record);
}

bool PcipFile::writeRecord(qint64 number, const PCIPRecord &record)
{
    return writeAt((number - 1) * PCIPRecord::kSize, record);
}

bool PcipFile::replaceAll(const QString &path, const QByteArray &records, QString *error, DiskWriter &writer)
{
    Q_ASSERT(records.size() % PCIPRecord::kSize == 0);
    QString why;
    switch (writer.replace(path, records, &why)) {
    case DiskWriter::Outcome::Written:
        return true;
    case DiskWriter::Outcome::CannotCreate: {
        // A folder that takes no new files, holding a file the user may
        // write (a list shared that way): rewritten in place, by journal.
        QFile existing(path);
        if (existing.exists() && existing.open(QIODevice::ReadWrite)) {
            existing.close();
            return InPlaceRewrite(path, QString(), writer).run(records, error);
        }
        if (error)
            *error = QStringLiteral("「%1」を書き換えられません（%2）").arg(path, why);
        return false;
    }
    case DiskWriter::Outcome::Untouched: // not one of replace()'s
    case DiskWriter::Outcome::Failed:
        break;
    }
    if (error)
        *error = QStringLiteral("「%1」に書き込めません（%2）").arg(path, why);
    return false;
}
