// What TDLib gets of what the user typed, against the real TDLib 1.8.67: TDLib's own
// getTextEntities (run synchronously, without a client) names the links, addresses, mentions,
// tags and commands of the typed text, the parser keeps them as typed, the doubled markers
// around and between them still format, and TDLib finds them again in the text sent. And the
// client's RecognizedEntities, on an active client, answers the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/qvnLibs.h"
#include "client/qvnTelegram_TextEntities.h"
#include "richtext_cases.h"
#include "tests/support/TDLibExecute.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

// What real TDLib recognises in aText, as kept ranges.
std::vector<TqvnTextRange> Recognised(const std::string& aText) {
  return RecognizedTextRanges(
      aText, TqvnTelegramAnswer::Read(ExecuteWithoutClient(GetTextEntitiesRequest(aText))));
}

// The texts of what real TDLib recognises in aText.
std::vector<std::string> FoundIn(const std::string& aText) {
  std::vector<std::string> found;
  for (const TqvnTextRange& range : Recognised(aText)) {
    found.push_back(aText.substr(range.Offset, range.Length));
  }
  return found;
}

struct TSent {
  std::string Plain;
  std::vector<TEntity> Entities;
};

// What a send of the typed aText gives TDLib.
TSent Sent(const std::string& aText) {
  TSent sent;
  std::string entities;
  ParseRichText(aText, Recognised(aText), sent.Plain, entities);
  sent.Entities = ParseEntities(entities);
  return sent;
}

struct TTypedCase {
  const char* Name;
  std::string Typed;
  std::vector<std::string> Found;  // what TDLib finds in it
};

// Text without markup reaches TDLib as typed, whatever markers its words hold.
TEST(RealTDLibRichText, TypedTextWithoutMarkupIsSentAsTyped) {
  const std::vector<TTypedCase> cases = {
      {"hyphens, lone markers", "A well-known e-mail: call 555-0100, 3*4=12, C# and x~y", {}},
      {"e-mail addresses", "write jo_smith@my-site.org or jo-smith@my-site.org",
       {"jo_smith@my-site.org", "jo-smith@my-site.org"}},
      {"a link with _ and -", "https://my-site.org/a_b?x=1-2", {"https://my-site.org/a_b?x=1-2"}},
      {"links with doubled markers",
       "https://a--b.org/x__y__z https://x.org/a~~b~~c https://x.org/a**b**c https://x.org/#q##r##",
       {"https://a--b.org/x__y__z", "https://x.org/a~~b~~c", "https://x.org/a**b**c",
        "https://x.org/#q##r##"}},
      {"a link ending in a doubled marker", "see x.org/a__", {"x.org/a__"}},
      {"mentions", "@john_doe and @jane__doe", {"@john_doe", "@jane__doe"}},
      {"hashtags and a cashtag", "#tag_one #tag__two $USD", {"#tag_one", "#tag__two", "$USD"}},
      {"a bot command", "/start_now@my_bot", {"/start_now@my_bot"}},
  };
  for (const TTypedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FoundIn(c.Typed), c.Found);
    const TSent sent = Sent(c.Typed);
    EXPECT_EQ(sent.Plain, c.Typed);
    EXPECT_EQ(sent.Entities, std::vector<TEntity>{});
  }
}

struct TFormattedCase {
  const char* Name;
  std::string Typed;
  std::vector<std::string> FoundInTyped;
  std::string Plain;
  std::vector<TEntity> Entities;
  std::vector<std::string> FoundInSent;
};

// Markup around and beside what TDLib recognises formats it, and TDLib finds it whole in what is
// sent, also where it read markers of the markup into it.
TEST(RealTDLibRichText, MarkupAroundWhatTDLibFindsFormatsIt) {
  const std::vector<TFormattedCase> cases = {
      {"a bold link", "**https://x.org** and __x.org/a_b__", {"https://x.org"},
       "https://x.org and x.org/a_b", {{0, 13, kBold}, {18, 9, kItalic}},
       {"https://x.org", "x.org/a_b"}},
      {"a bold link whose path TDLib reads the markers into",
       "see **https://a--b.org/x__y** now", {"https://a--b.org/x__y**"},
       "see https://a--b.org/x__y now", {{4, 21, kBold}}, {"https://a--b.org/x__y"}},
      {"a mention, tag, cashtag and command formatted",
       "~~@john_doe~~ --#tag-- **$USD** ##/start##", {"@john_doe", "#tag", "$USD", "/start"},
       "@john_doe #tag $USD /start",
       {{0, 9, "textEntityTypeUnderline"},
        {10, 4, "textEntityTypeStrikethrough"},
        {15, 4, kBold},
        {20, 6, kCode}},
       {"@john_doe", "#tag", "$USD", "/start"}},
      {"an italic mention TDLib does not find in the markup", "__@john_doe__", {}, "@john_doe",
       {{0, 9, kItalic}}, {"@john_doe"}},
      {"code TDLib reads as a hashtag", "##x.org##", {"#x"}, "x.org", {{0, 5, kCode}}, {"x.org"}},
      {"a bold address TDLib reads as a link", "**jo@x.org**", {"**jo@x.org"}, "jo@x.org",
       {{0, 8, kBold}}, {"jo@x.org"}},
  };
  for (const TFormattedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FoundIn(c.Typed), c.FoundInTyped);
    const TSent sent = Sent(c.Typed);
    EXPECT_EQ(sent.Plain, c.Plain);
    EXPECT_EQ(sent.Entities, c.Entities);
    EXPECT_EQ(FoundIn(sent.Plain), c.FoundInSent);
  }
}

// The parser's own table keeps its results with what TDLib recognises in each text.
TEST(RealTDLibRichText, TheParsersTableHoldsWithTDLibsEntities) {
  for (const TRichCase& c : RichTextCases()) {
    SCOPED_TRACE(c.Name);
    const TSent sent = Sent(c.Input);
    EXPECT_EQ(sent.Plain, c.Plain);
    EXPECT_EQ(sent.Entities, c.Entities);
  }
}

// The client asks the TDLib it drives: only while active.
TEST(RealTDLibRichText, AnActiveClientRecognisesEntities) {
  TTempDir dir;
  TqvnTDLib_Telegram client(nullptr);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory(dir.File("db"));
  const std::string text = "**https://a--b.org/x__y** @john_doe";
  EXPECT_EQ(client.RecognizedEntities(text), std::vector<TqvnTextRange>{});
  client.SetActive(true);
  ASSERT_TRUE(client.Active());
  EXPECT_EQ(client.RecognizedEntities(text), (std::vector<TqvnTextRange>{{2, 23}, {26, 9}}));
  client.SetActive(false);
}

}  // namespace
}  // namespace qvn::test
