#include "mainwindowharness.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QScopeGuard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QAbstractEventDispatcher>
#include <QTest>

namespace {
const QString kConnected = QStringLiteral(" 接続できました！通信できます。");
const QString kNoSettings = QStringLiteral("接続先の設定をしてから「接続/参加」ボタンを押してください");
const QString kCheckSettings = QStringLiteral("接続先の設定を確認してください");
const QString kCheckSettingsTitle = QStringLiteral("Wispleaf(接続できませんでした)");

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// Samples the status text while a scan is running.
QStringList statusDuringScan(MainWindowHarness &w, int everyMs)
{
    auto *texts = new QStringList;
    auto *timer = new QTimer(w.window.get());
    QObject::connect(timer, &QTimer::timeout, w.window.get(), [texts, &w] {
        if (texts->isEmpty() || texts->last() != w.status())
            texts->append(w.status());
    });
    timer->start(everyMs);
    w.Command2->click();
    timer->stop();
    delete timer;
    QStringList result = *texts;
    delete texts;
    return result;
}
} // namespace

class ConnectionTest final : public QObject
{
    Q_OBJECT
private slots:
    void startsDisconnected();
    void emptyNameIsRefused();
    void connectsAndJoins();
    void refusedConnection();
    void firstUnansweredThenSecond();
    void unansweredWaitIsCheap();
    void staleConnectedFlagAfterServerClose();
    void staleErrorFlagAfterFailedRequest();
    void scanOutcomes_data();
    void scanOutcomes();
    void closingDuringWait();
    void secondPressDuringWaitIsIgnored();
};

void ConnectionTest::startsDisconnected()
{
    ScopedWorkDir dir;
    MainWindowHarness w(5000);
    QVERIFY(w.Command2->isEnabled());
    QVERIFY(w.Text1->isEnabled());
    QVERIFY(!w.Command1->isEnabled());
    QVERIFY(!w.Command3->isEnabled());
    QVERIFY(!w.Text2->isEnabled());
    QCOMPARE(w.status(), QString());
    QVERIFY(!QFile::exists("PCIP.dat"));
}

void ConnectionTest::emptyNameIsRefused()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    MainWindowHarness w(5000);
    w.Command2->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.seen().size(), 1, 2000);
    const auto box = boxes.seen().first();
    QCOMPARE(box.text, QStringLiteral("名前を入力してください"));
    QCOMPARE(box.title, QStringLiteral("Wispleaf"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.format, Qt::PlainText);
    QVERIFY(!QFile::exists("PCIP.dat"));
    QVERIFY(w.Command2->isEnabled());
}

void ConnectionTest::connectsAndJoins()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    LoopbackServer server;
    writeRecords({makeRecord(0, "skipped", "127.0.0.9"), makeRecord(-1, "  PC1  ", "127.0.0.1")});
    MainWindowHarness w(server.port());
    w.Text1->setText(QStringLiteral("太郎"));
    w.Command2->click();

    QCOMPARE(w.status(), kConnected);
    QVERIFY(w.Command1->isEnabled());
    QVERIFY(w.Command3->isEnabled());
    QVERIFY(w.Text2->isEnabled());
    QVERIFY(!w.Command2->isEnabled());
    QCOMPARE(server.connectionCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.received(0), QByteArray("CanEnter?\x91\xBE\x98\x59/*/~127.0.0.1"), 5000);
    QTest::qWait(50);
    QVERIFY(boxes.seen().isEmpty());

    // The name goes to the server only once, in the entry request.
    w.Text1->setText(QStringLiteral("花子"));
    QTest::qWait(50);
    QCOMPARE(server.received(0), QByteArray("CanEnter?\x91\xBE\x98\x59/*/~127.0.0.1"));
}

void ConnectionTest::refusedConnection()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    writeRecords({makeRecord(-1, "PC1", "127.0.0.1")});
    MainWindowHarness w(closedPort());
    w.Text1->setText(QStringLiteral("太郎"));
    const QStringList statuses = statusDuringScan(w, 100);

    // The refusal shows while the wait runs on (a first sample may still
    // catch the attempt's own text), and is erased at its end.
    QVERIFY(!statuses.isEmpty() && statuses.size() <= 2);
    QVERIFY(statuses.last().contains(QStringLiteral("拒否")));
    if (statuses.size() == 2)
        QCOMPARE(statuses.first(), QStringLiteral("「Wisphub」PC1に接続中"));
    QCOMPARE(w.status(), QString());
    QVERIFY(w.Command2->isEnabled());
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen()[0].text, kCheckSettings);
    QCOMPARE(boxes.seen()[0].title, kCheckSettingsTitle);
    QCOMPARE(boxes.seen()[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes.seen()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void ConnectionTest::firstUnansweredThenSecond()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    AnsweredAndSilent hosts;
    QVERIFY(hosts.silent.isReady());
    LoopbackServer &server = hosts.server;
    LoopbackServer third(QHostAddress("127.0.0.3"), server.port());
    QVERIFY(third.isListening());
    writeRecords({makeRecord(-1, "遠いPC", "127.0.0.2"), makeRecord(-1, "近いPC", "127.0.0.1"),
                  makeRecord(-1, "三番目", "127.0.0.3")});
    MainWindowHarness w(server.port());
    w.Text1->setText(QStringLiteral("user"));

    QElapsedTimer clock;
    clock.start();
    const QStringList statuses = statusDuringScan(w, 50);
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 2000 && elapsed < 3500, qPrintable(QString::number(elapsed)));
    QCOMPARE(statuses.value(0), QStringLiteral("「Wisphub」遠いPCに接続中"));
    QCOMPARE(w.status(), kConnected);
    QVERIFY(w.Command1->isEnabled());
    QCOMPARE(server.connectionCount(), 1);
    QTest::qWait(100);
    QCOMPARE(third.connectionCount(), 0);
    QVERIFY(boxes.seen().isEmpty());
}

void ConnectionTest::unansweredWaitIsCheap()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    AnsweredAndSilent hosts;
    QVERIFY(hosts.silent.isReady());
    writeRecords({makeRecord(-1, "PC", "127.0.0.2")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));

    // Each time the event loop goes to sleep is one wake-up afterwards. The
    // caret's blinking would wake it too.
    QApplication::setCursorFlashTime(0);
    const auto blinkAgain = qScopeGuard([] { QApplication::setCursorFlashTime(1000); });
    int sleeps = 0;
    QElapsedTimer clock;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [&sleeps] { ++sleeps; });
    clock.start();
    const double cpuBefore = processCpuSeconds();
    w.Command2->click();
    const double cpu = processCpuSeconds() - cpuBefore;
    const qint64 elapsed = clock.elapsed();
    disconnect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, nullptr);

    QVERIFY2(elapsed >= 2000 && elapsed < 3500, qPrintable(QString::number(elapsed)));
    // Woken by events and the deadline only, never by a clock tick.
    QVERIFY2(sleeps < 10, qPrintable(QStringLiteral("%1 wake-ups").arg(sleeps)));
    QVERIFY2(cpu < 0.1, qPrintable(QStringLiteral("CPU %1 s").arg(cpu)));
    QCOMPARE(w.status(), QString());
    QCOMPARE(boxes.texts(), QStringList{kCheckSettings});
}

void ConnectionTest::staleConnectedFlagAfterServerClose()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    LoopbackServer server;
    writeRecords({makeRecord(-1, "PC1", "127.0.0.1")});
    MainWindowHarness w(server.port());
    w.Text1->setText(QStringLiteral("user"));
    w.Command2->click();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 5000);
    server.client(0)->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(w.status(), QStringLiteral("Wisphub側がプログラムを閉じました"), 5000);
    QVERIFY(w.Command2->isEnabled());
    QVERIFY(!w.Command1->isEnabled());
    QVERIFY(!w.Command3->isEnabled());
    QVERIFY(!w.Text2->isEnabled());

    // Records, none marked: the earlier connection still counts, so
    // nothing visible happens.
    writeRecords({makeRecord(0, "PC1", "127.0.0.1")});
    w.Command2->click();
    QTest::qWait(100);
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(w.status(), QStringLiteral("Wisphub側がプログラムを閉じました"));
}

void ConnectionTest::staleErrorFlagAfterFailedRequest()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    // A blank address: the connect request itself fails.
    writeRecords({makeRecord(-1, "PC1", "")});
    MainWindowHarness w(5000);
    w.Text1->setText(QStringLiteral("user"));
    QElapsedTimer clock;
    clock.start();
    w.Command2->click();
    QVERIFY(clock.elapsed() < 1500); // no wait after a failed request
    QVERIFY(!w.status().isEmpty());
    QTest::qWait(50);
    QVERIFY(boxes.seen().isEmpty());

    // The error flag is still set: an empty file brings only its own message.
    writeRecords({});
    w.Command2->click();
    QTest::qWait(50);
    QCOMPARE(boxes.texts(), QStringList{kNoSettings});
    QCOMPARE(w.status(), QString());
}

void ConnectionTest::scanOutcomes_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("statusEmpty");

    QTest::newRow("missing file") << "missing" << QStringList{kNoSettings, kCheckSettings} << true;
    QTest::newRow("empty file") << "empty" << QStringList{kNoSettings, kCheckSettings} << true;
    QTest::newRow("no marked record") << "unmarked" << QStringList{kCheckSettings} << true;
    QTest::newRow("file is a directory") << "directory" << QStringList{kNoSettings} << false;
    QTest::newRow("32,767 records") << "toomany" << QStringList{} << false;
}

void ConnectionTest::scanOutcomes()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, messages);
    QFETCH(bool, statusEmpty);
    ScopedWorkDir dir;
    if (setup == "empty") {
        writeRecords({});
    } else if (setup == "unmarked") {
        writeRecords({makeRecord(0, "A", "127.0.0.1"), makeRecord(1, "odd mark", "127.0.0.1")});
    } else if (setup == "directory") {
        QVERIFY(QDir().mkdir("PCIP.dat"));
    } else if (setup == "toomany") {
        QFile raw("PCIP.dat");
        QVERIFY(raw.open(QIODevice::WriteOnly));
        QVERIFY(raw.resize(32767 * 37));
    }
    MessageBoxWatcher boxes;
    MainWindowHarness w(5000);
    w.Text1->setText(QStringLiteral("user"));
    w.Command2->click();
    QTest::qWait(50);
    QCOMPARE(boxes.texts(), messages);
    QCOMPARE(w.status().isEmpty(), statusEmpty);
    QVERIFY(w.Command2->isEnabled());
    if (setup == "missing")
        QVERIFY(QFile::exists("PCIP.dat"));
}

void ConnectionTest::closingDuringWait()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    AnsweredAndSilent hosts;
    QVERIFY(hosts.silent.isReady());
    writeRecords({makeRecord(-1, "PC", "127.0.0.2")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));
    QAction *leave = w.window->findChild<QAction *>("f11_0");
    QVERIFY(leave);
    QTimer::singleShot(300, leave, &QAction::trigger);

    QElapsedTimer clock;
    clock.start();
    w.Command2->click();
    QVERIFY(clock.elapsed() < 1500);
    QVERIFY(!w.window->isVisible());
    QTest::qWait(50);
    QVERIFY(boxes.seen().isEmpty());
}

void ConnectionTest::secondPressDuringWaitIsIgnored()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    writeRecords({makeRecord(-1, "PC1", "127.0.0.1")});
    MainWindowHarness w(closedPort());
    w.Text1->setText(QStringLiteral("user"));
    qint64 nestedMs = -1;
    QTimer::singleShot(1000, w.window.get(), [&] {
        QVERIFY(w.Command2->isEnabled()); // the refusal re-enabled it
        QElapsedTimer nested;
        nested.start();
        w.Command2->click();
        nestedMs = nested.elapsed();
    });
    w.Command2->click();
    QVERIFY(nestedMs >= 0);
    QVERIFY2(nestedMs < 500, qPrintable(QString::number(nestedMs)));
    QCOMPARE(boxes.texts(), QStringList{kCheckSettings});
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
