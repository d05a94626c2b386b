#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Tells the desktop about new messages while Wispleaf is not looked at:
// one notification that later ones replace (they never pile up). Each
// platform has its backend (FreedesktopNotifier over the session bus,
// TrayNotifier in the Windows notification area); create() makes this
// platform's. Every call returns at once; a missing, failing or hung
// service changes nothing else.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kAppId = "org.wispleaf.Wispleaf";

    static DesktopNotifier *create(QWidget *window);

    // Shows the notification, or replaces the one still shown. The body is
    // plain text, shown as it is.
    virtual void notify(const QString &summary, const QString &body) = 0;
    // The longest body the desktop shows whole, or -1 for no limit.
    virtual qsizetype longestBody() const { return -1; }
    // Takes the notification back, if one is shown.
    virtual void withdraw() = 0;
    // Where the desktop shows Wispleaf's status (the notification area's
    // tooltip), it names the connection's.
    virtual void setStatusText(const QString &text) = 0;

signals:
    // The person chose the notification (or the notification-area icon).
    void activated();

protected:
    using QObject::QObject;
};
