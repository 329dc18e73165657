// The window against the real TDLib 1.8.67, offline: Start leads TDLib through its parameters to
// the phone-number state, every event text reaches the log, and Stop ends the client; proxies
// added for real show in the log with their passwords and secrets masked, and the proxy
// manager's table follows TDLib's list as proxies are added, enabled and removed.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
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

TEST_F(WindowWithRealTDLib, TheProxyManagerFollowsTDLibsProxies) {
  StartToThePhoneNumberState();
  FWindow.findChild<QAction*>("ProxyManager1")->trigger();
  auto* table = FWindow.findChild<QTableWidget*>("tblProxies");
  ASSERT_NE(table, nullptr);
  const auto click = [this](const char* aButton) {
    FWindow.findChild<QPushButton*>(aButton)->click();
  };
  // The rows' id, server, port, type and enabled mark, joined by "|".
  const auto rows = [table] {
    QStringList shown;
    for (int row = 0; row < table->rowCount(); ++row) {
      QStringList cells;
      for (int column = 1; column <= 4; ++column) cells << table->item(row, column)->text();
      shown << cells.join(QLatin1Char('|'));
    }
    return shown.join(QLatin1Char('\n')).toStdString();
  };
  const auto waitForRows = [&](const std::string& aRows) {
    EXPECT_TRUE(WaitForLog([&](const QString&) { return rows() == aRows; })) << rows();
  };
  const auto add = [&](int aKind, const char* aServer, const char* aPort, const char* aSecret) {
    click("btnProxyAdd");
    FWindow.findChild<QComboBox*>("cmbProxyType")->setCurrentIndex(aKind);
    FWindow.findChild<QLineEdit*>("txtProxyServer")->setText(QString::fromLatin1(aServer));
    FWindow.findChild<QLineEdit*>("txtProxyPort")->setText(QString::fromLatin1(aPort));
    FWindow.findChild<QLineEdit*>("txtProxySecret")->setText(QString::fromLatin1(aSecret));
    click("btnProxySave");
  };

  add(0, "127.0.0.1", "1080", "");
  waitForRows("127.0.0.1|1080|SOCKS5|✓");
  add(2, "127.0.0.2", "443", "dd0123456789abcdef0123456789abcdef");
  waitForRows("127.0.0.1|1080|SOCKS5|\n127.0.0.2|443|MTProto|✓");
  table->selectRow(0);
  click("btnProxyEnable");
  waitForRows("127.0.0.1|1080|SOCKS5|✓\n127.0.0.2|443|MTProto|");
  for (const char* left : {"127.0.0.2|443|MTProto|", ""}) {
    table->selectRow(0);
    click("btnProxyRemove");
    waitForRows(left);
  }
  EXPECT_EQ(FDialogs.Confirmations.size(), 2u);
  EXPECT_EQ(FWindow.findChild<QLabel*>("lblProxyStatus")->text(), "");
  EXPECT_TRUE(FDialogs.Errors.empty());
}

}  // namespace
}  // namespace qvn::test
