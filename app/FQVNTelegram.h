// TFRMQVNTelegram: the program's one main window.
//
// It owns the Telegram client qvnTelegram (created inactive with the window, destroyed with it)
// and drives it: Start checks the login entries, copies them into the client's options and
// activates it, Stop deactivates it; the client's events fill the log, the status bar and the
// title, and answer the login prompts. Every event text also goes to the window's chat model
// (qvnChatModel.h), which keeps users, chats and the conversations shown: the chat list holds
// "All chats" (the stream of every new message, memoMessages) and the chats in TDLib's order with
// their unread counts; selecting a chat shows its conversation, loaded page by page and marked
// read. The bottom bar sends text and files (chosen, pasted or dropped) to the current chat (in
// "All chats" to one the user picks), shown as pending until TDLib reports them sent or failed (a
// click sends a failed one again); a click on a file downloads it and opens it with the desktop's
// program. A message's context menu and shortcuts reply to, edit, forward, copy and delete it;
// each chat's unsent text is kept as its TDLib draft. The main menu issues the chat, member and
// proxy requests. New messages the user is not looking at become desktop notifications
// (qvnNotifier.h; "Notifications" in the menu), activating one opens its chat, and the title
// counts the unread messages of the unmuted chats. The login entries live in an INI file
// (section "TELEGRAM", qvnLoginSettings), with the chat list's width, whether the account was
// logged in and the notification setting, read when the window is created and written each time
// it closes; what went wrong reading it shows in the log and the status bar.
//
// Everything runs on the GUI thread. The client's events arrive there too: its ticks are queued to
// the main thread, and the window's TqvnMainThreadPump runs them from Qt's event loop, also while
// a modal prompt is open. Every prompt, file choice and error display goes through the IqvnDialogs
// the window is given; an exception that leaves a window handler is shown in its error box and
// the window goes on. Controls carry their design names as objectName ("txtApiId", "GetChats1").
#ifndef QVN_APP_FQVNTELEGRAM_H
#define QVN_APP_FQVNTELEGRAM_H

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <QTemporaryDir>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/qvnChatModel.h"
#include "app/qvnDialogs.h"
#include "app/qvnNotifier.h"
#include "app/qvnUnreadTotal.h"
#include "client/qvnLibs.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace qvn {

class TqvnChatHeader;
class TqvnChatRow;
class TqvnComposer;
class TqvnConversationModel;
class TqvnConversationView;
class TqvnLineView;
class TqvnMainThreadPump;
class TqvnProxyManager;

class TFRMQVNTelegram : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window, wires the client and loads the settings from aSettingsPath (FormCreate).
  // aDialogs must outlive the window.
  TFRMQVNTelegram(IqvnDialogs& aDialogs, std::string aSettingsPath, QWidget* aParent = nullptr);
  // Destroys the client first (no event fires afterwards), then the controls.
  ~TFRMQVNTelegram() override;

  TqvnTDLib_Telegram& QvnTelegram() { return *FTelegram; }
  // The current chat id (empty until chosen), for inspection.
  const std::string& ChatId() const { return FChatId; }
  // What the window knows of the account, for inspection.
  const TqvnChatModel& Model() const { return FModel; }
  // The text of status bar panel 0, 1 or 2.
  QString StatusPanelText(int aIndex) const;
  // Opens the proxy manager with the add form prefilled from a tg://proxy, tg://socks or t.me
  // proxy link (a link refused says why there), for the user to confirm. For links handed to
  // the program, as on its command line.
  void OpenProxyLink(const std::string& aLink);

  // ---- The desktop (FQVNTelegram_Desktop.cpp) ----
  // Where notifications of new messages go (null: nowhere); aSink must outlive the window or be
  // replaced first.
  void SetNotificationSink(IqvnNotificationSink* aSink);
  // What a start of the program was given on its command line (this one's, or a later start's
  // handed over): the window comes to the front and shows it in the status bar.
  void CommandLineReceived(const QStringList& aArguments);

  // What can be done with a message of the conversation shown (FQVNTelegram_Actions.cpp).
  enum class TMessageAction { reply, edit, forward, copy, deleteForMe, deleteForAll };

 protected:
  // Saves the settings; when that fails the user chooses between "Close without saving" and
  // keeping the window open.
  void closeEvent(QCloseEvent* aEvent) override;

 private:
  // ---- Layout and menu (FQVNTelegram_Layout.cpp) ----
  void BuildControls();
  void BuildMenu();
  void ConnectControls();
  // Tab and Shift+Tab move through TabOrder's controls, skipping those hidden or disabled. (Qt's
  // focus chain, rearranged with setTabOrder around views that hold focusable children, splits
  // into separate loops in Qt 6.4: the chat list never reached the message box.)
  std::vector<QWidget*> TabOrder() const;
  bool focusNextPrevChild(bool aNext) override;
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
  // Appends aText as a new last line of aMemo; during a run of the client's ticks the lines are
  // gathered and shown together when the run ends (HoldLines, ShowLines). A long text shows its
  // beginning; a double click on it puts the whole text on the clipboard (CopyFullLine).
  void AppendLine(TqvnLineView* aMemo, std::string aText);
  void HoldLines();
  // Shows the lines gathered so far; ends one HoldLines when aRelease.
  void ShowLines(bool aRelease = false);
  void CopyFullLine(TqvnLineView* aMemo, QPoint aPosition);
  void DoStatus(const std::string& aText);
  // The title: the program, and while active the account and the connection state in words.
  void UpdateTitle();
  // Start is enabled only while the client is inactive, Stop only while it is active.
  void UpdateButtons();
  void RequestChatList();
  void qvnTelegramBeforeReadEvent(const std::string& aText, bool& aHandled);
  void qvnTelegramConnectionStatus(const std::string& aStatus);
  void qvnTelegramAuthorizationStatus(const std::string& aStatus);
  void qvnTelegramAuthenticationCode(std::string& aCode);
  void qvnTelegramAuthenticationPassword(std::string& aPassword);
  void qvnTelegramAuthenticationError(const std::string& aState, int32_t aCode,
                                      const std::string& aMessage);
  void qvnTelegramException(const std::exception& e);

  // ---- Chat list, current chat and sending (FQVNTelegram_Chats.cpp) ----
  void listChatsClick();
  // Drafts: leaving a chat keeps the box's text as the chat's draft in TDLib (or removes the
  // draft when the box is empty); showing a chat puts its draft into the box; a draft changed
  // on another device replaces the one shown unless the user has typed since.
  void KeepDraft();
  // Sets aChatId's draft in TDLib (an empty aText removes it); a refusal goes to the log.
  void SetDraft(int64_t aChatId, const std::string& aText);
  void RestoreDraft();
  void DraftChanged();
  // Shows how the text in the box will be formatted, while it has formatting.
  void UpdatePreview();
  void btnSendMessageClick();
  void btnSendFileClick();
  // Sends aText (the box's markup) to aChatId, as the reply under way when it is to that chat,
  // and empties the box. A text longer than TDLib's message_text_length_max goes as consecutive
  // messages (SplitRichText), the first one the reply.
  void SendText(int64_t aChatId, const std::string& aText);
  // One message of aText with TDLib's recognised ranges aKeep; aReplyTo 0 for none.
  void SendTextPart(int64_t aChatId, const std::string& aText,
                    const std::vector<TqvnTextRange>& aKeep, int64_t aReplyTo);
  // Files pasted or dropped: each to the chat to send to, pictures as photos, the others as
  // documents; the box's text is the last file's caption, or, longer than a caption may be,
  // follows them as a message.
  void SendFiles(const QStringList& aPaths);
  // A pasted image, saved as PNG in a folder only the user can read (kept while the window
  // lives, so TDLib can upload it), then sent as a photo.
  void SendPastedImage(const QImage& aImage);
  // One file: a picture TDLib shows as a photo when aAsPhoto, else a document; with the
  // marked-up caption aCaption unless it is empty.
  void SendFile(int64_t aChatId, const std::string& aPath, bool aAsPhoto,
                const std::string& aCaption = {});
  // The chat a message goes to: the conversation shown, or in "All chats" the one the user picks
  // from the chats loaded (nothing, said in the status bar, when they pick none).
  std::optional<int64_t> ChatToSendTo();
  // The chats loaded, in the list's order, for the chat picker.
  std::vector<TqvnChatChoice> ChatChoices() const;
  // The chat id the menu's GetChat asks about: the current chat, else one typed by the user.
  std::string GetChatId();
  // Forgets the account: the chat rows (but "All chats"), the model, the conversation shown and
  // what the requests waiting for answers were for.
  void ClearChatList();
  // Shows every chat the model knows again, in order.
  void RebuildChatRows();
  // Brings the rows of the chats changed since the last call up to date, and their order.
  void RefreshChatRows();
  // Asks TDLib for more chats of the main list, unless it has none left or is loading some.
  void LoadMoreChats();
  // Shows aRow's chat photo: the downloaded file, meanwhile its minithumbnail, else none (the
  // initials); a photo not downloaded yet waits in FPhotoChats.
  void ShowRowPhoto(TqvnChatRow& aRow, const TqvnChat& aChat);
  // Asks TDLib, at a low priority, for the photos of the rows in view not downloaded yet.
  void RequestShownPhotos();
  // A photo of FPhotoChats downloaded: its row, and the header, show it.
  void PhotoFileChanged(int32_t aFileId);
  // The header above the conversation: the chat shown, or "All chats".
  void UpdateChatHeader();
  // Follows what aChange changed in the rows and the header beyond the chat itself: a user
  // (the photo and status of their private chat), what people are doing in the chat shown, and
  // the download of a row's photo.
  void ChatFactsChanged(const TqvnModelChange& aChange);
  // The rows' times and the header's status, which go stale as time passes.
  void RefreshClock();
  // The chat list's width in the splitter beside the conversation.
  int ChatListWidth() const;
  void SetChatListWidth(int aWidth);
  // True when a message can go out now; otherwise tells the user why not (their text stays).
  bool ReadyToSend();
  // Sends a message through aSend (one of the client's message requests, given the answer
  // handler) for the local echo aEcho; aSend is kept to send it again after a refusal.
  using TSendMessage = std::function<void(const TqvnTelegramOnAnswer& aOnAnswer)>;
  void SendMessageRequest(TSendMessage aSend, TqvnMessage aEcho);
  // Sends the message the local echo aLocalKey of aChatId stands for, first or again.
  void SendLocalEcho(const std::string& aLocalKey, int64_t aChatId);

  // ---- Events, conversations and files (FQVNTelegram_Conversation.cpp) ----
  // Feeds one event, as the engine read it (aText its text), to the model and redraws what it
  // changed. An event the model cannot read is logged and left alone, so the engine's own
  // handling of it goes on.
  void ApplyEvent(const TqvnJSON& aEvent, const std::string& aText);
  // An error that follows no request of the window's: a login step's, or a menu command's.
  void ReportError(const TqvnError& aError);
  // The event texts reach ApplyEvent before the answer handler of the request they answer (if
  // any) runs. An "error" among them waits here: the handler of the window's request it answers
  // claims it, otherwise it is reported (ReportError) when the next text comes, when a login
  // step is rejected, when the run of events ends, or when the error box is about to show.
  void ReportUnclaimedError();
  // Shows aMessage in the error box once the current run of events is over (one box for all).
  void ReportLater(const std::string& aMessage);
  // The answer handler of a request of the window's: it claims the answer from the events and
  // calls aHandle with it. Answers that only say the client was stopped or destroyed are
  // dropped: the window forgot what their requests were for.
  TqvnTelegramOnAnswer Answered(std::function<void(const TqvnTelegramAnswer& aAnswer)> aHandle);
  // One handler per kind of answer.
  void ChatsLoaded(const TqvnTelegramAnswer& aAnswer);
  void HistoryLoaded(int64_t aChatId, const TqvnTelegramAnswer& aAnswer);
  void MessageSent(const std::string& aLocalKey, int64_t aChatId,
                   const TqvnTelegramAnswer& aAnswer);
  void MessageResent(int64_t aChatId, int64_t aMessageId, const TqvnTelegramAnswer& aAnswer);
  void FileDownloading(int32_t aFileId, const TqvnTelegramAnswer& aAnswer);
  // openChat, closeChat and viewMessages: only a refusal is worth a line in the log.
  void ChatStateAnswered(const TqvnTelegramAnswer& aAnswer);
  // True while requests about chats and messages make sense: active and logged in.
  bool LoggedIn() const;
  // Shows the conversation of aChatId (0: the stream of every chat), opening it in TDLib.
  void ShowConversation(int64_t aChatId);
  void RequestOlderMessages();
  void ViewMessages(int64_t aChatId, const std::vector<TqvnMessage>& aMessages);
  // Draws the views the last events changed: the chat rows.
  void FlushViews();
  // Brings the conversation's rows in line with the chat model after a change of the window's;
  // aToBottom scrolls to the newest message.
  void RenderConversation(bool aToBottom);
  void ConversationClick(int64_t aMessageId, const std::string& aLocalKey);
  // A link of a message: an address is opened in the browser once the user agrees, an e-mail
  // address in the mail program; a mention opens its chat; a hashtag finds the previous message
  // with it; a bot command goes into the box.
  void LinkClick(const std::string& aType, const std::string& aValue, int64_t aUserId);
  // Shows aChatId in the chat list and its conversation.
  void OpenChatOf(int64_t aChatId);
  // Scrolls to the message aMessageId of the conversation shown, loading older pages until it
  // is there (or the history ends).
  void ShowMessage(int64_t aMessageId);
  void FindHashtag(const std::string& aHashtag);
  // A picture in view is downloaded, with a low priority.
  void DownloadPicture(int32_t aFileId);
  void SendAgain(const TqvnMessage& aMessage);
  void OpenOrDownload(const TqvnMessage& aMessage);
  // Opens a downloaded file with the desktop's program; false when that failed.
  bool OpenDownloaded(const TqvnFile& aFile);

  // ---- Acting on messages (FQVNTelegram_Actions.cpp) ----
  // The reply or edit under way, shown above the message box.
  struct TComposing {
    enum TKind { none, reply, edit };
    TKind Kind = none;
    int64_t ChatId = 0;
    int64_t MessageId = 0;
    QString TextBefore;  // the box's text when an edit began, back when it is cancelled
  };
  // The keyboard's ways to act on the current row, listed in the context menu too.
  void AddMessageShortcuts();
  const TqvnMessage* MessageOfRow(const QModelIndex& aRow) const;
  // Calls aThen with the message once TDLib has said what may be done with it (asked once).
  void WithRights(const TqvnMessage& aMessage, std::function<void(const TqvnMessage&)> aThen);
  bool Allowed(const TqvnMessage& aMessage, TMessageAction aAction) const;
  void ConversationMenuRequested(QPoint aPosition);
  void ShowMessageMenu(const TqvnMessage& aMessage, QPoint aGlobalPosition);
  void ActOnCurrentMessage(TMessageAction aAction);
  void Act(const TqvnMessage& aMessage, TMessageAction aAction);
  void StartComposing(TComposing::TKind aKind, const TqvnMessage& aMessage);
  // Escape: drops the reply, or the edit with the box's text from before it.
  void CancelComposing();
  void FinishComposing();
  // Up in an empty box: the last message of the account's that TDLib allows to edit.
  void EditLastMessage();
  void SendEdit(const std::string& aText);
  void DeleteMessage(const TqvnMessage& aMessage, bool aForAll);
  void ForwardMessage(const TqvnMessage& aMessage);
  // TDLib's reason for refusing a request, in words: "<message> (error <code>)".
  static std::string RefusalText(const TqvnTelegramAnswer& aAnswer);

  // ---- Notifications, the unread count and coming to the front (FQVNTelegram_Desktop.cpp) ----
  // Follows one event's change: the unread total of the title, and a notification of a new
  // message the user is not looking at (the window marks itself urgent while inactive).
  void NoteForDesktop(const TqvnModelChange& aChange);
  void NotifyNewMessage(const TqvnMessage& aMessage);
  // A notification was activated: the window comes to the front showing aChatId (0: every chat).
  void OpenNotifiedChat(int64_t aChatId);
  void BringToFront();
  // Section "NOTIFICATIONS", key "Enabled" ("1" or "0") of the settings file.

  // ---- Menu commands (FQVNTelegram_Menus.cpp) ----
  void Logout1Click();
  void Notifications1Click();
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
  void ProxyManager1Click();
  // The proxy manager, created the first time, shown and raised, its list asked for again.
  TqvnProxyManager& ShowProxyManager();
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
  std::unique_ptr<TqvnMainThreadPump> FPump;
  std::string FChatId;

  // The account, as the event texts tell it.
  TqvnChatModel FModel;
  // An "error" text not claimed yet by an answer handler (ReportUnclaimedError).
  struct TUnclaimedError {
    std::string Text;
    TqvnError Error;
  };
  std::optional<TUnclaimedError> FUnclaimedError;
  std::string FAuthorizationState;  // the last one TDLib reported
  std::string FConnectionState;
  bool FStarting = false;           // Start is activating the client
  std::string FStartError;          // what went wrong meanwhile
  // Rows of the chat list by chat id, and the chats whose rows are out of date.
  std::map<int64_t, TqvnChatRow*> FChatRows;
  std::set<int64_t> FChangedChats;
  bool FChatsLoading = false;   // a loadChats request is on its way
  bool FChatsComplete = false;  // TDLib has no more chats to load
  // Chat photos not downloaded yet, by file id, and those asked of TDLib.
  std::map<int32_t, int64_t> FPhotoChats;
  std::set<int32_t> FRequestedPhotos;
  int64_t FShownChat = 0;       // the conversation shown; 0 for the stream of every chat
  int64_t FOpenChat = 0;        // the chat open in TDLib
  // The message the user wants to see once older pages bring it (ShowMessage); 0 for none.
  int64_t FSoughtMessage = 0;
  int FSoughtPages = 0;
  // Message sends by local key, kept to send again after TDLib refused the request.
  std::map<std::string, TSendMessage> FMessageSends;
  uint64_t FLocalKeys = 0;
  std::set<int32_t> FOpenWhenDownloaded;
  std::vector<std::string> FNotices;  // errors to show when the current run is over
  TComposing FComposing;
  std::string FRestoredDraft;  // the shown chat's draft as put into the box
  std::unique_ptr<QTemporaryDir> FPastedImages;  // created at the first paste
  int FPastedCount = 0;
  QPointer<QMenu> FMessageMenu;  // the last context menu of a message
  TqvnNotifier FNotifier;
  TqvnUnreadTotal FUnreadTotal;  // of the chats in the main list, for the title
  TqvnProxyManager* FProxyManager = nullptr;  // created when first shown; a child of the window

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
  QSplitter* FSplitMessages = nullptr;  // the chat list beside the conversation
  QListWidget* listChats = nullptr;
  TqvnChatRow* FAllChatsRow = nullptr;
  TqvnChatHeader* FChatHeader = nullptr;
  QTimer* FClockTimer = nullptr;  // RefreshClock
  QStackedWidget* FStackMessages = nullptr;
  TqvnLineView* memoMessages = nullptr;
  TqvnConversationView* listConversation = nullptr;
  TqvnConversationModel* FConversationModel = nullptr;
  QWidget* tabLog = nullptr;
  TqvnLineView* memoLog = nullptr;
  QFrame* pnlMessage = nullptr;
  QPushButton* btnSendFile = nullptr;
  QFrame* pnlContext = nullptr;  // above the box: the message replied to or edited
  QLabel* lblContext = nullptr;
  QPushButton* btnCancelContext = nullptr;
  QLabel* lblPreview = nullptr;  // how the text will be formatted
  TqvnComposer* txtMessage = nullptr;
  QPushButton* btnSendMessage = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* FStatusPanels[3] = {nullptr, nullptr, nullptr};
  QMenuBar* MainMenu1 = nullptr;
  QAction* Notifications1 = nullptr;
};

}  // namespace qvn

#endif  // QVN_APP_FQVNTELEGRAM_H
