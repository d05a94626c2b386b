// Random sequences of display updates (random bytes, lines added and
// dropped, bytes changed anywhere, huge lines) shown two ways: through
// the reader and the fields' in-place edits, and read whole into a fresh
// cut. The texts, the shown paragraphs and what a copy of any part gives
// must be the same.
#include "codepage932.h"
#include "displayfield.h"
#include "displayupdate.h"
#include "longlines.h"
#include "updatereader.h"

#include <QApplication>
#include <QClipboard>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

namespace {
class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int number() { return byte() | (byte() << 8); }
    QByteArray bytes(int count)
    {
        const size_t n = std::min(size_t(count), m_size - std::min(m_at, m_size));
        const QByteArray taken(reinterpret_cast<const char *>(m_data + m_at), qsizetype(n));
        m_at += n;
        return taken;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// The update changed the way a hub (or a broken one) would change it.
void change(QByteArray &update, Input &in)
{
    static const QByteArray breaks[] = {"\r\n", "\n", "\r", "\r\r\n"};
    static const QByteArray kana = Cp932::encode(QStringLiteral("山田: 会議は10時から"));
    const qsizetype second = update.indexOf("/*/") + 3;
    const qsizetype at = update.isEmpty() ? 0 : in.number() % (update.size() + 1);
    // Near where a long line is cut for display, or the reader decodes a piece.
    static const qsizetype seams[] = {4096, 8192, 16384, 32768};
    const qsizetype nearSeam = second + seams[in.byte() % 4] + in.byte() % 5 - 2;
    switch (in.byte() % 11) {
    case 0: update += in.bytes(in.byte() % 32); break;
    case 1: update += kana + in.bytes(in.byte() % 8) + breaks[in.byte() % 4]; break;
    case 2: { // up to 20 K of one byte
        const int count = in.byte() * 80;
        update += QByteArray(count, char(in.byte()));
        break;
    }
    case 3: // the oldest lines dropped
        if (second > 2) {
            qsizetype end = second;
            for (int lines = in.byte() % 4 + 1; lines > 0 && update.indexOf('\n', end) >= 0; --lines)
                end = update.indexOf('\n', end) + 1;
            update.remove(second, end - second);
        }
        break;
    case 4: if (at < update.size()) update[at] = char(in.byte()); break;
    case 5: update.insert(at, in.bytes(in.byte() % 16)); break;
    case 6: update.truncate(at); break;
    case 7: update = in.bytes(in.byte() % 16) + "/*/"; break;
    case 8: break; // the same again
    case 9: update.truncate(nearSeam); break;
    case 10: // lines in front of the conversation
        if (second > 2)
            update.insert(second, in.bytes(in.byte() % 16) + breaks[in.byte() % 2]);
        break;
    }
}

// The field shows what a full replace would make of the text: after every
// edit. With `copy`, also what a copy of the shown [from, to) gives (the
// clipboard is slow: once an input).
bool showsAsWhole(DisplayField &field, const QString &text, int from, int to, bool copy)
{
    QString shown;
    const LongLines cut = LongLines::cut(text, &shown);
    if (field.text() != text)
        return false;
    QString laidOut = field.document()->toRawText();
    laidOut.replace(QChar::ParagraphSeparator, u'\n');
    if (laidOut != shown)
        return false;
    if (!copy)
        return true;
    from = from % (shown.size() + 1);
    to = from + to % (shown.size() - from + 1);
    QTextCursor selection(field.document());
    selection.setPosition(from);
    selection.setPosition(to, QTextCursor::KeepAnchor);
    field.setTextCursor(selection);
    field.copy();
    const qsizetype start = cut.toOriginal(from);
    return to == from || QGuiApplication::clipboard()->text() == text.sliced(start, cut.toOriginal(to) - start);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_display_changes";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    DisplayField text4, text3;
    UpdateReader reader;
    QByteArray update = "m/*/";
    for (int step = 0; step < 64 && !in.atEnd(); ++step) {
        change(update, in);
        showDisplayUpdate(reader, update, &text4, &text3);
        const auto [first, second] = UpdateReader::readWhole(update);
        const int at[] = {in.number(), in.number(), in.number(), in.number()};
        const bool last = step == 63 || in.atEnd();
        if (!showsAsWhole(text4, first, at[0], at[1], last) || !showsAsWhole(text3, second, at[2], at[3], last))
            abort();
    }
    return 0;
}
