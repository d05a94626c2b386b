// Find in the conversation: the first match and the count in 16 MB, the
// marks for what is on screen as the reader scrolls, and what an appended
// line costs with the bar open.
#include "benchsupport.h"
#include "conversationsearch.h"
#include "displayupdate.h"
#include "findbar.h"
#include "form1.h"
#include "updatereader.h"

#include <QLineEdit>
#include <QScrollBar>

void benchFind()
{
    // 16 MB of chat lines (code page 932, as the hub sends them), a word in
    // some of them, half of those full-width.
    QString conversation;
    qsizetype bytes = 0;
    for (int i = 0; bytes < 16 * 1024 * 1024; ++i) {
        const QString line = i % 500 == 0 ? (i % 1000 ? QStringLiteral("山田: ＰＤＦを送ります\n") : QStringLiteral("山田: PDFを送ります\n"))
                                          : QStringLiteral("佐藤: 今日の会議は10時からです。The meeting starts at 10.\n");
        conversation += line;
        bytes += Cp932::encode(line).size() + 1;
    }
    QList<double> first, count;
    for (int i = 0; i < std::max(3, g_repeats * 9); ++i) {
        ConversationSearch search;
        qsizetype found = 0;
        first << millisecondsOf([&] {
            search.setText(conversation);
            search.setNeedle(QStringLiteral("pdf"));
            found = search.next(0);
        });
        count << millisecondsOf([&] { found = search.count(); });
        Q_UNUSED(found);
    }
    const double total = median(first) + median(count);
    g_rows << Row{"find in a 16 MB conversation: the first match and the count", total, 100, "ms",
                  "the goal", "≤ 100 ms", total <= 100};

    // The program's own window over 1 MB, joined to a server of ours:
    // one line appended, sent over the socket, with the find bar open or
    // closed (the process's CPU per update), and a page scrolled.
    JoinedWindow joined;
    if (!joined.joined) {
        out << "(find rows skipped: the window did not join)\n";
        return;
    }
    LoopbackServer &server = joined.server;
    DisplayField *text3 = joined.text3;
    auto *bar = joined.window->findChild<FindBar *>();
    auto *input = bar->findChild<QLineEdit *>();
    // A word in one line of 50, and in every new line.
    QString shown;
    for (int i = 0; shown.size() < 512 * 1024; ++i)
        shown += i % 50 ? QStringLiteral("山田: 今日の会議は10時からです。The session starts at 10, room 3.\n")
                        : QStringLiteral("鈴木: meeting の資料は共有にあります。\n");
    auto append = [&](int serial) {
        shown += QStringLiteral("佐藤: %1番目の meeting の話\n").arg(serial);
        const double before = processCpuSeconds();
        server.sendToAll(Cp932::encode(QStringLiteral("太郎/*/") + shown));
        (void)QTest::qWaitFor([&] { return text3->text().size() == shown.size(); }, 5000);
        QCoreApplication::processEvents();
        return (processCpuSeconds() - before) * 1000;
    };
    (void)append(0); // the history
    QList<double> closed, opened, scrolled;
    QScrollBar *scroll = text3->verticalScrollBar();
    // Blocks of updates with the bar open and closed in turn, so that both
    // meet the same sizes and load; opening and closing are not timed.
    for (int block = 0, serial = 1; block < std::max(2, g_repeats * 8); ++block) {
        const bool open = block % 2;
        if (open) {
            bar->open();
            input->setText(QStringLiteral("meeting"));
            bar->step(true);
        } else {
            bar->close();
        }
        QTest::qWait(30);
        for (int i = 0; i < 5; ++i)
            (open ? opened : closed) << append(serial++);
        if (open)
            scrolled << millisecondsOf([&] {
                scroll->setValue((scroll->value() + 37) % std::max(1, scroll->maximum()));
                QCoreApplication::processEvents();
            });
    }
    g_rows << Row{"one line appended to 1 MB over the socket, the find bar open", median(opened), median(closed),
                  "ms CPU", "the same, the bar closed", "≤ 1.2× reference", median(opened) <= 1.2 * median(closed)};
    g_rows << Row{"a page scrolled with the find bar open, 1 MB", median(scrolled), 16.7, "ms",
                  "one frame at 60 Hz", "≤ 1 frame", median(scrolled) <= 16.7};
}
