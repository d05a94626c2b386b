#include "chatmessages.h"
#include "codepage932.h"
#include "updatereader.h"

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
    void readerGivesWhatTheWholeUpdateGives_data();
    void readerGivesWhatTheWholeUpdateGives();
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
    QCOMPARE(update.first.toString(), first);
    QCOMPARE(update.second.toString(), second);
}

void WireTest::codePage932_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("unencodable"); // what the sender is told
    QTest::addColumn<QString>("decoded");     // what a peer sees

    auto exact = [](const char *name, const QString &text, const QByteArray &bytes) {
        QTest::newRow(name) << text << bytes << QString() << text;
    };
    exact("kanji", QStringLiteral("太郎/*/花子"), QByteArray("\x91\xBE\x98\x59/*/\x89\xD4\x8E\x71"));
    exact("half-width katakana, hiragana", QStringLiteral("abｱ/*/あ"), QByteArray("ab\xB1/*/\x82\xA0"));
    exact("NEC and IBM extensions", QStringLiteral("①ⅰ"), QByteArray("\x87\x40\xFA\x40"));
    exact("empty", QStringLiteral(""), QByteArray(""));
    exact("NUL", QStringLiteral("a") + QChar(0) + "b", QByteArray("a\0b", 3));
    // Windows' own table: 1A, 1C and 7F are themselves (ICU swaps them).
    exact("control codes", QStringLiteral("a\x1A\x1C\x7F\x1B"), QByteArray("a\x1A\x1C\x7F\x1B"));
    // Among double-byte characters too, where the bytes go to a converter.
    exact("control codes among kana", QStringLiteral("あ\x1Aい\x1Cう\x7F"),
          QByteArray("\x82\xA0\x1A\x82\xA2\x1C\x82\xA4\x7F"));

    // What Linux and Mac input methods type, and what Windows types, for
    // the eight characters with two forms: both give Windows' bytes, and
    // a peer sees Windows' form.
    const struct { const char *name; char16_t jis, windows; const char *bytes; } twoForms[] = {
        {"wave dash", u'\u301C', u'\uFF5E', "\x81\x60"},
        {"double vertical line", u'\u2016', u'\u2225', "\x81\x61"},
        {"minus sign", u'\u2212', u'\uFF0D', "\x81\x7C"},
        {"cent sign", u'\u00A2', u'\uFFE0', "\x81\x91"},
        {"pound sign", u'\u00A3', u'\uFFE1', "\x81\x92"},
        {"not sign", u'\u00AC', u'\uFFE2', "\x81\xCA"},
        {"em dash", u'\u2014', u'\u2015', "\x81\x5C"},
        {"broken bar", u'\u00A6', u'\uFFE4', "\xFA\x55"},
    };
    for (const auto &c : twoForms) {
        const QByteArray pair(c.bytes);
        QTest::addRow("%s, both forms", c.name)
            << QStringLiteral("10時%1%2").arg(QChar(c.jis), QChar(c.windows)) << "10\x8E\x9E" + pair + pair
            << QString() << QStringLiteral("10時%1%1").arg(QChar(c.windows));
    }

    // No form at all: one "?" each, and the sender learns which.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString yoshi = QString::fromUtf8("\xF0\xA0\xAE\xB7");
    QTest::newRow("outside the BMP") << "a" + emoji + "z" + yoshi + emoji << QByteArray("a?z??") << emoji + yoshi
                                     << QStringLiteral("a?z??");
    // No best fit: not "e".
    QTest::newRow("accented Latin, Hangul") << QStringLiteral("caf\u00E9\uD55C") << QByteArray("caf??")
                                            << QStringLiteral("\u00E9\uD55C") << QStringLiteral("caf??");
    // Bytes that are no character: a visible replacement, the same on every platform.
    const QString bad(QChar::ReplacementCharacter);
    auto noText = [](const char *name, const QByteArray &bytes, const QString &decoded) {
        QTest::newRow(name) << QString() << bytes << QString() << decoded;
    };
    noText("invalid single bytes", QByteArray("a\x80" "b\xA0\xFD\xFE\xFF"), QStringLiteral("a%1b%1%1%1%1").arg(bad));
    noText("undefined pairs", QByteArray("\x85\x40|\x81\xAD"), QStringLiteral("%1|%1").arg(bad));
    // The byte after a lead byte that cannot follow one is read on its own.
    noText("lead byte before a line feed", QByteArray("\x81\n\x81\x7F"), QStringLiteral("%1\n%1\x7F").arg(bad));
    noText("lead byte at the very end", QByteArray("ok\x88"), QStringLiteral("ok%1").arg(bad));
    QTest::newRow("lone surrogate") << QStringLiteral("x") + QChar(0xD800) << QByteArray("x?") << QString(QChar(0xD800))
                                    << QStringLiteral("x?");
}

void WireTest::codePage932()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, unencodable);
    QFETCH(QString, decoded);
    if (!text.isNull()) { // null: bytes no text encodes to
        QCOMPARE(Cp932::encode(text), bytes);
        QCOMPARE(Cp932::unencodable(text), unencodable);
    }
    QCOMPARE(Cp932::decode(bytes), decoded);
    // A stream cut anywhere, the middle of a double-byte character included.
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        Cp932::Decoder decoder;
        QString joined = decoder.decode(bytes.left(cut));
        joined += decoder.decode(bytes.mid(cut));
        QCOMPARE(decoder.isWaiting() ? joined + QChar(QChar::ReplacementCharacter) : joined, decoded);
    }
    // What is no character shows, and is written back as "?", never as
    // another byte.
    QCOMPARE(Cp932::encode(decoded).count('?'), decoded.count(u'?') + decoded.count(QChar(QChar::ReplacementCharacter)));
}

void WireTest::readerGivesWhatTheWholeUpdateGives_data()
{
    QTest::addColumn<QByteArrayList>("updates");
    QTest::addColumn<int>("mostDecoded"); // characters of the last update's conversation; -1: any
    // Long enough that decoding can restart inside it.
    QString lines;
    for (int i = 0; lines.size() < 24 * 1024; ++i)
        lines += QStringLiteral("山田%1: 会議は10時からです。\r\n").arg(i);
    const QByteArray members = Cp932::encode(QStringLiteral("参加者1\r\n参加者2/*/"));
    const QByteArray log = Cp932::encode(lines);
    const QByteArray line = Cp932::encode(QStringLiteral("佐藤: はい\r\n"));
    const QByteArray conversation = members + log;
    const qsizetype firstLine = log.indexOf('\n') + 1;
    const QByteArray middle = QByteArray(log).replace("山田300:", "山田300!");
    QTest::newRow("a line appended") << QByteArrayList{conversation, conversation + line} << 7;
    QTest::newRow("the oldest dropped, one appended")
        << QByteArrayList{conversation, members + log.sliced(firstLine) + line} << 7;
    QTest::newRow("dropped again after a drop")
        << QByteArrayList{conversation, members + log.sliced(firstLine) + line,
                          members + log.sliced(log.indexOf('\n', firstLine) + 1) + line + line}
        << 7;
    QTest::newRow("an unended line continued") << QByteArrayList{conversation + line.first(2), conversation + line} << 7;
    QTest::newRow("unchanged") << QByteArrayList{conversation, conversation} << 0;
    QTest::newRow("members changed only")
        << QByteArrayList{conversation, Cp932::encode(QStringLiteral("参加者1/*/")) + log} << 0;
    QTest::newRow("a line prepended") << QByteArrayList{conversation, members + line + log} << 7;
    QTest::newRow("a line appended after one prepended")
        << QByteArrayList{conversation, members + line + log, members + line + log + line} << 7;
    QTest::newRow("an unended line in front") << QByteArrayList{conversation, members + line.first(6) + log} << -1;
    QTest::newRow("a line changed in the middle") << QByteArrayList{conversation, members + middle} << -1;
    QTest::newRow("the log cut short") << QByteArrayList{conversation, members + log.first(1001)} << -1;
    QTest::newRow("a new conversation") << QByteArrayList{conversation, members + line + line} << -1;
    QTest::newRow("no separator any more") << QByteArrayList{conversation, log} << 0;
    // 82 A0 is あ, 82 A2 い: they differ in the trail byte.
    QTest::newRow("a double-byte character split at the first difference")
        << QByteArrayList{conversation + "\x82\xA0", conversation + "\x82\xA2"} << -1;
    QTest::newRow("a lead byte waiting, then its trail")
        << QByteArrayList{conversation + "\x82", conversation + "\x82\xA0\r\n"} << -1;
    QTest::newRow("a lead byte before the separator")
        << QByteArrayList{"m\x82/*/" + log, "m\x82\xA0/*/" + log, "m\x82/*/" + log} << 0;
    QTest::newRow("invalid bytes") << QByteArrayList{conversation + "\x80\xFD", conversation + "\x80\xFD\xA0x\xFF"} << -1;
    QTest::newRow("CR at the end, then its LF") << QByteArrayList{conversation + "x\r", conversation + "x\r\ny"} << -1;
    QTest::newRow("CR LF where a piece of decoding ends")
        << QByteArrayList{members + QByteArray(16 * 1024 - 1, 'a') + "\r\nb"} << -1;
    QTest::newRow("CR CR, then LF") << QByteArrayList{conversation + "x\r\r", conversation + "x\r\r\n"} << -1;
    QTest::newRow("lone CR lines") << QByteArrayList{members + QByteArray(log).replace('\n', ""), members + QByteArray(log).replace('\n', "") + "x\r"} << -1;
    QTest::newRow("one huge line grows")
        << QByteArrayList{members + QByteArray(100000, 'x'), members + QByteArray(100001, 'x')} << 17 * 1024;
}

void WireTest::readerGivesWhatTheWholeUpdateGives()
{
    QFETCH(QByteArrayList, updates);
    QFETCH(int, mostDecoded);
    UpdateReader reader;
    QString first, second;
    qsizetype decoded = 0;
    auto apply = [](QString &text, const UpdateReader::Change &change) {
        QCOMPARE(change.oldSize, text.size());
        text = change.head + text.sliced(change.dropped, change.kept) + change.tail;
    };
    for (const QByteArray &update : updates) {
        const UpdateReader::Changes changes = reader.read(update);
        apply(first, changes.first);
        apply(second, changes.second);
        const auto [wholeFirst, wholeSecond] = UpdateReader::readWhole(update);
        QCOMPARE(first, wholeFirst);
        QCOMPARE(second, wholeSecond);
        decoded = changes.second.head.size() + changes.second.tail.size();
    }
    if (mostDecoded >= 0)
        QVERIFY2(decoded <= mostDecoded, qPrintable(QString::number(decoded)));
}

QTEST_GUILESS_MAIN(WireTest)
#include "tst_wire.moc"
