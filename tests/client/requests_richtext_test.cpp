// The doubled-marker rich-text parser: plain text, entities, UTF-16 offsets.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "client/qvnTelegram_RichText.h"

namespace qvn::test {
namespace {

struct Entity {
  int Offset;
  int Length;
  std::string Type;
  bool operator==(const Entity&) const = default;
};

std::ostream& operator<<(std::ostream& aOs, const Entity& e) {
  return aOs << "{" << e.Offset << "," << e.Length << "," << e.Type << "}";
}

// Parses the entity list (which has no brackets of its own) as strict JSON.
std::vector<Entity> ParseEntities(const std::string& aEntities) {
  std::vector<Entity> result;
  for (const auto& item : nlohmann::json::parse("[" + aEntities + "]")) {
    EXPECT_EQ(item.at("@type"), "textEntity");
    result.push_back({item.at("offset").get<int>(), item.at("length").get<int>(),
                      item.at("type").at("@type").get<std::string>()});
  }
  return result;
}

constexpr const char* kBold = "textEntityTypeBold";

struct RichCase {
  const char* Name;
  std::string Input;
  std::string Plain;
  std::vector<Entity> Entities;
};

TEST(RichText, MarkerTable) {
  const std::vector<RichCase> cases = {
      {"empty", "", "", {}},
      {"no markers", "plain words, 100 % sure", "plain words, 100 % sure", {}},
      {"bold then text", "**bold** text", "bold text", {{0, 4, kBold}}},
      {"no nesting", "**a __b__ c**", "a b c", {{0, 5, kBold}}},
      {"lone hyphen", "a-b", "ab", {}},
      {"lone underscore", "snake_case", "snakecase", {}},
      {"lone number sign", "C#", "C", {}},
      {"own lone marker inside span stays", "**a*b**", "a*b", {{0, 3, kBold}}},
      {"three markers", "***x", "x", {{0, 0, kBold}}},
      {"odd run inside", "**a***b**", "ab", {{0, 1, kBold}, {1, 1, kBold}}},
      {"two spans", "**a**b**c**", "abc", {{0, 1, kBold}, {2, 1, kBold}}},
      {"opened at end", "a**", "a", {}},
      {"unclosed keeps text", "**ab", "ab", {}},
      {"four markers", "****", "", {{0, 0, kBold}}},
      {"italic", "__x__", "x", {{0, 1, "textEntityTypeItalic"}}},
      {"strikethrough", "--x--", "x", {{0, 1, "textEntityTypeStrikethrough"}}},
      {"underline", "~~x~~", "x", {{0, 1, "textEntityTypeUnderline"}}},
      {"code", "##x##", "x", {{0, 1, "textEntityTypeCode"}}},
      {"lone own marker last", "**x*", "x*", {}},
      // U+1F600 is two UTF-16 code units, "é" one, "中" one.
      {"offset after emoji", "\xF0\x9F\x98\x80 **b**", "\xF0\x9F\x98\x80 b", {{3, 1, kBold}}},
      {"length over non-ASCII",
       "__\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80__",
       "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80",
       {{0, 4, "textEntityTypeItalic"}}},
      {"other marker dropped inside span", "**a-b~c**", "abc", {{0, 3, kBold}}},
  };
  for (const RichCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string plain = "stale";
    std::string entities;
    ParseRichText(c.Input, plain, entities);
    EXPECT_EQ(plain, c.Plain);
    EXPECT_EQ(ParseEntities(entities), c.Entities);
  }
}

TEST(RichText, EntityObjectsAreJoinedBySingleComma) {
  std::string plain;
  std::string entities;
  ParseRichText("**a**b##c##", plain, entities);
  EXPECT_EQ(entities,
            "{\"@type\": \"textEntity\", \"offset\": 0, \"length\": 1, \"type\": {\"@type\": "
            "\"textEntityTypeBold\"}},"
            "{\"@type\": \"textEntity\", \"offset\": 2, \"length\": 1, \"type\": {\"@type\": "
            "\"textEntityTypeCode\"}}");
}

TEST(RichText, AppendsToExistingEntitiesWithComma) {
  std::string plain;
  std::string entities = "X";
  ParseRichText("**a**", plain, entities);
  EXPECT_EQ(entities.substr(0, 3), "X,{");
}

}  // namespace
}  // namespace qvn::test
