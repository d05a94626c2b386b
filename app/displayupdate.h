#pragma once

#include <QByteArray>

class DisplayField;
class UpdateReader;

// The display step: both fields show the text before and after the first
// "/*/" of the update; data without the separator leaves them empty. The
// reader remembers the last update, so only what changed is decoded and
// applied. True when the conversation (text3) changed.
bool showDisplayUpdate(UpdateReader &reader, const QByteArray &update, DisplayField *text4, DisplayField *text3);
