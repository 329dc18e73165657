// Hostile arguments for the request builders: whatever a user or a caller passes, each request
// text is one valid JSON object and the argument reads back from it as given (bytes that are
// not UTF-8 as U+FFFD); nothing can end a string early or add a member.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

const std::vector<std::string> kHostileArguments = {
    "\"",
    "\\",
    "\\\"",
    "\", \"@type\": \"logOut",
    "\"}, {\"@type\": \"deleteAccount\"} //",
    "{\"@type\": \"logOut\"}",
    "[1, 2]",
    "%s%d%n",
    std::string("nul\0inside", 10),
    "line\nbreak\r\ttab\b\f",
    "\x01\x1f\x7f",
    "\xff\xfe invalid \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 cut \xe2\x82",
    "\xf0\x9f\x98\x80 emoji \xe2\x80\xa8 separator",
    "</script><!--",
    std::string(70000, '"'),
};

// Each builder with the argument in one of its quoted places.
const std::vector<std::pair<const char*, std::function<std::string(const std::string&)>>>
    kBuilders = {
        {"SendTextMessage text",
         [](const std::string& a) { return BuildSendTextMessage("1", a, nullptr, nullptr); }},
        {"SendTextMessage chat id",
         [](const std::string& a) { return BuildSendTextMessage(a, "t", nullptr, nullptr); }},
        {"SendDocumentMessage path",
         [](const std::string& a) {
           return BuildSendDocumentMessage("1", a, nullptr, nullptr, "1.8.67");
         }},
        {"EditTextMessage message id",
         [](const std::string& a) { return BuildEditTextMessage("1", a, "t", nullptr, nullptr); }},
        {"CreateNewSupergroupChat title",
         [](const std::string& a) { return BuildCreateNewSupergroupChat(a, false, "d"); }},
        {"JoinChatByInviteLink link",
         [](const std::string& a) { return BuildJoinChatByInviteLink(a); }},
        {"AddProxySocks5 password",
         [](const std::string& a) { return BuildAddProxySocks5("h", 1080, "u", a, "1.8.67"); }},
        {"AddProxyMTProto server, old layout",
         [](const std::string& a) { return BuildAddProxyMTProto(a, 443, "s", "1.6.4"); }},
        {"CheckAuthenticationPassword",
         [](const std::string& a) { return CheckAuthenticationPasswordRequest(a); }},
        {"CheckAuthenticationBotToken",
         [](const std::string& a) { return CheckAuthenticationBotTokenRequest(a); }},
        {"SetTdlibParameters API hash",
         [](const std::string& a) {
           TqvnTelegram_Options options;
           options.API().SetApiId("1");
           options.API().SetApiHash(a);
           return SetTdlibParametersRequest(options, "tdlib", "1.8.67");
         }},
};

// Whether aValue holds aText as one of its string values, at any depth.
bool HoldsString(const nlohmann::json& aValue, const std::string& aText) {
  if (aValue.is_string()) return aValue.get<std::string>() == aText;
  if (!aValue.is_structured()) return false;
  for (const nlohmann::json& item : aValue) {
    if (HoldsString(item, aText)) return true;
  }
  return false;
}

TEST(HostileRequestArguments, NeverBreakOrInjectIntoARequest) {
  for (const auto& [name, build] : kBuilders) {
    for (size_t i = 0; i < kHostileArguments.size(); ++i) {
      SCOPED_TRACE(std::string(name) + ", argument " + std::to_string(i));
      const std::string& argument = kHostileArguments[i];
      const std::string request = build(argument);
      const nlohmann::json parsed = nlohmann::json::parse(request, nullptr, false);
      ASSERT_FALSE(parsed.is_discarded()) << request.substr(0, 300);
      ASSERT_TRUE(parsed.is_object());
      EXPECT_NE(parsed["@type"], "logOut");
      // The argument as it was typed, with only bytes that are not UTF-8 replaced.
      const std::string delivered = UnescapeJSONString(EscapeJSONString(argument));
      EXPECT_TRUE(HoldsString(parsed, delivered)) << request.substr(0, 300);
    }
  }
}

}  // namespace
}  // namespace qvn::test
