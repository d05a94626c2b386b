// Find, and a kept copy: how find compares (a table), that it follows the
// conversation as it changes, the whole program from Ctrl+F to Esc, and
// saving a field's text.
#include "codepage932.h"
#include "conversationsearch.h"
#include "displayfield.h"
#include "findbar.h"
#include "mainwindowharness.h"
#include "messageboxes.h"
#include "savedtext.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QAccessible>
#include <QMap>
#include <QTest>

class FindTest final : public QObject
{
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
    void followsTheConversation_data();
    void followsTheConversation();
    void findInTheWindow();
    void stepsThroughThreeMatches_data();
    void stepsThroughThreeMatches();
    void copySaved_data();
    void copySaved();
};

using Ranges = QList<ConversationSearch::Range>;


Q_DECLARE_METATYPE(Ranges)

void FindTest::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Ranges>("found"); // in the text itself
    QTest::newRow("Latin case") << "PDFとpdfとPdf" << "pdf" << Ranges{{0, 3}, {4, 7}, {8, 11}};
    QTest::newRow("full-width Latin") << "資料ＰＤＦ" << "pdf" << Ranges{{2, 5}};
    QTest::newRow("full-width looked for") << "資料PDF" << "ＰＤＦ" << Ranges{{2, 5}};
    QTest::newRow("full-width digits") << "会議は１２時" << "12" << Ranges{{3, 5}};
    QTest::newRow("half-width kana, voiced") << "ｶﾞｲﾄﾞを読む" << "ガイド" << Ranges{{0, 5}};
    QTest::newRow("full-width kana looked for in half-width") << "xｶﾞｲﾄﾞy" << "ｶﾞｲﾄﾞ" << Ranges{{1, 6}};
    QTest::newRow("after a joined pair, places map back") << "ｶﾞｲﾄﾞの件とガイドの件" << "の件"
                                                          << Ranges{{5, 7}, {11, 13}};
    QTest::newRow("half-width semi-voiced") << "ﾊﾟｿｺﾝ" << "パソコン" << Ranges{{0, 5}};
    QTest::newRow("a mark that joins nothing stays") << "ｱﾞ" << "ア" << Ranges{{0, 1}};
    QTest::newRow("hiragana and katakana apart") << "がいど ガイド" << "ガイド" << Ranges{{4, 7}};
    QTest::newRow("full-width space") << "会議　室" << "議 室" << Ranges{{1, 4}};
    QTest::newRow("not overlapping") << "aaaa" << "aa" << Ranges{{0, 2}, {2, 4}};
    // As the hub sends what a Linux keyboard typed, and the other way round.
    QTest::newRow("wave dash as typed on Linux") << "会議は10時～11時" << "10時〜11時" << Ranges{{3, 10}};
    QTest::newRow("minus sign as typed on Linux") << "予算は－5万円です" << "−5万" << Ranges{{3, 6}};
    QTest::newRow("the JIS forms in the text") << "‖−¢£¬—¦" << "∥－￠￡￢―￤" << Ranges{{0, 7}};
    QTest::newRow("none") << "会議は10時" << "11" << Ranges{};
    QTest::newRow("beyond the basic plane") << "😀ａ😀a" << "a" << Ranges{{2, 3}, {5, 6}};
}

void FindTest::matches()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(Ranges, found);
    ConversationSearch search;
    search.setText(text);
    search.setNeedle(needle);
    Ranges all;
    for (qsizetype i = 0; i < search.count(); ++i)
        all << search.match(i);
    QCOMPARE(all, found);
    QCOMPARE(search.within(0, text.size()), found);
}

void FindTest::followsTheConversation_data()
{
    // Each step: "append:<lines>", "drop:<lines>" (the oldest go),
    // "front:<lines>", "goes on:<text>" (the last line continued).
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("a line appended") << QStringList{"append:佐藤: PDFを送ります"};
    QTest::newRow("a match cut by the old end") << QStringList{"append:佐藤: ＰＤ", "goes on:Ｆです"};
    QTest::newRow("a voiced mark joins the old end") << QStringList{"goes on:ﾞｲﾄﾞ"};
    QTest::newRow("the oldest dropped") << QStringList{"drop:1", "append:山田: pdf", "drop:2"};
    QTest::newRow("lines in front") << QStringList{"front:鈴木: ＰＤＦ", "append:x"};
    QTest::newRow("all dropped") << QStringList{"drop:3", "append:pdf pdf"};
}

void FindTest::followsTheConversation()
{
    QFETCH(QStringList, steps);
    // As the display field changes: only what the change says is new.
    QString text = QStringLiteral("山田: ＰＤＦは\n佐藤: pdfですか\n鈴木: ｶ");
    ConversationSearch followed;
    followed.setText(text);
    followed.setNeedle(QStringLiteral("pdf"));
    for (const QString &step : std::as_const(steps)) {
        const QString what = step.section(u':', 0, 0);
        const QString lines = step.section(u':', 1);
        qsizetype head = 0, dropped = 0, kept = text.size();
        if (what == "append") {
            text += u'\n' + lines;
        } else if (what == "goes on") {
            text += lines;
        } else if (what == "front") {
            text.prepend(lines + u'\n');
            head = lines.size() + 1;
        } else if (what == "drop") {
            for (int n = lines.toInt(); n > 0 && text.contains(u'\n'); --n)
                dropped += text.indexOf(u'\n', dropped) + 1 - dropped;
            if (dropped == 0 || text.count(u'\n') < lines.toInt())
                dropped = text.size(); // all of it
            text.remove(0, dropped);
            kept -= dropped;
        }
        followed.change(text, head, dropped, kept);
        ConversationSearch fresh;
        fresh.setText(text);
        fresh.setNeedle(QStringLiteral("pdf"));
        QCOMPARE(followed.within(0, text.size()), fresh.within(0, text.size()));
    }
}

namespace {
// The window joined, showing 200 lines of which those named are added to,
// and active. Returns the lines shown.
QStringList showLines(WindowWithServer &fixture, const QMap<int, QString> &additions)
{
    MainWindowHarness &w = fixture.w;
    if (!w.join(fixture.server, QStringLiteral("太郎")))
        return {};
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("%1: 会議は10時からです").arg(i) + additions.value(i);
    fixture.server.sendToAll(Cp932::encode("m/*/" + lines.join("\r\n")));
    if (!QTest::qWaitFor([&] { return w.Text3->text() == lines.join(u'\n'); }, 5000))
        return {};
    w.window->activateWindow();
    return QTest::qWaitForWindowActive(w.window.get()) ? lines : QStringList();
}
} // namespace

void FindTest::findInTheWindow()
{
    WindowWithServer fixture;
    MainWindowHarness &w = fixture.w;
    QStringList lines = showLines(fixture, {{20, "。ＰＤＦを見てください"}, {150, "。pdfも"}});
    QVERIFY(!lines.isEmpty());
    const int top = w.Text3->verticalScrollBar()->value();

    QTest::keyClick(w.Text2, Qt::Key_F, Qt::ControlModifier);
    auto *bar = w.find<FindBar>("findBar");
    auto *input = w.find<QLineEdit>("findText");
    QVERIFY(bar && bar->isVisible() && input->hasFocus());
    QTest::keyClicks(input, QStringLiteral("PDF"));
    QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QStringLiteral("2 件"), 2000);
    QCOMPARE(w.Text3->verticalScrollBar()->value(), top); // typing does not move the reader
    // Marks are a format over the text: what a copy gives stays the text.
    w.Text3->selectAll();
    w.Text3->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(u'\n'));

    QTest::keyClick(input, Qt::Key_Return);
    QCOMPARE(bar->countText(), QStringLiteral("1 / 2"));
    QCOMPARE(w.Text3->textCursor().selectedText(), QStringLiteral("ＰＤＦ"));
    QTest::keyClick(input, Qt::Key_Return);
    QCOMPARE(bar->countText(), QStringLiteral("2 / 2"));
    QCOMPARE(w.Text3->textCursor().selectedText(), QStringLiteral("pdf"));
    QTest::keyClick(w.window.get(), Qt::Key_F3);
    QCOMPARE(bar->countText(), QStringLiteral("1 / 2")); // round at the end
    QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(bar->countText(), QStringLiteral("2 / 2"));

    // A new line is searched too; the reader stays where they are.
    const int place = w.Text3->verticalScrollBar()->value();
    lines << QStringLiteral("鈴木: PDF送りました");
    fixture.server.sendToAll(Cp932::encode("m/*/" + lines.join("\r\n")));
    QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QStringLiteral("2 / 3"), 5000);
    QCOMPARE(w.Text3->verticalScrollBar()->value(), place);

    QTest::keyClicks(input, QStringLiteral("x"));
    QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QStringLiteral("見つかりません"), 2000);
    QTest::keyClick(input, Qt::Key_Backspace);
    QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QStringLiteral("3 件"), 2000);
    QVERIFY(!w.Text3->extraSelections().isEmpty()); // the new line's match is on screen
    QTest::keyClick(input, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(w.Text3->extraSelections().isEmpty());
    QVERIFY(w.Text2->hasFocus());
}

void FindTest::stepsThroughThreeMatches_data()
{
    // Keys after typing "pdf" into the bar: "wait" (until the count
    // shows), "enter", "shift-enter", "shift-f3".
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("selected");
    QTest::newRow("back first: round to the last") << QStringList{"wait", "shift-enter"} << "3 / 3" << "Pdf";
    QTest::newRow("Shift+F3 first: round to the last") << QStringList{"wait", "shift-f3"} << "3 / 3" << "Pdf";
    QTest::newRow("two on, one back") << QStringList{"wait", "enter", "enter", "shift-enter"} << "1 / 3" << "ＰＤＦ";
    QTest::newRow("Enter before the typing pause ends") << QStringList{"enter"} << "1 / 3" << "ＰＤＦ";
    QTest::newRow("set by assistive technology") << QStringList{"spoken", "wait", "enter"} << "1 / 3" << "ＰＤＦ";
}

void FindTest::stepsThroughThreeMatches()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, place);
    QFETCH(QString, selected);
    WindowWithServer fixture;
    MainWindowHarness &w = fixture.w;
    // "pdx": what the first two letters find.
    QVERIFY(!showLines(fixture, {{5, "。pdx"}, {30, "。ＰＤＦ"}, {100, "。pdf"}, {180, "。Pdf"}}).isEmpty());
    QTest::keyClick(w.Text2, Qt::Key_F, Qt::ControlModifier);
    auto *bar = w.find<FindBar>("findBar");
    auto *input = w.find<QLineEdit>("findText");
    QVERIFY(bar && input->hasFocus());
    if (keys.value(0) == "spoken") {
        // Dictation or an on-screen keyboard: the text set through the
        // accessibility interface, no key typed.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(input);
        QVERIFY(accessible);
        accessible->setText(QAccessible::Value, QStringLiteral("pdf"));
        QCOMPARE(input->text(), QStringLiteral("pdf"));
    } else {
        QTest::keyClicks(input, QStringLiteral("pdf"));
    }
    for (const QString &key : std::as_const(keys)) {
        if (key == "wait")
            QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QStringLiteral("3 件"), 2000);
        else if (key == "enter")
            QTest::keyClick(input, Qt::Key_Return);
        else if (key == "shift-enter")
            QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
        else if (key == "shift-f3")
            QTest::keyClick(w.window.get(), Qt::Key_F3, Qt::ShiftModifier);
    }
    QCOMPARE(bar->countText(), place);
    QCOMPARE(w.Text3->textCursor().selectedText(), selected);
}

void FindTest::copySaved_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("saved") << true;
    QTest::newRow("the folder takes no file") << false;
}

void FindTest::copySaved()
{
    QFETCH(bool, writable);
    const QString text = QStringLiteral("山田: おはよう\n佐藤: 会議は10時\n");
    QCOMPARE(SavedText::suggestedName(QStringLiteral("会話"), QDateTime(QDate(2026, 12, 8), QTime(9, 5))),
             QStringLiteral("会話_2026-12-08_0905.txt"));
    // Through the window's menu: the path chosen, the text as shown.
    WindowWithServer fixture;
    MainWindowHarness &w = fixture.w;
    QVERIFY(w.join(fixture.server, QStringLiteral("太郎")));
    fixture.server.sendToAll(Cp932::encode("m/*/" + QString(text).replace("\n", "\r\n")));
    QTRY_COMPARE_WITH_TIMEOUT(w.Text3->text(), text, 5000);
    const QString kept = fixture.dir.file("kept.txt");
    const QString path = writable ? kept : fixture.dir.file("no such folder/kept.txt");
    writeFileBytes("before", kept);
    QString suggested;
    w.window->setSavePathChooser([&](QWidget *, const QString &offered) {
        suggested = offered;
        return path;
    });
    MessageBoxWatcher boxes;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("会話を保存..."))
                action->trigger();
        }
        menu->close();
    });
    emit w.Text3->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!suggested.isEmpty(), 2000);
    QVERIFY2(suggested.contains(QStringLiteral("会話_")) && suggested.endsWith(".txt"), qPrintable(suggested));
#ifdef Q_OS_WIN
    const QByteArray expected = QString(text).replace("\n", "\r\n").toUtf8();
#else
    const QByteArray expected = text.toUtf8();
#endif
    if (writable) {
        QCOMPARE(readFileBytes(kept), expected);
        QVERIFY(boxes.seen().isEmpty());
    } else {
        QCOMPARE(readFileBytes(kept), QByteArray("before"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen().size(), 1, 2000);
        QVERIFY(boxes.seen().first().text.contains(QStringLiteral("保存できませんでした")));
    }
}

QTEST_MAIN(FindTest)
#include "tst_find.moc"
