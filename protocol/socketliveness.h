#pragma once

#include <QString>

#include <chrono>

// A hub whose PC loses power or whose cable is pulled sends nothing more:
// no close, no reset. Without help the connection would look alive for
// ever when idle, and for about 15 minutes after a send. These settings
// make the system give up on such a connection quickly and report it as an
// error, while a hub that merely stays silent (it answers the probes) is
// never dropped.
namespace SocketLiveness {

// An idle connection is probed after kIdle, then every kInterval, and given
// up after kProbes probes without an answer.
inline constexpr std::chrono::seconds kIdle{10};
inline constexpr std::chrono::seconds kInterval{5};
inline constexpr int kProbes = 3;
// Sent data that stays unacknowledged this long ends the connection.
inline constexpr std::chrono::seconds kUnacknowledgedLimit{15};

// Applies the settings to a connected socket; false with a description
// when the system refused one of them. Where an optional setting is
// missing and a stand-in took its place, true, and errorText names it.
bool apply(qintptr socketDescriptor, QString *errorText = nullptr);

// Bytes handed to the system that the peer has not acknowledged yet, or -1
// where the platform cannot tell.
qint64 unacknowledgedBytes(qintptr socketDescriptor);

// Windows reports a connection it gave up on (probes or retransmissions
// unanswered) to Qt as if the peer had closed it; the system's own code
// comes with its close notification. watchCloseReports() keeps those codes
// (once per process, with an application object); closeReport() gives a
// socket's, 0 when it closed in order or nothing is known (always so
// elsewhere, where Qt reports such an end as an error of its own).
// forgetCloseReport() drops what an earlier socket with the same handle left.
void watchCloseReports();
int closeReport(qintptr socketDescriptor);
void forgetCloseReport(qintptr socketDescriptor);

} // namespace SocketLiveness
