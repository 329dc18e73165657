// The request texts against the real TDLib (offline, in a fresh database directory): TDLib's own
// JSON reader accepts every request the client builds, and the proxy commands work end to end.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "spine_test_support.h"

namespace qvn::test {
namespace {

// A client logged in to nothing: TDLib has accepted its parameters and waits for a phone number,
// which is never given, so nothing but the test's own requests is answered from then on.
class RealTDLib : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velune-requests-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory = pattern;

    client.Telegram().API().SetApiId("12345");
    client.Telegram().API().SetApiHash("0123456789abcdef0123456789abcdef");
    client.Telegram().SetDatabaseDirectory((std::filesystem::path(directory) / "db").string());
    client.Telegram().SetErrorsLevel(tvbFatalErrors);
    client.SetEventsPerTick(1000);  // TDLib starts with a burst of some hundred updates
    client.OnBeforeReadEvent = [this](TqvnTDLib_Telegram_Client*, const std::string& Text,
                                      bool& Handled) {
      events.push_back(Text);
      if (Text == "{\"@type\":\"ok\"}") parametersAccepted = true;
      if (Text.find("\"authorizationStateWaitPhoneNumber\"") != std::string::npos) {
        waitingForPhone = true;
        Handled = true;  // no phone number is sent
      }
    };
    client.OnException = [this](TqvnTDLib_Telegram_Client*, const std::exception& E) {
      exceptions.push_back(E.what());
    };
    client.SetActive(true);
    ASSERT_TRUE(client.Active());
    ASSERT_TRUE(PumpUntil([&] { return waitingForPhone && parametersAccepted; })) << Log();
    EXPECT_EQ(client.TDLibVersion(), "1.8.67");
  }

  void TearDown() override {
    client.SetActive(false);
    PumpMainThreadQueue();
    EXPECT_TRUE(exceptions.empty()) << exceptions.front();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  std::string Log() const {
    std::string log;
    for (const std::string& event : events) log += event + "\n";
    return log;
  }

  // Sends through aSend and waits for the next answer of TDLib's that is not an update.
  nlohmann::json Answer(const std::function<void()>& aSend) {
    const size_t seen = events.size();
    aSend();
    nlohmann::json answer;
    const bool answered = PumpUntil([&] {
      for (size_t i = seen; i < events.size(); ++i) {
        nlohmann::json event = nlohmann::json::parse(events[i]);
        if (event.at("@type").get<std::string>().rfind("update", 0) != 0) {
          answer = event;
          return true;
        }
      }
      return false;
    });
    EXPECT_TRUE(answered) << Log();
    return answer;
  }

  std::string directory;
  TestClient client;
  std::vector<std::string> events;
  std::vector<std::string> exceptions;
  bool waitingForPhone = false;
  bool parametersAccepted = false;  // TDLib's "ok" to the parameters
};

TEST_F(RealTDLib, ReaderAcceptsEveryRequest) {
  const std::string version = client.TDLibVersion();
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback("Yes", "y");
  inlineKeyboard.AddButtonTypeURL("Site", "https://example.org/");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeRequestLocation("Where");
  showKeyboard.AddButtonTypeRequestPhoneNumber("Phone");
  showKeyboard.AddButtonTypeText("OK");
  TqvnTelegramSendInvoice invoice;
  invoice.SetTitle("T");
  invoice.SetProviderData("{}");
  invoice.Invoice().SetCurrency("EUR");
  invoice.Invoice().SetTotal(100);

  const std::vector<std::string> requests = {
      BuildSendTextMessage("-100123", "Hi", &inlineKeyboard, nullptr),
      BuildSendRichTextMessage("-100123", "**Hi** __there__", nullptr, &showKeyboard),
      BuildSendDocumentMessage("-100123", "/tmp/a.txt", nullptr, nullptr, version),
      BuildSendPhotoMessage("-100123", "/tmp/a.jpg", 640, 480, nullptr, nullptr, version),
      BuildSendVideoMessage("-100123", "/tmp/a.mp4", 640, 480, 10, nullptr, nullptr, version),
      BuildSendInvoiceMessage("-100123", invoice, &inlineKeyboard, nullptr),
      BuildEditTextMessage("-100123", "456", "Hi", &inlineKeyboard, nullptr),
      BuildViewMessage("-100123", "456", true),
      BuildGetChatHistory("-100123", "0", 0, 20),
      BuildGetChatSponsoredMessage("-100123", version),
      BuildAddChatMember("-5", 42, 100),
      BuildAddChatMembers("-5", {1, 2}),
      BuildAddProxyHTTP("127.0.0.1", 8080, "u", "p", true, version),
      BuildAddProxyMTProto("127.0.0.1", 443, "0123456789abcdef0123456789abcdef", version),
      BuildAddProxySocks5("127.0.0.1", 1080, "u", "p", version),
      BuildCreateNewBasicGroupChat({1, 2}, "Team"),
      BuildCreateNewSupergroupChat("News", true, "Daily"),
      BuildCreateNewSecretChat(42),
      BuildCreatePrivateChat(42, false),
      BuildDeleteSupergroup(77, version),
      BuildDisableProxy(),
      BuildEnableProxy(1),
      BuildGetProxies(),
      BuildRemoveProxy(1),
      BuildGetBasicGroupFullInfo(9),
      BuildGetChat("-5"),
      BuildGetChats(2147483647, 0, 50, client.Id()),
      BuildGetChatMember("-5", 42, version),
      BuildGetSupergroupMembers(77, tsgmFilterSearch, "bob", 0, 200),
      BuildGetSupergroupMembers(77, tsgmFilterNone, "", 0, 200),
      BuildGetUser(42),
      BuildJoinChatByInviteLink("https://t.me/+AbC"),
      BuildLogOut(),
  };
  for (const std::string& request : requests) {
    SCOPED_TRACE(request);
    const char* answer = tdjson::td_json_client_execute(client.Client(), request.c_str());
    ASSERT_NE(answer, nullptr);
    const nlohmann::json json = nlohmann::json::parse(answer);
    EXPECT_EQ(json.value("message", ""), "The method can't be executed synchronously") << answer;
  }
  // Hostile texts, escaped once, are read by TDLib as well as by a strict JSON parser.
  const std::string hostile = "q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  for (const std::string& request : {
           BuildSendRichTextMessage("-100123", hostile, &inlineKeyboard, &showKeyboard),
           BuildAddProxySocks5(hostile, 1080, hostile, hostile, version),
           BuildCreateNewSupergroupChat(hostile, false, hostile),
       }) {
    SCOPED_TRACE(request);
    const std::string answer = tdjson::td_json_client_execute(client.Client(), request.c_str());
    EXPECT_NE(answer.find("The method can't be executed synchronously"), std::string::npos)
        << answer;
  }
  // The check tells a text TDLib cannot read: the written layout of a request TDLib dropped.
  const std::string dropped = BuildDeleteSupergroup(77, "1.6.4");
  const std::string answer = tdjson::td_json_client_execute(client.Client(), dropped.c_str());
  EXPECT_NE(answer.find("Unknown class"), std::string::npos) << answer;
}

TEST_F(RealTDLib, ProxyLifeCycle) {
  const nlohmann::json http =
      Answer([&] { client.AddProxyHTTP("127.0.0.1", 8080, "u", "p", true); });
  const nlohmann::json mtproto =
      Answer([&] { client.AddProxyMTProto("127.0.0.1", 443, "0123456789abcdef0123456789abcdef"); });
  const nlohmann::json socks = Answer([&] { client.AddProxySocks5("127.0.0.1", 1080, "u", "p"); });
  std::vector<int> ids;
  for (const nlohmann::json* added : {&http, &mtproto, &socks}) {
    ASSERT_NE(added->at("@type"), "error") << added->dump();
    ids.push_back(added->at("id").get<int>());
  }

  const nlohmann::json listed = Answer([&] { client.GetProxies(); });
  ASSERT_EQ(listed.at("@type"), "addedProxies") << listed.dump();
  EXPECT_EQ(listed.at("proxies").size(), 3u);

  EXPECT_EQ(Answer([&] { client.EnableProxy(ids[1]); }).at("@type"), "ok");
  EXPECT_EQ(Answer([&] { client.DisableProxy(); }).at("@type"), "ok");
  for (int id : ids) {
    EXPECT_EQ(Answer([&] { client.RemoveProxy(id); }).at("@type"), "ok") << id;
  }
  EXPECT_EQ(Answer([&] { client.GetProxies(); }).at("proxies").size(), 0u);
}

}  // namespace
}  // namespace qvn::test
