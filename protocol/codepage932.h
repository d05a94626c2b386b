#pragma once

#include <QByteArray>
#include <QString>

#ifndef Q_OS_WIN
#include <QStringDecoder>
#endif

// Code page 932 (Windows' Shift-JIS), the encoding of the destination file
// and of every text on the chat connection. On Windows the system's own
// conversion does the work (Qt there has no ICU); elsewhere ICU's
// "windows-31j" through Qt.
namespace Cp932 {

// Encodes text; a character the code page cannot represent becomes "?",
// as the Windows ANSI conversion does, never a best-fit look-alike.
QByteArray encode(QStringView text);

// One-shot decoding of a complete byte sequence.
QString decode(QByteArrayView bytes);

// True for the first byte of a double-byte character.
constexpr bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A stateful decoder: keep one per byte stream so that a double-byte
// character split between two reads is completed by the next read.
class Decoder final
{
public:
    Decoder();
    QString decode(QByteArrayView bytes);

private:
#ifdef Q_OS_WIN
    QByteArray m_pending; // a lead byte whose trail byte has not come yet
#else
    QStringDecoder m_decoder;
#endif
};

} // namespace Cp932
