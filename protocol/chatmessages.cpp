#include "chatmessages.h"

namespace ChatMessages {

namespace {
QString compose(QStringView keyword, const QString &payload, const QString &localAddress)
{
    QString message;
    message.reserve(keyword.size() + payload.size() + kClientSeparator.size() + localAddress.size());
    message += keyword;
    message += payload;
    message += kClientSeparator;
    message += localAddress;
    return message;
}
} // namespace

QString entryRequest(const QString &userName, const QString &localAddress)
{
    return compose(u"CanEnter?", userName, localAddress);
}

QString chatMessage(const QString &text, const QString &localAddress)
{
    return compose(u"NormalTel", text, localAddress);
}

QString refreshRequest(const QString &localAddress)
{
    return compose(u"/Reflesh/", QString(), localAddress);
}

DisplayUpdate splitDisplayUpdate(QStringView received)
{
    const qsizetype at = received.indexOf(kUpdateSeparator);
    if (at < 0)
        return {};
    return {received.first(at), received.sliced(at + kUpdateSeparator.size()), true};
}

QString forDisplay(QStringView text)
{
    // One pass, one copy.
    QString shown(text.size(), Qt::Uninitialized);
    QChar *out = shown.data();
    const QChar *in = text.data();
    const QChar *const end = in + text.size();
    while (in != end) {
        const QChar c = *in++;
        if (c == u'\r') {
            *out++ = u'\n';
            if (in != end && *in == u'\n')
                ++in;
        } else {
            *out++ = c;
        }
    }
    shown.truncate(out - shown.constData());
    return shown;
}

} // namespace ChatMessages
