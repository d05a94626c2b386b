#pragma once

#include <QString>

class DisplayField;

// The display step: both fields emptied, then filled from the text before
// and after the first "/*/". Data without the separator leaves them empty.
void showDisplayUpdate(const QString &received, DisplayField *text4, DisplayField *text3);
