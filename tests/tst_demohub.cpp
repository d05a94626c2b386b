#include "chatroom.h"
#include "codepage932.h"
#include "hubserver.h"
#include "hubstreamparser.h"
#include "mainwindowharness.h"
#include "testsupport.h"

#include <QProcess>
#include <QTest>

using Kind = HubStreamParser::Kind;
using Parsed = QList<QStringList>; // kind, payload, address

namespace {
Parsed describe(const QList<HubStreamParser::Message> &messages)
{
    Parsed out;
    for (const auto &m : messages) {
        const QString kind = m.kind == Kind::Entry ? "entry" : m.kind == Kind::Chat ? "chat" : "refresh";
        out.append({kind, m.payload, m.address});
    }
    return out;
}

Parsed parseInTwo(const QByteArray &stream, qsizetype cut)
{
    HubStreamParser parser;
    QList<HubStreamParser::Message> messages = parser.feed(stream.left(cut));
    messages += parser.feed(stream.mid(cut));
    messages += parser.flush();
    return describe(messages);
}
} // namespace

class DemoHubTest final : public QObject
{
    Q_OBJECT
private slots:
    void streamParsing_data();
    void streamParsing();
    void oversizedMessageIsDropped();
    void roomUpdates();
    void twoClientsChatThroughTheHub();
    void refusesATakenPort();
};

void DemoHubTest::streamParsing_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Parsed>("expected");

    QTest::newRow("entry") << QByteArray("CanEnter?taro/*/~10.0.0.1") << Parsed{{"entry", "taro", "10.0.0.1"}};
    QTest::newRow("coalesced") << QByteArray("CanEnter?a/*/~1.2.3.4NormalTelhi/*/~1.2.3.4/Reflesh//*/~1.2.3.4")
                               << Parsed{{"entry", "a", "1.2.3.4"}, {"chat", "hi", "1.2.3.4"},
                                         {"refresh", "", "1.2.3.4"}};
    QTest::newRow("Japanese name") << Cp932::encode(QStringLiteral("CanEnter?太郎/*/~127.0.0.1NormalTelこんにちは/*/~127.0.0.1"))
                                   << Parsed{{"entry", "太郎", "127.0.0.1"}, {"chat", "こんにちは", "127.0.0.1"}};
    QTest::newRow("garbage around") << QByteArray("\xFF\x00junk/*/~NormalTelok/*/~1.1.1.1\x01\x02", 32)
                                    << Parsed{{"chat", "ok", "1.1.1.1"}};
    QTest::newRow("garbage only") << QByteArray("hello /*/ world") << Parsed{};
    QTest::newRow("no separator") << QByteArray("NormalTelnever ends") << Parsed{};
}

void DemoHubTest::streamParsing()
{
    QFETCH(QByteArray, stream);
    QFETCH(Parsed, expected);
    // The same result wherever one read ends and the next begins.
    for (qsizetype cut = 0; cut <= stream.size(); ++cut)
        QCOMPARE(parseInTwo(stream, cut), expected);
}

void DemoHubTest::oversizedMessageIsDropped()
{
    HubStreamParser parser;
    QByteArray huge = "NormalTel" + QByteArray(HubStreamParser::kMaxPending + 10, 'x');
    QVERIFY(parser.feed(huge).isEmpty());
    QVERIFY(parser.pendingBytes() <= HubStreamParser::kMaxPending);
    const auto after = parser.feed("more x/*/~1.1.1.1NormalTelfine/*/~2.2.2.2");
    const Parsed parsed = describe(after + parser.flush());
    QCOMPARE(parsed, (Parsed{{"chat", "fine", "2.2.2.2"}}));
}

void DemoHubTest::roomUpdates()
{
    ChatRoom room;
    QVERIFY(room.join(1, QStringLiteral("太郎")));
    QVERIFY(!room.join(1, QStringLiteral("again")));
    QVERIFY(!room.join(2, QString()));
    QVERIFY(room.join(2, QStringLiteral("花子")));
    QVERIFY(room.say(2, QStringLiteral("やあ\r\nどうも")));
    QVERIFY(!room.say(3, QStringLiteral("not a member")));
    QCOMPARE(room.displayUpdate(),
             QStringLiteral("太郎\r\n花子/*/（太郎さんが入室しました）\r\n（花子さんが入室しました）\r\n花子：やあ どうも"));
    QVERIFY(room.leave(1));
    QVERIFY(!room.leave(1));
    QVERIFY(room.displayUpdate().startsWith(QStringLiteral("花子/*/")));
    QVERIFY(room.displayUpdate().endsWith(QStringLiteral("（太郎さんが退室しました）")));
    for (int i = 0; i < ChatRoom::kMaxLines + 10; ++i)
        room.say(2, QString::number(i));
    QCOMPARE(room.displayUpdate().count(QStringLiteral("\r\n")), ChatRoom::kMaxLines - 1);
}

void DemoHubTest::twoClientsChatThroughTheHub()
{
    ScopedWorkDir dir;
    HubServer hub;
    QVERIFY(hub.listen(QHostAddress::LocalHost, 0));
    writeRecords({makeRecord(-1, "hub", "127.0.0.1")});
    MainWindowHarness taro(hub.port());
    MainWindowHarness hanako(hub.port());
    taro.Text1->setText(QStringLiteral("太郎"));
    hanako.Text1->setText(QStringLiteral("花子"));
    taro.Command2->click();
    hanako.Command2->click();
    QTRY_COMPARE_WITH_TIMEOUT(taro.Text4->toPlainText(), QStringLiteral("太郎\n花子"), 5000);

    taro.Text2->setText(QStringLiteral("こんにちは、花子さん"));
    taro.Command1->click();
    QTRY_VERIFY_WITH_TIMEOUT(hanako.Text3->toPlainText().endsWith(QStringLiteral("太郎：こんにちは、花子さん")), 5000);
    hanako.Text2->setText(QStringLiteral("やあ太郎"));
    QTest::keyClick(hanako.Text2, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(taro.Text3->toPlainText().endsWith(QStringLiteral("花子：やあ太郎")), 5000);

    hanako.Command3->click();
    QTRY_COMPARE_WITH_TIMEOUT(taro.Text4->toPlainText(), QStringLiteral("太郎"), 5000);
    QVERIFY(taro.Text3->toPlainText().endsWith(QStringLiteral("（花子さんが退室しました）")));
    QVERIFY(!hanako.window->isVisible());
}

void DemoHubTest::refusesATakenPort()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    QProcess hub;
    hub.start(QStringLiteral(DEMOHUB_EXE), {"--address", "127.0.0.1", "--port", QString::number(taken.serverPort())});
    QVERIFY(hub.waitForFinished(10000));
    QCOMPARE(hub.exitCode(), 1);
    const QString message = QString::fromLocal8Bit(hub.readAllStandardError());
    QVERIFY2(message.contains(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(taken.serverPort())),
             qPrintable(message));
}

QTEST_MAIN(DemoHubTest)
#include "tst_demohub.moc"
