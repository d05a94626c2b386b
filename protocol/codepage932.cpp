#include "codepage932.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <utility>
#else
#include <QStringEncoder>
#endif

namespace Cp932 {

#ifdef Q_OS_WIN
namespace {
constexpr UINT kCodePage = 932;

QString decodeWhole(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    const int length = int(bytes.size());
    const int chars = MultiByteToWideChar(kCodePage, 0, bytes.data(), length, nullptr, 0);
    QString text(chars, Qt::Uninitialized);
    MultiByteToWideChar(kCodePage, 0, bytes.data(), length, reinterpret_cast<wchar_t *>(text.data()), chars);
    return text;
}
} // namespace

QByteArray encode(QStringView text)
{
    if (text.isEmpty())
        return {};
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    // No best fit: a character without a code-page-932 form becomes "?".
    const int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, "?", nullptr);
    return bytes;
}

QString decode(QByteArrayView bytes)
{
    return decodeWhole(bytes);
}

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
    return decodeWhole(whole);
}

#else

namespace {
constexpr const char *kCodecName = "windows-31j";
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(kCodecName);
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError())
        return whole;

    // Rare path: redo it one code point at a time to substitute "?".
    QByteArray out;
    out.reserve(text.size() * 2);
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()
                               && text[i + 1].isLowSurrogate()) ? 2 : 1;
        QStringEncoder single(kCodecName);
        const QByteArray bytes = single.encode(text.mid(i, len));
        out += single.hasError() ? QByteArray("?") : bytes;
        i += len;
    }
    return out;
}

QString decode(QByteArrayView bytes)
{
    return Decoder().decode(bytes);
}

Decoder::Decoder()
    : m_decoder(kCodecName)
{
}

QString Decoder::decode(QByteArrayView bytes)
{
    return m_decoder.decode(bytes);
}

#endif

} // namespace Cp932
