// The doubled-marker rich-text parser (plain text, entities, UTF-16 offsets, kept ranges), the
// splitter of long texts, and TDLib's recognised entities read as kept ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_RichTextSplit.h"
#include "client/qvnTelegram_TextEntities.h"
#include "json/qvnBase_Helpers.h"
#include "richtext_cases.h"

namespace qvn::test {
namespace {

TEST(RichText, MarkerTable) {
  for (const TRichCase& c : RichTextCases()) {
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

struct TKeptCase {
  const char* Name;
  std::string Input;
  std::vector<TqvnTextRange> Keep;
  std::string Plain;
  std::vector<TEntity> Entities;
};

TEST(RichText, KeptRangesStayAsTyped) {
  const std::vector<TKeptCase> cases = {
      {"doubled markers inside a link", "https://a--b.org/x__y__z ~~u~~", {{0, 24}},
       "https://a--b.org/x__y__z u", {{25, 1, "textEntityTypeUnderline"}}},
      {"bold link, the markers left out", "**https://x.org**", {{2, 13}}, "https://x.org",
       {{0, 13, kBold}}},
      {"bold link, the closing markers read in", "**x.org/a_b**", {{2, 11}}, "x.org/a_b",
       {{0, 9, kBold}}},
      {"closing markers read in, of the other span", "__x.org/a**__", {{2, 11}}, "x.org/a**",
       {{0, 9, kItalic}}},
      {"doubled marker ending a link, no span open", "see x.org/a__", {{4, 9}}, "see x.org/a__",
       {}},
      {"a pair begun before the range is markup", "##x.org##", {{1, 2}}, "x.org", {{0, 5, kCode}}},
      {"a pair at the range's start is markup", "**jo@x.org**", {{0, 10}}, "jo@x.org",
       {{0, 8, kBold}}},
      {"a marker after a range never pairs with its last", "x.org/a__b", {{0, 8}}, "x.org/a__b",
       {}},
      {"unordered, overlapping, past the end", "__a__ x.org/p__q",
       {{8, 20}, {100, 2}, {6, 3}, {6, 1}, {3, 0}}, "a x.org/p__q", {{0, 1, kItalic}}},
      {"a byte that is not UTF-8 is one character", "\xFF" "a__b", {{1, 4}},
       "\xEF\xBF\xBD" "a__b", {}},
  };
  for (const TKeptCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string plain;
    std::string entities;
    ParseRichText(c.Input, c.Keep, plain, entities);
    EXPECT_EQ(plain, c.Plain);
    EXPECT_EQ(ParseEntities(entities), c.Entities);
  }
}

// The kept ranges of aRanges inside aPart, as bytes of the part's text.
std::vector<TqvnTextRange> RangesInPart(const std::vector<TqvnTextRange>& aRanges,
                                        const TqvnRichTextPart& aPart) {
  std::vector<TqvnTextRange> inside;
  for (const TqvnTextRange& range : aRanges) {
    const size_t begin = std::max(range.Offset, aPart.Offset);
    const size_t end = std::min(range.Offset + range.Length, aPart.Offset + aPart.Length);
    if (begin < end) inside.push_back({begin - aPart.Offset + aPart.PrefixBytes, end - begin});
  }
  return inside;
}

std::string PlainOf(std::string_view aText, const std::vector<TqvnTextRange>& aKeep = {}) {
  std::string plain;
  std::string entities;
  ParseRichText(aText, aKeep, plain, entities);
  return plain;
}

// True when a range of aKeep holds two equal markers side by side.
bool RangesHoldPairs(const std::string& aText, const std::vector<TqvnTextRange>& aKeep) {
  for (const TqvnTextRange& range : aKeep) {
    const std::string text = aText.substr(range.Offset, range.Length);
    for (size_t i = 1; i < text.size(); ++i) {
      if (!RichTextEntityType(text[i]).empty() && text[i - 1] == text[i]) return true;
    }
  }
  return false;
}

// Each part within aMaxLength (or one character wider than it alone, or more only below 4 units
// or beside kept ranges that hold doubled markers), and the parts' plain texts, joined with the whitespace
// dropped between them, give the whole plain text.
void ExpectPartsReassemble(const std::string& aText, size_t aMaxLength,
                           const std::vector<TqvnTextRange>& aKeep) {
  std::string joined;
  size_t at = 0;
  for (const TqvnRichTextPart& part : SplitRichTextParts(aText, aMaxLength, aKeep)) {
    SCOPED_TRACE("part \"" + part.Text + "\"");
    ASSERT_GE(part.Offset, at);
    const std::string gap = aText.substr(at, part.Offset - at);
    EXPECT_EQ(gap.find_first_not_of(" \t\n\r\v\f"), std::string::npos) << "dropped: " << gap;
    EXPECT_EQ(part.Text.substr(part.PrefixBytes, part.Length), aText.substr(part.Offset, part.Length));
    const std::string plain = PlainOf(part.Text, RangesInPart(aKeep, part));
    const size_t length = UTF16Length(plain);
    EXPECT_TRUE(length <= std::max<size_t>(aMaxLength, 1) || (plain.size() == 4 && length == 2) ||
                aMaxLength < 4 || RangesHoldPairs(aText, aKeep))
        << length << " units";
    joined += gap + plain;
    at = part.Offset + part.Length;
  }
  const std::string tail = aText.substr(at);
  EXPECT_EQ(tail.find_first_not_of(" \t\n\r\v\f"), std::string::npos) << "dropped: " << tail;
  EXPECT_EQ(joined + tail, PlainOf(aText, aKeep));
}

struct TSplitCase {
  const char* Name;
  std::string Text;
  size_t MaxLength;
  std::vector<TqvnTextRange> Keep;
  std::vector<std::string> Parts;
};

TEST(RichTextSplit, CutsWhereItShould) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  const std::vector<TSplitCase> cases = {
      {"fits: unchanged", "  hello **world**  ", 15, {}, {"  hello **world**  "}},
      {"empty", "", 5, {}, {""}},
      {"at a line break before a later space", "one two\nthree four", 12, {},
       {"one two", "three four"}},
      {"at a space", "alpha beta gamma", 11, {}, {"alpha beta", "gamma"}},
      {"a stretch of whitespace is dropped whole", "word \n\n  next", 6, {}, {"word", "next"}},
      {"anywhere in a long word", "abcdefghij", 4, {}, {"abcd", "efgh", "ij"}},
      {"a limit of 0 counts as 1", "abc", 0, {}, {"a", "b", "c"}},
      {"never inside a span that fits", "aa **bbb cc** dd", 9, {}, {"aa **bbb cc**", "dd"}},
      {"a longer span closed and opened again", "**aaaa bbbb**", 5, {}, {"**aaaa**", "**bbbb**"}},
      {"an unclosed span is opened again, not closed", "**aaaa bbbb", 5, {}, {"**aaaa", "**bbbb"}},
      {"never beside a lone marker of the span", "**aaa*bbb**", 4, {},
       {"**aa**", "**a*bb**", "**b**"}},
      {"never between a pair", "ab**cd**", 3, {}, {"ab", "**cd**"}},
      {"never inside a surrogate pair", emoji + emoji + emoji, 3, {}, {emoji, emoji, emoji}},
      {"a character wider than the limit alone", emoji + "a", 1, {}, {emoji, "a"}},
      {"never inside a kept range that fits", "abcx.org/pq", 8, {{3, 8}}, {"abc", "x.org/pq"}},
      {"a kept range longer than a part is cut", "x.org/abcdef", 5, {{0, 12}},
       {"x.org", "/abcd", "ef"}},
  };
  for (const TSplitCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(SplitRichText(c.Text, c.MaxLength, c.Keep), c.Parts);
    ExpectPartsReassemble(c.Text, c.MaxLength, c.Keep);
  }
}

// Every limit over texts that mix all of it: markers of every kind, lone and doubled, spans
// longer than a part, kept ranges with markers inside and at their edges, line breaks, wide
// characters and a byte that is not UTF-8.
TEST(RichTextSplit, PartsAlwaysReassemble) {
  const std::vector<std::pair<std::string, std::vector<TqvnTextRange>>> texts = {
      {"A well-known **e-mail: jo_smith@my-site.org**, call 555-0100,\n3*4=12 __yes__", {{25, 20}}},
      {"**bold https://a--b.org/x__y__z text** and ##code## ~~u~~ --s--\n\n__it__", {{7, 24}}},
      {"\xF0\x9F\x98\x80**\xF0\x9F\x98\x80*\xF0\x9F\x98\x80 x\xFF** #tag_one __@john_doe__",
       {{22, 8}, {33, 9}}},
      {"***x ****y __a___b__ --c-d-- **x.org/a_b** ##x.org##", {{30, 11}, {45, 2}}},
  };
  for (const auto& [text, keep] : texts) {
    for (size_t maxLength = 1; maxLength <= 24; ++maxLength) {
      SCOPED_TRACE(text + " within " + std::to_string(maxLength));
      ExpectPartsReassemble(text, maxLength, keep);
      ExpectPartsReassemble(text, maxLength, {});
    }
  }
}

struct TRecognisedCase {
  const char* Name;
  std::string Text;
  std::string Answer;
  std::vector<TqvnTextRange> Ranges;
};

std::string EntitiesAnswer(const std::string& aEntities) {
  return R"({"@type":"textEntities","entities":[)" + aEntities + "]}";
}

std::string Entity(int aOffset, int aLength, const std::string& aType) {
  return R"({"@type":"textEntity","offset":)" + std::to_string(aOffset) + R"(,"length":)" +
         std::to_string(aLength) + R"(,"type":{"@type":"textEntityType)" + aType + R"("}})";
}

TEST(RecognisedEntities, TDLibsUnitsBecomeBytesOfTheText) {
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::vector<TRecognisedCase> cases = {
      {"the kinds kept, in TDLib's order", "see x.org @bob #t $USD /go a@b.io",
       EntitiesAnswer(Entity(4, 5, "Url") + "," + Entity(10, 4, "Mention") + "," +
                      Entity(15, 2, "Hashtag") + "," + Entity(18, 4, "Cashtag") + "," +
                      Entity(23, 3, "BotCommand") + "," + Entity(27, 6, "EmailAddress")),
       {{4, 5}, {10, 4}, {15, 2}, {18, 4}, {23, 3}, {27, 6}}},
      {"other kinds are not kept", "+1 555 0100 **b**",
       EntitiesAnswer(Entity(0, 11, "PhoneNumber") + "," + Entity(12, 5, "Bold")), {}},
      {"after a surrogate pair", emoji + " @bob", EntitiesAnswer(Entity(3, 4, "Mention")),
       {{5, 4}}},
      {"after non-ASCII of one unit", "\xC3\xA9\xE4\xB8\xAD @bob",
       EntitiesAnswer(Entity(3, 4, "Mention")), {{6, 4}}},
      {"half a surrogate pair takes the whole", "a" + emoji + "b",
       EntitiesAnswer(Entity(2, 2, "Url")), {{1, 5}}},
      {"a byte that is not UTF-8 was one U+FFFD", "\xFF@bob",
       EntitiesAnswer(Entity(1, 4, "Mention")), {{1, 4}}},
      {"clipped to the text", "x @bob", EntitiesAnswer(Entity(2, 40, "Mention") + "," +
                                                       Entity(9, 1, "Url") + "," +
                                                       Entity(-1, 2, "Url")),
       {{2, 4}}},
      {"TDLib's error", "x.org", R"({"@type":"error","code":400,"message":"no"})", {}},
      {"another answer", "x.org", R"({"@type":"ok"})", {}},
      {"an offset that is no number", "x.org",
       EntitiesAnswer(R"({"@type":"textEntity","offset":"a","length":1,"type":{"@type":)"
                      R"("textEntityTypeUrl"}})"),
       {}},
  };
  for (const TRecognisedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RecognizedTextRanges(c.Text, TqvnTelegramAnswer::Read(c.Answer)), c.Ranges);
  }
  EXPECT_EQ(RecognizedTextRanges("x.org", TqvnTelegramAnswer::Failure(takNotSent, "inactive")),
            std::vector<TqvnTextRange>{});
  EXPECT_EQ(GetTextEntitiesRequest("a \"b\"\n"), R"({"@type":"getTextEntities","text":"a \"b\"\n"})");
}

}  // namespace
}  // namespace qvn::test
