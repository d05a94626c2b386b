// "PCIP.dat" of any content and length: count, read all, and the row
// click's address split must hold up.
#include "destinationinput.h"
#include "pcipfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCIP.dat"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    PcipFile file(path);
    if (!file.open())
        abort();
    qint64 count = 0;
    const bool counted = file.count(&count);
    QList<PCIPRecord> records;
    const bool read = file.readAll(&records);
    if (counted != read)
        abort();
    if (read && (records.size() != qsizetype(size / PCIPRecord::kSize) || count != records.size()))
        abort();
    for (const PCIPRecord &record : records) {
        const QStringList parts = DestinationInput::splitAddress(record.trimmedAddress());
        if (parts.size() != 4)
            abort();
        // Writing a record back always gives exactly 37 bytes.
        if (record.toBytes().size() != PCIPRecord::kSize)
            abort();
        DestinationInput::check(record.trimmedName(), parts);
    }
    return 0;
}
