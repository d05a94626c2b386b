#include "aboutwindow.h"

#include "twips.h"
#include "wispleafversion.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(QIcon(QStringLiteral(":/wispleaf/wispleaf.xpm")));
    const Twips twips(logicalDpiX());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameShape(QFrame::Panel);
    picIcon->setFrameShadow(QFrame::Sunken);
    picIcon->setPixmap(QPixmap(QStringLiteral(":/wispleaf/wispleaf.xpm")));
    picIcon->move(twips.toPixels(240), twips.toPixels(240));
    picIcon->adjustSize(); // sizes itself to its picture

    lblTitle = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette black = lblTitle->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblTitle->setPalette(black);
    lblTitle->setGeometry(twips.rect(1050, 240, 3885, 480));

    lblVersion = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setTextFormat(Qt::PlainText);
    lblVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblVersion->setGeometry(twips.rect(1080, 780, 2772, 228));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twips.rect(2880, 840, 1380, 345));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdOK->raise();
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // The client area's top-left corner always opens at the same place.
    setGeometry(twips.rect(2340, 1932, 4344, 1272));
    setFixedSize(size());
    Form_Load();
}

void frmAbout::Form_Load()
{
    const QString title = QStringLiteral("Wispleaf");
    setWindowTitle(title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3")
                            .arg(WISPLEAF_VERSION_MAJOR)
                            .arg(WISPLEAF_VERSION_MINOR)
                            .arg(WISPLEAF_VERSION_PATCH));
    lblTitle->setText(title);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the OK button, as Enter does.
    if (event->key() == Qt::Key_Escape) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::showModal()
{
    // A hidden owner keeps the window off the task bar.
    QWidget owner;
    frmAbout about(&owner);
    about.exec();
}
