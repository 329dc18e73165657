// Escaping, unescaping, Base64 and UTF-16 counting.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

struct TextCase {
  const char* Name;
  std::string Input;
  std::string Output;
};

TEST(EscapeJSONString, Table) {
  const std::vector<TextCase> cases = {
      {"empty", "", ""},
      {"printable ASCII unchanged", "Hello, world! ~{}[]:", "Hello, world! ~{}[]:"},
      {"quote slash backslash line feed e-acute DEL", "\"/\\\n\xC3\xA9\x7F",
       "\\\"\\/\\\\\\n\\u00E9\\u007F"},
      {"named controls", "\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {"other controls", std::string("\x00\x01\x0B\x1F", 4), "\\u0000\\u0001\\u000B\\u001F"},
      {"BMP character", "\xE2\x82\xAC", "\\u20AC"},
      {"outside the BMP gives a surrogate pair", "\xF0\x9F\x98\x80", "\\uD83D\\uDE00"},
      {"stray continuation byte", "a\x80z", "a\\uFFFDz"},
      {"cut-off sequence", "a\xE2\x82", "a\\uFFFD\\uFFFD"},
      {"overlong form", "\xC0\xAF", "\\uFFFD\\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", "\\uFFFD\\uFFFD\\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\\uFFFD\\uFFFD\\uFFFD\\uFFFD"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(EscapeJSONString(c.Input), c.Output);
  }
}

TEST(UnescapeJSONString, Table) {
  const std::vector<TextCase> cases = {
      {"empty", "", ""},
      {"no escapes", "plain \xC3\xA9 text", "plain \xC3\xA9 text"},
      {"e-acute", "\\u00e9", "\xC3\xA9"},
      {"upper-case hex", "\\u00E9\\u20AC", "\xC3\xA9\xE2\x82\xAC"},
      {"simple escapes", "\\\\\\\"\\/\\b\\f", "\\\"/\b\f"},
      {"upper-case r n t", "\\R\\N\\T\\r\\n\\t", "\r\n\t\r\n\t"},
      {"surrogate pair", "\\uD83D\\uDE00!", "\xF0\x9F\x98\x80!"},
      {"lone high surrogate", "\\uD83Dx", "\xEF\xBF\xBDx"},
      {"lone low surrogate", "\\uDE00", "\xEF\xBF\xBD"},
      {"high surrogate then a BMP escape", "\\uD83D\\u0041",
       "\xEF\xBF\xBD"
       "A"},
      {"NUL", "a\\u0000b", std::string("a\0b", 3)},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(UnescapeJSONString(c.Input), c.Output);
  }
}

TEST(UnescapeJSONString, Errors) {
  struct ErrorCase {
    const char* Name;
    std::string Input;
    std::string Message;
  };
  const std::vector<ErrorCase> cases = {
      {"single trailing backslash", "abc\\", "Unexpected end of string"},
      {"only a backslash", "\\", "Unexpected end of string"},
      {"backslash x", "ab\\x", "Invalid code at position 3"},
      {"capital U", "\\U00e9", "Invalid code at position 1"},
      {"capital B and F", "\\n\\B", "Invalid code at position 3"},
      {"short u", "x\\u12", "Invalid code at position 2"},
      {"non-hex u", "\\u12G4", "Invalid code at position 1"},
      {"position counts UTF-16 code units", "\xC3\xA9\xF0\x9F\x98\x80\\q",
       "Invalid code at position 4"},
      {"position after an escape", "\\u00e9\\uD83D\\uDE00\\z", "Invalid code at position 19"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      UnescapeJSONString(c.Input);
      ADD_FAILURE() << "no exception";
    } catch (const EqvnUnescapeError& e) {
      EXPECT_EQ(e.what(), c.Message);
    }
  }
}

TEST(EscapeJSONString, UnescapeGivesTheTextBack) {
  std::string everyByte;
  for (int c = 1; c < 128; ++c) everyByte += static_cast<char>(c);
  const std::vector<std::string> texts = {
      "",
      "plain",
      everyByte,
      "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
      "tab\tquote\"slash/backslash\\end\\",
      std::string("nul\0inside", 10),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    std::string escaped = EscapeJSONString(text);
    for (char c : escaped) EXPECT_TRUE(c >= 32 && c <= 126) << static_cast<int>(c);
    EXPECT_EQ(UnescapeJSONString(escaped), text);
  }
}

// Each byte that does not start a well-formed sequence becomes U+FFFD, exactly as the escaping
// writes it, so the repaired text is what TDLib reads from the escaped one.
TEST(ReplaceInvalidUTF8, MatchesWhatTheEscapingMakesOfTheText) {
  const std::string kFFFD = "\xEF\xBF\xBD";
  const struct {
    const char* Name;
    std::string Text;
    std::string Repaired;
  } cases[] = {
      {"valid", "a\xC3\xA9\xF0\x9F\x98\x80", "a\xC3\xA9\xF0\x9F\x98\x80"},
      {"strayContinuation", "a\x80" "b", "a" + kFFFD + "b"},
      {"cutOffAtEnd", "a\xE2\x82", "a" + kFFFD + kFFFD},
      {"overlong", "\xC0\xAF", kFFFD + kFFFD},
      {"encodedSurrogate", "\xED\xA0\x80", kFFFD + kFFFD + kFFFD},
      {"aboveUnicode", "\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},
      {"ffFe", "\xFF\xFE", kFFFD + kFFFD},
      {"nulKept", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ReplaceInvalidUTF8(c.Text), c.Repaired);
    EXPECT_EQ(ReplaceInvalidUTF8(c.Text), UnescapeJSONString(EscapeJSONString(c.Text)));
  }
}

TEST(Base64, StandardVectors) {
  const std::vector<TextCase> cases = {
      {"empty", "", ""},
      {"one byte", "f", "Zg=="},
      {"two bytes", "fo", "Zm8="},
      {"three bytes", "foo", "Zm9v"},
      {"six bytes", "foobar", "Zm9vYmFy"},
      {"high bytes", "\xFF\xFE\xFD", "//79"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(EncodeBase64(c.Input), c.Output);
    EXPECT_EQ(DecodeBase64(c.Output), c.Input);
  }
}

TEST(Base64, EightBitForm) {
  EXPECT_EQ(EncodeBase64("\xC3\xA9", false), EncodeBase64("\xE9"));
  EXPECT_EQ(EncodeBase64("\xE2\x82\xAC", false), EncodeBase64("?"));
  const std::string escaped = EscapeJSONString("callback \xF0\x9F\x98\x80 \"data\"");
  EXPECT_EQ(EncodeBase64(escaped, false), EncodeBase64(escaped, true));
  EXPECT_EQ(DecodeBase64(EncodeBase64(escaped, false)), escaped);
}

TEST(Base64, LenientDecoding) {
  const std::vector<TextCase> cases = {
      {"missing fill", "Zm8", "fo"},
      {"line breaks and blanks", "Zm9v\r\nYm Fy", "foobar"},
      {"characters outside the alphabet", "Zm9v!!YmFy", "foobar"},
      {"data after the fill", "Zg==Zm9v", "f"},
      {"single leftover character", "Zm9vY", "foo"},
      {"nothing valid", "***", ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(DecodeBase64(c.Input), c.Output);
  }
}

TEST(UTF16Length, CountsCodeUnits) {
  EXPECT_EQ(UTF16Length(""), 0u);
  EXPECT_EQ(UTF16Length("abc"), 3u);
  EXPECT_EQ(UTF16Length("\xC3\xA9\xE2\x82\xAC"), 2u);
  EXPECT_EQ(UTF16Length("\xF0\x9F\x98\x80"), 2u);
  EXPECT_EQ(UTF16Length("a\x80"), 2u);
}

}  // namespace
}  // namespace qvn::test
