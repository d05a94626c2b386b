#include "displayupdate.h"

#include "displayfield.h"
#include "newmessages.h"
#include "updatereader.h"

bool showDisplayUpdate(UpdateReader &reader, const QByteArray &update, DisplayField *text4, DisplayField *text3,
                       UpdateState state, NewMessages::Judge *judge)
{
    if (state == UpdateState::Complete && reader.endsInsideLast(update))
        return false;
    std::optional<UpdateReader::Changes> changes =
        state == UpdateState::MayGrow ? reader.readIfAdding(update) : reader.read(update);
    if (!changes)
        return false;
    // Each field ends as if emptied and filled again. Should a field not
    // show what the reader last gave it, both are given the update whole.
    if (changes->first.oldSize != text4->text().size() || changes->second.oldSize != text3->text().size()) {
        reader.reset();
        changes = reader.read(update);
    }
    if (judge)
        judge->changing(text3->text(), changes->second);
    const auto apply = [](DisplayField *field, const UpdateReader::Change &change) {
        return field->changeText(change.head, change.dropped, change.kept, change.tail);
    };
    apply(text4, changes->first);
    apply(text3, changes->second);
    return true;
}
