#include "chatsocket.h"
#include "codepage932.h"
#include "updateassembly.h"
#include "displayfield.h"
#include "destinationwindowharness.h"
#include "mainwindowharness.h"
#include "testsupport.h"

#include <QAction>
#include <QClipboard>
#include <QScrollBar>
#include <QInputMethodEvent>
#include <QTextBlock>
#include <QApplication>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QAccessible>
#include <QTest>

#include <QElapsedTimer>
#include <QFile>

class ChatWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuItemsOpenTheirWindows();
    void sendingTypedText_data();
    void sendingTypedText();
    void displayUpdates_data();
    void displayUpdates();
    void trickledUpdateShownWholeWithinASecond_data();
    void trickledUpdateShownWholeWithinASecond();
    void copyGivesWhatIsSelected_data();
    void copyGivesWhatIsSelected();
    void readerKeepsTheirPlace_data();
    void readerKeepsTheirPlace();
    void attentionWhenTheConversationChangesUnseen();
    void screenReaderNames();
    void screenReaderHearsOnlyTheNewLine_data();
    void screenReaderHearsOnlyTheNewLine();
    void accessiblePlacesAreWhereCharactersAre();
    void tabOrderWhileJoined();
    void endlessStreamStaysSmall_data();
    void endlessStreamStaysSmall();
    void layoutFollowsTheWindow();
    void messageBackWhenTheHubDiesWithItUnread();

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

void ChatWindowTest::menuItemsOpenTheirWindows()
{
    // Each item opens its window modally; close it once it shows.
    QStringList opened;
    auto closeWhenShown = [&opened](QWidget *modal) {
        opened << modal->windowTitle();
        modal->close();
    };
    onceModal("frmAbout", closeWhenShown);
    m_w->find<QAction>("h11_0")->trigger();
    onceModal("Form2", closeWhenShown);
    m_w->find<QAction>("set11_0")->trigger();
    QCOMPARE(opened, (QStringList{"Wispleafのﾊﾞｰｼﾞｮﾝ情報", "Wispleaf"}));
    m_w->find<QAction>("f11_0")->trigger();
    QVERIFY(!m_w->window->isVisible());
}

void ChatWindowTest::sendingTypedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("left");

    QTest::newRow("button, text") << "abc" << "button" << QByteArray("NormalTelabc/*/~127.0.0.1") << "";
    QTest::newRow("button, empty") << "" << "button" << QByteArray("/Reflesh//*/~127.0.0.1") << "";
    QTest::newRow("Enter, Japanese") << "花子" << "return" << QByteArray("NormalTel\x89\xD4\x8E\x71/*/~127.0.0.1") << "";
    QTest::newRow("keypad Enter") << "abc" << "enter" << QByteArray("NormalTelabc/*/~127.0.0.1") << "";
    QTest::newRow("other key") << "abc" << "key" << QByteArray() << "abcx";
    QTest::newRow("failed send keeps the text") << "abc" << "lost" << QByteArray() << "abc";
    // Mozc and other Linux input methods type U+301C for the wave dash.
    QTest::newRow("wave dash as an input method types it")
        << QStringLiteral("10時\u301C12時") << "return" << QByteArray("NormalTel10\x8E\x9E\x81\x60" "12\x8E\x9E/*/~127.0.0.1")
        << "";
    // The Enter that confirms a conversion goes to the input method, which
    // hands over the converted text: nothing is sent yet.
    QTest::newRow("Enter confirming a conversion") << "10" << "conversion" << QByteArray() << QStringLiteral("10時〜");
    // Peers would see "?": nothing goes, the text stays, the status says why.
    QTest::newRow("a character without a form is held")
        << QString::fromUtf8("OK\xF0\x9F\x91\x8D") << "held" << QByteArray() << QString::fromUtf8("OK\xF0\x9F\x91\x8D");
}

void ChatWindowTest::sendingTypedText()
{
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QByteArray, sent);
    QFETCH(QString, left);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    const QByteArray entry = m_server->received(0);

    m_w->Text2->setFocus();
    m_w->Text2->setText(typed);
    if (how == "button" || how == "held")
        m_w->Command1->click();
    else if (how == "return")
        QTest::keyClick(m_w->Text2, Qt::Key_Return);
    else if (how == "enter")
        QTest::keyClick(m_w->Text2, Qt::Key_Enter, Qt::KeypadModifier);
    else if (how == "key")
        QTest::keyClick(m_w->Text2, Qt::Key_X);
    if (how == "conversion") {
        QInputMethodEvent composing(QStringLiteral("じ"), {});
        QApplication::sendEvent(m_w->Text2, &composing);
        QInputMethodEvent confirmed;
        confirmed.setCommitString(QStringLiteral("時〜"));
        QApplication::sendEvent(m_w->Text2, &confirmed);
    }
    if (how == "lost") { // the connection gone without a word, the button still enabled
        m_w->find<ChatSocket>("WSock")->close();
        m_w->Command1->click();
        QCOMPARE(m_w->status(), QStringLiteral("送信できませんでした（接続されていません）"));
    }

    if (how == "held")
        QCOMPARE(m_w->status(), QString::fromUtf8("「\xF0\x9F\x91\x8D」は送信できない文字です"));
    if (sent.isEmpty())
        QTest::qWait(100);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->received(0).mid(entry.size()), sent, 5000);
    QCOMPARE(m_w->Text2->text(), left);
    if (how != "button" && how != "lost" && how != "held")
        QCOMPARE(QApplication::focusWidget(), m_w->Text2);
}

void ChatWindowTest::displayUpdates_data()
{
    QTest::addColumn<QByteArrayList>("pieces"); // each read on its own
    QTest::addColumn<bool>("thenClose");
    QTest::addColumn<QString>("text4");
    QTest::addColumn<QString>("text3");
    const QByteArrayList none;
    // The hub sends whole updates: what has no "/*/" is the rest of one.
    QTest::newRow("no separator continues the update") << QByteArrayList{"no separator"} << false << "old"
                                                       << "oldno separator";
    QTest::newRow("markup is text") << QByteArrayList{"<b>names</b>/*/<i>x</i>&amp;"} << false << "<b>names</b>"
                                    << "<i>x</i>&amp;";
    QTest::newRow("NUL and invalid bytes") << QByteArrayList{QByteArray("a\0b/*/\xFF\x80ok\x1A", 11)} << false
                                           << QStringLiteral("a") + QChar(0) + "b" << QStringLiteral("\uFFFD\uFFFDok\x1A");
    // A lost segment resent later: the bursts of one update, however cut.
    QTest::newRow("cut inside a character") << QByteArrayList{"\x91", "\xBE/*/z"} << false << "太" << "z";
    QTest::newRow("cut after the separator") << QByteArrayList{"ab/*/x\r", "\ny"} << false << "ab" << "x\ny";
    QTest::newRow("a whole update replaces the one before")
        << QByteArrayList{"ab/*/xy", "cd/*/z"} << false << "cd" << "z";
    QTest::newRow("last words, then close") << QByteArrayList{"last/*/words"} << true << "last" << "words";
}

void ChatWindowTest::displayUpdates()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, thenClose);
    QFETCH(QString, text4);
    QFETCH(QString, text3);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_server->sendToAll("old/*/old");
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), QStringLiteral("old"), 5000);

    for (qsizetype i = 0; i < pieces.size(); ++i) {
        m_server->sendToAll(pieces[i]);
        if (!thenClose || i + 1 < pieces.size())
            QTest::qWait(200); // a pause: the pieces come as bursts of their own
    }
    if (thenClose) // right behind the last piece
        m_server->client(0)->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(m_w->status(), thenClose ? Say::serverClosed : Say::connected, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->text(), text4, 3000); // as a copy gives it
    QTRY_COMPARE_WITH_TIMEOUT(m_w->Text3->text(), text3, 3000);
    QCOMPARE(m_w->Text2->isEnabled(), !thenClose);
    QCOMPARE(accessibleName(m_w->SB), m_w->status()); // a screen reader hears what the status bar says
}

void ChatWindowTest::trickledUpdateShownWholeWithinASecond_data()
{
    QTest::addColumn<QString>("before"); // the conversation shown before it
    QTest::addColumn<QString>("after");
    QString log;
    for (int i = 1; i <= 100; ++i)
        log += QStringLiteral("佐藤: %1行目\r\n").arg(i, 3);
    QTest::newRow("a line added") << log << log + QStringLiteral("鈴木: 新しい話");
    QTest::newRow("the first at joining") << QString() << log;
    QTest::newRow("another conversation") << log << QString(log).replace(u'佐', u'加');
}

void ChatWindowTest::trickledUpdateShownWholeWithinASecond()
{
    // A hub on a slow link: 3 KB in 30-byte pieces every 25 ms, never a
    // pause in which a burst would end.
    QFETCH(QString, before);
    QFETCH(QString, after);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QSignalSpy complete(m_w->find<ChatSocket>("WSock"), &ChatSocket::updateComplete);
    if (!before.isEmpty()) {
        m_server->sendToAll(Cp932::encode("太郎/*/" + before));
        QVERIFY(complete.wait(3000));
    }
    const QByteArray update = Cp932::encode("太郎/*/" + after);
    QTcpSocket *hub = m_server->client(0);
    QElapsedTimer sinceLastPiece;
    for (qsizetype at = 0; at < update.size(); at += 30) {
        if (at > 0)
            QTest::qWait(25);
        hub->write(update.mid(at, 30));
        hub->flush();
        sinceLastPiece.start();
    }
    const QString whole = QString(after).replace("\r\n", "\n");
    QVERIFY(QTest::qWaitFor([&] { return m_w->Text3->text() == whole; }, 3000));
    QVERIFY2(sinceLastPiece.elapsed() <= 1000, qPrintable(QString::number(sinceLastPiece.elapsed())));
}

void ChatWindowTest::copyGivesWhatIsSelected_data()
{
    QTest::addColumn<QString>("conversation"); // as the server sends it
    QTest::addColumn<QString>("copied");       // select-all, then copy
    const QString x4095(LongLines::kMaxChars - 1, u'x');
    auto row = [](const char *name, const QString &sent, const QString &copied) {
        QTest::newRow(name) << "a" + sent + QStringLiteral("10時に集合") + sent + QStringLiteral("末尾")
                            << "a" + copied + QStringLiteral("10時に集合") + copied + QStringLiteral("末尾");
    };
    row("CR LF", "\r\n", "\n");
    row("CR CR LF", "\r\r\n", "\n\n");
    row("lone CR", "\r", "\n");
    row("LF", "\n", "\n");
    // Long lines are laid out cut into paragraphs: at, before and after a CR.
    row("lone CR at a paragraph cut", x4095 + "\r", x4095 + "\n");
    row("lone CR before a paragraph cut", "x" + x4095 + "\r", "x" + x4095 + "\n");
    row("lone CR after a paragraph cut", "xx" + x4095 + "\r", "xx" + x4095 + "\n");
    QString line;
    while (line.size() < 1024 * 1024)
        line += QStringLiteral("山田: 会議は10時からです。");
    row("one huge line", line, line);
}

void ChatWindowTest::copyGivesWhatIsSelected()
{
    QFETCH(QString, conversation);
    QFETCH(QString, copied);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_server->sendToAll(Cp932::encode("m/*/" + conversation));
    DisplayField *field = m_w->Text3;
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), copied, 10000);
    // Laid out in paragraphs short enough to shape at once.
    for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= LongLines::kMaxChars + 1);
    auto copyOf = [field](qsizetype from, qsizetype to) {
        QTextCursor cursor(field->document());
        cursor.setPosition(int(from));
        cursor.setPosition(int(to), QTextCursor::KeepAnchor);
        field->setTextCursor(cursor);
        field->copy();
        return QGuiApplication::clipboard()->text();
    };
    // Each phrase where the reader sees it, then from the first to the last.
    const QString seen = field->document()->toPlainText();
    const QStringList phrases{"a", QStringLiteral("10時に集合"), QStringLiteral("末尾")};
    for (const QString &phrase : phrases)
        QCOMPARE(copyOf(seen.indexOf(phrase), seen.indexOf(phrase) + phrase.size()), phrase);
    QCOMPARE(copyOf(seen.indexOf(u'a'), seen.lastIndexOf(phrases.last()) + 2),
             copied.first(copied.lastIndexOf(phrases.last()) + 2));
    field->selectAll();
    field->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

void ChatWindowTest::readerKeepsTheirPlace_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("view");
    for (const char *change : {"appended", "oldest dropped, one appended", "prepended"}) {
        for (const char *view : {"middle", "end", "selection"})
            QTest::addRow("%s, %s", change, view) << change << view;
    }
}

void ChatWindowTest::readerKeepsTheirPlace()
{
    QFETCH(QString, change);
    QFETCH(QString, view);
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("%1: 会議は10時からです。").arg(i);
    auto show = [this](const QStringList &conversation) {
        m_server->sendToAll(Cp932::encode("m/*/" + conversation.join("\r\n")));
        return QTest::qWaitFor([&] { return m_w->Text3->text() == conversation.join(u'\n'); }, 5000);
    };
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QVERIFY(show(lines));
    DisplayField *field = m_w->Text3;
    QScrollBar *bar = field->verticalScrollBar();
    bar->setValue(view == "end" ? bar->maximum() : bar->maximum() / 2);
    if (view == "selection") {
        QTextCursor line(field->document()->findBlockByNumber(150));
        line.select(QTextCursor::BlockUnderCursor);
        field->setTextCursor(line);
    }
    const QString topLine = field->cursorForPosition(QPoint(0, 0)).block().text();
    const QString selected = field->textCursor().selectedText();

    if (change != "prepended")
        lines << QStringLiteral("new");
    if (change == "prepended")
        lines.prepend(QStringLiteral("new"));
    if (change.startsWith("oldest"))
        lines.removeFirst();
    QVERIFY(show(lines));
    if (view == "end") {
        QCOMPARE(bar->value(), bar->maximum()); // new lines come into view
    } else {
        QCOMPARE(field->cursorForPosition(QPoint(0, 0)).block().text(), topLine);
        QCOMPARE(field->textCursor().selectedText(), selected);
    }
}

void ChatWindowTest::attentionWhenTheConversationChangesUnseen()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    int requests = 0;
    m_w->window->setAttentionRequest([&](QWidget *window) {
        QCOMPARE(window, m_w->window.get());
        ++requests;
    });
    // Each update shown, and complete.
    QSignalSpy complete(m_w->find<ChatSocket>("WSock"), &ChatSocket::updateComplete);
    auto update = [&](const QByteArray &bytes, const QString &members) {
        complete.clear();
        m_server->sendToAll(bytes);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->Text4->toPlainText(), members, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(complete.size(), 1, 3000);
    };
    m_w->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w->window.get()));
    update("a/*/line 1", "a");
    update("a2/*/line 1\nline 2", "a2");
    QCOMPARE(requests, 0); // the user is looking

    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    update("b/*/line 1\nline 2\nline 3", "b");
    QCOMPARE(requests, 1);
    update("c/*/line 1\nline 2\nline 3", "c"); // members only: nothing new to read
    QCOMPARE(requests, 1);
}

void ChatWindowTest::screenReaderNames()
{
    QCOMPARE(accessibleName(m_w->Text1), QStringLiteral("名前"));
    QCOMPARE(accessibleName(m_w->Text2), QStringLiteral("送信文"));
    QCOMPARE(accessibleName(m_w->Text3), QStringLiteral("会話"));
    QCOMPARE(accessibleName(m_w->Text4), QStringLiteral("参加者"));
    QCOMPARE(accessibleName(m_w->Command2), QStringLiteral("接続/参加"));
}

void ChatWindowTest::screenReaderHearsOnlyTheNewLine_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("lineEnd"); // after the last line too, or between lines only
    QTest::addColumn<bool>("oldestDropped");  // and heard as removed, apart from the new line
    for (int lines : {3, 3000}) {
        QTest::addRow("%d lines, each ended", lines) << lines << "\n" << false;
        QTest::addRow("%d lines, the last unended", lines) << lines << "" << false;
        QTest::addRow("%d lines, each ended, the oldest dropped", lines) << lines << "\n" << true;
    }
}

void ChatWindowTest::screenReaderHearsOnlyTheNewLine()
{
    QFETCH(int, lines);
    QFETCH(QString, lineEnd);
    QFETCH(bool, oldestDropped);
    QString before;
    for (int i = 0; i < lines; ++i)
        before += QStringLiteral("山田: %1番目の発言").arg(i) + (i + 1 < lines ? QStringLiteral("\n") : lineEnd);
    // Ending as the line before does: what the edit leaves alone at both
    // ends must not overlap.
    const QString line = QStringLiteral("佐藤: 確認後の発言");
    const qsizetype oldest = oldestDropped ? before.indexOf(u'\n') + 1 : 0;
    const QString after = lineEnd.isEmpty() ? before + "\n" + line : before.sliced(oldest) + line + "\n";
    DisplayField field;
    field.show();
    field.setText(before);
    // What the text control turns into the events assistive technology
    // gets: an insertion where nothing was removed, else a replacement.
    QStringList changes;
    connect(field.document(), &QTextDocument::contentsChange, this, [&](int from, int removed, int added) {
        QTextCursor range(field.document());
        range.setPosition(from);
        range.setPosition(from + added, QTextCursor::KeepAnchor);
        changes << QStringLiteral("at %1, %2 removed, \"%3\" inserted").arg(from).arg(removed).arg(
                       range.selectedText().replace(QChar::ParagraphSeparator, u'\n'));
    });
    field.setText(after);
    const QString inserted = lineEnd.isEmpty() ? "\n" + line : line + "\n";
    QStringList heard{QStringLiteral("at %1, 0 removed, \"%2\" inserted").arg(before.size()).arg(inserted)};
    if (oldestDropped)
        heard << QStringLiteral("at 0, %1 removed, \"\" inserted").arg(oldest);
    QCOMPARE(changes, heard);
    QCOMPARE(field.toPlainText(), after); // what is shown, not only what a copy gives
}

void ChatWindowTest::accessiblePlacesAreWhereCharactersAre()
{
    // What a magnifier following the caret, or "read what is under the
    // pointer", asks of the conversation.
    DisplayField field;
    field.resize(400, 300);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QStringList lines;
    for (int i = 1; i <= 10; ++i)
        lines << QStringLiteral("%1行目: 会議は10時からです").arg(i, 2);
    field.setText(lines.join(u'\n'));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&field);
    QVERIFY(accessible && accessible->textInterface());
    QAccessibleTextInterface *text = accessible->textInterface();
    QCOMPARE(text->characterCount(), int(field.text().size()));
    int above = -1;
    for (const int paragraph : {0, 4, 9}) {
        const QTextBlock block = field.document()->findBlockByNumber(paragraph);
        const int offset = block.position() + 3; // 目
        QCOMPARE(text->text(offset, offset + 1), QStringLiteral("目"));
        // Where the field draws the paragraph: from its first place's top
        // to its last place's bottom.
        QTextCursor first(block), last(block);
        last.movePosition(QTextCursor::EndOfBlock);
        const QRect drawn(0, field.cursorRect(first).top(), field.viewport()->width(),
                          field.cursorRect(last).bottom() - field.cursorRect(first).top() + 1);
        const QRect onScreen(field.viewport()->mapToGlobal(drawn.topLeft()), drawn.size());
        const QRect character = text->characterRect(offset);
        QVERIFY2(onScreen.contains(character.center()),
                 qPrintable(QStringLiteral("paragraph %1: the character at %2,%3, the paragraph %4,%5 to %6,%7")
                                .arg(paragraph + 1).arg(character.center().x()).arg(character.center().y())
                                .arg(onScreen.left()).arg(onScreen.top()).arg(onScreen.right()).arg(onScreen.bottom())));
        QCOMPARE(text->offsetAtPoint(character.center()), offset);
        QVERIFY(character.top() > above); // each paragraph on a row of its own
        above = character.bottom();
    }
}

void ChatWindowTest::endlessStreamStaysSmall_data()
{
    QTest::addColumn<int>("megabytes");
    QTest::newRow("64 MB") << 64;
    QTest::newRow("257 MB, then 切断") << 257;
}

void ChatWindowTest::endlessStreamStaysSmall()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("memory is measured without the sanitizers' own");
#endif
    QFETCH(int, megabytes);
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    QFile peakReset(QStringLiteral("/proc/self/clear_refs"));
    if (!peakReset.open(QIODevice::WriteOnly) || peakReset.write("5") != 1)
        QSKIP("the peak of resident memory cannot be reset here");
    peakReset.close();
    const double idle = processStatusMiB(QStringLiteral("self"), "VmRSS");
    // Lines of a conversation without "/*/" and without a pause, as fast as
    // the window reads them.
    QByteArray piece;
    while (piece.size() < 1024 * 1024)
        piece += Cp932::encode(QStringLiteral("山田: 今日の会議は10時からです。The meeting starts at 10.\r\n"));
    piece.truncate(1024 * 1024);
    QTcpSocket *hub = m_server->client(0);
    QElapsedTimer clock;
    clock.start();
    // The longer stream is ended halfway by 切断/退室, while it still floods in.
    const int disconnectAt = megabytes > 64 ? megabytes / 2 : -1;
    QElapsedTimer untilClosed;
    for (int i = 0; i < megabytes && m_w->window->isVisible(); ++i) {
        if (i == disconnectAt) {
            QMetaObject::invokeMethod(m_w->Command3, &QPushButton::click, Qt::QueuedConnection);
            untilClosed.start();
        }
        hub->write(piece);
        QVERIFY(QTest::qWaitFor([&] { return hub->bytesToWrite() < 4 * 1024 * 1024 || !m_w->window->isVisible(); },
                                20000));
    }
    if (disconnectAt >= 0) {
        QVERIFY(QTest::qWaitFor([&] { return !m_w->window->isVisible(); }, 5000));
        QVERIFY2(untilClosed.elapsed() <= 2000, qPrintable(QString::number(untilClosed.elapsed())));
    } else {
        QVERIFY(QTest::qWaitFor([&] { return hub->bytesToWrite() == 0; }, 20000));
        QTest::qWait(int(ChatSocket::kSeemsWhole.count()) + 500);
    }
    const double raised = processStatusMiB(QStringLiteral("self"), "VmHWM") - idle;
    qInfo("%d MB in %lld ms: peak %.1f MiB over idle", megabytes, clock.elapsed(), raised);
    QVERIFY2(raised <= 100, qPrintable(QString::number(raised)));
}

void ChatWindowTest::tabOrderWhileJoined()
{
    QVERIFY(m_w->join(*m_server, QStringLiteral("太郎")));
    m_w->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w->window.get()));
    m_w->Text1->setFocus();
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    // Command2 is disabled while joined; the read-only fields pass Tab on.
    QCOMPARE(order, (QStringList{"Text2", "Command1", "Text3", "Command3", "Text4", "Text1"}));
}

void ChatWindowTest::layoutFollowsTheWindow()
{
    form1 &window = *m_w->window;
    if (window.logicalDpiX() != 96)
        QSKIP("the expected places are whole pixels at 96 dpi");
    window.resize(600, 400 + window.menuBar()->height());
    QTRY_COMPARE(window.centralWidget()->size(), QSize(600, 400));

    const int button = m_w->Command2->height();
    const QList<QPair<QWidget *, QRect>> expected{
        {m_w->find<QWidget>("Label1"), QRect(QPoint(6, 48), m_w->find<QWidget>("Label1")->size())},
        {m_w->Text1, QRect(90, 40, 180, m_w->Text1->height())},
        {m_w->Text2, QRect(90, 80, 378, m_w->Text2->height())},
        {m_w->Command1, QRect(QPoint(474, 80), m_w->Command1->size())},
        {m_w->Text3, QRect(0, 120, 420, 240)},
        {m_w->Text4, QRect(420, 120, 180, 240 - 2 * button)},
        {m_w->Command2, QRect(426, 360 - 2 * button, 171, button)},
        {m_w->Command3, QRect(426, 360 - button, 171, button)},
        {m_w->SB, QRect(0, 400 - m_w->SB->height(), 600, m_w->SB->height())},
    };
    for (const auto &[widget, rect] : expected)
        QCOMPARE(widget->geometry(), rect);

    // Too low a window: Text4 shrinks to nothing, the buttons move up out
    // of sight, and the status bar stays at the bottom.
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

void ChatWindowTest::messageBackWhenTheHubDiesWithItUnread()
{
    // A hub program hangs after answering the entry, then is killed.
    if (runningUnderWine())
        QSKIP("Wine closes a socket with unread data without a reset most of the time; the reset's code is a row of "
              "endingInWords, and a reset's messages a row of messagesGivenBack");
    StuckHub hub;
    MainWindowHarness w(hub.serverPort());
    w.Text1->setText(QStringLiteral("太郎"));
    w.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(hub.hasConnection() && w.Command1->isEnabled(), 5000);
    QVERIFY(hub.send(Cp932::encode(QStringLiteral("太郎/*/山田: おはよう"))));
    QTRY_COMPARE_WITH_TIMEOUT(w.Text3->text(), QStringLiteral("山田: おはよう"), 5000);
    const QString message = QStringLiteral("この資料を明日までに確認してください");
    w.Text2->setText(message);
    w.Command1->click();
    QTest::qWait(600); // acknowledged by the hub's system, never read by its program
    hub.kill();
    QTRY_COMPARE_WITH_TIMEOUT(w.status(), Say::serverClosed + QStringLiteral("。発言を送信文に戻しました"), 5000);
    QCOMPARE(w.Text2->text(), message);
}

QTEST_MAIN(ChatWindowTest)
#include "tst_chatwindow.moc"
