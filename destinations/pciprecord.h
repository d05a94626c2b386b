#pragma once

#include <QByteArray>
#include <QString>

// One destination of "PCIP.dat": 37 bytes, no padding between fields.
//   offset  0, 2 bytes:  Attempt, int16 little-endian (-1 attempt, 0 do not)
//   offset  2, 20 bytes: PCName, code page 932, space padded
//   offset 22, 15 bytes: IPAddress, code page 932, space padded
struct PCIPRecord
{
    static constexpr int kSize = 37;
    static constexpr int kNameBytes = 20;
    static constexpr int kAddressBytes = 15;
    static constexpr qint16 kAttempt = -1;
    static constexpr qint16 kDoNotAttempt = 0;

    qint16 Attempt = kDoNotAttempt;
    QString PCName;
    QString IPAddress;

    QByteArray toBytes() const;
    // bytes must hold exactly kSize bytes. Texts come back as stored
    // (padding included); readers trim them with the helpers below.
    static PCIPRecord fromBytes(QByteArrayView bytes);

    // The name as readers use it: leading and trailing spaces removed.
    QString trimmedName() const;
    // The address as readers use it: trailing spaces removed only.
    QString trimmedAddress() const;

    // True when a list row made from `shown` (a row filled from the file,
    // or one just added with its texts as typed) shows this stored record.
    bool isShownAs(const PCIPRecord &shown) const;

    // Cuts or pads text to `chars` characters, then fits its encoding into
    // exactly `bytes` bytes. A double-byte character that would not fit
    // whole becomes a space, so a field never ends in a lone lead byte.
    static QByteArray fitField(const QString &text, int chars, int bytes);
};

QString trimSpacesRight(const QString &text);
QString trimSpaces(const QString &text);
