// Wire format (client side), code page 932, no framing of any kind:
//   entry request    "CanEnter?" name "/*/~" local-address
//   chat message     "NormalTel" text "/*/~" local-address
//   refresh request  "/Reflesh/" "/*/~" local-address
// Whatever the server sends before it pauses is one display update:
//   first-text "/*/" second-text
#include "chatsocket.h"

#include "codepage932.h"
#include "socketliveness.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>

#include <utility>

namespace {
QString describe(const QTcpSocket &socket, bool wasConnected)
{
    // An established connection that times out: the hub stopped answering
    // (its PC lost power, a cable was pulled), as the liveness checks found.
    if (wasConnected && socket.error() == QAbstractSocket::SocketTimeoutError)
        return QStringLiteral("Wisphubから応答がなくなりました");
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("接続が拒否されました");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("接続先が見つかりません");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("接続がタイムアウトしました");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("ネットワークエラーが発生しました（%1）").arg(socket.errorString());
    default:
        return QStringLiteral("通信エラーが発生しました（%1）").arg(socket.errorString());
    }
}
} // namespace

ChatSocket::ChatSocket(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    m_quiet.setInterval(kQuietInterval);
    connect(&m_quiet, &QTimer::timeout, this, &ChatSocket::endBurst);
    m_waitRest.setSingleShot(true);
    m_waitRest.setInterval(UpdateAssembly::kContinuation);
    connect(&m_waitRest, &QTimer::timeout, this, &ChatSocket::deliverUpdate);
    m_ackPoll.setInterval(250);
    connect(&m_ackPoll, &QTimer::timeout, this, &ChatSocket::checkAcknowledged);
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
    m_decoder = Cp932::Decoder();
    m_endReported = false;
    m_wasConnected = false;
    m_streamEnd = 0;
    m_handedToSystem = 0;
    auto *socket = new QTcpSocket(this);
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
            *errorText = describe(*m_socket, true);
        return false;
    }
    m_streamEnd += bytes.size();
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
    if (m_burstLastMs - m_burstFirstMs >= kLongestBurst.count() || m_burst.size() >= kMaxGatheredChars)
        endBurst();
    else
        m_quiet.start();
}

void ChatSocket::gather()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return;
    m_burstLastMs = nowMs();
    if (m_burstBytes == 0)
        m_burstFirstMs = m_burstLastMs;
    m_burstBytes += bytes.size();
    m_burst += m_decoder.decode(bytes);
    m_sent.hubDataArrived();
}

void ChatSocket::endBurst()
{
    m_quiet.stop();
    if (m_burstBytes == 0)
        return;
    const UpdateAssembly::Next next = m_assembly.add(std::exchange(m_burst, QString()), std::exchange(m_burstBytes, 0),
                                                     m_burstFirstMs, m_burstLastMs, kMaxGatheredChars);
    if (next == UpdateAssembly::Next::Show)
        deliverUpdate();
    else
        m_waitRest.start();
}

void ChatSocket::deliverUpdate()
{
    m_waitRest.stop();
    if (m_assembly.bytes() > 0)
        emit dataArrival(m_assembly.bytes());
}

QString ChatSocket::getData()
{
    return m_assembly.update();
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
    m_waitRest.stop();
    m_ackPoll.stop();
    m_burst.clear();
    m_burstBytes = 0;
    m_assembly.clear();
    // Cut the wires first: abort() would otherwise report our own close.
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

bool ChatSocket::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void ChatSocket::onError()
{
    // A peer's close comes as this error followed by disconnected(); report
    // it once, as a close, from onDisconnected().
    if (!m_socket || m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    if (m_endReported)
        return;
    m_endReported = true;
    // A last look at what the hub acknowledged, while the socket is still
    // there to ask.
    m_sent.connectionEnded(SentMessages::End::Failed, SocketLiveness::unacknowledgedBytes(m_socket->socketDescriptor()),
                           m_handedToSystem);
    const QString description = describe(*m_socket, m_wasConnected);
    if (deliverBeforeEnd())
        emit errorOccurred(description);
}

void ChatSocket::onDisconnected()
{
    if (m_endReported)
        return;
    m_endReported = true;
    m_sent.connectionEnded(SentMessages::End::ClosedByPeer, SentMessages::kCannotTell, m_handedToSystem);
    if (deliverBeforeEnd())
        emit closedByPeer();
}

bool ChatSocket::deliverBeforeEnd()
{
    gather();
    endBurst();
    // The rest of an update without "/*/" will not come now.
    if (m_waitRest.isActive())
        deliverUpdate();
    // The receiver may have closed us meanwhile; then nothing more is said.
    return m_socket != nullptr;
}
