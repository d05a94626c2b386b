#pragma once

#include "form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

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

// Opens the window modally, runs body once it is the active modal window
// (any message box of its loading answered), then closes it.
inline void whileOpen(Form2 &form, const std::function<void(Controls &)> &body)
{
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    bool ran = false;
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        if (ran)
            return;
        if (QApplication::activeModalWidget() != &form) {
            if (clock.elapsed() > 20000 && form.isVisible())
                form.close(); // give up rather than hang; the check below fails
            return;
        }
        ran = true;
        const auto closeAfter = qScopeGuard([&form] { form.close(); });
        Controls controls(&form);
        body(controls);
    });
    poll.start(10);
    form.showModally();
    QVERIFY(ran);
}
