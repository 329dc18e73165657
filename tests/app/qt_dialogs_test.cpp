// The real Qt dialogs behind the window's dialog interface, driven by simulated keys: they
// behave as the scripted stand-in the other tests use, and queued engine calls run while one
// is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "app/FQVNTelegram.h"
#include "app/qvnQtDialogs.h"
#include "base/qvnWebSocket_Helpers.h"
#include "fake_tdjson.h"
#include "qt/qvnMainThreadPump.h"
#include "tests/support/QtEventsUntil.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

// Waits for the modal input box, lets aAct inspect and answer it.
void WhenInputBoxOpens(const std::function<void(QInputDialog*, QLineEdit*)>& aAct) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, aAct] {
    auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    aAct(box, box->findChild<QLineEdit*>());
  });
  poll->start();
}

TEST(QtDialogs, InputBoxOkReturnsTheTypedTextLimitedTo255) {
  TqvnQtDialogs dialogs;
  WhenInputBoxOpens([](QInputDialog* aBox, QLineEdit* aEdit) {
    EXPECT_EQ(aBox->windowTitle(), "Set Chat Id");
    EXPECT_EQ(aBox->labelText(), "Chat Id");
    EXPECT_EQ(aEdit->text(), "0");
    EXPECT_EQ(aEdit->selectedText(), "0");  // the default is selected: typing replaces it
    EXPECT_EQ(aEdit->echoMode(), QLineEdit::Normal);
    QTest::keyClicks(aEdit, "777");
    QTest::keyClick(aEdit, Qt::Key_Return);
  });
  EXPECT_EQ(dialogs.InputBox("Set Chat Id", "Chat Id", "0"), "777");

  WhenInputBoxOpens([](QInputDialog*, QLineEdit* aEdit) {
    QTest::keyClicks(aEdit, QString(300, QLatin1Char('x')));
    QTest::keyClick(aEdit, Qt::Key_Return);
  });
  EXPECT_EQ(dialogs.InputBox("c", "p", ""), std::string(255, 'x'));

  WhenInputBoxOpens([](QInputDialog*, QLineEdit* aEdit) {
    aEdit->clear();
    QTest::keyClick(aEdit, Qt::Key_Return);
  });
  EXPECT_EQ(dialogs.InputBox("c", "p", "default"), "");
}

TEST(QtDialogs, EscapeReturnsTheDefaultAndMaskedBoxesHideTheText) {
  TqvnQtDialogs dialogs;
  WhenInputBoxOpens([](QInputDialog*, QLineEdit* aEdit) {
    EXPECT_EQ(aEdit->echoMode(), QLineEdit::Password);
    QTest::keyClicks(aEdit, "typed");
    QTest::keyClick(aEdit, Qt::Key_Escape);
  });
  EXPECT_EQ(dialogs.InputBox("Telegram", "Introduce Telegram Code", "keep", true), "keep");
}

// Waits for the modal chat picker, lets aAct answer it through its search box.
void WhenChatPickerOpens(const std::function<void(QWidget*, QLineEdit*, QListWidget*)>& aAct) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, aAct] {
    QWidget* picker = QApplication::activeModalWidget();
    if (picker == nullptr || picker->objectName() != "ChatPicker" || !picker->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    aAct(picker, picker->findChild<QLineEdit*>("txtChatSearch"),
         picker->findChild<QListWidget*>("listChatChoices"));
  });
  poll->start();
}

// Typing narrows the chats to the titles that contain it, whatever the case; Enter takes the
// first shown, Down the next one shown; a search that matches nothing picks nothing.
TEST(QtDialogs, ChatPickerSearchesTitlesAndEnterOrEscapeAnswers) {
  TqvnQtDialogs dialogs;
  const std::vector<TqvnChatChoice> chats = {{1, "Alice"}, {2, "Family"}, {3, "Bob"}, {4, "Alina"}};
  const struct {
    const char* Typed;
    int Downs;
    Qt::Key Key;
    std::optional<int64_t> Chosen;
  } cases[] = {{"", 0, Qt::Key_Return, 1},          {"fam", 0, Qt::Key_Return, 2},
               {"AL", 1, Qt::Key_Return, 4},        {"zzz", 0, Qt::Key_Return, std::nullopt},
               {"bob", 0, Qt::Key_Escape, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    WhenChatPickerOpens([&c](QWidget* aPicker, QLineEdit* aSearch, QListWidget*) {
      EXPECT_EQ(aPicker->windowTitle(), "Send to which chat?");
      QTest::keyClicks(aSearch, c.Typed);
      for (int i = 0; i < c.Downs; ++i) QTest::keyClick(aSearch, Qt::Key_Down);
      QTest::keyClick(aSearch, c.Key);
      if (aPicker->isVisible()) QTest::keyClick(aSearch, Qt::Key_Escape);  // Enter took nothing
    });
    EXPECT_EQ(dialogs.PickChat("Send to which chat?", chats), c.Chosen);
  }
}

TEST(QtDialogs, QueuedCallsRunWhileAnInputBoxIsOpen) {
  TqvnQtDialogs dialogs;
  TqvnMainThreadPump pump;
  std::atomic<bool> ran{false};
  std::thread worker;
  WhenInputBoxOpens([&](QInputDialog*, QLineEdit* aEdit) {
    worker = std::thread([&] { QueueToMainThread([&] { ran = true; }); });
    // Answer only once the queued call has run inside the box's own event loop.
    // Gives up after about ten seconds so a fault fails the test instead of hanging it.
    auto* wait = new QTimer;
    wait->setInterval(5);
    QObject::connect(wait, &QTimer::timeout, [wait, aEdit, &ran, polls = 0]() mutable {
      if (!ran && ++polls < 2000) return;
      wait->stop();
      wait->deleteLater();
      QTest::keyClicks(aEdit, "ran");
      QTest::keyClick(aEdit, ran ? Qt::Key_Return : Qt::Key_Escape);
    });
    wait->start();
  });
  EXPECT_EQ(dialogs.InputBox("Telegram", "Introduce Telegram Code", ""), "ran");
  worker.join();
  EXPECT_TRUE(ran);
}

TEST(QtDialogs, WindowKeepsHandlingEventsWhileTheCodePromptIsOpen) {
  fake_td_reset();
  test::TTempDir dir;
  TqvnQtDialogs dialogs;
  auto window = std::make_unique<TFRMQVNTelegram>(dialogs, dir.File("velune-telegram.ini"));
  window->show();
  window->findChild<QLineEdit*>("txtApiId")->setText("12345");
  window->findChild<QLineEdit*>("txtApiHash")->setText("0123456789abcdef");
  window->findChild<QLineEdit*>("txtPhoneNumber")->setText("+15550100");
  window->findChild<QPushButton*>("btnStart")->click();
  auto* chats = window->findChild<QListWidget*>("listChats");
  int chatsWhileOpen = -1;
  WhenInputBoxOpens([&](QInputDialog* aBox, QLineEdit* aEdit) {
    EXPECT_EQ(aBox->labelText(), "Introduce Telegram Code");
    EXPECT_EQ(aEdit->echoMode(), QLineEdit::Password);
    fake_td_queue_event(
        R"({"@type":"updateNewChat","chat":{"@type":"chat","id":5,"title":"Arrived meanwhile"}})");
    auto* wait = new QTimer;
    wait->setInterval(5);
    QObject::connect(wait, &QTimer::timeout, [&, wait, aEdit, polls = 0]() mutable {
      if (chats->count() == 1 && ++polls < 2000) return;  // "All chats" only
      wait->stop();
      wait->deleteLater();
      chatsWhileOpen = chats->count();
      QTest::keyClicks(aEdit, "13579");
      QTest::keyClick(aEdit, Qt::Key_Return);
    });
    wait->start();
  });
  fake_td_queue_event(
      R"({"@type":"updateAuthorizationState","authorization_state":{"@type":"authorizationStateWaitCode"}})");
  auto codeSent = [] {
    for (const std::string& text : fake_td::Sent()) {
      if (text.find("checkAuthenticationCode") != std::string::npos) return true;
    }
    return false;
  };
  QtEventsUntil(codeSent, 15000);
  EXPECT_EQ(chatsWhileOpen, 2);
  ASSERT_TRUE(codeSent());
  EXPECT_NE(fake_td::Sent().back().find("13579"), std::string::npos) << fake_td::Sent().back();
  window.reset();
  fake_td_reset();
}

}  // namespace
}  // namespace qvn::test
