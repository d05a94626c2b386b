#include "freedesktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <QWidget>

#include <utility>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

DesktopNotifier *DesktopNotifier::create(QWidget *window)
{
    return new FreedesktopNotifier(window);
}

FreedesktopNotifier::FreedesktopNotifier(QObject *parent)
    : DesktopNotifier(parent)
{
}

FreedesktopNotifier::~FreedesktopNotifier()
{
    withdraw();
}

QString FreedesktopNotifier::bodyFor(const QString &text, bool serverRendersMarkup)
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

// The bus is first used when there is something to say, so a start-up
// without news costs nothing.
bool FreedesktopNotifier::connectToService()
{
    if (m_bus != Bus::Untried)
        return m_bus == Bus::Connected;
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_bus = bus.isConnected() ? Bus::Connected : Bus::Absent;
    if (m_bus == Bus::Absent)
        return false;
    bus.connect(kService, kPath, kService, QStringLiteral("ActivationToken"), this,
                SLOT(onActivationToken(uint, QString)));
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

void FreedesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!connectToService())
        return;
    m_pendingSummary = summary;
    m_pendingBody = body;
    m_hasPending = true;
    sendPending();
}

void FreedesktopNotifier::sendPending()
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
        // Read before this answer came: closed, while what came since waits.
        if (std::exchange(m_closeWhenAnswered, false))
            closeShown();
        sendPending();
    });
}

void FreedesktopNotifier::withdraw()
{
    m_hasPending = false;
    if (m_inFlight) {
        m_closeWhenAnswered = true;
        return;
    }
    closeShown();
}

void FreedesktopNotifier::closeShown()
{
    if (m_id == 0)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("CloseNotification"));
    call << std::exchange(m_id, 0u);
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

void FreedesktopNotifier::onActivationToken(uint id, const QString &token)
{
    if (id != 0 && id == m_id)
        m_activationToken = token.toUtf8();
}

void FreedesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (id == 0 || id != m_id || action != QLatin1String("default"))
        return;
    // A Wayland compositor raises a window only with the token the service
    // gave for this click; Qt's Wayland plugin takes it from here.
    if (!m_activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", std::exchange(m_activationToken, QByteArray()));
    emit activated();
}

void FreedesktopNotifier::onNotificationClosed(uint id, uint)
{
    if (id == m_id) {
        m_id = 0;
        m_activationToken.clear();
    }
}
