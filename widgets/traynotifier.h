#pragma once

#include "desktopnotifier.h"

class QSystemTrayIcon;

// Windows: an icon in the notification area, there while Wispleaf runs with
// notifications on, so that a balloon has a place to come from. A balloon
// shows plain text: nothing to escape.
class TrayNotifier final : public DesktopNotifier
{
    Q_OBJECT
public:
    explicit TrayNotifier(QWidget *window);

    void notify(const QString &summary, const QString &body) override;
    // The balloon's text field holds 256 characters with its terminator.
    qsizetype longestBody() const override { return 255; }
    void withdraw() override;
    void setStatusText(const QString &text) override;

private:
    QSystemTrayIcon *m_tray = nullptr;
    bool m_shown = false;
};
