// The destination list: the file and its window.
#include "benchsupport.h"
#include "form2.h"
#include "pcipfile.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

void writeManyRecords(int count)
{
    QList<PCIPRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i)
        records << makeRecord(i % 3 ? 0 : -1, QStringLiteral("会議室%1").arg(i), QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250));
    writeRecords(records);
}

double readAllMs()
{
    return millisecondsOf([] {
        PcipFile file;
        QList<PCIPRecord> records;
        file.open();
        file.readAll(&records);
    });
}

// Opens the window and runs body once it shows; returns body's time.
double timeInsideWindow(Form2 &form, const std::function<void(Form2 &)> &body)
{
    double ms = 0;
    QTimer::singleShot(0, &form, [&] {
        ms = millisecondsOf([&] { body(form); });
        form.close();
    });
    form.showModally();
    return ms;
}

void benchDestinations()
{
    ScopedWorkDir dir;
    MessageBoxWatcher boxes;
    QList<double> perRecord;
    for (const int count : {1000, 32766}) {
        writeManyRecords(count);
        QList<double> fill, read;
        for (int i = 0; i < std::max(3, g_repeats * 5); ++i) {
            Form2 form;
            QTimer::singleShot(0, &form, &QWidget::close);
            fill << millisecondsOf([&] { form.showModally(); });
            read << readAllMs();
        }
        const double ms = median(fill);
        perRecord << ms / count;
        g_rows << Row{QStringLiteral("FillList (opening the window), %1 records").arg(count), ms, median(read),
                      "ms", "reading the records alone", count > 30000 ? "< 250 ms" : "—",
                      count > 30000 ? ms < 250 : true};
    }
    g_rows << Row{"FillList, time per record at 32,766 vs 1,000", perRecord[1] / perRecord[0], 1.0, "×",
                  "linear = 1", "≤ 2 (linear)", perRecord[1] / perRecord[0] <= 2.0};

    auto type = [](Form2 &form) {
        const char *names[] = {"Text1", "Text2", "Text3", "Text4", "Text5"};
        const char *values[] = {"新しいPC", "10", "1", "2", "3"};
        for (int i = 0; i < 5; ++i)
            form.findChild<QLineEdit *>(names[i])->setText(QString::fromUtf8(values[i]));
    };
    auto clickRow = [](Form2 &form, int row) {
        auto *list = form.findChild<QTreeView *>("ListView1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
    };
    QList<double> add, addRef, modify, modifyRef, remove, removeRef;
    for (int i = 0; i < std::max(1, g_repeats * 3); ++i) {
        writeManyRecords(32765);
        Form2 form;
        add << timeInsideWindow(form, [&](Form2 &f) {
            type(f);
            f.findChild<QPushButton *>("Command1")->click();
        });
        addRef << millisecondsOf([] {
            PcipFile file;
            file.open();
            file.writeRecord(32766, makeRecord(0, "x", "1.1.1.1"));
        });
        modify << timeInsideWindow(form, [&](Form2 &f) {
            clickRow(f, 1);
            type(f);
            f.findChild<QPushButton *>("Command3")->click();
        });
        modifyRef << millisecondsOf([] {
            PcipFile file;
            file.open();
            file.writeRecord(2, makeRecord(0, "x", "1.1.1.1"));
        }) + readAllMs();
        remove << timeInsideWindow(form, [&](Form2 &f) {
            clickRow(f, 1);
            f.findChild<QPushButton *>("Command2")->click();
        });
        removeRef << millisecondsOf([] {
            PcipFile file;
            QByteArray records;
            file.open();
            file.readWholeRecords(&records);
            file.close();
            records.remove(PCIPRecord::kSize, PCIPRecord::kSize);
            QString error;
            PcipFile::replaceAll("PCIP.dat", records, &error);
        });
    }
    g_rows << Row{"add new to 32,765 records", median(add), median(addRef), "ms", "one record write", "—", true};
    g_rows << Row{"modify in 32,766 records (with refill)", median(modify), median(modifyRef), "ms",
                  "one record write + reading all", "< 250 ms", median(modify) < 250};
    g_rows << Row{"delete from 32,766 records", median(remove), median(removeRef), "ms",
                  "read all + atomic rewrite", "< 250 ms", median(remove) < 250};
}

