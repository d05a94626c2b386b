#pragma once

#include <QUrl>

// Shows a file in its folder, selected, without opening it: for a path to
// a program or script, which opening would run. Windows: Explorer with
// /select; elsewhere the desktop's file manager over the session bus
// (org.freedesktop.FileManager1), or just the folder where there is none.
void revealInFolder(const QUrl &file);
