#include "benchsupport.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

QTextStream out(stdout);
int g_repeats = 1;
QList<Row> g_rows;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

QByteArray makeUpdate(int bytes)
{
    QString names;
    for (int i = 0; i < 12; ++i)
        names += QStringLiteral("参加者%1\r\n").arg(i);
    QString text = names + QStringLiteral("/*/");
    const QString line = QStringLiteral("山田: 今日の会議は10時からです。The meeting starts at 10, room 3.\r\n");
    QByteArray encoded = Cp932::encode(text);
    const QByteArray encodedLine = Cp932::encode(line);
    while (encoded.size() < bytes)
        encoded += encodedLine;
    return encoded.left(bytes);
}

void printTable()
{
    out << "| measure | Wispleaf | reference | ratio | reference is | goal | met |\n";
    out << "|---|---:|---:|---:|---|---|---|\n";
    for (const Row &row : g_rows) {
        const double ratio = row.reference > 0 ? row.value / row.reference : 0;
        out << "| " << row.what << " | " << QString::number(row.value, 'f', row.value < 10 ? 3 : 1) << ' ' << row.unit
            << " | " << QString::number(row.reference, 'f', row.reference < 10 ? 3 : 1) << ' ' << row.unit << " | "
            << QString::number(ratio, 'g', 3) << " | " << row.referenceWhat << " | " << row.goal << " | "
            << (row.met ? "yes" : "**no**") << " |\n";
    }
    out.flush();
}

JoinedWindow::JoinedWindow()
{
    writeRecords({makeRecord(-1, QStringLiteral("PC"), QStringLiteral("127.0.0.1"))});
    window = std::make_unique<form1>(server.port());
    window->show();
    window->findChild<QLineEdit *>("Text1")->setText(QStringLiteral("太郎"));
    window->findChild<QPushButton *>("Command2")->click();
    joined = QTest::qWaitFor([&] { return server.received(0).endsWith("/*/~127.0.0.1"); }, 5000);
    text3 = window->findChild<DisplayField *>("Text3");
}
