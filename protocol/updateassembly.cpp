#include "updateassembly.h"

#include "chatmessages.h"
#include "codepage932.h"

namespace {
constexpr QByteArrayView kSeparator = ChatMessages::kUpdateSeparatorBytes;
}

UpdateAssembly::Next UpdateAssembly::add(const QByteArray &burst, qsizetype maxBytes)
{
    if (continues(burst, maxBytes)) {
        // A separator may also be made of the two ends that meet here.
        const qsizetype seam = std::max<qsizetype>(0, m_update.size() - (kSeparator.size() - 1));
        m_update += burst;
        m_bytes += burst.size();
        m_hasSeparator = m_hasSeparator || m_update.indexOf(kSeparator, seam) >= 0;
    } else {
        const bool carry = Cp932::endsInsideCharacter(m_update);
        const QByteArray whole = carry ? m_update.right(1) + burst : burst;
        m_replaced = std::exchange(m_update, whole);
        m_bytes = burst.size();
        m_hasSeparator = burst.contains(kSeparator);
    }
    m_started = true;
    return m_hasSeparator ? Next::Show : Next::Wait;
}

bool UpdateAssembly::continues(const QByteArray &burst, qsizetype maxBytes) const
{
    // No time limit: a segment lost several times holds the rest back for
    // seconds, and the rest is never an update of its own.
    return m_started && (!m_hasSeparator || !burst.contains(kSeparator)) && m_update.size() + burst.size() <= maxBytes;
}

void UpdateAssembly::clear()
{
    m_update.clear();
    m_replaced.clear();
    m_bytes = 0;
    m_started = false;
    m_hasSeparator = false;
}
