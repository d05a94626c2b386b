#include "vanishinghub.h"

#include "form1.h"
#include "simplestatusbar.h"
#include "socketliveness.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <memory>

namespace {
bool ip(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments) == 0;
}

QString linkAddress(int end)
{
    const qint64 subnet = QCoreApplication::applicationPid() % (256 * 64);
    return QStringLiteral("10.213.%1.%2").arg(subnet / 64).arg(subnet % 64 * 4 + end);
}
} // namespace

QString HubNamespace::hostAddress()
{
    return linkAddress(1);
}

QString HubNamespace::hubAddress()
{
    return linkAddress(2);
}

HubNamespace::HubNamespace(const QString &hubProgram)
{
    const qint64 id = QCoreApplication::applicationPid() % 100000;
    const QString ns = QStringLiteral("wlhub%1").arg(id), hubSide = QStringLiteral("wl%1b").arg(id),
                  hostSide = QStringLiteral("wl%1a").arg(id), hub = hubAddress();
    m_cleanUp = {{"link", "del", hostSide}, {"netns", "del", ns}}; // the link takes its peer along
    m_vanish = {"-n", ns, "addr", "del", hub + "/30", "dev", hubSide};
    m_ready = ip({"netns", "add", ns}) && ip({"link", "add", hostSide, "type", "veth", "peer", "name", hubSide, "netns", ns})
              && ip({"addr", "add", hostAddress() + "/30", "dev", hostSide}) && ip({"link", "set", hostSide, "up"})
              && ip({"-n", ns, "addr", "add", hub + "/30", "dev", hubSide}) && ip({"-n", ns, "link", "set", hubSide, "up"});
    if (m_ready) {
        m_hub.start(QStringLiteral("ip"), {"netns", "exec", ns, hubProgram, "--address", hub, "--port",
                                           QString::number(kPort), "--log"});
        m_ready = QTest::qWaitFor([this] { return log().contains("listening"); }, 10000);
    }
}

HubNamespace::~HubNamespace()
{
    m_hub.kill();
    m_hub.waitForFinished(5000);
    for (const QStringList &command : std::as_const(m_cleanUp))
        ip(command);
}

QString HubNamespace::log()
{
    return m_log += QString::fromUtf8(m_hub.readAllStandardOutput());
}

bool HubNamespace::vanish()
{
    return ip(m_vanish);
}

VanishingHubRun runVanishingHub(const QString &hubProgram, const QString &message, const QString &typedAfter)
{
    VanishingHubRun run;
    HubNamespace link(hubProgram);
    if (!link.isReady())
        return run;
    run.ready = true;
    ScopedWorkDir dir;
    writeRecords({makeRecord(-1, QStringLiteral("HubPC"), HubNamespace::hubAddress())});
    struct Window
    {
        std::unique_ptr<form1> window = std::make_unique<form1>(HubNamespace::kPort);
        QLineEdit *name = window->findChild<QLineEdit *>("Text1");
        QLineEdit *typed = window->findChild<QLineEdit *>("Text2");
        QPushButton *send = window->findChild<QPushButton *>("Command1");
        QPushButton *connect = window->findChild<QPushButton *>("Command2");
        SimpleStatusBar *status = window->findChild<SimpleStatusBar *>("SB");
        bool joined() const { return send->isEnabled(); }
    } idle, sender;
    for (Window *w : {&idle, &sender}) {
        w->window->show();
        w->name->setText(w == &idle ? QStringLiteral("静香") : QStringLiteral("太郎"));
        w->connect->click();
        if (!QTest::qWaitFor([w] { return w->joined(); }, 5000))
            return run;
    }
    run.joined = true;
    // Something the hub received long before it goes: never given back.
    idle.typed->setText(QStringLiteral("こんにちは"));
    idle.send->click();

    // A hub that stays silent but is there answers the probes.
    using namespace std::chrono;
    const auto probing = SocketLiveness::kIdle + SocketLiveness::kInterval * SocketLiveness::kProbes;
    QTest::qWait(int(duration_cast<milliseconds>(probing).count()) + 1000);
    run.keptWhileSilent = idle.joined() && sender.joined();

    link.vanish();
    QElapsedTimer sinceVanished, sinceSent;
    sinceVanished.start();
    sender.typed->setText(message);
    sender.send->click();
    sinceSent.start();
    QTest::qWait(500);
    sender.typed->setText(typedAfter);
    // Either may never notice; the times then stay -1.
    (void)QTest::qWaitFor(
        [&] {
            if (run.sentLostMs < 0 && sender.connect->isEnabled())
                run.sentLostMs = sinceSent.elapsed();
            if (run.idleLostMs < 0 && idle.connect->isEnabled())
                run.idleLostMs = sinceVanished.elapsed();
            return run.sentLostMs >= 0 && run.idleLostMs >= 0;
        },
        40000);
    run.idleStatus = idle.status->simpleText();
    run.sentStatus = sender.status->simpleText();
    run.idleTyped = idle.typed->text();
    run.sentTyped = sender.typed->text();
    run.hubLog = link.log();
    return run;
}
