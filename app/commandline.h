#pragma once

#include <QString>
#include <QStringList>

// The program's command line: --help and --version answer and end the
// program before any window system is touched; anything else unknown is an
// error. Qt's own options (-platform, -style, ...) pass through to Qt.
struct CommandLine
{
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;
    QString output; // for standard output
    QString error;  // for standard error
    // --work-folder: where PCIP.dat lives, as given (%VAR% not yet expanded).
    QString workFolder;
    // --no-notifications turns off the desktop notification and unread count.
    bool notifications = true;

    static CommandLine parse(const QStringList &arguments);
};

// Makes folder (with %VARIABLE%s of the environment expanded, as a Windows
// shortcut written for every user holds them) the working folder, creating
// it when needed; false with the reason when that cannot be done.
bool enterWorkFolder(const QString &folder, QString *error);
