// Wire format (client side), code page 932, no framing of any kind:
//   entry request    "CanEnter?" name "/*/~" local-address
//   chat message     "NormalTel" text "/*/~" local-address
//   refresh request  "/Reflesh/" "/*/~" local-address
// Whatever the server sends before it pauses is one display update:
//   first-text "/*/" second-text
#include "chatsocket.h"

#include "codepage932.h"
#include "connectionending.h"
#include "socketliveness.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>

#include <utility>


ChatSocket::ChatSocket(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    m_quiet.setInterval(kQuietInterval);
    connect(&m_quiet, &QTimer::timeout, this, &ChatSocket::endBurst);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSeemsWhole + kQuietInterval);
    // A burst under way may still continue the update: its end decides.
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (m_burst.isEmpty())
            settle();
    });
    m_final.setSingleShot(true);
    m_final.setInterval(kFinalQuiet);
    connect(&m_final, &QTimer::timeout, this, [this] {
        if (m_burst.isEmpty())
            finish();
    });
    m_ackPoll.setInterval(250);
    connect(&m_ackPoll, &QTimer::timeout, this, &ChatSocket::checkAcknowledged);
    SocketLiveness::watchCloseReports();
}

ChatSocket::~ChatSocket()
{
    close();
}

bool ChatSocket::connectToRemote(QString *errorText)
{
    close();
    m_sent.clear();
    if (m_host.isEmpty() || m_port == 0) {
        if (errorText)
            *errorText = m_host.isEmpty() ? QStringLiteral("接続先のアドレスが設定されていません")
                                          : QStringLiteral("接続先のポートが設定されていません");
        return false;
    }
    m_endReported = false;
    m_wasConnected = false;
    m_streamEnd = 0;
    m_handedToSystem = 0;
    auto *socket = new QTcpSocket(this);
    // Read on as it comes rather than buffered whole: the socket's buffer
    // stays small and its memory is used again.
    socket->setReadBufferSize(kReadBuffer);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &ChatSocket::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &ChatSocket::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { m_handedToSystem += bytes; });
    connect(socket, &QTcpSocket::errorOccurred, this, &ChatSocket::onError);
    connect(socket, &QTcpSocket::disconnected, this, &ChatSocket::onDisconnected);
    socket->connectToHost(m_host, m_port);
    return true;
}

void ChatSocket::onConnected()
{
    m_wasConnected = true;
    m_descriptor = SocketLiveness::keepHandle(m_socket->socketDescriptor());
    SocketLiveness::forgetCloseReport(m_descriptor);
    m_unansweredSinceMs = -1;
    QString problem;
    if (!SocketLiveness::apply(m_socket->socketDescriptor(), &problem))
        qWarning("Wispleaf: a vanished hub may go unnoticed: %s", qPrintable(problem));
    emit connected();
}

bool ChatSocket::sendData(const QString &text, QString *errorText, const QString &userText)
{
    if (!isConnected()) {
        if (errorText)
            *errorText = QStringLiteral("接続されていません");
        return false;
    }
    const QByteArray bytes = Cp932::encode(text);
    if (m_socket->write(bytes) != bytes.size()) {
        if (errorText)
            *errorText = ConnectionEnding::words(ConnectionEnding::meaning(endReport(m_socket->error())),
                                                 m_socket->errorString());
        return false;
    }
    m_streamEnd += bytes.size();
    if (m_unansweredSinceMs < 0)
        m_unansweredSinceMs = nowMs();
    if (!userText.isEmpty()) {
        m_sent.add(userText, m_streamEnd, nowMs());
        m_ackPoll.start();
    }
    return true;
}

void ChatSocket::checkAcknowledged()
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        const qint64 unacknowledged = SocketLiveness::unacknowledgedBytes(m_socket->socketDescriptor());
        if (unacknowledged >= 0) {
            m_sent.acknowledgedUpTo(m_handedToSystem - unacknowledged);
        } else {
            // The system cannot tell: what was sent longer ago than the
            // system waits for an acknowledgement has arrived.
            using namespace std::chrono;
            m_sent.forgetSentBefore(nowMs() - duration_cast<milliseconds>(SocketLiveness::kUnacknowledgedLimit).count()
                                    - 5000);
        }
    }
    if (m_sent.isEmpty() || !isConnected())
        m_ackPoll.stop();
}

QStringList ChatSocket::takeUndelivered()
{
    return m_sent.take();
}

void ChatSocket::onReadyRead()
{
    gather();
    // A stream that does not pause is shown every kLongestBurst anyway,
    // and never gathers more than the bound.
    if (m_burstLastMs - m_burstFirstMs >= kLongestBurst.count() || m_burst.size() >= kMaxUpdateBytes)
        endBurst();
    else
        m_quiet.start();
}

void ChatSocket::gather()
{
    if (!m_socket)
        return;
    const qint64 available = m_socket->bytesAvailable();
    if (available <= 0)
        return;
    m_burstLastMs = nowMs();
    if (m_burst.isEmpty()) {
        m_burstFirstMs = m_burstLastMs;
        // Into the memory of an update no longer shown, where it is ours alone.
        m_burst = m_assembly.takeReplaced();
        m_burst.resize(0);
    }
    const qsizetype at = m_burst.size();
    m_burst.resize(at + available);
    m_burst.resize(at + std::max<qint64>(0, m_socket->read(m_burst.data() + at, available)));
    m_sent.hubDataArrived();
    m_unansweredSinceMs = -1;
}

void ChatSocket::endBurst()
{
    m_quiet.stop();
    if (m_burst.isEmpty())
        return;
    if (m_unfinished && !m_assembly.continues(m_burst, kMaxUpdateBytes)) {
        finish(); // a new update begins: the one before is whole
        if (!m_socket)
            return;
    }
    m_final.stop();
    if (m_assembly.add(std::exchange(m_burst, QByteArray()), kMaxUpdateBytes) == UpdateAssembly::Next::Show)
        deliverUpdate();
}

void ChatSocket::deliverUpdate()
{
    m_unsettled = true;
    m_unfinished = true;
    m_settle.start();
    emit dataArrival(m_assembly.bytes());
}

void ChatSocket::settle()
{
    if (!m_unsettled)
        return;
    m_settle.stop();
    m_unsettled = false;
    m_final.start();
    emit updateComplete();
}

void ChatSocket::finish()
{
    if (!m_unfinished)
        return;
    settle();
    if (!m_socket)
        return;
    m_final.stop();
    m_unfinished = false;
    emit updateFinal();
}

QString ChatSocket::getData() const
{
    // A lead byte at the end waits for its trail byte: not shown yet.
    return Cp932::Decoder().decode(m_assembly.update());
}

QString ChatSocket::localIP() const
{
    if (isConnected()) {
        bool isV4 = false;
        const quint32 v4 = m_socket->localAddress().toIPv4Address(&isV4);
        if (isV4)
            return QHostAddress(v4).toString();
        return m_socket->localAddress().toString();
    }
    // Not connected: the machine's own address, as the platform lists it.
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

void ChatSocket::close()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    m_quiet.stop();
    m_ackPoll.stop();
    m_settle.stop();
    m_final.stop();
    m_unsettled = false;
    m_unfinished = false;
    m_burst.clear();
    m_assembly.clear();
    // Our own handle first: on Linux it would keep the connection open.
    SocketLiveness::releaseHandle(std::exchange(m_descriptor, -1));
    // Cut the wires first: abort() would otherwise report our own close.
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

bool ChatSocket::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

ConnectionEnding::Report ChatSocket::endReport(QAbstractSocket::SocketError error) const
{
    return {error, SocketLiveness::closeReport(m_descriptor), m_wasConnected,
            m_unansweredSinceMs < 0 ? 0 : nowMs() - m_unansweredSinceMs};
}

void ChatSocket::onError()
{
    // A peer's close comes as this error followed by disconnected(); report
    // it once, from onDisconnected().
    if (!m_socket || m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    reportEnd(m_socket->error());
}

void ChatSocket::onDisconnected()
{
    reportEnd(QAbstractSocket::RemoteHostClosedError);
}

void ChatSocket::reportEnd(QAbstractSocket::SocketError error)
{
    if (m_endReported)
        return;
    m_endReported = true;
    using ConnectionEnding::Meaning;
    const Meaning meaning = ConnectionEnding::meaning(endReport(error));
    const bool byHub = meaning == Meaning::ClosedByHub || meaning == Meaning::ResetByHub;
    // What the hub may not have: a last look at what it acknowledged,
    // through the handle that is still ours.
    const SentMessages::End end = meaning == Meaning::ClosedByHub  ? SentMessages::End::ClosedByPeer
                                  : meaning == Meaning::ResetByHub ? SentMessages::End::ResetByPeer
                                                                   : SentMessages::End::Failed;
    m_sent.connectionEnded(end, SocketLiveness::unacknowledgedBytes(m_descriptor), m_handedToSystem);
    SocketLiveness::releaseHandle(std::exchange(m_descriptor, -1));
    const QString words = ConnectionEnding::words(meaning, m_socket->errorString());
    if (!deliverBeforeEnd())
        return;
    // The hub closed after its last words: nothing of them is missing.
    if (byHub) {
        finish();
        if (!m_socket)
            return;
    }
    if (byHub)
        emit closedByPeer();
    else
        emit errorOccurred(words);
}

bool ChatSocket::deliverBeforeEnd()
{
    gather();
    endBurst();
    m_settle.stop();
    m_final.stop();
    // The receiver may have closed us meanwhile; then nothing more is said.
    return m_socket != nullptr;
}
