#include "links.h"

#include <QDir>

#include <algorithm>

namespace Links {

namespace {
bool isSpace(QChar c)
{
    return c.isSpace() || c == u'\u3000';
}

// Characters an address in running text keeps: printable ASCII, no space.
bool inAddress(QChar c)
{
    return c.unicode() > 0x20 && c.unicode() < 0x7F && c != u'<' && c != u'>' && c != u'"';
}

// Where an address written in a sentence really ends: closing punctuation
// after it belongs to the sentence, a closing parenthesis only when the
// address opened none.
qsizetype trimmedEnd(QStringView text, qsizetype from, qsizetype to)
{
    static const QString closing = QStringLiteral(".,;:!?'\")]}>。、）」』】");
    while (to > from && closing.contains(text[to - 1])) {
        if (text[to - 1] == u')' && text.sliced(from, to - from).count(u'(') > text.sliced(from, to - from - 1).count(u')'))
            break;
        --to;
    }
    return to;
}

// Japanese runs on into an address without a space: only a Latin letter
// or digit before one makes it part of a word.
bool startsWord(QStringView text, qsizetype at)
{
    if (at == 0)
        return true;
    const QChar before = text[at - 1];
    return !((before.unicode() < 0x80 && before.isLetterOrNumber()) || before == u'\\' || before == u'/');
}

// A share path from `at` (just after the host's \\): through spaces only
// where more of the path follows before the next one.
qsizetype shareEnd(QStringView text, qsizetype at, qsizetype to)
{
    qsizetype end = at;
    while (end < to && text[end] != u'\n') {
        if (isSpace(text[end])) {
            qsizetype word = end + 1;
            while (word < to && !isSpace(text[word]) && text[word] != u'\n')
                ++word;
            if (!text.sliced(end + 1, word - end - 1).contains(u'\\'))
                break;
            end = word;
            continue;
        }
        ++end;
    }
    return end;
}

Link shareLink(qsizetype from, qsizetype to, const QString &host, const QString &path)
{
    Link link{from, to, {}, host, namesProgram(path)};
#ifdef Q_OS_WIN
    link.url = QUrl::fromLocalFile(QStringLiteral("\\\\") + host + QDir::toNativeSeparators(path));
#else
    // No share client of its own on Linux: the desktop's, through smb://.
    link.url.setScheme(QStringLiteral("smb"));
    link.url.setHost(host);
    link.url.setPath(QString(path).replace(u'\\', u'/'));
#endif
    return link.url.isValid() && !link.url.host().isEmpty() ? link : Link{};
}
} // namespace

bool namesProgram(QStringView path)
{
    static const QStringList programs{"exe", "bat", "cmd", "com", "scr", "msi", "ps1", "vbs",
                                      "js",  "jse", "wsf", "lnk", "hta", "cpl", "jar"};
    const qsizetype slash = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    const QStringView name = path.sliced(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (name.isEmpty())
        return false; // a folder
    return dot <= 0 || programs.contains(name.sliced(dot + 1).toString().toLower());
}

QList<Link> find(QStringView text, qsizetype from, qsizetype to)
{
    if (to < 0 || to > text.size())
        to = text.size();
    QList<Link> links;
    for (qsizetype at = from; at < to; ++at) {
        const QChar c = text[at];
        if (c != u'h' && c != u'H' && c != u'm' && c != u'M' && c != u'\\' && c != u'f' && c != u'F')
            continue;
        if (!startsWord(text, at))
            continue;
        const QStringView rest = text.sliced(at, to - at);
        auto startsWith = [&](QLatin1StringView prefix) { return rest.startsWith(prefix, Qt::CaseInsensitive); };
        if (startsWith(QLatin1StringView("http://")) || startsWith(QLatin1StringView("https://"))
            || startsWith(QLatin1StringView("mailto:"))) {
            const qsizetype schemeEnd = at + rest.indexOf(u':') + 1;
            qsizetype end = schemeEnd;
            while (end < to && inAddress(text[end]))
                ++end;
            end = trimmedEnd(text, at, end);
            const QUrl url(text.sliced(at, end - at).toString(), QUrl::StrictMode);
            const bool web = url.scheme().toLower() != QLatin1String("mailto");
            if (url.isValid() && (web ? !url.host().isEmpty() : url.path().contains(u'@'))) {
                links.append({at, end, url, {}, false});
                at = end - 1;
            }
        } else if (rest.startsWith(QLatin1StringView("\\\\"))) {
            const qsizetype hostEnd = text.indexOf(u'\\', at + 2);
            if (hostEnd < 0 || hostEnd >= to || hostEnd == at + 2)
                continue;
            const QString host = text.sliced(at + 2, hostEnd - at - 2).toString();
            if (host.contains(u'/') || std::any_of(host.cbegin(), host.cend(), isSpace))
                continue;
            const qsizetype end = trimmedEnd(text, at, shareEnd(text, hostEnd, to));
            if (end <= hostEnd + 1)
                continue;
            const Link link = shareLink(at, end, host, text.sliced(hostEnd, end - hostEnd).toString());
            if (link.to > 0) {
                links.append(link);
                at = end - 1;
            }
        } else if (startsWith(QLatin1StringView("file://"))) {
            // Only with a host: a file on this PC is no one's to point to.
            qsizetype end = at + 7;
            while (end < to && inAddress(text[end]))
                ++end;
            end = trimmedEnd(text, at, end);
            const QUrl url(text.sliced(at, end - at).toString(), QUrl::StrictMode);
            if (!url.isValid() || url.host().isEmpty() || url.host() == QLatin1String("localhost"))
                continue;
            const Link link = shareLink(at, end, url.host(), QDir::toNativeSeparators(url.path()));
            if (link.to > 0) {
                links.append(link);
                at = end - 1;
            }
        }
    }
    return links;
}

} // namespace Links
