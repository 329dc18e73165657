// The window against the real TDLib, offline: Start leads TDLib through its parameters to the
// phone-number state, every event text reaches the log, and Stop ends the client.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include "ScriptedDialogs.h"
#include "app/FQVNTelegram.h"
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

}  // namespace
}  // namespace qvn::testing
