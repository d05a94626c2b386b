#include "socketliveness.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace SocketLiveness {

namespace {
#ifdef Q_OS_WIN
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
    if (errorText)
        *errorText = QStringLiteral("%1: %2").arg(QLatin1String(what), lastError());
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
    // Per-socket settings of Windows 10 and later; TCP_MAXRT bounds the
    // retransmission of sent data, in seconds.
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, idle, "TCP_KEEPIDLE", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, interval, "TCP_KEEPINTVL", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_KEEPCNT, kProbes, "TCP_KEEPCNT", errorText);
    ok = ok && setOption(socket, IPPROTO_TCP, TCP_MAXRT, limit, "TCP_MAXRT", errorText);
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

} // namespace SocketLiveness
