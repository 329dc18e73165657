// The reading helpers the engine's records and the window's reader share: walking an event
// document without changing it, texts, integers written as numbers or strings, and the largest
// photo size. No TDLib is loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/qvnTelegram_Reading.h"
#include "json/qvnJSON.h"

namespace qvn::test {
namespace {

TEST(Reading, WalksADocumentOrANodeWithoutChangingIt) {
  const std::string text =
      R"({"@type":"updateNewMessage","message":{"id":7,"sender_id":null,"content":)"
      R"({"@type":"messageText","text":{"text":"a\nb \u00e9"}}}})";
  TqvnJSON event;
  event.Read(text);
  const std::string before = event.Text();

  EXPECT_EQ(PlainText(NodeAt(event, {"message", "content", "text", "text"})), "a\nb é");
  const IqvnObjectJSON message = NodeAt(event, {"message"});
  EXPECT_EQ(Int64Of(NodeAt(message, {"id"})), 7);
  // Absent members, members past a scalar, and an empty handle read as nothing.
  EXPECT_FALSE(NodeAt(event, {"message", "reply_to", "chat_id"}));
  EXPECT_FALSE(NodeAt(event, {"message", "sender_id", "user_id"}));
  EXPECT_FALSE(NodeAt(event, {"message", "id", "value"}));
  EXPECT_FALSE(NodeAt(IqvnObjectJSON(), {"id"}));
  EXPECT_EQ(PlainText(nullptr), "");
  EXPECT_EQ(Int64Of(nullptr), 0);
  EXPECT_FALSE(BooleanOf(nullptr));
  // Walking into scalars made none of them an object: the dispatcher reads the same document.
  EXPECT_EQ(event.Text(), before);
}

TEST(Reading, IntegersReadTheSameAsNumbersAndAsStrings) {
  const struct {
    const char* Value;
    int64_t Expected;
  } cases[] = {
      {"42", 42},
      {R"("42")", 42},
      {R"("9223372036854775807")", 9223372036854775807},  // a chat order: int64 as a string
      {"-1001000000002", -1001000000002},                // a chat id: int53 as a number
      {R"("-1001000000002")", -1001000000002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    TqvnJSON document;
    document.Read(std::string(R"({"id":)") + c.Value + "}");
    EXPECT_EQ(Int64Of(document.GetNode("id")), c.Expected);
  }
  TqvnJSON document;
  document.Read(R"({"word":"abc","wide":4294967296})");
  EXPECT_THROW(Int64Of(document.GetNode("word")), EqvnConvertError);
  EXPECT_THROW(Int32Of(document.GetNode("wide")), EqvnConvertError);
}

// The largest of a photo's sizes, by pixels. TDLib lists them by type, smallest first; a picture
// too small for a larger type repeats its dimensions in that type's entry, so of equal sizes the
// later entry is the one to show and download.
TEST(Reading, LargestPhotoSizeTakesTheLaterOfEqualSizes) {
  const auto size = [](const char* aType, int aWidth, int aHeight) {
    return std::string(R"({"@type":"photoSize","type":")") + aType + R"(","width":)" +
           std::to_string(aWidth) + R"(,"height":)" + std::to_string(aHeight) + "}";
  };
  const struct {
    std::string Sizes;
    const char* Expected;  // the type of the size taken; "" for none
  } cases[] = {
      // As TDLib 1.8.67 lists a photo (tests/data/messages-sample.jsonl).
      {size("m", 320, 240) + "," + size("x", 800, 600) + "," + size("y", 1280, 960), "y"},
      {size("y", 1280, 960) + "," + size("m", 320, 240), "y"},
      // A 600x450 picture: "x" and "y" both hold it whole; "y" is the better copy.
      {size("m", 320, 240) + "," + size("x", 600, 450) + "," + size("y", 600, 450), "y"},
      {size("x", 450, 600) + "," + size("y", 600, 450), "y"},  // same pixels, turned
      {R"({"type":"i"},)" + size("s", 90, 67), "s"},           // no dimensions: no pixels
      {R"({"type":"i"})", "i"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Sizes);
    TqvnJSON photo;
    photo.Read(R"({"sizes":[)" + c.Sizes + "]}");
    EXPECT_EQ(PlainText(NodeAt(LargestPhotoSize(photo.GetNode("sizes")), {"type"})), c.Expected);
  }
  TqvnJSON notAList;
  notAList.Read(R"({"sizes":{"width":1,"height":1}})");
  EXPECT_FALSE(LargestPhotoSize(notAList.GetNode("sizes")));
}

}  // namespace
}  // namespace qvn::test
