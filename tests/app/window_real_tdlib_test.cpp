// The window against the real TDLib 1.8.67, offline: Start leads TDLib through its parameters to
// the phone-number state, every event text reaches the log, and Stop ends the client; proxies
// added for real show in the log with their passwords and secrets masked; and TDLib reads every
// request the window builds itself.
#include <gtest/gtest.h>

#include <QAction>
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

namespace qvn::test {
namespace {

class WindowWithRealTDLib : public ::testing::Test {
 protected:
  WindowWithRealTDLib() : Window(Dialogs, Dir.File("velune-telegram.ini")) {
    Window.qvnTelegram().Telegram().SetDatabaseDirectory(Dir.File("tdlib"));
    Window.qvnTelegram().SetEventsPerTick(100);
    Window.show();
  }

  // Starts a user login and waits for TDLib to ask for the phone number.
  void StartToThePhoneNumberState() {
    Window.findChild<QLineEdit*>("txtApiId")->setText("94575");
    Window.findChild<QLineEdit*>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
    Window.findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
    Window.findChild<QPushButton*>("btnStart")->click();
    ASSERT_TRUE(Window.qvnTelegram().Active());
    ASSERT_TRUE(WaitForLog([](const QString& aLog) {
      return aLog.contains("authorizationStateWaitPhoneNumber");
    })) << Log().toStdString();
  }

  QString Log() { return Window.findChild<QPlainTextEdit*>("memoLog")->toPlainText(); }

  bool WaitForLog(const std::function<bool(const QString&)>& aDone) {
    QElapsedTimer timer;
    timer.start();
    while (!aDone(Log())) {
      if (timer.elapsed() > 60000) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    return true;
  }

  test::TTempDir Dir;
  TScriptedDialogs Dialogs;
  TFRMQVNTelegram Window;
};

TEST_F(WindowWithRealTDLib, StartReachesThePhoneNumberStateAndStopEndsTheClient) {
  StartToThePhoneNumberState();
  const QString text = Log();
  EXPECT_TRUE(text.contains("authorizationStateWaitTdlibParameters"));
  EXPECT_TRUE(Dialogs.Prompts.empty());
  EXPECT_TRUE(Dialogs.Errors.empty());

  Window.findChild<QPushButton*>("btnStop")->click();
  EXPECT_FALSE(Window.qvnTelegram().Active());
  EXPECT_TRUE(Log().endsWith("\n"));  // Stop's empty line
  EXPECT_EQ(Window.StatusPanelText(0), "");
}

TEST_F(WindowWithRealTDLib, ProxyPasswordsAndSecretsNeverShowInTheLog) {
  const std::string socksPassword = "S0cks-pa55-real";
  const std::string httpPassword = "Http-pa55-real";
  const std::string secret = "7e57ab1e7e57ab1e7e57ab1e7e57ab1e";
  StartToThePhoneNumberState();
  // Username, password, port and server for SOCKS5 and HTTP; secret, port and server for
  // MTProto.
  Dialogs.Answers = {"alice", socksPassword, "1080", "127.0.0.1",
                     "bob",   httpPassword,  "8080", "127.0.0.1",
                     secret,  "443",         "127.0.0.1"};
  for (const char* command : {"Socks51", "HTTP1", "MTProto1", "GetProxies1"}) {
    Window.findChild<QAction*>(command)->trigger();
  }
  ASSERT_TRUE(WaitForLog([](const QString& aLog) {
    return aLog.count("{\"@type\":\"addedProxy\"") == 6 &&  // three answers, three listed
           aLog.contains("{\"@type\":\"addedProxies\"");
  })) << "TDLib's answers: " << Log().toStdString();
  EXPECT_TRUE(Dialogs.Errors.empty());

  const std::string log = Log().toStdString();
  const std::string status = Window.StatusPanelText(2).toStdString();
  EXPECT_NE(status.find("\"@type\":\"addedProxies\""), std::string::npos) << status;
  for (const std::string& hidden : {socksPassword, httpPassword, secret}) {
    SCOPED_TRACE(hidden);
    EXPECT_EQ(log.find(hidden), std::string::npos);
    EXPECT_EQ(status.find(hidden), std::string::npos);
  }
  // Each proxy's secret was in TDLib's answers and was masked: once in its addedProxy, once in
  // the list (addedProxies).
  auto count = [&log](const std::string& aPart) {
    size_t n = 0;
    for (size_t at = log.find(aPart); at != std::string::npos; at = log.find(aPart, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(R"("password":"***")"), 4u) << log;
  EXPECT_EQ(count(R"("secret":"***")"), 2u) << log;
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
}  // namespace qvn::test
