#include "lineedits.h"
#include "longlines.h"
#include "mainlayout.h"
#include "twips.h"

#include <QTest>

class MainLayoutTest final : public QObject
{
    Q_OBJECT
private slots:
    void proportionsOfTheClientArea();
    void readsBackSnappedValues();
    void twipsConversion_data();
    void twipsConversion();
    void longLinesCutForDisplay_data();
    void longLinesCutForDisplay();
    void changedLinesOnly_data();
    void changedLinesOnly();
};

void MainLayoutTest::proportionsOfTheClientArea()
{
    // 9000 x 6000 twips, buttons 300 high.
    const MainLayout l = MainLayout::compute(9000, 6000, 300);
    const QList<float> labels{l.label1Top, l.label1Left, l.label2Top, l.label2Left};
    QCOMPARE(labels, (QList<float>{720, 90, 1320, 90}));
    const QList<float> inputs{l.text1Top, l.text1Left, l.text1Width, l.text2Top, l.text2Left, l.text2Width,
                              l.command1Top, l.command1Left};
    QCOMPARE(inputs, (QList<float>{600, 1350, 2700, 1200, 1350, 5670, 1200, 7110}));
    const QList<float> displays{l.text3Top, l.text3Left, l.text3Width, l.text3Height,
                                l.text4Top, l.text4Left, l.text4Width, l.text4Height};
    QCOMPARE(displays, (QList<float>{1800, 0, 6300, 3600, 1800, 6300, 2700, 3000}));
    const QList<float> buttons{l.command2Top, l.command2Left, l.command2Width,
                               l.command3Top, l.command3Left, l.command3Width};
    QCOMPARE(buttons, (QList<float>{4800, 6390, 2565, 5100, 6390, 2565}));
}

void MainLayoutTest::readsBackSnappedValues()
{
    // At 96 dpi 0.3 x 1000 = 300 twips is 20 px, while 0.6 x 1000 = 600 is
    // 40 px: use an odd size so that snapping matters.
    const Twips twips(96);
    const auto snap = [&twips](float v) { return twips.snapped(v); };
    const MainLayout l = MainLayout::compute(1003, 1007, 255, snap);
    const double text3Top = twips.snapped(l.text3Top);
    const double text3Height = twips.snapped(l.text3Height);
    QCOMPARE(l.text4Height, float(text3Height - 2.0 * 255));
    QCOMPARE(l.command2Top, float(text3Height + text3Top - 2.0 * 255));
    QCOMPARE(l.command3Top, float(text3Height + text3Top - 255));
    QCOMPARE(l.command2Width, float(0.95 * double(twips.snapped(l.text4Width))));
    QVERIFY(l.text4Height != float(0.6 * 1007 - 510)); // not the unsnapped product
}

void MainLayoutTest::twipsConversion_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("96 dpi") << 96.0 << 1440.0 << 96;
    QTest::newRow("120 dpi") << 120.0 << 12.0 << 1;
    QTest::newRow("negative") << 96.0 << -600.0 << -40;
    // To the nearest pixel, not cut: 22 twips are 1.47 px, 23 are 1.53.
    QTest::newRow("rounded down") << 96.0 << 22.0 << 1;
    QTest::newRow("rounded up") << 96.0 << 23.0 << 2;
    QTest::newRow("negative, rounded") << 96.0 << -23.0 << -2;
}

void MainLayoutTest::twipsConversion()
{
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(Twips(dpi).toPixels(twips), pixels);
}

void MainLayoutTest::longLinesCutForDisplay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // with the chunk size 4
    const QString pair = QStringLiteral("\U0001F600");
    QTest::newRow("short lines stay") << "abcd\nefg" << "abcd\nefg";
    QTest::newRow("long line") << "abcdefghij" << "abcd\nefgh\nij";
    QTest::newRow("count restarts per line") << "abc\nabcdefg\n" << "abc\nabcd\nefg\n";
    QTest::newRow("exact multiple") << "abcdefgh" << "abcd\nefgh";
    QTest::newRow("pair kept whole") << "abc" + pair + "de" << "abc\n" + pair + "de";
    QTest::newRow("empty") << "" << "";
}

void MainLayoutTest::longLinesCutForDisplay()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QString cutText;
    const LongLines lines = LongLines::cut(text, &cutText, 4);
    QCOMPARE(cutText, shown);
    // Every position of the shown text maps back to the text itself.
    QString original;
    qsizetype breaksSeen = 0;
    for (qsizetype at = 0; at <= shown.size(); ++at) {
        QCOMPARE(lines.toOriginal(at), at - breaksSeen);
        if (lines.breaks().contains(at)) {
            ++breaksSeen;
            QCOMPARE(shown[at], u'\n');
        } else if (at < shown.size()) {
            original += shown[at];
        }
    }
    QCOMPARE(original, text);
}

void MainLayoutTest::changedLinesOnly_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("now");
    QTest::addColumn<int>("edits"); // -1: replaced whole
    QString log;
    for (int i = 0; i < 40; ++i)
        log += QStringLiteral("line %1: abcdefghijklmnop\n").arg(i);
    const QString first = log.first(log.indexOf(u'\n') + 1);
    QTest::newRow("the same") << log << log << 0;
    QTest::newRow("a line appended") << log << log + "new\n" << 1;
    QTest::newRow("an unfinished last line grows") << log + "ne" << log + "new\nmore" << 1;
    QTest::newRow("a line prepended") << log << "new\n" + log << 1;
    QTest::newRow("a line changed inside") << log << QString(log).replace("line 20:", "line 20!") << 1;
    QTest::newRow("the oldest dropped, one appended") << log << log.sliced(first.size()) + "new\n" << 2;
    QTest::newRow("dropped and appended, unfinished end") << log + "ne" << log.sliced(first.size()) + "new\nx" << 2;
    QTest::newRow("a whole new text") << log << QString(log).replace(u'a', u'b') << -1;
    QTest::newRow("from empty") << "" << log << -1;
}

void MainLayoutTest::changedLinesOnly()
{
    QFETCH(QString, old);
    QFETCH(QString, now);
    QFETCH(int, edits);
    const auto found = LineEdits::between(old, now);
    QCOMPARE(found ? int(found->size()) : -1, edits);
    if (!found)
        return;
    // Applied last first, the edits give the new text, and every edit
    // replaces whole lines with whole lines.
    QString result = old;
    LongLines lines = LongLines::cut(old, nullptr, 4);
    auto atLineStart = [](const QString &text, qsizetype at) { return at == 0 || at == text.size() || text[at - 1] == u'\n'; };
    for (const LineEdits::Edit &edit : *found) {
        QVERIFY(atLineStart(result, edit.from) && atLineStart(result, edit.to));
        QVERIFY(atLineStart(now, edit.newFrom) && atLineStart(now, edit.newTo));
        const QString replacement = now.sliced(edit.newFrom, edit.newTo - edit.newFrom);
        result.replace(edit.from, edit.to - edit.from, replacement);
        // The long-line cuts of the rest stay as a fresh cut would make them.
        const LongLines::Splice splice = lines.replace(edit.from, edit.to, replacement, 4);
        QString shownLines;
        LongLines::cut(replacement, &shownLines, 4);
        QCOMPARE(splice.shownLines, shownLines);
        QCOMPARE(lines.breaks(), LongLines::cut(result, nullptr, 4).breaks());
    }
    QCOMPARE(result, now);
}

QTEST_APPLESS_MAIN(MainLayoutTest)
#include "tst_mainlayout.moc"
