#pragma once

#include "displayfield.h"
#include "form1.h"
#include "simplestatusbar.h"
#include "probes.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// What the main window says; several suites wait for these texts.
namespace Say {
inline const QString connected = QStringLiteral(" 接続できました！通信できます。");
inline const QString serverClosed = QStringLiteral("Wisphub側がプログラムを閉じました");
inline const QString noSettings = QStringLiteral("接続先の設定をしてから「接続/参加」ボタンを押してください");
inline const QString checkSettings = QStringLiteral("接続先の設定を確認してください");
} // namespace Say

// Destinations on loopback, all on one port: 127.0.0.1 answers, 127.0.0.2
// never does, 127.0.0.8 answers too (to see whether it is tried), 127.0.0.4
// refuses and 127.0.0.5 resets every connection at once.
struct ScanHosts
{
    ScanHosts()
    {
        QObject::connect(&resetting, &QTcpServer::newConnection, &resetting, [this] {
            while (QTcpSocket *socket = resetting.nextPendingConnection()) {
                socket->abort();
                socket->deleteLater();
            }
        });
        resetting.listen(QHostAddress(QStringLiteral("127.0.0.5")), port());
    }
    quint16 port() const { return answering.port(); }
    bool isReady() const { return silent.isReady() && spare.isListening() && resetting.isListening(); }
    int connections() const { return answering.connectionCount() + spare.connectionCount(); }

    LoopbackServer answering;
    UnansweredListener silent{QHostAddress(QStringLiteral("127.0.0.2")), port()};
    LoopbackServer spare{QHostAddress(QStringLiteral("127.0.0.8")), port()};
    QTcpServer resetting;
};

// The main window on a test port, with its controls found by name.
struct MainWindowHarness
{
    explicit MainWindowHarness(quint16 port)
        : window(std::make_unique<form1>(port))
    {
        window->show();
        Text1 = find<QLineEdit>("Text1");
        Text2 = find<QLineEdit>("Text2");
        Text3 = find<DisplayField>("Text3");
        Text4 = find<DisplayField>("Text4");
        Command1 = find<QPushButton>("Command1");
        Command2 = find<QPushButton>("Command2");
        Command3 = find<QPushButton>("Command3");
        SB = find<SimpleStatusBar>("SB");
    }

    template <typename T>
    T *find(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    QString status() const { return SB->simpleText(); }

    // Presses connect under `name` and waits until the server has the
    // whole entry request.
    bool join(LoopbackServer &server, const QString &name)
    {
        Text1->setText(name);
        Command2->click();
        return QTest::qWaitFor([&] { return server.received(0).endsWith("/*/~127.0.0.1"); }, 5000)
               && Command1->isEnabled();
    }

    std::unique_ptr<form1> window;
    QLineEdit *Text1, *Text2;
    DisplayField *Text3, *Text4;
    QPushButton *Command1, *Command2, *Command3;
    SimpleStatusBar *SB;
};

// A main window in a fresh working directory whose list holds one marked
// destination: its own loopback server.
struct WindowWithServer
{
    WindowWithServer()
        : w(listOwnServer())
    {
    }

    ScopedWorkDir dir;
    LoopbackServer server;
    MainWindowHarness w;

private:
    quint16 listOwnServer()
    {
        writeRecords({makeRecord(-1, QStringLiteral("PC"), QStringLiteral("127.0.0.1"))});
        return server.port();
    }
};
