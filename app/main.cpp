#include "commandline.h"
#include "form1.h"
#include "messageboxes.h"
#include "qtjapanese.h"
#include "wispleafversion.h"

#include <QApplication>

#include <cstdio>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {
// A Windows GUI program has no console of its own: write to the one it was
// started from, if any.
void print(FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    const DWORD which = stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE handle = GetStdHandle(which);
    if ((!handle || handle == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stream);
#endif
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
} // namespace

int main(int argc, char *argv[])
{
    // --help and --version need no display, so they come before QApplication.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (commandLine.action == CommandLine::Action::Exit) {
        print(stdout, commandLine.output);
        print(stderr, commandLine.error);
        return commandLine.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wispleaf"));
    QApplication::setApplicationVersion(QStringLiteral(WISPLEAF_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.wispleaf.Wispleaf"));
    installQtJapanese(&app);
    // A shortcut for every user names each one's own folder (or a shared one).
    QString folderError;
    if (!commandLine.workFolder.isEmpty() && !enterWorkFolder(commandLine.workFolder, &folderError))
        MessageBoxes::warn(nullptr, MessageBoxes::kTitle, folderError);
    form1 window;
    window.setNotificationsEnabled(commandLine.notifications);
    window.show();
    return app.exec();
}
