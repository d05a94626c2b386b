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
    text4->changeText(changes.first.dropped, changes.first.kept, changes.first.tail);
    return text3->changeText(changes.second.dropped, changes.second.kept, changes.second.tail);
}
