#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// The stand-in hub on the far end of a veth link into a network namespace
// made for the purpose (Linux, as root), removed with all it holds at the
// end. vanish() removes the hub's address inside the namespace: from then
// on nothing answers, no close and no reset, as when the hub's PC loses
// power or its cable is pulled. Only the link's own two addresses are used.
class HubNamespace final
{
public:
    static constexpr quint16 kPort = 5000;
    // The link's two addresses, a /30 of 10.213.0.0/16 chosen by the
    // process id, so that two runs at once do not meet.
    static QString hostAddress(); // this end
    static QString hubAddress();  // the hub's end

    explicit HubNamespace(const QString &hubProgram);
    ~HubNamespace();
    Q_DISABLE_COPY_MOVE(HubNamespace)

    bool isReady() const { return m_ready; }
    // What the hub has logged of the messages it received.
    QString log();
    bool vanish();

private:
    QList<QStringList> m_cleanUp;
    QStringList m_vanish;
    QProcess m_hub;
    QString m_log;
    bool m_ready = false;
};

// Two Wispleaf windows joined to such a hub; after a silent while the hub
// vanishes, one window sends a message at once and gets a line typed
// afterwards, the other stays idle. What they show once each noticed.
struct VanishingHubRun
{
    bool ready = false;            // the namespace and the hub were there
    bool joined = false;           // both windows joined the hub
    bool keptWhileSilent = false;  // both still connected before it vanished
    qint64 idleLostMs = -1;        // from vanishing to the idle one noticing
    qint64 sentLostMs = -1;        // from the send to the sender noticing
    QString idleStatus, sentStatus, idleTyped, sentTyped;
    QString hubLog;
};
VanishingHubRun runVanishingHub(const QString &hubProgram, const QString &message, const QString &typedAfter);
