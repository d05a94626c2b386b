// The stand-in hub's stream parser on any byte stream, in any chunks.
#include "hubstreamparser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = size_t(data[0]) * 4 + 1;
    HubStreamParser parser;
    QList<HubStreamParser::Message> messages;
    for (size_t at = 1; at < size; at += step) {
        const size_t length = std::min(step, size - at);
        messages += parser.feed(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(length)));
        if (parser.pendingBytes() > HubStreamParser::kMaxPending)
            abort();
    }
    messages += parser.flush();
    for (const auto &message : messages) {
        for (QChar c : message.address) {
            if (!(c.isDigit() || c == u'.'))
                abort();
        }
    }
    return 0;
}
