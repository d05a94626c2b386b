#include "chatsocket.h"
#include "codepage932.h"
#include "probes.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class ChatSocketTest final : public QObject
{
    Q_OBJECT
private slots:
    void endOfConnection_data();
    void endOfConnection();
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

void connectTo(ChatSocket &socket, quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
{
    socket.setRemoteHost(host);
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

void ChatSocketTest::endOfConnection_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("closes"); // notifications of the peer's close
    QTest::addColumn<int>("errors");
    QTest::addColumn<QString>("data"); // what getData() gives afterwards
    QTest::newRow("the peer closes after last words") << "peer closes" << 1 << 0 << "last words";
    QTest::newRow("our own close is silent") << "own close" << 0 << 0 << "";
    QTest::newRow("refused") << "refused" << 0 << 1 << "";
}

void ChatSocketTest::endOfConnection()
{
    QFETCH(QString, how);
    QFETCH(int, closes);
    QFETCH(int, errors);
    QFETCH(QString, data);
    if (how == "refused" && runningUnderWine())
        QSKIP("Wine never reports a refused non-blocking connect to Qt (Windows does, after about 2 s)");
    ConnectedPair pair;
    if (how == "refused") {
        connectTo(pair.socket, pair.server.port(), QStringLiteral("127.0.0.4")); // nothing listens there
    } else {
        QVERIFY(pair.connect());
    }
    if (how == "peer closes") {
        pair.peer()->write("last words");
        pair.peer()->disconnectFromHost();
    } else if (how == "own close") {
        pair.socket.close();
        pair.socket.close(); // closing a closed socket is allowed
        pair.server.sendToAll("too late");
    }
    QTRY_COMPARE_WITH_TIMEOUT(pair.spies.closed.size() + pair.spies.error.size(), closes + errors, 5000);
    QTest::qWait(200);
    QCOMPARE(pair.spies.closed.size(), closes);
    QCOMPARE(pair.spies.error.size(), errors);
    QCOMPARE(pair.socket.getData(), data);
    QCOMPARE(pair.spies.data.isEmpty(), data.isEmpty());
    QVERIFY(!pair.socket.isConnected());
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
