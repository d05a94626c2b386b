#pragma once

#include <QByteArray>
#include <QString>

#ifndef Q_OS_WIN
#include <QStringDecoder>

#include <optional>
#endif

// Code page 932 (Windows' Shift-JIS), the encoding of the destination file
// and of every text on the chat connection. On Windows the system's own
// conversion does the work (Qt there has no ICU); elsewhere ICU's
// "windows-31j" through Qt. Both give the same bytes and characters.
namespace Cp932 {

// Encodes text; a character the code page cannot represent becomes "?",
// as the Windows ANSI conversion does, never a best-fit look-alike. The JIS
// forms that Linux and Mac input methods type for eight characters (U+301C
// for U+FF5E and so on) encode as the same characters do on Windows.
QByteArray encode(QStringView text);

// The characters of text that encode() turns into "?", each once, in the
// order they first appear; empty when everything has a form.
QString unencodable(QStringView text);

// One-shot decoding of a complete byte sequence.
QString decode(QByteArrayView bytes);

// The form Windows gives the eight characters that Linux and Mac input
// methods type in their JIS form (〜 U+301C for ～ U+FF5E, and ‖ − ¢ £ ¬ — ¦);
// both forms are the same bytes. Any other character is itself.
constexpr char16_t windowsForm(char16_t c)
{
    switch (c) {
    case u'\u301C': return u'\uFF5E'; // WAVE DASH
    case u'\u2016': return u'\u2225'; // DOUBLE VERTICAL LINE
    case u'\u2212': return u'\uFF0D'; // MINUS SIGN
    case u'\u00A2': return u'\uFFE0'; // CENT SIGN
    case u'\u00A3': return u'\uFFE1'; // POUND SIGN
    case u'\u00AC': return u'\uFFE2'; // NOT SIGN
    case u'\u2014': return u'\u2015'; // EM DASH
    case u'\u00A6': return u'\uFFE4'; // BROKEN BAR
    default: return c;
    }
}

// True for the first byte of a double-byte character.
constexpr bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True for a byte that may follow a lead byte.
constexpr bool isTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// True when the bytes end with a lead byte whose trail byte is still to
// come. Only the lead bytes at the end are looked at: any other byte ends
// a character, whichever way it is read.
bool endsInsideCharacter(QByteArrayView bytes);

// A stateful decoder: keep one per byte stream so that a double-byte
// character split between two reads is completed by the next read.
// A byte that is no character (80, A0, FD-FF, a lead byte without a trail
// byte, an undefined pair) shows as U+FFFD, on every platform.
class Decoder final
{
public:
    Decoder();
    QString decode(QByteArrayView bytes);
    // True while a lead byte waits for the next read.
    bool isWaiting() const { return !m_pending.isEmpty(); }

private:
    void decodeRun(QByteArrayView run, QString *out);

    QByteArray m_pending; // a lead byte whose trail byte has not come yet
#ifndef Q_OS_WIN
    std::optional<QStringDecoder> m_converter; // opened at the first non-ASCII run
#endif
};

} // namespace Cp932
