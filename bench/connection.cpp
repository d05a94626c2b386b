// The connection: a vanished hub noticed, the wait of a connect scan.
#include "benchsupport.h"
#include "vanishinghub.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

// From a hub vanishing (its address gone inside a network namespace of our
// own) to the window saying so, idle and right after a send. Needs root.
void benchVanishedHub()
{
    const VanishingHubRun run = runVanishingHub(QStringLiteral(DEMOHUB_EXE), QStringLiteral("誰かいますか"), QString());
    if (!run.ready || !run.joined) {
        out << (run.ready ? "(vanished-hub rows skipped: the windows did not join the hub)\n"
                          : "(vanished-hub rows skipped: no network namespace could be made; run as root)\n");
        return;
    }
    g_rows << Row{"a vanished hub noticed, idle connection", double(run.idleLostMs), 30000, "ms",
                  "the goal", "≤ 30 s", run.idleLostMs >= 0 && run.idleLostMs <= 30000};
    g_rows << Row{"a vanished hub noticed, after a send", double(run.sentLostMs), 20000, "ms", "the goal", "≤ 20 s",
                  run.sentLostMs >= 0 && run.sentLostMs <= 20000};
}

// CPU of one unanswered wait: a scan over two silent destinations minus a
// scan over one, so the message box and the scan's set-up cancel out.
void benchWait()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    LoopbackServer anchor;
    UnansweredListener silent(QHostAddress("127.0.0.2"), anchor.port());
    form1 window(anchor.port());
    window.show();
    window.findChild<QLineEdit *>("Text1")->setText(QStringLiteral("bench"));
    auto *connect = window.findChild<QPushButton *>("Command2");
    // The caret's blinking goes on during a wait but is not its work.
    QApplication::setCursorFlashTime(0);
    auto scanCpu = [&](int silentDestinations, qint64 *wallMs) {
        writeRecords(QList<PCIPRecord>(silentDestinations, makeRecord(-1, "silent", "127.0.0.2")));
        QElapsedTimer wall;
        wall.start();
        const double before = processCpuSeconds();
        connect->click();
        *wallMs = wall.elapsed();
        return processCpuSeconds() - before;
    };

    QList<double> waitCpu, spinCpu;
    for (int i = 0; i < std::max(3, g_repeats * 5); ++i) {
        qint64 oneWall = 0, twoWall = 0;
        const double one = scanCpu(1, &oneWall);
        const double two = scanCpu(2, &twoWall);
        waitCpu << two - one;

        const qint64 waited = twoWall - oneWall;
        const double before = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < waited)
            QCoreApplication::processEvents();
        spinCpu << processCpuSeconds() - before;
    }
    QApplication::setCursorFlashTime(1000);
    const double wait = median(waitCpu) * 1000, spin = median(spinCpu) * 1000;
    g_rows << Row{"CPU in one unanswered connection wait", wait, spin, "ms CPU",
                  "the same wait spinning on processEvents()", "≤ 1 ms CPU", wait <= 1.0};
}

