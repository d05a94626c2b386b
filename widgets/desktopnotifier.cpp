#include "desktopnotifier.h"

#include <QWidget>

#include <utility>

#ifdef Q_OS_WIN
#include <QImage>
#include <QPainter>
#include <QSystemTrayIcon>
#include <qt_windows.h>
#include <shobjidl.h>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#endif

QString DesktopNotifier::bodyFor(const QString &text, bool serverRendersMarkup)
{
    if (!serverRendersMarkup)
        return text;
    // The three characters a server that renders markup would read as markup.
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QLatin1String("&amp;");
        else if (c == u'<')
            escaped += QLatin1String("&lt;");
        else if (c == u'>')
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

#ifdef Q_OS_WIN

namespace {
// The count on the task-bar button: a red disc with the number, a dot above 9.
HICON countIcon(int count)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    painter.drawEllipse(image.rect().adjusted(1, 1, -1, -1));
    if (count <= 9) {
        QFont font = painter.font();
        font.setPixelSize(24);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(image.rect(), Qt::AlignCenter, QString::number(count));
    }
    painter.end();
    return image.toHICON();
}

void setTaskbarOverlay(QWidget *window, int count)
{
    ITaskbarList3 *taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void **>(&taskbar))))
        return;
    if (SUCCEEDED(taskbar->HrInit())) {
        const HICON icon = count > 0 ? countIcon(count) : nullptr;
        const QString description = count > 0 ? QStringLiteral("未読 %1 行").arg(count) : QString();
        taskbar->SetOverlayIcon(reinterpret_cast<HWND>(window->winId()), icon,
                                reinterpret_cast<const wchar_t *>(description.utf16()));
        if (icon)
            DestroyIcon(icon);
    }
    taskbar->Release();
}
} // namespace

DesktopNotifier::DesktopNotifier(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    // The icon is there while Wispleaf runs, so a balloon has a place to come from.
    m_tray = new QSystemTrayIcon(window->windowIcon(), this);
    m_tray->setToolTip(QStringLiteral("Wispleaf"));
    m_tray->show();
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, &DesktopNotifier::activated);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit activated();
    });
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    // A balloon shows plain text: nothing to escape.
    m_tray->showMessage(summary, body, m_tray->icon());
}

void DesktopNotifier::withdraw()
{
    // A balloon goes by itself; a new one replaces it.
}

void DesktopNotifier::setUnreadCount(int count)
{
    if (count == m_unread || !m_window)
        return;
    m_unread = count;
    setTaskbarOverlay(m_window, count);
}

void DesktopNotifier::setStatusText(const QString &text)
{
    m_tray->setToolTip(text.trimmed().isEmpty() ? QStringLiteral("Wispleaf") : QStringLiteral("Wispleaf\n") + text.trimmed());
}

void DesktopNotifier::onActionInvoked(uint, const QString &) {}
void DesktopNotifier::onNotificationClosed(uint, uint) {}
void DesktopNotifier::sendPending() {}

#else

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kLauncherEntry = QStringLiteral("com.canonical.Unity.LauncherEntry");
} // namespace

DesktopNotifier::DesktopNotifier(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

DesktopNotifier::~DesktopNotifier()
{
    withdraw();
}

// The bus is first used when there is something to say, so a start-up
// without news costs nothing.
bool DesktopNotifier::connectToService()
{
    if (m_bus != Bus::Untried)
        return m_bus == Bus::Connected;
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_bus = bus.isConnected() ? Bus::Connected : Bus::Absent;
    if (m_bus == Bus::Absent)
        return false;
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QStringList> reply = *call;
        // No answer: a server that says nothing renders nothing.
        m_markup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        m_capabilitiesKnown = true;
        call->deleteLater();
        sendPending();
    });
    return true;
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!connectToService())
        return;
    m_pendingSummary = summary;
    m_pendingBody = body;
    m_hasPending = true;
    sendPending();
}

void DesktopNotifier::sendPending()
{
    // One call at a time: the next one must know the id to replace.
    if (!m_hasPending || !m_capabilitiesKnown || m_inFlight)
        return;
    m_hasPending = false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)},
                            {QStringLiteral("category"), QStringLiteral("im.received")},
                            {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    call << QStringLiteral("Wispleaf") << m_id << QString::fromLatin1(kAppId) << m_pendingSummary
         << bodyFor(m_pendingBody, m_markup) << QStringList{QStringLiteral("default"), QStringLiteral("開く")} << hints
         << -1;
    m_inFlight = true;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        const QDBusPendingReply<uint> reply = *answered;
        answered->deleteLater();
        m_inFlight = false;
        if (!reply.isError())
            m_id = reply.value();
        if (std::exchange(m_closeWhenAnswered, false))
            withdraw();
        sendPending();
    });
}

void DesktopNotifier::withdraw()
{
    m_hasPending = false;
    if (m_inFlight) {
        m_closeWhenAnswered = true;
        return;
    }
    if (m_id == 0)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("CloseNotification"));
    call << std::exchange(m_id, 0u);
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

void DesktopNotifier::setUnreadCount(int count)
{
    if (count == m_unread || !connectToService())
        return;
    m_unread = count;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/wispleaf/Wispleaf"), kLauncherEntry,
                                                     QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(kAppId))
           << QVariantMap{{QStringLiteral("count"), qint64(count)}, {QStringLiteral("count-visible"), count > 0}};
    QDBusConnection::sessionBus().send(update);
}

void DesktopNotifier::setStatusText(const QString &) {}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (id != 0 && id == m_id && action == QLatin1String("default"))
        emit activated();
}

void DesktopNotifier::onNotificationClosed(uint id, uint)
{
    if (id == m_id)
        m_id = 0;
}

#endif
