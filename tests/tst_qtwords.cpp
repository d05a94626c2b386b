// Qt's own words in Japanese, as Wispleaf's own: the fields' standard
// context menus, message-box buttons and the file dialog.
#include "mainwindowharness.h"
#include "qtjapanese.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

class QtWordsTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void contextMenus();
    void messageBoxButtons();
    void fileDialog();
};

namespace {
// An item as a person reads it: no access key, no shortcut.
QStringList itemsOf(const QMenu *menu)
{
    QStringList items;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            items << action->text().section(u'\t', 0, 0).remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
    }
    return items;
}
} // namespace

void QtWordsTest::initTestCase()
{
    QVERIFY2(installQtJapanese(QCoreApplication::instance()), "qtbase_ja.qm (Debian: qt6-translations-l10n) is needed");
}

void QtWordsTest::contextMenus()
{
    ScopedWorkDir dir;
    MainWindowHarness w(5000);
    // The conversation's menu, as the window opens it.
    QStringList conversation;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        conversation = itemsOf(menu);
        menu->close();
    });
    emit w.Text3->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!conversation.isEmpty(), 2000);
    QCOMPARE(conversation, (QStringList{"コピー", "すべてを選択", "未読の先頭へ", "検索...", "会話を保存..."}));
    const std::unique_ptr<QMenu> message(w.Text2->createStandardContextMenu());
    QCOMPARE(itemsOf(message.get()),
             (QStringList{"元に戻す", "やり直す", "切り取り", "コピー", "貼り付け", "削除", "すべてを選択"}));
}

void QtWordsTest::messageBoxButtons()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Wispleaf"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
}

void QtWordsTest::fileDialog()
{
    // Qt's own dialog, as Linux desktops without a portal show it; what a
    // screen reader names its parts.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const auto nameOf = [&](const char *label) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(dialog.findChild<QLabel *>(label));
        return accessible ? accessible->text(QAccessible::Name) : QString();
    };
    QVERIFY2(nameOf("lookInLabel").startsWith(QStringLiteral("アドレス")), qPrintable(nameOf("lookInLabel")));
    QVERIFY2(nameOf("fileNameLabel").startsWith(QStringLiteral("ファイル名")), qPrintable(nameOf("fileNameLabel")));
    QVERIFY2(nameOf("fileTypeLabel").startsWith(QStringLiteral("ファイルの種類")), qPrintable(nameOf("fileTypeLabel")));
    QStringList buttons;
    for (const QPushButton *button : dialog.findChildren<QPushButton *>())
        buttons << button->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
    QVERIFY2(buttons.contains(QStringLiteral("保存")) && buttons.contains(QStringLiteral("キャンセル")),
             qPrintable(buttons.join(u',')));
}

QTEST_MAIN(QtWordsTest)
#include "tst_qtwords.moc"
