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

// A handle of our own on a connected socket, taken when it connects: Qt
// closes its descriptor before it reports the end, and the number may then
// be another socket's or file's. Linux: a duplicate, which keeps the
// connection open until it is released; Windows: Qt's handle, whose close
// code is kept by watchCloseReports(). Release it as soon as the end is read.
qintptr keepHandle(qintptr socketDescriptor);
void releaseHandle(qintptr handle);

// Qt reports a reset by the peer, and on Windows a connection the system
// gave up on (probes or retransmissions unanswered), as if the peer had
// closed it. closeReport() gives the system's own code of the close, in
// Windows' terms on both platforms (kWsaConnReset for a reset), 0 when it
// closed in order or nothing is known. Windows sends the code with its
// close notification: watchCloseReports() keeps those (once per process,
// with an application object), and forgetCloseReport() drops what an
// earlier socket with the same handle left. Linux reads the state of the
// handle kept.
void watchCloseReports();
int closeReport(qintptr handle);
void forgetCloseReport(qintptr handle);

} // namespace SocketLiveness
