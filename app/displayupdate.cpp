#include "displayupdate.h"

#include "chatmessages.h"
#include "displayfield.h"

bool showDisplayUpdate(const QString &received, DisplayField *text4, DisplayField *text3)
{
    // Each field ends as if emptied and filled again; a field applies only
    // what changed, so what stays keeps its place.
    const ChatMessages::DisplayUpdate update = ChatMessages::splitDisplayUpdate(received);
    text4->setText(update.valid ? ChatMessages::forDisplay(update.first) : QString());
    return text3->setText(update.valid ? ChatMessages::forDisplay(update.second) : QString());
}
