// Renders the windows with Japanese sample content into PNG files for the
// README: wispleaf-screenshots <output folder>.
#include "form1.h"
#include "codepage932.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {
// Opens a modal window through its menu item, grabs it and closes it.
bool grabModal(QAction *item, const QString &objectName, const QString &file, const std::function<void(QWidget *)> &prepare = {})
{
    bool saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != objectName)
            return;
        poll.stop();
        if (prepare)
            prepare(modal);
        QTest::qWait(100);
        saved = modal->grab().save(file);
        modal->close();
    });
    poll.start(20);
    item->trigger(); // returns when the window has closed
    return saved;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs")).absolutePath();
    ScopedWorkDir dir;
    LoopbackServer server;
    writeRecords({makeRecord(0, QStringLiteral("総務部のPC"), "192.168.0.10"),
                  makeRecord(-1, QStringLiteral("開発室サーバー"), "127.0.0.1"),
                  makeRecord(-1, QStringLiteral("会議室"), "192.168.0.23")});

    form1 window(server.port());
    window.show();
    window.findChild<QLineEdit *>("Text1")->setText(QStringLiteral("山田"));
    window.findChild<QPushButton *>("Command2")->click();
    for (int i = 0; i < 100 && server.connectionCount() == 0; ++i)
        QTest::qWait(20);
    server.sendToAll(Cp932::encode(QStringLiteral(
        "山田\r\n佐藤\r\n鈴木/*/佐藤: おはようございます。\r\n鈴木: 今日の会議は10時からです。\r\n"
        "山田: 了解しました！資料を持っていきます。\r\n佐藤: よろしくお願いします。")));
    window.findChild<QLineEdit *>("Text2")->setText(QStringLiteral("会議室はどこですか？"));
    QTest::qWait(300);
    if (!window.grab().save(out + "/main-window.png"))
        return 1;

    // Find: 「pdf」 in both its widths, the second match chosen.
    const QString conversation = QStringLiteral(
        "佐藤: おはようございます。\r\n鈴木: 見積のＰＤＦを共有に置きました。\r\n"
        "鈴木: \\\\fileserv\\営業\\見積.xlsx\r\n山田: 了解しました！PDFも確認します。\r\n"
        "佐藤: 詳しくは https://example.jp/kaigi を見てください。");
    server.sendToAll(Cp932::encode(QStringLiteral("山田\r\n佐藤\r\n鈴木/*/") + conversation));
    QTest::qWait(1500);
    window.findChild<QLineEdit *>("Text2")->clear();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    auto *find = window.findChild<QLineEdit *>("findText");
    QTest::keyClicks(find, QStringLiteral("pdf"));
    QTest::qWait(400);
    QTest::keyClick(find, Qt::Key_Return);
    QTest::keyClick(find, Qt::Key_Return);
    QTest::qWait(200);
    if (!window.grab().save(out + "/find.png"))
        return 1;
    QTest::keyClick(find, Qt::Key_Escape);

    // Where the person left off: two lines came while another program was
    // in front; back in Wispleaf, the line before the first of them.
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    (void)QTest::qWaitForWindowActive(&elsewhere);
    server.sendToAll(Cp932::encode(QStringLiteral("山田\r\n佐藤\r\n鈴木/*/") + conversation
                                   + QStringLiteral("\r\n鈴木: 会議室は3階です。\r\n佐藤: 了解です。")));
    QTest::qWait(1500);
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window);
    QTest::qWait(200);
    if (!window.grab().save(out + "/left-off.png"))
        return 1;

    // The question before a file share opens.
    bool question = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        QTest::qWait(100);
        question = box->grab().save(out + "/share-question.png");
        box->reject();
    });
    poll.start(20);
    auto *text3 = window.findChild<QPlainTextEdit *>("Text3");
    QTextCursor onShare(text3->document());
    onShare.setPosition(int(text3->toPlainText().indexOf(QStringLiteral("fileserv")) + 2));
    QTimer::singleShot(0, [&] {
        const QPoint at = text3->cursorRect(onShare).center();
        QTest::mouseMove(text3->viewport(), at);
        QTest::mouseClick(text3->viewport(), Qt::LeftButton, {}, at);
    });
    QTest::qWait(1500);
    poll.stop();

    const bool destinations = grabModal(window.findChild<QAction *>("set11_0"), "Form2", out + "/destinations.png", [](QWidget *form) {
        auto *list = form->findChild<QTreeView *>("ListView1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    });
    const bool version = grabModal(window.findChild<QAction *>("h11_0"), "frmAbout", out + "/about.png");
    QTest::qWait(200);
    return destinations && version && question ? 0 : 1;
}
