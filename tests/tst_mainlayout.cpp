#include "longlines.h"
#include "mainlayout.h"
#include "twips.h"

#include <QTest>

class MainLayoutTest final : public QObject
{
    Q_OBJECT
private slots:
    void workedExample_data();
    void workedExample();
    void lowWindowGivesNegativeValues();
    void readsBackSnappedValues();
    void twipsConversion_data();
    void twipsConversion();
    void longLinesCutForDisplay_data();
    void longLinesCutForDisplay();
};

void MainLayoutTest::workedExample_data()
{
    QTest::addColumn<float>("actual");
    QTest::addColumn<float>("expected");
    const MainLayout l = MainLayout::compute(9000, 6000, 300);
    const struct { const char *name; float actual; float expected; } rows[] = {
        {"Label1.Top", l.label1Top, 720},     {"Label1.Left", l.label1Left, 90},
        {"Text1.Top", l.text1Top, 600},       {"Text1.Left", l.text1Left, 1350},
        {"Text1.Width", l.text1Width, 2700},  {"Label2.Top", l.label2Top, 1320},
        {"Label2.Left", l.label2Left, 90},    {"Text2.Top", l.text2Top, 1200},
        {"Text2.Left", l.text2Left, 1350},    {"Text2.Width", l.text2Width, 5670},
        {"Command1.Top", l.command1Top, 1200}, {"Command1.Left", l.command1Left, 7110},
        {"Text3.Top", l.text3Top, 1800},      {"Text3.Left", l.text3Left, 0},
        {"Text3.Width", l.text3Width, 6300},  {"Text3.Height", l.text3Height, 3600},
        {"Text4.Top", l.text4Top, 1800},      {"Text4.Left", l.text4Left, 6300},
        {"Text4.Width", l.text4Width, 2700},  {"Text4.Height", l.text4Height, 3000},
        {"Command2.Top", l.command2Top, 4800}, {"Command2.Left", l.command2Left, 6390},
        {"Command2.Width", l.command2Width, 2565}, {"Command3.Top", l.command3Top, 5100},
        {"Command3.Left", l.command3Left, 6390}, {"Command3.Width", l.command3Width, 2565},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.actual << row.expected;
}

void MainLayoutTest::workedExample()
{
    QFETCH(float, actual);
    QFETCH(float, expected);
    QCOMPARE(actual, expected);
}

void MainLayoutTest::lowWindowGivesNegativeValues()
{
    // Minimised: H is 0, so Text4's height and both button tops go negative.
    const MainLayout minimised = MainLayout::compute(9000, 0, 300);
    QCOMPARE(minimised.text4Height, -600.0f);
    QCOMPARE(minimised.command2Top, -600.0f);
    QCOMPARE(minimised.command3Top, -300.0f);
    QCOMPARE(minimised.text3Height, 0.0f);
    // 0.9 x H below twice the button height puts Command2 above the area.
    QVERIFY(MainLayout::compute(9000, 600, 300).command2Top < 0);
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
    QTest::newRow("15 twips a pixel") << 96.0 << 15.0 << 1;
    QTest::newRow("120 dpi") << 120.0 << 12.0 << 1;
    QTest::newRow("192 dpi") << 192.0 << 4884.0 << 651;
    QTest::newRow("negative") << 96.0 << -600.0 << -40;
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
    const LongLines lines = LongLines::cut(text, 4);
    QCOMPARE(lines.shown(), shown);
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

QTEST_APPLESS_MAIN(MainLayoutTest)
#include "tst_mainlayout.moc"
