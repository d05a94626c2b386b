#include "form1.h"

#include "aboutwindow.h"
#include "chatmessages.h"
#include "chatsocket.h"
#include "codepage932.h"
#include "connectionending.h"
#include "desktopnotifier.h"
#include "destinationinput.h"
#include "displayfield.h"
#include "displayupdate.h"
#include "filereveal.h"
#include "findbar.h"
#include "linklayer.h"
#include "form2.h"
#include "inputmethod.h"
#include "mainlayout.h"
#include "messageboxes.h"
#include "pcipfile.h"
#include "savedtext.h"
#include "simplestatusbar.h"
#include "twips.h"
#include "unreadcount.h"

#include <QApplication>
#include <QCloseEvent>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QShortcut>
#include <QStandardPaths>
#include <QGuiApplication>
#include <QWindow>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {
const QString kConnectedText = QStringLiteral(" 接続できました！通信できます。");

Twips twipsFor(const QWidget *widget)
{
    return Twips(widget->logicalDpiX());
}

// The wait compares whole seconds of a monotonic clock, so one destination
// gets between 2 and 3 seconds and a clock change cannot stretch it.
using WaitClock = std::chrono::steady_clock;

qint64 monotonicSeconds(WaitClock::time_point at)
{
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}
} // namespace

form1::form1(quint16 remotePort, QWidget *parent)
    : QMainWindow(parent)
    , m_openHelp(openHelpWithDesktop)
    , m_requestAttention([](QWidget *window) { QApplication::alert(window); })
    , m_chooseSavePath([](QWidget *parent, const QString &suggested) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("会話を保存"), suggested,
                                            QStringLiteral("テキスト (*.txt)"));
    })
    , m_remotePort(remotePort)
{
    setWindowTitle(QStringLiteral("Wispleaf"));
    setWindowIcon(QIcon(QStringLiteral(":/wispleaf/wispleaf.xpm")));
    createMenus();
    createControls();

    const Twips twips = twipsFor(this);
    resize(twips.toPixels(4884), twips.toPixels(4368) + menuBar()->sizeHint().height());
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        if (lookedAt())
            seen();
    });
    Form_Load();
}

void form1::setNotificationsEnabled(bool enabled)
{
    m_notificationsEnabled = enabled;
    showDesktopNotifier(enabled && isVisible());
}

void form1::showEvent(QShowEvent *event)
{
    showDesktopNotifier(m_notificationsEnabled);
    QMainWindow::showEvent(event);
}

void form1::showDesktopNotifier(bool shown)
{
    if (shown == (m_notifier != nullptr))
        return;
    if (!shown) {
        delete std::exchange(m_notifier, nullptr);
        m_unreadCount.reset();
        return;
    }
    m_notifier = DesktopNotifier::create(this);
    m_unreadCount = std::make_unique<UnreadCount>(this);
    connect(m_notifier, &DesktopNotifier::activated, this, &form1::showWindow);
    connect(SB, &SimpleStatusBar::simpleTextChanged, m_notifier, &DesktopNotifier::setStatusText);
    m_notifier->setStatusText(SB->simpleText());
}

void form1::showWindow()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

bool form1::lookedAt() const
{
    // A native dialog (the desktop's save dialog) is no window of Qt's.
    if (m_ownDialogs > 0)
        return true;
    const QWidget *active = QApplication::activeWindow();
    // Dialogs and message boxes shown without a parent are modal.
    if (active && active->isModal())
        return true;
    for (; active; active = active->parentWidget()) {
        if (active == this)
            return true;
    }
    return false;
}

void form1::seen()
{
    m_updates->looked();
    m_unseen.clear();
    if (m_notifier) {
        m_notifier->withdraw();
        m_unreadCount->set(0);
    }
}

form1::~form1() = default;

void form1::createMenus()
{
    // No shortcuts and no access keys: captions carry no "&".
    QMenu *f1 = menuBar()->addMenu(QStringLiteral("ファイル"));
    f1->setObjectName(QStringLiteral("f1"));
    QAction *f11 = f1->addAction(QStringLiteral("切断"));
    f11->setObjectName(QStringLiteral("f11_0"));
    connect(f11, &QAction::triggered, this, [this] { f11_Click(0); });

    QMenu *set1 = menuBar()->addMenu(QStringLiteral("設定"));
    set1->setObjectName(QStringLiteral("set1"));
    QAction *set11 = set1->addAction(QStringLiteral("接続先"));
    set11->setObjectName(QStringLiteral("set11_0"));
    connect(set11, &QAction::triggered, this, [this] { set11_Click(0); });

    QMenu *h1 = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    h1->setObjectName(QStringLiteral("h1"));
    const QStringList helpItems{QStringLiteral("バージョン情報"), QStringLiteral("ヘルプ")};
    for (int index = 0; index < helpItems.size(); ++index) {
        QAction *h11 = h1->addAction(helpItems[index]);
        h11->setObjectName(QStringLiteral("h11_%1").arg(index));
        connect(h11, &QAction::triggered, this, [this, index] { h11_Click(index); });
    }
}

void form1::createControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    const Twips twips = twipsFor(this);

    Label1 = new QLabel(QStringLiteral("名前"), m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips.rect(360, 600, 360, 180));
    Label1->adjustSize();

    Text1 = new QLineEdit(m_client);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips.rect(840, 516, 1452, 264));

    Label2 = new QLabel(QStringLiteral("送信文"), m_client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twips.rect(180, 960, 540, 180));
    Label2->adjustSize();

    Text2 = new QLineEdit(m_client);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(twips.rect(840, 876, 2052, 264));
    InputMethod::preferHiragana(Text2);
    Text2->installEventFilter(this);

    Command1 = new QPushButton(QStringLiteral("送信/更新"), m_client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips.rect(3000, 876, 972, 264));

    auto makeDisplay = [this](const QString &name) {
        auto *field = new DisplayField(m_client);
        field->setObjectName(name);
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return field;
    };
    Text3 = makeDisplay(QStringLiteral("Text3"));
    Text3->setGeometry(twips.rect(0, 1440, 3132, 2652));
    Text4 = makeDisplay(QStringLiteral("Text4"));
    Text4->setGeometry(twips.rect(3120, 1440, 1452, 1932));
    m_updates = std::make_unique<ConversationUpdates>(Text4, Text3);
    // What a screen reader calls them: the labels name the input boxes, the
    // two display fields need names of their own.
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Text3->setAccessibleName(QStringLiteral("会話"));
    Text4->setAccessibleName(QStringLiteral("参加者"));

    Command2 = new QPushButton(QStringLiteral("接続/参加"), m_client);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twips.rect(3240, 3480, 1212, 252));

    Command3 = new QPushButton(QStringLiteral("切断/退室"), m_client);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(twips.rect(3200, 3720, 1212, 252));

    for (QPushButton *button : {Command1, Command2, Command3})
        button->setAutoDefault(false);

    // Find in the conversation: Ctrl+F anywhere in the window, the bar
    // under the conversation; F3 and Shift+F3 go on while it is open.
    m_findBar = new FindBar(Text3, m_client);
    connect(m_findBar, &FindBar::closed, this, [this] {
        Form_Resize();
        (Text2->isEnabled() ? static_cast<QWidget *>(Text2) : Text3)->setFocus();
    });
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, &form1::openFind);
    for (const bool forward : {true, false}) {
        auto *again = new QShortcut(forward ? QKeySequence(Qt::Key_F3) : QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
        connect(again, &QShortcut::activated, this, [this, forward] {
            if (m_findBar->isVisible())
                m_findBar->step(forward);
        });
    }
    m_links = new LinkLayer(Text3);
    connect(m_links, &LinkLayer::clicked, this, &form1::openLink);
    for (DisplayField *field : {Text3, Text4}) {
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(field, &QWidget::customContextMenuRequested, this,
                [this, field](const QPoint &at) { showFieldMenu(field, at); });
    }

    // The status bar lies inside the client area, docked at its bottom edge.
    SB = new SimpleStatusBar(m_client);
    SB->setObjectName(QStringLiteral("SB"));
    SB->setGeometry(twips.rect(0, 4104, 4884, 264));

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Text3);
    setTabOrder(Text3, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Text4);

    WSock = new ChatSocket(this);
    WSock->setObjectName(QStringLiteral("WSock"));

    connect(Command1, &QPushButton::clicked, this, &form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &form1::Command3_Click);
    connect(WSock, &ChatSocket::connected, this, &form1::WSock_Connect);
    connect(WSock, &ChatSocket::dataArrival, this, &form1::WSock_DataArrival);
    connect(WSock, &ChatSocket::updateComplete, this, &form1::WSock_UpdateComplete);
    connect(WSock, &ChatSocket::updateFinal, this, &form1::WSock_UpdateFinal);
    connect(WSock, &ChatSocket::closedByPeer, this, &form1::WSock_Close);
    connect(WSock, &ChatSocket::errorOccurred, this, &form1::WSock_Error);

    m_client->installEventFilter(this);
}

bool form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        const Twips twips = twipsFor(this);
        const int barHeight = twips.toPixels(264);
        SB->setGeometry(0, m_client->height() - barHeight, m_client->width(), barHeight);
        SB->raise();
        Form_Resize();
    } else if (watched == Text2 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            Text2_KeyPress(13);
        // The key goes on to the box either way.
    }
    return QMainWindow::eventFilter(watched, event);
}

void form1::closeEvent(QCloseEvent *event)
{
    // A scan waiting inside this window's procedures must stop touching it.
    m_closed = true;
    WSock->close();
    QMainWindow::closeEvent(event);
}

void form1::Form_Load()
{
    DisableChatControls();
}

void form1::Form_Resize()
{
    const Twips twips = twipsFor(this);
    const float W = twips.fromPixels(m_client->width());
    const float H = twips.fromPixels(m_client->height());
    const float buttonHeight = twips.fromPixels(Command2->height());
    const MainLayout l = MainLayout::compute(W, H, buttonHeight,
                                             [&twips](float v) { return twips.snapped(v); });

    auto px = [&twips](float value) { return twips.toPixels(value); };
    Label1->move(px(l.label1Left), px(l.label1Top));
    Text1->setGeometry(px(l.text1Left), px(l.text1Top), px(l.text1Width), Text1->height());
    Label2->move(px(l.label2Left), px(l.label2Top));
    Text2->setGeometry(px(l.text2Left), px(l.text2Top), px(l.text2Width), Text2->height());
    Command1->move(px(l.command1Left), px(l.command1Top));
    Text3->setGeometry(px(l.text3Left), px(l.text3Top), px(l.text3Width), px(l.text3Height));
    // A window too low (or minimised) gives Text4 a negative height: it
    // then shrinks to nothing instead.
    Text4->setGeometry(px(l.text4Left), px(l.text4Top), px(l.text4Width), qMax(0, px(l.text4Height)));
    Command2->setGeometry(px(l.command2Left), px(l.command2Top), px(l.command2Width), Command2->height());
    Command3->setGeometry(px(l.command3Left), px(l.command3Top), px(l.command3Width), Command3->height());
    if (m_findBar->isVisible()) {
        // The bar takes the conversation's last lines of height.
        const int barHeight = m_findBar->sizeHint().height();
        const QRect conversation = Text3->geometry();
        Text3->setGeometry(conversation.adjusted(0, 0, 0, -barHeight));
        m_findBar->setGeometry(conversation.left(), conversation.bottom() + 1 - barHeight, conversation.width(), barHeight);
    }
}

void form1::openFind()
{
    m_findBar->open();
    Form_Resize();
}

void form1::showFieldMenu(DisplayField *field, const QPoint &at)
{
    QMenu *menu = field->createStandardContextMenu(at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    if (const std::optional<Links::Link> link = field == Text3 ? m_links->linkAt(at) : std::nullopt) {
        connect(menu->addAction(QStringLiteral("リンクを開く")), &QAction::triggered, this,
                [this, link = *link] { openLink(link); });
        const QString address = Text3->text().sliced(link->from, link->to - link->from);
        connect(menu->addAction(QStringLiteral("リンクをコピー")), &QAction::triggered, this,
                [address] { QGuiApplication::clipboard()->setText(address); });
        menu->addSeparator();
    }
    if (field == Text3) {
        QAction *leftOff = menu->addAction(QStringLiteral("未読の先頭へ"));
        leftOff->setEnabled(Text3->leftOffAt() >= 0);
        connect(leftOff, &QAction::triggered, Text3, &DisplayField::scrollToLeftOff);
        connect(menu->addAction(QStringLiteral("検索...")), &QAction::triggered, this, &form1::openFind);
    }
    connect(menu->addAction(QStringLiteral("会話を保存...")), &QAction::triggered, this, [this, field] { saveCopy(field); });
    menu->popup(field->viewport()->mapToGlobal(at));
}

void form1::openLink(const Links::Link &link)
{
    // Opening a share makes Windows send the user's sign-in to its host:
    // asked once per host and run, and only an explicit 開く opens.
    if (!link.shareHost.isEmpty() && !m_sharesAllowed.contains(link.shareHost, Qt::CaseInsensitive)) {
        const QString question = QStringLiteral("\\\\%1 の共有を開きますか？ このPCのサインイン情報が %1 に送られます")
                                     .arg(link.shareHost);
        if (!MessageBoxes::askToOpen(this, MessageBoxes::kTitle, question))
            return;
        m_sharesAllowed << link.shareHost;
    }
    // Never run anything: only a document opens, else its folder is shown.
    if (link.reveal || systemCallsDangerous(link.url))
        revealInFolder(link.url);
    else
        QDesktopServices::openUrl(link.url);
}

void form1::saveCopy(DisplayField *field)
{
    const QString text = field->text(); // as shown when asked
    const QString name = SavedText::suggestedName(field == Text3 ? QStringLiteral("会話") : QStringLiteral("参加者"),
                                                  QDateTime::currentDateTime());
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ++m_ownDialogs;
    const QString path = m_chooseSavePath(this, QDir(folder).filePath(name));
    --m_ownDialogs;
    if (path.isEmpty())
        return;
    QString error;
    if (!SavedText::write(path, text, &error))
        MessageBoxes::warn(this, MessageBoxes::kTitle,
                           QStringLiteral("「%1」に保存できませんでした（%2）").arg(QDir::toNativeSeparators(path), error));
}

void form1::DisableChatControls()
{
    Command3->setEnabled(false);
    Text2->setEnabled(false);
    Command1->setEnabled(false);
}

void form1::Command2_Click()
{
    if (Text1->text().isEmpty()) {
        MessageBoxes::warn(this, MessageBoxes::kTitle, QStringLiteral("名前を入力してください"));
        return;
    }
    // Everyone would see "?" in its place: ask for another name first.
    const QString unsendable = Cp932::unencodable(Text1->text());
    if (!unsendable.isEmpty()) {
        MessageBoxes::warn(this, MessageBoxes::kTitle,
                           QStringLiteral("名前に使えない文字があります：「%1」").arg(unsendable));
        return;
    }
    ConnectToServer();
}

form1::WaitOutcome form1::waitForConnection()
{
    using namespace std::chrono;
    const qint64 startTime = monotonicSeconds(WaitClock::now());
    // The first instant at which more than 2 whole seconds have passed.
    const WaitClock::time_point deadline{seconds(startTime + 3)};
    // Sleep until an event arrives or the deadline does; nothing polls.
    QTimer wakeAtDeadline;
    wakeAtDeadline.setSingleShot(true);
    wakeAtDeadline.setTimerType(Qt::PreciseTimer);
    // Anything may run inside the wait, even the deletion of this window.
    const QPointer<form1> alive(this);
    while (true) {
        if (!wakeAtDeadline.isActive()) {
            const auto left = ceil<milliseconds>(deadline - WaitClock::now());
            wakeAtDeadline.start(std::max(left, milliseconds(1)));
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!alive || m_closed)
            return WaitOutcome::WindowClosed;
        if (connected)
            return WaitOutcome::Connected;
        if (monotonicSeconds(WaitClock::now()) - startTime > 2)
            return WaitOutcome::TimedOut;
    }
}

void form1::ConnectToServer()
{
    // A press during a running scan (WSock_Error re-enables the button)
    // must not start a second scan inside the first one's wait.
    if (m_scanRunning)
        return;
    m_scanRunning = true;
    m_closed = false;
    // The waits below run the event loop: the window may be gone after them.
    const QPointer<form1> alive(this);
    const auto scanDone = qScopeGuard([this, alive] {
        if (alive)
            m_scanRunning = false;
    });

    QString failureText;
    auto trap = [&](const QString &description) {
        failureText = description;
        connectError = true;
    };

    // The records are read at once and the file closed before any wait:
    // Windows refuses to replace a file that is held open, and the
    // destination window may delete a record during the wait.
    QList<PCIPRecord> records;
    qint64 fileSize = 0;
    QString notice;
    {
        PcipFile file;
        if (!file.open()) {
            trap(file.errorString());
        } else {
            fileSize = file.size();
            notice = file.notice();
            if (!file.readAll(&records))
                trap(file.errorString());
        }
    }

    for (const PCIPRecord &record : std::as_const(records)) {
        if (record.Attempt != PCIPRecord::kAttempt)
            continue;

        WSock->close();
        WSock->setRemoteHost(DestinationInput::hostToConnect(record.trimmedAddress()));
        WSock->setRemotePort(m_remotePort);
        SB->setSimpleText(QStringLiteral("「Wisphub」") + record.trimmedName() + QStringLiteral("に接続中"));
        Command2->setEnabled(false);
        connectError = false;
        connected = false;

        QString requestError;
        if (!WSock->connectToRemote(&requestError))
            trap(requestError);
        const bool attemptOver = (!connectError) != (!connected);
        if (attemptOver)
            continue;

        const WaitOutcome outcome = waitForConnection();
        if (outcome == WaitOutcome::WindowClosed)
            return;
        if (outcome == WaitOutcome::Connected) {
            // Unless the connection was lost again in the same turn of the
            // event loop: the close has disabled the chat controls already.
            if (WSock->isConnected())
                Command1->setEnabled(true);
            break;
        }
    }

    if (fileSize == 0)
        MessageBoxes::warn(this, MessageBoxes::kTitle,
                           QStringLiteral("接続先の設定をしてから「接続/参加」ボタンを押してください"));
    if (!alive || m_closed)
        return;

    if (!connected) {
        Command2->setEnabled(true);
        SB->setSimpleText(failureText);
    }
    if (!notice.isEmpty())
        SB->setSimpleText(SB->simpleText() + QStringLiteral("（%1）").arg(notice));
    if (!connected && !connectError)
        MessageBoxes::warn(this, QStringLiteral("Wispleaf(接続できませんでした)"),
                           QStringLiteral("接続先の設定を確認してください"));
}

void form1::WSock_Connect()
{
    connected = true;
    Command2->setEnabled(false);
    Command3->setEnabled(true);
    Text2->setEnabled(true);
    Text2->setFocus(); // where the user types next
    SB->setSimpleText(kConnectedText);
    m_updates->joined(Text1->text());
    m_unseen.setEnding(QString());
    m_inChat = true;
    // A connection lost at once makes this fail; the close or error
    // notification that follows tells the user.
    WSock->sendData(ChatMessages::entryRequest(Text1->text(), WSock->localIP()));
}

void form1::WSock_Close()
{
    connectionLost(ConnectionEnding::words(ConnectionEnding::Meaning::ClosedByHub, QString()));
}

void form1::WSock_Error(const QString &description)
{
    connectionLost(description);
}

void form1::connectionLost(const QString &description)
{
    // Messages the server never acknowledged go back into the box, before
    // anything typed since, so the user can send them again.
    QStringList undelivered = WSock->takeUndelivered();
    if (undelivered.isEmpty()) {
        SB->setSimpleText(description);
    } else {
        if (!Text2->text().isEmpty())
            undelivered << Text2->text();
        Text2->setText(undelivered.join(u' '));
        SB->setSimpleText(description + QStringLiteral("。発言を送信文に戻しました"));
    }
    Command2->setEnabled(true);
    WSock->close();
    DisableChatControls();
    // Someone working elsewhere would think they are still in the chat.
    if (std::exchange(m_inChat, false) && !lookedAt())
        announce({}, SB->simpleText().trimmed());
}

void form1::Command3_Click()
{
    WSock->close();
    close();
}

void form1::f11_Click(int /*index*/)
{
    Command3_Click();
}

void form1::Command1_Click()
{
    sendStep();
}

void form1::Text2_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        sendStep();
}

void form1::sendStep()
{
    const QString text = Text2->text();
    // Peers would see "?" in its place: the text stays for the user to mend.
    const QString unsendable = Cp932::unencodable(text);
    if (!unsendable.isEmpty()) {
        SB->setSimpleText(QStringLiteral("「%1」は送信できない文字です").arg(unsendable));
        return;
    }
    const QString message = text.isEmpty() ? ChatMessages::refreshRequest(WSock->localIP())
                                           : ChatMessages::chatMessage(text, WSock->localIP());
    QString error;
    if (!WSock->sendData(message, &error, text)) {
        // Keep the typed text so nothing is lost; say why it did not go.
        SB->setSimpleText(QStringLiteral("送信できませんでした（%1）").arg(error));
        return;
    }
    if (!text.isEmpty()) {
        Text2->setText(QString());
        m_updates->sent(text);
    }
}

void form1::WSock_DataArrival(qint64 /*bytesTotal*/)
{
    // It may yet be cut short: shown where it adds, told when complete.
    m_updates->arriving(WSock->updateBytes());
}

void form1::WSock_UpdateComplete()
{
    tell(m_updates->complete(WSock->updateBytes(), lookedAt()));
}

void form1::WSock_UpdateFinal()
{
    tell(m_updates->final(WSock->updateBytes(), lookedAt()));
}

void form1::tell(const std::optional<NewMessages::News> &news)
{
    if (!news || (news->lines.isEmpty() && !news->takesBackLast))
        return;
    // New lines while the person works elsewhere: ask for attention, and
    // tell the desktop what they say.
    if (!news->lines.isEmpty())
        m_requestAttention(this);
    announce(*news);
}

void form1::announce(const NewMessages::News &news, const QString &ending)
{
    if (!m_notifier)
        return;
    if (news.takesBackLast)
        m_unseen.takeBackLast();
    m_unseen.add(news.lines);
    if (!ending.isEmpty())
        m_unseen.setEnding(ending);
    if (m_unseen.isEmpty())
        m_notifier->withdraw(); // the one line told was the person's own after all
    else
        m_notifier->notify(QStringLiteral("Wispleaf"), m_unseen.body(m_notifier->longestBody()));
    m_unreadCount->set(int(m_unseen.count()));
}

void form1::set11_Click(int /*index*/)
{
    // A child of the main window: centred on it and grouped with it by the
    // desktop, still a window of its own.
    if (!m_form2)
        m_form2 = new Form2(this);
    m_form2->showModally();
}

void form1::h11_Click(int index)
{
    if (index == 0) {
        frmAbout::showModal();
    } else if (index == 1) {
        m_openHelp(this, helpFilePath());
    }
}
