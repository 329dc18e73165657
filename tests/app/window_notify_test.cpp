// The window and the desktop: notifications of new messages through a notification service on a
// bus of the test's own (which rules hold a message back, how a burst is paced, what activating
// one opens, the setting), the unread count in the title, and arguments handed over from the
// command line.

#include <gmock/gmock.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QListWidget>
#include <QVariantMap>
#include <ctime>

#include "WindowFixture.h"
#include "app/qvnDesktopNotifications.h"
#include "tests/support/PrivateSessionBus.h"

namespace qvn::test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// org.freedesktop.Notifications as a desktop offers it: keeps every Notify call, answers with a
// new id (or the replaced one), and emits ActionInvoked on request.
class TFakeNotificationService : public QDBusVirtualObject {
 public:
  struct TNotify {
    QString AppName;
    uint ReplacesId = 0;
    QString Icon;
    QString Summary;
    QString Body;
    QStringList Actions;
    QVariantMap Hints;
    int Timeout = 0;
    uint Id = 0;  // the answer
  };

  explicit TFakeNotificationService(QDBusConnection aBus) : FBus(std::move(aBus)) {}

  bool Register() {
    return FBus.registerVirtualObject(kPath, this) && FBus.registerService(kService);
  }
  void Invoke(uint aId, const QString& aAction) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ActionInvoked"));
    signal << aId << aAction;
    FBus.send(signal);
  }

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& aMessage, const QDBusConnection& aConnection) override {
    const QList<QVariant> a = aMessage.arguments();
    if (aMessage.member() == QLatin1String("GetCapabilities")) {
      aConnection.send(aMessage.createReply(QStringList{QStringLiteral("actions"),
                                                        QStringLiteral("body"),
                                                        QStringLiteral("body-markup")}));
      return true;
    }
    if (aMessage.member() != QLatin1String("Notify") || a.size() != 8) return false;
    TNotify call{a[0].toString(), a[1].toUInt(), a[2].toString(), a[3].toString(),
                 a[4].toString(), a[5].toStringList(),
                 qdbus_cast<QVariantMap>(a[6].value<QDBusArgument>()), a[7].toInt()};
    call.Id = call.ReplacesId != 0 ? call.ReplacesId : ++FLastId;
    Calls.push_back(call);
    aConnection.send(aMessage.createReply(QVariant::fromValue(call.Id)));
    return true;
  }

  std::vector<TNotify> Calls;

 private:
  QDBusConnection FBus;
  uint FLastId = 0;
};

constexpr int64_t kAlice = 6100000001;
constexpr int64_t kFamily = -4000000001;
constexpr int64_t kClimbing = -1001000000002;  // read up to kClimbingRead on another device
constexpr int64_t kClimbingRead = 304087040;
constexpr int64_t kProductUpdates = -1001000000011;  // muted
// The chat with the greatest id: its notification goes out last of those gathered together.
constexpr int64_t kOmar = 6100000016;

// An incoming text message, new now, from Alice unless aSender says otherwise; aText is JSON.
std::string Incoming(int64_t aChatId, int64_t aId, const std::string& aText,
                     int64_t aAge = 0, bool aOutgoing = false, int64_t aSender = kAlice) {
  return R"({"@type":"updateNewMessage","message":{"@type":"message","id":)" + std::to_string(aId) +
         R"(,"chat_id":)" + std::to_string(aChatId) +
         R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + std::to_string(aSender) +
         R"(},"is_outgoing":)" + (aOutgoing ? "true" : "false") +
         R"(,"date":)" + std::to_string(std::time(nullptr) - aAge) +
         R"(,"content":{"@type":"messageText","text":{"@type":"formattedText","text":")" + aText +
         R"(","entities":[]}}}})";
}

// Ids above every message of the account's history.
int64_t NewId(int aNumber) {
  return (int64_t{3000} << 20) + aNumber;
}

class NotifyWindowTest : public LoggedInWindowTest {
 protected:
  void SetUp() override {
    LoggedInWindowTest::SetUp();
    if (!FBus.Running()) GTEST_SKIP() << "dbus-daemon could not be started";
    FService = std::make_unique<TFakeNotificationService>(FBus.Connect(QStringLiteral("service")));
    ASSERT_TRUE(FService->Register());
    FSink = std::make_unique<TqvnDesktopNotifications>(FBus.Connect(QStringLiteral("window")));
    FWindow->SetNotificationSink(FSink.get());
    Deactivate();
  }
  void TearDown() override {
    if (FWindow) FWindow->SetNotificationSink(nullptr);
    FSink.reset();
    FService.reset();
    LoggedInWindowTest::TearDown();
  }

  // Another window takes the focus: the user is not looking at this one.
  void Deactivate() {
    FOther.show();
    FOther.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return !FWindow->isActiveWindow(); }));
  }
  void Activate() {
    FWindow->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return FWindow->isActiveWindow(); }));
  }

  // The calls once aCount have come.
  const std::vector<TFakeNotificationService::TNotify>& AwaitCalls(size_t aCount) {
    EXPECT_TRUE(WaitFor([&] { return FService->Calls.size() >= aCount; }));
    return FService->Calls;
  }
  // Runs the event loop for a while, so that whatever pacing holds back goes out.
  void Settle() {
    WaitFor([] { return false; }, 2 * static_cast<int>(TqvnNotifier::kQuietTime.count()));
  }
  std::vector<std::string> Summaries() const {
    std::vector<std::string> summaries;
    for (const auto& call : FService->Calls) summaries.push_back(call.Summary.toStdString());
    return summaries;
  }

  TPrivateSessionBus FBus;
  std::unique_ptr<TFakeNotificationService> FService;
  std::unique_ptr<TqvnDesktopNotifications> FSink;
  QWidget FOther;
};

TEST_F(NotifyWindowTest, ANewMessageShowsItsChatSenderAndLineWithMarkupEscaped) {
  Deliver({Incoming(kFamily, NewId(1), R"(1 < 2 & <b>bold</b>\nsecond line)")});
  const auto& calls = AwaitCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  const auto& call = calls[0];
  EXPECT_EQ(call.AppName, "Velune");
  EXPECT_EQ(call.ReplacesId, 0u);
  EXPECT_EQ(call.Icon, "velune-telegram");
  EXPECT_EQ(call.Summary.toStdString(), "Family 🏔 trip");
  EXPECT_EQ(call.Body.toStdString(), "Alice Moreau: 1 &lt; 2 &amp; &lt;b&gt;bold&lt;/b&gt;");
  EXPECT_EQ(call.Actions, (QStringList{"default", "Open"}));
  EXPECT_EQ(call.Hints.value("desktop-entry").toString(), "velune-telegram");
  EXPECT_EQ(call.Hints.value("category").toString(), "im.received");
  EXPECT_EQ(call.Timeout, -1);
}

// Each case's message is followed, in the background, by one from Omar, whose notification goes
// out last (with the case's, or after it): once Omar's has come, the case's would have too.
TEST_F(NotifyWindowTest, MessagesNobodyNeedsToBeToldAbout) {
  const struct {
    const char* Name;
    std::function<void()> Before;
    std::string Event;
    bool Notified;
  } cases[] = {
      {"an incoming message", {}, Incoming(kAlice, NewId(10), "hi"), true},
      {"an outgoing message", {}, Incoming(kAlice, NewId(11), "hi", 0, true, TScriptedAccount::kMe),
       false},
      {"a muted chat", {}, Incoming(kProductUpdates, NewId(12), "release"), false},
      {"read on another device", {}, Incoming(kClimbing, kClimbingRead, "old news"), false},
      {"older than an hour", {}, Incoming(kAlice, NewId(13), "hi", 2 * 3600), false},
      {"the chat shown in the active window",
       [this] {
         ClickChat("Alice Moreau");
         Activate();
       },
       Incoming(kAlice, NewId(14), "hi"), false},
      {"every chat's stream shown in the active window",
       [this] {
         Click(0);
         Activate();
       },
       Incoming(kAlice, NewId(15), "hi"), false},
      {"the chat shown in a window in the background",
       [this] {
         ClickChat("Alice Moreau");
         Deactivate();
       },
       Incoming(kAlice, NewId(16), "hi"), true},
  };
  int omar = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Before) c.Before();
    FService->Calls.clear();
    Deliver({c.Event});
    Deactivate();
    Deliver({Incoming(kOmar, NewId(++omar), "control", 0, false, kOmar)});
    ASSERT_TRUE(WaitFor([&] {
      return !FService->Calls.empty() && FService->Calls.back().Summary == "Omar Haddad";
    }));
    EXPECT_EQ(FService->Calls.size(), c.Notified ? 2u : 1u);
  }
}

TEST_F(NotifyWindowTest, TheSettingTurnsNotificationsOffAndIsKeptInTheSettingsFile) {
  Trigger("Notifications1");
  EXPECT_FALSE(Control<QAction>("Notifications1")->isChecked());
  Deliver({Incoming(kAlice, NewId(1), "unheard")});
  Trigger("Notifications1");
  Deliver({Incoming(kFamily, NewId(2), "heard")});
  AwaitCalls(1);
  Settle();
  EXPECT_THAT(Summaries(), ::testing::ElementsAre("Family 🏔 trip"));

  Trigger("Notifications1");
  ASSERT_TRUE(FWindow->close());
  const std::string saved = ReadText(FSettings);
  EXPECT_NE(saved.find("[TELEGRAM]\nApiId=12345\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[NOTIFICATIONS]\nEnabled=0\n"), std::string::npos) << saved;
  FWindow.reset();
  Open();
  EXPECT_FALSE(Control<QAction>("Notifications1")->isChecked());
}

TEST_F(NotifyWindowTest, ABurstBecomesOneNotificationPerChatEachReplacingTheLast) {
  std::vector<std::string> burst;
  for (int i = 1; i <= 300; ++i) {
    burst.push_back(Incoming(i % 2 != 0 ? kAlice : kFamily, NewId(i), "message " + std::to_string(i)));
  }
  Deliver(burst);
  Settle();
  const auto& calls = FService->Calls;
  // The first delivery's messages go out at once, the rest at most once per quiet time.
  ASSERT_GE(calls.size(), 2u);
  EXPECT_LE(calls.size(), 6u);
  std::map<QString, std::vector<const TFakeNotificationService::TNotify*>> byChat;
  for (const auto& call : calls) byChat[call.Summary.section(" (", 0, 0)].push_back(&call);
  ASSERT_EQ(byChat.size(), 2u);
  for (const auto& [chat, chatCalls] : byChat) {
    SCOPED_TRACE(chat.toStdString());
    for (size_t i = 1; i < chatCalls.size(); ++i) {
      EXPECT_EQ(chatCalls[i]->ReplacesId, chatCalls[0]->Id);
    }
  }
  EXPECT_EQ(byChat["Alice Moreau"].back()->Body, "Alice Moreau: message 299");
  EXPECT_EQ(byChat["Family 🏔 trip"].back()->Body, "Alice Moreau: message 300");
  EXPECT_THAT(byChat["Alice Moreau"].back()->Summary.toStdString(),
              ::testing::MatchesRegex("Alice Moreau \\([0-9]+ new messages\\)"));
}

TEST_F(NotifyWindowTest, ManyChatsAtOnceShareOneNotification) {
  // Right after a notification, whatever comes waits out the quiet time and goes out together.
  Deliver({Incoming(kOmar, NewId(1), "first", 0, false, kOmar)});
  AwaitCalls(1);
  const int64_t chats[] = {kAlice, kFamily, 6100000011, 6100000012, 6100000013, 6100000014};
  std::vector<std::string> events;
  int id = 1;
  for (int64_t chat : chats) events.push_back(Incoming(chat, NewId(++id), "hello"));
  Deliver(events);
  AwaitCalls(2);
  Settle();
  ASSERT_EQ(FService->Calls.size(), 2u);
  EXPECT_EQ(FService->Calls[1].Summary, "6 new messages in 6 chats");
  EXPECT_THAT(FService->Calls[1].Body.toStdString(), ::testing::EndsWith(" and 3 more"));
}

TEST_F(NotifyWindowTest, ActivatingANotificationOpensItsChat) {
  Deliver({Incoming(kFamily, NewId(1), "dinner?")});
  const uint id = AwaitCalls(1)[0].Id;
  FService->Invoke(id + 1, "default");  // another program's
  FService->Invoke(id, "other-action");
  FService->Invoke(id, "default");
  ASSERT_TRUE(WaitFor([&] { return FWindow->ChatId() == std::to_string(kFamily); }));
  EXPECT_EQ(Chats()->currentItem()->text().toStdString(), "Family 🏔 trip");
  EXPECT_EQ(Conversation()->isVisible(), true);
}

TEST_F(LoggedInWindowTest, TheTitleCountsUnreadMessagesOfUnmutedChatsInTheMainList) {
  const std::string ready = "Velune Telegram Client — Dana Whitfield — Ready";
  // Alice 1, Family 3, Climbing club 12, Design Team 4; Product Updates (2) is muted.
  EXPECT_EQ(FWindow->windowTitle().toStdString(), "(20) " + ready);
  const auto readInbox = [](int64_t aChat, int aUnread) {
    return R"({"@type":"updateChatReadInbox","chat_id":)" + std::to_string(aChat) +
           R"(,"last_read_inbox_message_id":1,"unread_count":)" + std::to_string(aUnread) + "}";
  };
  const auto mute = [](int64_t aChat, bool aMuted) {
    return R"({"@type":"updateChatNotificationSettings","chat_id":)" + std::to_string(aChat) +
           R"(,"notification_settings":{"@type":"chatNotificationSettings","use_default_mute_for":false,"mute_for":)" +
           (aMuted ? "86400" : "0") + "}}";
  };
  const auto groupsMuted = [](bool aMuted) {
    return std::string(
               R"({"@type":"updateScopeNotificationSettings","scope":{"@type":"notificationSettingsScopeGroupChats"},"notification_settings":{"@type":"scopeNotificationSettings","mute_for":)") +
           (aMuted ? "86400" : "0") + "}}";
  };
  const struct {
    const char* Name;
    std::vector<std::string> Events;
    const char* Count;
  } steps[] = {
      {"Alice read on another device", {readInbox(kAlice, 0)}, "(19) "},
      {"a new unread message in Family", {readInbox(kFamily, 4)}, "(20) "},
      {"Family muted", {mute(kFamily, true)}, "(16) "},
      {"Product Updates unmuted", {mute(kProductUpdates, false)}, "(18) "},
      {"Climbing club archived",
       {R"({"@type":"updateChatPosition","chat_id":-1001000000002,"position":{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"0","is_pinned":false}})"},
       "(6) "},
      // Family and Design Team follow the default of groups; Family's own setting stays.
      {"groups muted by default", {groupsMuted(true)}, "(2) "},
      {"everything read", {readInbox(kProductUpdates, 0)}, ""},
      {"a burst of updates", [&] {
         std::vector<std::string> burst;
         for (int i = 1; i <= 2000; ++i) burst.push_back(readInbox(kAlice, i));
         return burst;
       }(), "(2000) "},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Name);
    Deliver(step.Events);
    EXPECT_EQ(FWindow->windowTitle().toStdString(), step.Count + ready);
  }
  ClickChat("Alice Moreau");  // viewing it reads it
  ASSERT_TRUE(WaitFor([&] { return FWindow->windowTitle().toStdString() == ready; }));
  Deliver({readInbox(kAlice, 5)});
  Button("btnStop")->click();
  EXPECT_EQ(FWindow->windowTitle().toStdString(), "Velune Telegram Client");
}

TEST_F(WindowTest, ArgumentsFromTheCommandLineShowInTheStatusBar) {
  Open();
  FWindow->showMinimized();
  FWindow->CommandLineReceived({"tg://resolve?domain=velune", "--x"});
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(),
            "Received from the command line: tg://resolve?domain=velune --x");
  EXPECT_FALSE(FWindow->isMinimized());
}

}  // namespace
}  // namespace qvn::test
