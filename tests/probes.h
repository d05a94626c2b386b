#pragma once
// Small looks into the program and its surroundings that only the tests need.
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

inline QByteArray readFileBytes(const QString &path = QStringLiteral("PCIP.dat"))
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True under Wine, whose sockets and shell differ from Windows in places.
inline bool runningUnderWine()
{
#ifdef Q_OS_WIN
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// What a screen reader hears as the widget's name.
inline QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// Whether this process holds path open (known on Linux only; elsewhere
// false, where replacing an open file fails by itself).
inline bool isOpenInThisProcess(const QString &path)
{
#ifdef Q_OS_LINUX
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == target)
            return true;
    }
#else
    Q_UNUSED(path);
#endif
    return false;
}
