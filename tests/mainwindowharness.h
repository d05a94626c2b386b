#pragma once

#include "form1.h"
#include "simplestatusbar.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

    std::unique_ptr<form1> window;
    QLineEdit *Text1, *Text2;
    QPlainTextEdit *Text3, *Text4;
    QPushButton *Command1, *Command2, *Command3;
    SimpleStatusBar *SB;
};
