// Saves pictures of the main window for the documentation, from the scripted logged-in account
// of the window's tests (ScriptedAccount.h, its dates moved to today), with the real Qt platform
// of the session (for example under xvfb-run):
//
//   xvfb-run -a -s "-screen 0 1280x800x24" app_window_screenshot docs/screenshot.png
//       docs/screenshot-login-error.png      (one line)
//
// The first picture is a conversation: its history, a photo being downloaded, a message being
// sent and one being typed. The second, when named, is the message box of a rejected login
// code, grabbed from the screen with the real dialogs. With "--composer FOLDER" instead it saves
// the message box's pictures in FOLDER: drafts.png (a chat's draft in the chat list),
// message-menu.png (a message's context menu), reply.png (a reply being composed) and
// chat-picker.png (the chat picker of "All chats", searching). With "--proxies FILE" it saves
// the proxy manager: two proxies, one pinged, and a third one's link open in the add form. With
// "--chat TITLE FILE" it saves the first picture with the chat whose title starts with TITLE.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "ScriptedAccount.h"
#include "ScriptedDialogs.h"
#include "ScriptedProxies.h"
#include "app/FQVNTelegram.h"
#include "app/qvnConversationModel.h"
#include "app/qvnConversationView.h"
#include "app/qvnProxyManager.h"
#include "app/qvnQtDialogs.h"
#include "fake_tdjson.h"
#include "tests/support/TempDir.h"

namespace {

using qvn::test::TScriptedAccount;

// Runs the event loop for aMilliseconds, and with it the client's ticks.
void Settle(int aMilliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < aMilliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

void Deliver(const std::vector<std::string>& aEvents) {
  for (const std::string& event : aEvents) fake_td_queue_event(event.c_str());
  QElapsedTimer timer;
  timer.start();
  while (fake_td_pending_events() > 0 && timer.elapsed() < 20000) Settle(50);
  Settle(200);
}

void StartLogin(qvn::TFRMQVNTelegram& aWindow) {
  aWindow.findChild<QLineEdit*>("txtApiId")->setText("94575");
  aWindow.findChild<QLineEdit*>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
  aWindow.findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
  aWindow.findChild<QPushButton*>("btnStart")->click();
}

bool Save(const QPixmap& aPicture, const char* aPath) {
  const bool saved = aPicture.save(QString::fromLocal8Bit(aPath));
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", aPath);
  return saved;
}

bool Conversation(const char* aPath, const QString& aChat) {
  qvn::test::TTempDir dir;
  // The history's last message a quarter of an hour ago.
  const int64_t shift = static_cast<int64_t>(std::time(nullptr)) - 900 - 1767613742;
  TScriptedAccount account(dir.File(""), shift);
  account.PageSize = 50;
  account.HoldDownloads = true;
  account.DownloadSteps = 2;
  qvn::test::TScriptedDialogs dialogs;
  dialogs.Answers = {"24680"};
  qvn::TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.QvnTelegram().SetEventsPerTick(100);
  window.resize(980, 700);
  window.show();
  StartLogin(window);
  std::vector<std::string> events = TScriptedAccount::LoginEvents();
  for (const std::string& event : TScriptedAccount::AccountEvents(shift)) events.push_back(event);
  Deliver(events);

  auto* chats = window.findChild<QListWidget*>("listChats");
  for (int row = 0; row < chats->count(); ++row) {
    if (!chats->item(row)->text().startsWith(aChat)) continue;
    chats->setCurrentRow(row);
    emit chats->itemClicked(chats->item(row));
  }
  Deliver({});
  auto* conversation = window.findChild<qvn::TqvnConversationView*>("listConversation");
  for (int row = 0; row < conversation->model()->rowCount(); ++row) {
    const QModelIndex index = conversation->model()->index(row, 0);
    if (index.data().toString().contains("Photo (")) {
      emit conversation->MessageClicked(index.data(qvn::TqvnConversationModel::kMessageIdRole).toLongLong(), {});
    }
  }
  Deliver({});
  account.Outcomes = {{TScriptedAccount::TOutcome::hold}};
  window.findChild<QPlainTextEdit*>("txtMessage")->setPlainText("See you at **8** tonight");
  window.findChild<QPushButton*>("btnSendMessage")->click();
  Deliver({});
  window.findChild<QPlainTextEdit*>("txtMessage")->setPlainText("Can someone bring a rope?");
  conversation->scrollToBottom();
  Settle(300);
  const bool saved = Save(window.grab(), aPath);
  window.QvnTelegram().SetActive(false);
  return saved;
}

// Answers checkAuthenticationCode as TDLib does a wrong code: an error with the request's tag.
void RejectCode(const char* aRequest, void* /*aContext*/) {
  const std::string request = aRequest;
  const size_t extra = request.find("\"@extra\":");
  if (request.find("\"checkAuthenticationCode\"") == std::string::npos ||
      extra == std::string::npos) {
    return;
  }
  const std::string tag = request.substr(extra + 9, request.rfind('}') - extra - 9);
  fake_td_queue_event(
      (R"({"@type":"error","code":400,"message":"PHONE_CODE_INVALID","@extra":)" + tag + "}")
          .c_str());
}

bool LoginError(const char* aPath) {
  qvn::test::TTempDir dir;
  qvn::TqvnQtDialogs dialogs;
  qvn::TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.QvnTelegram().SetEventsPerTick(100);
  window.show();
  StartLogin(window);
  Settle(200);
  bool saved = false;
  // The message box is modal: it is grabbed from the screen while it is open, then closed.
  QTimer grab;
  grab.setSingleShot(true);
  QObject::connect(&grab, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    const QRect area = window.frameGeometry().united(box->frameGeometry()).adjusted(-8, -8, 8, 8);
    saved = Save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                              area.height()),
                 aPath);
    box->close();
  });
  fake_td_queue_event(
      R"({"@type":"updateAuthorizationState","authorization_state":{"@type":"authorizationStateWaitCode"}})");
  // The code prompt: 11111 typed, then Telegram's answer to that request.
  fake_td_set_responder(&RejectCode, nullptr);
  QTimer answer;
  answer.setSingleShot(true);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (QWidget* prompt = QApplication::activeModalWidget()) {
      if (auto* edit = prompt->findChild<QLineEdit*>()) edit->setText("11111");
      QMetaObject::invokeMethod(prompt, "accept");
    }
    grab.start(1500);
  });
  answer.start(800);
  Settle(4000);
  fake_td_set_responder(nullptr, nullptr);
  window.QvnTelegram().SetActive(false);
  return saved;
}

// The scripted login's code prompt, with the real chat picker.
class TShowcaseDialogs : public qvn::test::TScriptedDialogs {
 public:
  std::optional<int64_t> PickChat(const std::string& aCaption,
                                  const std::vector<qvn::TqvnChatChoice>& aChats) override {
    return qvn::TqvnQtDialogs().PickChat(aCaption, aChats);
  }
};

// The screen around aWindow and the popup or dialog in front of it.
QPixmap ScreenAround(const QWidget& aWindow, const QWidget* aFront) {
  QRect area = aWindow.frameGeometry();
  if (aFront != nullptr) area = area.united(aFront->frameGeometry());
  area.adjust(-8, -8, 8, 8);
  return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                      area.height());
}

void ClickChat(QListWidget* aChats, const QString& aTitleStart) {
  for (int row = 0; row < aChats->count(); ++row) {
    if (!aChats->item(row)->text().startsWith(aTitleStart)) continue;
    aChats->setCurrentRow(row);
    emit aChats->itemClicked(aChats->item(row));
    return;
  }
}

QModelIndex RowContaining(qvn::TqvnConversationView* aView, const QString& aText) {
  for (int row = 0; row < aView->model()->rowCount(); ++row) {
    const QModelIndex index = aView->model()->index(row, 0);
    if (index.data().toString().contains(aText)) return index;
  }
  return {};
}

bool Composer(const std::string& aFolder) {
  qvn::test::TTempDir dir;
  const int64_t shift = static_cast<int64_t>(std::time(nullptr)) - 900 - 1767613742;
  TScriptedAccount account(dir.File(""), shift);
  account.PageSize = 50;
  TShowcaseDialogs dialogs;
  dialogs.Answers = {"24680"};
  qvn::TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.QvnTelegram().SetEventsPerTick(100);
  window.resize(980, 700);
  window.move(40, 40);
  window.show();
  StartLogin(window);
  std::vector<std::string> events = TScriptedAccount::LoginEvents();
  for (const std::string& event : TScriptedAccount::AccountEvents(shift)) events.push_back(event);
  Deliver(events);
  auto* chats = window.findChild<QListWidget*>("listChats");
  auto* box = window.findChild<QPlainTextEdit*>("txtMessage");
  auto* conversation = window.findChild<qvn::TqvnConversationView*>("listConversation");
  const auto path = [&aFolder](const char* aName) { return aFolder + "/" + aName; };
  bool saved = true;

  // A draft left in Alice's chat.
  ClickChat(chats, "Alice");
  Deliver({});
  box->setPlainText("See you at the hut, I will bring **the rope**");
  ClickChat(chats, "Family");
  Deliver({});
  saved = Save(window.grab(), path("drafts.png").c_str()) && saved;

  // The context menu of the account's own message.
  conversation->scrollToBottom();
  Settle(200);
  if (const QModelIndex row = RowContaining(conversation, "Bread and cheese"); row.isValid()) {
    conversation->scrollTo(row);
    Settle(100);
    emit conversation->customContextMenuRequested(conversation->visualRect(row).center());
    Deliver({});
  }
  auto* menu = window.findChild<QMenu*>("mnuMessage");
  saved = menu != nullptr && Save(ScreenAround(window, menu), path("message-menu.png").c_str()) && saved;
  if (menu != nullptr) menu->close();

  // A reply being composed.
  if (const QModelIndex row = RowContaining(conversation, "Who is bringing what"); row.isValid()) {
    conversation->setCurrentIndex(row);
    conversation->findChild<QAction*>("actReply")->trigger();
  }
  box->setPlainText("I can bring the __rope__ and a **map**");
  Settle(300);
  saved = Save(window.grab(), path("reply.png").c_str()) && saved;
  window.findChild<QPushButton*>("btnCancelContext")->click();
  box->clear();

  // The chat picker of "All chats", searching for "fam".
  ClickChat(chats, "All chats");
  Deliver({});
  box->setPlainText("Train at 7:40 tomorrow");
  QTimer grab;
  grab.setSingleShot(true);
  QObject::connect(&grab, &QTimer::timeout, [&] {
    QWidget* picker = QApplication::activeModalWidget();
    if (picker == nullptr) {
      saved = false;
      return;
    }
    if (auto* search = picker->findChild<QLineEdit*>("txtChatSearch")) search->setText("fam");
    Settle(300);
    saved = Save(ScreenAround(window, picker), path("chat-picker.png").c_str()) && saved;
    QMetaObject::invokeMethod(picker, "reject");
  });
  grab.start(800);
  window.findChild<QPushButton*>("btnSendMessage")->click();
  window.QvnTelegram().SetActive(false);
  return saved;
}

bool Proxies(const char* aPath) {
  qvn::test::TTempDir dir;
  qvn::test::TScriptedProxies proxies;
  proxies.PingSeconds = 0.087;
  qvn::test::TScriptedDialogs dialogs;
  qvn::TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.QvnTelegram().SetEventsPerTick(100);
  window.show();
  StartLogin(window);
  Deliver({});
  for (const char* link :
       {"tg://socks?server=10.0.0.1&port=1080&user=alice&pass=S0cks-pa55",
        "https://t.me/proxy?server=proxy.example&port=443&secret=dd0123456789abcdef0123456789abcdef"}) {
    window.OpenProxyLink(link);
    window.findChild<QPushButton*>("btnProxySave")->click();
    Deliver({});
  }
  window.findChild<QTableWidget*>("tblProxies")->selectRow(0);
  window.findChild<QPushButton*>("btnProxyPing")->click();
  Deliver({});
  window.OpenProxyLink("tg://socks?server=192.168.1.20&port=1081&user=bob&pass=secret");
  Settle(300);
  const bool saved = Save(window.findChild<qvn::TqvnProxyManager*>("ProxyManager1")->grab(), aPath);
  window.QvnTelegram().SetActive(false);
  return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool composer = argc == 3 && std::string(argv[1]) == "--composer";
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr,
                 "usage: %s CONVERSATION.png [LOGIN-ERROR.png]\n       %s --composer FOLDER\n"
                 "       %s --proxies FILE.png\n       %s --chat TITLE FILE.png\n",
                 argv[0], argv[0], argv[0], argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velune Telegram Client"));
  if (composer) return Composer(argv[2]) ? 0 : 1;
  if (argc == 3 && std::string(argv[1]) == "--proxies") return Proxies(argv[2]) ? 0 : 1;
  if (argc == 4 && std::string(argv[1]) == "--chat") {
    return Conversation(argv[3], QString::fromUtf8(argv[2])) ? 0 : 1;
  }
  bool saved = Conversation(argv[1], QStringLiteral("Family"));
  fake_td_reset();
  if (argc == 3) saved = LoginError(argv[2]) && saved;
  return saved ? 0 : 1;
}
