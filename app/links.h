#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

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
    bool reveal = false; // a program or script: its folder is shown, the file selected
    bool operator==(const Link &other) const
    {
        return from == other.from && to == other.to && url == other.url && shareHost == other.shareHost
               && reveal == other.reveal;
    }
};

// The links in text[from, to), which should hold whole lines.
QList<Link> find(QStringView text, qsizetype from = 0, qsizetype to = -1);

// A path whose last part names a program or script (or has no extension):
// opened, it would run.
bool namesProgram(QStringView path);

} // namespace Links
