#include "displayupdate.h"

#include "chatmessages.h"

#include "displayfield.h"

namespace {
// Server text may end its lines with CR LF, LF or a lone CR. The text field
// shows each as one line break, and one LF is what it counts as one
// position, so what is selected is what is copied. One pass, one copy.
QString forDisplay(QStringView text)
{
    QString shown(text.size(), Qt::Uninitialized);
    QChar *out = shown.data();
    const QChar *in = text.data();
    const QChar *const end = in + text.size();
    while (in != end) {
        const QChar c = *in++;
        if (c == u'\r') {
            *out++ = u'\n';
            if (in != end && *in == u'\n')
                ++in;
        } else {
            *out++ = c;
        }
    }
    shown.truncate(out - shown.constData());
    return shown;
}
} // namespace

bool showDisplayUpdate(const QString &received, DisplayField *text4, DisplayField *text3)
{
    // Each field ends as if emptied and filled again; a field applies only
    // what changed, so what stays keeps its place.
    const ChatMessages::DisplayUpdate update = ChatMessages::splitDisplayUpdate(received);
    text4->setText(update.valid ? forDisplay(update.first) : QString());
    return text3->setText(update.valid ? forDisplay(update.second) : QString());
}
