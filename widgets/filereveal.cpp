#include "filereveal.h"

#include <QDesktopServices>

#ifdef Q_OS_WIN
#include <QDir>
#include <QProcess>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QCoreApplication>
#endif

void revealInFolder(const QUrl &file)
{
    const QUrl folder = file.adjusted(QUrl::RemoveFilename);
#ifdef Q_OS_WIN
    // Explorer selects what /select names; it runs nothing.
    if (!QProcess::startDetached(QStringLiteral("explorer.exe"),
                                 {QStringLiteral("/select,") + QDir::toNativeSeparators(file.toLocalFile())}))
        QDesktopServices::openUrl(folder);
#else
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage show = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    show << QStringList{file.toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(show), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher *call) {
        if (call->isError()) // no file manager on the bus: the folder at least
            QDesktopServices::openUrl(folder);
        call->deleteLater();
    });
#endif
}
