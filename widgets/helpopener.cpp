#include "helpopener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QWidget>
#include <qt_windows.h>
#include <shellapi.h>
#else
#include <QDesktopServices>
#include <QUrl>
#endif

QString helpFilePath(const QString &programFolder)
{
#ifdef Q_OS_WIN
    return programFolder + QStringLiteral("\\Wispline.chm");
#else
    return programFolder + QStringLiteral("/Wispline.chm");
#endif
}

QString findHelpFile(const QString &programFolder, const QString &dataFolder)
{
    const QString beside = helpFilePath(programFolder);
    if (dataFolder.isEmpty() || QFileInfo::exists(beside))
        return beside;
    const QString installed = helpFilePath(dataFolder);
    return QFileInfo::exists(installed) ? installed : beside;
}

QString helpFilePath()
{
    const QString programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    return findHelpFile(programFolder, QString());
#else
    // An installed package keeps the help with its data, not its programs.
    return findHelpFile(programFolder, QStringLiteral(WISPLEAF_DATA_DIR));
#endif
}

void openHelpWithDesktop(QWidget *owner, const QString &path)
{
#ifdef Q_OS_WIN
    const HWND window = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    // The wide entry point: an ANSI path would turn a folder name outside
    // the system code page into "?" and the shell would find nothing.
    ShellExecuteW(window, L"open", reinterpret_cast<const wchar_t *>(path.utf16()), L"", L"", SW_SHOWNORMAL);
#else
    Q_UNUSED(owner);
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}
