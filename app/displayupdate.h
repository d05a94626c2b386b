#pragma once

#include <QString>

class DisplayField;

// The display step: both fields show the text before and after the first
// "/*/"; data without the separator leaves them empty. True when the
// conversation (text3) changed.
bool showDisplayUpdate(const QString &received, DisplayField *text4, DisplayField *text3);
