#include "codepage932.h"

#include <QSet>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringEncoder>
#endif

#include <algorithm>
#include <utility>

namespace Cp932 {

namespace {
// Only Windows' form of the eight characters with two Unicode forms is in
// the conversion tables, so the other is encoded as it. On Linux, ICU's
// table also swaps three control codes against Windows' (bytes 1A, 1C,
// 7F); the control characters are handed to it as the ones it gives those
// bytes.
constexpr char16_t encodedAs(char16_t c)
{
    switch (c) {
#ifndef Q_OS_WIN
    case u'\x1A': return u'\x1C';
    case u'\x1C': return u'\x7F';
    case u'\x7F': return u'\x1A';
#endif
    default: return windowsForm(c);
    }
}

// The text as the conversion tables know it; copied only when it differs.
QStringView withTableForms(QStringView text, QString *storage)
{
    qsizetype i = 0;
    while (i < text.size() && encodedAs(text[i].unicode()) == text[i].unicode())
        ++i;
    if (i == text.size())
        return text;
    *storage = text.toString();
    QChar *chars = storage->data();
    for (; i < storage->size(); ++i)
        chars[i] = QChar(encodedAs(chars[i].unicode()));
    return *storage;
}

#ifdef Q_OS_WIN
constexpr UINT kCodePage = 932;

// False when a character has no code-page-932 form. No best fit: Windows
// would otherwise write a look-alike ("e" for "é").
bool encodeExactly(QStringView text, QByteArray *out)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr,
                                         &usedDefault);
    out->resize(size);
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, length, out->data(), size, nullptr, nullptr);
    return !usedDefault;
}

// False when the bytes hold a pair the code page does not define.
bool appendDecoded(QByteArrayView bytes, QString *out)
{
    const int length = int(bytes.size());
    const int chars = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (chars <= 0)
        return false;
    const qsizetype at = out->size();
    out->resize(at + chars);
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length,
                        reinterpret_cast<wchar_t *>(out->data() + at), chars);
    return true;
}
#else
constexpr const char *kCodecName = "windows-31j";

bool encodeExactly(QStringView text, QByteArray *out)
{
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    *out = encoder.encode(text);
    return !encoder.hasError();
}
#endif

struct Unencodable
{
    QString chars;
    QSet<char32_t> seen;

    void note(QStringView codePoint)
    {
        const char32_t code = codePoint.size() == 2 ? QChar::surrogateToUcs4(codePoint[0], codePoint[1])
                                                    : codePoint[0].unicode();
        if (!seen.contains(code)) {
            seen.insert(code);
            chars += codePoint;
        }
    }
};

qsizetype codePointLength(QStringView text, qsizetype at)
{
    return text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate() ? 2 : 1;
}

// Appends the bytes of text; each code point without a form becomes one
// "?". Halving finds the few such characters of a long text at a cost near
// that of one conversion of the whole.
void encodeByHalves(QStringView text, QByteArray *out, Unencodable *missing)
{
    QByteArray bytes;
    if (encodeExactly(text, &bytes)) {
        *out += bytes;
        return;
    }
    if (codePointLength(text, 0) == text.size()) {
        *out += '?';
        if (missing)
            missing->note(text);
        return;
    }
    qsizetype half = text.size() / 2;
    if (text[half].isLowSurrogate() && text[half - 1].isHighSurrogate())
        ++half; // keep the pair together; text has 3 or more units here
    encodeByHalves(text.first(half), out, missing);
    encodeByHalves(text.sliced(half), out, missing);
}

#ifndef Q_OS_WIN
// ICU writes FC FC, a pair that is no character, for each code point
// without a form: one walk over both texts turns each into "?". False if
// the two do not line up one character for one code point.
bool replaceSubstitutes(QStringView text, QByteArray *bytes, Unencodable *missing)
{
    QByteArray out;
    out.reserve(bytes->size());
    const auto *data = reinterpret_cast<const unsigned char *>(bytes->constData());
    qsizetype copied = 0;
    qsizetype at = 0;
    qsizetype i = 0;
    while (at < bytes->size()) {
        if (i >= text.size())
            return false;
        const qsizetype units = codePointLength(text, i);
        if (isLeadByte(data[at]) && at + 1 < bytes->size()) {
            if (data[at] == 0xFC && data[at + 1] == 0xFC) {
                out.append(bytes->constData() + copied, at - copied);
                out += '?';
                copied = at + 2;
                if (missing)
                    missing->note(text.sliced(i, units));
            }
            at += 2;
        } else {
            ++at;
        }
        i += units;
    }
    out.append(bytes->constData() + copied, bytes->size() - copied);
    if (i != text.size())
        return false;
    *bytes = out;
    return true;
}
#endif

// The bytes of text with "?" for each code point without a form, which
// go to *missing when it is given.
QByteArray encodeMarking(QStringView text, Unencodable *missing)
{
    QString storage;
    const QStringView forTable = withTableForms(text, &storage);
    QByteArray whole;
    if (forTable.isEmpty() || encodeExactly(forTable, &whole))
        return whole;
#ifndef Q_OS_WIN
    if (replaceSubstitutes(forTable, &whole, missing))
        return whole;
#endif
    QByteArray out;
    out.reserve(forTable.size() * 2);
    encodeByHalves(forTable, &out, missing);
    return out;
}

// Single bytes that are no character of the code page.
constexpr bool isInvalidSingleByte(unsigned char byte)
{
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

// Control bytes ICU maps differently from Windows; they decode as
// themselves, as on Windows.
constexpr bool isSwappedControl(unsigned char byte)
{
    return byte == 0x1A || byte == 0x1C || byte == 0x7F;
}
} // namespace

QByteArray encode(QStringView text)
{
    return encodeMarking(text, nullptr);
}

QString unencodable(QStringView text)
{
    Unencodable missing;
    encodeMarking(text, &missing);
    return missing.chars;
}

bool endsInsideCharacter(QByteArrayView bytes)
{
    qsizetype leads = 0;
    while (leads < bytes.size() && isLeadByte(static_cast<unsigned char>(bytes[bytes.size() - 1 - leads])))
        ++leads;
    // Lead bytes are also trail bytes: after the last other byte they pair up.
    return leads % 2 == 1;
}

Decoder::Decoder() = default;

QString Decoder::decode(QByteArrayView bytes)
{
    QByteArray joined;
    if (!m_pending.isEmpty()) {
        joined = std::exchange(m_pending, QByteArray());
        joined += bytes;
        bytes = joined;
    }
    // Runs of whole, well-formed characters go to the converter in one
    // piece; what is no character, and the bytes the converters disagree
    // on, are decided here, the same on every platform.
    QString out;
    out.reserve(bytes.size());
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype runStart = 0;
    auto endRun = [&](qsizetype at) {
        if (at > runStart)
            decodeRun(bytes.sliced(runStart, at - runStart), &out);
    };
    qsizetype i = 0;
    while (i < size) {
        const unsigned char byte = data[i];
        if (isLeadByte(byte)) {
            if (i + 1 == size) {
                endRun(i);
                m_pending = QByteArray(1, char(byte));
                return out;
            }
            if (isTrailByte(data[i + 1])) {
                i += 2;
                continue;
            }
            // A lead byte without its trail: the next byte stands alone.
        } else if (!isInvalidSingleByte(byte) && !isSwappedControl(byte)) {
            ++i;
            continue;
        }
        endRun(i);
        out += isSwappedControl(byte) ? QChar(byte) : QChar(QChar::ReplacementCharacter);
        runStart = ++i;
    }
    endRun(size);
    return out;
}

#ifdef Q_OS_WIN
void Decoder::decodeRun(QByteArrayView run, QString *out)
{
    if (appendDecoded(run, out))
        return;
    // An undefined pair somewhere: one character at a time, each such pair
    // one replacement character.
    qsizetype i = 0;
    while (i < run.size()) {
        const qsizetype width = isLeadByte(static_cast<unsigned char>(run[i])) ? 2 : 1;
        if (!appendDecoded(run.sliced(i, width), out))
            *out += QChar(QChar::ReplacementCharacter);
        i += width;
    }
}
#else
void Decoder::decodeRun(QByteArrayView run, QString *out)
{
    // ASCII is itself; most destination names and addresses are nothing
    // else, and opening a converter costs more than reading them.
    if (std::all_of(run.begin(), run.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; })) {
        *out += QLatin1StringView(run.data(), run.size());
        return;
    }
    // The run holds whole characters only; ICU gives an undefined pair one
    // replacement character, as the Windows path does.
    if (!m_converter)
        m_converter.emplace(kCodecName);
    *out += m_converter->decode(run);
}
#endif

QString decode(QByteArrayView bytes)
{
    Decoder decoder;
    QString text = decoder.decode(bytes);
    if (decoder.isWaiting()) // the data ends inside a character
        text += QChar(QChar::ReplacementCharacter);
    return text;
}

} // namespace Cp932
