#include "desktopnotifier.h"
#include "unreadcount.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

// The launcher entry signal that docks (Plasma, Dash to Dock, Unity) read.
void UnreadCount::show(int count)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/wispleaf/Wispleaf"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(DesktopNotifier::kAppId))
           << QVariantMap{{QStringLiteral("count"), qint64(count)}, {QStringLiteral("count-visible"), count > 0}};
    bus.send(update);
}
