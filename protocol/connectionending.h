#pragma once

#include <QAbstractSocket>
#include <QString>

// How a chat connection ended, from what the socket reports, and the words
// the status bar shows for it: one table for Linux and Windows. A hub that
// closes or resets its side "closed the program" (a reset: with data its
// program never read); a hub whose PC no longer answers (keep-alive probes
// or retransmissions unanswered, or no way to it any more: no route, the
// host unreachable, the network down) "stopped answering", however the
// system reports it. Qt reports a reset, and on Windows a connection the system
// gave up on, like a close by the peer: the system's own code of that
// close (SocketLiveness::closeReport) tells them apart.
namespace ConnectionEnding {

// Windows' codes for how a connection ended (Wine gives the same).
inline constexpr int kWsaNetDown = 10050;
inline constexpr int kWsaNetUnreachable = 10051;
inline constexpr int kWsaNetReset = 10052;
inline constexpr int kWsaConnAborted = 10053;
inline constexpr int kWsaConnReset = 10054;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaHostUnreachable = 10065;

struct Report
{
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError; // as Qt reports it
    int systemCode = 0;        // the system's code of the close, 0: in order or not known
    bool wasConnected = false; // established before it ended
    qint64 unansweredMs = 0;   // since the first send the hub has not answered yet; 0: none waits
};

enum class Meaning {
    ClosedByHub,
    ResetByHub,
    HubStoppedAnswering,
    Refused,
    HostNotFound,
    ConnectTimedOut,
    NetworkError,
    Other
};

Meaning meaning(const Report &report);
// The status words; systemText names a failure the table does not.
QString words(Meaning meaning, const QString &systemText);

} // namespace ConnectionEnding
