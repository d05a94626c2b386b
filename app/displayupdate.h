#pragma once

#include <QByteArray>

class DisplayField;
class UpdateReader;
namespace NewMessages {
class Judge;
}

// The display step: both fields show the text before and after the first
// "/*/" of the update; data without the separator leaves them empty. The
// reader remembers the last update, so only what changed is decoded and
// applied. An update that may yet be cut short is shown only where it
// adds to the conversation: nothing shown goes, to come back when the
// rest arrives. `judge`, if given, hears of each change of the
// conversation before it is applied. True when the conversation (text3)
// changed.
enum class UpdateState { MayGrow, Complete };
bool showDisplayUpdate(UpdateReader &reader, const QByteArray &update, DisplayField *text4, DisplayField *text3,
                       UpdateState state = UpdateState::Complete, NewMessages::Judge *judge = nullptr);
