#include "filereveal.h"

#include <QDesktopServices>

#ifdef Q_OS_WIN
#include <QDir>

#include <qt_windows.h>
#include <shlobj.h>
#include <shlwapi.h>
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
    // The path is parsed as a name only: Explorer's command line would read
    // a comma in it as the start of a switch.
    const QString path = QDir::toNativeSeparators(file.toLocalFile());
    PIDLIST_ABSOLUTE item = nullptr;
    if (SUCCEEDED(SHParseDisplayName(reinterpret_cast<LPCWSTR>(path.utf16()), nullptr, &item, 0, nullptr))) {
        const HRESULT shown = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        ILFree(item);
        if (SUCCEEDED(shown))
            return;
    }
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

bool systemCallsDangerous(const QUrl &file)
{
#ifdef Q_OS_WIN
    const QString name = file.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && AssocIsDangerous(reinterpret_cast<LPCWSTR>(name.mid(dot).utf16()));
#else
    Q_UNUSED(file);
    return false;
#endif
}
