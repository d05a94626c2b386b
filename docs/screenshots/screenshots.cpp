// Renders the windows with Japanese sample content into PNG files for the
// README: wispleaf-screenshots <output folder>.
#include "form1.h"
#include "codepage932.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
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

    const bool destinations = grabModal(window.findChild<QAction *>("set11_0"), "Form2", out + "/destinations.png", [](QWidget *form) {
        auto *list = form->findChild<QTreeView *>("ListView1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    });
    const bool version = grabModal(window.findChild<QAction *>("h11_0"), "frmAbout", out + "/about.png");
    QTest::qWait(200);
    return destinations && version ? 0 : 1;
}
