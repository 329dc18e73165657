// Inputs the fuzzers (fuzz/) once failed on, kept as ordinary tests.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_MessageRequests.h"
#include "client/qvnTelegram_RichText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

// fuzz/regression/richtext-marker-joins-bytes: removing "~~~~" between the bytes DC and 97,
// which are no UTF-8 apart, joined them into U+0717, and the entities were counted past the
// end of the plain text.
TEST(FuzzCases, MarkersBetweenBytesThatAreNotUTF8JoinNothing) {
  const std::string input("~~~~\x8c#\xe0\xd5\xdc~~~~\x97\0\x8c~~~~~~", 22);
  std::string plain;
  std::string entities;
  ParseRichText(input, plain, entities);
  const std::string replacement = "\xef\xbf\xbd";
  // The lone "#" is text.
  EXPECT_EQ(plain, replacement + "#" + replacement + replacement + replacement + replacement +
                       std::string(1, '\0') + replacement);
  const nlohmann::json list = nlohmann::json::parse("[" + entities + "]");
  ASSERT_FALSE(list.empty());
  for (const nlohmann::json& entity : list) {
    EXPECT_LE(entity["offset"].get<int>() + entity["length"].get<int>(),
              static_cast<int>(UTF16Length(plain)))
        << entities;
  }
  // The request carries the same text the entities were counted on.
  const nlohmann::json request =
      nlohmann::json::parse(BuildSendRichTextMessage("1", input, nullptr, nullptr));
  EXPECT_EQ(request["input_message_content"]["text"]["text"].get<std::string>(), plain);
}

}  // namespace
}  // namespace qvn::test
