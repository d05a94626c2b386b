#pragma once

#include <QByteArrayView>
#include <QString>

// The chat protocol's texts. Client messages are keyword + payload +
// "/*/~" + the local address, with nothing in between; a display update
// from the server is split at its first "/*/".
namespace ChatMessages {

inline constexpr QStringView kClientSeparator = u"/*/~";
inline constexpr QStringView kUpdateSeparator = u"/*/";
// The same in the bytes: its bytes are never part of a double-byte
// character, so it is found without decoding.
inline constexpr QByteArrayView kUpdateSeparatorBytes = "/*/";

QString entryRequest(const QString &userName, const QString &localAddress);
QString chatMessage(const QString &text, const QString &localAddress);
QString refreshRequest(const QString &localAddress);

// Views into the received text: they live as long as it does.
struct DisplayUpdate
{
    QStringView first;   // before the first "/*/"
    QStringView second;  // after it, to the end
    bool valid = false; // false when there was no "/*/" at all
};

// Without a separator the data is not an update: both texts stay empty.
DisplayUpdate splitDisplayUpdate(QStringView received);

// Server text may end its lines with CR LF, LF or a lone CR; each becomes
// one LF, so a field shows one position per character and what is selected
// is what is copied.
QString forDisplay(QStringView text);

} // namespace ChatMessages
