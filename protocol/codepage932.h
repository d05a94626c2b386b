#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// Code page 932 (Windows' Shift-JIS), the encoding of the destination file
// and of every text on the chat connection.
namespace Cp932 {

// Encodes text; a character the code page cannot represent becomes "?",
// as the Windows ANSI conversion does, never the converter's odd 0xFCFC.
QByteArray encode(QStringView text);

// A stateful decoder: keep one per byte stream so that a double-byte
// character split between two reads is completed by the next read.
QStringDecoder makeDecoder();

// One-shot decoding of a complete byte sequence.
QString decode(QByteArrayView bytes);

} // namespace Cp932
