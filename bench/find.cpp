// Find in the conversation: the first match and the count in 16 MB, the
// marks for what is on screen as the reader scrolls, and what an appended
// line costs with the bar open.
#include "benchsupport.h"
#include "conversationsearch.h"
#include "displayupdate.h"
#include "findbar.h"
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

    // The window's own find bar over 1 MB: marks as the reader scrolls a
    // page, and one appended line with the bar open or closed.
    DisplayFields fields;
    UpdateReader reader;
    QByteArray update = makeUpdate(1024 * 1024);
    showDisplayUpdate(reader, update, fields.text4, fields.text3);
    auto *bar = fields.window.findChild<FindBar *>();
    auto *input = bar->findChild<QLineEdit *>();
    QList<double> scrolled;
    QScrollBar *scroll = fields.text3->verticalScrollBar();
    for (const bool open : {false, true}) {
        if (open) {
            bar->open();
            input->setText(QStringLiteral("meeting"));
            bar->step(true);
        }
        QList<double> appended;
        for (int i = 0; i < std::max(5, g_repeats * 30); ++i) {
            update += Cp932::encode(QStringLiteral("佐藤: %1番目の meeting\r\n").arg(i));
            appended << millisecondsOf([&] {
                showDisplayUpdate(reader, update, fields.text4, fields.text3);
                QCoreApplication::processEvents();
            });
            if (open)
                scrolled << millisecondsOf([&] {
                    scroll->setValue((scroll->value() + 37) % std::max(1, scroll->maximum()));
                    QCoreApplication::processEvents();
                });
        }
        static double closed = 0;
        if (!open) {
            closed = median(appended);
            continue;
        }
        g_rows << Row{"one line appended to 1 MB, the find bar open", median(appended), closed, "ms",
                      "the same, the bar closed", "≤ 1.2× reference", median(appended) <= 1.2 * closed};
    }
    g_rows << Row{"a page scrolled with the find bar open, 1 MB", median(scrolled), 16.7, "ms",
                  "one frame at 60 Hz", "≤ 1 frame", median(scrolled) <= 16.7};
}
