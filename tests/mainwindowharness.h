#pragma once

#include "form1.h"
#include "simplestatusbar.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

// The main window on a test port, with its controls found by name.
struct MainWindowHarness
{
    explicit MainWindowHarness(quint16 port)
        : window(std::make_unique<form1>(port))
    {
        window->show();
        Text1 = find<QLineEdit>("Text1");
        Text2 = find<QLineEdit>("Text2");
        Text3 = find<QPlainTextEdit>("Text3");
        Text4 = find<QPlainTextEdit>("Text4");
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
    // whole entry request. False when that does not happen in time.
    bool join(LoopbackServer &server, const QString &name, int client = 0)
    {
        Text1->setText(name);
        Command2->click();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            if (server.connectionCount() > client && server.received(client).startsWith("CanEnter?")
                && server.received(client).endsWith(localAddress()))
                return Command1->isEnabled();
            QTest::qWait(10);
        }
        return false;
    }
    static QByteArray localAddress() { return QByteArrayLiteral("/*/~127.0.0.1"); }

    std::unique_ptr<form1> window;
    QLineEdit *Text1, *Text2;
    QPlainTextEdit *Text3, *Text4;
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
    bool join(const QString &name) { return w.join(server, name); }

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
