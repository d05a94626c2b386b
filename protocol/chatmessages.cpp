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

} // namespace ChatMessages
