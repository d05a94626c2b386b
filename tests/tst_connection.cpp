#include "mainwindowharness.h"
#include "testsupport.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>

namespace {
// Presses connect and samples the status text every 50 ms while the scan
// runs; `during` acts on the window once, 300 ms into the scan.
QStringList scanWithSamples(MainWindowHarness &w, const std::function<void()> &during = {})
{
    QStringList samples;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!w.window)
            return;
        if (samples.isEmpty() || samples.last() != w.status())
            samples.append(w.status());
        // Shown as text, never read as markup: as wide as the text itself.
        const auto *label = w.SB->findChild<QLabel *>();
        QVERIFY(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(w.status()));
    });
    sampler.start(50);
    if (during)
        QTimer::singleShot(300, w.window.get(), during);
    w.Command2->click();
    return samples;
}
} // namespace

class ConnectionTest final : public QObject
{
    Q_OBJECT
private slots:
    void scan_data();
    void scan();
    void unansweredWaitIsCheap();
    void flagsOfTheLastScanCarryOver();
    void resetRightAfterAccept();
};

void ConnectionTest::scan_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("during");      // what happens 300 ms into the scan, or a setup
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("whileWaiting"); // a status text seen during the scan
    QTest::addColumn<QString>("status");       // afterwards; "~x": contains x
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("waits"); // unanswered destinations: 2 to 3 s each

    const QStringList none;
    const QStringList unreachable{Say::checkSettings};
    const QStringList noList{Say::noSettings, Say::checkSettings};
    const QByteArray silent = recordBytes(-1, QStringLiteral("  遠いPC "), "127.0.0.2");
    const QByteArray answering = recordBytes(-1, QStringLiteral("近いPC"), "127.0.0.1");
    const QByteArray untried = recordBytes(-1, QStringLiteral("三番目"), "127.0.0.8");
    const QByteArray refusing = recordBytes(-1, "PC1", "127.0.0.4");
    QByteArray oddMark = answering;
    oddMark[0] = 1; // 01 00: neither mark, so not tried
    oddMark[1] = 0;

    QTest::newRow("no name: nothing tried") << QByteArray() << "no name" << QStringList{QStringLiteral("名前を入力してください")}
                                            << "" << "" << 0 << 0;
    QTest::newRow("a name character without a form: nothing tried")
        << answering << "emoji name" << QStringList{QString::fromUtf8("名前に使えない文字があります：「\xF0\x9F\x98\x80」")}
        << "" << "" << 0 << 0;
    QTest::newRow("answering after an unmarked record") << recordBytes(0, "skipped", "127.0.0.9") + answering << "" << none
                                                        << "" << Say::connected << 1 << 0;
    QTest::newRow("silent, then answering; the rest untried") << silent + answering + untried << "" << none
                                                              << QStringLiteral("「Wisphub」遠いPCに接続中")
                                                              << Say::connected << 1 << 1;
    QTest::newRow("refused: said while the wait runs on") << refusing << "" << unreachable << "拒否" << "" << 0 << 1;
    QTest::newRow("missing file") << QByteArray() << "missing" << noList << "" << "" << 0 << 0;
    QTest::newRow("empty file") << QByteArray("") << "" << noList << "" << "" << 0 << 0;
    QTest::newRow("no marked record") << recordBytes(0, "A", "127.0.0.1") + oddMark << "" << unreachable << "" << "" << 0 << 0;
    QTest::newRow("file is a directory") << QByteArray() << "directory" << QStringList{Say::noSettings} << ""
                                         << "~PCIP.dat" << 0 << 0;
    QTest::newRow("32,767 records") << QByteArray(32767 * 37, '\0') << "" << none << "" << "~32766" << 0 << 0;
    QTest::newRow("truncated mid-record") << answering.left(20) << "" << unreachable << "" << "" << 0 << 0;
    QTest::newRow("whole record, then half") << answering + answering.left(30) << "" << none << "" << Say::connected
                                             << 1 << 0;
    QTest::newRow("blank address: the request fails at once") << recordBytes(-1, "PC1", "") << "" << none << "" << "~"
                                                              << 0 << 0;
    // Each marked destination after it is still tried and waited for.
    QTest::newRow("blank address, then silent and answering")
        << recordBytes(-1, "PC1", "") + silent + answering << "" << none << "" << Say::connected << 1 << 1;
    QTest::newRow("blank address, then silent; pressed twice")
        << recordBytes(-1, "PC1", "") + silent << "twice" << QStringList{Say::checkSettings, Say::checkSettings} << ""
        << "~" << 0 << 2;
    // Decimal as the boxes show it: octal would read 008 as no number at all.
    QTest::newRow("leading zeros are decimal") << recordBytes(-1, "PC8", "127.000.000.008") << "" << none << ""
                                               << Say::connected << 1 << 0;
    QTest::newRow("binary garbage") << QByteArray(37, '\xFF') << "" << unreachable << "" << "" << 0 << 1;
    QTest::newRow("window closed during the wait") << silent << "close window" << none << "" << "" << 0 << 0;
    QTest::newRow("window deleted during the wait") << silent << "delete window" << none << "" << "" << 0 << 0;
    QTest::newRow("file deleted during the wait") << silent + answering << "delete file" << none << "" << Say::connected
                                                  << 1 << 1;
    QTest::newRow("a name that looks like markup") << recordBytes(-1, "<b>PC</b>&amp;", "127.0.0.2") << ""
                                                   << unreachable << QStringLiteral("「Wisphub」<b>PC</b>&amp;に接続中")
                                                   << "" << 0 << 1;
    QTest::newRow("second press during the wait is ignored") << refusing << "press again" << unreachable << "" << ""
                                                             << 0 << 1;
}

void ConnectionTest::scan()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, during);
    QFETCH(QStringList, boxes);
    QFETCH(QString, whileWaiting);
    QFETCH(QString, status);
    QFETCH(int, connections);
    QFETCH(int, waits);
    ScopedWorkDir dir;
    if (during == "directory") {
        QVERIFY(QDir().mkdir("PCIP.dat"));
    } else if (during != "missing" && during != "no name") {
        writeFileBytes(file);
    }
    ScanHosts hosts;
    QVERIFY(hosts.isReady());
    MessageBoxWatcher seen;
    MainWindowHarness w(hosts.port());
    w.Text1->setText(during == "no name"      ? QString()
                     : during == "emoji name" ? QString::fromUtf8("太郎\xF0\x9F\x98\x80")
                                              : QStringLiteral("太郎"));

    qint64 nestedMs = -1;
    const QMap<QString, std::function<void()>> actions{
        {"close window", [&] { w.find<QAction>("f11_0")->trigger(); }},
        {"delete window", [&] { w.window.reset(); }},
        {"delete file", [] { QVERIFY(QFile::remove("PCIP.dat")); }},
        {"press again",
         [&] {
             QElapsedTimer nested;
             nested.start();
             w.Command2->click();
             nestedMs = nested.elapsed();
         }},
    };
    QElapsedTimer clock;
    clock.start();
    QStringList samples = scanWithSamples(w, actions.value(during));
    if (during == "twice")
        samples += scanWithSamples(w);
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 2000 * waits && elapsed < 3000 * waits + 500, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    QCOMPARE(seen.texts(), boxes);
    for (const auto &box : seen.seen())
        QVERIFY(box.title.startsWith("Wispleaf") && box.icon == QMessageBox::Warning && box.format == Qt::PlainText);
    QCOMPARE(hosts.connections(), connections);
    if (!whileWaiting.isEmpty())
        QVERIFY2(samples.filter(whileWaiting).size() == 1, qPrintable(samples.join(" | ")));
    if (during == "press again")
        QVERIFY2(nestedMs >= 0 && nestedMs < 500, qPrintable(QString::number(nestedMs)));
    if (during == "close window") {
        QVERIFY(!w.window->isVisible());
        return;
    }
    if (during == "delete window")
        return;
    if (status.startsWith(u'~'))
        QVERIFY2(!w.status().isEmpty() && w.status().contains(status.mid(1)), qPrintable(w.status()));
    else
        QCOMPARE(w.status(), status);
    const bool joined = status == Say::connected;
    QCOMPARE(w.Command1->isEnabled(), joined);
    QCOMPARE(w.Command2->isEnabled(), !joined);
    QCOMPARE(w.Text2->isEnabled(), joined);
    if (joined) // where the user types next
        QCOMPARE(w.window->focusWidget(), w.Text2);
    if (joined) // the entry request: keyword, name in code page 932, separator, own address
        QTRY_COMPARE_WITH_TIMEOUT((hosts.answering.connectionCount() ? hosts.answering : hosts.spare).received(0),
                                  QByteArray("CanEnter?\x91\xBE\x98\x59/*/~127.0.0.1"), 5000);
    // A missing list is created; without a name it is not even looked for.
    QCOMPARE(QFile::exists("PCIP.dat"), during != "no name" && during != "delete file");
    // Reading the list never changes it.
    if (during.isEmpty() || during == "emoji name")
        QCOMPARE(readFileBytes(), file);
}

void ConnectionTest::unansweredWaitIsCheap()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    ScanHosts hosts;
    QVERIFY(hosts.isReady());
    writeRecords({makeRecord(-1, "PC", "127.0.0.2")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));

    // Each time the event loop goes to sleep is one wake-up afterwards. The
    // caret's blinking would wake it too.
    QApplication::setCursorFlashTime(0);
    const auto blinkAgain = qScopeGuard([] { QApplication::setCursorFlashTime(1000); });
    int sleeps = 0;
    const auto counting = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                  this, [&sleeps] { ++sleeps; });
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    w.Command2->click();
    const qint64 elapsed = clock.elapsed();
    const double cpu = processCpuSeconds() - cpuBefore;
    disconnect(counting);

    // Nothing else wakes the loop here, so the deadline alone ends the wait:
    // more than 2 whole seconds of the clock, at most 3 s.
    QVERIFY2(elapsed >= 2000 && elapsed < 3100, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    // Woken by events and the deadline only, never by a clock tick.
    QVERIFY2(sleeps < 10, qPrintable(QStringLiteral("%1 wake-ups").arg(sleeps)));
    QVERIFY2(cpu < 0.1, qPrintable(QStringLiteral("CPU %1 s").arg(cpu)));
    QCOMPARE(boxes.texts(), QStringList{Say::checkSettings});
}

void ConnectionTest::flagsOfTheLastScanCarryOver()
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
    QTRY_COMPARE_WITH_TIMEOUT(w.status(), Say::serverClosed, 5000);

    // No marked record: the earlier connection still counts, so nothing
    // visible happens.
    writeRecords({makeRecord(0, "PC1", "127.0.0.1")});
    w.Command2->click();
    QTest::qWait(100);
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(w.status(), Say::serverClosed);

    // A failed request sets the error flag; an empty file then brings only
    // its own message.
    writeRecords({makeRecord(-1, "PC1", "")});
    w.Command2->click();
    QVERIFY(!w.status().isEmpty());
    writeRecords({});
    w.Command2->click();
    QTest::qWait(50);
    QCOMPARE(boxes.texts(), QStringList{Say::noSettings});
    QCOMPARE(w.status(), QString());
}

void ConnectionTest::resetRightAfterAccept()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    ScanHosts hosts;
    QVERIFY(hosts.isReady());
    writeRecords({makeRecord(-1, "PC", "127.0.0.5")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));
    w.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.Command2->isEnabled(), 5000);
    QVERIFY(!w.status().isEmpty());
    QVERIFY(!w.Command1->isEnabled() || w.status() == Say::connected);
    QVERIFY(!w.Text2->isEnabled());
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
