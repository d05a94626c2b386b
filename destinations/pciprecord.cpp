#include "pciprecord.h"

#include "codepage932.h"

#include <QtEndian>

QString trimSpacesRight(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    while (begin < text.size() && text[begin] == u' ')
        ++begin;
    return trimSpacesRight(text.mid(begin));
}

QByteArray PCIPRecord::fitField(const QString &text, int chars, int bytes)
{
    QString cut = text.left(chars);
    if (cut.size() < chars)
        cut += QString(chars - cut.size(), u' ');
    QByteArray encoded = Cp932::encode(cut);
    if (encoded.size() > bytes) {
        // Cut at a character boundary: walk the lead/trail structure.
        qsizetype i = 0;
        while (i < bytes) {
            const qsizetype width = Cp932::isLeadByte(static_cast<unsigned char>(encoded[i])) ? 2 : 1;
            if (i + width > bytes)
                break;
            i += width;
        }
        encoded.truncate(i);
    }
    if (encoded.size() < bytes)
        encoded.append(QByteArray(bytes - encoded.size(), ' '));
    return encoded;
}

QByteArray PCIPRecord::toBytes() const
{
    QByteArray out(2, '\0');
    qToLittleEndian<qint16>(Attempt, out.data());
    out += fitField(PCName, kNameBytes, kNameBytes);
    out += fitField(IPAddress, kAddressBytes, kAddressBytes);
    return out;
}

PCIPRecord PCIPRecord::fromBytes(QByteArrayView bytes)
{
    Q_ASSERT(bytes.size() == kSize);
    PCIPRecord record;
    record.Attempt = qFromLittleEndian<qint16>(bytes.data());
    record.PCName = Cp932::decode(bytes.sliced(2, kNameBytes));
    record.IPAddress = Cp932::decode(bytes.sliced(2 + kNameBytes, kAddressBytes));
    return record;
}

QString PCIPRecord::trimmedName() const
{
    return trimSpaces(PCName);
}

QString PCIPRecord::trimmedAddress() const
{
    return trimSpacesRight(IPAddress);
}

bool PCIPRecord::isShownAs(const PCIPRecord &shown) const
{
    if ((Attempt == kAttempt) != (shown.Attempt == kAttempt))
        return false;
    // A row filled from the file shows the decoded texts; a row just added
    // shows them as typed, which the file holds cut and encoded.
    if (trimmedName() == trimSpaces(shown.PCName) && trimmedAddress() == trimSpacesRight(shown.IPAddress))
        return true;
    const PCIPRecord stored = fromBytes(shown.toBytes());
    return trimmedName() == stored.trimmedName() && trimmedAddress() == stored.trimmedAddress();
}
