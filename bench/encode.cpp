// Encoding a message to code page 932.
#include "benchsupport.h"

// Encoding a 1 MB message that holds a few characters without a form
// (each becomes "?" and is named to the sender), against one that has none.
void benchEncode()
{
    QString text;
    while (text.size() < 1024 * 1024)
        text += QStringLiteral("山田: 会議は10時からです。The meeting starts at 10. ");
    QString withGaps = text;
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    for (const qsizetype at : {qsizetype(1000), text.size() / 2, text.size() - 1000})
        withGaps.replace(at, smile.size(), smile);
    withGaps[333] = QChar(0x301C); // the wave dash as Linux input methods type it
    QList<double> gaps, whole, worst;
    for (int i = 0; i < std::max(3, g_repeats * 9); ++i) {
        gaps << millisecondsOf([&] {
            const QByteArray bytes = Cp932::encode(withGaps);
            const QString named = Cp932::unencodable(withGaps);
        });
        whole << millisecondsOf([&] {
            const QByteArray bytes = Cp932::encode(text);
            const QString named = Cp932::unencodable(text);
        });
    }
    g_rows << Row{"encode + name what has no form, 1 M characters, 3 without a form", median(gaps), median(whole),
                  "ms", "the same length, every character with a form", "≤ 50 ms", median(gaps) <= 50};
    // Nothing with a form at all: every character is looked at alone.
    QString hangul;
    for (int i = 0; i < 64 * 1024; ++i)
        hangul += QChar(0xAC00 + i % 11172);
    for (int i = 0; i < std::max(3, g_repeats * 3); ++i)
        worst << millisecondsOf([&] { const QString named = Cp932::unencodable(hangul); });
    g_rows << Row{"name what has no form, 64 K Hangul characters", median(worst), median(whole) / 16, "ms",
                  "1/16 of the 1 M character encoding above", "—", true};
}

