#include "displayupdate.h"

#include "chatmessages.h"

#include <QPlainTextEdit>

namespace {
// Server text may use CR LF or LF; the text field wants LF.
QString forDisplay(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

void showDisplayUpdate(const QString &received, QPlainTextEdit *text4, QPlainTextEdit *text3)
{
    text4->setPlainText(QString());
    text3->setPlainText(QString());
    const ChatMessages::DisplayUpdate update = ChatMessages::splitDisplayUpdate(received);
    if (!update.valid)
        return;
    text4->setPlainText(forDisplay(update.first));
    text3->setPlainText(forDisplay(update.second));
}
