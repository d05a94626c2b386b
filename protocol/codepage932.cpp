#include "codepage932.h"

namespace Cp932 {
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

QStringDecoder makeDecoder()
{
    return QStringDecoder(kCodecName);
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder = makeDecoder();
    return decoder.decode(bytes);
}

} // namespace Cp932
