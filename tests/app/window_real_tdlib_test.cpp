// The window against the real TDLib 1.8.67, offline: Start leads TDLib through its parameters to
// the phone-number state, every event text reaches the log, and Stop ends the client; proxies
// added for real show in the log with their passwords and secrets masked.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "ScriptedDialogs.h"
#include "app/FQVNTelegram.h"
#include "app/qvnLineView.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

class WindowWithRealTDLib : public ::testing::Test {
 protected:
  WindowWithRealTDLib() : FWindow(FDialogs, FDir.File("velune-telegram.ini")) {
    FWindow.QvnTelegram().Telegram().SetDatabaseDirectory(FDir.File("tdlib"));
    FWindow.QvnTelegram().SetEventsPerTick(100);
    FWindow.show();
  }

  // Starts a user login and waits for TDLib to ask for the phone number.
  void StartToThePhoneNumberState() {
    FWindow.findChild<QLineEdit*>("txtApiId")->setText("94575");
    FWindow.findChild<QLineEdit*>("txtApiHash")->setText("a3406de8d171bb422bb6ddf3bbd800e2");
    FWindow.findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
    FWindow.findChild<QPushButton*>("btnStart")->click();
    ASSERT_TRUE(FWindow.QvnTelegram().Active());
    ASSERT_TRUE(WaitForLog([](const QString& aLog) {
      return aLog.contains("authorizationStateWaitPhoneNumber");
    })) << Log().toStdString();
  }

  QString Log() {
    const TqvnLineView* memo = FWindow.findChild<TqvnLineView*>("memoLog");
    QStringList rows;
    for (int i = 0; i < memo->RowCount(); ++i) rows.push_back(memo->RowText(i));
    return rows.join(QLatin1Char('\n'));
  }

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

  test::TTempDir FDir;
  TScriptedDialogs FDialogs;
  TFRMQVNTelegram FWindow;
};

TEST_F(WindowWithRealTDLib, StartReachesThePhoneNumberStateAndStopEndsTheClient) {
  StartToThePhoneNumberState();
  const QString text = Log();
  EXPECT_TRUE(text.contains("authorizationStateWaitTdlibParameters"));
  EXPECT_TRUE(FDialogs.Prompts.empty());
  EXPECT_TRUE(FDialogs.Errors.empty());

  FWindow.findChild<QPushButton*>("btnStop")->click();
  EXPECT_FALSE(FWindow.QvnTelegram().Active());
  EXPECT_TRUE(Log().endsWith("\n"));  // Stop's empty line
  EXPECT_EQ(FWindow.StatusPanelText(0), "");
}

TEST_F(WindowWithRealTDLib, ProxyPasswordsAndSecretsNeverShowInTheLog) {
  const std::string socksPassword = "S0cks-pa55-real";
  const std::string httpPassword = "Http-pa55-real";
  const std::string secret = "7e57ab1e7e57ab1e7e57ab1e7e57ab1e";
  StartToThePhoneNumberState();
  // Username, password, port and server for SOCKS5 and HTTP; secret, port and server for
  // MTProto.
  FDialogs.Answers = {"alice", socksPassword, "1080", "127.0.0.1",
                     "bob",   httpPassword,  "8080", "127.0.0.1",
                     secret,  "443",         "127.0.0.1"};
  for (const char* command : {"Socks51", "HTTP1", "MTProto1", "GetProxies1"}) {
    FWindow.findChild<QAction*>(command)->trigger();
  }
  ASSERT_TRUE(WaitForLog([](const QString& aLog) {
    return aLog.count("{\"@type\":\"addedProxy\"") == 6 &&  // three answers, three listed
           aLog.contains("{\"@type\":\"addedProxies\"");
  })) << "TDLib's answers: " << Log().toStdString();
  EXPECT_TRUE(FDialogs.Errors.empty());

  const std::string log = Log().toStdString();
  const std::string status = FWindow.StatusPanelText(2).toStdString();
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

}  // namespace
}  // namespace qvn::test
