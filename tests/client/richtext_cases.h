// The rich-text parser's table of marked-up texts, shared by the parser's own test and the test
// that runs it against the real TDLib: what each text parses to, plain text and entities.
#ifndef QVN_TESTS_CLIENT_RICHTEXT_CASES_H
#define QVN_TESTS_CLIENT_RICHTEXT_CASES_H

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "client/qvnTelegram_RichText.h"

namespace qvn {

inline void PrintTo(const TqvnTextRange& aRange, std::ostream* aOs) {
  *aOs << "{" << aRange.Offset << "," << aRange.Length << "}";
}

}  // namespace qvn

namespace qvn::test {

struct TEntity {
  int Offset;
  int Length;
  std::string Type;
  bool operator==(const TEntity&) const = default;
};

inline std::ostream& operator<<(std::ostream& aOs, const TEntity& e) {
  return aOs << "{" << e.Offset << "," << e.Length << "," << e.Type << "}";
}

// Parses the entity list (which has no brackets of its own) as strict JSON.
inline std::vector<TEntity> ParseEntities(const std::string& aEntities) {
  std::vector<TEntity> result;
  for (const auto& item : nlohmann::json::parse("[" + aEntities + "]")) {
    EXPECT_EQ(item.at("@type"), "textEntity");
    result.push_back({item.at("offset").get<int>(), item.at("length").get<int>(),
                      item.at("type").at("@type").get<std::string>()});
  }
  return result;
}

inline constexpr const char* kBold = "textEntityTypeBold";
inline constexpr const char* kItalic = "textEntityTypeItalic";
inline constexpr const char* kCode = "textEntityTypeCode";

struct TRichCase {
  const char* Name;
  std::string Input;
  std::string Plain;
  std::vector<TEntity> Entities;
};

// Doubled markers format; lone ones are text.
inline std::vector<TRichCase> RichTextCases() {
  return {
      {"empty", "", "", {}},
      {"no markers", "plain words, 100 % sure", "plain words, 100 % sure", {}},
      {"bold then text", "**bold** text", "bold text", {{0, 4, kBold}}},
      {"no nesting", "**a __b__ c**", "a b c", {{0, 5, kBold}}},
      {"lone hyphen", "a-b", "a-b", {}},
      {"lone underscore", "snake_case", "snake_case", {}},
      {"lone number sign", "C#", "C#", {}},
      {"lone asterisk", "3*4=12", "3*4=12", {}},
      {"typed address",
       "A well-known e-mail: jo_smith@my-site.org, call 555-0100, 3*4=12",
       "A well-known e-mail: jo_smith@my-site.org, call 555-0100, 3*4=12",
       {}},
      {"lone markers beside a span", "_**b**_ *a*", "_b_ *a*", {{1, 1, kBold}}},
      {"own lone marker inside span stays", "**a*b**", "a*b", {{0, 3, kBold}}},
      {"three markers", "***x", "x", {{0, 0, kBold}}},
      {"odd run inside", "**a***b**", "ab", {{0, 1, kBold}, {1, 1, kBold}}},
      {"two spans", "**a**b**c**", "abc", {{0, 1, kBold}, {2, 1, kBold}}},
      {"opened at end", "a**", "a", {}},
      {"unclosed keeps text", "**ab", "ab", {}},
      {"four markers", "****", "", {{0, 0, kBold}}},
      {"italic", "__x__", "x", {{0, 1, kItalic}}},
      {"strikethrough", "--x--", "x", {{0, 1, "textEntityTypeStrikethrough"}}},
      {"underline", "~~x~~", "x", {{0, 1, "textEntityTypeUnderline"}}},
      {"code", "##x##", "x", {{0, 1, kCode}}},
      {"lone own marker last", "**x*", "x*", {}},
      // U+1F600 is two UTF-16 code units, "é" one, "中" one.
      {"offset after emoji", "\xF0\x9F\x98\x80 **b**", "\xF0\x9F\x98\x80 b", {{3, 1, kBold}}},
      {"length over non-ASCII",
       "__\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80__",
       "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80",
       {{0, 4, kItalic}}},
      {"other lone markers kept inside span", "**a-b~c**", "a-b~c", {{0, 5, kBold}}},
      {"other doubled marker dropped inside span", "**a--b**", "ab", {{0, 2, kBold}}},
  };
}

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_RICHTEXT_CASES_H
