#include "displayupdate.h"

#include "displayfield.h"
#include "updatereader.h"

bool showDisplayUpdate(UpdateReader &reader, const QByteArray &update, DisplayField *text4, DisplayField *text3)
{
    UpdateReader::Changes changes = reader.read(update);
    // Each field ends as if emptied and filled again. Should a field not
    // show what the reader last gave it, both are given the update whole.
    if (changes.first.oldSize != text4->text().size() || changes.second.oldSize != text3->text().size()) {
        reader.reset();
        changes = reader.read(update);
    }
    const auto apply = [](DisplayField *field, const UpdateReader::Change &change) {
        return field->changeText(change.head, change.dropped, change.kept, change.tail);
    };
    apply(text4, changes.first);
    return apply(text3, changes.second);
}
