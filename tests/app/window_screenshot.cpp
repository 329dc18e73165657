// Saves a picture of the main window after a scripted login with a few chats and messages, for
// the documentation. Runs against the scripted fake TDLib with the real Qt platform of the
// session (for example under xvfb-run):
//
//   xvfb-run -a -s "-screen 0 1024x768x24" app_window_screenshot docs/screenshot.png
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QThread>
#include <cstdio>
#include <fstream>
#include <string>

#include "ScriptedDialogs.h"
#include "app/FQVNTelegram.h"
#include "fake_tdjson.h"
#include "tests/support/TempDir.h"

namespace {

void Settle(int aMilliseconds) {
  fake_td_queue_event(
      R"({"@type":"updateConnectionState","state":{"@type":"connectionStateReady"}})");
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < aMilliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

std::string AuthState(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  qvn::test::TTempDir dir;
  qvn::testing::TScriptedDialogs dialogs;
  dialogs.Answers = {"24680", "correct horse"};
  qvn::TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.qvnTelegram().SetEventsPerTick(100);
  window.show();

  window.findChild<QLineEdit*>("txtApiId")->setText("94575");
  window.findChild<QLineEdit*>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
  window.findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
  window.findChild<QPushButton*>("btnStart")->click();

  for (const char* state : {"authorizationStateWaitTdlibParameters",
                            "authorizationStateWaitPhoneNumber", "authorizationStateWaitCode",
                            "authorizationStateWaitPassword", "authorizationStateReady"}) {
    fake_td_queue_event(AuthState(state).c_str());
  }
  std::ifstream sample(QVN_TEST_DATA_DIR "/messages-sample.jsonl");
  int messages = 0;
  for (std::string line; std::getline(sample, line);) {
    const bool message = line.find("\"updateNewMessage\"") != std::string::npos;
    if (message && ++messages > 24) break;
    fake_td_queue_event(line.c_str());
  }
  fake_td_queue_event(
      R"({"@type":"updateConnectionState","state":{"@type":"connectionStateReady"}})");
  QElapsedTimer timer;
  timer.start();
  while (fake_td_pending_events() > 0 && timer.elapsed() < 20000) Settle(50);
  Settle(300);

  auto* chats = window.findChild<QListWidget*>("listChats");
  if (chats->count() > 7) {
    chats->setCurrentRow(7);
    emit chats->itemClicked(chats->item(7));
  }
  window.findChild<QLineEdit*>("txtMessage")->setText("See you at **8** tonight");
  Settle(200);

  const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
  window.qvnTelegram().SetActive(false);
  std::fprintf(stderr, "%s %s (%d chats)\n", saved ? "saved" : "could not save", argv[1],
               chats->count());
  return saved ? 0 : 1;
}
