// Every request the engine builds, in the layout it picks for each TDLib release (one test
// process per release, see tests/support/TDLibRelease.h), against that release itself:
// - TDLib's JSON reader accepts it whole. td_json_client_execute without a client classifies a
//   text without sending it: a text it can read as a request is refused only because the method
//   cannot run synchronously; any other answer names what it could not read.
// - TDLib reads every member of it. A member's value is replaced by one of the wrong JSON kind
//   (an object for an array, an array for anything else); a member TDLib reads then fails the
//   parse, one it never reads leaves the request readable, and that is a fault of the request.
// And the proxy requests work end to end on a client that TDLib has taken the parameters of.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_MessageActions.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnJSON.h"
#include "release_client.h"
#include "tests/support/TDLibExecute.h"
#include "tests/support/TDLibRelease.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

constexpr const char* kReadable = "The method can't be executed synchronously";
constexpr const char* kUnreadable = "Failed to parse JSON object as TDLib request";

// TDLib's answer to aRequest executed without a client: nothing is sent anywhere.
nlohmann::json Classify(const std::string& aRequest) {
  return nlohmann::json::parse(ExecuteWithoutClient(aRequest));
}

// The JSON pointer of every member of aValue, nested ones included, but "@type" and "@extra"
// (which TDLib reads apart from the request's members).
void MemberPaths(const nlohmann::json& aValue, const nlohmann::json::json_pointer& aAt,
                 std::vector<nlohmann::json::json_pointer>& aPaths) {
  if (aValue.is_object()) {
    for (const auto& [name, member] : aValue.items()) {
      if (name == "@type" || name == "@extra") continue;
      aPaths.push_back(aAt / name);
      MemberPaths(member, aAt / name, aPaths);
    }
  } else if (aValue.is_array()) {
    for (size_t i = 0; i < aValue.size(); ++i) MemberPaths(aValue[i], aAt / i, aPaths);
  }
}

// The members of aRequest that TDLib never reads (see the top of the file).
std::vector<std::string> UnreadMembers(const std::string& aRequest) {
  const nlohmann::json request = nlohmann::json::parse(aRequest);
  std::vector<nlohmann::json::json_pointer> paths;
  MemberPaths(request, nlohmann::json::json_pointer(), paths);
  std::vector<std::string> unread;
  for (const nlohmann::json::json_pointer& path : paths) {
    nlohmann::json probe = request;
    probe[path] = probe[path].is_array() ? nlohmann::json{{"@type", "qvnNoSuchClass"}}
                                         : nlohmann::json::array();
    const std::string message = Classify(probe.dump()).value("message", "");
    if (message.rfind(kUnreadable, 0) != 0) unread.push_back(path.to_string());
  }
  return unread;
}

struct TRequest {
  std::string Name;
  std::string Text;
};

// Every kind of request, laid out for aVersion, with ordinary and hostile arguments.
std::vector<TRequest> EveryRequest(const std::string& aVersion) {
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback("Yes", "y\"es\\");
  inlineKeyboard.AddButtonTypeURL("Site", "https://example.org/");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.SetResizeKeyboard(true);
  showKeyboard.AddButtonTypeRequestLocation("Where");
  showKeyboard.AddButtonTypeRequestPhoneNumber("Phone");
  showKeyboard.AddButtonTypeText("OK");
  TqvnTelegramSendInvoice invoice;
  invoice.SetTitle("T");
  invoice.SetDescription("D");
  invoice.SetPayload("order-42");  // TDLib's "bytes": refused unless Base64
  invoice.SetProviderToken("284685063:TEST:abc");
  invoice.SetProviderData("{}");
  invoice.SetStartParameter("s");
  invoice.Invoice().SetCurrency("EUR");
  invoice.Invoice().SetTotal(100);
  invoice.Invoice().SetNeedName(true);
  TqvnTelegram_Options options;
  options.API().SetApiId("94575");
  options.API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  options.SetDBEncryptionKey("key \"\\ \xC3\xA9");
  const std::string hostile = "q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  TqvnProxy http;
  http.Kind = TqvnProxyKind::http;
  http.Server = "127.0.0.1";
  http.Port = 8080;
  http.UserName = hostile;
  http.Password = "p";
  http.HTTPOnly = true;

  std::vector<TRequest> requests = {
      {"SendTextMessage", BuildSendTextMessage("-100123", "Hi", &inlineKeyboard, nullptr)},
      {"SendRichTextMessage",
       BuildSendRichTextMessage("-100123", "**Hi** __there__ --s-- ~~u~~ ##c##", nullptr,
                                &showKeyboard)},
      {"SendRichTextMessage hostile",
       BuildSendRichTextMessage("-100123", hostile, &inlineKeyboard, nullptr)},
      {"SendRichTextMessage keeping a link",
       BuildSendRichTextMessage("-100123", "**x.org/a__b**", nullptr, nullptr, {{2, 12}})},
      {"SendRichTextReply", BuildSendRichTextReply(-100123, 456, "**Hi** @a_b", {{7, 4}}, aVersion)},
      {"SendDocumentMessage",
       BuildSendDocumentMessage("-100123", "/tmp/a.txt", nullptr, nullptr, aVersion)},
      {"SendPhotoMessage",
       BuildSendPhotoMessage("-100123", "/tmp/a.jpg", 640, 480, nullptr, nullptr, aVersion)},
      {"SendDocumentWithCaption",
       BuildSendDocumentWithCaption(-100123, "/tmp/a.txt", "a **b** @c_d", {{8, 4}}, aVersion)},
      {"SendPhotoWithCaption",
       BuildSendPhotoWithCaption(-100123, "/tmp/a.jpg", 640, 480, "a __b__", {}, aVersion)},
      {"SendVideoMessage", BuildSendVideoMessage("-100123", "/tmp/a.mp4", 640, 480, 2147483647,
                                                 nullptr, nullptr, aVersion)},
      {"SendInvoiceMessage", BuildSendInvoiceMessage("-100123", invoice, &inlineKeyboard, nullptr)},
      {"EditTextMessage", BuildEditTextMessage("-100123", "456", "Hi", &inlineKeyboard, nullptr)},
      {"ViewMessage", BuildViewMessage("-100123", "456", true)},
      {"GetChatHistory", BuildGetChatHistory("-100123", "0", 0, 20)},
      {"GetChatHistory numeric", BuildGetChatHistory(-100123, 456, 0, 20)},
      {"ViewMessages", BuildViewMessages(-100123, {456, 789}, true, aVersion)},
      {"ResendMessages", BuildResendMessages(-100123, {456})},
      {"getChatSponsoredMessage", BuildGetChatSponsoredMessage("-100123", aVersion)},
      {"DeleteMessages", BuildDeleteMessages(-100123, {456, 789}, true)},
      {"ForwardMessages", BuildForwardMessages(-100123, 42, {456})},
      {"SetChatDraftMessage hostile", BuildSetChatDraftMessage(-100123, hostile, aVersion)},
      {"SetChatDraftMessage removed", BuildSetChatDraftMessage(-100123, "", aVersion)},
      {"AddChatMember", BuildAddChatMember("-5", 42, 100)},
      {"AddChatMembers", BuildAddChatMembers("-5", {1, 2})},
      {"AddProxyHTTP", BuildAddProxyHTTP("127.0.0.1", 8080, "u", "p", true, aVersion)},
      {"AddProxyMTProto",
       BuildAddProxyMTProto("127.0.0.1", 443, "0123456789abcdef0123456789abcdef", aVersion)},
      {"AddProxySocks5 hostile", BuildAddProxySocks5(hostile, 1080, hostile, hostile, aVersion)},
      {"CreateNewBasicGroupChat", BuildCreateNewBasicGroupChat({1, 2}, "Team")},
      {"CreateNewSupergroupChat hostile", BuildCreateNewSupergroupChat(hostile, true, hostile)},
      {"CreateNewSecretChat", BuildCreateNewSecretChat(42)},
      {"CreatePrivateChat", BuildCreatePrivateChat(42, false)},
      {"DeleteSupergroup", BuildDeleteSupergroup(77, aVersion)},
      {"DisableProxy", BuildDisableProxy()},
      {"EditProxy", BuildEditProxy(1, http, true, aVersion)},
      {"PingProxy", BuildPingProxy(1, http, aVersion)},
      {"EnableProxy", BuildEnableProxy(1)},
      {"GetProxies", BuildGetProxies()},
      {"RemoveProxy", BuildRemoveProxy(1)},
      {"GetBasicGroupFullInfo", BuildGetBasicGroupFullInfo(9)},
      {"GetChat", BuildGetChat("-5")},
      {"OpenChat", BuildOpenChat(-5)},
      {"CloseChat", BuildCloseChat(-5)},
      {"DownloadFile", BuildDownloadFile(501, 1)},
      {"GetChats", BuildGetChats(2147483647, 0, 50, 1234, aVersion)},
      {"LoadChats", BuildLoadChats(50, 1234, aVersion)},
      {"GetChatMember", BuildGetChatMember("-5", 42, aVersion)},
      {"GetSupergroupMembers search",
       BuildGetSupergroupMembers(77, tsgmFilterSearch, "bob", 0, 200)},
      {"GetSupergroupMembers no filter", BuildGetSupergroupMembers(77, tsgmFilterNone, "", 0, 200)},
      {"GetUser", BuildGetUser(42)},
      {"JoinChatByInviteLink", BuildJoinChatByInviteLink("https://t.me/+AbC")},
      {"LogOut", BuildLogOut()},
      {"setTdlibParameters", SetTdlibParametersRequest(options, "/tmp/db", aVersion)},
      {"checkAuthenticationBotToken", CheckAuthenticationBotTokenRequest("123:abc")},
      {"setAuthenticationPhoneNumber", SetAuthenticationPhoneNumberRequest("+15550100")},
      {"checkAuthenticationCode", CheckAuthenticationCodeRequest("24680")},
      {"checkAuthenticationPassword", CheckAuthenticationPasswordRequest(hostile)},
      {"registerUser", RegisterUserRequest(hostile, "O'Neil")},
  };
  // Older releases answer with the message's own can_be_* members instead.
  if (TDLibVersionAtLeast(aVersion, "1.8.58")) {
    requests.push_back({"GetMessageProperties", BuildGetMessageProperties(-100123, 456)});
  }
  // Only the releases that ask for the key in a state of their own know this request.
  if (!TDLibVersionNewerThan(aVersion, kLastNestedParametersTDLib)) {
    requests.push_back({"checkDatabaseEncryptionKey", CheckDatabaseEncryptionKeyRequest("key")});
  }
  return requests;
}

using ReleaseRequests = TDLibReleaseTest;

TEST_F(ReleaseRequests, TDLibReadsEveryRequestWhole) {
  for (const TRequest& request : EveryRequest(Release())) {
    SCOPED_TRACE(request.Name + " on TDLib " + Release() + ": " + request.Text);
    const nlohmann::json answer = Classify(request.Text);
    if (answer.value("message", "") != kReadable) {
      ADD_FAILURE() << "TDLib cannot read it: " << answer.dump();
      continue;  // its members cannot be probed
    }
    EXPECT_EQ(UnreadMembers(request.Text), std::vector<std::string>{});
  }
}

// The two checks tell what they claim to: a layout this release dropped is not readable, and a
// member no release reads is found.
TEST_F(ReleaseRequests, TheChecksFindWhatTDLibDoesNotRead) {
  SCOPED_TRACE("TDLib " + Release());
  const nlohmann::json dropped = Classify(BuildDeleteSupergroup(77, "1.6.4"));
  EXPECT_EQ(dropped.value("message", "").rfind(kUnreadable, 0), 0u) << dropped.dump();
  EXPECT_EQ(UnreadMembers(R"({"@type": "getChat", "chat_id": 5, "qvn_unknown": {"a": [1]}})"),
            (std::vector<std::string>{"/qvn_unknown", "/qvn_unknown/a"}));
}

// Each release reads the replied message in its own layout only: the other layout's member is
// one this release never reads.
TEST_F(ReleaseRequests, OnlyThisReleasesReplyLayoutIsRead) {
  SCOPED_TRACE("TDLib " + Release());
  const bool current = TDLibVersionAtLeast(Release(), kTDLibInputReplyTo);
  const std::string other =
      BuildSendRichTextReply(-100123, 456, "x", {}, current ? "1.8.14" : "1.8.67");
  ASSERT_EQ(Classify(other).value("message", ""), kReadable);
  const std::vector<std::string> unread = UnreadMembers(other);
  ASSERT_FALSE(unread.empty());
  EXPECT_EQ(unread.front(), current ? "/reply_to_message_id" : "/reply_to");
}

// Requests made the moment activation returns are laid out for this release already: the
// client knows the version before TDLib's first update is handled.
TEST_F(ReleaseRequests, TheFirstRequestsFollowThisRelease) {
  SCOPED_TRACE("TDLib " + Release());
  TTempDir folder;
  TReleaseClient client(folder.Path() / "db", "", /*aSendPhoneNumber=*/false);
  TestClient& telegram = client.Client();
  telegram.SetActive(true);
  EXPECT_EQ(telegram.TDLibVersion(), Release());

  std::vector<TqvnTelegramAnswer> answers(4);
  size_t answered = 0;
  const auto keep = [&](size_t aIndex) {
    return [&, aIndex](auto*, const TqvnTelegramAnswer& aAnswer) {
      answers[aIndex] = aAnswer;
      ++answered;
    };
  };
  telegram.AddProxySocks5("127.0.0.1", 1080, "u", "p", keep(0));
  telegram.DeleteSupergroup(77, keep(1));
  telegram.GetChatSponsoredMessage("-5", keep(2));
  telegram.SendPhotoMessage("-5", "p.jpg", 1, 2, nullptr, nullptr, keep(3));
  ASSERT_TRUE(client.Until([&] { return answered == answers.size(); }));
  // Not logged in, TDLib refuses most of them, but it reads every one.
  for (const TqvnTelegramAnswer& answer : answers) {
    SCOPED_TRACE(answer.Text);
    EXPECT_NE(answer.Kind, takNotSent);
    EXPECT_EQ(answer.Message.rfind(kUnreadable, 0), std::string::npos);
    EXPECT_EQ(answer.Message.find("Unknown class"), std::string::npos);
  }
  // "proxy", from 1.8.61 on "addedProxy".
  EXPECT_NE(answers[0].Type.find("roxy"), std::string::npos);
}

// Adding, listing, enabling, disabling and removing proxies on a client that TDLib has taken the
// parameters of (waiting, offline, for a phone number that never comes).
TEST_F(ReleaseRequests, ProxyLifeCycle) {
  SCOPED_TRACE("TDLib " + Release());
  TTempDir folder;
  TReleaseClient client(folder.Path() / "db", "", /*aSendPhoneNumber=*/false);
  ASSERT_TRUE(client.ReachPhoneNumber()) << client.Log();
  TestClient& telegram = client.Client();

  std::vector<int> ids;
  for (const std::function<void()>& add : std::vector<std::function<void()>>{
           [&] { telegram.AddProxyHTTP("127.0.0.1", 8080, "u", "p", true); },
           [&] { telegram.AddProxyMTProto("127.0.0.1", 443, "0123456789abcdef0123456789abcdef"); },
           [&] { telegram.AddProxySocks5("127.0.0.1", 1080, "u", "p"); }}) {
    const nlohmann::json added = client.Answer(add);
    ASSERT_TRUE(added.contains("id")) << added.dump();
    ids.push_back(added.at("id").get<int>());
  }
  // The enabled proxies' ids, as TDLib lists them.
  const auto enabled = [&] {
    const nlohmann::json listed = client.Answer([&] { telegram.GetProxies(); });
    std::vector<int> result;
    for (const nlohmann::json& proxy : listed.at("proxies")) {
      if (proxy.at("is_enabled").get<bool>()) result.push_back(proxy.at("id").get<int>());
    }
    EXPECT_EQ(listed.at("proxies").size(), ids.size()) << listed.dump();
    return result;
  };
  // Each proxy is added enabled, which disables the one before.
  EXPECT_EQ(enabled(), std::vector<int>{ids[2]});

  // An edit keeps the proxy's id; the list then holds what it was changed to.
  TqvnProxy edited;
  edited.Kind = TqvnProxyKind::mtproto;
  edited.Server = "127.0.0.2";
  edited.Port = 8443;
  edited.Secret = "dd0123456789abcdef0123456789abcdef";
  const nlohmann::json editAnswer = client.Answer([&] { telegram.EditProxy(ids[1], edited, false); });
  EXPECT_EQ(editAnswer.value("id", 0), ids[1]) << editAnswer.dump();
  TqvnJSON listed;
  listed.Read(client.Answer([&] { telegram.GetProxies(); }).dump());
  const std::vector<TqvnAddedProxy> proxies = ReadProxies(listed);
  ASSERT_EQ(proxies.size(), ids.size());
  EXPECT_EQ(proxies[1].Id, ids[1]);
  EXPECT_EQ(proxies[1].Proxy, edited);
  EXPECT_EQ(enabled(), std::vector<int>{ids[2]});

  EXPECT_EQ(client.Answer([&] { telegram.EnableProxy(ids[0]); }).at("@type"), "ok");
  EXPECT_EQ(enabled(), std::vector<int>{ids[0]});
  EXPECT_EQ(client.Answer([&] { telegram.DisableProxy(); }).at("@type"), "ok");
  EXPECT_EQ(enabled(), std::vector<int>{});
  for (const int id : std::vector<int>(ids)) {
    EXPECT_EQ(client.Answer([&] { telegram.RemoveProxy(id); }).at("@type"), "ok") << id;
  }
  ids.clear();
  EXPECT_EQ(enabled(), std::vector<int>{});
  EXPECT_TRUE(client.Failures.empty()) << client.Failures.front();
}

}  // namespace
}  // namespace qvn::test
