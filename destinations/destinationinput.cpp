#include "destinationinput.h"

#include <QLocale>
#include <QRegularExpression>

namespace DestinationInput {

bool isNumericText(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(\A[ \t]*[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?[ \t]*\z)"));
    if (!number.match(text).hasMatch())
        return false;
    // A number that does not fit a double (1e999) does not convert either.
    bool converts = false;
    QLocale::c().toDouble(QStringView(text).trimmed(), &converts);
    return converts;
}

Verdict check(const QString &name, const QStringList &addressParts)
{
    if (name.isEmpty())
        return Verdict::EmptyField;
    for (const QString &part : addressParts) {
        if (part.isEmpty())
            return Verdict::EmptyField;
    }
    for (const QString &part : addressParts) {
        if (!isNumericText(part))
            return Verdict::NotNumeric;
    }
    for (const QString &part : addressParts) {
        if (part.size() > 3)
            return Verdict::TooLong;
    }
    return Verdict::Valid;
}

QStringList splitAddress(const QString &address)
{
    QStringList parts;
    qsizetype from = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = address.indexOf(u'.', from);
        if (dot < 0) {
            parts << address.mid(from);
            from = address.size();
            break;
        }
        parts << address.mid(from, dot - from);
        from = dot + 1;
    }
    if (parts.size() == 3)
        parts << address.mid(from);
    while (parts.size() < 4)
        parts << QString();
    return parts;
}

QString joinAddress(const QStringList &parts, bool lowerCase)
{
    QStringList joined;
    for (const QString &part : parts)
        joined << (lowerCase ? part.toLower() : part);
    return joined.join(u'.');
}

QString hostToConnect(const QString &address)
{
    static const QRegularExpression decimal(QStringLiteral(R"(\A[ \t]*([0-9]+)[ \t]*\z)"));
    const QStringList parts = address.split(u'.');
    if (parts.size() != 4)
        return address;
    QStringList numbers;
    for (const QString &part : parts) {
        const QRegularExpressionMatch match = decimal.match(part);
        bool fits = false;
        const uint value = match.hasMatch() ? match.captured(1).toUInt(&fits, 10) : 0;
        if (!fits)
            return address;
        numbers << QString::number(value);
    }
    return numbers.join(u'.');
}

} // namespace DestinationInput
