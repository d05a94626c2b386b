// What a misbehaving server or a damaged destination file does to the
// client: it keeps running, says what happened, and loses nothing.
#include "destinationwindowharness.h"
#include "mainwindowharness.h"
#include "pcipfile.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QFileInfo>
#include <QTest>


namespace {
const QString kConnected = QStringLiteral(" 接続できました！通信できます。");
const QString kServerClosed = QStringLiteral("Wisphub側がプログラムを閉じました");
// Opens the destination window and counts the rows it shows.
int rowsInDestinationWindow()
{
    Form2 form;
    int rows = -1;
    whileOpen(form, [&](Controls &c) { rows = c.list->topLevelItemCount(); });
    return rows;
}
} // namespace

class FaultTest final : public QObject
{
    Q_OBJECT
private slots:
    void tenMegabytesAtOnce();
    void dataThenCloseAtOnce();
    void resetRightAfterAccept();
    void damagedFiles_data();
    void damagedFiles();
    void fileChangedDuringWait_data();
    void fileChangedDuringWait();
    void tooManyRecordsInTheWindow();
};

void FaultTest::tenMegabytesAtOnce()
{
    WindowWithServer fixture;
    QVERIFY(fixture.join(QStringLiteral("user")));
    LoopbackServer &server = fixture.server;
    MainWindowHarness &w = fixture.w;

    QByteArray flood;
    flood.reserve(10 * 1024 * 1024);
    while (flood.size() < 10 * 1024 * 1024)
        flood += "\x93\xfa\x96\x7b\x8c\xea and ASCII/*/\r\n";
    server.sendToAll(flood);
    QTRY_VERIFY_WITH_TIMEOUT(server.client(0)->bytesToWrite() == 0, 60000);
    QTest::qWait(200);
    // Still alive and still following the server.
    server.sendToAll("A/*/B");
    QTRY_COMPARE_WITH_TIMEOUT(w.Text4->toPlainText(), QStringLiteral("A"), 30000);
    QCOMPARE(w.Text3->toPlainText(), QStringLiteral("B"));
    QCOMPARE(w.status(), kConnected);
}

void FaultTest::dataThenCloseAtOnce()
{
    WindowWithServer fixture;
    QVERIFY(fixture.join(QStringLiteral("user")));
    LoopbackServer &server = fixture.server;
    MainWindowHarness &w = fixture.w;
    server.client(0)->write("last/*/words");
    server.client(0)->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(w.status(), kServerClosed, 5000);
    QCOMPARE(w.Text4->toPlainText(), QStringLiteral("last"));
    QCOMPARE(w.Text3->toPlainText(), QStringLiteral("words"));
    QVERIFY(w.Command2->isEnabled());
}

void FaultTest::resetRightAfterAccept()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, this, [&server] {
        QTcpSocket *socket = server.nextPendingConnection();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->abort(); // RST without a goodbye
        socket->deleteLater();
    });
    writeRecords({makeRecord(-1, "PC", "127.0.0.1")});
    MainWindowHarness w(server.serverPort());
    w.Text1->setText(QStringLiteral("user"));
    w.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.Command2->isEnabled(), 5000);
    QVERIFY(!w.status().isEmpty());
    QVERIFY(!w.Command1->isEnabled() || w.status() == kConnected);
    QVERIFY(!w.Text2->isEnabled());
}

void FaultTest::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("attempts"); // connections the scan makes
    const QByteArray marked = makeRecord(-1, "PC", "127.0.0.1").toBytes();
    QTest::newRow("truncated mid-record") << marked.left(20) << 0;
    QTest::newRow("whole record then half") << marked + marked.left(30) << 1;
    QByteArray oddMark = marked;
    oddMark[0] = 1;
    oddMark[1] = 0;
    QTest::newRow("odd Attempt value") << oddMark << 0;
    QTest::newRow("binary garbage") << QByteArray(37 * 3, '\xFF') << 0;
}

void FaultTest::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, attempts);
    ScopedWorkDir dir;
    writeFileBytes(bytes);
    MessageBoxWatcher boxes;
    LoopbackServer server;
    MainWindowHarness w(server.port());
    w.Text1->setText(QStringLiteral("user"));
    w.Command2->click();
    QTest::qWait(100);
    QCOMPARE(server.connectionCount(), attempts);
    QCOMPARE(readFileBytes(), bytes); // reading never changes the file
    // The destination window shows one row per whole record.
    const int rows = rowsInDestinationWindow();
    QCOMPARE(rows, int(bytes.size() / 37));
}

void FaultTest::fileChangedDuringWait_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("deleted") << "delete";
    QTest::newRow("replaced") << "replace";
}

void FaultTest::fileChangedDuringWait()
{
    QFETCH(QString, change);
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    AnsweredAndSilent hosts;
    QVERIFY(hosts.silent.isReady());
    writeRecords({makeRecord(-1, "silent", "127.0.0.2"), makeRecord(-1, "reachable", "127.0.0.1")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));
    QTimer::singleShot(500, w.window.get(), [&] {
        if (change == "delete") {
            QVERIFY(QFile::remove("PCIP.dat"));
        } else {
            QString error;
            QVERIFY(PcipFile::replaceAll("PCIP.dat", makeRecord(0, "new", "127.0.0.9").toBytes(), &error));
        }
    });
    w.Command2->click();
    // The scan goes on with the records it read; nothing breaks.
    QCOMPARE(w.status(), kConnected);
    QCOMPARE(hosts.server.connectionCount(), 1);
    QVERIFY(boxes.seen().isEmpty());
}

void FaultTest::tooManyRecordsInTheWindow()
{
    ScopedWorkDir dir;
    {
        QFile raw("PCIP.dat");
        QVERIFY(raw.open(QIODevice::WriteOnly));
        QVERIFY(raw.resize(32767 * 37));
    }
    MessageBoxWatcher boxes;
    const int rows = rowsInDestinationWindow();
    QCOMPARE(rows, 0);
    QCOMPARE(boxes.seen().size(), 1);
    QVERIFY(boxes.seen()[0].text.contains(QStringLiteral("32766")));
    QCOMPARE(QFileInfo("PCIP.dat").size(), 32767 * 37);
}

QTEST_MAIN(FaultTest)
#include "tst_faults.moc"
