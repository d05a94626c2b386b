// Server bytes in arbitrary chunks through the connection's decoder, the
// display update split and the line breaks made one LF each.
#include "chatmessages.h"
#include "codepage932.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk sizes.
    const size_t step = size_t(data[0] % 16) + 1;
    Cp932::Decoder decoder;
    for (size_t at = 1; at < size; at += step) {
        const size_t length = std::min(step, size - at);
        const QString text = decoder.decode(QByteArrayView(reinterpret_cast<const char *>(data + at), qsizetype(length)));
        const ChatMessages::DisplayUpdate update = ChatMessages::splitDisplayUpdate(text);
        if (update.valid) {
            if (update.first.toString() + QStringLiteral("/*/") + update.second.toString() != text)
                abort();
            if (update.first.contains(QStringLiteral("/*/")))
                abort();
            const QString shown = ChatMessages::forDisplay(update.second);
            const qsizetype breaks = update.second.count(u'\r') + update.second.count(u'\n')
                                     - update.second.count(QStringLiteral("\r\n"));
            if (shown.contains(u'\r') || shown.count(u'\n') != breaks || shown.size() > update.second.size())
                abort();
        } else if (!update.first.isEmpty() || !update.second.isEmpty() || text.contains(QStringLiteral("/*/"))) {
            abort();
        }
    }
    return 0;
}
