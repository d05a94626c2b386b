#include "links.h"

#include <QDir>
#include <QUrlQuery>

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

// Whether a file name ends in an extension: a dot, then one to eight
// Latin letters or digits.
bool hasExtension(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || name.size() - dot - 1 < 1 || name.size() - dot - 1 > 8)
        return false;
    return std::all_of(name.begin() + dot + 1, name.end(),
                       [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); });
}

bool hasJapanese(QStringView word)
{
    return std::any_of(word.begin(), word.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

// A share path from `at` (just after the host's \\) to the end of its
// first word, and on through spaces while the path is not yet a whole
// file name: a later word that holds a backslash (a folder name with a
// space), or up to a word that ends in an extension ("見積 A.xlsx"), across
// a few Latin words; Japanese that runs on without one ends it.
qsizetype shareEnd(QStringView text, qsizetype at, qsizetype to)
{
    const auto wordEnd = [&](qsizetype from) {
        while (from < to && !isSpace(text[from]) && text[from] != u'\n')
            ++from;
        return from;
    };
    qsizetype end = wordEnd(at);
    qsizetype scan = end;
    for (int tentative = 0; scan < to && text[scan] != u'\n' && tentative < 6;) {
        qsizetype word = scan;
        while (word < to && isSpace(text[word]))
            ++word;
        const qsizetype next = wordEnd(word);
        if (next == word)
            break;
        const QStringView path = text.sliced(at, end - at);
        const QStringView lastName = path.sliced(path.lastIndexOf(u'\\') + 1);
        const QStringView candidate = text.sliced(word, trimmedEnd(text, word, next) - word);
        if (candidate.contains(u'\\')) {
            end = next;
            tentative = 0;
        } else if (hasExtension(lastName)) {
            break; // a whole file name already
        } else if (hasExtension(candidate)) {
            end = next;
            tentative = 0;
        } else if (hasJapanese(candidate)) {
            break;
        } else {
            ++tentative; // a Latin word of the name, maybe
        }
        scan = next;
    }
    return end;
}

// A mail address with only its subject and body: fields such as attach=
// would have some mail programs attach a file of this PC to the draft.
QUrl mailDraft(QUrl url)
{
    const QUrlQuery asked(url);
    QUrlQuery kept;
    for (const auto &[key, value] : asked.queryItems(QUrl::FullyEncoded)) {
        if (key.compare(QLatin1String("subject"), Qt::CaseInsensitive) == 0
            || key.compare(QLatin1String("body"), Qt::CaseInsensitive) == 0)
            kept.addQueryItem(key, value);
    }
    if (kept.isEmpty())
        url.setQuery(QString());
    else
        url.setQuery(kept.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

Link shareLink(qsizetype from, qsizetype to, const QString &host, const QString &path)
{
    Link link{from, to, {}, host, !opensAsDocument(path)};
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

bool opensAsDocument(QStringView path)
{
    static const QStringList documents{
        "pdf", "txt", "csv", "tsv", "log",                           // read as they are
        "docx", "xlsx", "pptx",                                     // office documents that hold no macros
        "png", "jpg", "jpeg", "gif", "bmp", "webp", "tif", "tiff"}; // pictures
    const qsizetype slash = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    QStringView name = path.sliced(slash + 1);
    if (name.isEmpty())
        return true; // a folder
    // Windows drops trailing dots and spaces from a name: "a.txt. " is a.txt.
    while (!name.isEmpty() && (name.back() == u'.' || name.back() == u' '))
        name.chop(1);
    if (name.contains(u':') || !hasExtension(name))
        return false;
    return documents.contains(name.sliced(name.lastIndexOf(u'.') + 1).toString().toLower());
}

std::pair<qsizetype, qsizetype> linesAround(QStringView text, qsizetype first, qsizetype last)
{
    first = std::clamp<qsizetype>(first, 0, text.size());
    last = std::clamp<qsizetype>(last, first, text.size());
    const qsizetype before = std::max<qsizetype>(0, first - kReach);
    const qsizetype lineStart = text.sliced(before, first - before).lastIndexOf(u'\n');
    const qsizetype from = lineStart < 0 ? before : before + lineStart + 1;
    const qsizetype after = std::min(text.size(), last + kReach);
    const qsizetype lineEnd = text.sliced(last, after - last).indexOf(u'\n');
    return {from, lineEnd < 0 ? after : last + lineEnd};
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
            QUrl url(text.sliced(at, end - at).toString(), QUrl::StrictMode);
            const bool web = url.scheme().toLower() != QLatin1String("mailto");
            if (url.isValid() && (web ? !url.host().isEmpty() : url.path().contains(u'@'))) {
                if (!web)
                    url = mailDraft(url);
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
