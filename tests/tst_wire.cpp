#include "chatmessages.h"
#include "codepage932.h"

#include <QTest>

using namespace ChatMessages;

class WireTest final : public QObject
{
    Q_OBJECT
private slots:
    void clientMessages_data();
    void clientMessages();
    void displayUpdateSplit_data();
    void displayUpdateSplit();
    void codePage932_data();
    void codePage932();
};

void WireTest::clientMessages_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");

    const QString address = QStringLiteral("192.168.0.5");
    // 太郎 in code page 932: 91 BE 98 59.
    QTest::newRow("entry, Japanese name") << entryRequest(QStringLiteral("太郎"), address)
                                          << QByteArray("CanEnter?\x91\xBE\x98\x59/*/~192.168.0.5");
    QTest::newRow("chat abc") << chatMessage(QStringLiteral("abc"), address)
                              << QByteArray("NormalTelabc/*/~192.168.0.5");
    QTest::newRow("chat one space") << chatMessage(QStringLiteral(" "), address)
                                    << QByteArray("NormalTel /*/~192.168.0.5");
    QTest::newRow("chat carrying separators") << chatMessage(QStringLiteral("a/*/~b/*/c"), address)
                                              << QByteArray("NormalTela/*/~b/*/c/*/~192.168.0.5");
    QTest::newRow("refresh") << refreshRequest(address) << QByteArray("/Reflesh//*/~192.168.0.5");
}

void WireTest::clientMessages()
{
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp932::encode(message), bytes);
}

void WireTest::displayUpdateSplit_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    QTest::newRow("A/*/B") << "A/*/B" << true << "A" << "B";
    QTest::newRow("separator alone") << "/*/" << true << "" << "";
    QTest::newRow("leading separator") << "/*/rest" << true << "" << "rest";
    QTest::newRow("trailing separator") << "names/*/" << true << "names" << "";
    QTest::newRow("two updates in one") << "a/*/b" "c/*/d" << true << "a" << "bc/*/d";
    QTest::newRow("no separator") << "just text" << false << "" << "";
    QTest::newRow("near misses") << "/* /*" << false << "" << "";
    QTest::newRow("client separator") << "x/*/~y" << true << "x" << "~y";
    QTest::newRow("Japanese with CR LF") << "太郎\r\n花子/*/太郎:こんにちは\r\n" << true
                                         << "太郎\r\n花子" << "太郎:こんにちは\r\n";
}

void WireTest::displayUpdateSplit()
{
    QFETCH(QString, received);
    QFETCH(bool, valid);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const DisplayUpdate update = splitDisplayUpdate(received);
    QCOMPARE(update.valid, valid);
    QCOMPARE(update.first, first);
    QCOMPARE(update.second, second);
}

void WireTest::codePage932_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("roundTrip"); // false: characters without a form

    QTest::newRow("kanji") << QStringLiteral("太郎/*/花子") << QByteArray("\x91\xBE\x98\x59/*/\x89\xD4\x8E\x71")
                           << true;
    QTest::newRow("half-width katakana, hiragana")
        << QStringLiteral("abｱ/*/あ") << QByteArray("ab\xB1/*/\x82\xA0") << true;
    QTest::newRow("wave dash and NEC extension") << QStringLiteral("～①") << QByteArray("\x81\x60\x87\x40") << true;
    QTest::newRow("empty") << QString() << QByteArray() << true;
    QTest::newRow("outside the BMP") << QString::fromUtf8("a\xF0\x9F\x98\x80z") << QByteArray("a?z") << false;
    // No best fit: not "e".
    QTest::newRow("accented Latin") << QStringLiteral("caf\u00E9") << QByteArray("caf?") << false;
}

void WireTest::codePage932()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, roundTrip);
    QCOMPARE(Cp932::encode(text), bytes);
    if (!roundTrip)
        return;
    QCOMPARE(Cp932::decode(bytes), text);
    // A stream cut anywhere, the middle of a double-byte character included.
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        Cp932::Decoder decoder;
        QString joined = decoder.decode(bytes.left(cut));
        joined += decoder.decode(bytes.mid(cut));
        QCOMPARE(joined, text);
    }
}

QTEST_GUILESS_MAIN(WireTest)
#include "tst_wire.moc"
