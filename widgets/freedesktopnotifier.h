#pragma once

#include "desktopnotifier.h"

#include <QByteArray>

// Linux: the freedesktop notification service on the session bus. The bus
// is first used when there is something to say, calls never block, and
// one Notify is in flight at a time, so the next knows the id to replace.
class FreedesktopNotifier final : public DesktopNotifier
{
    Q_OBJECT
public:
    explicit FreedesktopNotifier(QObject *parent);
    ~FreedesktopNotifier() override;

    void notify(const QString &summary, const QString &body) override;
    void withdraw() override;
    void setStatusText(const QString &) override {} // no place for it here

    // Text for a notification server: escaped where it renders markup.
    static QString bodyFor(const QString &text, bool serverRendersMarkup);

private slots:
    // D-Bus signals of the notification service, for every program's
    // notifications: only our own id counts.
    void onActivationToken(uint id, const QString &token);
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    bool connectToService();
    void sendPending();
    void closeShown();

    enum class Bus { Untried, Connected, Absent };
    Bus m_bus = Bus::Untried;
    bool m_capabilitiesKnown = false;
    bool m_markup = false;
    bool m_inFlight = false; // a Notify not yet answered
    bool m_closeWhenAnswered = false;
    uint m_id = 0; // the notification shown, 0 for none
    QByteArray m_activationToken;
    bool m_hasPending = false;
    QString m_pendingSummary, m_pendingBody;
};
