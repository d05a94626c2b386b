#pragma once

// form1 is the main window: the name and message rows, the two display
// fields, the connect/leave buttons and the status bar. The wire format
// lives in ChatSocket/ChatMessages, the destination list in PcipFile, and
// the placement of the controls in MainLayout; this class wires them up.

#include "conversationupdates.h"
#include "helpopener.h"
#include "links.h"
#include "newmessages.h"
#include "updatereader.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class ChatSocket;
class DesktopNotifier;
class DisplayField;
class FindBar;
class LinkLayer;
class Form2;
class QAction;
class QLabel;
class QLineEdit;
class QPoint;
class QPushButton;
class SimpleStatusBar;
class UnreadCount;

class form1 final : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr quint16 kRemotePort = 5000;

    // Tests pass another port so they can run their own server.
    explicit form1(quint16 remotePort = kRemotePort, QWidget *parent = nullptr);
    ~form1() override;
    Q_DISABLE_COPY_MOVE(form1)

    // Replaces the help opener (tests record what would be opened).
    void setHelpOpener(HelpOpener opener) { m_openHelp = std::move(opener); }

    // How the window asks for the user's attention when the conversation
    // changes while it is not active (the task-bar entry flashes on
    // Windows, the urgency hint on X11). Tests record the requests.
    using AttentionRequest = std::function<void(QWidget *window)>;
    void setAttentionRequest(AttentionRequest request) { m_requestAttention = std::move(request); }

    // Where a copy of a field's text is saved: asks the user, starting from
    // the suggested path; empty to cancel. Tests answer it themselves.
    using SavePathChooser = std::function<QString(QWidget *parent, const QString &suggested)>;
    void setSavePathChooser(SavePathChooser chooser) { m_chooseSavePath = std::move(chooser); }

    // New lines while Wispleaf is not looked at also reach the desktop as
    // a notification and an unread count (on unless the user says no; the
    // desktop hears nothing of Wispleaf before its window is shown).
    void setNotificationsEnabled(bool enabled);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createMenus();

    // Event procedures.
    void Form_Load();
    void Form_Resize();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Text2_KeyPress(int keyAscii);
    void f11_Click(int index);
    void set11_Click(int index);
    void h11_Click(int index);
    void WSock_Connect();
    void WSock_DataArrival(qint64 bytesTotal);
    void WSock_UpdateComplete();
    void WSock_UpdateFinal();
    void WSock_Close();
    void WSock_Error(const QString &description);

    // Helpers.
    void ConnectToServer();
    void DisableChatControls();
    void connectionLost(const QString &description);
    void sendStep();
    enum class WaitOutcome { Connected, TimedOut, WindowClosed };
    WaitOutcome waitForConnection();
    void showDesktopNotifier(bool shown);
    // The person looks at Wispleaf: this window or one of its dialogs is active.
    bool lookedAt() const;
    void seen();
    void tell(const std::optional<NewMessages::News> &news);
    void announce(const NewMessages::News &news, const QString &ending = QString());
    void showWindow();
    void showFieldMenu(DisplayField *field, const QPoint &at);
    void openFind();
    void saveCopy(DisplayField *field);
    void openLink(const Links::Link &link);

    QWidget *m_client = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    DisplayField *Text3 = nullptr;
    DisplayField *Text4 = nullptr;
    FindBar *m_findBar = nullptr;
    LinkLayer *m_links = nullptr;
    QStringList m_sharesAllowed; // hosts the user let see their sign-in, this run
    SimpleStatusBar *SB = nullptr;
    ChatSocket *WSock = nullptr;
    Form2 *m_form2 = nullptr; // made at the first opening, owned as a child
    HelpOpener m_openHelp;
    AttentionRequest m_requestAttention;
    SavePathChooser m_chooseSavePath;
    bool m_notificationsEnabled = true;
    DesktopNotifier *m_notifier = nullptr;      // none when switched off
    std::unique_ptr<UnreadCount> m_unreadCount; // the same

    std::unique_ptr<ConversationUpdates> m_updates; // what Text4 and Text3 show
    NewMessages::Unseen m_unseen; // announced since Wispleaf was last looked at
    bool m_inChat = false;        // joined, and not yet told of the end
    int m_ownDialogs = 0;         // dialogs of Wispleaf's open, native ones too

    // Connection flags: they keep their values across calls of
    // ConnectToServer until its next connect request clears them.
    bool connectError = false;
    bool connected = false;

    quint16 m_remotePort;
    bool m_scanRunning = false;
    bool m_closed = false; // by the user, while a scan may be waiting
};
