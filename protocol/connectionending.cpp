#include "connectionending.h"

#include "socketliveness.h"

#include <algorithm>
#include <chrono>

namespace ConnectionEnding {

namespace {
// An abort counts as the hub's silence only once the connection has been
// quiet for as long as the liveness checks take at the least.
constexpr qint64 kQuietBeforeGivingUpMs =
    std::chrono::duration_cast<std::chrono::milliseconds>(std::min<std::chrono::seconds>(SocketLiveness::kIdle, SocketLiveness::kUnacknowledgedLimit))
        .count();

// What the system's code of a close says, where Qt saw only a close.
Meaning fromSystemCode(const Report &report, Meaning otherwise)
{
    switch (report.systemCode) {
    case 0:
        return otherwise;
    case kWsaConnReset:
        return Meaning::ClosedByHub;
    case kWsaTimedOut:
    case kWsaNetReset:
        return Meaning::HubStoppedAnswering;
    case kWsaConnAborted:
        return report.quietMs >= kQuietBeforeGivingUpMs ? Meaning::HubStoppedAnswering : Meaning::Other;
    default:
        return Meaning::Other;
    }
}
} // namespace

Meaning meaning(const Report &report)
{
    switch (report.error) {
    case QAbstractSocket::RemoteHostClosedError:
        return fromSystemCode(report, Meaning::ClosedByHub);
    case QAbstractSocket::SocketTimeoutError:
        return report.wasConnected ? Meaning::HubStoppedAnswering : Meaning::ConnectTimedOut;
    case QAbstractSocket::NetworkError:
        return report.wasConnected ? fromSystemCode(report, Meaning::NetworkError) : Meaning::NetworkError;
    case QAbstractSocket::ConnectionRefusedError:
        return Meaning::Refused;
    case QAbstractSocket::HostNotFoundError:
        return Meaning::HostNotFound;
    default:
        return Meaning::Other;
    }
}

QString words(Meaning meaning, const QString &systemText)
{
    switch (meaning) {
    case Meaning::ClosedByHub:
        return QStringLiteral("Wisphub側がプログラムを閉じました");
    case Meaning::HubStoppedAnswering:
        return QStringLiteral("Wisphubから応答がなくなりました");
    case Meaning::Refused:
        return QStringLiteral("接続が拒否されました");
    case Meaning::HostNotFound:
        return QStringLiteral("接続先が見つかりません");
    case Meaning::ConnectTimedOut:
        return QStringLiteral("接続がタイムアウトしました");
    case Meaning::NetworkError:
        return QStringLiteral("ネットワークエラーが発生しました（%1）").arg(systemText);
    case Meaning::Other:
        break;
    }
    return QStringLiteral("通信エラーが発生しました（%1）").arg(systemText);
}

} // namespace ConnectionEnding
