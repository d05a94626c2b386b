#include "hubstreamparser.h"

#include "codepage932.h"

namespace {
struct Keyword
{
    QByteArrayView text;
    HubStreamParser::Kind kind;
};
constexpr Keyword kKeywords[] = {
    {"CanEnter?", HubStreamParser::Kind::Entry},
    {"NormalTel", HubStreamParser::Kind::Chat},
    {"/Reflesh/", HubStreamParser::Kind::Refresh},
};
constexpr QByteArrayView kSeparator = "/*/~";

bool isAddressByte(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

// The first position at or after `from` where a keyword starts, or -1.
qsizetype nextKeyword(const QByteArray &buffer, qsizetype from)
{
    qsizetype best = -1;
    for (const Keyword &keyword : kKeywords) {
        const qsizetype at = buffer.indexOf(keyword.text, from);
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best;
}
} // namespace

QList<HubStreamParser::Message> HubStreamParser::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    QList<Message> messages = parse(false);
    if (m_buffer.size() > kMaxPending)
        m_buffer.clear(); // an oversized message is not waited for
    return messages;
}

QList<HubStreamParser::Message> HubStreamParser::flush()
{
    return parse(true);
}

QList<HubStreamParser::Message> HubStreamParser::parse(bool atQuietEnd)
{
    QList<Message> messages;
    while (!m_buffer.isEmpty()) {
        // Skip whatever does not start with a keyword.
        const qsizetype start = nextKeyword(m_buffer, 0);
        if (start < 0) {
            // Keep a tail that may be the start of a keyword still arriving.
            const qsizetype keep = qMin<qsizetype>(m_buffer.size(), 8);
            m_buffer = m_buffer.right(keep);
            if (atQuietEnd)
                m_buffer.clear();
            break;
        }
        if (start > 0)
            m_buffer.remove(0, start);

        const Keyword *keyword = nullptr;
        for (const Keyword &candidate : kKeywords) {
            if (m_buffer.startsWith(candidate.text))
                keyword = &candidate;
        }
        const qsizetype payloadStart = keyword->text.size();
        const qsizetype separator = m_buffer.indexOf(kSeparator, payloadStart);
        if (separator < 0) {
            if (atQuietEnd)
                m_buffer.remove(0, 1); // incomplete forever: resynchronise
            else
                break;
            continue;
        }
        const qsizetype addressStart = separator + kSeparator.size();
        qsizetype addressEnd = addressStart;
        while (addressEnd < m_buffer.size() && isAddressByte(m_buffer[addressEnd]))
            ++addressEnd;
        if (addressEnd == m_buffer.size() && !atQuietEnd)
            break; // the address may go on in the next read

        const QByteArrayView bytes(m_buffer);
        Message message{keyword->kind,
                        Cp932::decode(bytes.sliced(payloadStart, separator - payloadStart)),
                        QString::fromLatin1(bytes.sliced(addressStart, addressEnd - addressStart))};
        m_buffer.remove(0, addressEnd);
        if (message.kind == Kind::Refresh && !message.payload.isEmpty())
            continue; // "/Reflesh/" carries nothing before the separator
        messages.append(message);
    }
    return messages;
}
