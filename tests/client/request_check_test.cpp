// The check of a program's own request texts, without TDLib: what it lets through, and for what
// it refuses, the reason and the byte it names.
#include <gtest/gtest.h>

#include <string>

#include "client/qvnTelegram_RequestCheck.h"

namespace qvn::test {
namespace {

// aCount arrays, one inside the other, as the "x" member of a request: the innermost array is
// inside aCount objects and arrays (the request object and aCount - 1 arrays).
std::string NestedInArrays(int aCount) {
  return R"({"@type":"testCallEmpty","x":)" + std::string(aCount, '[') + std::string(aCount, ']') +
         "}";
}

// aCount objects, one inside the other, around a number, as the "x" member of a request: the
// number is inside aCount + 1 objects.
std::string NestedInObjects(int aCount) {
  std::string text = R"({"@type":"testCallEmpty","x":)";
  for (int i = 0; i < aCount; ++i) text += R"({"a":)";
  return text + "1" + std::string(aCount, '}') + "}";
}

TEST(RequestCheck, AcceptsEveryObjectTDLibTakesAsWritten) {
  struct Case {
    const char* Name;
    std::string Text;
  };
  const Case cases[] = {
      {"ordinary", R"({"@type":"getChat","chat_id":-1001234567890})"},
      {"empty", "{}"},
      {"blanksAround", " \t\r\n{ \"@type\" : \"getMe\" , \"n\" : [ 1 , 2 ] }\n\t "},
      {"nestedArrays", R"({"@type":"addChatMembers","user_ids":[[1,[2,[]]],{"a":[{}]}]})"},
      {"everyEscape", R"({"@type":"testCallString","x":"\" \\ \/ \b \f \n \r \t \u0000 \u00e9"})"},
      {"surrogatePairs", R"({"x":"\ud83d\ude00\uDBFF\uDFFF","y":"\uD800\uDC00"})"},
      {"utf8", "{\"x\":\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBF\"}"},
      {"deleteCharacter", "{\"x\":\"\x7F\"}"},
      // TDLib reads unescaped control characters in strings as they are.
      {"rawLineBreakAndTab", "{\"@type\":\"testCallString\",\"x\":\"a\nb\tc\x01\"}"},
      {"numbers",
       R"({"a":0,"b":-0,"c":12,"d":-3.25,"e":1e5,"f":1E+2,"g":2.5e-3,"h":99999999999999999999})"},
      {"literals", R"({"a":true,"b":false,"c":null,"d":[true,false,null]})"},
      {"extraString", R"({"@type":"getMe","@extra":"mine"})"},
      {"extraNumber", R"({"@type":"getMe","@extra":-1.5e3})"},
      {"extraObject", R"({"@extra":{"a":[1,"}"],"@extra":2},"@type":"getMe"})"},
      {"extraArray", R"({"@type":"getMe","@extra":[]})"},
      {"extraLiterals", R"({"@type":"getMe","@extra":null})"},
      {"extraInNestedObjects", R"({"@type":"x","a":{"@extra":1,"@extra":2},"@extra":3})"},
      {"escapedOtherNames", R"({"@typ\u0065":"getMe","\u0040extr":1})"},
      {"deepestTDLibReadsInArrays", NestedInArrays(kTDLibMaxNesting)},
      {"deepestTDLibReadsInObjects", NestedInObjects(kTDLibMaxNesting - 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RequestTextFault(c.Text), "");
    EXPECT_TRUE(ReadObjectLayout(c.Text));
  }
}

TEST(RequestCheck, RefusesWithWhatIsWrongAndWhere) {
  struct Case {
    const char* Name;
    std::string Text;
    std::string Fault;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      // Not one object, or more than one.
      {"empty", "", "the end of the text where '{' was expected at byte 0"},
      {"onlyBlanks", "  ", "the end of the text where '{' was expected at byte 2"},
      {"array", "[]", "'[' where '{' was expected at byte 0"},
      {"byteOrderMark", "\xEF\xBB\xBF{}", "byte 0xEF where '{' was expected at byte 0"},
      {"unclosed", R"({"@type":"getMe")",
       "the end of the text where ',' or '}' was expected at byte 16"},
      {"unterminatedString", R"({"@type":"getMe)",
       "the end of the text inside a string at byte 15"},
      {"junkAfter", R"({"@type":"getMe"}x)", "'x' after the object at byte 17"},
      {"twoObjects", R"({"@type":"getMe"} {"@type":"getMe"})", "'{' after the object at byte 18"},
      {"formFeedAfter", "{}\f", "byte 0x0C after the object at byte 2"},
      {"trailingComma", R"({"a":1,})", "'}' where a member name was expected at byte 7"},
      {"missingColon", R"({"a" 1})", "'1' where ':' was expected at byte 5"},
      {"missingComma", R"({"a":[1 2]})", "'2' where ',' or ']' was expected at byte 8"},
      {"bareName", R"({a:1})", "'a' where a member name was expected at byte 1"},
      {"singleQuotes", R"({"a":'b'})", "''' where a value was expected at byte 5"},
      // NUL bytes: a C string would end there.
      {"nulInString", "{\"x\":\"a\0b\"}"s, "a NUL byte in a string at byte 7"},
      {"nulAfter", "{}\0"s, "a NUL byte after the object at byte 2"},
      {"nulBetween", "{\0}"s, "a NUL byte where a member name was expected at byte 1"},
      // Invalid UTF-8, in values, names and everywhere.
      {"ffFe", "{\"x\":\"\xFF\xFE\"}", "invalid UTF-8 at byte 6"},
      {"overlong", "{\"x\":\"a\xC0\xAF\"}", "invalid UTF-8 at byte 7"},
      {"overlongThreeBytes", "{\"x\":\"\xE0\x80\xAF\"}", "invalid UTF-8 at byte 6"},
      {"encodedSurrogate", "{\"x\":\"\xED\xA0\x80\"}", "invalid UTF-8 at byte 6"},
      {"aboveUnicode", "{\"x\":\"\xF4\x90\x80\x80\"}", "invalid UTF-8 at byte 6"},
      {"cutOff", "{\"x\":\"\xC3\"}", "invalid UTF-8 at byte 6"},
      {"strayContinuation", "{\"x\":\"\x80\"}", "invalid UTF-8 at byte 6"},
      {"inName", "{\"\xFF\":1}", "invalid UTF-8 at byte 2"},
      {"inExtra", "{\"@type\":\"getOption\",\"@extra\":\"\xFF\"}", "invalid UTF-8 at byte 31"},
      {"outsideStrings", "{\"x\":\xFF}", "byte 0xFF where a value was expected at byte 5"},
      // Escapes and control characters.
      {"loneHigh", R"({"x":"\ud800"})", "a lone surrogate escape at byte 6"},
      {"loneLow", R"({"x":"a\udc00"})", "a lone surrogate escape at byte 7"},
      {"highThenHigh", R"({"x":"\ud800\ud800"})", "a lone surrogate escape at byte 6"},
      {"lowThenHigh", R"({"x":"\udc00\ud800"})", "a lone surrogate escape at byte 6"},
      {"highThenLetter", R"({"x":"\ud800x"})", "a lone surrogate escape at byte 6"},
      {"loneInExtraName", R"({"@extra":{"\ud800":1}})", "a lone surrogate escape at byte 12"},
      {"unknownEscape", R"({"x":"\x41"})", "an invalid escape at byte 6"},
      {"upperCaseEscape", R"({"x":"\N"})", "an invalid escape at byte 6"},
      {"shortUnicodeEscape", R"({"x":"\u00"})", "an invalid \\u escape at byte 6"},
      {"notHex", R"({"x":"\u12G4"})", "an invalid \\u escape at byte 6"},
      {"backslashAtEnd", "{\"x\":\"\\", "the end of the text inside a string at byte 7"},
      // Numbers and literals as JSON spells them (TDLib echoes "@extra" numbers as written).
      {"leadingZero", R"({"@extra":01})", "an invalid number at byte 10"},
      {"bareMinus", R"({"@extra":-})", "an invalid number at byte 10"},
      {"pointWithoutDigits", R"({"@extra":1.})", "an invalid number at byte 10"},
      {"emptyExponent", R"({"@extra":1e})", "an invalid number at byte 10"},
      {"leadingPlus", R"({"@extra":+1})", "'+' where a value was expected at byte 10"},
      {"leadingPoint", R"({"@extra":.5})", "'.' where a value was expected at byte 10"},
      {"hex", R"({"@extra":0x10})", "an invalid number at byte 10"},
      {"shortLiteral", R"({"a":tru})", "an invalid literal at byte 5"},
      {"longLiteral", R"({"a":nulll})", "an invalid literal at byte 5"},
      {"capitalLiteral", R"({"a":True})", "'T' where a value was expected at byte 5"},
      // Deeper than TDLib reads.
      {"tooDeepInArrays", NestedInArrays(kTDLibMaxNesting + 1),
       "a value inside more than 100 objects and arrays at byte 129"},
      {"tooDeepInObjects", NestedInObjects(kTDLibMaxNesting),
       "a value inside more than 100 objects and arrays at byte 529"},
      // An "@extra" the engine could not read back.
      {"escapedExtra", R"({"@type":"getMe","@ext\u0072a":1})",
       "\"@extra\" written with escapes at byte 17"},
      {"fullyEscapedExtra", R"({"\u0040\u0065\u0078\u0074\u0072\u0061":1})",
       "\"@extra\" written with escapes at byte 1"},
      {"secondExtra", R"({"@extra":1,"@type":"getMe","@extra":2})",
       "a second \"@extra\" at byte 28"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RequestTextFault(c.Text), c.Fault);
  }
}

// The lenient read finds the same "@extra" the check accepts, and finds it in texts the check
// refuses, such as TDLib's answers, which it never checks.
TEST(RequestCheck, LayoutFindsTheFirstTopLevelExtra) {
  const std::string text = R"( {"a":{"@extra":0},"@extra" : [1, "]"] ,"b":2} )";
  ASSERT_EQ(RequestTextFault(text), "");
  const auto layout = ReadObjectLayout(text);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->Open, 1u);
  EXPECT_EQ(layout->Close, text.size() - 2);
  EXPECT_TRUE(layout->HasMembers);
  ASSERT_TRUE(layout->HasExtra);
  EXPECT_EQ(text.substr(layout->ExtraBegin, 8), "\"@extra\"");
  EXPECT_EQ(text.substr(layout->ExtraValueBegin, layout->ExtraValueEnd - layout->ExtraValueBegin),
            R"([1, "]"])");

  const auto second = ReadObjectLayout(R"({"@extra":"\ud800","@extra":2} junk)");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->ExtraValueBegin, 10u);
  EXPECT_FALSE(ReadObjectLayout(R"(["@extra"])"));
  EXPECT_FALSE(ReadObjectLayout(R"({"@extra":1)"));
}

}  // namespace
}  // namespace qvn::test
