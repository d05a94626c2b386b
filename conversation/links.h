#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <utility>

// Addresses in the hub's plain text that open on a click: http://,
// https:// and mailto: addresses, and file-share paths (\\host\share\...
// and file://host/...). Nothing the hub sends becomes markup: a link is a
// place in the text, found here, and only these four kinds exist.
namespace Links {

struct Link
{
    qsizetype from = 0; // [from, to) in the text
    qsizetype to = 0;
    QUrl url;           // what a click opens
    QString shareHost;  // a file share's host: opening it sends the user's sign-in there
    bool reveal = false; // anything but a document: its folder is shown, the file selected
    bool operator==(const Link &other) const
    {
        return from == other.from && to == other.to && url == other.url && shareHost == other.shareHost
               && reveal == other.reveal;
    }
};

// The links in text[from, to), which should hold whole lines.
QList<Link> find(QStringView text, qsizetype from = 0, qsizetype to = -1);

// Whether a path names what opens to be read: a folder (it ends in a
// separator), or a document of a kind that cannot run anything (PDF, plain
// text and CSV, office documents without macros, pictures). Anything else,
// a file without an extension included, could run a program when opened.
// Read as Windows reads a name: trailing dots and spaces dropped, and a
// name with an alternate data stream ("a.txt:stream") is no document.
bool opensAsDocument(QStringView path);

// The lines around text[first, last): whole lines, but no further than
// kReach characters either way (a cut piece of a huge line).
inline constexpr qsizetype kReach = 4096;
std::pair<qsizetype, qsizetype> linesAround(QStringView text, qsizetype first, qsizetype last);

} // namespace Links
