#pragma once

#include <QString>

class QWidget;

// The program's message boxes. Texts are always shown as plain text, since
// some of them carry descriptions that come from outside.
namespace MessageBoxes {

inline const QString kTitle = QStringLiteral("Wispleaf");

// OK button only, exclamation icon.
void warn(QWidget *parent, const QString &title, const QString &text);

// OK and Cancel, no icon, OK the default. True when OK was chosen.
bool confirm(QWidget *parent, const QString &title, const QString &text);

// A question whose yes costs something: 「開く」 and 「キャンセル」, the
// question icon, キャンセル the default. True only for 開く.
bool askToOpen(QWidget *parent, const QString &title, const QString &text);

} // namespace MessageBoxes
