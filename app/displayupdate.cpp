#include "displayupdate.h"

#include "chatmessages.h"

#include "displayfield.h"

namespace {
// Server text may use CR LF or LF; the text field wants LF.
QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
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
