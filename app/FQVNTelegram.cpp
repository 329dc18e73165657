// The main window's life, its settings file, Start and Stop, the log, status panels and title,
// and its answers to the client's login and status events.
#include "app/FQVNTelegram.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <stdexcept>

#include "app/qvnDisplayText.h"
#include "app/qvnErrorText.h"
#include "app/qvnIntegerText.h"
#include "app/qvnLineView.h"
#include "app/qvnLoginSettings.h"
#include "app/qvnMessageText.h"
#include "app/qvnSecretMask.h"
#include "app/qvnStatusText.h"
#include "app/qvnSystemInfo.h"
#include "qt/qvnMainThreadPump.h"

namespace qvn {

namespace {

const char kCaption[] = "Velune Telegram Client";

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
std::string S(const QString& s) {
  return s.toStdString();
}

// The GetChats arguments the window always uses: from the top of the list, at most 50 chats.
constexpr int32_t kChatsOffsetOrder = 2147483647;
constexpr int32_t kChatsOffsetChatId = 0;
constexpr int32_t kChatsLimit = 50;

// A status panel shows one line of about a hundred characters; more is never laid out.
constexpr size_t kStatusPanelBytes = 512;
const char kNotAnswered[] = "Login waits for an answer: press Stop and Start to log in again.";

}  // namespace

TFRMQVNTelegram::TFRMQVNTelegram(IqvnDialogs& aDialogs, std::string aSettingsPath, QWidget* aParent)
    : QMainWindow(aParent),
      FDialogs(aDialogs),
      FSettingsPath(std::move(aSettingsPath)),
      FTelegram(std::make_unique<TqvnTDLib_Telegram>(nullptr)),
      FPump(std::make_unique<TqvnMainThreadPump>(
          [&aDialogs](const std::string& aMessage) { aDialogs.ShowError(aMessage); },
          [this] { HoldLines(); },
          [this] {
            FlushViews();
            ShowLines(/*aRelease=*/true);
          })) {
  BuildControls();
  BuildMenu();
  ConnectControls();
  WireClient();

  // Client area 654 x 613 at 96 dpi, centred on the screen.
  resize(654, 613 + MainMenu1->sizeHint().height());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  FormCreate();
}

TFRMQVNTelegram::~TFRMQVNTelegram() {
  // The client goes first: its destruction fires no event, and no queued tick of it runs later.
  FTelegram.reset();
}

QString TFRMQVNTelegram::StatusPanelText(int aIndex) const {
  return FStatusPanels[aIndex]->text();
}

void TFRMQVNTelegram::WireClient() {
  TqvnTelegram_Options& options = FTelegram->Telegram();
  options.Parameters().SetApplicationVersion("1.0");
  // Telegram lists these in the account's active sessions.
  options.Parameters().SetDeviceModel(DeviceModelText());
  options.Parameters().SetLanguageCode("en");
  options.Parameters().SetSystemVersion(SystemVersionText());
  options.SetErrorsLevel(tvbErrors);

  TqvnTDLib_Telegram& t = *FTelegram;
  // Each event the moment TDLib has it. A delivery takes at most 600 waiting texts within the
  // client's time budget (10 ms); its log and message lines show together when it ends (HoldLines).
  t.SetEventsPerTick(600);
  t.SetWaitForEvents(true);
  // Every event text reaches the log here, before the engine reads it, and the chat model with
  // the document the engine read it into, before the engine's own events of that text; the
  // model reads users, chats, messages, files and answers itself, so the engine's message and
  // chat records are not needed.
  t.OnBeforeReadEvent = [this](auto*, const std::string& aText, bool& aHandled) {
    qvnTelegramBeforeReadEvent(aText, aHandled);
  };
  t.OnEventDocument = [this](auto*, const TqvnJSON& aEvent, const std::string& aText) {
    ApplyEvent(aEvent, aText);
  };
  t.OnConnectionStatus = [this](auto*, const std::string& aStatus) {
    qvnTelegramConnectionStatus(aStatus);
  };
  t.OnAuthorizationStatus = [this](auto*, const std::string& aStatus) {
    qvnTelegramAuthorizationStatus(aStatus);
  };
  t.OnAuthenticationCode = [this](auto*, std::string& aCode) {
    qvnTelegramAuthenticationCode(aCode);
  };
  t.OnAuthenticationPassword = [this](auto*, std::string& aPassword) {
    qvnTelegramAuthenticationPassword(aPassword);
  };
  t.OnAuthenticationError = [this](auto*, const std::string& aState, int32_t aCode,
                                   const std::string& aMessage) {
    qvnTelegramAuthenticationError(aState, aCode, aMessage);
  };
  t.OnException = [this](auto*, const std::exception& e) { qvnTelegramException(e); };
}

// ---- Window life and settings ----

void TFRMQVNTelegram::FormCreate() {
  Guarded(&TFRMQVNTelegram::LoadSettings);  // nothing escapes the constructor
  UpdateButtons();
  UpdateTitle();
}

void TFRMQVNTelegram::closeEvent(QCloseEvent* aEvent) {
  std::string failure;
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  // Settings that cannot be saved never keep the user from closing: they choose.
  if (failure.empty() || FDialogs.ConfirmCloseWithoutSaving(failure)) {
    aEvent->accept();
  } else {
    DoLog(failure);
    aEvent->ignore();
  }
}

void TFRMQVNTelegram::LoadSettings() {
  const TqvnLoadedLoginSettings loaded = LoadLoginSettings(FSettingsPath);
  for (const std::string& notice : loaded.Notices) DoLog(notice);
  FSaveSettings = loaded.Saveable;
  const TqvnLoginSettings& s = loaded.Settings;
  txtApiId->setText(Q(s.ApiId));
  txtApiHash->setText(Q(s.ApiHash));
  txtPhoneNumber->setText(Q(s.PhoneNumber));
  txtBotToken->setText(Q(s.BotToken));
  // Changing the box runs chkLoginBotClick, so the two edits follow at once.
  chkLoginBot->setChecked(s.LoginBot);
  if (s.ChatListWidth > 0) SetChatListWidth(s.ChatListWidth);
  // TDLib kept the session: the client starts as soon as the window runs, as a chat client does.
  if (s.LoggedIn) {
    QTimer::singleShot(0, this, [this] {
      if (!FTelegram->Active()) Guarded(&TFRMQVNTelegram::btnStartClick);
    });
  }
}

void TFRMQVNTelegram::SaveSettings() {
  if (!FSaveSettings) return;  // what is at the path was never read; it stays as it is
  SaveLoginSettings(FSettingsPath,
                    {S(txtApiId->text()), S(txtApiHash->text()), S(txtPhoneNumber->text()),
                     S(txtBotToken->text()), chkLoginBot->isChecked(), ChatListWidth(),
                     LoggedIn()});
}

// ---- Start, Stop and the login kind ----

void TFRMQVNTelegram::chkLoginBotClick() {
  txtPhoneNumber->setEnabled(!chkLoginBot->isChecked());
  txtBotToken->setEnabled(chkLoginBot->isChecked());
}

void TFRMQVNTelegram::btnStartClick() {
  // Entries TDLib would refuse are refused here, before anything is sent.
  const bool bot = chkLoginBot->isChecked();
  const std::string problem =
      LoginEntriesProblem(S(txtApiId->text()), S(txtApiHash->text()),
                          S(txtPhoneNumber->text()), S(txtBotToken->text()), bot);
  if (!problem.empty()) throw std::runtime_error(problem);
  TqvnTelegram_Options& options = FTelegram->Telegram();
  options.API().SetApiHash(S(txtApiHash->text()));
  options.API().SetApiId(std::string(Trimmed(S(txtApiId->text()))));
  options.SetPhoneNumber("");
  options.SetBotToken("");
  if (bot) {
    options.SetBotToken(S(txtBotToken->text()));
  } else {
    options.SetPhoneNumber(S(txtPhoneNumber->text()));
  }
  FStarting = true;
  FStartError.clear();
  FTelegram->SetActive(true);
  FStarting = false;
  UpdateButtons();
  UpdateTitle();
  if (!FTelegram->Active()) {
    throw std::runtime_error("Could not start Telegram: " +
                             (FStartError.empty() ? std::string("unknown error") : FStartError));
  }
}

void TFRMQVNTelegram::btnStopClick() {
  DoStatus("");
  DoLog("");
  ClearChatList();
  FTelegram->SetActive(false);
  FAuthorizationState.clear();
  FConnectionState.clear();
  UpdateButtons();
  UpdateTitle();
}

void TFRMQVNTelegram::UpdateButtons() {
  btnStart->setEnabled(!FTelegram->Active());
  btnStop->setEnabled(FTelegram->Active());
}

void TFRMQVNTelegram::UpdateTitle() {
  std::string title = kCaption;
  if (FTelegram->Active()) {
    const TqvnTelegram_Options& options = FTelegram->Telegram();
    std::string account;
    if (const TqvnUser* me = FModel.User(FModel.MyId())) {
      account = UserName(*me);
    } else if (!options.BotToken().empty()) {
      account = "bot " + options.BotToken().substr(0, options.BotToken().find(':'));
    } else {
      account = options.PhoneNumber();
    }
    const std::string state = FAuthorizationState == "authorizationStateClosed" ? "Logged out"
                              : FConnectionState.empty() ? "Starting…"
                                                         : ConnectionStateText(FConnectionState);
    title += " — " + account + " — " + state;
  }
  setWindowTitle(Q(title));
}

// ---- Log and status ----

void TFRMQVNTelegram::AppendLine(TqvnLineView* aMemo, std::string aText) {
  aMemo->Append(std::move(aText));
}

void TFRMQVNTelegram::HoldLines() {
  memoLog->Hold();
  memoMessages->Hold();
}

void TFRMQVNTelegram::ShowLines(bool aRelease) {
  for (TqvnLineView* memo : {memoLog, memoMessages}) {
    if (aRelease) {
      memo->Release();
    } else {
      memo->Flush();
    }
  }
}

void TFRMQVNTelegram::DoLog(const std::string& aText) {
  // Secrets in TDLib's answers (proxy passwords and secrets) never show.
  std::string shown = MaskSecrets(aText);
  FStatusPanels[2]->setText(Q(ShortenForDisplay(shown, kStatusPanelBytes)));
  AppendLine(memoLog, std::move(shown));
}

void TFRMQVNTelegram::DoStatus(const std::string& aText) {
  FStatusPanels[0]->setText(Q(ShortenForDisplay(MaskSecrets(aText), kStatusPanelBytes)));
}

void TFRMQVNTelegram::CopyFullLine(TqvnLineView* aMemo, QPoint aPosition) {
  const std::shared_ptr<const std::string> full = aMemo->FullTextAt(aPosition);
  if (!full) return;
  QGuiApplication::clipboard()->setText(Q(*full));
  FStatusPanels[2]->setText(
      QStringLiteral("The whole line (%1 bytes) is on the clipboard").arg(full->size()));
}

// ---- The client's login and status events ----

void TFRMQVNTelegram::RequestChatList() {
  FTelegram->GetChats(kChatsOffsetOrder, kChatsOffsetChatId, kChatsLimit);
}

void TFRMQVNTelegram::qvnTelegramBeforeReadEvent(const std::string& aText, bool& /*Handled*/) {
  DoLog(aText);
}

void TFRMQVNTelegram::qvnTelegramConnectionStatus(const std::string& aStatus) {
  FConnectionState = aStatus;
  DoStatus(ConnectionStateText(aStatus));
  UpdateTitle();
}

void TFRMQVNTelegram::qvnTelegramAuthorizationStatus(const std::string& aStatus) {
  FAuthorizationState = aStatus;
  // The main list is loaded once per login; TDLib keeps it up to date from then on. Bots have
  // no chat list: their chats arrive with their messages.
  if (aStatus == "authorizationStateReady" && FTelegram->Telegram().BotToken().empty()) {
    LoadMoreChats();
  }
  // A chat chosen before the login was done is opened and loaded now.
  if (aStatus == "authorizationStateReady" && FShownChat != 0) ShowConversation(FShownChat);
  UpdateTitle();
}

void TFRMQVNTelegram::qvnTelegramAuthenticationCode(std::string& aCode) {
  FlushViews();
  ShowLines();  // the log so far shows behind the prompt
  aCode = FDialogs.InputBox("Telegram", "Introduce Telegram Code", "", /*aMasked=*/true);
  // Left empty, nothing is sent and the login waits.
  if (aCode.empty()) DoLog(kNotAnswered);
}

void TFRMQVNTelegram::qvnTelegramAuthenticationPassword(std::string& aPassword) {
  FlushViews();
  ShowLines();
  aPassword = FDialogs.InputBox("Telegram", "Introduce Telegram Password", "", /*aMasked=*/true);
  if (aPassword.empty()) DoLog(kNotAnswered);
}

void TFRMQVNTelegram::qvnTelegramAuthenticationError(const std::string& aState, int32_t aCode,
                                                     const std::string& aMessage) {
  ReportUnclaimedError();  // TDLib's error text, logged with the step it answered
  // A rejected code or password is asked for again right after this; the entries are not.
  std::string next;
  if (aState == "authorizationStateWaitPhoneNumber") {
    next = "\nCorrect the phone number or bot token, then press Stop and Start.";
  } else if (aState == "authorizationStateWaitTdlibParameters") {
    next = "\nCorrect the API id and hash, then press Stop and Start.";
  }
  ShowLines();
  FDialogs.ShowError("Telegram rejected the login: " + TDLibErrorText(aCode, aMessage) + next);
}

void TFRMQVNTelegram::qvnTelegramException(const std::exception& e) {
  // A TDLib fatal error is reported on one of TDLib's own threads; controls may only be touched
  // on the GUI thread, so the message travels there (and is dropped if the window is gone).
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(
        this, [this, message = std::string(e.what())] { DoLog(message); }, Qt::QueuedConnection);
    return;
  }
  if (FStarting) FStartError = e.what();
  DoLog(e.what());
}

}  // namespace qvn
