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
// applied. An update still arriving (MayGrow) is shown only where it adds
// to the conversation: nothing shown goes, to come back when the rest
// arrives. One most likely whole (Complete) is shown unless its
// conversation ends inside the one shown, as one cut short by a long
// pause does; a Final one is shown whatever it is. `judge`, if given,
// hears of each change of the conversation before it is applied. False
// when the update was held back.
enum class UpdateState { MayGrow, Complete, Final };
bool showDisplayUpdate(UpdateReader &reader, const QByteArray &update, DisplayField *text4, DisplayField *text3,
                       UpdateState state = UpdateState::Final, NewMessages::Judge *judge = nullptr);
