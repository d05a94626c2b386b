#pragma once

#include <QString>
#include <QStringList>

// What the destination window accepts as a name and the four address parts,
// and how an address text is taken apart and put together again.
namespace DestinationInput {

// True when a person would read the text as a number: optional blanks
// (space or tab) around it, one optional sign, decimal digits with at most
// one decimal point (at least one digit in all), and an optional exponent
// "e"/"E" with an optional sign and at least one digit, and the value must
// fit a double (1e999 does not convert). Everything else
// fails: empty text, "nan", "inf", hexadecimal, thousands separators,
// letters, full-width digits.
bool isNumericText(const QString &text);

enum class Verdict { Valid, EmptyField, NotNumeric, TooLong };

// The three checks in their order; the first that fails decides. A text of
// blanks is not empty; a part of up to three characters passes whatever its
// value (no range check).
Verdict check(const QString &name, const QStringList &addressParts);

// Splits at the first three dots; the fourth part keeps any further dots.
// With fewer dots the missing parts are empty.
QStringList splitAddress(const QString &address);

// The four parts joined by ".", each lower-cased when asked.
QString joinAddress(const QStringList &parts, bool lowerCase);

// The host a stored address means. Four parts of decimal digits are read
// as the decimal numbers the window shows ("010" is ten, where the system
// resolver would read eight); any other text goes to the resolver as it is.
QString hostToConnect(const QString &address);

} // namespace DestinationInput
