// Chat, member, user, file and proxy request texts: exact templates, escaping, version layouts.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_RequestText.h"
#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

constexpr const char* kUnreportedVersion = "1.6.4";  // the client's version before TDLib reports one

struct ExactCase {
  const char* Name;
  std::string Actual;
  std::string Expected;
};

void ExpectExact(const std::vector<ExactCase>& aCases) {
  for (const ExactCase& c : aCases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Actual, c.Expected);
    EXPECT_NO_THROW(nlohmann::json::parse(c.Actual));
  }
}

TEST(ChatRequests, ExactTexts) {
  ExpectExact({
      {"AddChatMember", BuildAddChatMember("-5", 42, 100),
       "{\"@type\": \"addChatMember\", \"chat_id\": \"-5\", \"user_id\": 42, \"forward_limit\": "
       "100}"},
      {"AddChatMembers", BuildAddChatMembers("-5", {1, 2}),
       "{\"@type\": \"addChatMembers\", \"chat_id\": \"-5\", \"user_ids\": [1,2]}"},
      {"AddChatMembers empty", BuildAddChatMembers("-5", {}),
       "{\"@type\": \"addChatMembers\", \"chat_id\": \"-5\", \"user_ids\": []}"},
      {"CreateNewBasicGroupChat", BuildCreateNewBasicGroupChat({1, 5000000000LL}, "Team"),
       "{\"@type\": \"createNewBasicGroupChat\", \"user_ids\": [1,5000000000], \"title\": "
       "\"Team\"}"},
      {"CreateNewBasicGroupChat empty", BuildCreateNewBasicGroupChat({}, "Team"),
       "{\"@type\": \"createNewBasicGroupChat\", \"user_ids\": [], \"title\": \"Team\"}"},
      {"CreateNewSupergroupChat", BuildCreateNewSupergroupChat("News", true, "Daily"),
       "{\"@type\": \"createNewSupergroupChat\", \"title\": \"News\", \"is_channel\": true, "
       "\"description\": \"Daily\"}"},
      {"CreateNewSecretChat", BuildCreateNewSecretChat(5000000000LL),
       "{\"@type\": \"createNewSecretChat\", \"user_id\": 5000000000}"},
      {"CreatePrivateChat", BuildCreatePrivateChat(-42, false),
       "{\"@type\": \"createPrivateChat\", \"user_id\": -42, \"force\": false}"},
      {"DeleteSupergroup", BuildDeleteSupergroup(77, kUnreportedVersion),
       "{\"@type\": \"deleteSupergroup\", \"supergroup_id\": 77}"},
      {"DisableProxy", BuildDisableProxy(), "{\"@type\": \"disableProxy\"}"},
      {"EnableProxy", BuildEnableProxy(3), "{\"@type\": \"enableProxy\", \"proxy_id\": 3}"},
      {"GetBasicGroupFullInfo", BuildGetBasicGroupFullInfo(9),
       "{\"@type\": \"getBasicGroupFullInfo\",\"basic_group_id\": 9}"},
      {"GetChat", BuildGetChat("-5"), "{\"@type\": \"getChat\",\"chat_id\": \"-5\"}"},
      {"OpenChat", BuildOpenChat(-1001234567890123),
       R"({"@type":"openChat","chat_id":-1001234567890123})"},
      {"CloseChat", BuildCloseChat(6100000001), R"({"@type":"closeChat","chat_id":6100000001})"},
      {"DownloadFile", BuildDownloadFile(2147483647, 32),
       R"({"@type":"downloadFile","file_id":2147483647,"priority":32,"offset":0,"limit":0,)"
       R"("synchronous":false})"},
      {"GetChats", BuildGetChats(2147483647, 0, 50, 1234, kUnreportedVersion),
       "{\"@type\": \"getChats\", \"offset_order\": 2147483647, \"offset_chat_id\": 0, \"limit\": "
       "50, \"@extra\": 1234}"},
      {"LoadChats", BuildLoadChats(50, 1234, kUnreportedVersion),
       "{\"@type\": \"getChats\", \"offset_order\": 9223372036854775807, \"offset_chat_id\": 0, "
       "\"limit\": 50, \"@extra\": 1234}"},
      {"GetChatMember", BuildGetChatMember("-5", 42, kUnreportedVersion),
       "{\"@type\": \"getChatMember\", \"chat_id\": \"-5\", \"user_id\": 42}"},
      {"GetProxies", BuildGetProxies(), "{\"@type\": \"getProxies\"}"},
      {"GetSupergroupMembers", BuildGetSupergroupMembers(77, tsgmFilterNone, "", 0, 200),
       "{\"@type\": \"getSupergroupMembers\", \"supergroup_id\": 77, \"filter\": null, "
       "\"offset\": 0, \"limit\": 200}"},
      {"GetSupergroupMembers search",
       BuildGetSupergroupMembers(77, tsgmFilterSearch, "bob", -1, 10),
       "{\"@type\": \"getSupergroupMembers\", \"supergroup_id\": 77, \"filter\": {\"@type\": "
       "\"supergroupMembersFilterSearch\", \"query\": \"bob\"}, \"offset\": -1, \"limit\": 10}"},
      {"GetUser", BuildGetUser(42), "{\"@type\": \"getUser\", \"user_id\": 42}"},
      {"GetUser 64-bit", BuildGetUser(5000000000LL),
       "{\"@type\": \"getUser\", \"user_id\": 5000000000}"},
      {"JoinChatByInviteLink", BuildJoinChatByInviteLink("https://t.me/+AbC"),
       "{\"@type\": \"joinChatByInviteLink\", \"invite_link\": \"https:\\/\\/t.me\\/+AbC\"}"},
      {"LogOut", BuildLogOut(), "{\"@type\": \"logOut\"}"},
      {"SearchPublicChat", BuildSearchPublicChat("velune_news"),
       "{\"@type\": \"searchPublicChat\", \"username\": \"velune_news\"}"},
      {"RemoveProxy", BuildRemoveProxy(-3), "{\"@type\": \"removeProxy\", \"proxy_id\": -3}"},
  });
}

TEST(ChatRequests, SupergroupMembersFilters) {
  struct FilterCase {
    TqvnTelegramSuperGroupMembersFilter Filter;
    std::string WithQuery;  // filter text for the query "bob"
    std::string WithoutQuery;
  };
  auto plain = [](const char* aType) { return std::string("{\"@type\": \"") + aType + "\"}"; };
  auto query = [](const char* aType) {
    return std::string("{\"@type\": \"") + aType + "\", \"query\": \"bob\"}";
  };
  const std::vector<FilterCase> cases = {
      {tsgmFilterNone, "null", "null"},
      {tsgmFilterAdministrators, plain("supergroupMembersFilterAdministrators"),
       plain("supergroupMembersFilterAdministrators")},
      {tsgmFilterBanned, query("supergroupMembersFilterBanned"),
       plain("supergroupMembersFilterBanned")},
      {tsgmFilterBots, plain("supergroupMembersFilterBots"), plain("supergroupMembersFilterBots")},
      {tsgmFilterContacts, query("supergroupMembersFilterContacts"),
       plain("supergroupMembersFilterContacts")},
      {tsgmFilterMention, plain("supergroupMembersFilterMention"),
       plain("supergroupMembersFilterMention")},
      {tsgmFilterRecent, plain("supergroupMembersFilterRecent"),
       plain("supergroupMembersFilterRecent")},
      {tsgmFilterRestricted, query("supergroupMembersFilterRestricted"),
       plain("supergroupMembersFilterRestricted")},
      {tsgmFilterSearch, query("supergroupMembersFilterSearch"),
       plain("supergroupMembersFilterSearch")},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Filter));
    EXPECT_EQ(SupergroupMembersFilterText(c.Filter, "bob"), c.WithQuery);
    EXPECT_EQ(SupergroupMembersFilterText(c.Filter, ""), c.WithoutQuery);
  }
}

TEST(ChatRequests, ProxyAdditionsExactTexts) {
  ExpectExact({
      {"HTTP", BuildAddProxyHTTP("10.0.0.1", 8080, "user", "pw", true, kUnreportedVersion),
       "{\"@type\":\"addProxy\",\"enable\":true,\"server\":\"10.0.0.1\",\"port\":8080,"
       "\"type\":{\"@type\":\"proxyTypeHttp\",\"username\":\"user\",\"password\":\"pw\","
       "\"http_only\":true}}"},
      {"MTProto", BuildAddProxyMTProto("10.0.0.1", 443, "abcdef", kUnreportedVersion),
       "{\"@type\":\"addProxy\",\"enable\":true,\"server\":\"10.0.0.1\",\"port\":443,"
       "\"type\":{\"@type\":\"proxyTypeMtproto\",\"secret\":\"abcdef\"}}"},
      {"values that look like JSON stay strings",
       BuildAddProxyMTProto("{x", 443, "[1]", kUnreportedVersion),
       "{\"@type\":\"addProxy\",\"enable\":true,\"server\":\"{x\",\"port\":443,"
       "\"type\":{\"@type\":\"proxyTypeMtproto\",\"secret\":\"[1]\"}}"},
      {"SOCKS5", BuildAddProxySocks5("10.0.0.1", 1080, "", "", kUnreportedVersion),
       "{\"@type\":\"addProxy\",\"enable\":true,\"server\":\"10.0.0.1\",\"port\":1080,"
       "\"type\":{\"@type\":\"proxyTypeSocks5\",\"username\":\"\",\"password\":\"\"}}"},
  });
}

// Every text placed between quotes is escaped exactly once: hostile arguments give strict JSON
// that reads back as passed.
TEST(ChatRequests, HostileArgumentsReadBackAsPassed) {
  const std::string hostile = "q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  auto parse = [](const std::string& aRequest) {
    SCOPED_TRACE(aRequest);
    for (char c : aRequest) EXPECT_TRUE(c >= 32 && c <= 126) << "not printable ASCII";
    return nlohmann::json::parse(aRequest);
  };
  EXPECT_EQ(parse(BuildAddChatMember(hostile, 1, 2)).at("chat_id"), hostile);
  EXPECT_EQ(parse(BuildAddChatMembers(hostile, {1})).at("chat_id"), hostile);
  EXPECT_EQ(parse(BuildCreateNewBasicGroupChat({1}, hostile)).at("title"), hostile);
  const nlohmann::json supergroup = parse(BuildCreateNewSupergroupChat(hostile, false, hostile));
  EXPECT_EQ(supergroup.at("title"), hostile);
  EXPECT_EQ(supergroup.at("description"), hostile);
  EXPECT_EQ(parse(BuildGetChat(hostile)).at("chat_id"), hostile);
  EXPECT_EQ(parse(BuildGetChatMember(hostile, 1, kUnreportedVersion)).at("chat_id"), hostile);
  EXPECT_EQ(parse(BuildGetChatMember(hostile, 1, "1.8.67")).at("chat_id"), hostile);
  EXPECT_EQ(parse(BuildJoinChatByInviteLink(hostile)).at("invite_link"), hostile);
  EXPECT_EQ(parse(BuildSearchPublicChat(hostile)).at("username"), hostile);
  for (TqvnTelegramSuperGroupMembersFilter filter :
       {tsgmFilterBanned, tsgmFilterContacts, tsgmFilterRestricted, tsgmFilterSearch}) {
    EXPECT_EQ(parse(BuildGetSupergroupMembers(1, filter, hostile, 0, 1)).at("filter").at("query"),
              hostile);
  }
}

// Proxy values are escaped once; values that look like JSON ("{...", "[...") or like a
// pre-quoted string ("\"...") read back as passed.
TEST(ChatRequests, HostileProxyValuesReadBackAsPassed) {
  const std::vector<std::string> values = {"q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xF0\x9F\x98\x80",
                                           "{\"x\":1}",
                                           "[1]",
                                           "\"quoted",
                                           "",
                                           "%s"};
  for (const char* version : {"1.6.4", "1.8.67"}) {
    for (const std::string& v : values) {
      SCOPED_TRACE(std::string(version) + " " + v);
      const nlohmann::json http =
          nlohmann::json::parse(BuildAddProxyHTTP(v, 1, v, v, false, version));
      const nlohmann::json mtproto = nlohmann::json::parse(BuildAddProxyMTProto(v, 1, v, version));
      const nlohmann::json socks = nlohmann::json::parse(BuildAddProxySocks5(v, 1, v, v, version));
      for (const nlohmann::json* request : {&http, &mtproto, &socks}) {
        const nlohmann::json& proxy = request->contains("proxy") ? request->at("proxy") : *request;
        EXPECT_EQ(proxy.at("server"), v);
        EXPECT_EQ(proxy.at("port"), 1);
      }
      EXPECT_EQ(http.value("proxy", http).at("type").at("username"), v);
      EXPECT_EQ(http.value("proxy", http).at("type").at("password"), v);
      EXPECT_EQ(http.value("proxy", http).at("type").at("http_only"), false);
      EXPECT_EQ(mtproto.value("proxy", mtproto).at("type").at("secret"), v);
      EXPECT_EQ(socks.value("proxy", socks).at("type").at("username"), v);
      EXPECT_EQ(socks.value("proxy", socks).at("type").at("password"), v);
    }
  }
}

TEST(ChatRequests, LayoutsFollowTheTDLibVersion) {
  for (const char* version : {"1.6.4", "1.7.99"}) {
    EXPECT_EQ(BuildDeleteSupergroup(77, version),
              "{\"@type\": \"deleteSupergroup\", \"supergroup_id\": 77}")
        << version;
  }
  for (const char* version : {"1.8.0", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildDeleteSupergroup(77, version),
              "{\"@type\": \"deleteChat\", \"chat_id\": -1000000000077}")
        << version;
  }
  for (const char* version : {"1.6.4", "1.7.99"}) {
    EXPECT_EQ(BuildGetChatMember("-5", 42, version),
              "{\"@type\": \"getChatMember\", \"chat_id\": \"-5\", \"user_id\": 42}")
        << version;
  }
  for (const char* version : {"1.8.0", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildGetChatMember("-5", 42, version),
              "{\"@type\": \"getChatMember\", \"chat_id\": \"-5\", \"member_id\": {\"@type\": "
              "\"messageSenderUser\", \"user_id\": 42}}")
        << version;
  }
  // The chat id is exact up to the edge of the 64-bit range, and refused beyond it.
  EXPECT_EQ(BuildDeleteSupergroup(INT64_MAX - 1000000000000, "1.8.67"),
            "{\"@type\": \"deleteChat\", \"chat_id\": -9223372036854775807}");
  EXPECT_EQ(BuildDeleteSupergroup(INT64_MIN, "1.8.67"),
            "{\"@type\": \"deleteChat\", \"chat_id\": 9223371036854775808}");
  EXPECT_EQ(BuildDeleteSupergroup(INT64_MAX - 999999999999, "1.8.67"),
            "{\"@type\": \"deleteChat\", \"chat_id\": -9223372036854775808}");
  for (const int64_t id : {INT64_MAX - 999999999998, INT64_MAX}) {
    EXPECT_THROW(BuildDeleteSupergroup(id, "1.8.67"), EqvnTelegramRequestError) << id;
  }

  // Before 1.8.61 the proxy's members are the request's own; "enable" adds it enabled.
  for (const char* version : {"1.6.4", "1.8.0", "1.8.60"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildAddProxyMTProto("s", 443, "ab", version),
              "{\"@type\":\"addProxy\",\"enable\":true,\"server\":\"s\",\"port\":443,\"type\":"
              "{\"@type\":\"proxyTypeMtproto\",\"secret\":\"ab\"}}");
  }

  // From 1.8.0 TDLib's chat list has no offsets: getChats and loadChats take the list and a
  // limit only.
  for (const char* version : {"1.6.4", "1.7.99"}) {
    EXPECT_EQ(BuildGetChats(100, 7, 50, 1234, version),
              "{\"@type\": \"getChats\", \"offset_order\": 100, \"offset_chat_id\": 7, "
              "\"limit\": 50, \"@extra\": 1234}")
        << version;
  }
  for (const char* version : {"1.8.0", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildGetChats(100, 7, 50, 1234, version),
              "{\"@type\": \"getChats\", \"chat_list\": {\"@type\": \"chatListMain\"}, "
              "\"limit\": 50, \"@extra\": 1234}")
        << version;
    EXPECT_EQ(BuildLoadChats(20, -1, version),
              "{\"@type\": \"loadChats\", \"chat_list\": {\"@type\": \"chatListMain\"}, "
              "\"limit\": 20, \"@extra\": -1}")
        << version;
  }
  for (const char* version : {"1.8.61", "1.8.67", "1.10.0"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildAddProxyHTTP("s", 8080, "u", "p", true, version),
              "{\"@type\":\"addProxy\",\"proxy\":{\"@type\":\"proxy\",\"server\":\"s\",\"port\":"
              "8080,\"type\":{\"@type\":\"proxyTypeHttp\",\"username\":\"u\",\"password\":\"p\","
              "\"http_only\":true}},\"enable\":true}");
    EXPECT_EQ(BuildAddProxyMTProto("s", 443, "ab", version),
              "{\"@type\":\"addProxy\",\"proxy\":{\"@type\":\"proxy\",\"server\":\"s\",\"port\":"
              "443,\"type\":{\"@type\":\"proxyTypeMtproto\",\"secret\":\"ab\"}},\"enable\":true}");
    EXPECT_EQ(
        BuildAddProxySocks5("s", 1080, "u", "p", version),
        "{\"@type\":\"addProxy\",\"proxy\":{\"@type\":\"proxy\",\"server\":\"s\",\"port\":"
        "1080,\"type\":{\"@type\":\"proxyTypeSocks5\",\"username\":\"u\",\"password\":\"p\"}},"
        "\"enable\":true}");
  }
}

// editProxy and pingProxy follow addProxy's change of layout in 1.8.61: the proxy as an object,
// which pingProxy takes in place of the id.
TEST(ChatRequests, ProxyEditAndPingLayouts) {
  TqvnProxy socks;
  socks.Server = "s";
  socks.Port = 1080;
  socks.UserName = "u";
  socks.Password = "p";
  const std::string proxy =
      "{\"@type\":\"proxy\",\"server\":\"s\",\"port\":1080,\"type\":{\"@type\":"
      "\"proxyTypeSocks5\",\"username\":\"u\",\"password\":\"p\"}}";
  const std::string members = proxy.substr(std::string("{\"@type\":\"proxy\",").size());
  for (const char* version : {"1.6.4", "1.8.0", "1.8.60"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildEditProxy(7, socks, false, version),
              "{\"@type\":\"editProxy\",\"proxy_id\":7,\"enable\":false," + members);
    EXPECT_EQ(BuildPingProxy(7, socks, version), "{\"@type\":\"pingProxy\",\"proxy_id\":7}");
    EXPECT_EQ(BuildAddProxy(socks, version), BuildAddProxySocks5("s", 1080, "u", "p", version));
  }
  for (const char* version : {"1.8.61", "1.8.67"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildEditProxy(7, socks, true, version),
              "{\"@type\":\"editProxy\",\"proxy_id\":7,\"proxy\":" + proxy + ",\"enable\":true}");
    EXPECT_EQ(BuildPingProxy(7, socks, version), "{\"@type\":\"pingProxy\",\"proxy\":" + proxy + "}");
    EXPECT_EQ(BuildAddProxy(socks, version), BuildAddProxySocks5("s", 1080, "u", "p", version));
  }
}

// getProxies' answer in both layouts reads to the same proxies, every kind's members kept.
TEST(ChatRequests, ProxyListsOfBothLayoutsRead) {
  const std::string types[] = {
      R"({"@type":"proxyTypeSocks5","username":"u","password":"p"})",
      R"({"@type":"proxyTypeHttp","username":"u2","password":"p2","http_only":true})",
      R"({"@type":"proxyTypeMtproto","secret":"ee00"})"};
  std::string current = R"({"@type":"addedProxies","proxies":[)";
  std::string older = R"({"@type":"proxies","proxies":[)";
  for (int i = 0; i < 3; ++i) {
    const std::string id = std::to_string(i + 1);
    const std::string enabled = i == 1 ? "true" : "false";
    const std::string where = R"("server":"h)" + id + R"(","port":)" + id + "0";
    current += std::string(i ? "," : "") + R"({"@type":"addedProxy","id":)" + id +
               R"(,"last_used_date":17,"is_enabled":)" + enabled +
               R"(,"comment":"","proxy":{"@type":"proxy",)" + where + R"(,"type":)" + types[i] +
               "}}";
    older += std::string(i ? "," : "") + R"({"@type":"proxy","id":)" + id + "," + where +
             R"(,"last_used_date":17,"is_enabled":)" + enabled + R"(,"type":)" + types[i] + "}";
  }
  const std::vector<TqvnAddedProxy> expected = {
      {1, {TqvnProxyKind::socks5, "h1", 10, "u", "p", false, ""}, false, 17},
      {2, {TqvnProxyKind::http, "h2", 20, "u2", "p2", true, ""}, true, 17},
      {3, {TqvnProxyKind::mtproto, "h3", 30, "", "", false, "ee00"}, false, 17},
  };
  for (const std::string& text : {current + "]}", older + "]}"}) {
    SCOPED_TRACE(text);
    TqvnJSON answer;
    answer.Read(text);
    EXPECT_EQ(ReadProxies(answer), expected);
  }
  TqvnJSON empty;
  empty.Read(R"({"@type":"addedProxies","proxies":[]})");
  EXPECT_TRUE(ReadProxies(empty).empty());
}

}  // namespace
}  // namespace qvn::test
