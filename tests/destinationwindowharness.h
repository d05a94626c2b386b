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
#include <QTreeView>

#include <functional>

// The destination window's controls, found by name.
struct Controls
{
    explicit Controls(QWidget *form)
        : form(form)
    {
        list = form->findChild<QTreeView *>("ListView1");
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
    int rowCount() const { return list->model()->rowCount(); }
    QStringList row(int i) const
    {
        const QAbstractItemModel *rows = list->model();
        return {rows->index(i, 0).data().toString(), rows->index(i, 1).data().toString(),
                rows->index(i, 2).data().toString()};
    }
    void clickRow(int i)
    {
        list->scrollTo(list->model()->index(i, 0));
        const QRect rect = list->visualRect(list->model()->index(i, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QWidget *form;
    QTreeView *list;
    QList<QLineEdit *> texts;
    QPushButton *add, *remove, *modify;
    QRadioButton *option1, *option2;
};

// Runs body once, on the first modal window named objectName to become
// the active one (any message box of its loading answered). Gives up
// after 20 s, closing whatever is modal, rather than hang the test.
inline void onceModal(const QString &objectName, const std::function<void(QWidget *)> &body)
{
    auto *poll = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && modal->objectName() == objectName;
        if (!found && clock.elapsed() < 20000)
            return;
        poll->deleteLater();
        if (found)
            body(modal);
        else if (modal)
            modal->close();
    });
    poll->start(10);
}

// Opens the window modally, runs body on its controls, then closes it.
inline void whileOpen(Form2 &form, const std::function<void(Controls &)> &body)
{
    bool ran = false;
    onceModal(form.objectName(), [&](QWidget *) {
        ran = true;
        const auto closeAfter = qScopeGuard([&form] { form.close(); });
        Controls controls(&form);
        body(controls);
    });
    form.showModally();
    QVERIFY(ran);
}
