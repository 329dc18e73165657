// The typed template filler every request builder uses: rendering by kind, and the refusal of a
// template whose place holders do not match its values.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "client/qvnTelegram_RequestText.h"

namespace qvn::test {
namespace {

TEST(RequestTemplate, RendersEachValueByItsKind) {
  struct FillCase {
    const char* Name;
    std::string Actual;
    std::string Expected;
  };
  const std::string jsonPiece = R"({"@type": "x"})";
  const std::vector<FillCase> cases = {
      {"no place holders", FillTemplate(R"({"@type": "getMe"})", {}), R"({"@type": "getMe"})"},
      {"text is escaped", FillTemplate(R"({"t": "%s"})", {"a\"b\\c/%d\n\xC3\xA9"}),
       R"({"t": "a\"b\\c\/%d\n\u00E9"})"},
      {"escaped text is copied", FillTemplate(R"({"t": "%e"})", {EscapedText("a\\/b+=")}),
       R"({"t": "a\/b+="})"},
      {"integers over their range",
       FillTemplate(R"([%d, %d, %d, %d])", {INT64_MIN, INT64_MAX, int32_t{-7}, uint8_t{200}}),
       "[-9223372036854775808, 9223372036854775807, -7, 200]"},
      {"booleans", FillTemplate(R"([%b, %b])", {true, false}), "[true, false]"},
      {"JSON piece is copied", FillTemplate(R"({"v": %j})", {JSONPiece(jsonPiece)}),
       R"({"v": {"@type": "x"}})"},
      {"a % inside a value is not a place holder",
       FillTemplate(R"(["%s", %j])", {"%s%d", JSONPiece("\"%j\"")}), R"(["%s%d", "%j"])"},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Actual, c.Expected);
  }
}

// A template that does not match its values is the builder's fault: it is refused, never
// filled into a wrong text.
TEST(RequestTemplate, RefusesMismatchedValues) {
  struct RefusedCase {
    const char* Name;
    std::function<std::string()> Fill;
  };
  const std::vector<RefusedCase> cases = {
      {"too few values", [] { return FillTemplate(R"({"a": %d, "b": %d})", {1}); }},
      {"too many values",
       [] {
         return FillTemplate(R"({"a": %d})", {1, 2});
       }},
      {"value for no place holder", [] { return FillTemplate(R"({})", {"x"}); }},
      {"integer for a text", [] { return FillTemplate(R"({"a": "%s"})", {5}); }},
      {"text for an integer", [] { return FillTemplate(R"({"a": %d})", {"5"}); }},
      {"boolean for an integer", [] { return FillTemplate(R"({"a": %d})", {true}); }},
      {"plain text for a JSON piece", [] { return FillTemplate(R"({"a": %j})", {"{}"}); }},
      {"JSON piece for a text", [] { return FillTemplate(R"({"a": "%s"})", {JSONPiece("1")}); }},
      {"escaped text for a text", [] { return FillTemplate(R"({"a": "%s"})", {EscapedText("")}); }},
      {"unknown place holder", [] { return FillTemplate(R"({"a": %x})", {1}); }},
      {"lone % at the end", [] { return FillTemplate(R"({"a": 1}%)", {}); }},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_THROW(c.Fill(), std::logic_error);
  }
}

}  // namespace
}  // namespace qvn::test
