#pragma once

#include <QString>

class QPlainTextEdit;

// The display step: both fields emptied, then filled from the text before
// and after the first "/*/". Data without the separator leaves them empty.
void showDisplayUpdate(const QString &received, QPlainTextEdit *text4, QPlainTextEdit *text3);
