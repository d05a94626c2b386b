// Updates as a person meets them: the real program on X11, over the socket.
#include "benchsupport.h"

#include <QAccessible>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>

#ifdef WISPLEAF_BENCH_XCB
#include <poll.h>
#include <xcb/xcb.h>
#endif

#ifdef WISPLEAF_BENCH_XCB
// The 10 MB one-line update as a person meets it: the real program on the
// X display (with whatever accessibility the environment switches on), the
// update sent by a server over the socket, the window pinged the way a
// window manager checks it answers (_NET_WM_PING) until it has shown the
// update. The figure is the longest the window took to answer.
double longestUnansweredMs(xcb_connection_t *x, xcb_window_t window, xcb_window_t root,
                           const std::function<bool()> &done)
{
    xcb_intern_atom_reply_t *protocols = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 12, "WM_PROTOCOLS"), nullptr);
    xcb_intern_atom_reply_t *ping = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 12, "_NET_WM_PING"), nullptr);
    double longest = 0;
    QElapsedTimer overall;
    overall.start();
    for (uint32_t serial = 1; overall.elapsed() < 20000; ++serial) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols->atom;
        event.data.data32[0] = ping->atom;
        event.data.data32[1] = serial;
        event.data.data32[2] = window;
        QElapsedTimer clock;
        clock.start();
        xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
        xcb_flush(x);
        bool answered = false;
        pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
        while (!answered && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(); // the server side of the socket
            poll(&fd, 1, 5);
            while (xcb_generic_event_t *reply = xcb_poll_for_event(x)) {
                const auto *message = reinterpret_cast<xcb_client_message_event_t *>(reply);
                answered = answered
                           || ((reply->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->window == root
                               && message->data.data32[1] == serial);
                free(reply);
            }
        }
        longest = std::max(longest, double(clock.nsecsElapsed()) / 1e6);
        if (done())
            break;
        QTest::qWait(5);
    }
    free(protocols);
    free(ping);
    return longest;
}

// The CPU time of all of a process's threads.
double cpuMsOf(qint64 pid)
{
    double ns = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + u'/' + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

// The real program on the X display, joined to a server of ours on port
// 5000 the way a person joins: the name typed, 接続/参加 pressed.
struct JoinedProgram
{
    JoinedProgram()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xdotool").isEmpty()) {
            problem = "needs an X display and xdotool";
            return;
        }
        writeRecords({makeRecord(-1, "bench", "127.0.0.1")});
        x = xcb_connect(nullptr, nullptr);
        if (!server.isListening() || xcb_connection_has_error(x)) {
            problem = "port 5000 or the display is taken";
            return;
        }
        root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        // The answer to a ping goes to the root window for structure listeners.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(x);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(WISPLEAF_EXE), {});
        const QString id = xdotool({"search", "--sync", "--name", "^Wispleaf$"}).section(u'\n', 0, 0);
        window = id.toUInt();
        // The name, then Tab past the disabled boxes to 接続/参加.
        xdotool({"windowfocus", "--sync", id});
        xdotool({"type", "--delay", "20", "bench"});
        xdotool({"key", "Tab", "Tab", "space"});
        if (id.isEmpty() || !QTest::qWaitFor([&] { return server.received(0).endsWith("/*/~127.0.0.1"); }, 10000))
            problem = "the program did not connect";
    }
    ~JoinedProgram()
    {
        program.kill();
        program.waitForFinished(5000);
        if (x)
            xcb_disconnect(x);
    }
    static QString xdotool(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(10000);
        return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
    }
    double cpuMs() const { return cpuMsOf(program.processId()); }
    double statusMiB(const QByteArray &field) const
    {
        return processStatusMiB(QString::number(program.processId()), field);
    }
    // Sends the update and waits until the program has read and shown it:
    // everything written, the burst over, a ping answered after that.
    void show(const QByteArray &update)
    {
        server.sendToAll(update);
        (void)QTest::qWaitFor([&] { return server.client(0)->bytesToWrite() == 0; }, 20000);
        QTest::qWait(150);
        (void)longestUnansweredMs(x, window, root, [] { return true; });
    }

    ScopedWorkDir dir;
    LoopbackServer server{QHostAddress::LocalHost, form1::kRemotePort};
    QProcess program;
    xcb_connection_t *x = nullptr;
    xcb_window_t root = 0, window = 0;
    QString problem; // why there is no joined program
};

QString accessibility()
{
    return qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") ? "accessibility on"
                                                                         : "accessibility as the desktop has it";
}

void benchHugeLineAsAPersonMeetsIt()
{
    JoinedProgram joined;
    if (!joined.problem.isEmpty()) {
        out << "(person row skipped: " << joined.problem << ")\n";
        return;
    }
    QByteArray update = Cp932::encode(QStringLiteral("参加者1/*/"));
    const QByteArray piece = Cp932::encode(QStringLiteral("山田: 今日の会議は10時からです。The meeting starts at 10, room 3. "));
    while (update.size() < 10 * 1024 * 1024)
        update += piece;
    joined.server.sendToAll(update);
    // Shown once the program has read it all and answers again.
    const qint64 total = update.size();
    QElapsedTimer since;
    since.start();
    const double longest = longestUnansweredMs(joined.x, joined.window, joined.root, [&] {
        return joined.server.client(0)->bytesToWrite() == 0 && since.elapsed() > 2000;
    });
    g_rows << Row{QStringLiteral("longest unanswered after a %1 MB one-line update, the program on X11, %2")
                      .arg(total / (1024 * 1024))
                      .arg(accessibility()),
                  longest, 300, "ms", "the goal", "≤ 300 ms", longest <= 300};
}

// What one update costs the program as a person meets it: the real
// program on X11, the update over the socket, the program's own CPU time
// per update (all threads), median.
// The program's peak resident memory over its idle figure while a hub
// streams 64 MB without a pause: without "/*/" (nothing to show), and
// with one at its start (shown as it comes, up to the largest update).
void benchStreamMemory()
{
    QByteArray piece;
    while (piece.size() < 1024 * 1024)
        piece += Cp932::encode(QStringLiteral("山田: 今日の会議は10時からです。The meeting starts at 10.\r\n"));
    piece.truncate(1024 * 1024);
    for (const QByteArray &start : {QByteArray(), QByteArray("m/*/")}) {
        JoinedProgram joined;
        if (!joined.problem.isEmpty()) {
            out << "(stream memory rows skipped: " << joined.problem << ")\n";
            return;
        }
        QTest::qWait(500);
        const double idle = joined.statusMiB("VmRSS");
        QTcpSocket *hub = joined.server.client(0);
        hub->write(start);
        for (int i = 0; i < 64; ++i) {
            hub->write(piece);
            (void)QTest::qWaitFor([&] { return hub->bytesToWrite() < 4 * 1024 * 1024; }, 20000);
        }
        (void)QTest::qWaitFor([&] { return hub->bytesToWrite() == 0; }, 20000);
        QTest::qWait(2000);
        const double raised = joined.statusMiB("VmHWM") - idle;
        if (start.isEmpty())
            g_rows << Row{"peak memory over idle, a 64 MB stream without \"/*/\"", raised, 100, "MiB", "the goal",
                          "≤ 100 MiB", raised <= 100};
        else
            g_rows << Row{"peak memory over idle, a 64 MB stream shown as it comes", raised, 100, "MiB",
                          "the goal without \"/*/\"", "— (showing a 20 MB update costs this)", true};
    }
}

void benchConversationSize()
{
    JoinedProgram joined;
    if (!joined.problem.isEmpty()) {
        out << "(conversation rows skipped: " << joined.problem << ")\n";
        return;
    }
    // The floor: a bare client that only reads each update and compares it
    // with the one before.
    LoopbackServer floorServer;
    QProcess floor;
    floor.start(QStringLiteral(READFLOOR_EXE), {QString::number(floorServer.port())});
    if (!QTest::qWaitFor([&] { return floorServer.connectionCount() == 1; }, 5000)) {
        out << "(conversation rows skipped: the bare client did not connect)\n";
        return;
    }
    auto floorCost = [&](const QByteArray &update) {
        const double before = cpuMsOf(floor.processId());
        floorServer.sendToAll(update);
        (void)QTest::qWaitFor([&] { return floorServer.client(0)->bytesToWrite() == 0; }, 20000);
        QTest::qWait(150);
        return cpuMsOf(floor.processId()) - before;
    };
    auto cost = [&](const QByteArray &update) {
        const double before = joined.cpuMs();
        joined.show(update);
        return joined.cpuMs() - before;
    };
    const QByteArray members = Cp932::encode(QStringLiteral("参加者1\r\n参加者2/*/"));
    int serial = 0;
    auto line = [&serial] {
        return Cp932::encode(QStringLiteral("山田%1: 今日の会議は10時からです。The meeting starts at 10.\r\n").arg(++serial));
    };
    const QByteArray kaigi = Cp932::encode(QStringLiteral("会議")), other = Cp932::encode(QStringLiteral("打合"));
    const int repeats = std::max(5, g_repeats * 15);
    double smallest = 0, smallestBeyond = 0;
    for (const double megabytes : {0.1, 1.0, 4.0, 16.0}) {
        QByteArray log;
        while (log.size() < megabytes * 1024 * 1024)
            log += line();
        QList<double> appended, unchanged, shifted, replaced, reading;
        cost(members + log); // the history on joining
        for (int i = 0; i < repeats; ++i) {
            log += line();
            appended << cost(members + log);
            unchanged << cost(members + log);
            log = log.sliced(log.indexOf('\n') + 1) + line();
            shifted << cost(members + log);
        }
        for (int i = 0; i < std::max(3, repeats / 3); ++i) // a different conversation each time
            replaced << cost(members + (i % 2 ? log : QByteArray(log).replace(kaigi, other)));
        floorCost(members + log);
        for (int i = 0; i < repeats; ++i)
            reading << floorCost(members + log);
        const QString size = megabytes < 1 ? QStringLiteral("0.1 MB") : QStringLiteral("%1 MB").arg(megabytes);
        const double append = median(appended), beyond = append - median(reading);
        if (smallest == 0) {
            smallest = append;
            smallestBeyond = beyond;
        }
        const bool isLarge = megabytes >= 4;
        const QString goal = isLarge ? QStringLiteral("≤ 1.5× reference") : QStringLiteral("—");
        g_rows << Row{QStringLiteral("one line appended to %1, the program on X11, %2").arg(size, accessibility()),
                      append, smallest, "ms CPU", "the same at 0.1 MB", goal, !isLarge || append <= 1.5 * smallest};
        g_rows << Row{QStringLiteral("the same, beyond reading the update from the socket (%1)").arg(size), beyond,
                      smallestBeyond, "ms CPU", "the same at 0.1 MB", goal, !isLarge || beyond <= 1.5 * smallestBeyond};
        if (megabytes == 1.0 || megabytes == 16.0) {
            g_rows << Row{QStringLiteral("an unchanged %1 update (a refresh)").arg(size), median(unchanged),
                          median(replaced), "ms CPU", "a new conversation of that size", "≤ 0.05× reference",
                          median(unchanged) <= 0.05 * median(replaced)};
            g_rows << Row{QStringLiteral("an unchanged %1 update, against the floor").arg(size), median(unchanged),
                          median(reading), "ms CPU", "a bare client that reads it from the socket and compares it",
                          "≤ 1.5× reference", median(unchanged) <= 1.5 * median(reading)};
            g_rows << Row{QStringLiteral("the oldest line dropped, one appended, %1").arg(size), median(shifted),
                          append, "ms CPU", "one line appended", "≤ 1.1× reference", median(shifted) <= 1.1 * append};
        }
    }
    floor.kill();
    floor.waitForFinished(5000);
}

#endif
