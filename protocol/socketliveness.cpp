#include "socketliveness.h"

#include "connectionending.h"

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QHash>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace SocketLiveness {

namespace {
#ifdef Q_OS_WIN
// From the Windows SDK's ws2ipdef.h; older mingw-w64 headers lack them.
constexpr int kTcpMaxRetransmissionTime = 5; // TCP_MAXRT
constexpr int kTcpKeepCount = 16;            // TCP_KEEPCNT
constexpr int kWindowsDefaultProbes = 10;
using Handle = SOCKET;
QString lastError()
{
    return QStringLiteral("WSA error %1").arg(WSAGetLastError());
}
#else
using Handle = int;
QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

bool setOption(Handle socket, int level, int name, int value, const char *what, QString *errorText)
{
    if (setsockopt(socket, level, name, reinterpret_cast<const char *>(&value), sizeof value) == 0)
        return true;
    if (errorText) {
        if (!errorText->isEmpty())
            *errorText += QStringLiteral("; ");
        *errorText += QStringLiteral("%1: %2").arg(QLatin1String(what), lastError());
    }
    return false;
}
} // namespace

bool apply(qintptr socketDescriptor, QString *errorText)
{
    const auto socket = static_cast<Handle>(socketDescriptor);
    const int idle = int(kIdle.count());
    const int interval = int(kInterval.count());
    const int limit = int(kUnacknowledgedLimit.count());
    bool ok = setOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1, "SO_KEEPALIVE", errorText);
#ifdef Q_OS_WIN
    // Idle time and interval in milliseconds. The probe count can be set
    // from Windows 10 1703 on; elsewhere (and under Wine) Windows sends ten
    // probes, so they go at a shorter interval to give up as early.
    auto keepAliveEvery = [&](ULONG intervalMs) {
        tcp_keepalive values{1, ULONG(idle * 1000), intervalMs};
        DWORD returned = 0;
        return WSAIoctl(socket, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr) == 0;
    };
    if (ok && !keepAliveEvery(ULONG(interval * 1000))) {
        ok = false;
        if (errorText)
            *errorText = QStringLiteral("SIO_KEEPALIVE_VALS: %1").arg(lastError());
    }
    QString missing; // settings this system lacks, with their stand-ins
    if (ok && !setOption(socket, IPPROTO_TCP, kTcpKeepCount, kProbes, "TCP_KEEPCNT", &missing))
        ok = keepAliveEvery(ULONG(interval * 1000 * kProbes / kWindowsDefaultProbes));
    // Unacknowledged data: Windows gives up after five retransmissions
    // (about 20 s) by default; TCP_MAXRT makes it exact where it exists.
    if (!setOption(socket, IPPROTO_TCP, kTcpMaxRetransmissionTime, limit, "TCP_MAXRT", &missing))
        missing += QStringLiteral(" (the system's own limit applies)");
    if (ok && errorText)
        *errorText = missing;
#else
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, idle, "TCP_KEEPIDLE", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, interval, "TCP_KEEPINTVL", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPCNT, kProbes, "TCP_KEEPCNT", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, limit * 1000, "TCP_USER_TIMEOUT", errorText);
#endif
    return ok;
}

qint64 unacknowledgedBytes(qintptr socketDescriptor)
{
#ifdef Q_OS_LINUX
    int queued = 0;
    if (ioctl(int(socketDescriptor), SIOCOUTQ, &queued) == 0)
        return queued;
#else
    Q_UNUSED(socketDescriptor);
#endif
    return -1;
}

#ifdef Q_OS_WIN
namespace {
// Qt's event dispatcher has the system post socket events to its own
// window as WM_USER (WSAAsyncSelect), the event and its error in lParam;
// it shows each message to native event filters before it acts on it.
class CloseReports final : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType == "windows_dispatcher_MSG") {
            const MSG *msg = static_cast<const MSG *>(message);
            if (msg->message == WM_USER && WSAGETSELECTEVENT(msg->lParam) == FD_CLOSE)
                codes.insert(qintptr(msg->wParam), WSAGETSELECTERROR(msg->lParam));
        }
        return false;
    }
    QHash<qintptr, int> codes;
};

CloseReports &closeReports()
{
    static CloseReports reports;
    return reports;
}
} // namespace

void watchCloseReports()
{
    static bool watching = false;
    if (!watching && QCoreApplication::instance()) {
        QCoreApplication::instance()->installNativeEventFilter(&closeReports());
        watching = true;
    }
}

int closeReport(qintptr socketDescriptor)
{
    return closeReports().codes.value(socketDescriptor);
}

void forgetCloseReport(qintptr socketDescriptor)
{
    closeReports().codes.remove(socketDescriptor);
}
qintptr keepHandle(qintptr socketDescriptor)
{
    return socketDescriptor;
}

void releaseHandle(qintptr) {}
#else
qintptr keepHandle(qintptr socketDescriptor)
{
    return socketDescriptor < 0 ? -1 : ::fcntl(int(socketDescriptor), F_DUPFD_CLOEXEC, 0);
}

void releaseHandle(qintptr handle)
{
    if (handle >= 0)
        ::close(int(handle));
}

void watchCloseReports() {}

int closeReport(qintptr handle)
{
    // A close in order leaves our side waiting to close (CLOSE_WAIT); a
    // reset, or the system giving up, ends the connection at once.
    tcp_info info = {};
    socklen_t size = sizeof info;
    if (handle < 0 || getsockopt(int(handle), IPPROTO_TCP, TCP_INFO, &info, &size) != 0
        || info.tcpi_state != TCP_CLOSE)
        return 0;
    // Qt has read the error that ended it; what stays is the last soft
    // error, the reason why the retransmissions went unanswered (a reset
    // leaves none: progress clears it).
    int softError = 0;
    socklen_t length = sizeof softError;
    if (getsockopt(int(handle), SOL_SOCKET, SO_ERROR, &softError, &length) != 0)
        softError = 0;
    switch (softError) {
    case EHOSTUNREACH:
        return ConnectionEnding::kWsaHostUnreachable;
    case ENETUNREACH:
        return ConnectionEnding::kWsaNetUnreachable;
    case ENETDOWN:
        return ConnectionEnding::kWsaNetDown;
    case ETIMEDOUT:
        return ConnectionEnding::kWsaTimedOut;
    default:
        // Data still unacknowledged, or probes out, when it ended: the
        // system gave up on a silent peer. A reset empties both.
        return info.tcpi_unacked > 0 || info.tcpi_probes > 0 ? ConnectionEnding::kWsaTimedOut
                                                             : ConnectionEnding::kWsaConnReset;
    }
}

void forgetCloseReport(qintptr) {}
#endif

} // namespace SocketLiveness
