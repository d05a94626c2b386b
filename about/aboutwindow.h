#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The version window: loaded anew for every display, discarded when closed.
class frmAbout final : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(frmAbout)

    // Creates, loads and shows a new version window modally; returns when
    // it has been closed.
    static void showModal();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QPushButton *cmdOK = nullptr;
};
