#include "destinationwindowharness.h"
#include "diskwriter.h"
#include "form2.h"
#include "inplacerewrite.h"
#include "mainwindowharness.h"
#include "pcipfile.h"
#include "testsupport.h"
#include "twips.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <imm.h>
#endif

namespace {
const QString kRetype = QStringLiteral("入力しなおしてください");
const QString kConfirmDelete = QStringLiteral("接続先リストの選択された項目を削除してもよいですか？");

QString changedElsewhere(const QString &action)
{
    return QStringLiteral("接続先リストがほかで変更されていたため、%1しませんでした。"
                          "最新のリストを表示しましたので、もう一度選んでください。")
        .arg(action);
}

// What the list shows for the record at `index` of a file.
QStringList shownRow(const QByteArray &file, int index)
{
    const PCIPRecord r = PCIPRecord::fromBytes(file.mid(index * 37, 37));
    return {r.Attempt == -1 ? QStringLiteral("する") : QStringLiteral("しない"), r.trimmedName(), r.trimmedAddress()};
}

const QByteArray kAlpha = recordBytes(-1, "Alpha", "10.0.0.1");
const QByteArray kBeta = recordBytes(0, QStringLiteral("  ベータ "), "10.0.0.2");
const QByteArray kGamma = recordBytes(-1, "Gamma", "10.0.0.3");
const QByteArray kThree = kAlpha + kBeta + kGamma;
} // namespace

class DestinationWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void loading_data();
    void loading();
    void edits_data();
    void edits();
    void aChosenRowIsForgottenOnReopening();
    void fileErrorsLoseNothingTyped();
    void writesDuringConnectWait();
    void aChangeLeftAsItWasIsSaidOnConnecting();
    void inputMethodModes();
    void screenReaderNames();
};

void DestinationWindowTest::loading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("box"); // what the one message box, if any, contains
    const QByteArray marked = recordBytes(-1, "PC", "127.0.0.1");
    QTest::newRow("missing file is created") << QByteArray() << 0 << "";
    QTest::newRow("truncated mid-record") << marked.left(20) << 0 << "";
    QTest::newRow("whole record, then half") << marked + marked.left(30) << 1 << "";
    QTest::newRow("binary garbage") << QByteArray(37 * 3, '\xFF') << 3 << "";
    QTest::newRow("32,767 records") << QByteArray(32767 * 37, '\0') << 0 << "32766";
}

void DestinationWindowTest::loading()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rows);
    QFETCH(QString, box);
    ScopedWorkDir dir;
    if (!file.isNull())
        writeFileBytes(file);
    MessageBoxWatcher boxes;
    Form2 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Wispleaf"));
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(c.rowCount(), rows);
        QVERIFY(c.option1->isChecked());
        // A third of the list's width each, in whole twips.
        const Twips twips(form.logicalDpiX());
        for (int column = 0; column < 3; ++column)
            QCOMPARE(c.list->columnWidth(column), twips.toPixels(1980));
        QCOMPARE(form.minimumSize(), form.maximumSize());
    });
    QCOMPARE(boxes.seen().size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QVERIFY(boxes.texts().first().contains(box));
    // Reading the list never changes it.
    QCOMPARE(readFileBytes(), file.isNull() ? QByteArray("") : file);
}

void DestinationWindowTest::edits_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("row");           // clicked first; -1: none
    QTest::addColumn<QStringList>("typed"); // name and address parts, then "する"/"しない"
    QTest::addColumn<QByteArray>("otherCopy"); // written by another copy after the click
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("expected"); // the file afterwards
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("added"); // the row added, as shown

    const QStringList none;
    const QByteArray other = recordBytes(0, "Other", "10.9.9.9");
    const QByteArray typedNew = recordBytes(-1, "New", "1.2.3.4");
    const QStringList typeNew{"New", "1", "2", "3", "4", "する"};
    // An odd mark, leading spaces and bytes that are not code page 932.
    const QByteArray odd = QByteArray("\x01\x00  lead\x81\x7f", 10).leftJustified(22, ' ')
                           + QByteArray(" 10.0.0.1").leftJustified(15, ' ');
    const QString longName = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");

    QTest::newRow("add, marked") << kThree << -1 << QStringList{"PC1", "192", "168", "0", "10", "する"} << QByteArray()
                                 << "add" << kThree + recordBytes(-1, "PC1", "192.168.0.10") << none
                                 << QStringList{"する", "PC1", "192.168.0.10"};
    QTest::newRow("add, not marked") << kThree << -1 << QStringList{"会議室", "10", "0", "0", "1", "しない"}
                                     << QByteArray() << "add" << kThree + recordBytes(0, "会議室", "10.0.0.1") << none
                                     << QStringList{"しない", "会議室", "10.0.0.1"};
    QTest::newRow("add: no range check, exponent lower-cased")
        << kThree << -1 << QStringList{"PC", "256", "1E2", "1", "1", "する"} << QByteArray() << "add"
        << kThree + recordBytes(-1, "PC", "256.1e2.1.1") << none << QStringList{"する", "PC", "256.1e2.1.1"};
    QTest::newRow("add: a long name shows as typed until the list is read again")
        << kThree << -1 << QStringList{longName, "1", "2", "3", "4", "する"} << QByteArray() << "add"
        << kThree + recordBytes(-1, longName, "1.2.3.4") << none << QStringList{"する", longName, "1.2.3.4"};
    QTest::newRow("add after a partial record") << kAlpha + "XYZ" << -1 << typeNew << QByteArray() << "add"
                                                << kAlpha + typedNew << none << QStringList{"する", "New", "1.2.3.4"};
    QTest::newRow("add refused: four characters") << kThree << -1 << QStringList{"PC", "1000", "1", "1", "1", "する"}
                                                  << QByteArray() << "add" << kThree << QStringList{kRetype} << none;
    QTest::newRow("add: a wave dash typed on Linux is stored as Windows types it")
        << kThree << -1 << QStringList{QStringLiteral("10時\u301C"), "1", "2", "3", "4", "する"} << QByteArray() << "add"
        << kThree + QByteArray("\xFF\xFF" "10\x8E\x9E\x81\x60").leftJustified(22, ' ') + "1.2.3.4        " << none
        << QStringList{"する", QStringLiteral("10時\u301C"), "1.2.3.4"};
    QTest::newRow("add refused: a character without a form")
        << kThree << -1 << QStringList{QString::fromUtf8("PC\xF0\x9F\x98\x80"), "1", "1", "1", "1", "する"}
        << QByteArray() << "add, inputs kept" << kThree
        << QStringList{QString::fromUtf8("接続先の名前に使えない文字があります：「\xF0\x9F\x98\x80」")} << none;
    QTest::newRow("add refused: empty name") << kThree << -1 << QStringList{"", "1", "1", "1", "1", "する"}
                                             << QByteArray() << "add" << kThree << QStringList{kRetype} << none;
    QTest::newRow("modify: only its record, as typed")
        << kThree << 1 << QStringList{"Beta2", "1E2", "0", "0", "9", "する"} << QByteArray() << "modify"
        << kAlpha + recordBytes(-1, "Beta2", "1E2.0.0.9") + kGamma << none << none;
    QTest::newRow("modify, record appended elsewhere") << kThree << 1 << typeNew << kThree + other << "modify"
                                                       << kAlpha + typedNew + kGamma + other << none << none;
    QTest::newRow("modify, record replaced elsewhere") << kThree << 1 << typeNew << kAlpha + other + kGamma
                                                       << "modify" << kAlpha + other + kGamma
                                                       << QStringList{changedElsewhere("修正")} << none;
    QTest::newRow("modify, file shrunk elsewhere") << kThree << 2 << typeNew << kAlpha << "modify" << kAlpha
                                                   << QStringList{changedElsewhere("修正")} << none;
    QTest::newRow("delete a middle row") << kThree << 1 << none << QByteArray() << "delete" << kAlpha + kGamma
                                         << QStringList{kConfirmDelete} << none;
    QTest::newRow("delete the last remaining row") << kBeta << 0 << none << QByteArray() << "delete" << QByteArray("")
                                                   << QStringList{kConfirmDelete} << none;
    QTest::newRow("delete cancelled") << kThree << 1 << none << QByteArray() << "cancel delete" << kThree
                                      << QStringList{kConfirmDelete} << none;
    // Listed as 「しない」, so a click chooses 「しない」 and a modify stores 0.
    QTest::newRow("modify a record of an odd mark") << QByteArray("\x01\x00", 2) + kAlpha.mid(2) + kBeta << 0 << none
                                                    << QByteArray() << "modify"
                                                    << recordBytes(0, "Alpha", "10.0.0.1") + kBeta << none << none;
    QTest::newRow("delete: untouched records stay as stored") << odd + kBeta + odd << 1 << none << QByteArray()
                                                              << "delete" << odd + odd << QStringList{kConfirmDelete}
                                                              << none;
    QTest::newRow("delete, record appended elsewhere") << kThree << 1 << none << kThree + other << "delete"
                                                       << kAlpha + kGamma + other << QStringList{kConfirmDelete}
                                                       << none;
    QTest::newRow("delete, record replaced elsewhere")
        << kThree << 1 << none << kAlpha + other + kGamma << "delete" << kAlpha + other + kGamma
        << QStringList{kConfirmDelete, changedElsewhere("削除")} << none;
    QTest::newRow("delete, file shrunk elsewhere") << kThree << 2 << none << kAlpha << "delete" << kAlpha
                                                   << QStringList{kConfirmDelete, changedElsewhere("削除")} << none;
    // The row shows what was typed; the file holds it cut and encoded.
    QTest::newRow("delete a row just added")
        << kThree << -1 << QStringList{"  " + longName + QStringLiteral("\u2603"), "1E2", "2", "3", "4", "する"}
        << QByteArray() << "add, then delete it" << kThree << QStringList{kConfirmDelete} << none;
    QTest::newRow("delete and modify need a chosen row") << kThree << -1 << typeNew << QByteArray()
                                                         << "delete and modify" << kThree << none << none;
}

void DestinationWindowTest::edits()
{
    QFETCH(QByteArray, file);
    QFETCH(int, row);
    QFETCH(QStringList, typed);
    QFETCH(QByteArray, otherCopy);
    QFETCH(QString, action);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, added);
    ScopedWorkDir dir;
    writeFileBytes(file);
    MessageBoxWatcher seen(action == "cancel delete" ? QMessageBox::Cancel : QMessageBox::Ok);
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        if (row >= 0) { // a click fills the inputs from the row
            c.clickRow(row);
            const QStringList shown = shownRow(file, row);
            QCOMPARE(c.inputs(), QStringList{shown[1]} + shown[2].split(u'.'));
            QCOMPARE(c.option1->isChecked(), shown[0] == QStringLiteral("する"));
            QVERIFY(!c.add->isEnabled() && c.remove->isEnabled() && c.modify->isEnabled());
        }
        if (!otherCopy.isNull())
            writeFileBytes(otherCopy);
        if (!typed.isEmpty())
            c.type(typed[0], typed.mid(1, 4), typed[5] == "する");
        if (action.startsWith("add"))
            c.add->click();
        if (action == "add, then delete it")
            c.clickRow(c.rowCount() - 1);
        if (action.contains("delete"))
            c.remove->click();
        if (action.contains("modify"))
            c.modify->click();

        QCOMPARE(readFileBytes(), expected);
        QCOMPARE(seen.texts(), boxes);
        for (const auto &box : seen.seen()) {
            QCOMPARE(box.title, QStringLiteral("Wispleaf"));
            const bool confirmation = box.text == kConfirmDelete;
            QCOMPARE(box.icon, confirmation ? QMessageBox::NoIcon : QMessageBox::Warning);
            if (confirmation) {
                QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
                QCOMPARE(box.defaultButton, QMessageBox::Ok);
            }
        }
        // The list as loaded, less a row deleted, plus a row added as typed;
        // after a modify or a refusal, the file as it is now.
        const bool refilled = action == "modify" || !seen.texts().filter(QStringLiteral("ほかで変更")).isEmpty();
        const QByteArray listed = refilled ? expected : file;
        QList<QStringList> rows;
        for (int i = 0; i < listed.size() / 37; ++i)
            rows << shownRow(listed, i);
        if (action == "delete" && !refilled)
            rows.removeAt(row);
        if (!added.isEmpty())
            rows << added;
        QCOMPARE(c.rowCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(c.row(i), rows[i]);
        if (action == "cancel delete") {
            QVERIFY(!c.add->isEnabled()); // the row stays chosen
            return;
        }
        if (action == "delete and modify" || action == "add, inputs kept") {
            QCOMPARE(c.inputs(), typed.mid(0, 5)); // nothing happened
            return;
        }
        // Back to a new entry; delete and modify wait for a new row click.
        QCOMPARE(c.inputs(), QStringList(5, QString()));
        QVERIFY(c.option1->isChecked());
        QVERIFY(c.add->isEnabled());
        c.remove->click();
        c.modify->click();
        QCOMPARE(seen.seen().size(), boxes.size());
        QCOMPARE(readFileBytes(), expected);
    });
}

void DestinationWindowTest::aChosenRowIsForgottenOnReopening()
{
    ScopedWorkDir dir;
    writeFileBytes(kThree);
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) { c.clickRow(0); });
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(c.inputs(), QStringList(5, QString()));
        QVERIFY(c.add->isEnabled());
        c.remove->click();
        c.type("X", {"1", "1", "1", "1"});
        c.modify->click();
    });
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(readFileBytes(), kThree);
}

void DestinationWindowTest::fileErrorsLoseNothingTyped()
{
    ScopedWorkDir dir;
    QVERIFY(QDir().mkdir("PCIP.dat"));
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY(boxes.seen()[0].text.contains(QStringLiteral("PCIP.dat")));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Warning);
        c.type("PC", {"1", "2", "3", "4"});
        c.add->click();
        QCOMPARE(boxes.seen().size(), 2);
        QCOMPARE(c.rowCount(), 0);
        QCOMPARE(c.texts[0]->text(), QStringLiteral("PC"));
    });
    QVERIFY(QFileInfo("PCIP.dat").isDir());
}

void DestinationWindowTest::writesDuringConnectWait()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    ScanHosts hosts;
    QVERIFY(hosts.isReady());
    writeRecords({makeRecord(-1, "silent", "127.0.0.2"), makeRecord(0, "spare", "127.0.0.5")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));

    bool edited = false;
    onceModal("Form2", [&](QWidget *form) {
        edited = true;
        const auto closeAfter = qScopeGuard([form] { form->close(); });
        QVERIFY(!isOpenInThisProcess("PCIP.dat")); // the scan let go of it before waiting
        QCOMPARE(form->parentWidget(), w.window.get());
        Controls c(form);
        c.clickRow(1);
        c.remove->click(); // rewrites the file
        c.type("here", {"127", "0", "0", "1"});
        c.add->click();
    });
    QTimer::singleShot(300, w.find<QAction>("set11_0"), &QAction::trigger);
    w.Command2->click();

    QVERIFY(edited);
    QCOMPARE(readFileBytes(),
             makeRecord(-1, "silent", "127.0.0.2").toBytes() + makeRecord(-1, "here", "127.0.0.1").toBytes());
    QCOMPARE(boxes.texts(), (QStringList{kConfirmDelete, Say::checkSettings}));

    // The next press reads the list afresh and reaches the new destination.
    boxes.clear();
    w.Command2->click();
    QCOMPARE(w.status(), Say::connected);
    QCOMPARE(hosts.answering.connectionCount(), 1);
}

namespace {
// A shared folder that takes no new file, and overwrites that break off
// half-way: a delete that can be neither done nor put back.
class BrokenShareWriter final : public DiskWriter
{
public:
    Outcome replace(const QString &path, const QByteArray &bytes, QString *error) override
    {
        return path.endsWith(QLatin1String("PCIP.dat")) ? Outcome::CannotCreate
                                                        : DiskWriter::system().replace(path, bytes, error);
    }
    Outcome overwrite(const QString &path, const QByteArray &bytes, QString *error) override
    {
        DiskWriter::system().overwrite(path, bytes.left(bytes.size() / 2), error);
        return Outcome::Failed;
    }
};
} // namespace

void DestinationWindowTest::aChangeLeftAsItWasIsSaidOnConnecting()
{
    WindowWithServer fixture;
    const QByteArray listed = readFileBytes();
    const QByteArray extra = recordBytes(0, "extra", "127.0.0.9");
    writeFileBytes(listed + extra);
    BrokenShareWriter writer;
    QString error;
    QVERIFY(!PcipFile::replaceAll(QStringLiteral("PCIP.dat"), listed, &error, writer));
    const QString journal = InPlaceRewrite(QStringLiteral("PCIP.dat")).journalPath();
    const auto removeJournal = qScopeGuard([&] { QFile::remove(journal); });
    QVERIFY(QFileInfo::exists(journal));
    // A colleague's copy changes the list meanwhile: theirs stays.
    QTest::qWait(20);
    const QByteArray colleagues = listed + recordBytes(0, "colleague", "127.0.0.7");
    writeFileBytes(colleagues);

    QVERIFY(fixture.w.join(fixture.server, QStringLiteral("太郎")));
    QCOMPARE(fixture.w.status(), Say::connected + QStringLiteral("（前回書き込めなかった「%1」は、その後ほかで変更されていたため、"
                                                                 "そのままにしました）")
                                                      .arg(QDir::toNativeSeparators(QFileInfo("PCIP.dat").absoluteFilePath())));
    QCOMPARE(readFileBytes(), colleagues);
}

void DestinationWindowTest::inputMethodModes()
{
    ScopedWorkDir dir;
    Form2 form;
#ifdef Q_OS_WIN
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        QSKIP("the input method's mode needs a real window (-platform windows)");
    whileOpen(form, [&](Controls &c) {
        const HWND window = reinterpret_cast<HWND>(form.winId());
        auto modeAfterFocusOn = [&](QLineEdit *box, bool *open, DWORD *conversion) {
            box->setFocus();
            QApplication::processEvents();
            HIMC context = ImmGetContext(window);
            if (!context)
                return false;
            DWORD sentence = 0;
            *open = ImmGetOpenStatus(context);
            ImmGetConversionStatus(context, conversion, &sentence);
            ImmReleaseContext(window, context);
            return true;
        };
        bool open = false;
        DWORD conversion = 0;
        if (!modeAfterFocusOn(c.texts[0], &open, &conversion))
            QSKIP("this system gives the window no input context");
        QVERIFY(open);
        QVERIFY(conversion & IME_CMODE_NATIVE); // hiragana
        QVERIFY(modeAfterFocusOn(c.texts[1], &open, &conversion));
        QVERIFY(!open);
    });
#else
    // Without mode control, the name box takes the input method and the
    // address boxes do not.
    whileOpen(form, [&](Controls &c) {
        QVERIFY(c.texts[0]->testAttribute(Qt::WA_InputMethodEnabled));
        for (int part = 1; part < 5; ++part)
            QVERIFY(!c.texts[part]->testAttribute(Qt::WA_InputMethodEnabled));
    });
#endif
}

void DestinationWindowTest::screenReaderNames()
{
    ScopedWorkDir dir;
    writeFileBytes(kThree);
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(accessibleName(c.texts[0]), QStringLiteral("接続先の名前"));
        for (int part = 1; part <= 4; ++part)
            QCOMPARE(accessibleName(c.texts[part]), QStringLiteral("IPアドレスの%1番目の数").arg(part));
        QCOMPARE(accessibleName(c.option2), QStringLiteral("しない"));
        QCOMPARE(accessibleName(c.list), QStringLiteral("接続先リスト（Wisphubが置いてある場所）"));
        // The list's columns keep their headers for a screen reader.
        QAccessibleTableInterface *table = QAccessible::queryAccessibleInterface(c.list)->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->columnDescription(0), QStringLiteral("接続の試み"));
        QCOMPARE(table->columnDescription(2), QStringLiteral("IPアドレス"));
        QCOMPARE(table->rowCount(), 3);
    });
}

QTEST_MAIN(DestinationWindowTest)
#include "tst_destinationwindow.moc"
