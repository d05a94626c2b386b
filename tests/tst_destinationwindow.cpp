#include "form2.h"
#include "mainwindowharness.h"
#include "pcipfile.h"
#include "testsupport.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>

namespace {
const QString kRetype = QStringLiteral("入力しなおしてください");
const QString kConfirmDelete = QStringLiteral("接続先リストの選択された項目を削除してもよいですか？");

// The destination window's controls, found by name.
struct Controls
{
    explicit Controls(QWidget *form)
        : form(form)
    {
        list = form->findChild<QTreeWidget *>("ListView1");
        for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text5"})
            texts << form->findChild<QLineEdit *>(name);
        add = form->findChild<QPushButton *>("Command1");
        remove = form->findChild<QPushButton *>("Command2");
        modify = form->findChild<QPushButton *>("Command3");
        option1 = form->findChild<QRadioButton *>("Option1");
        option2 = form->findChild<QRadioButton *>("Option2");
    }

    void type(const QString &name, const QStringList &parts, bool attempt = true)
    {
        texts[0]->setText(name);
        for (int i = 0; i < 4; ++i)
            texts[i + 1]->setText(parts.value(i));
        (attempt ? option1 : option2)->setChecked(true);
    }
    QStringList inputs() const
    {
        QStringList values;
        for (QLineEdit *box : texts)
            values << box->text();
        return values;
    }
    QStringList row(int i) const
    {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        return {item->text(0), item->text(1), item->text(2)};
    }
    void clickRow(int i)
    {
        const QRect rect = list->visualItemRect(list->topLevelItem(i));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QWidget *form;
    QTreeWidget *list;
    QList<QLineEdit *> texts;
    QPushButton *add, *remove, *modify;
    QRadioButton *option1, *option2;
};

// Opens the window modally, runs body once it is showing, then closes it.
void whileOpen(Form2 &form, const std::function<void(Controls &)> &body)
{
    QTimer poll;
    bool ran = false;
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        if (ran || QApplication::activeModalWidget() != &form)
            return;
        ran = true;
        const auto closeAfter = qScopeGuard([&form] { form.close(); });
        Controls controls(&form);
        body(controls);
    });
    poll.start(10);
    form.showModally();
    QVERIFY(ran);
}

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
    void deleteAndModifyNeedAChosenRow();
    void longNameShownWholeUntilRefill();
    void fileErrorsAreReported();
    void writesDuringConnectWait();
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
    QTest::addColumn<QList<PCIPRecord>>("records");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QList<PCIPRecord>>("left");
    const QList<PCIPRecord> three = threeRecords();
    QTest::newRow("middle row") << three << 1 << true << QList<PCIPRecord>{three[0], three[2]};
    QTest::newRow("last remaining row") << QList<PCIPRecord>{three[1]} << 0 << true << QList<PCIPRecord>{};
    QTest::newRow("cancel") << three << 1 << false << three;
}

void DestinationWindowTest::deleteRows()
{
    QFETCH(QList<PCIPRecord>, records);
    QFETCH(int, row);
    QFETCH(bool, confirm);
    QFETCH(QList<PCIPRecord>, left);
    ScopedWorkDir dir;
    writeRecords(records);
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
        QByteArray expected;
        for (const PCIPRecord &record : left)
            expected += record.toBytes();
        QVERIFY(QFile::exists("PCIP.dat"));
        QCOMPARE(readFileBytes(), expected);
        QCOMPARE(c.list->topLevelItemCount(), left.size());
        for (qsizetype i = 0; i < left.size(); ++i)
            QCOMPARE(c.row(int(i))[1], left[i].trimmedName());
        // Cancel keeps the row chosen; a delete returns to a new entry.
        QCOMPARE(c.add->isEnabled(), confirm);
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

QTEST_MAIN(DestinationWindowTest)
#include "tst_destinationwindow.moc"
