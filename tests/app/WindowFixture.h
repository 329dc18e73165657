// A main window on the offscreen platform, driven against the scripted fake TDLib, with its
// dialogs answered by a script and its settings file in a fresh temporary folder.
#ifndef QVN_TESTS_APP_WINDOWFIXTURE_H
#define QVN_TESTS_APP_WINDOWFIXTURE_H

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedAccount.h"
#include "ScriptedDialogs.h"
#include "app/FQVNTelegram.h"
#include "app/qvnConversationModel.h"
#include "app/qvnConversationView.h"
#include "app/qvnLineView.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "fake_tdjson.h"
#include "tests/support/QtEventsUntil.h"
#include "tests/support/TempDir.h"

namespace qvn::test {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    FSettings = FDir.File("velune-telegram.ini");
  }

  void TearDown() override {
    FWindow.reset();
    fake_td_reset();
  }

  // Creates the window (which reads the settings file now) and shows it.
  TFRMQVNTelegram& Open() {
    FWindow = std::make_unique<TFRMQVNTelegram>(FDialogs, FSettings);
    FWindow->QvnTelegram().SetEventsPerTick(100);
    // Counts the texts the window has handled, so that Deliver can wait for them.
    TqvnTDLib_Telegram& client = FWindow->QvnTelegram();
    client.OnBeforeReadEvent = [this, handle = client.OnBeforeReadEvent](
                                   auto* aSender, const std::string& aText, bool& aHandled) {
      handle(aSender, aText, aHandled);
      ++FHandledTexts;
    };
    FWindow->show();
    return *FWindow;
  }

  template <typename T>
  T* Control(const char* aName) {
    T* control = FWindow->findChild<T*>(QString::fromLatin1(aName));
    EXPECT_NE(control, nullptr) << aName;
    return control;
  }
  QLineEdit* Edit(const char* aName) { return Control<QLineEdit>(aName); }
  QPushButton* Button(const char* aName) { return Control<QPushButton>(aName); }
  QCheckBox* LoginBot() { return Control<QCheckBox>("chkLoginBot"); }
  QListWidget* Chats() { return Control<QListWidget>("listChats"); }
  // The message box.
  QPlainTextEdit* Composer() { return Control<QPlainTextEdit>("txtMessage"); }
  void Trigger(const char* aAction) { Control<QAction>(aAction)->trigger(); }

  // The rows of a line view (memoLog, memoMessages) as shown.
  std::vector<std::string> Lines(const char* aMemo) {
    TqvnLineView* memo = Control<TqvnLineView>(aMemo);
    std::vector<std::string> lines;
    for (int i = 0; i < memo->RowCount(); ++i) lines.push_back(memo->RowText(i).toStdString());
    return lines;
  }

  // The chat list's rows: "All chats", then the chats' titles.
  std::vector<std::string> ChatRows() {
    std::vector<std::string> rows;
    for (int i = 0; i < Chats()->count(); ++i)
      rows.push_back(Chats()->item(i)->text().toStdString());
    return rows;
  }
  // Clicks row aRow of the chat list.
  void Click(int aRow) {
    Chats()->setCurrentRow(aRow);
    emit Chats()->itemClicked(Chats()->item(aRow));
  }
  // Clicks the row of the chat titled aTitle.
  void ClickChat(const std::string& aTitle) {
    const std::vector<std::string> rows = ChatRows();
    auto found = std::find(rows.begin(), rows.end(), aTitle);
    ASSERT_NE(found, rows.end()) << aTitle;
    Click(static_cast<int>(found - rows.begin()));
  }

  TqvnConversationView* Conversation() { return Control<TqvnConversationView>("listConversation"); }
  int ConversationCount() { return Conversation()->model()->rowCount(); }
  QModelIndex ConversationRow(int aRow) { return Conversation()->model()->index(aRow, 0); }
  // The lines of the conversation shown.
  std::vector<std::string> ConversationRows() {
    std::vector<std::string> rows;
    for (int i = 0; i < ConversationCount(); ++i)
      rows.push_back(ConversationRow(i).data().toString().toStdString());
    return rows;
  }

  // Runs Qt's event loop (and with it the client's ticks) until aDone() or a generous timeout.
  bool WaitFor(const std::function<bool()>& aDone, int aTimeoutMs = 10000) {
    return QtEventsUntil(aDone, aTimeoutMs);
  }

  // Queues event texts and waits until the window has handled them all, and every text the
  // scripted answers queued meanwhile.
  void Deliver(const std::vector<std::string>& aEvents) {
    const size_t handled = FHandledTexts + aEvents.size();
    for (const std::string& e : aEvents) fake_td_queue_event(e.c_str());
    ASSERT_TRUE(
        WaitFor([&] { return FHandledTexts >= handled && fake_td_pending_events() == 0; }));
    // The texts the scripted answers queued meanwhile, too; only briefly, since a test may
    // deliver while the window's client is not taking events.
    WaitFor([&] { return FHandledTexts >= fake_td_handed_out_events(); }, 1000);
    QCoreApplication::processEvents();
  }

  // Sent requests whose "@type" is aType.
  static std::vector<std::string> SentOfType(const std::string& aType) {
    std::vector<std::string> found;
    const std::string marker = "\"@type\": \"" + aType + "\"";
    const std::string compact = "\"@type\":\"" + aType + "\"";
    for (const std::string& text : fake_td::Sent()) {
      if (text.find(marker) != std::string::npos || text.find(compact) != std::string::npos) {
        found.push_back(text);
      }
    }
    return found;
  }
  static std::string LastSent() {
    auto sent = fake_td::Sent();
    return sent.empty() ? std::string() : sent.back();
  }
  // aRequest without the "@extra" tag the client adds to a request that waits for its answer.
  static std::string Untagged(const std::string& aRequest) { return ReplaceExtra(aRequest, ""); }

  // Starts a user login and plays it to the end (the code prompt answered), then the account's
  // users and chats arrive.
  void LogIn() {
    FDialogs.Answers.push_front("24680");
    Start();
    std::vector<std::string> events = TScriptedAccount::LoginEvents();
    for (const std::string& event : TScriptedAccount::AccountEvents()) events.push_back(event);
    Deliver(events);
  }

  // Fills the entries and presses Start; waits until the client is active.
  void Start(bool aBot = false) {
    Edit("txtApiId")->setText("12345");
    Edit("txtApiHash")->setText("0123456789abcdef");
    Edit("txtPhoneNumber")->setText("+15550100");
    Edit("txtBotToken")->setText("42:bot-token");
    LoginBot()->setChecked(aBot);
    Button("btnStart")->click();
    ASSERT_TRUE(FWindow->QvnTelegram().Active());
  }

  test::TTempDir FDir;
  std::string FSettings;
  TScriptedDialogs FDialogs;
  std::unique_ptr<TFRMQVNTelegram> FWindow;
  size_t FHandledTexts = 0;  // texts the window's client has dispatched (GUI thread)
};

// The window logged in to the scripted account (ScriptedAccount.h), which answers what the
// window asks as TDLib would.
class LoggedInWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    FAccount = std::make_unique<TScriptedAccount>(FDir.File(""));
    Open();
    LogIn();
  }
  void TearDown() override {
    WindowTest::TearDown();
    FAccount.reset();
  }

  std::unique_ptr<TScriptedAccount> FAccount;
};

// Event texts in TDLib's shape.
inline std::string AuthState(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}
inline std::string ConnectionState(const std::string& aState) {
  return R"({"@type":"updateConnectionState","state":{"@type":")" + aState + R"("}})";
}
inline std::string NewChat(const std::string& aId, const std::string& aTitleJson) {
  return R"({"@type":"updateNewChat","chat":{"@type":"chat","id":)" + aId +
         R"(,"type":{"@type":"chatTypePrivate","user_id":)" + aId + R"(},"title":")" + aTitleJson +
         R"("}})";
}
// A new message from user aUserId (newer sender layout) with the given content object.
inline std::string NewMessage(const std::string& aUserId, const std::string& aContent) {
  return R"({"@type":"updateNewMessage","message":{"@type":"message","id":1,"chat_id":)" + aUserId +
         R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + aUserId + R"(},"content":)" +
         aContent + "}}";
}

}  // namespace qvn::test

#endif  // QVN_TESTS_APP_WINDOWFIXTURE_H
