// Wire format (client side), code page 932, no framing of any kind:
//   entry request    "CanEnter?" name "/*/~" local-address
//   chat message     "NormalTel" text "/*/~" local-address
//   refresh request  "/Reflesh/" "/*/~" local-address
// Whatever the server sends before it pauses is one display update:
//   first-text "/*/" second-text
#include "chatsocket.h"

#include "codepage932.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>

#include <utility>

namespace {
QString describe(const QTcpSocket &socket)
{
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
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    m_quiet.setInterval(kQuietInterval);
    connect(&m_quiet, &QTimer::timeout, this, &ChatSocket::deliverGathered);
}

ChatSocket::~ChatSocket()
{
    close();
}

bool ChatSocket::connectToRemote(QString *errorText)
{
    close();
    if (m_host.isEmpty() || m_port == 0) {
        if (errorText)
            *errorText = m_host.isEmpty() ? QStringLiteral("接続先のアドレスが設定されていません")
                                          : QStringLiteral("接続先のポートが設定されていません");
        return false;
    }
    m_decoder = Cp932::Decoder();
    m_endReported = false;
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &ChatSocket::connected);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        gather();
        if (m_gathered.size() >= kMaxGatheredChars)
            deliverGathered();
        else
            m_quiet.start();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, &ChatSocket::onError);
    connect(socket, &QTcpSocket::disconnected, this, &ChatSocket::onDisconnected);
    socket->connectToHost(m_host, m_port);
    return true;
}

bool ChatSocket::sendData(const QString &text, QString *errorText)
{
    if (!isConnected()) {
        if (errorText)
            *errorText = QStringLiteral("接続されていません");
        return false;
    }
    const QByteArray bytes = Cp932::encode(text);
    if (m_socket->write(bytes) != bytes.size()) {
        if (errorText)
            *errorText = describe(*m_socket);
        return false;
    }
    return true;
}

void ChatSocket::gather()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    m_gatheredBytes += bytes.size();
    m_gathered += m_decoder.decode(bytes);
}

void ChatSocket::deliverGathered()
{
    m_quiet.stop();
    if (m_gatheredBytes > 0)
        emit dataArrival(m_gatheredBytes);
}

QString ChatSocket::getData()
{
    m_quiet.stop();
    m_gatheredBytes = 0;
    return std::exchange(m_gathered, QString());
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
    m_gathered.clear();
    m_gatheredBytes = 0;
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
    const QString description = describe(*m_socket);
    if (deliverBeforeEnd())
        emit errorOccurred(description);
}

void ChatSocket::onDisconnected()
{
    if (m_endReported)
        return;
    m_endReported = true;
    if (deliverBeforeEnd())
        emit closedByPeer();
}

bool ChatSocket::deliverBeforeEnd()
{
    gather();
    deliverGathered();
    // The receiver may have closed us meanwhile; then nothing more is said.
    return m_socket != nullptr;
}
