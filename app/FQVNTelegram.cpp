// The main window's life, its settings file, Start and Stop, the log and status panels, and its
// answers to the client's login and status events.
#include "app/FQVNTelegram.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QThread>

#include "app/qvnIniFile.h"
#include "app/qvnIntegerText.h"
#include "app/qvnMainThreadPump.h"

namespace qvn {

namespace {

const char kSection[] = "TELEGRAM";

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

}  // namespace

TFRMQVNTelegram::TFRMQVNTelegram(IqvnDialogs& aDialogs, std::string aSettingsPath, QWidget* aParent)
    : QMainWindow(aParent),
      FDialogs(aDialogs),
      FSettingsPath(std::move(aSettingsPath)),
      FTelegram(std::make_unique<TqvnTDLib_Telegram>(nullptr)),
      FPump(std::make_unique<TqvnMainThreadPump>(
          aDialogs, [this] { FLines.Hold(); }, [this] { FLines.Release(); })) {
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
  FChats.clear();
}

QString TFRMQVNTelegram::StatusPanelText(int aIndex) const {
  return FStatusPanels[aIndex]->text();
}

void TFRMQVNTelegram::WireClient() {
  TqvnTelegram_Options& options = FTelegram->Telegram();
  options.Parameters().SetApplicationVersion("1.0");
  options.Parameters().SetDeviceModel("Desktop");
  options.Parameters().SetLanguageCode("en");
  options.Parameters().SetSystemVersion("Windows");
  options.SetErrorsLevel(tvbErrors);

  TqvnTDLib_Telegram& t = *FTelegram;
  // Drain TDLib's bursts: each tick takes what is waiting, within the client's tick time budget.
  // The tick's log and message lines show together when it ends (FLines), about 35 us an event on
  // top of the tick; 600 events keep a tick of a burst near 30 ms and a burst of 10,000 under 2 s.
  t.SetEventsPerTick(600);
  t.SetWaitForEvents(true);  // each event the moment TDLib has it, in deliveries of 10 ms at most
  t.OnBeforeReadEvent = [this](auto*, const std::string& Text, bool& Handled) {
    qvnTelegramBeforeReadEvent(Text, Handled);
  };
  t.OnConnectionStatus = [this](auto*, const std::string& Status) {
    qvnTelegramConnectionStatus(Status);
  };
  t.OnAuthorizationStatus = [this](auto*, const std::string& Status) {
    qvnTelegramAuthorizationStatus(Status);
  };
  t.OnAuthenticationCode = [this](auto*, std::string& Code) {
    qvnTelegramAuthenticationCode(Code);
  };
  t.OnAuthenticationPassword = [this](auto*, std::string& Password) {
    qvnTelegramAuthenticationPassword(Password);
  };
  t.OnException = [this](auto*, const std::exception& E) { qvnTelegramException(E); };
  t.OnMessageText = [this](auto*, TqvnTelegramMessageText& M) { qvnTelegramMessageText(M); };
  t.OnMessageDocument = [this](auto*, TqvnTelegramMessageDocument& M) {
    qvnTelegramMessageDocument(M);
  };
  t.OnMessagePhoto = [this](auto*, TqvnTelegramMessagePhoto& M) { qvnTelegramMessagePhoto(M); };
  t.OnMessageVideo = [this](auto*, TqvnTelegramMessageVideo& M) { qvnTelegramMessageVideo(M); };
  t.OnNewChat = [this](auto*, TqvnTelegramChat& Chat) { qvnTelegramNewChat(Chat); };
}

// ---- Window life and settings ----

void TFRMQVNTelegram::FormCreate() {
  LoadSettings();
}

void TFRMQVNTelegram::closeEvent(QCloseEvent* aEvent) {
  if (RunShowingErrors(FDialogs, [this] { SaveSettings(); })) {
    aEvent->accept();
  } else {
    aEvent->ignore();  // the settings were not saved: the window stays open
  }
}

void TFRMQVNTelegram::LoadSettings() {
  TqvnIniFile ini(FSettingsPath);
  txtApiId->setText(Q(ini.ReadString(kSection, "ApiId", "")));
  txtApiHash->setText(Q(ini.ReadString(kSection, "ApiHash", "")));
  txtPhoneNumber->setText(Q(ini.ReadString(kSection, "PhoneNumber", "")));
  txtBotToken->setText(Q(ini.ReadString(kSection, "BotToken", "")));
  // Any non-zero integer is true; text that is not an integer counts as false. Changing the box
  // runs chkLoginBotClick, so the two edits follow at once.
  chkLoginBot->setChecked(StrToIntDef(ini.ReadString(kSection, "LoginBot", ""), 0) != 0);
}

void TFRMQVNTelegram::SaveSettings() {
  TqvnIniFile ini(FSettingsPath);
  ini.WriteString(kSection, "ApiId", S(txtApiId->text()));
  ini.WriteString(kSection, "ApiHash", S(txtApiHash->text()));
  ini.WriteString(kSection, "PhoneNumber", S(txtPhoneNumber->text()));
  ini.WriteString(kSection, "BotToken", S(txtBotToken->text()));
  ini.WriteString(kSection, "LoginBot", chkLoginBot->isChecked() ? "1" : "0");
}

// ---- Start, Stop and the login kind ----

void TFRMQVNTelegram::chkLoginBotClick() {
  txtPhoneNumber->setEnabled(!chkLoginBot->isChecked());
  txtBotToken->setEnabled(chkLoginBot->isChecked());
}

void TFRMQVNTelegram::btnStartClick() {
  TqvnTelegram_Options& options = FTelegram->Telegram();
  options.API().SetApiHash(S(txtApiHash->text()));
  options.API().SetApiId(S(txtApiId->text()));
  options.SetPhoneNumber("");
  options.SetBotToken("");
  if (chkLoginBot->isChecked()) {
    options.SetBotToken(S(txtBotToken->text()));
  } else {
    options.SetPhoneNumber(S(txtPhoneNumber->text()));
  }
  FTelegram->SetActive(true);
}

void TFRMQVNTelegram::btnStopClick() {
  DoStatus("");
  DoLog("");
  ClearChatList();
  FTelegram->SetActive(false);
}

// ---- Log and status ----

void TFRMQVNTelegram::AppendLine(QPlainTextEdit* aMemo, const std::string& aText) {
  FLines.Append(aMemo, Q(aText));
}

void TFRMQVNTelegram::DoLog(const std::string& aText) {
  AppendLine(memoLog, aText);
  FStatusPanels[2]->setText(Q(aText));
}

void TFRMQVNTelegram::DoStatus(const std::string& aText) {
  FStatusPanels[0]->setText(Q(aText));
}

// ---- The client's login and status events ----

void TFRMQVNTelegram::RequestChatList() {
  FTelegram->GetChats(kChatsOffsetOrder, kChatsOffsetChatId, kChatsLimit);
}

void TFRMQVNTelegram::qvnTelegramBeforeReadEvent(const std::string& Text, bool& /*Handled*/) {
  DoLog(Text);
}

void TFRMQVNTelegram::qvnTelegramConnectionStatus(const std::string& Status) {
  DoStatus(Status);
  if (Status == "connectionStateReady" && !chkLoginBot->isChecked()) RequestChatList();
}

void TFRMQVNTelegram::qvnTelegramAuthorizationStatus(const std::string& Status) {
  if (Status == "authorizationStateReady" && !chkLoginBot->isChecked()) RequestChatList();
}

void TFRMQVNTelegram::qvnTelegramAuthenticationCode(std::string& Code) {
  FLines.Flush();  // the log so far shows behind the prompt
  Code = FDialogs.InputBox("Telegram", "Introduce Telegram Code", "", /*aMasked=*/true);
}

void TFRMQVNTelegram::qvnTelegramAuthenticationPassword(std::string& Password) {
  FLines.Flush();
  Password = FDialogs.InputBox("Telegram", "Introduce Telegram Password", "", /*aMasked=*/true);
}

void TFRMQVNTelegram::qvnTelegramException(const std::exception& E) {
  // A TDLib fatal error is reported on one of TDLib's own threads; controls may only be touched
  // on the GUI thread, so the message travels there (and is dropped if the window is gone).
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(
        this, [this, message = std::string(E.what())] { DoLog(message); }, Qt::QueuedConnection);
    return;
  }
  DoLog(E.what());
}

}  // namespace qvn
