#include "conversationupdates.h"

#include "chatmessages.h"
#include "displayfield.h"

#include <utility>

ConversationUpdates::ConversationUpdates(DisplayField *members, DisplayField *conversation)
    : m_members(members)
    , m_conversation(conversation)
{
}

void ConversationUpdates::arriving(const QByteArray &update)
{
    m_held = false;
    if (!isWholeUpdate(update))
        return;
    showDisplayUpdate(m_reader, update, m_members, m_conversation, UpdateState::MayGrow, &m_judge);
    showLeftOff();
}

std::optional<NewMessages::News> ConversationUpdates::complete(const QByteArray &update, bool lookedAt)
{
    return show(update, m_joining ? UpdateState::Final : UpdateState::Complete, lookedAt);
}

std::optional<NewMessages::News> ConversationUpdates::final(const QByteArray &update, bool lookedAt)
{
    // Only an update held back is shown again: the others were told.
    std::optional<NewMessages::News> news;
    if (std::exchange(m_held, false))
        news = show(update, UpdateState::Final, lookedAt);
    m_joining = false;
    m_judge.finished();
    return news;
}

std::optional<NewMessages::News> ConversationUpdates::show(const QByteArray &update, UpdateState state, bool lookedAt)
{
    if (!isWholeUpdate(update) || !showDisplayUpdate(m_reader, update, m_members, m_conversation, state, &m_judge)) {
        m_held = true;
        return std::nullopt;
    }
    const NewMessages::News news = m_judge.completed(m_conversation->text(), lookedAt);
    showLeftOff();
    return news;
}

bool ConversationUpdates::isWholeUpdate(const QByteArray &update)
{
    // Without "/*/" it is a part of one.
    return update.contains(ChatMessages::kUpdateSeparatorBytes);
}

void ConversationUpdates::showLeftOff()
{
    m_conversation->setLeftOffAt(m_judge.marker().at().value_or(-1));
}
