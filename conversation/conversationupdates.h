#pragma once

#include "displayupdate.h"
#include "newmessages.h"
#include "updatereader.h"

#include <QByteArray>

#include <optional>

class DisplayField;

// The hub's updates as the window shows and judges them: while one
// arrives it only adds to what is shown; once it is most likely whole it
// is shown and its news told, unless it ends inside what is shown (a
// longer pause cut it short), in which case it waits until it is final.
class ConversationUpdates final
{
public:
    ConversationUpdates(DisplayField *members, DisplayField *conversation);

    void joined(const QString &name)
    {
        m_held = false;
        m_joining = true;
        m_judge.joined(name);
    }
    void sent(const QString &message) { m_judge.sent(message); }
    // The person looks at Wispleaf.
    void looked() { m_judge.looked(); }
    // Where the person left off in the conversation, if anywhere.
    std::optional<qsizetype> leftOffAt() const { return m_judge.marker().at(); }

    // The update so far, as it arrives.
    void arriving(const QByteArray &update);
    // The same, most likely whole: its news, or none while it is held.
    std::optional<NewMessages::News> complete(const QByteArray &update, bool lookedAt);
    // Nothing more of it can come: its news if it was held, else none.
    // An update without "/*/" is never shown: it is a part of one.
    std::optional<NewMessages::News> final(const QByteArray &update, bool lookedAt);

private:
    std::optional<NewMessages::News> show(const QByteArray &update, UpdateState state, bool lookedAt);
    static bool isWholeUpdate(const QByteArray &update);
    // The field draws where the judge's marker stands now.
    void showLeftOff();

    DisplayField *m_members;
    DisplayField *m_conversation;
    UpdateReader m_reader; // what the two fields show
    NewMessages::Judge m_judge;
    bool m_held = false;
    // The update at joining: shown as it seems complete, whatever it
    // is, since what was shown belongs to the connection before.
    bool m_joining = false;
};
