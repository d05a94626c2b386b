#include "connectionending.h"

#include "socketliveness.h"

#include <algorithm>
#include <chrono>

namespace ConnectionEnding {

namespace {
// Windows reports a connection its retransmissions gave up on now as timed
// out, now as aborted, as it reports an abort of its own. An abort counts as
// the hub's silence only when a send has waited 10 s for the hub's answer:
// the retransmissions give up no sooner (15 s where TCP_MAXRT sets
// SocketLiveness::kUnacknowledgedLimit, five retransmissions, 13 s or more,
// where it is missing). In an idle chat nothing waits, so a local abort
// there is never taken for the hub's silence (keep-alive probes that go
// unanswered are reported as a network reset instead).
constexpr qint64 kUnansweredBeforeGivingUpMs = 10000;
static_assert(kUnansweredBeforeGivingUpMs
              <= std::chrono::duration_cast<std::chrono::milliseconds>(SocketLiveness::kUnacknowledgedLimit).count());

// What the system's code of a close says, where Qt saw only a close.
Meaning fromSystemCode(const Report &report, Meaning otherwise)
{
    switch (report.systemCode) {
    case 0:
        return otherwise;
    case kWsaConnReset:
        return Meaning::ResetByHub;
    case kWsaTimedOut:
    case kWsaNetReset:
    case kWsaNetDown:
    case kWsaNetUnreachable:
    case kWsaHostUnreachable:
        return Meaning::HubStoppedAnswering;
    case kWsaConnAborted:
        return report.unansweredMs >= kUnansweredBeforeGivingUpMs ? Meaning::HubStoppedAnswering : Meaning::Other;
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
    case Meaning::ResetByHub:
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
