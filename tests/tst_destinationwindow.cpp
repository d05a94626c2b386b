#include "destinationwindowharness.h"
#include "form2.h"
#include "mainwindowharness.h"
#include "pcipfile.h"
#include "testsupport.h"
#include "twips.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <imm.h>
#endif
#include <QTreeWidget>

namespace {
const QString kRetype = QStringLiteral("入力しなおしてください");
const QString kConfirmDelete = QStringLiteral("接続先リストの選択された項目を削除してもよいですか？");

QList<PCIPRecord> threeRecords()
{
    return {makeRecord(-1, "Alpha", "10.0.0.1"), makeRecord(0, "Beta", "10.0.0.2"),
            makeRecord(-1, "Gamma", "10.0.0.3")};
}
} // namespace

class DestinationWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void firstOpeningCreatesTheFile();
    void addNew_data();
    void addNew();
    void rowClickFillsInputs_data();
    void rowClickFillsInputs();
    void modifyChangesOnlyItsRecord();
    void deleteRows_data();
    void deleteRows();
    void changesByAnotherCopyAreKept_data();
    void changesByAnotherCopyAreKept();
    void deleteAndModifyNeedAChosenRow();
    void longNameShownWholeUntilRefill();
    void fileErrorsAreReported();
    void writesDuringConnectWait();
    void inputMethodModes();
    void screenReaderNames();
};

void DestinationWindowTest::firstOpeningCreatesTheFile()
{
    ScopedWorkDir dir;
    Form2 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Wispleaf"));
    whileOpen(form, [&](Controls &c) {
        QVERIFY(QFile::exists("PCIP.dat"));
        QCOMPARE(c.list->topLevelItemCount(), 0);
        QVERIFY(c.option1->isChecked());
        QCOMPARE(c.list->headerItem()->text(0), QStringLiteral("接続の試み"));
        QCOMPARE(c.list->headerItem()->text(1), QStringLiteral("接続先PC"));
        QCOMPARE(c.list->headerItem()->text(2), QStringLiteral("IPアドレス"));
        const Twips twips(form.logicalDpiX());
        QCOMPARE(c.list->width(), twips.toPixels(6000));
        for (int column = 0; column < 3; ++column)
            QCOMPARE(c.list->columnWidth(column), twips.toPixels(1980));
        QCOMPARE(form.minimumSize(), form.maximumSize());
    });
    QCOMPARE(readFileBytes().size(), 0);
}

void DestinationWindowTest::addNew_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<bool>("attempt");
    QTest::addColumn<QStringList>("row"); // empty when refused

    QTest::newRow("valid, marked") << "PC1" << QStringList{"192", "168", "0", "10"} << true
                                   << QStringList{"する", "PC1", "192.168.0.10"};
    QTest::newRow("valid, not marked") << "会議室" << QStringList{"10", "0", "0", "1"} << false
                                       << QStringList{"しない", "会議室", "10.0.0.1"};
    QTest::newRow("256 accepted") << "PC" << QStringList{"256", "1", "1", "1"} << true
                                  << QStringList{"する", "PC", "256.1.1.1"};
    QTest::newRow("exponent lower-cased") << "PC" << QStringList{"1E2", "1", "1", "1"} << true
                                          << QStringList{"する", "PC", "1e2.1.1.1"};
    QTest::newRow("four characters") << "PC" << QStringList{"1000", "1", "1", "1"} << true << QStringList{};
    QTest::newRow("empty part") << "PC" << QStringList{"1", "", "1", "1"} << true << QStringList{};
    QTest::newRow("letters") << "PC" << QStringList{"1", "ab", "1", "1"} << true << QStringList{};
    QTest::newRow("empty name") << "" << QStringList{"1", "1", "1", "1"} << true << QStringList{};
}

void DestinationWindowTest::addNew()
{
    QFETCH(QString, name);
    QFETCH(QStringList, parts);
    QFETCH(bool, attempt);
    QFETCH(QStringList, row);
    ScopedWorkDir dir;
    writeRecords({makeRecord(0, "Existing", "1.1.1.1")});
    const QByteArray before = readFileBytes();
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.type(name, parts, attempt);
        c.add->click();
        if (row.isEmpty()) {
            QCOMPARE(boxes.texts(), QStringList{kRetype});
            QCOMPARE(boxes.seen()[0].icon, QMessageBox::Warning);
            QCOMPARE(c.inputs(), QStringList(5, QString()));
            QCOMPARE(c.list->topLevelItemCount(), 1);
            QCOMPARE(readFileBytes(), before);
            return;
        }
        QVERIFY(boxes.seen().isEmpty());
        QCOMPARE(c.list->topLevelItemCount(), 2);
        QCOMPARE(c.row(1), row);
        QCOMPARE(readFileBytes(), before + makeRecord(attempt ? -1 : 0, name, row[2]).toBytes());
        // Back to a new entry.
        QCOMPARE(c.inputs(), QStringList(5, QString()));
        QVERIFY(c.option1->isChecked());
        QVERIFY(c.add->isEnabled());
    });
}

void DestinationWindowTest::rowClickFillsInputs_data()
{
    QTest::addColumn<qint16>("attempt");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("marked") << qint16(-1) << "192.168.0.10" << QStringList{"192", "168", "0", "10"};
    QTest::newRow("not marked") << qint16(0) << "10.0.0.2" << QStringList{"10", "0", "0", "2"};
    QTest::newRow("odd mark") << qint16(7) << "10.0.0.3" << QStringList{"10", "0", "0", "3"};
    QTest::newRow("four dots") << qint16(-1) << "1.5.2.3.4" << QStringList{"1", "5", "2", "3.4"};
    QTest::newRow("short address") << qint16(-1) << "1.2" << QStringList{"1", "2", "", ""};
}

void DestinationWindowTest::rowClickFillsInputs()
{
    QFETCH(qint16, attempt);
    QFETCH(QString, address);
    QFETCH(QStringList, parts);
    ScopedWorkDir dir;
    writeRecords({makeRecord(0, "first", "9.9.9.9"), makeRecord(attempt, "  名前 ", address)});
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(c.list->topLevelItemCount(), 2);
        c.clickRow(1);
        QCOMPARE(c.inputs(), QStringList{"名前"} + parts);
        QCOMPARE(c.option1->isChecked(), attempt == -1);
        QCOMPARE(c.option2->isChecked(), attempt != -1);
        QVERIFY(!c.add->isEnabled());
        QVERIFY(c.remove->isEnabled());
        QVERIFY(c.modify->isEnabled());
    });
}

void DestinationWindowTest::modifyChangesOnlyItsRecord()
{
    ScopedWorkDir dir;
    writeRecords(threeRecords());
    const QByteArray before = readFileBytes();
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.clickRow(1);
        QVERIFY(c.option2->isChecked());
        c.type("Beta2", {"1E2", "0", "0", "9"}, true);
        c.modify->click();
        const QByteArray after = readFileBytes();
        QCOMPARE(after.left(37), before.left(37));
        QCOMPARE(after.mid(37, 37), makeRecord(-1, "Beta2", "1E2.0.0.9").toBytes()); // as typed
        QCOMPARE(after.mid(74), before.mid(74));
        QCOMPARE(c.row(1), (QStringList{"する", "Beta2", "1E2.0.0.9"}));
        QCOMPARE(c.row(0), (QStringList{"する", "Alpha", "10.0.0.1"}));
        // After a change, delete and modify wait for a new row click.
        c.remove->click();
        c.modify->click();
        QVERIFY(boxes.seen().isEmpty());
        QCOMPARE(readFileBytes(), after);
    });
}

void DestinationWindowTest::deleteRows_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QByteArray>("left");
    const QList<PCIPRecord> three = threeRecords();
    const QByteArray first = three[0].toBytes(), second = three[1].toBytes(), third = three[2].toBytes();
    QTest::newRow("middle row") << first + second + third << 1 << true << first + third;
    QTest::newRow("last remaining row") << second << 0 << true << QByteArray();
    QTest::newRow("cancel") << first + second + third << 1 << false << first + second + third;
    // An odd mark, leading spaces and bytes that are not code page 932
    // survive the deletion of another record.
    const QByteArray odd = QByteArray("\x01\x00  lead\x81\x7f", 10).leftJustified(22, ' ')
                           + QByteArray(" 10.0.0.1").leftJustified(15, ' ');
    QTest::newRow("untouched records stay as stored") << odd + second + odd << 1 << true << odd + odd;
}

void DestinationWindowTest::deleteRows()
{
    QFETCH(QByteArray, file);
    QFETCH(int, row);
    QFETCH(bool, confirm);
    QFETCH(QByteArray, left);
    ScopedWorkDir dir;
    writeFileBytes(file);
    MessageBoxWatcher boxes(confirm ? QMessageBox::Ok : QMessageBox::Cancel);
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.clickRow(row);
        c.remove->click();
        QCOMPARE(boxes.seen().size(), 1);
        const auto box = boxes.seen()[0];
        QCOMPARE(box.text, kConfirmDelete);
        QCOMPARE(box.title, QStringLiteral("Wispleaf"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.defaultButton, QMessageBox::Ok);
        QVERIFY(QFile::exists("PCIP.dat"));
        QCOMPARE(readFileBytes(), left);
        QCOMPARE(c.list->topLevelItemCount(), left.size() / 37);
        for (int i = 0; i < c.list->topLevelItemCount(); ++i)
            QCOMPARE(c.row(i)[1], PCIPRecord::fromBytes(left.mid(i * 37, 37)).trimmedName());
        // Cancel keeps the row chosen; a delete returns to a new entry.
        QCOMPARE(c.add->isEnabled(), confirm);
    });
}

void DestinationWindowTest::changesByAnotherCopyAreKept_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("otherCopyWrites");
    QTest::addColumn<QByteArray>("expected"); // the file afterwards
    const QList<PCIPRecord> three = threeRecords();
    const QByteArray first = three[0].toBytes(), second = three[1].toBytes(), third = three[2].toBytes();
    const QByteArray other = makeRecord(0, "Other", "10.9.9.9").toBytes();
    QTest::newRow("delete, record replaced") << "delete" << 1 << first + other + third << first + other + third;
    QTest::newRow("delete, file shrunk") << "delete" << 2 << first << first;
    QTest::newRow("modify, record replaced") << "modify" << 1 << first + other + third << first + other + third;
    QTest::newRow("modify, file shrunk") << "modify" << 2 << first << first;
    // Changes elsewhere in the file do not stop an edit of this record.
    QTest::newRow("delete, record appended") << "delete" << 1 << first + second + third + other
                                             << first + third + other;
    QTest::newRow("modify, record appended") << "modify" << 1 << first + second + third + other
                                             << first + makeRecord(-1, "New", "1.2.3.4").toBytes() + third + other;
}

void DestinationWindowTest::changesByAnotherCopyAreKept()
{
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(QByteArray, otherCopyWrites);
    QFETCH(QByteArray, expected);
    ScopedWorkDir dir;
    writeRecords(threeRecords());
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.clickRow(row);
        writeFileBytes(otherCopyWrites);
        if (action == "delete") {
            c.remove->click();
        } else {
            c.type("New", {"1", "2", "3", "4"});
            c.modify->click();
        }
        QCOMPARE(readFileBytes(), expected);
        const bool refused = expected == otherCopyWrites;
        const int confirmations = action == "delete" ? 1 : 0;
        QCOMPARE(boxes.seen().size(), confirmations + int(refused));
        if (refused) {
            QCOMPARE(boxes.seen().last().icon, QMessageBox::Warning);
            QVERIFY(boxes.seen().last().text.contains(action == "delete" ? QStringLiteral("削除しません")
                                                                         : QStringLiteral("修正しません")));
            // The list shows the file as it is now, and nothing stays chosen.
            QCOMPARE(c.list->topLevelItemCount(), expected.size() / 37);
            QVERIFY(c.add->isEnabled());
        }
    });
}

void DestinationWindowTest::deleteAndModifyNeedAChosenRow()
{
    ScopedWorkDir dir;
    writeRecords(threeRecords());
    const QByteArray before = readFileBytes();
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.type("X", {"1", "1", "1", "1"});
        c.remove->click();
        c.modify->click();
        c.clickRow(0); // chosen, then the window closes
    });
    // A new opening forgets the row chosen before.
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(c.inputs(), QStringList(5, QString()));
        QVERIFY(c.add->isEnabled());
        c.remove->click();
    });
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(readFileBytes(), before);
}

void DestinationWindowTest::longNameShownWholeUntilRefill()
{
    ScopedWorkDir dir;
    const QString name = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        c.type(name, {"1", "2", "3", "4"});
        c.add->click();
        QCOMPARE(c.row(0)[1], name);
    });
    whileOpen(form, [&](Controls &c) { QCOMPARE(c.row(0)[1], name.left(20)); });

    // A row just added, with texts the file holds cut and encoded, is still
    // recognised as its record.
    MessageBoxWatcher boxes;
    const QByteArray before = readFileBytes();
    whileOpen(form, [&](Controls &c) {
        c.type(QStringLiteral("  ") + name + QStringLiteral("\u2603"), {"1E2", "2", "3", "4"});
        c.add->click();
        c.clickRow(1);
        c.remove->click();
    });
    QCOMPARE(boxes.texts(), QStringList{kConfirmDelete});
    QCOMPARE(readFileBytes(), before);
}

void DestinationWindowTest::fileErrorsAreReported()
{
    ScopedWorkDir dir;
    QVERIFY(QDir().mkdir("PCIP.dat"));
    MessageBoxWatcher boxes;
    Form2 form;
    whileOpen(form, [&](Controls &c) {
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY(boxes.seen()[0].text.contains(QStringLiteral("PCIP.dat")));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Wispleaf"));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Warning);
        c.type("PC", {"1", "2", "3", "4"});
        c.add->click();
        QCOMPARE(boxes.seen().size(), 2);
        QCOMPARE(c.list->topLevelItemCount(), 0);
        QCOMPARE(c.texts[0]->text(), QStringLiteral("PC")); // nothing typed is lost
    });
    QVERIFY(QFileInfo("PCIP.dat").isDir());
}

void DestinationWindowTest::writesDuringConnectWait()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    AnsweredAndSilent hosts;
    QVERIFY(hosts.silent.isReady());
    writeRecords({makeRecord(-1, "silent", "127.0.0.2"), makeRecord(0, "spare", "127.0.0.5")});
    MainWindowHarness w(hosts.port());
    w.Text1->setText(QStringLiteral("user"));

    bool edited = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *form = qobject_cast<Form2 *>(QApplication::activeModalWidget());
        if (!form || edited)
            return;
        edited = true;
        const auto closeAfter = qScopeGuard([form] { form->close(); });
        QVERIFY(!isOpenInThisProcess("PCIP.dat")); // the scan let go of it before waiting
        QCOMPARE(form->parentWidget(), w.window.get());
        Controls c(form);
        c.clickRow(1);
        c.remove->click(); // rewrites the file the scan holds open
        c.type("here", {"127", "0", "0", "1"});
        c.add->click();
    });
    poll.start(20);
    QTimer::singleShot(300, w.find<QAction>("set11_0"), &QAction::trigger);
    w.Command2->click();
    poll.stop();

    QVERIFY(edited);
    QCOMPARE(readFileBytes(),
             makeRecord(-1, "silent", "127.0.0.2").toBytes() + makeRecord(-1, "here", "127.0.0.1").toBytes());
    const QStringList expectedBoxes{kConfirmDelete, QStringLiteral("接続先の設定を確認してください")};
    QCOMPARE(boxes.texts(), expectedBoxes);

    // The next press reads the list afresh and reaches the new destination.
    boxes.clear();
    w.Command2->click();
    QCOMPARE(w.status(), QStringLiteral(" 接続できました！通信できます。"));
    QCOMPARE(hosts.server.connectionCount(), 1);
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
    writeRecords(threeRecords());
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
