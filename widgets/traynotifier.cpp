#include "traynotifier.h"

#include <QSystemTrayIcon>
#include <QWidget>

DesktopNotifier *DesktopNotifier::create(QWidget *window)
{
    return new TrayNotifier(window);
}

TrayNotifier::TrayNotifier(QWidget *window)
    : DesktopNotifier(window)
{
    m_tray = new QSystemTrayIcon(window->windowIcon(), this);
    m_tray->setToolTip(QStringLiteral("Wispleaf"));
    m_tray->show();
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, &DesktopNotifier::activated);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit activated();
    });
}

void TrayNotifier::notify(const QString &summary, const QString &body)
{
    m_tray->showMessage(summary, body, m_tray->icon());
    m_shown = true;
}

void TrayNotifier::withdraw()
{
    // A balloon with no text (NIM_MODIFY, NIF_INFO, empty) takes the last
    // one back, also from the notification centre, so none pile up there.
    if (!m_shown)
        return;
    m_shown = false;
    m_tray->showMessage(QString(), QString(), QIcon());
}

void TrayNotifier::setStatusText(const QString &text)
{
    m_tray->setToolTip(text.trimmed().isEmpty() ? QStringLiteral("Wispleaf") : QStringLiteral("Wispleaf\n") + text.trimmed());
}
