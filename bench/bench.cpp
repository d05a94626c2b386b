// Prints one table of medians, each figure beside a reference measured in
// the same run: wispleaf-bench [--quick]. Run it under xvfb-run for the
// start-up row, with QT_QPA_PLATFORM=offscreen for the rest.
#include "benchsupport.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--quick")))
        g_repeats = 0;
    // --only NAME[,NAME...] runs some groups; the vanished hub (about a
    // minute, as root) runs only when named.
    const QList<std::pair<QString, void (*)()>> groups{
        {"encode", benchEncode},       {"changed-lines", benchChangedLines}, {"display", benchDisplayStep},
        {"long-line", benchOneLongLine}, {"wait", benchWait},                {"destinations", benchDestinations},
        {"startup", benchStartup},     {"vanished-hub", benchVanishedHub}, {"unseen-update", benchUnseenUpdate},
        {"find", benchFind},           {"trickle", benchTrickle},
        {"left-off", benchLeftOff},
#ifdef WISPLEAF_BENCH_XCB
        {"person", benchHugeLineAsAPersonMeetsIt}, {"conversation", benchConversationSize},
        {"stream-memory", benchStreamMemory},
#endif
    };
    const qsizetype only = app.arguments().indexOf(QStringLiteral("--only"));
    const QStringList chosen = only >= 0 ? app.arguments().value(only + 1).split(u',') : QStringList();
    for (const auto &[name, run] : groups) {
        if (chosen.isEmpty() ? name != "vanished-hub" : chosen.contains(name))
            run();
    }
    printTable();
    return 0;
}
