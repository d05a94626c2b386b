#pragma once

#include <QUrl>

// Shows a file in its folder, selected, without opening it: for anything
// that opening might run. Windows: the shell's own call, given the path as
// a name, never as a command line; elsewhere the desktop's file manager
// over the session bus (org.freedesktop.FileManager1), or just the folder
// where there is none.
void revealInFolder(const QUrl &file);

// Whether the system itself calls opening such a file dangerous (Windows'
// list of kinds that run code, kept by the system and its policies);
// false where the system keeps no such list.
bool systemCallsDangerous(const QUrl &file);
