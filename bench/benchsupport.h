#pragma once

// What every group of measures shares: the table of rows, medians, made
// updates and the display fields they are shown in.
#include "codepage932.h"
#include "displayfield.h"
#include "form1.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QTest>

#include <functional>
#include <memory>

extern QTextStream out;
extern int g_repeats; // 0 with --quick

struct Row
{
    QString what;
    double value;
    double reference;
    QString unit;
    QString referenceWhat;
    QString goal;
    bool met;
};
extern QList<Row> g_rows;

double median(QList<double> values);
double millisecondsOf(const std::function<void()> &work);
// A display update of about `bytes` bytes: members, "/*/", chat lines.
QByteArray makeUpdate(int bytes);
void printTable();

// The main window's two display fields, and two bare text fields of the
// same size for the reference: the least an update needs.
struct DisplayFields
{
    DisplayFields()
    {
        window.show();
        bare4->setGeometry(420, 0, 180, 240);
        bare3->setGeometry(0, 0, 420, 240);
        bare.resize(600, 240);
        bare.show();
        QTest::qWait(50);
    }
    // Decode, split and two plain-text replaces.
    void replaceBare(const QByteArray &update)
    {
        Cp932::Decoder decoder;
        const QString text = decoder.decode(update);
        const qsizetype at = text.indexOf(QStringLiteral("/*/"));
        bare4->setPlainText(text.left(at));
        bare3->setPlainText(text.mid(at + 3));
        QCoreApplication::processEvents();
    }

    form1 window{5000};
    DisplayField *text4 = window.findChild<DisplayField *>("Text4");
    DisplayField *text3 = window.findChild<DisplayField *>("Text3");
    QWidget bare;
    QPlainTextEdit *bare4 = new QPlainTextEdit(&bare);
    QPlainTextEdit *bare3 = new QPlainTextEdit(&bare);
};


// The main window joined to a loopback server of the bench's own as 太郎,
// in a working folder of its own; `joined` false when it did not join.
struct JoinedWindow
{
    JoinedWindow();
    ScopedWorkDir dir;
    LoopbackServer server;
    std::unique_ptr<form1> window;
    DisplayField *text3 = nullptr;
    bool joined = false;
};

// The groups of measures, one file each.
void benchDisplayStep();   // display.cpp
void benchChangedLines();
void benchUnseenUpdate();
void benchOneLongLine();
void benchTrickle();
void benchLeftOff();
void benchEncode();        // encode.cpp
void benchVanishedHub();   // connection.cpp
void benchWait();
void benchDestinations();  // destinations.cpp
void benchStartup();       // startup.cpp
void benchFind();          // find.cpp
#ifdef WISPLEAF_BENCH_XCB
void benchHugeLineAsAPersonMeetsIt(); // person.cpp
void benchConversationSize();
void benchStreamMemory();
#endif
