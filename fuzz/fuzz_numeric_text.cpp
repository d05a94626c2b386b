// The destination window's numeric test on any text.
#include "destinationinput.h"

#include <QLocale>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (DestinationInput::isNumericText(text)) {
        // Whatever passes is a number in C notation.
        bool ok = false;
        QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok)
            abort();
    }
    return 0;
}
