// TFRMQVNTelegram: the program's one main window.
//
// It owns the Telegram client qvnTelegram (created inactive with the window, destroyed with it)
// and drives it: Start copies the login entries into the client's options and activates it, Stop
// deactivates it; the client's events fill the log, the status bar, the chat list and the message
// view, and answer the login prompts. The bottom bar sends text and files to the current chat; the
// main menu issues the chat, member and proxy requests. The login entries live in an INI file
// (section "TELEGRAM", qvnLoginSettings), read when the window is created and written each time
// it closes; what went wrong reading it shows in the log and the status bar.
//
// Everything runs on the GUI thread. The client's events arrive there too: its ticks are queued to
// the main thread, and the window's TqvnMainThreadPump runs them from Qt's event loop, also while
// a modal prompt is open. Every prompt, file choice and error display goes through the IqvnDialogs
// the window is given; an exception that leaves a window handler is shown in its error box and
// the window goes on. Controls carry their design names as objectName ("txtApiId", "GetChats1").
#ifndef QVN_APP_FQVNTELEGRAM_H
#define QVN_APP_FQVNTELEGRAM_H

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/qvnDialogs.h"
#include "app/qvnLineBatch.h"
#include "client/qvnLibs.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace qvn {

class TqvnMainThreadPump;

class TFRMQVNTelegram : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window, wires the client and loads the settings from aSettingsPath (FormCreate).
  // aDialogs must outlive the window.
  TFRMQVNTelegram(IqvnDialogs& aDialogs, std::string aSettingsPath, QWidget* aParent = nullptr);
  // Destroys the client first (no event fires afterwards), then the controls (FormDestroy).
  ~TFRMQVNTelegram() override;

  TqvnTDLib_Telegram& qvnTelegram() { return *FTelegram; }
  // The current chat id (empty until chosen) and the chat map ("title=id" per chat, in arrival
  // order), for inspection.
  const std::string& ChatId() const { return FChatId; }
  const std::vector<std::string>& ChatMap() const { return FChats; }
  // The text of status bar panel 0, 1 or 2.
  QString StatusPanelText(int aIndex) const;

 protected:
  // FormClose: saves the settings; a failed save shows the error and keeps the window open.
  void closeEvent(QCloseEvent* aEvent) override;

 private:
  // ---- Layout and menu (FQVNTelegram_Layout.cpp) ----
  void BuildControls();
  void BuildMenu();
  void ConnectControls();
  void SetTabOrder();
  QAction* AddCommand(QMenu* aMenu, const char* aName, const char* aCaption,
                      void (TFRMQVNTelegram::*aHandler)());
  QMenu* AddSubmenu(QMenu* aParent, const char* aName, const char* aCaption);
  void AddSeparator(QMenu* aMenu, const char* aName);
  // Runs a handler of the window: an exception that leaves it goes to the error box.
  void Guarded(void (TFRMQVNTelegram::*aHandler)());
  bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

  // ---- Settings, Start/Stop, log, status and login (FQVNTelegram.cpp) ----
  void WireClient();
  void FormCreate();
  void LoadSettings();
  void SaveSettings();
  void btnStartClick();
  void btnStopClick();
  void chkLoginBotClick();
  // The log line and the status panels show texts with their secrets masked (MaskSecrets) and
  // bounded in length.
  void DoLog(const std::string& aText);
  // Appends aText as a new last line of aMemo and scrolls it into view; during a run of the
  // client's ticks the lines are gathered and shown together when the run ends (FLines). A long
  // text shows its beginning; a double click on it puts the whole text on the clipboard
  // (CopyFullLine).
  void AppendLine(QPlainTextEdit* aMemo, std::string aText);
  void CopyFullLine(QPlainTextEdit* aMemo, QPoint aPosition);
  void DoStatus(const std::string& aText);
  void RequestChatList();
  void qvnTelegramBeforeReadEvent(const std::string& Text, bool& Handled);
  void qvnTelegramConnectionStatus(const std::string& Status);
  void qvnTelegramAuthorizationStatus(const std::string& Status);
  void qvnTelegramAuthenticationCode(std::string& Code);
  void qvnTelegramAuthenticationPassword(std::string& Password);
  void qvnTelegramAuthenticationError(const std::string& State, int32_t Code,
                                      const std::string& Message);
  void qvnTelegramException(const std::exception& E);

  // ---- Chat list, message view and sending (FQVNTelegram_Chats.cpp) ----
  void qvnTelegramNewChat(TqvnTelegramChat& Chat);
  void qvnTelegramMessageText(TqvnTelegramMessageText& MessageText);
  void qvnTelegramMessageDocument(TqvnTelegramMessageDocument& MessageDocument);
  void qvnTelegramMessagePhoto(TqvnTelegramMessagePhoto& MessagePhoto);
  void qvnTelegramMessageVideo(TqvnTelegramMessageVideo& MessageVideo);
  void listChatsClick();
  void txtMessageKeyPress(char& Key);
  void btnSendMessageClick();
  void btnSendFileClick();
  void AddMessageLine(const std::string& aSender, const std::string& aBody);
  std::string GetChatId();
  std::vector<std::string>& GetChatList();
  void ClearChatList();

  // ---- Menu commands (FQVNTelegram_Menus.cpp) ----
  void Logout1Click();
  void Exit1Click();
  void PrivateChatCreate1Click();
  void SecretChatCreate1Click();
  void SuperGroupsCreate1Click();
  void SuperGroupDelete1Click();
  void GetMembers1Click();
  void BasicGroupsCreate1Click();
  void AddChatMember1Click();
  void JoinChatByInviteLink1Click();
  void GetChat1Click();
  void GetChats1Click();
  void GetProxies1Click();
  void HTTP1Click();
  void MTProto1Click();
  void Socks51Click();
  void Remove1Click();
  void Enable1Click();
  void Disable1Click();
  // An input box whose text must be a number; raises EConvertError otherwise.
  int32_t InputNumber(const std::string& aCaption, const std::string& aPrompt,
                      const std::string& aDefault);
  // The same for a user or supergroup id, which may pass 2^31.
  int64_t InputId(const std::string& aCaption, const std::string& aPrompt,
                  const std::string& aDefault);

  IqvnDialogs& FDialogs;
  const std::string FSettingsPath;
  // False when the settings file was there but not read: closing then leaves it as it is.
  bool FSaveSettings = true;
  std::unique_ptr<TqvnTDLib_Telegram> FTelegram;
  // Holds the log and message lines while the pump runs the client's ticks.
  TqvnLineBatch FLines;
  std::unique_ptr<TqvnMainThreadPump> FPump;
  std::string FChatId;
  std::vector<std::string> FChats;

  // Controls, owned by their Qt parents.
  QFrame* pnlConfiguration = nullptr;
  QPushButton* btnStart = nullptr;
  QPushButton* btnStop = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* txtApiId = nullptr;
  QLineEdit* txtApiHash = nullptr;
  QLineEdit* txtPhoneNumber = nullptr;
  QLineEdit* txtBotToken = nullptr;
  QCheckBox* chkLoginBot = nullptr;
  QFrame* pnlBody = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* tabMessages = nullptr;
  QListWidget* listChats = nullptr;
  QPlainTextEdit* memoMessages = nullptr;
  QWidget* tabLog = nullptr;
  QPlainTextEdit* memoLog = nullptr;
  QFrame* pnlMessage = nullptr;
  QPushButton* btnSendFile = nullptr;
  QLineEdit* txtMessage = nullptr;
  QPushButton* btnSendMessage = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* FStatusPanels[3] = {nullptr, nullptr, nullptr};
  QMenuBar* MainMenu1 = nullptr;
};

}  // namespace qvn

#endif  // QVN_APP_FQVNTELEGRAM_H
