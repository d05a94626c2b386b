// Start-up: the program and a bare Qt window, to the first window mapped.
#include "benchsupport.h"

#include <QProcess>

#ifdef WISPLEAF_BENCH_XCB
#include <poll.h>
#include <xcb/xcb.h>
#endif

#ifdef WISPLEAF_BENCH_XCB
struct Startup
{
    double ms = 0;
    double rssKb = 0;
};

// Starts program, waits for its first top-level window to be mapped, lets
// it idle for a second and reads its resident memory.
Startup measureStartup(const QString &program)
{
    Startup result;
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        return result;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    ScopedWorkDir dir;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    bool mapped = false;
    while (!mapped && clock.elapsed() < 10000) {
        poll(&fd, 1, 100);
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY
                && !reinterpret_cast<xcb_map_notify_event_t *>(event)->override_redirect)
                mapped = true;
            free(event);
        }
    }
    result.ms = double(clock.nsecsElapsed()) / 1e6;
    QTest::qWait(1000);
    result.rssKb = processStatusMiB(QString::number(process.processId()), "VmRSS") * 1024;
    process.kill();
    process.waitForFinished(5000);
    xcb_disconnect(x);
    return result;
}
#endif

void benchStartup()
{
#ifdef WISPLEAF_BENCH_XCB
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        out << "(start-up rows skipped: no DISPLAY; run under xvfb-run)\n";
        return;
    }
    QList<double> ours, ref, oursRss, refRss;
    for (int i = 0; i < std::max(3, g_repeats * 7); ++i) {
        const Startup a = measureStartup(QStringLiteral(WISPLEAF_EXE));
        const Startup b = measureStartup(QStringLiteral(BASELINE_EXE));
        ours << a.ms;
        ref << b.ms;
        oursRss << a.rssKb;
        refRss << b.rssKb;
    }
    g_rows << Row{"start-up to first shown window", median(ours), median(ref), "ms",
                  "bare Qt window: menu bar, line edit, text field", "≤ 1.3× reference",
                  median(ours) <= 1.3 * median(ref)};
    g_rows << Row{"resident memory once idle", median(oursRss) / 1024, median(refRss) / 1024, "MiB",
                  "the same bare Qt window", "≤ 1.2× reference", median(oursRss) <= 1.2 * median(refRss)};
#else
    out << "(start-up rows skipped: built without xcb)\n";
#endif
}
