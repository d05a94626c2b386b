// New lines reach a person who is not looking: which lines are news (a
// table), and on Linux what a stand-in notification service on a private
// session bus receives; on Windows the notification-area icon and balloon.
#include "chatsocket.h"
#include "codepage932.h"
#include "conversationupdates.h"
#include "desktopnotifier.h"
#include "displayfield.h"
#include "mainwindowharness.h"
#include "newmessages.h"
#include "testsupport.h"
#include "updatereader.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QDialog>
#include <QMenu>
#include <QApplication>
#include <QAction>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_WIN
#include <QSystemTrayIcon>
#endif

#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#endif

using NewMessages::Unseen;

#ifndef Q_OS_WIN
namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The desktop's side, on a connection of its own: the notification service
// and a dock that listens for the launcher entry's count.
class StandInDesktop final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit StandInDesktop(const QString &address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("standin")))
    {
        m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
        m_bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                      QStringLiteral("Update"), this, SLOT(launcherUpdate(QString, QVariantMap)));
    }
    ~StandInDesktop() override
    {
        m_bus.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("standin"));
    }
    bool serve() { return m_bus.registerService(kService); }

    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    bool answers = true;
    QStringList calls;  // "notify <replaces> <body>", "close <id>"
    QStringList counts; // the launcher entry's "count/visible"
    QString wrongField; // the first fixed field of a Notify that was not as meant
    uint lastId = 0;
    int notifyAnswerMs = 0; // a slow service

    // A click on a notification: the token for raising a window comes first.
    void invoke(uint id, const QString &token)
    {
        m_bus.send(QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActivationToken")) << id << token);
        m_bus.send(QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked")) << id
                   << QStringLiteral("default"));
    }

public slots:
    QStringList GetCapabilities()
    {
        if (!answers)
            setDelayedReply(true);
        return capabilities;
    }
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        calls << QStringLiteral("notify %1 %2").arg(replaces == 0 ? QStringLiteral("new") : QStringLiteral("replaces"), body);
        const QVariantMap expectedHints{{"desktop-entry", "org.wispleaf.Wispleaf"},
                                        {"category", "im.received"},
                                        {"sound-name", "message-new-instant"}};
        if (wrongField.isEmpty() && (app != "Wispleaf" || icon != "org.wispleaf.Wispleaf" || summary != "Wispleaf"
                                     || actions.value(0) != "default" || hints != expectedHints || timeout != -1))
            wrongField = QStringLiteral("%1 %2 %3 %4 %5").arg(app, icon, summary, actions.join(','), QString::number(timeout));
        if (replaces != 0 && replaces != lastId)
            wrongField = QStringLiteral("replaces %1, shown %2").arg(replaces).arg(lastId);
        lastId = replaces != 0 ? replaces : lastId + 1;
        if (notifyAnswerMs > 0) {
            setDelayedReply(true);
            QTimer::singleShot(notifyAnswerMs, this, [this, reply = message().createReply(lastId)] { m_bus.send(reply); });
        }
        return lastId;
    }
    void CloseNotification(uint id) { calls << QStringLiteral("close %1").arg(id == lastId ? "shown" : "other"); }

private slots:
    void launcherUpdate(const QString &app, const QVariantMap &properties)
    {
        if (app == QLatin1String("application://org.wispleaf.Wispleaf.desktop"))
            counts << QStringLiteral("%1/%2").arg(properties.value("count").toLongLong()).arg(properties.value("count-visible").toBool() ? "true" : "false");
    }

private:
    QDBusConnection m_bus;
};
} // namespace
#endif

class NotificationsTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void whatIsNews_data();
    void whatIsNews();
    void whereThePersonLeftOff_data();
    void whereThePersonLeftOff();
    void unseenLinesSummedUp();
    void balloonBodyWithinItsLimit_data();
    void balloonBodyWithinItsLimit();
    void desktopHearsOfNewLines_data();
    void desktopHearsOfNewLines();
    void updateCutByAPause_data();
    void updateCutByAPause();
    void nothingReachesTheDesktopBeforeTheWindow();
    void aSaveDialogOfWispleafsIsLookedAt();
    void whereThePersonLeftOffInTheWindow();
    void markupEscapedOnlyWhereRendered_data();
    void markupEscapedOnlyWhereRendered();
    void serviceMissingOrHungDelaysNothing_data();
    void serviceMissingOrHungDelaysNothing();
    void trayIconAndBalloon();

private:
    QProcess m_bus;
    QString m_address;
};

void NotificationsTest::initTestCase()
{
#ifndef Q_OS_WIN
    // A session bus of the test's own: nothing reaches the real desktop.
    m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
    QVERIFY2(m_bus.waitForStarted(5000), "dbus-daemon (Debian package dbus-daemon) is needed");
    QVERIFY(QTest::qWaitFor([this] { return m_bus.canReadLine(); }, 5000));
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
#endif
}

void NotificationsTest::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished(5000);
}

namespace {
// How the hub's updates reach the window: each is cut after `cut` bytes
// and on from there every `step` bytes, and each piece is followed by a
// short pause (it arrives) or one longer than an update waits for its
// rest (it counts as complete, and may have been cut short).
struct Delivery
{
    qsizetype cut = 0;
    qsizetype step = 0;
    bool longPauses = false;
};

// The window's display step and news judge, without the window, fed as
// the socket feeds them. Returns the lines told, as the notification
// holds them; `*fault` says where the conversation shown ever lost more
// than whole lines at its front, or did not end as the update.
QStringList tellNews(const QStringList &steps, const Delivery &delivery, QString *fault)
{
    DisplayField members, conversation;
    ConversationUpdates updates(&members, &conversation);
    QByteArray last;
    bool lookedAt = false;
    bool joining = false;
    QStringList told;
    const auto tell = [&](const std::optional<NewMessages::News> &news) {
        if (news && news->takesBackLast && !told.isEmpty())
            told.removeLast();
        if (news)
            told += news->lines;
    };
    // Whether `now` begins with `before`, maybe after lines at its front.
    const auto continues = [](const QString &before, const QString &now) {
        for (qsizetype from = 0;; from = before.indexOf(u'\n', from) + 1) {
            if (now.startsWith(QStringView(before).sliced(from)))
                return true;
            if (before.indexOf(u'\n', from) < 0)
                return false;
        }
    };
    const auto shown = [&](const QByteArray &bytes, const QString &whole) {
        const QString before = conversation.text();
        updates.arriving(bytes);
        if (delivery.longPauses)
            tell(updates.complete(bytes, lookedAt));
        // Lines shown never go, but for the start of a conversation that
        // replaces them (or of the one at joining again), shown once it
        // seems complete.
        const bool kept = continues(before, conversation.text())
                          || (delivery.longPauses && (joining || !continues(before, whole))
                              && whole.startsWith(conversation.text()));
        if (!kept && fault->isEmpty())
            *fault = QStringLiteral("cut at %1: \"%2\" became \"%3\"").arg(bytes.size()).arg(before, conversation.text());
    };
    QString lastText;
    // Nothing more of the last update can come: it shows whole.
    const auto finish = [&] {
        if (last.isEmpty())
            return;
        tell(updates.final(last, lookedAt));
        if (conversation.text() != lastText && fault->isEmpty())
            *fault = QStringLiteral("shows \"%1\"").arg(conversation.text());
        joining = false;
    };
    updates.joined(QStringLiteral("太郎"));
    for (const QString &s : steps) {
        if (s == "join") {
            updates.joined(QStringLiteral("太郎"));
            last.clear(); // the old connection's update never ends
            joining = true;
        } else if (s == "look") {
            lookedAt = true;
        } else if (s.startsWith("send:")) {
            updates.sent(s.mid(5));
        } else if (s.startsWith("update:")) {
            finish(); // the next update begins
            const QString text = s.mid(7);
            const QByteArray bytes = Cp932::encode("太郎\r\n花子/*/" + QString(text).replace("\n", "\r\n"));
            for (qsizetype at = delivery.cut; at < bytes.size(); at += delivery.step)
                shown(bytes.first(at), text);
            updates.arriving(bytes);
            tell(updates.complete(bytes, lookedAt));
            last = bytes;
            lastText = text;
            lookedAt = false;
        }
    }
    finish();
    return told;
}
} // namespace

void NotificationsTest::whatIsNews_data()
{
    // Steps, after joining as 太郎: "join" (again: the next update is
    // history), "update:<text>"
    // (a complete update's conversation), "send:<message>", "look" (the
    // next update comes while Wispleaf is looked at).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("told");
    const QString log = QStringLiteral("山田: おはよう\n佐藤: 会議は10時");
    const QString u = QStringLiteral("update:");
    QTest::newRow("one line added") << QStringList{u + log, u + log + "\n鈴木: 了解"} << QStringList{"鈴木: 了解"};
    QTest::newRow("lines added after an ended line") << QStringList{u + log + "\n", u + log + "\na\nb\n"}
                                                     << QStringList{"a", "b"};
    QTest::newRow("oldest dropped, one added") << QStringList{u + log, u + "佐藤: 会議は10時\n鈴木: 了解"}
                                               << QStringList{"鈴木: 了解"};
    QTest::newRow("looked at") << QStringList{u + log, "look", u + log + "\nx"} << QStringList();
    QTest::newRow("the history at joining") << QStringList{u + log, "join", u + log + "\nx"} << QStringList();
    QTest::newRow("joined while looking, then a line") << QStringList{"look", u + log, u + log + "\nx"}
                                                       << QStringList{"x"};
    QTest::newRow("joined again to the same history, then a line")
        << QStringList{u + log, "join", u + log, u + log + "\nx"} << QStringList{"x"};
    QTest::newRow("an empty log at joining, then a line") << QStringList{u, u + "佐藤: はじめまして"}
                                                          << QStringList{"佐藤: はじめまして"};
    QTest::newRow("the person's own line") << QStringList{u + log, "send:こんにちは", u + log + "\n太郎: こんにちは"}
                                           << QStringList();
    QTest::newRow("own line among others") << QStringList{u + log, "send:こんにちは",
                                                          u + log + "\n太郎: こんにちは\n花子: やあ"}
                                           << QStringList{"花子: やあ"};
    QTest::newRow("an answer that holds the words comes first")
        << QStringList{u + log, "send:はい", u + log + "\n花子: はい、承知しました\n太郎: はい"}
        << QStringList{"花子: はい、承知しました"};
    QTest::newRow("the name twice, the line that ends with the words")
        << QStringList{u + log, "send:はい", u + log + "\n太郎: はい、太郎さん宛です\n太郎: はい"}
        << QStringList{"太郎: はい、太郎さん宛です"};
    QTest::newRow("someone else's line with the same words")
        << QStringList{u + log, "send:了解", u + log + "\n花子: 了解\n太郎: 了解"} << QStringList{"花子: 了解"};
    QTest::newRow("the words without the name") << QStringList{u + log, "send:了解", u + log + "\n花子: 了解"}
                                                 << QStringList{"花子: 了解"};
    QTest::newRow("two sends before the update") << QStringList{u + log, "send:a", "send:b",
                                                                u + log + "\n太郎: a\n太郎: b"}
                                                 << QStringList();
    QTest::newRow("an own line that comes back later") << QStringList{u + log, "send:a", u + log + "\n花子: x",
                                                                      u + log + "\n花子: x\n太郎: a"}
                                                       << QStringList{"花子: x"};
    QTest::newRow("a longer name that holds the person's")
        << QStringList{u + log, "send:はい", u + log + "\n太郎一郎: はい\n太郎: はい"} << QStringList{"太郎一郎: はい"};
    QTest::newRow("a longer name that ends with the person's")
        << QStringList{u + log, "send:はい", u + log + "\n次郎太郎: はい\n太郎: はい"} << QStringList{"次郎太郎: はい"};
    QTest::newRow("the name inside someone else's words")
        << QStringList{u + log, "send:はい", u + log + "\n花子: 太郎さん、はい"} << QStringList{"花子: 太郎さん、はい"};
    QTest::newRow("the words before the name, then the person's line")
        << QStringList{u + log, "send:了解", u + log + "\n花子: 了解、太郎さん", u + log + "\n花子: 了解、太郎さん\n太郎: 了解"}
        << QStringList{"花子: 了解、太郎さん"};
    QTest::newRow("a time stamp in front, full-width separator")
        << QStringList{u + log, "send:はい", u + log + "\n[12:00] 太郎：はい"} << QStringList();
    QTest::newRow("as the hub spells what a Linux keyboard types")
        << QStringList{u + log, "send:10時〜11時、−5万円", u + log + "\n太郎: 10時～11時、－5万円"} << QStringList();
    QTest::newRow("forgotten once come back: the same words again are news")
        << QStringList{u + log, "send:了解", u + log + "\n太郎: 了解\n花子: はい",
                       u + log + "\n太郎: 了解\n花子: はい\n太郎: 了解"}
        << QStringList{"花子: はい", "太郎: 了解"};
    QTest::newRow("forgotten once come back as the last line")
        << QStringList{u + log, "send:了解", u + log + "\n太郎: 了解", u + log + "\n太郎: 了解\n太郎: 了解"}
        << QStringList{"太郎: 了解"};
    QTest::newRow("forgotten when the second update comes without it")
        << QStringList{u + log, "send:a", u + log + "\n花子: x", u + log + "\n花子: x\n花子: y",
                       u + log + "\n花子: x\n花子: y\n太郎: a"}
        << QStringList{"花子: x", "花子: y", "太郎: a"};
    QTest::newRow("the log capped as each line comes")
        << QStringList{u + log, u + "佐藤: 会議は10時\na", u + "a\nb", u + "b\nc"} << QStringList{"a", "b", "c"};
    QTest::newRow("the conversation emptied, then a line")
        << QStringList{u + log, u, u + "佐藤: はじめまして"} << QStringList{"佐藤: はじめまして"};
    QTest::newRow("nothing new (a refresh)") << QStringList{u + log, u + log} << QStringList();
    QTest::newRow("replaced whole") << QStringList{u + log, u + "別の会話\nです"} << QStringList();
    QTest::newRow("replaced whole by a longer one")
        << QStringList{u + log, u + "別の会話です。\n鈴木: こんにちは\n佐藤: 今日は\n田中: よろしく"} << QStringList();
    QTest::newRow("replaced whole after an append")
        << QStringList{u + log, u + log + "\na", u + "別の会話\nです\n長い行"} << QStringList{"a"};
    QTest::newRow("a line in front, where the old end would cut a line")
        << QStringList{u + "山田: x\nb", u + "前\n山田: x\nb"} << QStringList();
    QTest::newRow("lines in front after an append")
        << QStringList{u + log, u + log + "\na", u + "前1\n前2\n" + log + "\na"} << QStringList{"a"};
    QTest::newRow("the last line went on") << QStringList{u + log, u + log + "です"} << QStringList();
    QTest::newRow("a line inside changed") << QStringList{u + log, u + "山田: おはよう!\n佐藤: 会議は10時\nx"}
                                           << QStringList();
    QTest::newRow("a line inside went") << QStringList{u + log + "\nc", u + "山田: おはよう\nc\nd"} << QStringList();
    QTest::newRow("blank lines are no news") << QStringList{u + log, u + log + "\n\n\n"} << QStringList();
    QString sixty;
    for (int i = 1; i <= 60; ++i)
        sixty += QStringLiteral("佐藤: %1行目の話\n").arg(i);
    QTest::newRow("a long log and one line") << QStringList{u + sixty + "end", u + sixty + "end\n鈴木: 新しい話"}
                                             << QStringList{"鈴木: 新しい話"};
}

void NotificationsTest::whatIsNews()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, told);
    qsizetype longest = 0;
    for (const QString &step : steps)
        longest = std::max(longest, Cp932::encode(step).size() + 16);
    // Cut once anywhere, twice (a segment lost, then the one after it
    // too), and at every byte; with pauses short and long.
    for (const bool longPauses : {false, true}) {
        for (qsizetype cut = 1; cut <= longest; ++cut) {
            for (const qsizetype step : {longest, std::max<qsizetype>(1, cut / 2 + 5)}) {
                QString fault;
                const QStringList result = tellNews(steps, {cut, step, longPauses}, &fault);
                QVERIFY2(result == told, qPrintable(QStringLiteral("cut at byte %1 and every %2 bytes%3: told %4")
                                                        .arg(cut).arg(step)
                                                        .arg(longPauses ? ", long pauses" : "", result.join('|'))));
                QVERIFY2(fault.isEmpty(), qPrintable(fault));
            }
        }
        QString fault;
        QCOMPARE(tellNews(steps, {1, 1, longPauses}, &fault), told);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
}

void NotificationsTest::whereThePersonLeftOff_data()
{
    // Steps, after joining as 太郎 and looking away: "update:<text>" (a
    // whole update), "look" (the person looks, and stays), "away",
    // "send:<message>". The line the marker stands before (1 = the first
    // of the conversation), 0 for none.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("line");
    const QString log = QStringLiteral("山田: おはよう\n佐藤: 会議は10時");
    const QString u = QStringLiteral("update:");
    QTest::newRow("news while away") << QStringList{u + log, u + log + "\na\nb"} << 3;
    QTest::newRow("it stays when the person comes back")
        << QStringList{u + log, u + log + "\na", "look", u + log + "\na\nb"} << 3;
    QTest::newRow("it moves with news of the next absence")
        << QStringList{u + log, u + log + "\na", "look", "away", u + log + "\na\nb"} << 4;
    QTest::newRow("not again within one absence") << QStringList{u + log, u + log + "\na", u + log + "\na\nb"} << 3;
    QTest::newRow("the person's own line moves nothing")
        << QStringList{u + log, u + log + "\na", "look", "send:x", "away", u + log + "\na\n太郎: x"} << 3;
    QTest::newRow("the history places none") << QStringList{u + log} << 0;
    QTest::newRow("a refresh moves nothing")
        << QStringList{u + log, u + log + "\na", "look", "away", u + log + "\na"} << 3;
    QTest::newRow("it follows lines dropped at the front")
        << QStringList{u + log, u + log + "\na", u + "佐藤: 会議は10時\na\nb"} << 2;
    QTest::newRow("its line dropped too: gone") << QStringList{u + log, u + log + "\na", u + "b\nc"} << 0;
    QTest::newRow("the conversation replaced: gone") << QStringList{u + log, u + log + "\na", u + "別の会話\na"} << 0;
    QTest::newRow("lines in front: it follows") << QStringList{u + log, u + log + "\na", u + "前\n" + log + "\na"} << 4;
    // Hours of a capped log: a line a minute, looked at in between.
    QStringList hours{u + log};
    QStringList capped{log};
    for (int minute = 0; minute < 600; ++minute) {
        capped << QStringLiteral("鈴木: %1分の話").arg(minute);
        if (capped.size() > 50)
            capped.removeFirst();
        hours << "look" << "away" << u + capped.join(u'\n');
    }
    QTest::newRow("ten hours of a capped log") << hours << 50;
}

void NotificationsTest::whereThePersonLeftOff()
{
    QFETCH(QStringList, steps);
    QFETCH(int, line);
    DisplayField members, conversation;
    ConversationUpdates updates(&members, &conversation);
    updates.joined(QStringLiteral("太郎"));
    QByteArray last;
    bool lookedAt = false;
    for (const QString &step : std::as_const(steps)) {
        if (step == "look") {
            lookedAt = true;
            updates.looked();
        } else if (step == "away") {
            lookedAt = false;
        } else if (step.startsWith("send:")) {
            updates.sent(step.mid(5));
        } else if (step.startsWith("update:")) {
            if (!last.isEmpty())
                (void)updates.final(last, lookedAt);
            last = Cp932::encode("太郎/*/" + step.mid(7).replace("\n", "\r\n"));
            updates.arriving(last);
            (void)updates.complete(last, lookedAt);
        }
    }
    const std::optional<qsizetype> at = updates.leftOffAt();
    const QString text = conversation.text();
    QVERIFY(!at || *at == 0 || text[*at - 1] == u'\n'); // always at a line's start
    QCOMPARE(at ? int(QStringView(text).first(*at).count(u'\n')) + 1 : 0, line);
}

void NotificationsTest::unseenLinesSummedUp()
{
    Unseen unseen;
    unseen.add({"1", "2", "3"});
    QCOMPARE(unseen.body(), QStringLiteral("1\n2\n3"));
    unseen.add({"4", "5", "6", "7", "8", "9", "10", "11", "12"});
    QCOMPARE(unseen.count(), 12);
    QCOMPARE(unseen.body(), QStringLiteral("8\n9\n10\n11\n12\nほか 7 行"));
    unseen.setEnding(QStringLiteral("Wisphub側がプログラムを閉じました"));
    QCOMPARE(unseen.count(), 12);
    QVERIFY(unseen.body().endsWith(QStringLiteral("ほか 7 行\nWisphub側がプログラムを閉じました")));
    unseen.clear();
    // A long line ends in "…" within 200 characters, never in half a character.
    const QString pasted = QString(198, u'x') + QStringLiteral("😀") + QString(1000000, u'y');
    unseen.add({pasted, "a"});
    QCOMPARE(unseen.body(), QString(198, u'x') + QStringLiteral("…\na"));
    unseen.clear();
    unseen.add({QString(200, u'z')});
    QCOMPARE(unseen.body(), QString(200, u'z'));
    // A line cut short by a pause is taken back before it comes whole.
    unseen.add({"a", "b"});
    unseen.takeBackLast();
    QCOMPARE(unseen.count(), 2);
    QCOMPARE(unseen.body(), QString(200, u'z') + "\na");
}

void NotificationsTest::balloonBodyWithinItsLimit_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("body"); // within 255 characters
    const QString a = QString(130, u'a'), b = QString(130, u'b'), c = QString(200, u'c');
    const QString gone = QStringLiteral("Wisphubから応答がなくなりました");
    QTest::newRow("fits as it is") << QStringList{"x", "y"} << gone << "x\ny\n" + gone;
    QTest::newRow("older lines go first, counted") << QStringList{"x", a, b} << QString() << b + "\nほか 2 行";
    const QString failed = QStringLiteral("通信エラーが発生しました（%1）").arg(QString(60, u'e'));
    const QString tail = "\nほか 1 行\n" + failed;
    QTest::newRow("the newest line and the ending stay")
        << QStringList{a, c} << failed << QString(255 - tail.size() - 1, u'c') + "…" + tail;
}

void NotificationsTest::balloonBodyWithinItsLimit()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, ending);
    QFETCH(QString, body);
    Unseen unseen;
    unseen.add(lines);
    unseen.setEnding(ending);
    QCOMPARE(unseen.body(255), body);
    QVERIFY(unseen.body(255).size() <= 255);
}

namespace {
// One window joined to its own hub, the history shown, then in the
// background behind another window.
struct UnseenWindow
{
    explicit UnseenWindow(const QString &history = QStringLiteral("山田: 昔の話"))
    {
        ok = fixture.w.join(fixture.server, QStringLiteral("太郎"));
        elsewhere.show();
        ok = ok && deactivate();
        ok = ok && update(history);
    }
    bool deactivate()
    {
        elsewhere.activateWindow();
        return QTest::qWaitForWindowActive(&elsewhere);
    }
    bool activate()
    {
        fixture.w.window->activateWindow();
        return QTest::qWaitForWindowActive(fixture.w.window.get());
    }
    // Shows an update, and waits until it is known to be complete.
    bool update(const QString &conversation, const QString &members = QStringLiteral("太郎"))
    {
        return shown(conversation, members) && (!complete.isEmpty() || complete.wait(3000));
    }
    bool shown(const QString &conversation, const QString &members = QStringLiteral("太郎"))
    {
        complete.clear();
        // As a hub sends them: lines end in CR LF.
        fixture.server.sendToAll(Cp932::encode(QString(members + "/*/" + conversation).replace("\n", "\r\n")));
        return QTest::qWaitFor([&] { return fixture.w.Text3->text() == conversation && fixture.w.Text4->text() == members; },
                               5000);
    }

    WindowWithServer fixture;
    QSignalSpy complete{fixture.w.find<ChatSocket>("WSock"), &ChatSocket::updateComplete};
    QWidget elsewhere;
    bool ok = false;
};
} // namespace

void NotificationsTest::desktopHearsOfNewLines_data()
{
    // Steps: "update:<text>" (and wait until it is complete), "soon:<text>"
    // (an update 100 ms after the one before), "members:<text>",
    // "send:<text>", "activate", "deactivate", "invoke" (the person clicks
    // the notification), "invoke-other" (another program's), "rejoin",
    // "hub-closes", "dialog" (a modal one of its own), "child" (a window
    // of the main window's), "slow" (the service answers Notify late), "off".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("counts");
    const QString old = QStringLiteral("山田: 昔の話");
    QStringList seven;
    for (int i = 1; i <= 7; ++i)
        seven << QStringLiteral("佐藤: %1行目").arg(i);
    QTest::newRow("one new line") << QStringList{"update:" + old + "\n佐藤: こんにちは"}
                                  << QStringList{"notify new 佐藤: こんにちは"} << QStringList{"1/true"};
    QTest::newRow("seven new lines") << QStringList{"update:" + old + "\n" + seven.join('\n')}
                                     << QStringList{"notify new " + seven.mid(2).join('\n') + "\nほか 2 行"}
                                     << QStringList{"7/true"};
    QTest::newRow("later lines replace it")
        << QStringList{"update:" + old + "\na", "update:" + old + "\na\nb"}
        << QStringList{"notify new a", "notify replaces a\nb"} << QStringList{"1/true", "2/true"};
    QTest::newRow("seen: closed, count gone") << QStringList{"update:" + old + "\na", "activate"}
                                              << QStringList{"notify new a", "close shown"}
                                              << QStringList{"1/true", "0/false"};
    QTest::newRow("seen, then more: only what is new since") << QStringList{"update:" + old + "\na", "activate", "deactivate",
                                                                         "update:" + old + "\na\nb"}
                                                         << QStringList{"notify new a", "close shown", "notify new b"}
                                                         << QStringList{"1/true", "0/false", "1/true"};
    QTest::newRow("chosen: the window comes forward") << QStringList{"update:" + old + "\na", "invoke"}
                                                      << QStringList{"notify new a", "close shown"}
                                                      << QStringList{"1/true", "0/false"};
    QTest::newRow("the person's own line") << QStringList{"activate", "send:こんにちは", "deactivate",
                                                          "update:" + old + "\n太郎: こんにちは"}
                                           << QStringList() << QStringList();
    QTest::newRow("a longer name that holds the person's")
        << QStringList{"activate", "send:はい", "deactivate", "update:" + old + "\n太郎一郎: はい\n太郎: はい"}
        << QStringList{"notify new 太郎一郎: はい"} << QStringList{"1/true"};
    QTest::newRow("the person's line as the hub spells what Linux typed")
        << QStringList{"activate", "send:10時〜11時、−5万円", "deactivate", "update:" + old + "\n太郎: 10時～11時、－5万円"}
        << QStringList() << QStringList();
    QTest::newRow("joined again: the history is no news")
        << QStringList{"activate", "rejoin", "deactivate", "update:" + old + "\n佐藤: 留守中の発言"} << QStringList()
        << QStringList();
    QTest::newRow("joined while looking, then a line")
        << QStringList{"activate", "rejoin", "update:" + old, "deactivate", "update:" + old + "\n佐藤: 次"}
        << QStringList{"notify new 佐藤: 次"} << QStringList{"1/true"};
    QTest::newRow("joined again to the same history, then a line")
        << QStringList{"activate", "rejoin", "deactivate", "update:" + old, "update:" + old + "\n佐藤: 次"}
        << QStringList{"notify new 佐藤: 次"} << QStringList{"1/true"};
    QTest::newRow("an empty log at joining, then a line")
        << QStringList{"activate", "rejoin", "deactivate", "update:", "update:佐藤: 最初"}
        << QStringList{"notify new 佐藤: 最初"} << QStringList{"1/true"};
    QTest::newRow("the hub closes while unseen") << QStringList{"update:" + old + "\na", "hub-closes"}
                                                 << QStringList{"notify new a", "notify replaces a\n" + Say::serverClosed}
                                                 << QStringList{"1/true"};
    QTest::newRow("the hub closes while looked at") << QStringList{"activate", "hub-closes"} << QStringList()
                                                    << QStringList();
    QTest::newRow("another program's notification clicked") << QStringList{"update:" + old + "\na", "invoke-other"}
                                                             << QStringList{"notify new a"} << QStringList{"1/true"};
    QTest::newRow("a dialog of Wispleaf's looked at") << QStringList{"dialog", "update:" + old + "\na"} << QStringList()
                                                      << QStringList();
    QTest::newRow("the hub closes while a dialog of Wispleaf's is looked at")
        << QStringList{"dialog", "hub-closes"} << QStringList() << QStringList();
    QTest::newRow("the hub closes while the destination window is looked at")
        << QStringList{"child", "hub-closes"} << QStringList() << QStringList();
    QTest::newRow("the destination window looked at") << QStringList{"child", "update:" + old + "\na"} << QStringList()
                                                      << QStringList();
    // Slower than an update takes to be complete, so that the second
    // notification is due while the first is not yet answered.
    QTest::newRow("a slow notification service") << QStringList{"slow", "soon:" + old + "\na", "soon:" + old + "\na\nb"}
                                                 << QStringList{"notify new a", "notify replaces a\nb"}
                                                 << QStringList{"1/true", "2/true"};
    // Looked at while the service has not answered yet.
    QTest::newRow("looked at before a slow service answered")
        << QStringList{"slow", "update:" + old + "\na", "activate"} << QStringList{"notify new a", "close shown"}
        << QStringList{"1/true", "0/false"};
    QTest::newRow("queued behind a slow answer, then looked at")
        << QStringList{"slow", "update:" + old + "\na", "update:" + old + "\na\nb", "activate"}
        << QStringList{"notify new a", "close shown"} << QStringList{"1/true", "2/true", "0/false"};
    QTest::newRow("looked at and away before a slow service answered, then a line")
        << QStringList{"slow", "update:" + old + "\na", "activate", "deactivate", "update:" + old + "\na\nb"}
        << QStringList{"notify new a", "close shown", "notify new b"} << QStringList{"1/true", "0/false", "1/true"};
    QTest::newRow("members only (a refresh)") << QStringList{"members:太郎\n花子"} << QStringList() << QStringList();
    QTest::newRow("the conversation replaced whole") << QStringList{"update:別の会話"} << QStringList() << QStringList();
    QTest::newRow("the window active") << QStringList{"activate", "update:" + old + "\na"} << QStringList()
                                       << QStringList();
    QTest::newRow("switched off (--no-notifications)") << QStringList{"off", "update:" + old + "\na"} << QStringList()
                                                       << QStringList();
}

void NotificationsTest::desktopHearsOfNewLines()
{
#ifdef Q_OS_WIN
    QSKIP("the freedesktop notification service is Linux's; Windows: trayIconAndBalloon");
#else
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, counts);
    StandInDesktop desktop(m_address);
    QVERIFY(desktop.serve());
    UnseenWindow w;
    QVERIFY(w.ok);
    QString conversation = QStringLiteral("山田: 昔の話");
    QDialog dialog;
    for (const QString &step : std::as_const(steps)) {
        if (step.startsWith("update:")) {
            conversation = step.mid(7);
            QVERIFY(w.update(conversation));
        } else if (step.startsWith("soon:")) {
            conversation = step.mid(5);
            QVERIFY(w.shown(conversation));
        } else if (step == "slow") {
            desktop.notifyAnswerMs = 2000;
        } else if (step == "dialog" || step == "child") {
            if (step == "child")
                dialog.setParent(w.fixture.w.window.get(), Qt::Dialog);
            else
                dialog.setModal(true);
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
        } else if (step == "hub-closes") {
            w.fixture.server.client(0)->disconnectFromHost();
            QTRY_VERIFY_WITH_TIMEOUT(w.fixture.w.Command2->isEnabled(), 5000);
        } else if (step.startsWith("members:")) {
            QVERIFY(w.update(conversation, step.mid(8)));
        } else if (step.startsWith("send:")) {
            w.fixture.w.Text2->setText(step.mid(5));
            w.fixture.w.Command1->click();
        } else if (step == "activate") {
            QVERIFY(w.activate());
        } else if (step == "deactivate") {
            QVERIFY(w.deactivate());
        } else if (step == "rejoin") {
            // The hub closes; the person joins again, the window still behind.
            w.fixture.server.client(0)->disconnectFromHost();
            QTRY_VERIFY_WITH_TIMEOUT(w.fixture.w.Command2->isEnabled(), 5000);
            w.fixture.w.Command2->click();
            QTRY_VERIFY_WITH_TIMEOUT(w.fixture.server.connectionCount() == 2 && w.fixture.w.Command1->isEnabled(), 5000);
        } else if (step == "off") {
            w.fixture.w.window->setNotificationsEnabled(false);
        } else if (step == "invoke") {
            qunsetenv("XDG_ACTIVATION_TOKEN");
            desktop.invoke(desktop.lastId, QStringLiteral("token-of-this-click"));
            QVERIFY(QTest::qWaitForWindowActive(w.fixture.w.window.get()));
            // What a Wayland compositor asks for before it raises a window.
            QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("token-of-this-click"));
        } else if (step == "invoke-other") {
            desktop.invoke(desktop.lastId + 7, QStringLiteral("another-program"));
            QTest::qWait(300);
            QVERIFY(!w.fixture.w.window->isActiveWindow());
        }
        QTest::qWait(100); // the bus answers
    }
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, calls, 4000);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.counts, counts, 2000);
    QTest::qWait(200);
    QCOMPARE(desktop.calls, calls); // and nothing more
    QVERIFY2(desktop.wrongField.isEmpty(), qPrintable(desktop.wrongField));
#endif
}

void NotificationsTest::updateCutByAPause_data()
{
    QTest::addColumn<QString>("cutBefore"); // the update is cut just before this text
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<QStringList>("calls");
    const QStringList once{"notify new 鈴木: 新しい話"};
    QTest::newRow("among the lines read before") << QStringLiteral("佐藤: 30行目") << 700 << once;
    QTest::newRow("at the end of one of them") << QStringLiteral("\r\n佐藤: 31行目") << 700 << once;
    QTest::newRow("before the new line") << QStringLiteral("\r\n鈴木: 新しい話") << 700 << once;
    QTest::newRow("inside the new line") << QStringLiteral("新しい話") << 700 << once;
    // A segment lost twice or more: the pause outlasts the wait for the rest.
    QTest::newRow("among the lines read before, 1.6 s") << QStringLiteral("佐藤: 25行目") << 1600 << once;
    QTest::newRow("among the lines read before, 3 s") << QStringLiteral("佐藤: 25行目") << 3000 << once;
    QTest::newRow("right after the separator, 1.6 s") << QStringLiteral("佐藤: 1行目") << 1600 << once;
    // What seemed whole is told, and told again whole.
    QTest::newRow("inside the new line, 1.6 s") << QStringLiteral("い話") << 1600
                                                << QStringList{"notify new 鈴木: 新し", "notify replaces 鈴木: 新しい話"};
}

void NotificationsTest::updateCutByAPause()
{
#ifdef Q_OS_WIN
    QSKIP("the freedesktop notification service is Linux's");
#else
    // A segment lost on the LAN: the hub's update comes in two parts.
    QFETCH(QString, cutBefore);
    QFETCH(int, pauseMs);
    QFETCH(QStringList, calls);
    StandInDesktop desktop(m_address);
    QVERIFY(desktop.serve());
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QStringLiteral("佐藤: %1行目の話です").arg(i);
    const QString read = lines.join(u'\n');
    UnseenWindow w(read);
    QVERIFY(w.ok);
    const QString members = QStringLiteral("太郎\r\n鈴木");
    const QByteArray update = Cp932::encode(members + QStringLiteral("/*/") + lines.join("\r\n") + "\r\n鈴木: 新しい話");
    const qsizetype cut = update.indexOf(Cp932::encode(cutBefore));
    QVERIFY(cut > 0);
    QTcpSocket *hub = w.fixture.server.client(0);
    hub->write(update.first(cut));
    // Nothing read goes, the members stay, and nothing is told twice.
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < pauseMs) {
        QTest::qWait(20);
        QVERIFY2(w.fixture.w.Text3->text().startsWith(read), qPrintable(w.fixture.w.Text3->text().right(40)));
        QVERIFY(!w.fixture.w.Text4->text().isEmpty());
    }
    hub->write(update.sliced(cut));
    QTRY_COMPARE_WITH_TIMEOUT(w.fixture.w.Text3->text(), read + QStringLiteral("\n鈴木: 新しい話"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, calls, 3000);
    // The next update, one more line: only that line is news.
    QVERIFY(w.update(read + QStringLiteral("\n鈴木: 新しい話\n鈴木: 次"), QStringLiteral("太郎\n鈴木")));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, calls + QStringList{"notify replaces 鈴木: 新しい話\n鈴木: 次"}, 3000);
    QTest::qWait(300);
    QCOMPARE(desktop.calls.size(), calls.size() + 1);
    QCOMPARE(desktop.counts.last(), QStringLiteral("2/true"));
    QCOMPARE(w.fixture.w.Text4->text(), QStringLiteral("太郎\n鈴木"));
#endif
}

void NotificationsTest::nothingReachesTheDesktopBeforeTheWindow()
{
    // With --no-notifications no notification-area icon ever shows.
    form1 window;
    QVERIFY(!window.findChild<DesktopNotifier *>());
    window.setNotificationsEnabled(false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.findChild<DesktopNotifier *>());
    window.setNotificationsEnabled(true);
    QVERIFY(window.findChild<DesktopNotifier *>());
}

void NotificationsTest::aSaveDialogOfWispleafsIsLookedAt()
{
#ifdef Q_OS_WIN
    QSKIP("the freedesktop notification service is Linux's");
#else
    StandInDesktop desktop(m_address);
    QVERIFY(desktop.serve());
    UnseenWindow w;
    QVERIFY(w.ok);
    const QString old = QStringLiteral("山田: 昔の話");
    bool asked = false;
    w.fixture.w.window->setSavePathChooser([&](QWidget *, const QString &) {
        // The desktop's own dialog: no window of Qt's is active meanwhile.
        asked = w.deactivate() && w.update(old + "\na");
        return QString();
    });
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("会話を保存..."))
                QTimer::singleShot(0, action, &QAction::trigger);
        }
        menu->close();
    });
    emit w.fixture.w.Text3->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY_WITH_TIMEOUT(asked, 5000);
    // Once it is closed, lines are news again.
    QVERIFY(w.update(old + "\na\nb"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, QStringList{"notify new b"}, 3000);
#endif
}

void NotificationsTest::whereThePersonLeftOffInTheWindow()
{
    UnseenWindow w;
    QVERIFY(w.ok);
    DisplayField *text3 = w.fixture.w.Text3;
    // The conversation's menu: its item 「未読の先頭へ」, chosen or not.
    const auto leftOffItem = [&](bool choose) {
        std::optional<bool> enabled;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
                if (action->text() == QStringLiteral("未読の先頭へ")) {
                    enabled = action->isEnabled();
                    if (choose)
                        action->trigger();
                }
            }
            if (menu)
                menu->close();
        });
        emit text3->customContextMenuRequested(QPoint(5, 5));
        (void)QTest::qWaitFor([&] { return enabled.has_value(); }, 2000);
        return enabled;
    };
    QCOMPARE(text3->leftOffAt(), -1); // the history places none
    QCOMPARE(leftOffItem(false), std::optional<bool>(false));
    QString conversation = QStringLiteral("山田: 昔の話");
    for (int i = 0; i < 60; ++i)
        conversation += QStringLiteral("\n佐藤: %1行目").arg(i);
    const auto place = [&](const QString &line) { return conversation.indexOf(line); };
    // The hub adds a line, shown and complete.
    const auto added = [&](const QString &line) {
        conversation += u'\n' + line;
        return w.update(conversation);
    };
    QVERIFY(w.update(conversation));
    QCOMPARE(text3->leftOffAt(), place("佐藤: 0行目"));
    QVERIFY(w.activate());
    // Away again: news.
    QVERIFY(w.deactivate());
    QVERIFY(added(QStringLiteral("鈴木: 留守中の話")));
    QCOMPARE(text3->leftOffAt(), place("鈴木: 留守中の話"));
    QCOMPARE(text3->accessibleDescription(), QStringLiteral("未読は 62 行目から"));
    // Back: it stays, and the menu takes the reader there.
    QVERIFY(w.activate());
    text3->verticalScrollBar()->setValue(0);
    QCOMPARE(leftOffItem(true), std::optional<bool>(true));
    // Its line at the top, or as high as the end of the text allows.
    QCOMPARE(text3->verticalScrollBar()->value(), std::min(61, text3->verticalScrollBar()->maximum()));
    QVERIFY(text3->visibleRange().first <= text3->leftOffAt() && text3->leftOffAt() < text3->visibleRange().second);
    // The person's own line, sent and come back while away: it stays.
    w.fixture.w.Text2->setText(QStringLiteral("了解"));
    w.fixture.w.Command1->click();
    QVERIFY(w.deactivate());
    QVERIFY(added(QStringLiteral("太郎: 了解")));
    QCOMPARE(text3->leftOffAt(), place("鈴木: 留守中の話"));
    // Looked at and away again: the next news moves it.
    QVERIFY(w.activate());
    QVERIFY(w.deactivate());
    QVERIFY(added(QStringLiteral("鈴木: 次の話")));
    QCOMPARE(text3->leftOffAt(), place("鈴木: 次の話"));
    QCOMPARE(text3->accessibleDescription(), QStringLiteral("未読は 64 行目から"));
    // A conversation replaced whole: gone.
    QVERIFY(w.update(QStringLiteral("別の会話")));
    QCOMPARE(text3->leftOffAt(), -1);
    QCOMPARE(text3->accessibleDescription(), QString());
    QCOMPARE(text3->text(), QStringLiteral("別の会話")); // never a character of the text
}

void NotificationsTest::markupEscapedOnlyWhereRendered_data()
{
    QTest::addColumn<bool>("markup");
    QTest::addColumn<QString>("body");
    const QString line = QStringLiteral("<a href=\"http://x\">見て</a> & <img src=\"file:///etc/passwd\">");
    QTest::newRow("the server renders markup")
        << true << QStringLiteral("&lt;a href=\"http://x\"&gt;見て&lt;/a&gt; &amp; &lt;img src=\"file:///etc/passwd\"&gt;");
    QTest::newRow("plain text server") << false << line;
}

void NotificationsTest::markupEscapedOnlyWhereRendered()
{
#ifdef Q_OS_WIN
    QSKIP("a balloon shows plain text");
#else
    QFETCH(bool, markup);
    QFETCH(QString, body);
    StandInDesktop desktop(m_address);
    if (markup)
        desktop.capabilities << QStringLiteral("body-markup");
    QVERIFY(desktop.serve());
    UnseenWindow w;
    QVERIFY(w.ok);
    const QString line = QStringLiteral("<a href=\"http://x\">見て</a> & <img src=\"file:///etc/passwd\">");
    QVERIFY(w.update(QStringLiteral("山田: 昔の話\n") + line));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, QStringList{"notify new " + body}, 2000);
#endif
}

void NotificationsTest::serviceMissingOrHungDelaysNothing_data()
{
    QTest::addColumn<QString>("service");
    QTest::newRow("no notification service") << "none";
    QTest::newRow("a service that never answers") << "hung";
}

void NotificationsTest::serviceMissingOrHungDelaysNothing()
{
#ifdef Q_OS_WIN
    QSKIP("no session bus on Windows");
#else
    QFETCH(QString, service);
    StandInDesktop desktop(m_address);
    desktop.answers = false;
    if (service == "hung")
        QVERIFY(desktop.serve());
    MessageBoxWatcher boxes;
    UnseenWindow w;
    QVERIFY(w.ok);
    int attention = 0;
    w.fixture.w.window->setAttentionRequest([&](QWidget *) { ++attention; });
    for (int i = 1; i <= 3; ++i) {
        QElapsedTimer shown;
        shown.start();
        QVERIFY(w.shown(QStringLiteral("山田: 昔の話\n") + QStringList{"a", "b", "c"}.mid(0, i).join('\n')));
        QVERIFY2(shown.elapsed() < 1000, qPrintable(QString::number(shown.elapsed())));
        // and told once complete, again without delay
        QVERIFY(w.complete.wait(3000));
        QVERIFY2(shown.elapsed() < 2000, qPrintable(QString::number(shown.elapsed())));
    }
    QCOMPARE(attention, 3);
    QVERIFY(boxes.seen().isEmpty());
    QVERIFY(w.activate());
#endif
}

void NotificationsTest::trayIconAndBalloon()
{
#ifndef Q_OS_WIN
    QSKIP("the notification-area icon is Windows'");
#else
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        QSKIP("the notification area needs the real platform (-platform windows)");
    QWidget window;
    window.setWindowIcon(QIcon(QStringLiteral(":/wispleaf/wispleaf.xpm")));
    window.show();
    std::unique_ptr<DesktopNotifier> notifier(DesktopNotifier::create(&window));
    auto *tray = notifier->findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(tray->isVisible());
    QVERIFY(QSystemTrayIcon::supportsMessages());
    notifier->setStatusText(QStringLiteral(" 接続できました！通信できます。"));
    QCOMPARE(tray->toolTip(), QStringLiteral("Wispleaf\n接続できました！通信できます。"));
    // The balloon's field holds 255 characters: the body is fitted to it.
    QCOMPARE(notifier->longestBody(), 255);
    notifier->notify(QStringLiteral("Wispleaf"), QStringLiteral("佐藤: こんにちは"));
    QSignalSpy chosen(notifier.get(), &DesktopNotifier::activated);
    emit tray->messageClicked(); // what the shell reports for a click on the balloon
    QCOMPARE(chosen.size(), 1);
    // The task-bar overlay and a balloon taken back cannot be read back
    // from the shell, so they are not checked here.
#endif
}

QTEST_MAIN(NotificationsTest)
#include "tst_notifications.moc"
