#pragma once

#include <QString>
#include <functional>

class QWidget;

// Opening the product family's help file, "Wispline.chm" in the program's
// folder, through the desktop. The result is not examined: a missing file
// or viewer shows nothing from us.
using HelpOpener = std::function<void(QWidget *owner, const QString &path)>;

// The program's folder as the platform reports it, joined directly to the
// file name: nothing is added or removed at the seam.
QString helpFilePath(const QString &programFolder);
// The help beside the program; when there is none, the one in dataFolder,
// if it has one (empty: none).
QString findHelpFile(const QString &programFolder, const QString &dataFolder);
// The help beside the program; on Linux, when there is none, the one an
// installed package keeps in its data folder.
QString helpFilePath();

// Asks the desktop shell to open path, with owner as the owner window.
void openHelpWithDesktop(QWidget *owner, const QString &path);
