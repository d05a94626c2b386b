#include "displayupdate.h"

#include "chatmessages.h"

#include "displayfield.h"

namespace {
// Server text may end its lines with CR LF, LF or a lone CR. The text field
// shows each as one line break, and one LF is what it counts as one
// position, so what is selected is what is copied.
QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}
} // namespace

void showDisplayUpdate(const QString &received, DisplayField *text4, DisplayField *text3)
{
    text4->setText(QString());
    text3->setText(QString());
    const ChatMessages::DisplayUpdate update = ChatMessages::splitDisplayUpdate(received);
    if (!update.valid)
        return;
    text4->setText(forDisplay(update.first));
    text3->setText(forDisplay(update.second));
}
