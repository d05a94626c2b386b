#include "codepage932.h"
#include "displayfield.h"
#include "mainwindowharness.h"
#include "testsupport.h"
#include "twips.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QTextBlock>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

class ChatWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void definition();
    void tabOrder();
    void menuItemsDeliverTheirIndex();
    void displayFieldsAreReadOnlyPlainText();
    void sendStep_data();
    void sendStep();
    void displayStep_data();
    void displayStep();
    void updateSplitAcrossArrivals();
    void longUpdateInManyPieces();
    void oneHugeLineIsCopiedAsSent();
    void attentionWhenTheConversationChangesUnseen();
    void screenReaderNames();
    void layoutFollowsTheWindow();
    void tinyAndMinimisedWindows();

private:
    std::unique_ptr<WindowWithServer> m_fixture;
    LoopbackServer *m_server = nullptr;
    MainWindowHarness *m_w = nullptr;
};

void ChatWindowTest::init()
{
    m_fixture = std::make_unique<WindowWithServer>();
    m_server = &m_fixture->server;
    m_w = &m_fixture->w;
}

void ChatWindowTest::cleanup()
{
    m_fixture.reset();
}

void ChatWindowTest::definition()
{
    form1 &window = *m_w->window;
    const Twips twips(window.logicalDpiX());
    QCOMPARE(window.centralWidget()->size(), QSize(twips.toPixels(4884), twips.toPixels(4368)));
    for (QAction *action : window.findChildren<QAction *>()) {
        QVERIFY(action->shortcut().isEmpty());
        QVERIFY(!action->text().contains(u'&'));
    }
    // The status bar spans the bottom edge of the client area.
    QCOMPARE(m_w->SB->geometry().bottom(), window.centralWidget()->height() - 1);
    QCOMPARE(m_w->SB->width(), window.centralWidget()->width());
}

void ChatWindowTest::tabOrder()
{
    const QList<QWidget *> expected{m_w->Text1, m_w->Text2, m_w->Command1, m_w->Text3,
                                    m_w->Command2, m_w->Command3, m_w->Text4};
    QWidget *widget = m_w->Text1;
    for (qsizetype i = 1; i < expected.size(); ++i) {
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus);
        QCOMPARE(widget->objectName(), expected[i]->objectName());
    }
}

void ChatWindowTest::menuItemsDeliverTheirIndex()
{
    QList<QPair<QWidget *, QString>> opened;
    m_w->window->setHelpOpener([&](QWidget *owner, const QString &path) { opened.append({owner, path}); });

    m_w->find<QAction>("h11_1")->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].first, m_w->window.get());
    QVERIFY(opened[0].second.endsWith(QDir::toNativeSeparators(QStringLiteral("/Wispline.chm"))));

    // Index 0 shows the version window, modally; close it when it shows.
    QString aboutTitle;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *modal = QApplication::activeModalWidget(); modal && modal->objectName() == "frmAbout") {
            aboutTitle = modal->windowTitle();
            modal->close();
        }
    });
    poll.start(10);
    m_w->find<QAction>("h11_0")->trigger();
    QCOMPARE(aboutTitle, QStringLiteral("Wispleafのﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(opened.size(), 1);

    // The settings item opens the destination window.
    QString settingsWindow;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *modal = QApplication::activeModalWidget(); modal && modal->objectName() == "Form2") {
            settingsWindow = modal->objectName();
            modal->close();
        }
    });
    m_w->find<QAction>("set11_0")->trigger();
    QCOMPARE(settingsWindow, QStringLiteral("Form2"));

    m_w->find<QAction>("f11_0")->trigger();
    QVERIFY(!m_w->window->isVisible());
}

void ChatWindowTest::displayFieldsAreReadOnlyPlainText()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_server->sendToAll("<b>names</b>/*/<i>x</i>&amp;");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QStringLiteral("<b>names</b>"), 5000);
    QCOMPARE(m_w->Text3->toPlainText(), QStringLiteral("<i>x</i>&amp;"));

    for (QPlainTextEdit *field : {m_w->Text3, m_w->Text4}) {
        const QString before = field->toPlainText();
        field->setFocus();
        QTest::keyClicks(field, "typed");
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->toPlainText(), before);
        QVERIFY(field->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        QVERIFY(field->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(field->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
}

void ChatWindowTest::sendStep_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("left");

    QTest::newRow("button, text") << "abc" << "button" << QByteArray("NormalTelabc/*/~127.0.0.1") << "";
    QTest::newRow("button, empty") << "" << "button" << QByteArray("/Reflesh//*/~127.0.0.1") << "";
    QTest::newRow("button, one space") << " " << "button" << QByteArray("NormalTel /*/~127.0.0.1") << "";
    QTest::newRow("Enter, Japanese") << "花子" << "return" << QByteArray("NormalTel\x89\xD4\x8E\x71/*/~127.0.0.1") << "";
    QTest::newRow("keypad Enter") << "abc" << "enter" << QByteArray("NormalTelabc/*/~127.0.0.1") << "";
    QTest::newRow("Enter, empty") << "" << "return" << QByteArray("/Reflesh//*/~127.0.0.1") << "";
    QTest::newRow("other key") << "abc" << "key" << QByteArray() << "abcx";
}

void ChatWindowTest::sendStep()
{
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QByteArray, sent);
    QFETCH(QString, left);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    const QByteArray entry = m_server->received(0);

    m_w->Text2->setFocus();
    m_w->Text2->setText(typed);
    if (how == "button")
        m_w->Command1->click();
    else if (how == "return")
        QTest::keyClick(m_w->Text2, Qt::Key_Return);
    else if (how == "enter")
        QTest::keyClick(m_w->Text2, Qt::Key_Enter, Qt::KeypadModifier);
    else
        QTest::keyClick(m_w->Text2, Qt::Key_X);

    if (sent.isEmpty())
        QTest::qWait(100);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->received(0).mid(entry.size()), sent, 5000);
    QCOMPARE(m_w->Text2->text(), left);
    if (how != "button")
        QCOMPARE(QApplication::focusWidget(), m_w->Text2);
}

void ChatWindowTest::displayStep_data()
{
    QTest::addColumn<QByteArray>("update");
    QTest::addColumn<QString>("text4");
    QTest::addColumn<QString>("text3");
    QTest::newRow("A/*/B") << QByteArray("A/*/B") << "A" << "B";
    QTest::newRow("no separator") << QByteArray("no separator") << "" << "";
    QTest::newRow("leading separator") << QByteArray("/*/rest") << "" << "rest";
    QTest::newRow("trailing separator") << QByteArray("first/*/") << "first" << "";
    QTest::newRow("two updates at once") << QByteArray("a/*/bc/*/d") << "a" << "bc/*/d";
    QTest::newRow("CR LF and LF lines") << QByteArray("\x91\xBE\x98\x59\r\n\x89\xD4\x8E\x71/*/x\r\ny\nz")
                                        << "太郎\n花子" << "x\ny\nz";
    QTest::newRow("NUL and invalid bytes") << QByteArray("a\0b/*/\xFF\x80ok", 10) << QStringLiteral("a") + QChar(0) + "b"
                                           << "";
}

void ChatWindowTest::displayStep()
{
    QFETCH(QByteArray, update);
    QFETCH(QString, text4);
    QFETCH(QString, text3);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_server->sendToAll("old/*/old");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QStringLiteral("old"), 5000);

    m_server->sendToAll(update);
    QTRY_VERIFY_WITH_TIMEOUT(m_w->Text4->toPlainText() != QStringLiteral("old"), 5000);
    QCOMPARE(m_w->Text4->toPlainText(), text4);
    if (QTest::currentDataTag() == QByteArray("NUL and invalid bytes"))
        QVERIFY(m_w->Text3->toPlainText().endsWith(QStringLiteral("ok")));
    else
        QCOMPARE(m_w->Text3->toPlainText(), text3);
}

void ChatWindowTest::updateSplitAcrossArrivals()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_server->sendToAll("X/*/Y");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QStringLiteral("X"), 5000);
    // Half of 太: an arrival without a separator empties both fields.
    m_server->sendToAll("\x91");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QString(), 5000);
    QCOMPARE(m_w->Text3->toPlainText(), QString());
    m_server->sendToAll("\xBE/*/z");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QStringLiteral("太"), 5000);
    QCOMPARE(m_w->Text3->toPlainText(), QStringLiteral("z"));
}

void ChatWindowTest::longUpdateInManyPieces()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QString members, lines;
    for (int i = 0; i < 30; ++i)
        members += QStringLiteral("参加者%1\r\n").arg(i);
    while (lines.size() < 320 * 1024) // about 400 KB on the wire
        lines += QStringLiteral("山田: 会議は10時から/*/です。The meeting starts at 10.\r\n");
    const QByteArray update = Cp932::encode(members + QStringLiteral("/*/") + lines);
    // Pieces of one Ethernet segment's payload, as a LAN delivers them.
    for (qsizetype at = 0; at < update.size(); at += 1448) {
        m_server->sendToAll(update.mid(at, 1448));
        m_server->client(0)->flush();
        QTest::qWait(1);
    }
    QString expectedLines = lines;
    expectedLines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text3->toPlainText().size(), expectedLines.size(), 10000);
    QCOMPARE(m_w->Text3->toPlainText(), expectedLines);
    QCOMPARE(m_w->Text4->toPlainText(), QString(members).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void ChatWindowTest::oneHugeLineIsCopiedAsSent()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QString line;
    while (line.size() < 1024 * 1024)
        line += QStringLiteral("山田: 会議は10時からです。");
    m_server->sendToAll(Cp932::encode(QStringLiteral("members/*/") + line));
    auto *field = qobject_cast<DisplayField *>(m_w->Text3);
    QTRY_COMPARE_WITH_TIMEOUT(field->text().size(), line.size(), 10000);
    QCOMPARE(field->text(), line);
    // Laid out in paragraphs short enough to shape at once.
    for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= LongLines::kMaxChars + 1);
    // A copy gives the text as sent, whatever part is selected.
    QTextCursor cursor(field->document());
    cursor.setPosition(10);
    cursor.setPosition(3 * LongLines::kMaxChars, QTextCursor::KeepAnchor);
    field->setTextCursor(cursor);
    field->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), line.mid(10, 3 * LongLines::kMaxChars - 10 - 2));
    field->selectAll();
    field->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), line);
}

void ChatWindowTest::attentionWhenTheConversationChangesUnseen()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    int requests = 0;
    m_w->window->setAttentionRequest([&](QWidget *window) {
        QCOMPARE(window, m_w->window.get());
        ++requests;
    });
    auto update = [&](const QByteArray &bytes, const QString &members) {
        m_server->sendToAll(bytes);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), members, 5000);
    };
    m_w->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w->window.get()));
    update("a/*/line 1", "a");
    QCOMPARE(requests, 0); // the user is looking

    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    update("b/*/line 1\nline 2", "b");
    QCOMPARE(requests, 1);
    update("c/*/line 1\nline 2", "c"); // members only: nothing new to read
    QCOMPARE(requests, 1);
}

void ChatWindowTest::screenReaderNames()
{
    QCOMPARE(accessibleName(m_w->Text1), QStringLiteral("名前"));
    QCOMPARE(accessibleName(m_w->Text2), QStringLiteral("送信文"));
    QCOMPARE(accessibleName(m_w->Text3), QStringLiteral("会話"));
    QCOMPARE(accessibleName(m_w->Text4), QStringLiteral("参加者"));
    QCOMPARE(accessibleName(m_w->Command2), QStringLiteral("接続/参加"));
    // The status bar is named by what it says, and follows it.
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QCOMPARE(accessibleName(m_w->SB), QStringLiteral(" 接続できました！通信できます。"));
    m_server->client(0)->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(accessibleName(m_w->SB), QStringLiteral("Wisphub側がプログラムを閉じました"), 5000);
}

void ChatWindowTest::layoutFollowsTheWindow()
{
    form1 &window = *m_w->window;
    const Twips twips(window.logicalDpiX());
    if (window.logicalDpiX() != 96)
        QSKIP("the worked example is in whole pixels at 96 dpi");
    window.resize(600, 400 + window.menuBar()->height());
    QTRY_COMPARE(window.centralWidget()->size(), QSize(600, 400));

    struct Expect { QWidget *widget; QRect rect; };
    const int buttonHeight = m_w->Command2->height();
    const Expect expected[] = {
        {m_w->Text1, QRect(90, 40, 180, m_w->Text1->height())},
        {m_w->Text2, QRect(90, 80, 378, m_w->Text2->height())},
        {m_w->Text3, QRect(0, 120, 420, 240)},
        {m_w->Text4, QRect(420, 120, 180, 240 - 2 * buttonHeight)},
        {m_w->Command2, QRect(426, 360 - 2 * buttonHeight, 171, buttonHeight)},
        {m_w->Command3, QRect(426, 360 - buttonHeight, 171, buttonHeight)},
    };
    for (const Expect &e : expected)
        QCOMPARE(e.widget->geometry(), e.rect);
    QCOMPARE(m_w->find<QWidget>("Label1")->pos(), QPoint(6, 48));
    QCOMPARE(m_w->find<QWidget>("Label2")->pos(), QPoint(6, 88));
    QCOMPARE(m_w->Command1->pos(), QPoint(474, 80));
    QCOMPARE(buttonHeight, twips.toPixels(252));
    QCOMPARE(m_w->Command3->height(), twips.toPixels(252));

    // Running it again at the same size changes nothing.
    const QRect before = m_w->Text4->geometry();
    window.resize(600, 400 + window.menuBar()->height());
    QCOMPARE(m_w->Text4->geometry(), before);
}

void ChatWindowTest::tinyAndMinimisedWindows()
{
    form1 &window = *m_w->window;
    window.resize(200, window.menuBar()->height() + 20);
    QTRY_COMPARE(window.centralWidget()->height(), 20);
    QCOMPARE(m_w->Text4->height(), 0);
    QVERIFY(m_w->Command2->y() < 0);
    QCOMPARE(m_w->SB->geometry().bottom(), 19);

    window.showMinimized();
    QTest::qWait(20);
    window.showNormal();
    window.resize(600, 400 + window.menuBar()->height());
    QTRY_COMPARE(m_w->Text3->height(), 240);
}

QTEST_MAIN(ChatWindowTest)
#include "tst_chatwindow.moc"
