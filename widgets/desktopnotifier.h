#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;
class QWidget;

// Tells the desktop about new messages while Wispleaf's window is not
// looked at: one notification that later ones replace (they never pile
// up), and the number of unread lines where the desktop shows counts.
// Linux: the freedesktop notification service and the launcher entry
// signal on the session bus. Windows: a notification-area icon with
// balloons, and an overlay on the task-bar button. Every call returns at
// once; a missing, failing or hung service changes nothing else.
class DesktopNotifier final : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kAppId = "org.wispleaf.Wispleaf";

    explicit DesktopNotifier(QWidget *window);
    ~DesktopNotifier() override;

    // Shows the notification, or replaces the one still shown. The body is
    // plain text, shown as it is.
    void notify(const QString &summary, const QString &body);
    // Closes the notification, if one is shown.
    void withdraw();
    void setUnreadCount(int count);
    // Windows: the notification-area icon's tooltip names the status.
    void setStatusText(const QString &text);

    // Text for a notification server: escaped where it renders markup.
    static QString bodyFor(const QString &text, bool serverRendersMarkup);

signals:
    // The person chose the notification (or the notification-area icon).
    void activated();

private slots:
    // D-Bus signals of the notification service.
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    void sendPending();

    QPointer<QWidget> m_window;
    int m_unread = 0;
#ifdef Q_OS_WIN
    QSystemTrayIcon *m_tray = nullptr;
#else
    bool connectToService();
    enum class Bus { Untried, Connected, Absent };
    Bus m_bus = Bus::Untried;
    bool m_capabilitiesKnown = false;
    bool m_markup = false;
    bool m_inFlight = false;     // a Notify not yet answered
    bool m_closeWhenAnswered = false;
    uint m_id = 0;               // the notification shown, 0 for none
    bool m_hasPending = false;
    QString m_pendingSummary, m_pendingBody;
#endif
};
