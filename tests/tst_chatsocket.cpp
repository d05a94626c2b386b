#include "chatsocket.h"
#include "codepage932.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class ChatSocketTest final : public QObject
{
    Q_OBJECT
private slots:
    void peerCloseIsOneCloseNotification();
    void ownCloseIsSilent();
    void refusedConnectionIsOneError();
    void updateCutAnywhereArrivesWhole();
    void requestsThatCannotStart_data();
    void requestsThatCannotStart();
};

namespace {
struct Spies
{
    explicit Spies(ChatSocket *socket)
        : connected(socket, &ChatSocket::connected)
        , data(socket, &ChatSocket::dataArrival)
        , closed(socket, &ChatSocket::closedByPeer)
        , error(socket, &ChatSocket::errorOccurred)
    {
    }
    QSignalSpy connected, data, closed, error;
};

void connectTo(ChatSocket &socket, quint16 port)
{
    socket.setRemoteHost(QStringLiteral("127.0.0.1"));
    socket.setRemotePort(port);
    QVERIFY(socket.connectToRemote());
}

// A ChatSocket connected to a loopback peer that the test drives.
struct ConnectedPair
{
    bool connect()
    {
        connectTo(socket, server.port());
        return spies.connected.wait(5000)
               && QTest::qWaitFor([this] { return server.connectionCount() == 1; }, 5000);
    }
    QTcpSocket *peer() const { return server.client(0); }

    LoopbackServer server;
    ChatSocket socket;
    Spies spies{&socket};
};
} // namespace

void ChatSocketTest::peerCloseIsOneCloseNotification()
{
    ConnectedPair pair;
    QVERIFY(pair.connect());
    Spies &spies = pair.spies;
    ChatSocket &socket = pair.socket;
    pair.peer()->write("last words");
    pair.peer()->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(spies.closed.size(), 1, 5000);
    QTest::qWait(100);
    QCOMPARE(spies.closed.size(), 1);
    QCOMPARE(spies.error.size(), 0);
    QVERIFY(spies.data.size() >= 1);
    QCOMPARE(socket.getData(), QStringLiteral("last words"));
}

void ChatSocketTest::ownCloseIsSilent()
{
    ConnectedPair pair;
    QVERIFY(pair.connect());
    Spies &spies = pair.spies;
    ChatSocket &socket = pair.socket;
    socket.close();
    socket.close(); // closing a closed socket is allowed
    pair.server.sendToAll("too late");
    QTest::qWait(200);
    QCOMPARE(spies.closed.size(), 0);
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(spies.data.size(), 0);
    QVERIFY(!socket.isConnected());
}

void ChatSocketTest::refusedConnectionIsOneError()
{
    if (runningUnderWine())
        QSKIP("Wine never reports a refused non-blocking connect to Qt (Windows does, after about 2 s)");
    quint16 freePort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        freePort = probe.serverPort();
    }
    ChatSocket socket;
    Spies spies(&socket);
    connectTo(socket, freePort);
    QVERIFY(spies.error.wait(5000));
    QTest::qWait(100);
    QCOMPARE(spies.error.size(), 1);
    QVERIFY(!spies.error.at(0).at(0).toString().isEmpty());
    QCOMPARE(spies.closed.size(), 0);
    QCOMPARE(spies.connected.size(), 0);
}

void ChatSocketTest::updateCutAnywhereArrivesWhole()
{
    ConnectedPair pair;
    QVERIFY(pair.connect());
    Spies &spies = pair.spies;
    ChatSocket &socket = pair.socket;
    QTcpSocket *peer = pair.peer();

    // Cuts inside double-byte characters and at every byte of "/*/".
    const QString update = QStringLiteral("太郎\r\n花子/*/太郎: こんにちは");
    const QByteArray bytes = Cp932::encode(update);
    for (int cut = 1; cut < bytes.size(); ++cut) {
        spies.data.clear();
        peer->write(bytes.left(cut));
        peer->flush();
        QTest::qWait(10); // the first piece is read on its own
        peer->write(bytes.mid(cut));
        peer->flush();
        QElapsedTimer sinceLastPiece;
        sinceLastPiece.start();
        QVERIFY2(spies.data.wait(2000), qPrintable(QStringLiteral("cut at byte %1").arg(cut)));
        QVERIFY(sinceLastPiece.elapsed() < 1000);
        QCOMPARE(socket.getData(), update);
        QCOMPARE(spies.data.size(), 1);
    }
}

void ChatSocketTest::requestsThatCannotStart_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("no host") << QString() << 5000;
    QTest::newRow("no port") << QStringLiteral("127.0.0.1") << 0;
}

void ChatSocketTest::requestsThatCannotStart()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    ChatSocket socket;
    socket.setRemoteHost(host);
    socket.setRemotePort(quint16(port));
    QString error;
    QVERIFY(!socket.connectToRemote(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!socket.sendData(QStringLiteral("x"), &error));
}

QTEST_GUILESS_MAIN(ChatSocketTest)
#include "tst_chatsocket.moc"
