#include "codepage932.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <utility>
#else
#include <QStringEncoder>
#endif

namespace Cp932 {

namespace {
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

QString decodeWhole(QByteArrayView bytes)
{
    const int length = int(bytes.size());
    const int chars = MultiByteToWideChar(kCodePage, 0, bytes.data(), length, nullptr, 0);
    QString text(chars, Qt::Uninitialized);
    MultiByteToWideChar(kCodePage, 0, bytes.data(), length, reinterpret_cast<wchar_t *>(text.data()), chars);
    return text;
}
#else
constexpr const char *kCodecName = "windows-31j";

bool encodeExactly(QStringView text, QByteArray *out)
{
    QStringEncoder encoder(kCodecName);
    *out = encoder.encode(text);
    return !encoder.hasError();
}
#endif
} // namespace

QByteArray encode(QStringView text)
{
    QByteArray whole;
    if (text.isEmpty() || encodeExactly(text, &whole))
        return whole;

    // Rare path: one code point at a time, each without a form becoming a
    // single "?" (a surrogate pair too), as the Windows ANSI conversion does.
    QByteArray out;
    out.reserve(text.size() * 2);
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                                  ? 2 : 1;
        QByteArray bytes;
        out += encodeExactly(text.mid(i, len), &bytes) ? bytes : QByteArray("?");
        i += len;
    }
    return out;
}

#ifdef Q_OS_WIN
Decoder::Decoder() = default;

QString Decoder::decode(QByteArrayView bytes)
{
    QByteArray whole = std::exchange(m_pending, QByteArray());
    whole += bytes;
    // Walk the characters; a lead byte in the last place waits for its trail.
    qsizetype at = 0;
    while (at < whole.size())
        at += isLeadByte(static_cast<unsigned char>(whole[at])) ? 2 : 1;
    if (at > whole.size()) {
        m_pending = whole.right(1);
        whole.chop(1);
    }
    return whole.isEmpty() ? QString() : decodeWhole(whole);
}
#else
Decoder::Decoder()
    : m_decoder(kCodecName)
{
}

QString Decoder::decode(QByteArrayView bytes)
{
    return m_decoder.decode(bytes);
}
#endif

QString decode(QByteArrayView bytes)
{
    return Decoder().decode(bytes);
}

} // namespace Cp932
