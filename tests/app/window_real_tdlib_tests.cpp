// The window against the real TDLib 1.8.67, offline: Start leads TDLib through its parameters to
// the phone-number state, every event text reaches the log, and Stop ends the client; and TDLib
// reads every request the window builds itself.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <map>

#include "ScriptedDialogs.h"
#include "app/FQVNTelegram.h"
#include "app/qvnChatModel.h"
#include "app/qvnWindowRequests.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"

namespace qvn::testing {
namespace {

TEST(WindowWithRealTDLib, StartReachesThePhoneNumberStateAndStopEndsTheClient) {
  test::TTempDir dir;
  TScriptedDialogs dialogs;
  TFRMQVNTelegram window(dialogs, dir.File("velune-telegram.ini"));
  window.qvnTelegram().Telegram().SetDatabaseDirectory(dir.File("tdlib"));
  window.qvnTelegram().SetEventsPerTick(100);
  window.show();
  window.findChild<QLineEdit*>("txtApiId")->setText("94575");
  window.findChild<QLineEdit*>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
  window.findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
  window.findChild<QPushButton*>("btnStart")->click();
  ASSERT_TRUE(window.qvnTelegram().Active());

  auto* log = window.findChild<QPlainTextEdit*>("memoLog");
  QElapsedTimer timer;
  timer.start();
  while (!log->toPlainText().contains("authorizationStateWaitPhoneNumber") &&
         timer.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  const QString text = log->toPlainText();
  EXPECT_TRUE(text.contains("authorizationStateWaitTdlibParameters"));
  EXPECT_TRUE(text.contains("authorizationStateWaitPhoneNumber")) << text.toStdString();
  EXPECT_TRUE(dialogs.Prompts.empty());
  EXPECT_TRUE(dialogs.Errors.empty());

  window.findChild<QPushButton*>("btnStop")->click();
  EXPECT_FALSE(window.qvnTelegram().Active());
  EXPECT_TRUE(log->toPlainText().endsWith("\n"));  // Stop's empty line
  EXPECT_EQ(window.StatusPanelText(0), "");
}

// Before its parameters TDLib refuses every request, but only after reading it: a request it
// cannot read is answered "Failed to parse JSON object as TDLib request".
TEST(WindowRequestsWithRealTDLib, TDLibReadsEveryRequestTheWindowBuilds) {
  test::TTempDir dir;
  TqvnTDLib_Telegram client(nullptr);
  client.Telegram().SetDatabaseDirectory(dir.File("tdlib"));
  client.SetEventsPerTick(100);
  const std::map<std::string, std::string> requests = {
      {"loadChats", BuildLoadChats(100, "loadChats")},
      {"openChat", BuildOpenChat(-4000000001, "openChat")},
      {"closeChat", BuildCloseChat(-4000000001, "closeChat")},
      {"getChatHistory", BuildChatHistory(-4000000001, 117440512, 50, "getChatHistory")},
      {"viewMessages", BuildViewMessages(-4000000001, {105906176, 117440512}, "viewMessages")},
      {"downloadFile", BuildDownloadFile(501, "downloadFile")},
      {"resendMessages", BuildResendMessages(-4000000001, {117440514}, "resendMessages")},
      {"sendMessage", WithTag(BuildSendRichTextMessage("-4000000001", "**See** you", nullptr,
                                                       nullptr),
                              "sendMessage")},
      {"sendDocument", WithTag(BuildSendDocumentMessage("-4000000001", "/tmp/a.pdf", nullptr,
                                                        nullptr, "1.8.67"),
                               "sendDocument")},
      // The check itself: a request TDLib cannot read.
      {"unreadable", R"({"@type":"downloadFile","file_id":"x","@extra":"unreadable"})"},
  };
  std::map<std::string, std::string> answers;  // by tag
  client.OnEvent = [&answers, &requests](auto*, const std::string&, const std::string& Text) {
    TqvnChatModel model;
    const TqvnModelChange change = model.Apply(Text);
    if (requests.count(change.Extra) > 0) answers[change.Extra] = Text;
  };
  client.SetActive(true);
  ASSERT_TRUE(client.Active());
  for (const auto& [tag, request] : requests) client.TDLibSend(request);
  ASSERT_TRUE(test::PumpUntil([&] { return answers.size() == requests.size(); }));
  for (const auto& [tag, request] : requests) {
    SCOPED_TRACE(tag);
    const bool unreadable = answers[tag].find("Failed to parse") != std::string::npos;
    EXPECT_EQ(unreadable, tag == "unreadable") << answers[tag];
  }
  client.SetActive(false);
}

}  // namespace
}  // namespace qvn::testing
