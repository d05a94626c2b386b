// New lines reach a person who is not looking: which lines are news (a
// table), and on Linux what a stand-in notification service on a private
// session bus receives; on Windows the notification-area icon and balloon.
#include "codepage932.h"
#include "desktopnotifier.h"
#include "displayfield.h"
#include "mainwindowharness.h"
#include "newmessages.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

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

    void invoke(const QString &action)
    {
        m_bus.send(QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked")) << lastId << action);
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
        return lastId = replaces != 0 ? replaces : lastId + 1;
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
    void unseenLinesSummedUp();
    void desktopHearsOfNewLines_data();
    void desktopHearsOfNewLines();
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

void NotificationsTest::whatIsNews_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("context"); // "active", "history", "own:<text>" or ""
    QTest::addColumn<QStringList>("announced");
    const QString log = QStringLiteral("山田: おはよう\n佐藤: 会議は10時");
    QTest::newRow("one line added") << log << log + "\n鈴木: 了解" << "" << QStringList{"鈴木: 了解"};
    QTest::newRow("lines added after an ended line") << log + "\n" << log + "\na\nb\n" << "" << QStringList{"a", "b"};
    QTest::newRow("oldest dropped, one added") << log << QStringLiteral("佐藤: 会議は10時\n鈴木: 了解") << ""
                                               << QStringList{"鈴木: 了解"};
    QTest::newRow("the window is active") << log << log + "\nx" << "active" << QStringList();
    QTest::newRow("the history at joining again") << log << log + "\nx" << "history" << QStringList();
    QTest::newRow("the first conversation shown") << QString() << log << "" << QStringList();
    QTest::newRow("the person's own line") << log << log + "\n太郎: こんにちは" << "own:こんにちは" << QStringList();
    QTest::newRow("own line among others") << log << log + "\n太郎: こんにちは\n花子: やあ" << "own:こんにちは"
                                           << QStringList{"花子: やあ"};
    QTest::newRow("nothing new (a refresh)") << log << log << "" << QStringList();
    QTest::newRow("replaced whole") << log << QStringLiteral("別の会話\nです") << "" << QStringList();
    QTest::newRow("the last line changed") << log << log + "です" << "" << QStringList();
    QTest::newRow("a line inside changed") << log << QStringLiteral("山田: おはよう!\n佐藤: 会議は10時\nx") << ""
                                           << QStringList();
    QTest::newRow("blank lines are no news") << log << log + "\n\n\n" << "" << QStringList();
}

void NotificationsTest::whatIsNews()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, context);
    QFETCH(QStringList, announced);
    const QString own = context.startsWith("own:") ? context.mid(4) : QString();
    // As the conversation field finds it.
    DisplayField field;
    field.setText(before);
    field.setText(after);
    const NewMessages::Verdict verdict =
        NewMessages::judge({field.addedAtEnd(), context == "active", context == "history", own});
    QCOMPARE(verdict.lines, announced);
    QCOMPARE(verdict.ownLineSeen, !own.isEmpty());
}

void NotificationsTest::unseenLinesSummedUp()
{
    Unseen unseen;
    unseen.add({"1", "2", "3"});
    QCOMPARE(unseen.body(), QStringLiteral("1\n2\n3"));
    unseen.add({"4", "5", "6", "7", "8", "9", "10", "11", "12"});
    QCOMPARE(unseen.count(), 12);
    QCOMPARE(unseen.body(), QStringLiteral("8\n9\n10\n11\n12\nほか 7 行"));
    unseen.clear();
    unseen.add({"a"});
    QCOMPARE(unseen.body(), QStringLiteral("a"));
}

namespace {
// One window joined to its own hub, the history shown, then in the
// background behind another window.
struct UnseenWindow
{
    UnseenWindow()
    {
        ok = fixture.w.join(fixture.server, QStringLiteral("太郎"));
        elsewhere.show();
        ok = ok && deactivate();
        ok = ok && update(QStringLiteral("山田: 昔の話"));
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
    bool update(const QString &conversation, const QString &members = QStringLiteral("太郎"))
    {
        fixture.server.sendToAll(Cp932::encode(members + "/*/" + conversation));
        return QTest::qWaitFor([&] { return fixture.w.Text3->text() == conversation && fixture.w.Text4->text() == members; },
                               5000);
    }

    WindowWithServer fixture;
    QWidget elsewhere;
    bool ok = false;
};
} // namespace

void NotificationsTest::desktopHearsOfNewLines_data()
{
    QTest::addColumn<QStringList>("steps"); // "update:<text>", "members:<text>", "send:<text>", "activate", "deactivate", "invoke"
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
    QTest::newRow("joined again: the history is no news") << QStringList{"rejoin", "update:" + old + "\n佐藤: 留守中の発言"}
                                                           << QStringList() << QStringList();
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
    for (const QString &step : std::as_const(steps)) {
        if (step.startsWith("update:")) {
            conversation = step.mid(7);
            QVERIFY(w.update(conversation));
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
            desktop.invoke(QStringLiteral("default"));
            QVERIFY(QTest::qWaitForWindowActive(w.fixture.w.window.get()));
        }
        QTest::qWait(100); // the bus answers
    }
    QTRY_COMPARE_WITH_TIMEOUT(desktop.calls, calls, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.counts, counts, 2000);
    QTest::qWait(200);
    QCOMPARE(desktop.calls, calls); // and nothing more
    QVERIFY2(desktop.wrongField.isEmpty(), qPrintable(desktop.wrongField));
#endif
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
        QVERIFY(w.update(QStringLiteral("山田: 昔の話\n") + QStringList{"a", "b", "c"}.mid(0, i).join('\n')));
        QVERIFY2(shown.elapsed() < 1000, qPrintable(QString::number(shown.elapsed())));
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
    DesktopNotifier notifier(&window);
    auto *tray = notifier.findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(tray->isVisible());
    QVERIFY(QSystemTrayIcon::supportsMessages());
    notifier.setStatusText(QStringLiteral(" 接続できました！通信できます。"));
    QCOMPARE(tray->toolTip(), QStringLiteral("Wispleaf\n接続できました！通信できます。"));
    notifier.notify(QStringLiteral("Wispleaf"), QStringLiteral("佐藤: こんにちは"));
    notifier.setUnreadCount(3);
    notifier.setUnreadCount(12);
    notifier.setUnreadCount(0);
    QSignalSpy chosen(&notifier, &DesktopNotifier::activated);
    emit tray->messageClicked(); // what the shell reports for a click on the balloon
    QCOMPARE(chosen.size(), 1);
#endif
}

QTEST_MAIN(NotificationsTest)
#include "tst_notifications.moc"
